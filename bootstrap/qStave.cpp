// The library's main unit. All of its work happens inside the host's load:
// process attach starts the sockets layer, then runs the splash window
// modally, and the bootstrap runs inside that run. The load reports success
// once doHandle has returned.
#include <windows.h>

#include "bootstrap/forms.h"
#include "bootstrap/ufrmSplash.h"
#include "os/socket.h"

namespace {

bool g_sockets_started = false;

void StopSocketsOnce() {
  if (g_sockets_started) os::StopSockets();
  g_sockets_started = false;
}

// A failure here happens before the splash exists, so the box has no owner.
bool StartLibrary() {
  if (!os::StartSockets()) {
    MessageBoxA(nullptr, "Error loading Socket interface (ws2_32.dll)!", "Error", MB_ICONERROR);
    return false;
  }
  g_sockets_started = true;
  try {
    frmSplash = new TfrmSplash();
    frmSplash->RunModal();
  } catch (...) {
    // The window could not be made or run: the load fails and nothing of the
    // bootstrap is left behind.
    delete frmSplash;
    StopSocketsOnce();
    return false;
  }
  return true;
}

// The host unloads the library: no window may outlive the code behind its
// window procedure, so a splash whose release request was never dispatched
// goes now.
void StopLibrary() {
  delete frmSplash;
  forms::ReleaseWindowClass();
  StopSocketsOnce();
}

}  // namespace

// The library's one export; the host need not call it.
extern "C" void DllEntryPoint() {}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      return StartLibrary() ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
      // `reserved` is set when the whole process is ending: its windows and
      // sockets go with it, and calling into other libraries is no longer safe.
      if (reserved == nullptr) StopLibrary();
      return TRUE;
    default:
      return TRUE;
  }
}
