// ModuleEntryProc: the binary interface of the protection module's doHandle.
#pragma once

#include <cstdint>

#if defined(__i386__)
// 32-bit x86: the handoff integer in EAX, the payload address in EDX, ECX
// unused; nothing is passed on the stack, so the caller has nothing to remove
// and the callee returns with a plain near return. EBX, ESI, EDI, EBP and ESP
// are preserved by the callee; EAX, ECX and EDX are not. This is GCC's
// regparm(3) register convention, neither fastcall (ECX, EDX) nor stdcall.
typedef void(__attribute__((regparm(3))) * ModuleEntryProc)(uint32_t handoff, const char* payload);
#else
// Native builds (the unit tests): the platform's C calling convention.
typedef void (*ModuleEntryProc)(uint32_t handoff, const char* payload);
#endif

// Calls the entry point at `entry` through ModuleEntryProc and waits for it to
// return, however long that takes. `payload` is a NUL-terminated text, never
// null; it must stay valid until the call returns. The result is ignored.
void CallModuleEntry(void* entry, uint32_t handoff, const char* payload);
