#include "module/module_store.h"

#include "bootstrap/fail_fatal.h"
#include "bootstrap/splash.h"
#include "module/md5.h"
#include "os/file.h"
#include "update/httpsend.h"
#include "update/manifest.h"

const char kModuleDirectory[] = "Brimstave";
const char kModulePath[] = "Brimstave\\qStave.des";

bool ModuleNeedsUpdate(Splash& splash, const std::string& module_digest) {
  if (os::FileExists(kModulePath)) {
    // Both sides lower-cased: the manifest may write the hex letters in either case.
    return LowerCaseAscii(FileMd5UpperHex(kModulePath)) != LowerCaseAscii(module_digest);
  }
  if (!os::DirectoryExists(kModuleDirectory) && !os::CreateDirectoryOneLevel(kModuleDirectory)) {
    FailFatal(splash, FatalMessage::StoreDirectory);
  }
  return true;
}

void UpdateModuleFile(Splash& splash, const std::string& base_url, int32_t declared_size) {
  splash.SetStatusText("Upgrade files..");
  try {
    // A manifest reply read to the close declared no size; the module file is
    // left as it is.
    if (declared_size <= 0) FailFatal(splash, FatalMessage::UpdateSize);
    os::File file = os::File::Open(kModulePath, os::Access::ReadWrite, os::Share::None,
                                   os::Disposition::CreateAlways);
    // The outcome is not looked at: a file left empty or holding an error page
    // fails to load in the hand-off, with the same message as here.
    DownloadToStream(base_url + "rxm/qStave.des", file);
    file.Close();
  } catch (...) {
    FailFatal(splash, FatalMessage::ModuleInit);
  }
}
