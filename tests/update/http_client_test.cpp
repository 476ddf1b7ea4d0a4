// THTTPSend against the scripted server on 127.0.0.1: the request on the
// wire, the reply over a real socket, and what becomes of the connection.
#include "update/httpsend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sstream>
#include <string>

#include "os/file.h"
#include "os/socket.h"
#include "tests/support/test_support.h"
#include "tools/scripted_server/scripted_server.h"

namespace {

// The sockets stay started for the whole run, as they do in the library.
class SocketsEnvironment final : public testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(os::StartSockets()); }
  void TearDown() override { os::StopSockets(); }
};
const testing::Environment* const kSockets =
    testing::AddGlobalTestEnvironment(new SocketsEnvironment);

const char kDownloadRequest[] =
    "GET /l2/stave/rxm/qStave.des HTTP/1.0\r\n"
    "Host: 127.0.0.1:%PORT%\r\n"
    "Keep-Alive: 300\r\n"
    "Connection: keep-alive\r\n"
    "User-Agent: Mozilla/4.0 (compatible; Synapse)\r\n"
    "\r\n";

std::string WithPort(std::string text, uint16_t port) {
  const std::string mark = "%PORT%";
  text.replace(text.find(mark), mark.size(), std::to_string(port));
  return text;
}

void UseManifestSettings(THTTPSend& client) {
  client.Protocol = "1.1";
  client.KeepAliveTimeout = 3000;
  client.UserAgent = "RXM/1.0 Version/1.0";
}

int MsSince(std::chrono::steady_clock::time_point start) {
  return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - start)
                              .count());
}

TEST(THTTPSendRequest, HeaderBlockByteForByte) {
  THTTPSend download;
  THTTPSend manifest;
  UseManifestSettings(manifest);
  THTTPSend no_port;
  no_port.AddPortNumberToHost = false;
  THTTPSend no_keep_alive;
  no_keep_alive.KeepAlive = false;

  const std::string download_tail =
      "Keep-Alive: 300\r\nConnection: keep-alive\r\n"
      "User-Agent: Mozilla/4.0 (compatible; Synapse)\r\n\r\n";
  const struct {
    const THTTPSend* client;
    const char* method;
    const char* url;
    std::string expected;
  } cases[] = {
      {&manifest, "Get", "http://update.example.net/l2/stave/npgmup.php?YWJj&client",
       "GET /l2/stave/npgmup.php?YWJj&client HTTP/1.1\r\n"
       "Host: update.example.net\r\n"
       "Keep-Alive: 3000\r\n"
       "Connection: keep-alive\r\n"
       "User-Agent: RXM/1.0 Version/1.0\r\n"
       "\r\n"},
      {&download, "GET", "http://update.example.net/l2/stave/rxm/qStave.des",
       "GET /l2/stave/rxm/qStave.des HTTP/1.0\r\nHost: update.example.net\r\n" + download_tail},
      {&download, "get", "http://h:80/x", "GET /x HTTP/1.0\r\nHost: h\r\n" + download_tail},
      {&download, "GET", "http://h:080/x", "GET /x HTTP/1.0\r\nHost: h:080\r\n" + download_tail},
      {&download, "GET", "http://[::1]:8080/a?+/8=&client",
       "GET /a?+/8=&client HTTP/1.0\r\nHost: [::1]:8080\r\n" + download_tail},
      {&download, "GET", "http://h", "GET / HTTP/1.0\r\nHost: h\r\n" + download_tail},
      {&no_port, "GET", "http://h:8080/x", "GET /x HTTP/1.0\r\nHost: h\r\n" + download_tail},
      {&no_keep_alive, "GET", "http://h/x",
       "GET /x HTTP/1.0\r\nHost: h\r\nUser-Agent: Mozilla/4.0 (compatible; Synapse)\r\n\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.client->ComposeRequest(c.method, c.url), c.expected) << c.url;
  }
}

TEST(THTTPSendExchange, DownloadClientSendsExactlyItsRequestAndCloses) {
  ScriptedServer server({Reply("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello")});
  ASSERT_TRUE(server.listening());
  THTTPSend client;
  EXPECT_TRUE(client.SendRequest("GET", server.Url("/l2/stave/rxm/qStave.des")));
  EXPECT_EQ(client.ResultCode, 200);
  EXPECT_EQ(client.ResultString, "OK");
  EXPECT_EQ(client.DownloadSize, 5);
  EXPECT_EQ(client.Document, "hello");
  EXPECT_FALSE(client.ConnectionOpen());
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0], WithPort(kDownloadRequest, server.port()));
}

