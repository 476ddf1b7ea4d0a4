// The splash window on a real screen and the library's start-up in the test
// host, under Wine on the X display in $DISPLAY; and the export directory and
// version resource read back from the built qStave.dll.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "bootstrap/fail_fatal.h"
#include "bootstrap/form_layout.h"
#include "bootstrap/jpeg_picture.h"
#include "tests/e2e/e2e_support.h"
#include "tools/scripted_server/scripted_server.h"

namespace {

const char kStore[] = "Brimstave/qStave.des";

// Where the splash sits on the screen, and its client size.
constexpr int kSplashLeft = 458;
constexpr int kSplashTop = 374;
constexpr int kSplashWidth = 417;
constexpr int kSplashHeight = 110;

// The status text's area in client coordinates, left out of the picture
// comparison: the initial text is drawn in it.
constexpr int kTextLeft = 12, kTextTop = 4, kTextRight = 340, kTextBottom = 40;

// The test host's window (--host-window) spans (400, 300)-(1000, 600) with a
// white client area, all around where the splash comes up.
constexpr uint8_t kHostRgb[3] = {255, 255, 255};

uint16_t Port() { return static_cast<uint16_t>(TheWin32Build().update_port); }

// "key=value" of one report line; "" when the key is missing.
std::string Field(const std::string* line, const std::string& key) {
  if (line == nullptr) return "";
  std::istringstream in(*line);
  for (std::string word; in >> word;) {
    if (word.rfind(key + "=", 0) == 0) return word.substr(key.size() + 1);
  }
  return "";
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// ---------------------------------------------------------------------------
// The screen

struct Rgb {
  int r = 0, g = 0, b = 0;
};

struct Screenshot {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
  Rgb At(int x, int y) const {
    const size_t i = (static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
};

// A binary PPM (P6) with 8-bit samples, as ImageMagick writes it. Throws on
// anything else or on a short file.
Screenshot ParsePpm(const std::string& bytes) {
  size_t pos = 0;
  auto token = [&] {
    for (;;) {
      while (pos < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[pos]))) ++pos;
      if (pos < bytes.size() && bytes[pos] == '#') {
        while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
        continue;
      }
      break;
    }
    const size_t start = pos;
    while (pos < bytes.size() && !std::isspace(static_cast<unsigned char>(bytes[pos]))) ++pos;
    return bytes.substr(start, pos - start);
  };
  if (token() != "P6") throw std::runtime_error("not a binary PPM");
  Screenshot shot;
  shot.width = std::stoi(token());
  shot.height = std::stoi(token());
  if (token() != "255") throw std::runtime_error("not 8 bits per sample");
  ++pos;  // the one whitespace byte before the samples
  const size_t size = static_cast<size_t>(shot.width) * static_cast<size_t>(shot.height) * 3;
  if (shot.width <= 0 || shot.height <= 0 || bytes.size() - pos < size) {
    throw std::runtime_error("PPM cut short");
  }
  shot.rgb.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                  bytes.begin() + static_cast<std::ptrdiff_t>(pos + size));
  return shot;
}

// The whole X screen of $DISPLAY, also left as `path` for a person to look at.
Screenshot TakeScreenshot(const std::string& path) {
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') throw std::runtime_error("DISPLAY is not set");
  const std::string command = "import -display '" + std::string(display) + "' -window root -depth 8 'ppm:" + path + "'";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
  return ParsePpm(FileBytes(path));
}

// The splash picture as the window places it: decoded, shrunk to the
// proportional size of its 419 x 114 image area.
const forms::TPixels& PlacedPicture() {
  static const forms::TPixels placed = [] {
    const std::string jpeg = FileBytes(std::string(QSTAVE_SOURCE_DIR) + "/bootstrap/resources/splash.jpg");
    forms::TPixels decoded;
    if (!forms::DecodeJpeg(reinterpret_cast<const uint8_t*>(jpeg.data()), jpeg.size(), &decoded)) {
      throw std::runtime_error("the splash picture does not decode");
    }
    const forms::TSize size =
        forms::ProportionalSize({decoded.Width, decoded.Height}, {419, 114});
    return forms::ResamplePixels(decoded, size.Width, size.Height);
  }();
  return placed;
}

// The picture's pixel under client position (x, y): the image is drawn from
// client (-2, -1).
Rgb PictureAt(int x, int y) {
  const forms::TPixels& p = PlacedPicture();
  const size_t i = (static_cast<size_t>(y + 1) * static_cast<size_t>(p.Width) + static_cast<size_t>(x + 2)) * 3;
  return {p.Rgb[i], p.Rgb[i + 1], p.Rgb[i + 2]};
}

int Difference(Rgb a, Rgb b) {
  return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
}

bool IsRed(Rgb c) { return c.r > 200 && c.g < 60 && c.b < 60; }

bool InTextArea(int x, int y) { return x >= kTextLeft && x < kTextRight && y >= kTextTop && y < kTextBottom; }

// What the screen shows of the splash, in client coordinates.
struct SplashPixels {
  long compared = 0;       // outside the text area
  long close = 0;          // of those, within 4 per channel of the picture
  int worst = 0;           // the largest difference among them
  long text_pixels = 0;    // inside the text area
  long text_close = 0;     // of those, showing the picture (the label is transparent)
  long red = 0;            // red pixels inside the text area
  int red_left = 1 << 20;  // and their horizontal extent
  int red_right = -1;
  long picture_red = 0;    // red pixels of the picture itself inside the text area
  long ring = 0;           // the pixels just outside the window
  long ring_host = 0;      // of those, the host window's colour
};

SplashPixels Survey(const Screenshot& shot) {
  SplashPixels s;
  for (int y = 0; y < kSplashHeight; ++y) {
    for (int x = 0; x < kSplashWidth; ++x) {
      const Rgb seen = shot.At(kSplashLeft + x, kSplashTop + y);
      const Rgb want = PictureAt(x, y);
      const int d = Difference(seen, want);
      if (!InTextArea(x, y)) {
        ++s.compared;
        if (d <= 4) ++s.close;
        s.worst = std::max(s.worst, d);
        continue;
      }
      ++s.text_pixels;
      if (d <= 4) ++s.text_close;
      if (IsRed(want)) ++s.picture_red;
      if (IsRed(seen)) {
        ++s.red;
        s.red_left = std::min(s.red_left, x);
        s.red_right = std::max(s.red_right, x);
      }
    }
  }
  const Rgb host{kHostRgb[0], kHostRgb[1], kHostRgb[2]};
  auto ring_pixel = [&](int x, int y) {
    ++s.ring;
    if (Difference(shot.At(kSplashLeft + x, kSplashTop + y), host) <= 4) ++s.ring_host;
  };
  for (int x = -1; x <= kSplashWidth; ++x) {
    ring_pixel(x, -1);
    ring_pixel(x, kSplashHeight);
  }
  for (int y = 0; y < kSplashHeight; ++y) {
    ring_pixel(-1, y);
    ring_pixel(kSplashWidth, y);
  }
  return s;
}

// Style bits of the window as the test host read them.
constexpr unsigned long kPopup = 0x80000000UL, kCaption = 0x00C00000UL, kThickFrame = 0x00040000UL,
                        kSysMenu = 0x00080000UL, kMinMaxBoxes = 0x00030000UL, kChild = 0x40000000UL;
constexpr unsigned long kExTopmost = 0x8UL, kExFrames = 0x1UL | 0x100UL | 0x200UL | 0x20000UL,
                        kExToolWindow = 0x80UL;

// The splash's state in a report line, checked against the design: at its
// place, borderless, topmost, unowned.
void ExpectSplashWindowDesign(const std::string* line) {
  ASSERT_NE(line, nullptr);
  SCOPED_TRACE(*line);
  EXPECT_EQ(Field(line, "splash-exists"), "1");
  EXPECT_EQ(Field(line, "splash-rect"), "458,374,417,110");
  const unsigned long style = std::stoul(Field(line, "splash-style"), nullptr, 16);
  const unsigned long exstyle = std::stoul(Field(line, "splash-exstyle"), nullptr, 16);
  EXPECT_EQ(style & kPopup, kPopup);
  EXPECT_EQ(style & (kCaption | kThickFrame | kSysMenu | kMinMaxBoxes | kChild), 0u);
  EXPECT_EQ(exstyle & kExTopmost, kExTopmost);
  EXPECT_EQ(exstyle & (kExFrames | kExToolWindow), 0u) << "no edge, and listed as a normal window";
  EXPECT_EQ(Field(line, "splash-owner"), "0x0");
}

// ---------------------------------------------------------------------------
// Under Wine

// The whole successful start seen from the host and the screen: a host window
// under the splash, a module update (so both later status texts were set), a
// screenshot while doHandle waits, and a dispatch after the load.
TEST(SplashE2E, StaysOnScreenAsDesignedWhileDoHandleRunsThenGoesAway) {
  const std::string recorder = TestModuleBytes("recorder.dll");
  ScriptedServer server({Reply(OkReply("5\r\n" + UpperMd5Hex(recorder) + "\r\npayload\r\n")), Reply(OkReply(recorder))},
                        Port());
  ASSERT_TRUE(server.listening());
  HostOptions options;
  options.files["qs_sys.ini"] = ConfigFor("player");
  options.files[kStore] = TestModuleBytes("nohandle.dll");
  options.args = {"--host-window", "--dispatch"};
  Screenshot shot;
  std::string shot_error = "doHandle was never reached";
  std::string shot_path;
  bool load_returned_during_doHandle = true;
  options.while_module_waits = [&](const std::string& folder) {
    // The host's load is still in progress while doHandle runs.
    load_returned_during_doHandle =
        FileBytes(folder + "/report.txt").find("load 1") != std::string::npos;
    shot_path = folder + "/shot.ppm";
    try {
      shot = TakeScreenshot(shot_path);
      shot_error.clear();
    } catch (const std::exception& e) {
      shot_error = e.what();
    }
  };
  const HostRun run = RunHost(options);
  ASSERT_FALSE(run.timed_out) << run.folder;
  EXPECT_EQ(run.exit_code, 0) << run.folder;
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_FALSE(load_returned_during_doHandle) << "the load returned before doHandle did";
  EXPECT_EQ(server.connections(), 2) << "the manifest, then the module";
  EXPECT_TRUE(FileBytes(run.folder + "/" + kStore) == recorder) << "the module was updated";

  // While doHandle ran.
  const auto calls = LinesOf(run.module_log);
  ASSERT_EQ(calls.size(), 1u) << run.module_log;
  EXPECT_NE(calls[0].find(" splash_visible=1 "), std::string::npos) << calls[0];
  EXPECT_NE(calls[0].find(" others_enabled=0 "), std::string::npos) << "the host window is disabled; " << calls[0];

  ASSERT_EQ(shot_error, "");
  ASSERT_GE(shot.width, kSplashLeft + kSplashWidth + 1);
  ASSERT_GE(shot.height, kSplashTop + kSplashHeight + 1);
  const SplashPixels s = Survey(shot);
  SCOPED_TRACE("screenshot " + shot_path);
  // The picture fills the window edge to edge: no frame, no background.
  EXPECT_GE(s.close * 1000, s.compared * 999) << s.close << " of " << s.compared << " match; worst " << s.worst;
  // Exactly 417 x 110 at (458, 374), above the host window, which shows
  // right around it.
  EXPECT_EQ(s.ring_host, s.ring);
  // The initial text, red, over the picture. "Loading...." and "Upgrade
  // files.." are far shorter: had either been painted, nothing red would
  // reach past x = 250.
  EXPECT_EQ(s.picture_red, 0) << "the picture itself has no red in the text area";
  EXPECT_GE(s.red_left, 16);
  EXPECT_LE(s.red_left, 24);
  EXPECT_GT(s.red_right, 250);
  EXPECT_LT(s.red_right, kTextRight);
  // Only the letters are drawn: the picture shows around them.
  EXPECT_GE(s.text_close * 100, s.text_pixels * 75) << s.text_close << " of " << s.text_pixels;

  // After the load returned: the same window, hidden but still there, the
  // host window enabled again; the host's dispatch destroys it.
  const std::string* loaded = run.Line("load 1 returned");
  ExpectSplashWindowDesign(loaded);
  EXPECT_EQ(Field(loaded, "splash-visible"), "0");
  EXPECT_TRUE(run.Has("host-window enabled=1"));
  EXPECT_EQ(Field(run.Line("dispatched"), "splash-exists"), "0");
}

TEST(SplashE2E, FailureHidesTheSplashBeforeAnUnownedBoxOverAHostWindow) {
  HostOptions options;  // no qs_sys.ini
  options.args = {"--host-window"};
  const HostRun run = RunHost(options);
  ExpectFatalEnd(run, FatalMessage::Config);
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_TRUE(run.boxes[0].splash_exists) << "hidden, not destroyed";
  EXPECT_TRUE(run.Has("host-window created enabled=1"));
}

// A game folder whose module store already holds `module`, so a start goes
// from the manifest straight to the hand-off.
HostOptions UpToDateGameFolder(const std::string& module) {
  HostOptions options;
  options.files["qs_sys.ini"] = ConfigFor("player");
  options.files[kStore] = module;
  return options;
}

TEST(LibraryE2E, SecondLoadAndDllEntryPointRunNothing) {
  const std::string recorder = TestModuleBytes("recorder.dll");
  ScriptedServer server({Reply(OkReply("1\r\n" + UpperMd5Hex(recorder) + "\r\n"))}, Port());
  ASSERT_TRUE(server.listening());
  HostOptions options = UpToDateGameFolder(recorder);
  options.args = {"--loads", "2", "--call-entry"};
  const HostRun run = RunHost(options);
  ASSERT_FALSE(run.timed_out) << run.folder;
  EXPECT_EQ(run.exit_code, 0) << run.folder;
  EXPECT_TRUE(run.boxes.empty());
  EXPECT_TRUE(run.Has("load 1 returned"));
  EXPECT_TRUE(run.Has("load 2 returned"));
  EXPECT_EQ(LinesOf(run.module_log).size(), 1u) << "one doHandle call\n" << run.module_log;
  EXPECT_EQ(server.connections(), 1) << "one manifest request";
  // The splash is left as the first load left it: hidden, not released.
  const std::string* entry = run.Line("entry called");
  ASSERT_NE(entry, nullptr) << "DllEntryPoint is exported and returns";
  EXPECT_EQ(Field(entry, "splash-exists"), "1");
  EXPECT_EQ(Field(entry, "splash-visible"), "0");
  EXPECT_TRUE(run.Has("end"));
}

TEST(LibraryE2E, HostThreadStartedDuringTheLoadRunsOnlyAfterIt) {
  const std::string recorder = TestModuleBytes("recorder.dll");
  ScriptedServer server({Reply(OkReply("1\r\n" + UpperMd5Hex(recorder) + "\r\n"))}, Port());
  ASSERT_TRUE(server.listening());
  HostOptions options = UpToDateGameFolder(recorder);
  options.args = {"--thread-in-load"};
  const HostRun run = RunHost(options);
  ASSERT_FALSE(run.timed_out) << run.folder;
  EXPECT_EQ(run.exit_code, 0) << run.folder;
  EXPECT_TRUE(run.Has("thread created during-load")) << run.folder;
  // The whole bootstrap holds the loader lock, so the thread waits for the load.
  EXPECT_TRUE(run.Has("thread ran after-load")) << run.folder;
  EXPECT_EQ(LinesOf(run.module_log).size(), 1u) << run.module_log;
  EXPECT_TRUE(run.Has("end"));
}

// ---------------------------------------------------------------------------
// The built file

// Little-endian reads from a file image; a read past its end throws.
class FileImage {
 public:
  explicit FileImage(std::string bytes) : bytes_(std::move(bytes)) {}
  uint32_t U8(size_t at) const { return static_cast<uint8_t>(bytes_.at(at)); }
  uint32_t U16(size_t at) const { return U8(at) | U8(at + 1) << 8; }
  uint32_t U32(size_t at) const { return U16(at) | U16(at + 2) << 16; }
  std::string Bytes(size_t at, size_t n) const {
    if (at > bytes_.size() || bytes_.size() - at < n) throw std::out_of_range("past the end of the file");
    return bytes_.substr(at, n);
  }
  size_t size() const { return bytes_.size(); }

