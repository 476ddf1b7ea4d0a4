#include "update/manifest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bootstrap/fail_fatal.h"
#include "config/JclMime.h"
#include "os/socket.h"
#include "tests/support/test_support.h"
#include "tools/scripted_server/scripted_server.h"

namespace {

using Lines = std::vector<std::string>;

const std::string kManifest = "1F\r\nABCDEF\r\nhi\r\n";

std::string XorAll(std::string bytes, char key) {
  for (char& c : bytes) c = static_cast<char>(c ^ key);
  return bytes;
}

// The scrambled form with the key taken from the filler: "z", P, ten filler
// bytes (filler[P - 66] is the key), Base64 of the manifest XOR key.
std::string ScrambleWithFiller(const std::string& manifest, unsigned char position,
                               const std::string& filler) {
  std::string body = "z";
  body += static_cast<char>(position);
  body += filler;
  const char key = body.size() > position - 64u ? body[position - 64u] : 0;
  return body + Base64Encode(XorAll(manifest, key));
}

// The key inside the text itself: a byte outside the Base64 alphabet, which
// the decoder skips, placed at text offset P - 76.
std::string ScrambleWithKeyInText(const std::string& manifest, unsigned char position, char key) {
  std::string text = Base64Encode(XorAll(manifest, key));
  text.insert(static_cast<size_t>(position - 76), 1, key);
  return std::string("z") + static_cast<char>(position) + "0123456789" + text;
}

TEST(ManifestUrl, Base64OfTheIdentifierGoesInUnescaped) {
  const struct {
    std::string identifier;
    const char* url;
  } cases[] = {
      {"abc", "http://h/l2/stave/npgmup.php?YWJj&client"},
      {"\xFB\xFF", "http://h/l2/stave/npgmup.php?+/8=&client"},
      {"", "http://h/l2/stave/npgmup.php?&client"},
      {std::string("a\0 b", 4), "http://h/l2/stave/npgmup.php?YQAgYg==&client"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ManifestUrl("http://h/l2/stave/", c.identifier), c.url);
  }
}

TEST(DecodeResponseBody, PlainAndScrambledFormsGiveTheSameText) {
  const std::string filler = "\x01\x5A\x7F\x80\xC8\xFF\x20\x0D\x0A\x3D";
  const struct {
    const char* name;
    std::string body;
    std::string text;
  } cases[] = {
      {"plain", kManifest, kManifest},
      {"plain stops at NUL", std::string("1F\r\nAB\0CD", 9), "1F\r\nAB"},
      {"plain upper-case Z", "Zorro\r\nx", "Zorro\r\nx"},
      {"plain empty", "", ""},
      {"key is the marker", ScrambleWithFiller(kManifest, 64, filler), kManifest},
      {"key is the position byte", ScrambleWithFiller(kManifest, 65, filler), kManifest},
      {"key is the first filler byte", ScrambleWithFiller(kManifest, 66, filler), kManifest},
      {"key is the fifth filler byte", ScrambleWithFiller(kManifest, 70, filler), kManifest},
      {"key is the last filler byte", ScrambleWithFiller(kManifest, 75, filler), kManifest},
      {"key of zero leaves the text", ScrambleWithFiller(kManifest, 66, std::string(10, '\0')),
       kManifest},
      {"key is a line break in the text", ScrambleWithKeyInText(kManifest, 76, '\n'), kManifest},
      {"key deep in the text", ScrambleWithKeyInText(kManifest, 90, '\xC8'), kManifest},
      {"text ends at NUL", ScrambleWithFiller(kManifest, 66, filler) + std::string("\0QUJD", 5),
       kManifest},
      {"key position below 64", ScrambleWithFiller(kManifest, 63, filler), ""},
      {"key position 0", ScrambleWithFiller(kManifest, 0, filler), ""},
      {"key position past the end", ScrambleWithFiller("ab", 64 + 16, filler), ""},
      {"key is the body's last byte", ScrambleWithKeyInText(kManifest, 100, '!'), kManifest},
      {"12 bytes, no text", "z\x42" + filler, ""},
      {"marker alone", "z", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // An exact-size heap copy, so that a read past the body is seen.
    const std::string body(c.body.begin(), c.body.end());
    const std::string text = DecodeResponseBody(body);
    EXPECT_EQ(text.size(), c.text.size());
    EXPECT_TRUE(text == c.text);
  }
}

// The scrambled text itself may hold NUL bytes after XOR; the line split
// ends the text there.
TEST(DecodeResponseBody, ScrambledTextKeepsItsFullLength) {
  const std::string manifest("1F\r\nAB\0tail", 11);
  const std::string body = ScrambleWithFiller(manifest, 67, std::string("\x00\x33\x00\x00\x00\x00\x00\x00\x00\x00", 10));
  ASSERT_EQ(body.size(), 12u + Base64Encode(manifest).size());
  EXPECT_EQ(DecodeResponseBody(body), manifest);
  EXPECT_EQ(SplitManifestLines(DecodeResponseBody(body)), (Lines{"1F", "AB"}));
}

TEST(SplitManifestLines, EveryBreakEndsOneLine) {
  const struct {
    std::string text;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\rb\nc", {"a", "b", "c"}},
      {"a\n\rb", {"a", "", "b"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"\r\nb", {"", "b"}},
      {"\n", {""}},
      {" a\t \r\n", {" a\t "}},
      {std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}},
      {std::string("\0a", 2), {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplitManifestLines(c.text), c.lines) << testing::PrintToString(c.text);
  }
}

TEST(LowerCaseAscii, OnlyLatinCapitals) {
  EXPECT_EQ(LowerCaseAscii("ABCDEF0123xyz@[`{"), "abcdef0123xyz@[`{");
  EXPECT_EQ(LowerCaseAscii("\xC0\xC1\xDF\xA8Z"), "\xC0\xC1\xDF\xA8z");  // Cyrillic stays
}

std::string ManifestRequest(uint16_t port) {
  return "GET /l2/stave/npgmup.php?YWJj&client HTTP/1.1\r\n"
         "Host: 127.0.0.1:" +
         std::to_string(port) +
         "\r\n"
         "Keep-Alive: 3000\r\n"
         "Connection: keep-alive\r\n"
         "User-Agent: RXM/1.0 Version/1.0\r\n"
         "\r\n";
}

std::string Ok(const std::string& body) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

TEST(RequestManifest, SendsTheManifestRequestAndSplitsTheReply) {
  ASSERT_TRUE(os::StartSockets());
  const struct {
    const char* name;
    std::string body;
    std::string handoff;
    std::string digest;
    Lines payload;
  } cases[] = {
      {"plain", kManifest, "1F", "abcdef", {"hi"}},
      {"scrambled", ScrambleWithFiller(kManifest, 66, "\x5A" "123456789"), "1F", "abcdef", {"hi"}},
      {"no payload", "1F\r\nABCDEF", "1F", "abcdef", {}},
      {"NUL ends the text", std::string("1F\r\nAB\0CD", 9), "1F", "ab", {}},
      {"leading space kept", " 1F\r\nD\r\n\r\nx\ty \r\n", " 1F", "d", {"", "x\ty "}},
      {"Cyrillic digest left alone", "0\r\n\xC0" "B\r\n", "0", "\xC0" "b", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server({{ReadRequest(), Send(Ok(c.body)), Hang(5000)}});
    ASSERT_TRUE(server.listening());
    RecordingSplash splash;
    ManifestResult result = RequestManifest(splash, server.Url("/l2/stave/"), "abc");
    EXPECT_EQ(result.handoff_value, c.handoff);
    EXPECT_EQ(result.module_digest, c.digest);
    EXPECT_EQ(result.lines, c.payload);
    ASSERT_TRUE(result.client);
    EXPECT_EQ(result.client->DownloadSize, static_cast<int32_t>(c.body.size()));
    EXPECT_TRUE(result.client->ConnectionOpen());  // until RunBootstrap releases it
    EXPECT_TRUE(splash.calls.empty());
    ASSERT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(server.Requests()[0], ManifestRequest(server.port()));
  }
  os::StopSockets();
}

#if QSTAVE_DEATH_TESTS

std::string BoxOf(FatalMessage message) {
  return "^" + EscapeRegex(std::string(kFatalCaption) + ": " + FatalMessageText(message)) + "\n$";
}

TEST(RequestManifestDeathTest, FailsWithTheMessageOfEachCase) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ASSERT_TRUE(os::StartSockets());
  uint16_t closed_port;
  {
    ScriptedServer gone({});
    closed_port = gone.port();
  }
  const struct {
    const char* name;
    std::string reply;  // empty: nothing listens
    FatalMessage message;
  } cases[] = {
      {"404", "HTTP/1.1 404 Not Found\r\nContent-Length: 16\r\n\r\n" + kManifest, FatalMessage::Http},
      {"302", "HTTP/1.1 302 Found\r\nLocation: /x\r\n\r\n" + kManifest, FatalMessage::Http},
      {"500", "HTTP/1.1 500 Oops\r\n\r\n" + kManifest, FatalMessage::Http},
      {"no status line", "1F\r\nABCDEF\r\n", FatalMessage::Http},
      {"unreachable", "", FatalMessage::Http},
      {"empty body", Ok(""), FatalMessage::NoData},
      {"one line", Ok("1F"), FatalMessage::NoData},
      {"one line and a break", Ok("1F\r\n"), FatalMessage::NoData},
      {"scrambled key outside", Ok(ScrambleWithFiller(kManifest, 63, "0123456789")),
       FatalMessage::NoData},
      {"scrambled too short", Ok("z\x40" "0123456789"), FatalMessage::NoData},
      {"empty digest", Ok("1F\r\n\r\nx"), FatalMessage::Http},
      {"empty handoff", Ok("\r\nABC\r\n"), FatalMessage::Http},
      {"LF CR makes an empty digest", Ok("1F\n\rABCDEF"), FatalMessage::Http},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server({Reply(c.reply)});
    const std::string base =
        c.reply.empty() ? "http://127.0.0.1:" + std::to_string(closed_port) + "/l2/stave/"
                        : server.Url("/l2/stave/");
    RecordingSplash splash;
    EXPECT_EXIT(RequestManifest(splash, base, "abc"), testing::ExitedWithCode(1),
                BoxOf(c.message));
  }
  os::StopSockets();
}

#endif  // QSTAVE_DEATH_TESTS

}  // namespace
