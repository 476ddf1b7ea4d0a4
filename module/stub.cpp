// Placeholder until the module stages land: nothing is loaded yet.
#include "bootstrap/fail_fatal.h"
#include "module/handoff.h"
#include "module/module_store.h"

const char kModuleDirectory[] = "Brimstave";
const char kModulePath[] = "Brimstave\\qStave.des";

bool ModuleNeedsUpdate(Splash&, const std::string&) { return true; }
void UpdateModuleFile(Splash& splash, const std::string&, int32_t) {
  FailFatal(splash, FatalMessage::ModuleInit);
}
void StartProtectionModule(Splash& splash, const std::string&, const std::vector<std::string>&) {
  FailFatal(splash, FatalMessage::ModuleInit);
}