TEST(THTTPSendExchange, ManifestClientKeepsItsConnectionUntilReleased) {
  const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
  ScriptedServer server({{ReadRequest(), Send(reply), Hang(5000)}});
  ASSERT_TRUE(server.listening());
  auto client = std::make_unique<THTTPSend>();
  UseManifestSettings(*client);
  EXPECT_TRUE(client->SendRequest("Get", server.Url("/m")));
  EXPECT_EQ(client->Document, "ok");
  EXPECT_TRUE(client->ConnectionOpen());
  // A second exchange never reuses the connection.
  EXPECT_TRUE(client->SendRequest("Get", server.Url("/m")));
  EXPECT_EQ(server.connections(), 2);
  client.reset();
}

TEST(THTTPSendExchange, ConnectionCloseEndsEvenTheManifestConnection) {
  ScriptedServer server(
      {{ReadRequest(), Send("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 1\r\n\r\nx"),
        Hang(5000)}});
  ASSERT_TRUE(server.listening());
  THTTPSend client;
  UseManifestSettings(client);
  EXPECT_TRUE(client.SendRequest("Get", server.Url("/m")));
  EXPECT_EQ(client.Document, "x");
  EXPECT_FALSE(client.ConnectionOpen());
}

TEST(THTTPSendExchange, SilentServerTimesOutPerPacket) {
  // Never answers: no line before the wait runs out.
  {
    ScriptedServer server({{ReadRequest(), Hang(5000)}});
    ASSERT_TRUE(server.listening());
    THTTPSend client;
    client.Timeout = 300;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.SendRequest("GET", server.Url("/")));
    EXPECT_LT(MsSince(start), 3000);
    EXPECT_EQ(client.ResultCode, 0);
    EXPECT_EQ(client.Document, "\r\n");
  }
  // Answers without a length and then keeps the connection open.
  {
    ScriptedServer server({{ReadRequest(), Send("HTTP/1.0 200 OK\r\n\r\npart"), Hang(5000)}});
    ASSERT_TRUE(server.listening());
    THTTPSend client;
    client.Timeout = 300;
    EXPECT_FALSE(client.SendRequest("GET", server.Url("/")));
    EXPECT_EQ(client.ResultCode, 200);
    EXPECT_EQ(client.DownloadSize, 0);
    EXPECT_EQ(client.Document, "part");
  }
}

TEST(THTTPSendExchange, SlowButSteadyReplyIsNeverCutOff) {
  const std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nabcdef";
  ServerScript script = {ReadRequest()};
  for (const ServerStep& step : SendSplit(reply, 8)) {
    script.push_back(Pause(150));
    script.push_back(step);
  }
  ScriptedServer server({script});
  ASSERT_TRUE(server.listening());
  THTTPSend client;
  client.Timeout = 600;  // well under the whole reply's 1.2 s
  EXPECT_TRUE(client.SendRequest("GET", server.Url("/")));
  EXPECT_EQ(client.Document, "abcdef");
}

TEST(THTTPSendExchange, ResetEndsTheReplyByItsMode) {
  // Read to the close: a reset counts as the end.
  {
    ScriptedServer server({{ReadRequest(), Send("HTTP/1.0 200 OK\r\n\r\nall"), Pause(200), Reset()}});
    ASSERT_TRUE(server.listening());
    THTTPSend client;
    EXPECT_TRUE(client.SendRequest("GET", server.Url("/")));
    EXPECT_EQ(client.Document, "all");
  }
  // By length: cut short.
  {
    ScriptedServer server(
        {{ReadRequest(), Send("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nabc"), Pause(200),
          Reset()}});
    ASSERT_TRUE(server.listening());
    THTTPSend client;
    EXPECT_FALSE(client.SendRequest("GET", server.Url("/")));
    EXPECT_EQ(client.ResultCode, 200);
    EXPECT_EQ(client.DownloadSize, 10);
    EXPECT_EQ(client.Document, "");
  }
  // Before any reply.
  {
    ScriptedServer server({{ReadRequest(), Reset()}});
    ASSERT_TRUE(server.listening());
    THTTPSend client;
    EXPECT_FALSE(client.SendRequest("GET", server.Url("/")));
    EXPECT_EQ(client.ResultCode, 0);
    EXPECT_EQ(client.Document, "\r\n");
  }
}

