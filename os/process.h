// The end of the process on the fatal path, and the box shown before it.
#pragma once

namespace os {

// Shows a message box with no owner window, the error icon and one OK button
// (MB_ICONERROR and nothing else). Both texts are NUL-terminated Windows-1251
// bytes. Returns when the user dismisses the box.
// POSIX: writes "caption: text" to stderr.
void ShowErrorBox(const char* text, const char* caption);

// Ends the whole process at once with `exit_code`: no unwinding, no clean-up,
// no library notifications (TerminateProcess on GetCurrentProcess(); POSIX _exit).
[[noreturn]] void TerminateSelf(unsigned exit_code);

}  // namespace os
