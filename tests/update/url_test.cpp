#include "update/url.h"

#include <gtest/gtest.h>

namespace {

TEST(HttpUrl, SplitsAuthorityAndTargetAsWritten) {
  const struct {
    const char* url;
    const char* host;
    const char* port_text;
    const char* target;
    const char* bare_host;
    bool port_ok;
    uint16_t port;
  } cases[] = {
      {"http://update.example.net/l2/stave/npgmup.php?YWJj&client", "update.example.net", "",
       "/l2/stave/npgmup.php?YWJj&client", "update.example.net", true, 80},
      {"http://127.0.0.1:8080/a?+/8=&client", "127.0.0.1", "8080", "/a?+/8=&client", "127.0.0.1",
       true, 8080},
      {"http://[::1]:81/x%20y/../z", "[::1]", "81", "/x%20y/../z", "::1", true, 81},
      {"http://[fe80::1]/", "[fe80::1]", "", "/", "fe80::1", true, 80},
      {"http://host", "host", "", "/", "host", true, 80},
      {"host:080/p", "host", "080", "/p", "host", true, 80},
      {"http://host:/p", "host", "", "/p", "host", true, 80},
      {"http://host:0/", "host", "0", "/", "host", false, 0},
      {"http://host:65536/", "host", "65536", "/", "host", false, 0},
      {"http://host:8a/", "host", "8a", "/", "host", false, 0},
      {"http:///p", "", "", "/p", "", true, 80},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.url);
    const HttpUrl url = ParseHttpUrl(c.url);
    EXPECT_EQ(url.host, c.host);
    EXPECT_EQ(url.port_text, c.port_text);
    EXPECT_EQ(url.target, c.target);
    EXPECT_EQ(BareHost(url), c.bare_host);
    uint16_t port = 0;
    EXPECT_EQ(PortOf(url, &port), c.port_ok);
    if (c.port_ok) {
      EXPECT_EQ(port, c.port);
    }
  }
}

}  // namespace
