#include "os/module_loader.h"

#include <dlfcn.h>

#include <string>

namespace os {

void* LoadModule(const char* path) {
  std::string native(path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindExport(void* module, const char* name) { return dlsym(module, name); }

}  // namespace os
