#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "bootstrap/fail_fatal.h"
#include "module/handoff.h"
#include "tests/support/test_support.h"

// QSTAVE_RECORDING_MODULE: a test module whose doHandle appends
// "call <handoff> <payload hex incl. NUL> ..." to doHandle.log.

namespace {

namespace fs = std::filesystem;

TEST(JoinPayloadText, EachLineEndsWithCrLf) {
  const struct { std::vector<std::string> lines; std::string text; } cases[] = {
      {{}, ""},
      {{"A", "B"}, "A\r\nB\r\n"},
      {{""}, "\r\n"},
      {{"", "x", ""}, "\r\nx\r\n\r\n"},
      {{" a\tb "}, " a\tb \r\n"},
      {{"\xCF\xF0\xE8\xE2\xE5\xF2", "\xFF"}, "\xCF\xF0\xE8\xE2\xE5\xF2\r\n\xFF\r\n"},  // 1251 as is
  };
  for (const auto& c : cases) EXPECT_EQ(JoinPayloadText(c.lines), c.text);
}

// The close request lands in the same log as the module's calls, so the log
// shows their order.
class LogClosingSplash final : public Splash {
 public:
  void PaintNow() override { Log("[paint]\n"); }
  void SetStatusText(const std::string& text) override { Log("[status:" + text + "]\n"); }
  void HideSplash() override { Log("[hide]\n"); }
  void RequestClose() override {
    Log("[close]\n");
    FILE* log = std::fopen("doHandle.log", "ab");
    std::fputs("close\n", log);
    std::fclose(log);
  }
  std::vector<std::string> calls;

 private:
  void Log(const std::string& what) {
    calls.push_back(what);
    std::fputs(what.c_str(), stderr);
    std::fflush(stderr);
  }
};

void InstallModule(const std::string& source) {
  fs::create_directory("Brimstave");
  WriteFileBytes("Brimstave/qStave.des", ReadFileBytes(source));
}

// The log with each call line cut after its payload field: the Windows
// recorder adds fields of its own there.
std::string CallLog() {
  std::istringstream in(ReadFileBytes("doHandle.log"));
  std::string out, line;
  while (std::getline(in, line)) {
    const size_t payload_end = line.find(' ', line.find(' ', 5) + 1);
    out += line.substr(0, payload_end) + "\n";
  }
  return out;
}

TEST(StartProtectionModule, ClosesThenCallsDoHandleWithTheHandoffAndPayload) {
  const struct {
    std::string handoff;
    std::vector<std::string> lines;
    std::string log;
  } cases[] = {
      {"ff", {"A", "B"}, "close\ncall 255 410D0A420D0A00\n"},
      {"12G", {"A"}, "close\ncall 0 410D0A00\n"},  // not a hex number: 0, still called
      {"FFFFFFFF", {}, "close\ncall 4294967295 00\n"},  // no lines: a lone NUL
      {"7e9", {"", "\xE0\xFF"}, "close\ncall 2025 0D0AE0FF0D0A00\n"},
  };
  for (const auto& c : cases) {
    ScopedTempDir dir;
    InstallModule(QSTAVE_RECORDING_MODULE);
    LogClosingSplash splash;
    StartProtectionModule(splash, c.handoff, c.lines);
    EXPECT_EQ(CallLog(), c.log) << c.handoff;
    EXPECT_EQ(splash.calls, std::vector<std::string>{"[close]\n"}) << c.handoff;
  }
}

#if QSTAVE_DEATH_TESTS

TEST(StartProtectionModuleDeathTest, UnloadableModuleOrNoDoHandleEndsWithMessageSix) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string box =
      "^\\[hide\\]\n" +
      EscapeRegex(std::string(kFatalCaption) + ": " + FatalMessageText(FatalMessage::ModuleInit)) +
      "\n$";
  const struct { const char* why; const char* module; std::string bytes; } cases[] = {
      {"no export named doHandle", QSTAVE_NOHANDLE_MODULE, ""},
      {"only DoHandle", QSTAVE_WRONGCASE_MODULE, ""},
      {"an HTML error page", nullptr, "<html><body><h1>404 Not Found</h1></body></html>\r\n"},
      {"an empty file", nullptr, ""},
      {"no file at all", nullptr, "(none)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    ScopedTempDir dir;
    if (c.module != nullptr) {
      InstallModule(c.module);
    } else if (c.bytes != "(none)") {
      fs::create_directory("Brimstave");
      WriteFileBytes("Brimstave/qStave.des", c.bytes);
    }
    LogClosingSplash splash;
    EXPECT_EXIT(StartProtectionModule(splash, "ff", {"A"}), testing::ExitedWithCode(1), box);
    EXPECT_FALSE(fs::exists("doHandle.log"));
  }
}

#endif  // QSTAVE_DEATH_TESTS

}  // namespace
