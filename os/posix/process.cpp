#include "os/process.h"

#include <unistd.h>

#include <cstdio>

namespace os {

void ShowErrorBox(const char* text, const char* caption) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
}

void TerminateSelf(unsigned exit_code) { _exit(static_cast<int>(exit_code)); }

}  // namespace os
