#include "os/module_loader.h"

#include <windows.h>

namespace os {

void* LoadModule(const char* path) { return reinterpret_cast<void*>(LoadLibraryA(path)); }

void* FindExport(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

}  // namespace os
