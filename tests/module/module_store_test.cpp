#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "bootstrap/fail_fatal.h"
#include "module/module_store.h"
#include "os/file.h"
#include "tests/support/test_support.h"
#include "tools/scripted_server/scripted_server.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

const char kFile[] = "Brimstave/qStave.des";
const std::string kModuleBytes = "MZ pretend module\r\n";
const std::string kModuleDigest = "06995372ab99539ed66137f0c865b684";  // MD5 of kModuleBytes
// An unreachable update server: the download fails at once, writing nothing.
const char kDeadServer[] = "http://127.0.0.1:1/l2/stave/";

enum class Store { File, NoFile, NoDirectory, DirectoryAsFile };

void Prepare(Store store, const std::string& bytes) {
  if (store == Store::NoDirectory) return;
  fs::create_directory("Brimstave");
  if (store == Store::File) WriteFileBytes(kFile, bytes);
  if (store == Store::DirectoryAsFile) fs::create_directory(kFile);
}

TEST(ModuleNeedsUpdate, ComparesTheLowerCasedFileDigest) {
  const struct {
    const char* why;
    Store store;
    std::string digest;
    bool needs_update;
  } cases[] = {
      {"equal, lower case", Store::File, kModuleDigest, false},
      {"equal, upper case", Store::File, "06995372AB99539ED66137F0C865B684", false},
      {"equal, mixed case", Store::File, "06995372aB99539Ed66137f0c865B684", false},
      {"last digit differs", Store::File, "06995372ab99539ed66137f0c865b685", true},
      {"trailing blank", Store::File, kModuleDigest + " ", true},
      {"31 digits", Store::File, kModuleDigest.substr(0, 31), true},
      {"digest and more", Store::File, kModuleDigest + "0", true},
      {"file missing", Store::NoFile, kModuleDigest, true},
      {"directory missing", Store::NoDirectory, kModuleDigest, true},
      {"a directory where the file belongs", Store::DirectoryAsFile, kModuleDigest, true},
  };
  for (const auto& c : cases) {
    ScopedTempDir dir;
    Prepare(c.store, kModuleBytes);
    RecordingSplash splash;
    EXPECT_EQ(ModuleNeedsUpdate(splash, c.digest), c.needs_update) << c.why;
    EXPECT_TRUE(splash.calls.empty()) << c.why;
    EXPECT_TRUE(fs::is_directory("Brimstave")) << c.why;
    if (c.store == Store::File) {
      EXPECT_EQ(ReadFileBytes(kFile), kModuleBytes) << c.why;
    }
    if (c.store == Store::DirectoryAsFile) {
      EXPECT_TRUE(fs::is_directory(kFile)) << c.why;
    }
    if (c.store == Store::NoFile || c.store == Store::NoDirectory) {
      EXPECT_FALSE(fs::exists(kFile)) << c.why;
    }
  }
}

TEST(ModuleNeedsUpdate, EmptyFileHasTheDigestOfNoBytes) {
  ScopedTempDir dir;
  Prepare(Store::File, "");
  RecordingSplash splash;
  EXPECT_FALSE(ModuleNeedsUpdate(splash, "d41d8cd98f00b204e9800998ecf8427e"));
  EXPECT_TRUE(ModuleNeedsUpdate(splash, kModuleDigest));
}

TEST(UpdateModuleFile, RecreatesTheFileAndLeavesItEmptyWhenTheDownloadFails) {
  for (const Store store : {Store::File, Store::NoFile}) {
    ScopedTempDir dir;
    Prepare(store, kModuleBytes);
    RecordingSplash splash;
    UpdateModuleFile(splash, kDeadServer, 1);
    EXPECT_EQ(splash.calls, std::vector<std::string>{"status:Upgrade files.."});
    EXPECT_TRUE(fs::is_regular_file(kFile));
    EXPECT_EQ(fs::file_size(kFile), 0u);
  }
}

