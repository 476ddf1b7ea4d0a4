// The end-to-end harness: lays out a game folder, starts the test host under
// Wine with the real qStave.dll, and reads back what the host reported.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

// One message box the host saw and dismissed.
struct BoxRecord {
  std::string owner;    // "0x0" when the box has no owner window
  std::string caption;  // raw bytes
  std::string text;     // raw bytes
  std::string icon;     // "error", "warning", ..., "none"
  std::string buttons;  // control ids, comma-separated ("1" for a lone OK)
  bool topmost = false;
  bool splash_exists = false;
  bool splash_visible = false;
};

struct HostRun {
  int exit_code = -1;
  bool timed_out = false;
  std::vector<std::string> lines;  // the host's report, one event a line
  std::vector<BoxRecord> boxes;
  // The module's doHandle.log, when the recording module was called.
  std::string module_log;
  std::string folder;  // the game folder, left for inspection of its files

  bool Has(const std::string& prefix) const;  // a report line starts with it
  const std::string* Line(const std::string& prefix) const;
};

struct HostOptions {
  std::vector<std::string> args;  // extra test host flags: --host-window, --loads 2, ...
  // Files of the game folder (its current directory), by relative name with '/'.
  std::map<std::string, std::string> files;
  std::vector<std::string> directories;  // made before the files
  // Files of the host's application folder, where testhost.exe sits.
  std::map<std::string, std::string> app_files;
  int timeout_seconds = 300;
  // Called with the game folder once it is laid out, before the host starts.
  std::function<void(const std::string& folder)> before_start;
  // When set, the recording module is told to wait inside doHandle
  // ("doHandle.wait"); once it has written doHandle.log this is called with the
  // game folder, and when it returns "doHandle.go" lets doHandle return. Not
  // called when the host ends before doHandle runs.
  std::function<void(const std::string& folder)> while_module_waits;
};

// Paths and settings of the win32 build that the tests load.
struct Win32Build {
  std::string dir;
  std::string dll;          // qStave.dll
  std::string host;         // testhost.exe
  std::string test_modules; // folder of the test protection modules
  int update_port = 0;      // the port baked into the DLL's base URL (127.0.0.1)
};
const Win32Build& TheWin32Build();

// Every file RunHost places carries this modification time (2001-09-09), so a
// test can tell whether the run rewrote it.
constexpr long kPlacedFileTime = 1000000000;

// Runs the test host once in a fresh game folder.
HostRun RunHost(const HostOptions& options);

enum class FatalMessage;

// The single box of a fatal end: the message with its caption, the error icon
// and one OK button, no owner, not topmost, the splash already off the
// screen; the load never returns and the process exits with code 1.
void ExpectFatalEnd(const HostRun& run, FatalMessage message);

// A qs_sys.ini for the identifier.
std::string ConfigFor(const std::string& identifier);

std::string FileBytes(const std::string& path);

// The bytes of a test protection module of the win32 build ("recorder.dll").
std::string TestModuleBytes(const std::string& name);
// The MD5 of `bytes` as 32 upper-case hex digits, as a manifest names it.
std::string UpperMd5Hex(const std::string& bytes);
// A 200 reply with a Content-Length and `body`.
std::string OkReply(const std::string& body);
