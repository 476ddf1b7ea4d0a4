/* A stand-in protection module for the native hand-off tests. It exports its
   entry under ENTRY_NAME (doHandle unless the build says otherwise) and
   appends one line per call to "doHandle.log" in the current directory:
   "call <handoff decimal> <payload bytes in hex, up to and including the NUL>",
   or "call <handoff> null" for a null payload. */
#include <stdint.h>
#include <stdio.h>

#ifndef ENTRY_NAME
#define ENTRY_NAME doHandle
#endif

__attribute__((visibility("default"))) void ENTRY_NAME(uint32_t handoff, const char* payload) {
  FILE* log = fopen("doHandle.log", "ab");
  if (log == NULL) return;
  fprintf(log, "call %lu ", (unsigned long)handoff);
  if (payload == NULL) {
    fputs("null", log);
  } else {
    const unsigned char* p = (const unsigned char*)payload;
    do fprintf(log, "%02X", *p); while (*p++ != 0);
  }
  fputc('\n', log);
  fclose(log);
}
