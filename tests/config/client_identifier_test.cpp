#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "bootstrap/fail_fatal.h"
#include "config/JclMime.h"
#include "config/client_identifier.h"
#include "os/file.h"
#include "tests/support/test_support.h"

namespace {

const std::string kNoIdentifier = "\x01(fails)";

struct ConfigCase {
  const char* why;
  std::string file;        // bytes of qs_sys.ini
  std::string identifier;  // expected, or kNoIdentifier for message 1
};

const std::string kAbc = Base64Encode("abc\tdef\tghi");  // "YWJjCWRlZglnaGk="

const ConfigCase kCases[] = {
    {"abc TAB def TAB ghi gives abc", kAbc, "abc"},
    {"no padding", "YWJjCWRlZglnaGk", "abc"},
    {"broken by CR LF", "YWJj\r\nCWRl\r\nZglnaGk=\r\n", "abc"},
    {"broken by LF and spaces", " YWJj\n CWRlZ glnaGk= \n", "abc"},
    {"UTF-8 byte order mark", "\xEF\xBB\xBF" + kAbc, "abc"},
    {"empty identifier", Base64Encode("\tx"), ""},
    {"identifier with CR, LF and high bytes", Base64Encode("a\r\nb\xFF\tz"), "a\r\nb\xFF"},
    {"identifier with NUL", Base64Encode(std::string("a\0b\t", 4)), std::string("a\0b", 3)},
    {"NUL in the middle ends the text", Base64Encode("id\t") + std::string("\0", 1) + "QUJD",
     "id"},
    {"empty file", "", kNoIdentifier},
    {"no TAB", Base64Encode("abcdef"), kNoIdentifier},
    {"not Base64 at all", "[main]\r\nkey=value\r\n", kNoIdentifier},
    {"NUL before the text", std::string("\0", 1) + kAbc, kNoIdentifier},
    {"UTF-16 text", std::string("\xFF\xFEY\0W\0J\0j\0C\0W\0R\0l\0", 18), kNoIdentifier},
};

TEST(ExtractClientIdentifier, TakesTheBytesBeforeTheFirstTab) {
  std::string id;
  EXPECT_FALSE(ExtractClientIdentifier("", &id));
  EXPECT_FALSE(ExtractClientIdentifier("abc", &id));
  ASSERT_TRUE(ExtractClientIdentifier("abc\tdef\tghi", &id));
  EXPECT_EQ(id, "abc");
  ASSERT_TRUE(ExtractClientIdentifier("\t", &id));
  EXPECT_EQ(id, "");
}

TEST(ReadClientIdentifier, AcceptedFiles) {
  for (const auto& c : kCases) {
    if (c.identifier == kNoIdentifier) continue;
    ScopedTempDir dir;
    WriteFileBytes("qs_sys.ini", c.file);
    RecordingSplash splash;
    EXPECT_EQ(ReadClientIdentifier(splash), c.identifier) << c.why;
    EXPECT_TRUE(splash.calls.empty()) << c.why;
  }
}

TEST(ReadClientIdentifier, MissingFileThrows) {
  ScopedTempDir dir;
  RecordingSplash splash;
  EXPECT_THROW(ReadClientIdentifier(splash), os::OsError);
}

TEST(ReadClientIdentifier, DirectoryInPlaceOfTheFileThrows) {
  ScopedTempDir dir;
  ASSERT_TRUE(os::CreateDirectoryOneLevel("qs_sys.ini"));
  RecordingSplash splash;
  EXPECT_THROW(ReadClientIdentifier(splash), os::OsError);
}

#if QSTAVE_DEATH_TESTS
TEST(ReadClientIdentifierDeathTest, RejectedFilesEndWithMessageOne) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::string expected = EscapeRegex(std::string(kFatalCaption) + ": " +
                                           FatalMessageText(FatalMessage::Config));
  for (const auto& c : kCases) {
    if (c.identifier != kNoIdentifier) continue;
    ScopedTempDir dir;
    WriteFileBytes("qs_sys.ini", c.file);
    RecordingSplash splash;
    EXPECT_EXIT(ReadClientIdentifier(splash), testing::ExitedWithCode(1), expected) << c.why;
  }
}
#endif

}  // namespace
