/* The recording test protection module. Each call of doHandle appends one
   line to "doHandle.log" in the current directory:

     call <handoff decimal> <payload bytes in hex, up to and including the NUL>
       hex=<handoff, 8 hex digits> splash_visible=<0|1> others_enabled=<0|1>
       entry_esp_aligned=<0|1> module=<this module's full path>

   (one line; "null" in place of the payload bytes for a null address).
   splash_visible says whether a top-level window of this process titled
   "Quarnel Team Brim Stave" is visible; others_enabled whether every other
   top-level window of the calling thread is enabled. When "doHandle.wait"
   exists it then waits, at most 60 s, until "doHandle.go" appears, so that a
   test can look at the screen while doHandle runs. */
#include <windows.h>

#include <stdint.h>
#include <stdio.h>
#include <wchar.h>

static const wchar_t kSplashTitle[] = L"Quarnel Team Brim Stave";

static HMODULE g_self;

struct Survey {
  BOOL splash_visible;
  BOOL others_enabled;
};

/* InternalGetWindowText sends no message, so a window of a thread that is
   blocked (the loader lock is held) cannot hang the survey. */
static BOOL IsSplash(HWND window) {
  wchar_t title[64];
  const int n = InternalGetWindowText(window, title, 64);
  return n == (int)(sizeof kSplashTitle / sizeof kSplashTitle[0]) - 1 &&
         wcscmp(title, kSplashTitle) == 0;
}

static BOOL CALLBACK SurveyProcessWindow(HWND window, LPARAM data) {
  struct Survey* survey = (struct Survey*)data;
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == GetCurrentProcessId() && IsSplash(window) && IsWindowVisible(window)) {
    survey->splash_visible = TRUE;
  }
  return TRUE;
}

/* The system's own per-thread input method window is always disabled; it is
   not one of the host's windows. */
static BOOL IsImeWindow(HWND window) {
  char name[16];
  return GetClassNameA(window, name, sizeof name) > 0 && lstrcmpiA(name, "IME") == 0;
}

static BOOL CALLBACK SurveyThreadWindow(HWND window, LPARAM data) {
  struct Survey* survey = (struct Survey*)data;
  if (GetParent(window) == NULL && !IsSplash(window) && !IsImeWindow(window) &&
      !IsWindowEnabled(window)) {
    survey->others_enabled = FALSE;
  }
  return TRUE;
}

static BOOL FileExists(const char* name) {
  return GetFileAttributesA(name) != INVALID_FILE_ATTRIBUTES;
}

/* Called by the assembly entry with cdecl; the stack may be only 4-aligned. */
__attribute__((force_align_arg_pointer)) void RecordHandoff(uint32_t handoff,
                                                           const unsigned char* payload,
                                                           uint32_t entry_esp) {
  struct Survey survey = {FALSE, TRUE};
  EnumWindows(SurveyProcessWindow, (LPARAM)&survey);
  EnumThreadWindows(GetCurrentThreadId(), SurveyThreadWindow, (LPARAM)&survey);

  char module[MAX_PATH + 1] = "";
  GetModuleFileNameA(g_self, module, MAX_PATH);

  FILE* log = fopen("doHandle.log", "ab");
  if (log != NULL) {
    fprintf(log, "call %lu ", (unsigned long)handoff);
    if (payload == NULL) {
      fputs("null", log);
    } else {
      const unsigned char* p = payload;
      do fprintf(log, "%02X", *p); while (*p++ != 0);
    }
    fprintf(log, " hex=%08lX splash_visible=%d others_enabled=%d entry_esp_aligned=%d module=%s\n",
            (unsigned long)handoff, survey.splash_visible ? 1 : 0, survey.others_enabled ? 1 : 0,
            (entry_esp & 3) == 0 ? 1 : 0, module);
    fclose(log);
  }

  if (FileExists("doHandle.wait")) {
    for (int waited = 0; waited < 60000 && !FileExists("doHandle.go"); waited += 50) Sleep(50);
  }
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) g_self = instance;
  return TRUE;
}