 private:
  std::string bytes_;
};

// A PE image's sections and data directories (32-bit optional header).
class PeFile {
 public:
  explicit PeFile(const FileImage& image) : image_(image) {
    const size_t pe = image.U32(0x3C);
    if (image.Bytes(pe, 4) != std::string("PE\0\0", 4)) throw std::runtime_error("no PE signature");
    machine_ = image.U16(pe + 4);
    const uint32_t sections = image.U16(pe + 6);
    const size_t optional = pe + 24;
    if (image.U16(optional) != 0x10B) throw std::runtime_error("not a 32-bit optional header");
    directories_ = optional + 96;
    size_t section = optional + image.U16(pe + 20);
    for (uint32_t i = 0; i < sections; ++i, section += 40) {
      sections_.push_back({image.U32(section + 12), image.U32(section + 8), image.U32(section + 20),
                           image.U32(section + 16)});
    }
  }
  uint32_t machine() const { return machine_; }
  uint32_t DirectoryRva(int index) const { return image_.U32(directories_ + 8 * static_cast<size_t>(index)); }
  size_t OffsetOf(uint32_t rva) const {
    for (const auto& s : sections_) {
      if (rva >= s.rva && rva - s.rva < std::max(s.virtual_size, s.raw_size)) return s.raw + (rva - s.rva);
    }
    throw std::runtime_error("RVA outside every section");
  }

