// The protection module's digest check, update and hand-off, with the real DLL
// under Wine: the recording test module tells what doHandle received.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "bootstrap/fail_fatal.h"
#include "tests/e2e/e2e_support.h"
#include "tools/scripted_server/scripted_server.h"

namespace {

const char kStore[] = "Brimstave/qStave.des";

std::string DownloadRequest() {
  return "GET /l2/stave/rxm/qStave.des HTTP/1.0\r\n"
         "Host: 127.0.0.1:" + std::to_string(TheWin32Build().update_port) + "\r\n"
         "Keep-Alive: 300\r\n"
         "Connection: keep-alive\r\n"
         "User-Agent: Mozilla/4.0 (compatible; Synapse)\r\n"
         "\r\n";
}

// The recorder's line for one call: "call <decimal> <payload hex incl. NUL> ...".
struct Call {
  std::string handoff;
  std::string payload_hex;
  bool splash_visible = false;
  std::string module;
};

std::vector<Call> CallsOf(const HostRun& run) {
  std::vector<Call> calls;
  std::istringstream in(run.module_log);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string word;
    Call call;
    words >> word >> call.handoff >> call.payload_hex;
    while (words >> word) {
      if (word == "splash_visible=1") call.splash_visible = true;
      if (word.rfind("module=", 0) == 0) call.module = word.substr(7);
    }
    calls.push_back(call);
  }
  return calls;
}

// A successful start: the load returned after exactly one doHandle call made
// with the splash on screen.
Call ExpectStarted(const HostRun& run) {
  EXPECT_FALSE(run.timed_out) << run.folder;
  EXPECT_EQ(run.exit_code, 0) << run.folder;
  EXPECT_TRUE(run.boxes.empty()) << run.folder;
  EXPECT_TRUE(run.Has("load 1 returned")) << run.folder;
  const auto calls = CallsOf(run);
  EXPECT_EQ(calls.size(), 1u) << run.module_log;
  if (calls.empty()) return {};
  EXPECT_TRUE(calls[0].splash_visible);
  return calls[0];
}

struct Folder {
  HostOptions options;
  explicit Folder(const std::string& module_bytes) {
    options.files["qs_sys.ini"] = ConfigFor("player");
    options.files[kStore] = module_bytes;
  }
};

uint16_t Port() { return static_cast<uint16_t>(TheWin32Build().update_port); }

TEST(ModuleE2E, MatchingDigestLoadsTheFileAsItIsAndPassesTheManifestValues) {
  const std::string recorder = TestModuleBytes("recorder.dll");
  const std::string digest = UpperMd5Hex(recorder);
  std::string lower = digest;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const struct {
    const char* why;
    std::string manifest;
    std::string handoff;      // decimal, as doHandle got it
    std::string payload_hex;  // with the terminating NUL
  } cases[] = {
      {"CR LF, upper-case digest", "ff\r\n" + digest + "\r\nA\r\nB\r\n", "255", "410D0A420D0A00"},
      {"LF, lower-case digest", "ff\n" + lower + "\nA\nB", "255", "410D0A420D0A00"},
      {"CR", "12G\r" + digest + "\rA\rB\r", "0", "410D0A420D0A00"},
      {"two lines: an empty payload text", "1F\r\n" + digest, "31", "00"},
  };
  for (const auto& c : cases) {
    ScriptedServer server({Reply(OkReply(c.manifest))}, Port());
    ASSERT_TRUE(server.listening());
    Folder folder(recorder);
    const HostRun run = RunHost(folder.options);
    const Call call = ExpectStarted(run);
    EXPECT_EQ(call.handoff, c.handoff) << c.why << "\n" << run.module_log;
    EXPECT_EQ(call.payload_hex, c.payload_hex) << c.why;
    EXPECT_EQ(server.connections(), 1) << c.why << ": no download when the digest matches";
    EXPECT_EQ(FileBytes(run.folder + "/" + kStore), recorder) << c.why;
  }
}

