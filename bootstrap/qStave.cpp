// The library's main unit. All of its work happens inside the host's load:
// process attach runs the bootstrap and reports success once doHandle has
// returned.
#include <windows.h>

#include "bootstrap/run_bootstrap.h"
#include "bootstrap/splash.h"

namespace {

// Stands in for the splash window until it exists: nothing to paint or hide.
class NoSplash final : public Splash {
 public:
  void PaintNow() override {}
  void SetStatusText(const std::string&) override {}
  void HideSplash() override {}
  void RequestClose() override {}
};

bool g_started = false;

}  // namespace

extern "C" void DllEntryPoint() {}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH && !g_started) {
    g_started = true;
    NoSplash splash;
    RunBootstrap(splash, kBaseUrl);
  }
  return TRUE;
}