 private:
  struct Section {
    uint32_t rva, virtual_size, raw, raw_size;
  };
  const FileImage& image_;
  uint32_t machine_ = 0;
  size_t directories_ = 0;
  std::vector<Section> sections_;
};

// One level of the resource tree: entry id -> (is a subdirectory, offset from
// the tree's start). Named entries are listed under id 0xFFFFFFFF.
std::multimap<uint32_t, std::pair<bool, uint32_t>> ResourceLevel(const FileImage& image, size_t root,
                                                                 uint32_t offset) {
  std::multimap<uint32_t, std::pair<bool, uint32_t>> entries;
  const size_t dir = root + offset;
  const uint32_t count = image.U16(dir + 12) + image.U16(dir + 14);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = dir + 16 + 8 * static_cast<size_t>(i);
    const uint32_t name = image.U32(entry);
    const uint32_t target = image.U32(entry + 4);
    entries.insert({(name & 0x80000000u) ? 0xFFFFFFFFu : name, {(target & 0x80000000u) != 0, target & 0x7FFFFFFFu}});
  }
  return entries;
}

// A node of a version resource: key, value bytes, children.
struct VersionNode {
  std::string key;  // ASCII of the UTF-16 key
  uint32_t type = 0;
  std::string value;  // raw bytes; for text values the UTF-16 up to its NUL
  std::vector<VersionNode> children;
};