TEST(ModuleE2E, MatchingDigestLeavesTheFileTimeAlone) {
  const std::string recorder = TestModuleBytes("recorder.dll");
  ScriptedServer server({Reply(OkReply("1\r\n" + UpperMd5Hex(recorder) + "\r\n"))}, Port());
  ASSERT_TRUE(server.listening());
  const HostRun run = RunHost(Folder(recorder).options);
  ExpectStarted(run);
  struct stat st;
  ASSERT_EQ(stat((run.folder + "/" + kStore).c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, kPlacedFileTime);
}

TEST(ModuleE2E, StaleOrMissingModuleIsDownloadedThenLoaded) {
  const std::string recorder = TestModuleBytes("recorder.dll");
  const std::string manifest = "7\r\n" + UpperMd5Hex(recorder) + "\r\nline\r\n";
  const struct { const char* why; bool dir; bool file; } cases[] = {
      {"digest differs", true, true},
      {"file missing", true, false},
      {"Brimstave missing", false, false},
  };
  for (const auto& c : cases) {
    ScriptedServer server({Reply(OkReply(manifest)), Reply(OkReply(recorder))}, Port());
    ASSERT_TRUE(server.listening());
    HostOptions options;
    options.files["qs_sys.ini"] = ConfigFor("player");
    if (c.dir) options.directories.push_back("Brimstave");
    if (c.file) options.files[kStore] = TestModuleBytes("nohandle.dll");
    const HostRun run = RunHost(options);
    const Call call = ExpectStarted(run);
    EXPECT_EQ(call.handoff, "7") << c.why;
    EXPECT_EQ(call.payload_hex, "6C696E650D0A00") << c.why;
    ASSERT_EQ(server.connections(), 2) << c.why;
    EXPECT_EQ(server.Requests()[1], DownloadRequest()) << c.why;
    EXPECT_EQ(FileBytes(run.folder + "/" + kStore), recorder) << c.why;
  }
}

TEST(ModuleE2E, LoadsTheCheckedFileNotACopyBesideTheHost) {
  const std::string recorder = TestModuleBytes("recorder.dll");
  ScriptedServer server({Reply(OkReply("1\r\n" + UpperMd5Hex(recorder) + "\r\n"))}, Port());
  ASSERT_TRUE(server.listening());
  Folder folder(recorder);
  folder.options.app_files[kStore] = TestModuleBytes("recorder.dll");  // an unverified copy
  const HostRun run = RunHost(folder.options);
  const Call call = ExpectStarted(run);
  EXPECT_NE(call.module.find("\\game\\Brimstave\\qStave.des"), std::string::npos) << call.module;
}

TEST(ModuleE2E, StoreFailuresEndWithMessagesFourAndFive) {
  const std::string recorder = TestModuleBytes("recorder.dll");
  {
    ScriptedServer server({Reply(OkReply("1\r\n" + UpperMd5Hex(recorder) + "\r\n"))}, Port());
    ASSERT_TRUE(server.listening());
    HostOptions options;
    options.files["qs_sys.ini"] = ConfigFor("player");
    options.files["Brimstave"] = "a plain file";
    ExpectFatalEnd(RunHost(options), FatalMessage::StoreDirectory);
  }
  {
    // Read to the close: no declared size, so no update; the old file stays.
    ScriptedServer server({{ReadRequest(), Send("HTTP/1.1 200 OK\r\n\r\n1\r\n" + UpperMd5Hex(recorder) + "\r\n"),
                            Close()}},
                          Port());
    ASSERT_TRUE(server.listening());
    Folder folder(TestModuleBytes("nohandle.dll"));
    const HostRun run = RunHost(folder.options);
    ExpectFatalEnd(run, FatalMessage::UpdateSize);
    EXPECT_EQ(server.connections(), 1);
    EXPECT_EQ(FileBytes(run.folder + "/" + kStore), TestModuleBytes("nohandle.dll"));
  }
}

TEST(ModuleE2E, UnusableModulesEndWithMessageSix) {
  const std::string html = "<html><body><h1>404 Not Found</h1></body></html>\r\n";
  const struct {
    const char* why;
    std::string served_reply;  // the download's reply
    std::vector<std::string> args = {};
    bool store_is_directory = false;
  } cases[] = {
      {"a 404 page as the module", "HTTP/1.1 404 Not Found\r\nContent-Length: " +
                                       std::to_string(html.size()) + "\r\n\r\n" + html},
      {"an empty 200 body", OkReply("")},
      {"not a library", OkReply("MZ but not really a library, just text\r\n")},
      {"a 64-bit DLL", OkReply(TestModuleBytes("x64.dll"))},
      {"DllMain returns FALSE", OkReply(TestModuleBytes("refuse.dll"))},
      {"no doHandle export", OkReply(TestModuleBytes("nohandle.dll"))},
      {"only DoHandle exported", OkReply(TestModuleBytes("wrongcase.dll"))},
      {"a directory in place of the file", OkReply(TestModuleBytes("recorder.dll")), {}, true},
      {"the file held open by another client", OkReply(TestModuleBytes("recorder.dll")),
       {"--hold", "Brimstave\\qStave.des:rw"}},
  };
  for (const auto& c : cases) {
    ScriptedServer server({Reply(OkReply("1\r\nnever-matches\r\n")), Reply(c.served_reply)}, Port());
    ASSERT_TRUE(server.listening());
    HostOptions options;
    options.files["qs_sys.ini"] = ConfigFor("player");
    options.args = c.args;
    if (c.store_is_directory) {
      options.directories.push_back(kStore);
    } else {
      options.files[kStore] = "old module bytes";
    }
    const HostRun run = RunHost(options);
    SCOPED_TRACE(c.why);
    ExpectFatalEnd(run, FatalMessage::ModuleInit);
    EXPECT_TRUE(run.module_log.empty());
  }
}

TEST(ModuleE2E, FullDiskWhileTheModuleIsWrittenEndsWithMessageSix) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system for the store needs root";
  const std::string recorder = TestModuleBytes("recorder.dll");
  ScriptedServer server({Reply(OkReply("1\r\nnever-matches\r\n")), Reply(OkReply(recorder))}, Port());
  ASSERT_TRUE(server.listening());
  HostOptions options;
  options.files["qs_sys.ini"] = ConfigFor("player");
  options.directories.push_back("Brimstave");
  std::string mounted;
  // The store is a file system of 64 KiB; the module is larger.
  options.before_start = [&](const std::string& folder) {
    const std::string store = folder + "/Brimstave";
    if (mount("qstave-full-disk", store.c_str(), "tmpfs", 0, "size=64k") == 0) mounted = store;
  };
  ASSERT_GT(recorder.size(), 64u * 1024);
  const HostRun run = RunHost(options);
  if (mounted.empty()) GTEST_SKIP() << "no tmpfs could be mounted here";
  umount(mounted.c_str());
  ExpectFatalEnd(run, FatalMessage::ModuleInit);
  EXPECT_EQ(server.connections(), 2);
}

}  // namespace
