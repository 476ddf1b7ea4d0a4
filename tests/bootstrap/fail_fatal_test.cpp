#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "bootstrap/fail_fatal.h"
#include "bootstrap/run_bootstrap.h"
#include "bootstrap/splash.h"
#include "config/JclMime.h"
#include "tests/support/test_support.h"

namespace {

TEST(FatalMessages, ExactWindows1251Bytes) {
  const struct { FatalMessage message; size_t length; const char* start; } cases[] = {
      {FatalMessage::Config, 44, "\xCE\xF2\xF1"},
      {FatalMessage::NoData, 30, "\xCD\xE5\xF5"},
      {FatalMessage::Http, 107, "\xD3 \xE2\xE0\xF1"},
      {FatalMessage::StoreDirectory, 32, "\xCE\xF8\xE8\xE1\xEA\xE0 \xE7"},
      {FatalMessage::UpdateSize, 32, "\xEE\xF8\xE8\xE1\xEA\xE0  \xEE"},
      {FatalMessage::ModuleInit, 34, "\xCE\xF8\xE8\xE1\xEA\xE0 \xE8"},
  };
  for (const auto& c : cases) {
    const char* text = FatalMessageText(c.message);
    EXPECT_EQ(std::strlen(text), c.length) << static_cast<int>(c.message);
    EXPECT_EQ(std::string(text).rfind(c.start, 0), 0u) << static_cast<int>(c.message);
  }
  EXPECT_EQ(std::strlen(kFatalCaption), 25u);
  EXPECT_STREQ(kFatalCaption, "\xCE\xF8\xE8\xE1\xEA\xE0 Brim Stave \xD1\xE8\xF1\xF2\xE5\xEC\xFB");

  const std::string http = FatalMessageText(FatalMessage::Http);
  EXPECT_EQ(http.substr(0, 74),
            "\xD3 \xE2\xE0\xF1 \xE7\xE0\xEF\xF0\xE5\xF9\xE5\xED \xE4\xEE\xF1\xF2\xF3\xEF "
            "\xE4\xEB\xFF \xEF\xF0\xE8\xEB\xEE\xE6\xE5\xED\xE8\xFF l2.exe \xEA "
            "\xE8\xED\xF2\xE5\xF0\xED\xE5\xF2\xF3 \xEF\xEE \xEF\xF0\xEE\xF2\xEE\xEA\xEE\xEB\xF3 "
            "HTTP.");
  EXPECT_EQ(http.substr(74, 2), "\r\n");
}

#if QSTAVE_DEATH_TESTS

// Says on stderr when it is hidden, so a death test sees the order of the
// hide and the box.
class LoggingSplash final : public Splash {
 public:
  void PaintNow() override { Log("paint"); }
  void SetStatusText(const std::string& text) override { Log(("status:" + text).c_str()); }
  void HideSplash() override { Log("hide"); }
  void RequestClose() override { Log("close"); }

 private:
  static void Log(const char* what) {
    std::fprintf(stderr, "[%s]\n", what);
    std::fflush(stderr);
  }
};

std::string BoxOf(FatalMessage message) {
  return std::string(kFatalCaption) + ": " + FatalMessageText(message);
}

TEST(FailFatalDeathTest, HidesThenShowsTheBoxThenExitsWithOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (int m = 1; m <= 6; ++m) {
    const auto message = static_cast<FatalMessage>(m);
    LoggingSplash splash;
    EXPECT_EXIT(FailFatal(splash, message), testing::ExitedWithCode(1),
                "^\\[hide\\]\n" + EscapeRegex(BoxOf(message)) + "\n$")
        << m;
  }
}

TEST(FailFatalDeathTest, DoesNotUnwindThroughCatchHandlersOrDestructors) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  struct Loud {
    ~Loud() { std::fputs("destructor ran\n", stderr); }
  };
  LoggingSplash splash;
  EXPECT_EXIT(
      {
        try {
          Loud loud;
          FailFatal(splash, FatalMessage::NoData);
        } catch (...) {
          std::fputs("handler ran\n", stderr);
        }
        std::exit(0);
      },
      testing::ExitedWithCode(1), "^\\[hide\\]\n" + EscapeRegex(BoxOf(FatalMessage::NoData)) + "\n$");
}

TEST(RunBootstrapDeathTest, ConfigurationFailuresEndWithMessageOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string expected = "^\\[paint\\]\n\\[status:Loading\\.\\.\\.\\.\\]\n\\[hide\\]\n" +
                               EscapeRegex(BoxOf(FatalMessage::Config)) + "\n$";
  {
    ScopedTempDir dir;  // no qs_sys.ini at all
    LoggingSplash splash;
    EXPECT_EXIT(RunBootstrap(splash, "http://127.0.0.1:1/l2/stave/"), testing::ExitedWithCode(1),
                expected);
  }
  {
    ScopedTempDir dir;
    WriteFileBytes("qs_sys.ini", Base64Encode("no tab here"));
    LoggingSplash splash;
    EXPECT_EXIT(RunBootstrap(splash, "http://127.0.0.1:1/l2/stave/"), testing::ExitedWithCode(1),
                expected);
  }
}

#endif  // QSTAVE_DEATH_TESTS

}  // namespace