TEST(THTTPSendExchange, NoConnectionGives500) {
  uint16_t closed_port;
  {
    ScriptedServer gone({});
    ASSERT_TRUE(gone.listening());
    closed_port = gone.port();
  }
  const std::string urls[] = {
      "http://127.0.0.1:" + std::to_string(closed_port) + "/",  // refused
      "http://127.0.0.1:99999/",                                // no such port
      "http:///l2/stave/",                                      // no host
  };
  for (const std::string& url : urls) {
    THTTPSend client;
    client.Timeout = 300;
    EXPECT_FALSE(client.SendRequest("GET", url)) << url;
    EXPECT_EQ(client.ResultCode, 500) << url;
    EXPECT_EQ(client.DownloadSize, 0) << url;
    EXPECT_EQ(client.Document, "") << url;
  }
}

TEST(THTTPSendExchange, NoBodyFor204EvenWithTrailingBytes) {
  ScriptedServer server({Reply("HTTP/1.1 204 No Content\r\n\r\ntrailing bytes")});
  ASSERT_TRUE(server.listening());
  THTTPSend client;
  EXPECT_TRUE(client.SendRequest("GET", server.Url("/")));
  EXPECT_EQ(client.ResultCode, 204);
  EXPECT_EQ(client.Document, "");
  EXPECT_EQ(client.DownloadSize, 0);
}

TEST(THTTPSendExchange, LargeChunkedBodyOverManyPackets) {
  std::string body(200000, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i % 251);
  std::string reply = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (size_t at = 0; at < body.size(); at += 70000) {
    const std::string chunk = body.substr(at, 70000);
    std::ostringstream size;
    size << std::hex << chunk.size();
    reply += size.str() + "\r\n" + chunk + "\r\n";
  }
  reply += "0\r\n\r\n";
  ServerScript script = {ReadRequest()};
  for (const ServerStep& step : SendSplit(reply, 4093)) script.push_back(step);
  script.push_back(Hang(5000));
  ScriptedServer server({script});
  ASSERT_TRUE(server.listening());
  THTTPSend client;
  UseManifestSettings(client);
  EXPECT_TRUE(client.SendRequest("GET", server.Url("/")));
  EXPECT_EQ(client.DownloadSize, 200000 - 2 * 70000);
  EXPECT_TRUE(client.Document == body);
}

TEST(DownloadToStream, WritesTheDocumentFromTheStartOnlyWhenComplete) {
  ScopedTempDir dir;
  const struct {
    const char* name;
    ServerScript script;
    bool ok;
    std::string file;
  } cases[] = {
      {"complete", Reply("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nNEW!"), true, "NEW!ontents"},
      {"404 body copied all the same", Reply("HTTP/1.1 404 Not Found\r\n\r\nnope"), true,
       "nopeontents"},
      {"cut short", {ReadRequest(), Send("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nNEW"), Close()},
       false, "oldcontents"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server({c.script});
    ASSERT_TRUE(server.listening());
    WriteFileBytes("module.des", "oldcontents");
    {
      os::File file = os::File::Open("module.des", os::Access::ReadWrite, os::Share::None,
                                     os::Disposition::OpenExisting);
      char skip[3];
      ASSERT_EQ(file.Read(skip, sizeof skip), 3);  // the position is not at the start
      EXPECT_EQ(DownloadToStream(server.Url("/rxm/qStave.des"), file), c.ok);
    }
    EXPECT_EQ(ReadFileBytes("module.des"), c.file);
  }
}

TEST(DownloadToStream, WriteFailureThrows) {
  ScopedTempDir dir;
  ScriptedServer server({Reply("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nNEW!")});
  ASSERT_TRUE(server.listening());
  WriteFileBytes("module.des", "old");
  os::File read_only = os::File::Open("module.des", os::Access::Read, os::Share::ReadWrite,
                                      os::Disposition::OpenExisting);
  EXPECT_THROW(DownloadToStream(server.Url("/x"), read_only), os::OsError);
}

}  // namespace
