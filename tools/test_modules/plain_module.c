/* Test protection modules that fail in one way each, picked by the build:
   ENTRY_NAME names the export (a wrong one, or doHandle), and REFUSE_LOAD makes
   the module's own initialisation refuse the load. */
#include <windows.h>

#include <stdint.h>

#ifndef ENTRY_NAME
#define ENTRY_NAME doHandle
#endif

__declspec(dllexport) void ENTRY_NAME(uint32_t handoff, const char* payload) {
  (void)handoff;
  (void)payload;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance;
  (void)reserved;
#ifdef REFUSE_LOAD
  if (reason == DLL_PROCESS_ATTACH) return FALSE;
#else
  (void)reason;
#endif
  return TRUE;
}