size_t Align4(size_t at) { return (at + 3) & ~size_t{3}; }

// Narrows UTF-16 text that must be ASCII, up to its NUL, from `at`; `end` is
// where the node ends. Sets `at` past the NUL.
std::string ReadKey(const FileImage& image, size_t& at, size_t end) {
  std::string key;
  for (; at + 1 < end; at += 2) {
    const uint32_t c = image.U16(at);
    if (c == 0) {
      at += 2;
      return key;
    }
    if (c > 0x7F) throw std::runtime_error("a non-ASCII key");
    key += static_cast<char>(c);
  }
  throw std::runtime_error("an unterminated key");
}

VersionNode ReadVersionNode(const FileImage& image, size_t at) {
  const size_t length = image.U16(at);
  const size_t value_length = image.U16(at + 2);
  const size_t end = at + length;
  if (length < 6 || end > image.size()) throw std::runtime_error("a version node past its parent");
  VersionNode node;
  node.type = image.U16(at + 4);
  size_t pos = at + 6;
  node.key = ReadKey(image, pos, end);
  pos = Align4(pos);
  if (node.type == 1) {
    // Text: the length counts UTF-16 units, with the NUL.
    for (size_t i = 0; i < value_length && pos + 2 <= end; ++i, pos += 2) {
      const uint32_t c = image.U16(pos);
      if (c == 0) {
        pos += 2 * (value_length - i);
        break;
      }
      node.value += static_cast<char>(c & 0xFF);
      node.value += static_cast<char>(c >> 8);
    }
  } else {
    node.value = image.Bytes(pos, value_length);
    pos += value_length;
  }
  for (pos = Align4(pos); pos + 6 <= end; pos = Align4(pos + image.U16(pos))) {
    if (image.U16(pos) == 0) throw std::runtime_error("an empty version node");
    node.children.push_back(ReadVersionNode(image, pos));
  }
  return node;
}

