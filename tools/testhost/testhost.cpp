// A stand-in game client for the end-to-end tests: loads qStave.dll from its
// current directory the way the client does, and writes what happened to a
// report file, one line per event, flushed as it goes (the library may end the
// process at any moment).
//
//   testhost.exe REPORT [--host-window] [--loads N] [--call-entry] [--dispatch]
//                       [--hold PATH:none|rw] [--thread-in-load]
//
// --thread-in-load starts a thread of the host from inside the load, when the
// first window is created on this thread (the splash); the thread reports
// whether the load had returned by the time it ran.
// --hold opens PATH for reading before the load and keeps it open, sharing
// nothing or sharing read and write, as another game client would; Windows
// applies share modes to every open handle, in this process or another.
// Every message box shown on this thread is recorded (owner, caption and text
// bytes in hex, icon, buttons, topmost, whether the splash window was visible
// then) and dismissed as a user pressing OK would, through a thread-local CBT
// hook.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kSplashTitle[] = "Quarnel Team Brim Stave";

HANDLE g_report = INVALID_HANDLE_VALUE;
HHOOK g_hook = nullptr;
bool g_thread_in_load = false;
bool g_loading = false;
volatile LONG g_load_returned = 0;
HANDLE g_thread = nullptr;

void Report(const std::string& line) {
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(g_report, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  FlushFileBuffers(g_report);
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (const unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

std::string WindowText(HWND hwnd) {
  const int length = GetWindowTextLengthA(hwnd);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  text.resize(static_cast<size_t>(GetWindowTextA(hwnd, text.data(), length + 1)));
  return text;
}

std::string ClassOf(HWND hwnd) {
  char name[256] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

std::string Pointer(const void* p) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "0x%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(p)));
  return buffer;
}

BOOL CALLBACK FindSplash(HWND hwnd, LPARAM found) {
  if (WindowText(hwnd) == kSplashTitle) {
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND SplashWindow() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindSplash, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::string SplashState() {
  HWND splash = SplashWindow();
  if (splash == nullptr) return "splash-exists=0";
  RECT r;
  GetWindowRect(splash, &r);
  char buffer[256];
  std::snprintf(buffer, sizeof buffer,
                "splash-exists=1 splash-visible=%d splash-rect=%ld,%ld,%ld,%ld splash-style=0x%lx "
                "splash-exstyle=0x%lx splash-owner=%s",
                IsWindowVisible(splash) ? 1 : 0, r.left, r.top, r.right - r.left, r.bottom - r.top,
                static_cast<unsigned long>(GetWindowLongA(splash, GWL_STYLE)),
                static_cast<unsigned long>(GetWindowLongA(splash, GWL_EXSTYLE)),
                Pointer(GetWindow(splash, GW_OWNER)).c_str());
  return buffer;
}

struct BoxParts {
  std::string text;
  std::string icon = "none";
  std::string buttons;
};

BOOL CALLBACK CollectBoxPart(HWND child, LPARAM out) {
  auto& parts = *reinterpret_cast<BoxParts*>(out);
  const std::string cls = ClassOf(child);
  const LONG style = GetWindowLongA(child, GWL_STYLE);
  if (_stricmp(cls.c_str(), "Static") == 0) {
    if ((style & SS_TYPEMASK) == SS_ICON) {
      const HICON icon = reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
      if (icon == LoadIcon(nullptr, IDI_HAND)) parts.icon = "error";
      else if (icon == LoadIcon(nullptr, IDI_EXCLAMATION)) parts.icon = "warning";
      else if (icon == LoadIcon(nullptr, IDI_ASTERISK)) parts.icon = "information";
      else if (icon == LoadIcon(nullptr, IDI_QUESTION)) parts.icon = "question";
      else if (icon != nullptr) parts.icon = "other";
    } else if (!WindowText(child).empty()) {
      parts.text = WindowText(child);
    }
  } else if (_stricmp(cls.c_str(), "Button") == 0 && (style & WS_VISIBLE) != 0) {
    if (!parts.buttons.empty()) parts.buttons += ',';
    parts.buttons += std::to_string(GetDlgCtrlID(child));
  }
  return TRUE;
}

DWORD WINAPI ThreadInLoad(LPVOID) {
  Report(std::string("thread ran ") + (InterlockedCompareExchange(&g_load_returned, 0, 0) ? "after-load" : "during-load"));
  return 0;
}

LRESULT CALLBACK CbtHook(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_CREATEWND && g_thread_in_load && g_loading && g_thread == nullptr) {
    g_thread = CreateThread(nullptr, 0, ThreadInLoad, nullptr, 0, nullptr);
    Report(std::string("thread ") + (g_thread != nullptr ? "created during-load" : "failed"));
  }
  if (code == HCBT_ACTIVATE) {
    HWND box = reinterpret_cast<HWND>(wparam);
    if (ClassOf(box) == "#32770" && GetPropA(box, "qstave-testhost-seen") == nullptr) {
      SetPropA(box, "qstave-testhost-seen", reinterpret_cast<HANDLE>(1));
      BoxParts parts;
      EnumChildWindows(box, CollectBoxPart, reinterpret_cast<LPARAM>(&parts));
      const LONG exstyle = GetWindowLongA(box, GWL_EXSTYLE);
      Report("box owner=" + Pointer(GetWindow(box, GW_OWNER)) + " caption=" + Hex(WindowText(box)) +
             " text=" + Hex(parts.text) + " icon=" + parts.icon + " buttons=" + parts.buttons +
             " topmost=" + ((exstyle & WS_EX_TOPMOST) ? "1" : "0") + " " + SplashState());
      // As a user pressing OK.
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    }
  }
  return CallNextHookEx(g_hook, code, wparam, lparam);
}

LRESULT CALLBACK HostWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

HWND CreateHostWindow() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = HostWindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "QStaveTestHostWindow";
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  RegisterClassA(&wc);
  // Placed under where the splash comes up, so a screenshot shows which is on top.
  HWND hwnd = CreateWindowExA(0, wc.lpszClassName, "qStave test host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                              400, 300, 600, 300, nullptr, nullptr, wc.hInstance, nullptr);
  UpdateWindow(hwnd);
  return hwnd;
}

void DispatchPending() {
  MSG msg;
  for (int round = 0; round < 50; ++round) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(20);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: testhost REPORT [--host-window] [--loads N] [--call-entry] [--dispatch]\n");
    return 2;
  }
  g_report = CreateFileA(argv[1], GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (g_report == INVALID_HANDLE_VALUE) return 3;

  bool host_window = false, call_entry = false, dispatch = false;
  int loads = 1;
  std::vector<std::string> holds;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--host-window") == 0) host_window = true;
    else if (std::strcmp(argv[i], "--call-entry") == 0) call_entry = true;
    else if (std::strcmp(argv[i], "--dispatch") == 0) dispatch = true;
    else if (std::strcmp(argv[i], "--loads") == 0 && i + 1 < argc) loads = std::atoi(argv[++i]);
    else if (std::strcmp(argv[i], "--hold") == 0 && i + 1 < argc) holds.push_back(argv[++i]);
    else if (std::strcmp(argv[i], "--thread-in-load") == 0) g_thread_in_load = true;
  }

  Report("start");
  for (const std::string& hold : holds) {
    const size_t colon = hold.rfind(':');
    const std::string path = hold.substr(0, colon);
    const DWORD share = hold.substr(colon + 1) == "rw" ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    Report("hold " + path + (h == INVALID_HANDLE_VALUE ? " failed" : " open"));
  }
  HWND host = nullptr;
  if (host_window) {
    host = CreateHostWindow();
    Report(std::string("host-window created enabled=") + (IsWindowEnabled(host) ? "1" : "0"));
  }
  g_hook = SetWindowsHookExA(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());

  HMODULE library = nullptr;
  for (int n = 1; n <= loads; ++n) {
    g_loading = true;
    HMODULE h = LoadLibraryA("qStave.dll");
    g_loading = false;
    InterlockedExchange(&g_load_returned, 1);
    if (h == nullptr) {
      Report("load " + std::to_string(n) + " failed error=" + std::to_string(GetLastError()));
    } else {
      library = h;
      Report("load " + std::to_string(n) + " returned " + SplashState());
    }
  }
  if (host != nullptr) {
    Report(std::string("host-window enabled=") + (IsWindowEnabled(host) ? "1" : "0"));
  }
  if (call_entry && library != nullptr) {
    auto entry = reinterpret_cast<void (*)()>(GetProcAddress(library, "DllEntryPoint"));
    if (entry != nullptr) entry();
    Report(std::string("entry ") + (entry != nullptr ? "called " : "missing ") + SplashState());
  }
  if (dispatch) {
    DispatchPending();
    Report("dispatched " + SplashState());
  }
  if (g_thread != nullptr) {
    WaitForSingleObject(g_thread, 30000);
    CloseHandle(g_thread);
  }
  Report("end");
  UnhookWindowsHookEx(g_hook);
  return 0;
}
