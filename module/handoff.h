// The hand-off: load the protection module and call its doHandle.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Splash;

// The payload lines, each followed by CR LF. The caller passes c_str(), so an
// empty list gives a pointer to a lone NUL, never null.
std::string JoinPayloadText(const std::vector<std::string>& lines);

// Loads the module file by its full path (current directory + kModulePath, so
// the loader cannot pick up another copy from the host's application
// directory), resolves "doHandle" case-exactly (FailFatal with message 6 when
// either fails), calls RequestClose, then doHandle(HexDigitsToInt(handoff),
// payload text) through ModuleEntryProc. Returns after doHandle returns.
void StartProtectionModule(Splash& splash, const std::string& handoff_value,
                           const std::vector<std::string>& lines);