// UTF-16LE bytes to ASCII; throws on anything else.
std::string Narrow(const std::string& utf16) {
  std::string out;
  for (size_t i = 0; i + 1 < utf16.size(); i += 2) {
    if (utf16[i + 1] != 0 || static_cast<unsigned char>(utf16[i]) > 0x7F) throw std::runtime_error("not ASCII");
    out += utf16[i];
  }
  return out;
}

struct VersionResource {
  uint32_t language = 0;  // of the resource itself
  VersionNode root;
};

VersionResource ReadVersionResource(const FileImage& image) {
  const PeFile pe(image);
  const size_t root = pe.OffsetOf(pe.DirectoryRva(2));
  auto types = ResourceLevel(image, root, 0);
  if (types.count(16) != 1 || !types.find(16)->second.first) throw std::runtime_error("no one version resource");
  auto names = ResourceLevel(image, root, types.find(16)->second.second);
  if (names.size() != 1 || names.begin()->first != 1 || !names.begin()->second.first) {
    throw std::runtime_error("the version resource is not the one with id 1");
  }
  auto languages = ResourceLevel(image, root, names.begin()->second.second);
  if (languages.size() != 1 || languages.begin()->second.first) throw std::runtime_error("not one language");
  VersionResource out;
  out.language = languages.begin()->first;
  const size_t data_entry = root + languages.begin()->second.second;
  out.root = ReadVersionNode(image, pe.OffsetOf(image.U32(data_entry)));
  return out;
}

