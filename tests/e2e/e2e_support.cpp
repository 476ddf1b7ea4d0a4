#include "tests/e2e/e2e_support.h"

#include <signal.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "bootstrap/fail_fatal.h"
#include "config/JclMime.h"
#include "module/md5.h"

namespace fs = std::filesystem;

namespace {

std::string Unhex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return out;
}

// "key=value" fields of one report line.
std::map<std::string, std::string> Fields(const std::string& line) {
  std::map<std::string, std::string> out;
  std::istringstream in(line);
  std::string word;
  while (in >> word) {
    const size_t eq = word.find('=');
    if (eq != std::string::npos) out[word.substr(0, eq)] = word.substr(eq + 1);
  }
  return out;
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  const struct timeval times[2] = {{kPlacedFileTime, 0}, {kPlacedFileTime, 0}};
  utimes(path.c_str(), times);
}

std::string CacheValue(const std::string& cache, const std::string& key) {
  std::ifstream in(cache);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key + ":", 0) == 0) return line.substr(line.find('=') + 1);
  }
  return "";
}

// The folders of one test program's runs: removed when it ends, unless a test
// failed, so that the folders of a failure can be looked at.
class RunFolders : public testing::Environment {
 public:
  static RunFolders& Get() {
    static RunFolders* folders = [] {
      auto* f = new RunFolders;
      testing::AddGlobalTestEnvironment(f);  // gtest owns it from here
      return f;
    }();
    return *folders;
  }
  void Add(const fs::path& root) { roots_.push_back(root); }
  void TearDown() override {
    if (testing::UnitTest::GetInstance()->Failed()) return;
    std::error_code ignored;
    for (const auto& root : roots_) fs::remove_all(root, ignored);
  }

 private:
  std::vector<fs::path> roots_;
};

}  // namespace

bool HostRun::Has(const std::string& prefix) const { return Line(prefix) != nullptr; }

const std::string* HostRun::Line(const std::string& prefix) const {
  for (const auto& line : lines) {
    if (line.rfind(prefix, 0) == 0) return &line;
  }
  return nullptr;
}

const Win32Build& TheWin32Build() {
  static const Win32Build build = [] {
    Win32Build b;
    b.dir = QSTAVE_WIN32_BUILD_DIR;
    b.dll = b.dir + "/qStave.dll";
    b.host = b.dir + "/tools/testhost/testhost.exe";
    b.test_modules = b.dir + "/test_modules";
    const std::string host = CacheValue(b.dir + "/CMakeCache.txt", "QSTAVE_UPDATE_HOST");
    const size_t colon = host.rfind(':');
    if (host.rfind("127.0.0.1:", 0) == 0 && colon != std::string::npos) {
      b.update_port = std::atoi(host.c_str() + colon + 1);
    }
    return b;
  }();
  return build;
}

void ExpectFatalEnd(const HostRun& run, FatalMessage message) {
  ASSERT_FALSE(run.timed_out) << run.folder;
  EXPECT_EQ(run.exit_code, 1) << run.folder;
  EXPECT_FALSE(run.Has("load 1")) << "the load must not return; " << run.folder;
  ASSERT_EQ(run.boxes.size(), 1u) << run.folder;
  const BoxRecord& box = run.boxes[0];
  EXPECT_EQ(box.text, FatalMessageText(message)) << "expected message " << static_cast<int>(message);
  EXPECT_EQ(box.caption, kFatalCaption);
  EXPECT_EQ(box.icon, "error");
  EXPECT_EQ(box.buttons, "1");
  EXPECT_EQ(box.owner, "0x0");
  EXPECT_FALSE(box.topmost);
  EXPECT_FALSE(box.splash_visible);
}

std::string ConfigFor(const std::string& identifier) { return Base64Encode(identifier + "\t") + "\r\n"; }

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TestModuleBytes(const std::string& name) {
  return FileBytes(TheWin32Build().test_modules + "/" + name);
}

std::string UpperMd5Hex(const std::string& bytes) {
  Md5 md5;
  md5.Update(bytes.data(), bytes.size());
  return DigestToUpperHex(md5.Final());
}

std::string OkReply(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

HostRun RunHost(const HostOptions& options) {
  const Win32Build& build = TheWin32Build();
  std::random_device seed;
  const fs::path root = fs::temp_directory_path() / ("qstave-e2e-" + std::to_string(seed()) +
                                                     std::to_string(seed()));
  RunFolders::Get().Add(root);
  const fs::path game = root / "game";
  const fs::path app = root / "app";
  fs::create_directories(game);
  fs::create_directories(app);
  fs::copy_file(build.host, app / "testhost.exe");
  fs::copy_file(build.dll, game / "qStave.dll");
  for (const auto& dir : options.directories) fs::create_directories(game / dir);
  for (const auto& [name, bytes] : options.files) WriteBytes(game / name, bytes);
  for (const auto& [name, bytes] : options.app_files) WriteBytes(app / name, bytes);
  if (options.before_start) options.before_start(game.string());

  if (options.while_module_waits) WriteBytes(game / "doHandle.wait", "");
  const std::string report = (game / "report.txt").string();
  std::vector<std::string> argv = {"wine", (app / "testhost.exe").string(), "report.txt"};
  argv.insert(argv.end(), options.args.begin(), options.args.end());

  HostRun run;
  run.folder = game.string();
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(game.c_str()) != 0) _exit(127);
    std::vector<char*> args;
    for (auto& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    setpgid(0, 0);
    execvp("wine", args.data());
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout_seconds);
  int status = 0;
  bool module_waited = false;
  for (;;) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (options.while_module_waits && !module_waited && fs::exists(game / "doHandle.log")) {
      module_waited = true;
      options.while_module_waits(game.string());
      WriteBytes(game / "doHandle.go", "");
    }
    if (std::chrono::steady_clock::now() > deadline) {
      run.timed_out = true;
      kill(-child, SIGKILL);
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!run.timed_out && WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);

  std::istringstream lines(FileBytes(report));
  for (std::string line; std::getline(lines, line);) {
    run.lines.push_back(line);
    if (line.rfind("box ", 0) == 0) {
      auto f = Fields(line);
      BoxRecord box;
      box.owner = f["owner"];
      box.caption = Unhex(f["caption"]);
      box.text = Unhex(f["text"]);
      box.icon = f["icon"];
      box.buttons = f["buttons"];
      box.topmost = f["topmost"] == "1";
      box.splash_exists = f["splash-exists"] == "1";
      box.splash_visible = f["splash-visible"] == "1";
      run.boxes.push_back(box);
    }
  }
  run.module_log = FileBytes((game / "doHandle.log").string());
  return run;
}
