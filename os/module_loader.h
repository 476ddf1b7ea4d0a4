// Loading the protection module and resolving its entry point.
#pragma once

namespace os {

// Loads the library at `path` (LoadLibraryA; dlopen natively). nullptr when the
// loader refuses it: missing, not a library for this process, or its own
// initialisation failed. The library is never unloaded.
void* LoadModule(const char* path);

// The address of the export `name`, matched case-exactly; nullptr when absent.
void* FindExport(void* module, const char* name);

}  // namespace os
