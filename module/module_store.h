// The module store "Brimstave\qStave.des": digest check and update.
#pragma once

#include <cstdint>
#include <string>

class Splash;

// Relative to the current directory, as the host expects.
extern const char kModuleDirectory[];  // "Brimstave"
extern const char kModulePath[];       // "Brimstave\qStave.des"

// True when the module file is missing (a directory of that name counts as
// missing) or its MD5, lower-case hex, differs from `module_digest`. When the
// file is missing, "Brimstave" is created (one level) unless it is a
// directory already; FailFatal with message 4 when that fails. Throws
// os::OsError when the existing file cannot be opened or read.
bool ModuleNeedsUpdate(Splash& splash, const std::string& module_digest);

// Sets "Upgrade files..", then under one catch-all (message 6): FailFatal with
// message 5 when `declared_size` is not above 0 (file untouched), else
// recreates the module file (no sharing, CREATE_ALWAYS) and downloads
// base_url + "rxm/qStave.des" into it. Returns only on success.
void UpdateModuleFile(Splash& splash, const std::string& base_url, int32_t declared_size);
