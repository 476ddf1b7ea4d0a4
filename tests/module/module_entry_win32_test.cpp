// The hand-off on the 32-bit Windows target: the register convention of the
// call, what the recording test module sees, the loader's answers for each
// kind of bad module, and which copy of the module file is loaded.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "module/handoff.h"
#include "module/module_entry.h"
#include "os/file.h"
#include "os/module_loader.h"
#include "tests/support/test_support.h"

namespace fs = std::filesystem;

// Calls `call(entry, handoff, payload)` with marker values in EBX, ESI, EDI and
// EBP, and answers a bit for each of them, and for ESP, that differs after the
// return: bits 1 EBX, 2 ESI, 4 EDI, 8 EBP, 16 ESP.
extern "C" uint32_t CallWithMarkedRegisters(void (*call)(void*, uint32_t, const char*),
                                            void* entry, uint32_t handoff, const char* payload);
extern "C" uint32_t g_marked_esp;
uint32_t g_marked_esp;
asm(R"(
        .text
        .globl  _CallWithMarkedRegisters
        .def    _CallWithMarkedRegisters; .scl 2; .type 32; .endef
_CallWithMarkedRegisters:
        pushl   %ebp
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        movl    20(%esp), %eax
        pushl   32(%esp)
        pushl   32(%esp)
        pushl   32(%esp)
        movl    %esp, _g_marked_esp
        movl    $0x11111111, %ebx
        movl    $0x22222222, %esi
        movl    $0x33333333, %edi
        movl    $0x44444444, %ebp
        call    *%eax
        xorl    %eax, %eax
        cmpl    $0x11111111, %ebx
        je      1f
        orl     $1, %eax
1:      cmpl    $0x22222222, %esi
        je      2f
        orl     $2, %eax
2:      cmpl    $0x33333333, %edi
        je      3f
        orl     $4, %eax
3:      cmpl    $0x44444444, %ebp
        je      4f
        orl     $8, %eax
4:      cmpl    _g_marked_esp, %esp
        je      5f
        orl     $16, %eax
5:      addl    $12, %esp
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        ret
)");