const VersionNode* Child(const VersionNode& node, const std::string& key) {
  for (const auto& child : node.children) {
    if (child.key == key) return &child;
  }
  return nullptr;
}

TEST(LibraryFileE2E, VersionResourceReadsBackAsBuilt) {
  const FileImage image(FileBytes(TheWin32Build().dll));
  const VersionResource version = ReadVersionResource(image);
  EXPECT_EQ(version.language, 0x0419u);
  const VersionNode& root = version.root;
  EXPECT_EQ(root.key, "VS_VERSION_INFO");

  // VS_FIXEDFILEINFO: signature, then the file and product versions 2.0.0.1.
  ASSERT_EQ(root.value.size(), 52u);
  const FileImage fixed(root.value);
  EXPECT_EQ(fixed.U32(0), 0xFEEF04BDu);
  EXPECT_EQ(fixed.U32(8), 0x00020000u);
  EXPECT_EQ(fixed.U32(12), 0x00000001u);
  EXPECT_EQ(fixed.U32(16), 0x00020000u);
  EXPECT_EQ(fixed.U32(20), 0x00000001u);

  const VersionNode* strings = Child(root, "StringFileInfo");
  ASSERT_NE(strings, nullptr);
  ASSERT_EQ(strings->children.size(), 1u) << "one string table";
  const VersionNode& table = strings->children[0];
  EXPECT_EQ(table.key, "041904E3");
  std::map<std::string, std::string> values;
  for (const auto& value : table.children) values[value.key] = Narrow(value.value);
  EXPECT_EQ(values["FileVersion"], "2.0.0.1");
  EXPECT_EQ(values["ProductVersion"], "1.0.0.0");
  EXPECT_NE(values["CompanyName"], "");
  std::set<std::string> keys;
  for (const auto& [key, text] : values) {
    keys.insert(key);
    if (key != "FileVersion" && key != "ProductVersion" && key != "CompanyName") {
      EXPECT_EQ(text, "") << key;
    }
  }
  EXPECT_EQ(keys, (std::set<std::string>{"Comments", "CompanyName", "FileDescription", "FileVersion",
                                         "InternalName", "LegalCopyright", "LegalTrademarks",
                                         "OriginalFilename", "ProductName", "ProductVersion"}));

  const VersionNode* vars = Child(root, "VarFileInfo");
  ASSERT_NE(vars, nullptr);
  const VersionNode* translation = vars->children.empty() ? nullptr : Child(*vars, "Translation");
  ASSERT_NE(translation, nullptr);
  ASSERT_EQ(translation->value.size(), 4u) << "one translation";
  const FileImage pair(translation->value);
  EXPECT_EQ(pair.U16(0), 0x0419u);
  EXPECT_EQ(pair.U16(2), 1251u);
}

