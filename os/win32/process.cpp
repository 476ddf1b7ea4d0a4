#include "os/process.h"

#include <windows.h>

namespace os {

void ShowErrorBox(const char* text, const char* caption) {
  MessageBoxA(nullptr, text, caption, MB_ICONERROR);
}

void TerminateSelf(unsigned exit_code) {
  TerminateProcess(GetCurrentProcess(), exit_code);
  // TerminateProcess on the own process does not return; should it ever,
  // nothing of ours may run on.
  for (;;) ExitProcess(exit_code);
}

}  // namespace os