TEST(UpdateModuleFile, WritesWhateverBodyTheServerSendsForTheModulePath) {
  const struct { const char* why; std::string reply; std::string file; } cases[] = {
      {"the module", "HTTP/1.1 200 OK\r\nContent-Length: 13\r\n\r\nMZ\x90\0new bytes"s,
       "MZ\x90\0new bytes"s},
      {"an error page", "HTTP/1.1 404 Not Found\r\nContent-Length: 12\r\n\r\n<h1>404</h1>",
       "<h1>404</h1>"},
      {"an empty body", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", ""},
  };
  for (const auto& c : cases) {
    ScopedTempDir dir;
    Prepare(Store::File, "an older, longer module file");
    ScriptedServer server({Reply(c.reply)});
    ASSERT_TRUE(server.listening());
    RecordingSplash splash;
    UpdateModuleFile(splash, server.Url("/l2/stave/"), 42);
    EXPECT_EQ(ReadFileBytes(kFile), c.file) << c.why;
    ASSERT_EQ(server.Requests().size(), 1u) << c.why;
    EXPECT_EQ(server.Requests()[0].rfind("GET /l2/stave/rxm/qStave.des HTTP/1.0\r\n", 0), 0u)
        << server.Requests()[0];
  }
}

#if QSTAVE_DEATH_TESTS

// Logs to stderr; when hidden (the first thing FailFatal does) it also says
// what the module file holds at that moment.
class StoreLoggingSplash final : public Splash {
 public:
  void PaintNow() override {}
  void SetStatusText(const std::string& text) override {
    std::fprintf(stderr, "[status:%s]\n", text.c_str());
  }
  void HideSplash() override {
    std::fprintf(stderr, "[hide, file: %s]\n",
                 fs::is_regular_file(kFile) ? ReadFileBytes(kFile).c_str() : "none");
  }
  void RequestClose() override { std::fputs("[close]\n", stderr); }
};

std::string Box(FatalMessage message) {
  return EscapeRegex(std::string(kFatalCaption) + ": " + FatalMessageText(message)) + "\n$";
}

TEST(ModuleStoreDeathTest, FailuresEndWithTheirMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string status = "^\\[status:Upgrade files\\.\\.\\]\n";
  {
    SCOPED_TRACE("Brimstave is a plain file: message 4");
    ScopedTempDir dir;
    WriteFileBytes("Brimstave", "not a directory");
    StoreLoggingSplash splash;
    EXPECT_EXIT(ModuleNeedsUpdate(splash, kModuleDigest), testing::ExitedWithCode(1),
                "^\\[hide, file: none\\]\n" + Box(FatalMessage::StoreDirectory));
  }
  for (const int32_t declared : {0, -1, INT32_MIN}) {
    SCOPED_TRACE("declared size " + std::to_string(declared) + ": message 5, file untouched");
    ScopedTempDir dir;
    Prepare(Store::File, "old module");
    StoreLoggingSplash splash;
    EXPECT_EXIT(UpdateModuleFile(splash, kDeadServer, declared), testing::ExitedWithCode(1),
                status + "\\[hide, file: old module\\]\n" + Box(FatalMessage::UpdateSize));
  }
  {
    SCOPED_TRACE("a directory in place of the file: message 6");
    ScopedTempDir dir;
    Prepare(Store::DirectoryAsFile, "");
    StoreLoggingSplash splash;
    EXPECT_EXIT(UpdateModuleFile(splash, kDeadServer, 100), testing::ExitedWithCode(1),
                status + "\\[hide, file: none\\]\n" + Box(FatalMessage::ModuleInit));
  }
  {
    SCOPED_TRACE("Brimstave gone by the time of the update: message 6");
    ScopedTempDir dir;
    StoreLoggingSplash splash;
    EXPECT_EXIT(UpdateModuleFile(splash, kDeadServer, 100), testing::ExitedWithCode(1),
                status + "\\[hide, file: none\\]\n" + Box(FatalMessage::ModuleInit));
  }
}

#endif  // QSTAVE_DEATH_TESTS

}  // namespace