namespace {

std::string Module(const char* name) { return std::string(QSTAVE_TEST_MODULES) + "/" + name; }

void InstallModule(const std::string& source, const std::string& dir = ".") {
  fs::create_directories(dir + "/Brimstave");
  WriteFileBytes(dir + "/Brimstave/qStave.des", ReadFileBytes(source));
}

std::string Field(const std::string& log, const std::string& name) {
  const size_t at = log.find(" " + name + "=");
  if (at == std::string::npos) return "(absent)";
  const size_t start = at + name.size() + 2;
  return log.substr(start, log.find_first_of(" \n", start) - start);
}

class NoSplash final : public Splash {
 public:
  void PaintNow() override {}
  void SetStatusText(const std::string&) override {}
  void HideSplash() override {}
  void RequestClose() override {}
};

TEST(ModuleEntryProc, RegistersTravelAndSurviveTheCall) {
  ScopedTempDir dir;
  InstallModule(Module("recorder.dll"));
  void* module = os::LoadModule(os::AbsolutePath("Brimstave\\qStave.des").c_str());
  ASSERT_NE(module, nullptr);
  void* entry = os::FindExport(module, "doHandle");
  ASSERT_NE(entry, nullptr);

  const char payload[] = "A\r\nB\r\n";
  EXPECT_EQ(CallWithMarkedRegisters(CallModuleEntry, entry, 0x89ABCDEFu, payload), 0u);
  // Straight through the interface, as the bootstrap does, twice in a row:
  // the recorder leaves garbage in EAX, ECX and EDX.
  for (uint32_t handoff : {255u, 0u}) CallModuleEntry(entry, handoff, "");

  const std::string log = ReadFileBytes("doHandle.log");
  EXPECT_EQ(log.substr(0, log.find(" hex=")), "call 2309737967 410D0A420D0A00") << log;
  EXPECT_EQ(Field(log, "hex"), "89ABCDEF");
  EXPECT_EQ(Field(log, "entry_esp_aligned"), "1");
  EXPECT_NE(log.find("\ncall 255 00 hex=000000FF "), std::string::npos) << log;
  EXPECT_NE(log.find("\ncall 0 00 hex=00000000 "), std::string::npos) << log;
}

TEST(RecorderModule, ReportsTheSplashAndDisabledWindowsOfTheThread) {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = DefWindowProcA;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "RecorderSurveyTest";
  ASSERT_NE(RegisterClassA(&window_class), 0);
  auto make = [](const char* title) {
    return CreateWindowExA(0, "RecorderSurveyTest", title, WS_POPUP, 0, 0, 50, 50, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
  };
  HWND splash = make("Quarnel Team Brim Stave");
  HWND other = make("host window");
  ASSERT_NE(splash, nullptr);
  ASSERT_NE(other, nullptr);

  const struct { bool splash_shown; bool other_enabled; const char* visible; const char* enabled; }
      cases[] = {{false, true, "0", "1"}, {true, true, "1", "1"}, {true, false, "1", "0"}};
  for (const auto& c : cases) {
    ScopedTempDir dir;
    ShowWindow(splash, c.splash_shown ? SW_SHOWNOACTIVATE : SW_HIDE);
    EnableWindow(other, c.other_enabled);
    InstallModule(Module("recorder.dll"));
    NoSplash no_splash;
    StartProtectionModule(no_splash, "1", {});
    const std::string log = ReadFileBytes("doHandle.log");
    EXPECT_EQ(Field(log, "splash_visible"), c.visible) << log;
    EXPECT_EQ(Field(log, "others_enabled"), c.enabled) << log;
  }
  DestroyWindow(splash);
  DestroyWindow(other);
}

TEST(LoadModule, RefusesEveryKindOfBadModuleFile) {
  const struct { const char* why; std::string bytes; } refused[] = {
      {"DllMain returns FALSE", ReadFileBytes(Module("refuse.dll"))},
      {"a 64-bit library", ReadFileBytes(Module("x64.dll"))},
      {"an HTML error page", "<html><body><h1>404 Not Found</h1></body></html>\r\n"},
      {"an empty file", ""},
      {"text that is no library", "MZ but nothing more"},
  };
  for (const auto& c : refused) {
    ScopedTempDir dir;
    fs::create_directory("Brimstave");
    WriteFileBytes("Brimstave/qStave.des", c.bytes);
    EXPECT_EQ(os::LoadModule(os::AbsolutePath("Brimstave\\qStave.des").c_str()), nullptr) << c.why;
  }
  ASSERT_FALSE(ReadFileBytes(Module("x64.dll")).empty()) << "the 64-bit test module was not built";
}

TEST(LoadModule, DoHandleIsLookedUpCaseExactly) {
  const struct { const char* module; const char* present; } cases[] = {
      {"nohandle.dll", "Unrelated"}, {"wrongcase.dll", "DoHandle"}, {"recorder.dll", "doHandle"}};
  for (const auto& c : cases) {
    ScopedTempDir dir;
    InstallModule(Module(c.module));
    void* module = os::LoadModule(os::AbsolutePath("Brimstave\\qStave.des").c_str());
    ASSERT_NE(module, nullptr) << c.module;
    EXPECT_NE(os::FindExport(module, c.present), nullptr) << c.module;
    const bool is_do_handle = std::string(c.present) == "doHandle";
    EXPECT_EQ(os::FindExport(module, "doHandle") != nullptr, is_do_handle) << c.module;
    EXPECT_EQ(os::FindExport(module, "dohandle"), nullptr) << c.module;
  }
}

TEST(StartProtectionModule, RunsTheCopyBelowTheCurrentDirectoryNotTheApplicationDirectory) {
  char exe[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, exe, MAX_PATH), 0u);
  const std::string app_dir = fs::path(exe).parent_path().string();
  ScopedTempDir dir;
  InstallModule(Module("recorder.dll"), app_dir);
  InstallModule(Module("recorder.dll"));
  NoSplash splash;
  StartProtectionModule(splash, "ff", {"A"});

  const std::string log = ReadFileBytes("doHandle.log");
  EXPECT_EQ(Field(log, "module"), os::AbsolutePath("Brimstave\\qStave.des")) << log;
  std::error_code ignored;  // a copy that was loaded stays mapped and cannot go
  fs::remove_all(app_dir + "/Brimstave", ignored);
}

}  // namespace