TEST(LibraryFileE2E, ExportDirectoryNamesTheLibraryWithOneExportAtOrdinalOne) {
  const FileImage image(FileBytes(TheWin32Build().dll));
  EXPECT_EQ(PeFile(image).machine(), 0x14Cu) << "i386";

  const std::string command = "i686-w64-mingw32-objdump -p '" + TheWin32Build().dll + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string dump;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) dump.append(buffer, n);
  ASSERT_EQ(pclose(pipe), 0) << command;

  // objdump's export section: the DLL name, the ordinal base, one address
  // slot by ordinal and one name by slot.
  const auto lines = LinesOf(dump);
  std::string name;
  long base = -1;
  std::vector<long> ordinals;
  std::vector<std::pair<long, std::string>> names;  // (slot, name)
  const std::regex name_line(R"(^Name\s+[0-9a-fA-F]+\s+(\S+)\s*$)");
  const std::regex base_line(R"(^Ordinal Base\s+(\d+)\s*$)");
  const std::regex address_line(R"(^\s*\[\s*\d+\]\s+\+base\[\s*(\d+)\])");
  const std::regex slot_line(R"(^\s*\[\s*(\d+)\]\s+(\S+)\s*$)");
  bool in_names = false;
  for (const auto& line : lines) {
    std::smatch m;
    if (line.rfind("[Ordinal/Name Pointer] Table", 0) == 0) {
      in_names = true;
    } else if (in_names) {
      if (!std::regex_search(line, m, slot_line)) {
        in_names = false;
        continue;
      }
      names.emplace_back(std::stol(m[1]), m[2]);
    } else if (std::regex_search(line, m, name_line)) {
      name = m[1];
    } else if (std::regex_search(line, m, base_line)) {
      base = std::stol(m[1]);
    } else if (std::regex_search(line, m, address_line)) {
      ordinals.push_back(std::stol(m[1]));
    }
  }
  EXPECT_EQ(name, "qStave.dll");
  EXPECT_EQ(ordinals, std::vector<long>{1});
  ASSERT_EQ(names.size(), 1u) << dump;
  EXPECT_EQ(names[0].second, "DllEntryPoint");
  EXPECT_EQ(base + names[0].first, 1) << "its ordinal";
}

}  // namespace
