// The real qStave.dll in the test host under Wine: the start-up and the
// configuration stage.
#include <gtest/gtest.h>

#include "bootstrap/fail_fatal.h"
#include "config/JclMime.h"
#include "tests/e2e/e2e_support.h"

namespace {

TEST(StartupE2E, NoConfigurationFileEndsWithMessageOne) {
  HostOptions options;
  options.app_files["qs_sys.ini"] = ConfigFor("abc");  // beside the host, not in its current directory
  ExpectFatalEnd(RunHost(options), FatalMessage::Config);
}

TEST(StartupE2E, ConfigurationFileHeldWithoutSharingEndsWithMessageOne) {
  HostOptions options;
  options.files["qs_sys.ini"] = ConfigFor("abc");
  options.args = {"--hold", "qs_sys.ini:none"};
  const HostRun run = RunHost(options);
  EXPECT_TRUE(run.Has("hold qs_sys.ini open"));
  ExpectFatalEnd(run, FatalMessage::Config);
}

TEST(StartupE2E, ConfigurationWithoutTabEndsWithMessageOne) {
  HostOptions options;
  options.files["qs_sys.ini"] = Base64Encode("no tab in here");
  ExpectFatalEnd(RunHost(options), FatalMessage::Config);
}

}  // namespace
