#include "bootstrap/run_bootstrap.h"

#include "bootstrap/fail_fatal.h"
#include "bootstrap/splash.h"
#include "config/client_identifier.h"
#include "module/handoff.h"
#include "module/module_store.h"
#include "update/manifest.h"

void RunBootstrap(Splash& splash, const std::string& base_url) {
  // The start message is handled before the window's first regular paint and
  // the run then blocks the thread, so this is what the player sees throughout.
  splash.PaintNow();

  std::string identifier;
  try {
    splash.SetStatusText("Loading....");
    identifier = ReadClientIdentifier(splash);
  } catch (...) {
    FailFatal(splash, FatalMessage::Config);
  }

  // Anything thrown past here (no memory, a module file that cannot be read)
  // would otherwise leave the splash window up in its modal run and the host's
  // load waiting for good; each stage ends through a message of its own.
  ManifestResult manifest;
  try {
    manifest = RequestManifest(splash, base_url, identifier);
  } catch (...) {
    FailFatal(splash, FatalMessage::Http);
  }

  bool need_update = false;
  try {
    need_update = ModuleNeedsUpdate(splash, manifest.module_digest);
  } catch (...) {
    FailFatal(splash, FatalMessage::StoreDirectory);
  }
  if (need_update) {
    UpdateModuleFile(splash, base_url, manifest.client->DownloadSize);
  }
  manifest.client.reset();  // closes the manifest connection before the load

  try {
    StartProtectionModule(splash, manifest.handoff_value, manifest.lines);
  } catch (...) {
    FailFatal(splash, FatalMessage::ModuleInit);
  }
}
