// The one way out on failure: hide the splash, show the message, end the host.
#pragma once

class Splash;

// The six messages, numbered as operators and players know them.
enum class FatalMessage {
  Config = 1,          // the configuration file is missing or damaged
  NoData = 2,          // the manifest has fewer than two lines
  Http = 3,            // the manifest request failed, or its key lines are empty
  StoreDirectory = 4,  // the module store cannot be found, created or read
  UpdateSize = 5,      // an update is needed but the manifest reply declared no size
  ModuleInit = 6,      // the module cannot be written, loaded or has no doHandle
};

// The message text: NUL-terminated Windows-1251 bytes. FailFatal allocates
// nothing, so it works when memory has run out.
const char* FatalMessageText(FatalMessage message);

// The box caption, Windows-1251, 25 bytes.
extern const char kFatalCaption[];

// Hides the splash window, shows the message in an unowned MB_ICONERROR box
// and, once it is dismissed, terminates the process with exit code 1. Never
// returns and never unwinds: no destructor, catch handler or library
// notification runs after it.
[[noreturn]] void FailFatal(Splash& splash, FatalMessage message);
