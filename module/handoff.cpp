#include "module/handoff.h"

#include "bootstrap/fail_fatal.h"
#include "bootstrap/splash.h"
#include "config/CONVUNIT.h"
#include "module/module_entry.h"
#include "module/module_store.h"
#include "os/file.h"
#include "os/module_loader.h"

std::string JoinPayloadText(const std::vector<std::string>& lines) {
  size_t size = 0;
  for (const auto& line : lines) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void CallModuleEntry(void* entry, uint32_t handoff, const char* payload) {
  reinterpret_cast<ModuleEntryProc>(entry)(handoff, payload);
}

void StartProtectionModule(Splash& splash, const std::string& handoff_value,
                           const std::vector<std::string>& lines) {
  // The full path of the file the digest check tested or the update wrote. A
  // relative path with a directory part would let the loader try the host's
  // application directory first and run an unverified copy found there.
  const std::string path = os::AbsolutePath(kModulePath);
  void* module = os::LoadModule(path.c_str());
  if (module == nullptr) FailFatal(splash, FatalMessage::ModuleInit);
  void* entry = os::FindExport(module, "doHandle");
  if (entry == nullptr) FailFatal(splash, FatalMessage::ModuleInit);

  // Built before the close request, so that nothing after it can fail: once
  // the modal run is marked to end, the only thing left is the call.
  const std::string payload = JoinPayloadText(lines);
  const uint32_t handoff = HexDigitsToInt(handoff_value);

  splash.RequestClose();
  CallModuleEntry(entry, handoff, payload.c_str());
}
