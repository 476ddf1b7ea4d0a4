// The real qStave.dll in the test host under Wine: the start-up and the
// configuration stage.
#include <gtest/gtest.h>

#include "bootstrap/fail_fatal.h"
#include "config/JclMime.h"
#include "tests/e2e/e2e_support.h"

namespace {

// The single box of a fatal end: the message with its caption, the error icon
// and one OK button, no owner, the splash already off the screen; then exit 1.
void ExpectFatal(const HostRun& run, FatalMessage message) {
  ASSERT_FALSE(run.timed_out);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_FALSE(run.Has("load 1")) << "the load must not return";
  ASSERT_EQ(run.boxes.size(), 1u);
  const BoxRecord& box = run.boxes[0];
  EXPECT_EQ(box.text, FatalMessageText(message));
  EXPECT_EQ(box.caption, kFatalCaption);
  EXPECT_EQ(box.icon, "error");
  EXPECT_EQ(box.buttons, "1");
  EXPECT_EQ(box.owner, "0x0");
  EXPECT_FALSE(box.topmost);
  EXPECT_FALSE(box.splash_visible);
}

TEST(StartupE2E, NoConfigurationFileEndsWithMessageOne) {
  HostOptions options;
  options.app_files["qs_sys.ini"] = ConfigFor("abc");  // beside the host, not in its current directory
  ExpectFatal(RunHost(options), FatalMessage::Config);
}

TEST(StartupE2E, ConfigurationFileHeldWithoutSharingEndsWithMessageOne) {
  HostOptions options;
  options.files["qs_sys.ini"] = ConfigFor("abc");
  options.args = {"--hold", "qs_sys.ini:none"};
  const HostRun run = RunHost(options);
  EXPECT_TRUE(run.Has("hold qs_sys.ini open"));
  ExpectFatal(run, FatalMessage::Config);
}

TEST(StartupE2E, ConfigurationWithoutTabEndsWithMessageOne) {
  HostOptions options;
  options.files["qs_sys.ini"] = Base64Encode("no tab in here");
  ExpectFatal(RunHost(options), FatalMessage::Config);
}

}  // namespace
