// The manifest exchange as the update server sees it, with the real DLL under
// Wine: the request bytes, and the replies that end the start with message 2
// or 3.
#include <gtest/gtest.h>

#include <string>

#include "bootstrap/fail_fatal.h"
#include "tests/e2e/e2e_support.h"
#include "tools/scripted_server/scripted_server.h"

namespace {

std::string ManifestRequestFor(const std::string& base64) {
  return "GET /l2/stave/npgmup.php?" + base64 + "&client HTTP/1.1\r\n"
         "Host: 127.0.0.1:" + std::to_string(TheWin32Build().update_port) + "\r\n"
         "Keep-Alive: 3000\r\n"
         "Connection: keep-alive\r\n"
         "User-Agent: RXM/1.0 Version/1.0\r\n"
         "\r\n";
}

HostRun RunWithIdentifier(const std::string& identifier) {
  HostOptions options;
  options.files["qs_sys.ini"] = ConfigFor(identifier);
  return RunHost(options);
}

TEST(ManifestE2E, RequestBytesAreExactAndAnyStatusButOkEndsWithMessageThree) {
  const struct { const char* why; std::string reply; } cases[] = {
      {"404", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found"},
      {"500", "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n"},
      {"302", "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:1/\r\nContent-Length: 0\r\n\r\n"},
  };
  for (const auto& c : cases) {
    ScriptedServer server({Reply(c.reply)}, static_cast<uint16_t>(TheWin32Build().update_port));
    ASSERT_TRUE(server.listening());
    const HostRun run = RunWithIdentifier("abc");
    ExpectFatalEnd(run, FatalMessage::Http);
    ASSERT_EQ(server.connections(), 1) << c.why << ": no redirect is followed, nothing retried";
    EXPECT_EQ(server.Requests()[0], ManifestRequestFor("YWJj")) << c.why;
  }
}

TEST(ManifestE2E, UnreachableServerEndsWithMessageThree) {
  ExpectFatalEnd(RunWithIdentifier("abc"), FatalMessage::Http);  // nothing listens on the port
}

TEST(ManifestE2E, UnusableManifestsEndWithMessageTwoOrThree) {
  const struct { const char* why; std::string body; FatalMessage message; } cases[] = {
      {"empty body", "", FatalMessage::NoData},
      {"one line", "1F\r\n", FatalMessage::NoData},
      {"body starts with a line break", "\r\n1F\r\nabc\r\n", FatalMessage::Http},
      {"empty digest line", "1F\r\n\r\nx\r\n", FatalMessage::Http},
  };
  for (const auto& c : cases) {
    ScriptedServer server({Reply("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(c.body.size()) +
                                 "\r\n\r\n" + c.body)},
                          static_cast<uint16_t>(TheWin32Build().update_port));
    ASSERT_TRUE(server.listening());
    ExpectFatalEnd(RunWithIdentifier("abc"), c.message);
    EXPECT_EQ(server.connections(), 1) << c.why;
  }
}

TEST(ManifestE2E, EmptyIdentifierAndHighBytesGoOutAsBareBase64) {
  ScriptedServer server({Reply("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")},
                        static_cast<uint16_t>(TheWin32Build().update_port));
  ASSERT_TRUE(server.listening());
  ExpectFatalEnd(RunWithIdentifier("\xFB\xFF"), FatalMessage::Http);
  ExpectFatalEnd(RunWithIdentifier(""), FatalMessage::Http);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0], ManifestRequestFor("+/8="));
  EXPECT_EQ(requests[1], ManifestRequestFor(""));
}

}  // namespace
