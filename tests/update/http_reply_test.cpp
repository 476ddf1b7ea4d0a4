#include "update/http_reply.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Status = ByteSource::Status;

// Plays fixed packets, then answers `end` for good.
class PacketSource final : public ByteSource {
 public:
  PacketSource(std::vector<std::string> packets, Status end)
      : packets_(std::move(packets)), end_(end) {}

  Status Read(std::string* out, size_t max) override {
    if (next_ == packets_.size()) {
      ++reads_after_end_;
      return end_;
    }
    const std::string& packet = packets_[next_];
    const size_t take = std::min(max, packet.size() - offset_);
    out->append(packet, offset_, take);
    delivered_ += take;
    offset_ += take;
    if (offset_ == packet.size()) {
      ++next_;
      offset_ = 0;
    }
    return Status::kData;
  }

  size_t delivered() const { return delivered_; }
  int reads_after_end() const { return reads_after_end_; }

 private:
  std::vector<std::string> packets_;
  Status end_;
  size_t next_ = 0;
  size_t offset_ = 0;
  size_t delivered_ = 0;
  int reads_after_end_ = 0;
};

std::vector<std::string> OnePacket(const std::string& wire) {
  if (wire.empty()) return {};
  return {wire};
}

std::vector<std::string> BytePackets(const std::string& wire) {
  std::vector<std::string> packets;
  for (const char c : wire) packets.emplace_back(1, c);
  return packets;
}

const std::string kPiece(kReplyPieceSize, 'p');

struct ReplyCase {
  const char* name;
  std::string wire;  // the reply as the server sends it
  std::string tail;  // sent after `wire`; must never be taken into the reply
  Status end;        // after everything: the server closes, or goes silent
  int32_t code;
  int32_t size;
  std::string document;
  bool ok;
  bool close = false;
};

const ReplyCase kReplies[] = {
    {"length", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", "EXTRA", Status::kTimedOut,
     200, 5, "hello", true},
    {"length without a space is ignored", "HTTP/1.1 200 OK\r\nContent-Length:5\r\n\r\nhello!", "",
     Status::kClosed, 200, 0, "hello!", true},
    {"length value not a number", "HTTP/1.1 200 OK\r\nContent-Length: 5x\r\n\r\nhello!", "",
     Status::kClosed, 200, 0, "hello!", true},
    {"first valid length selects the mode, the last gives N",
     "HTTP/1.1 200 OK\r\nContent-Length: x\r\nContent-Length: 3\r\ncontent-length: 7\r\n\r\n"
     "1234567",
     "89", Status::kTimedOut, 200, 7, "1234567", true},
    {"last length 0 means no body", "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nContent-Length: 0\r\n\r\n",
     "body", Status::kTimedOut, 200, 0, "", true},
    {"negative length means no body", "HTTP/1.1 200 OK\r\nContent-Length: -3\r\n\r\n", "abc",
     Status::kTimedOut, 200, 0, "", true},
    {"length past 32 bits is ignored", "HTTP/1.1 200 OK\r\nContent-Length: 4294967301\r\n\r\nabc",
     "", Status::kClosed, 200, 0, "abc", true},
    {"length cut short keeps whole pieces",
     "HTTP/1.1 200 OK\r\nContent-Length: 131082\r\n\r\n" + kPiece + "0123456789", "",
     Status::kClosed, 200, 131082, kPiece, false},
    {"length cut short inside the first piece", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc",
     "", Status::kTimedOut, 200, 10, "", false},
    {"length of exactly two pieces",
     "HTTP/1.1 200 OK\r\nContent-Length: 131072\r\n\r\n" + kPiece + kPiece, "more",
     Status::kTimedOut, 200, 131072, kPiece + kPiece, true},
    {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n2\r\nde\r\n0\r\n",
     "\r\ntrailer", Status::kTimedOut, 200, 2, "abcde", true},
    {"chunked wins over length",
     "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nTransfer-Encoding: Chunked\r\n\r\n"
     "3;name=value\r\nabc\r\n\r\n\r\n2 \r\nde\r\n0\r\n",
     "\r\n", Status::kTimedOut, 200, 2, "abcde", true},
    {"chunk size in capitals, chunk across a piece boundary",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1000A\r\n" + kPiece + "0123456789\r\n0\r\n",
     "", Status::kTimedOut, 200, 0x1000A, kPiece + "0123456789", true},
    {"chunk size not a number ends the body",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\nzz\r\n", "3\r\ndef\r\n",
     Status::kTimedOut, 200, 3, "abc", true},
    {"chunk size past 31 bits fails",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\nFFFFFFFFFFFF\r\n", "x",
     Status::kTimedOut, 200, 3, "abc", false},
    {"chunk cut short", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n9\r\nde",
     "", Status::kClosed, 200, 9, "abc", false},
    {"chunked, wait fails before a size line",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n", "", Status::kTimedOut,
     200, 3, "abc", false},
    {"no length, read to the close", "HTTP/1.0 200 OK\r\nServer: x\r\n\r\nall\r\nof it", "",
     Status::kClosed, 200, 0, "all\r\nof it", true},
    {"no length, wait runs out", "HTTP/1.0 200 OK\r\n\r\nsome", "", Status::kTimedOut, 200, 0,
     "some", false},
    {"lone LF line ends", "HTTP/1.1 200 OK\nContent-Length: 2\n\nhi", "!", Status::kTimedOut, 200,
     2, "hi", true},
    {"lone CR line ends", "HTTP/1.1 200 OK\rContent-Length: 2\r\rhi", "!", Status::kTimedOut, 200,
     2, "hi", true},
    {"LF CR line ends", "HTTP/1.1 200 OK\n\rContent-Length: 2\n\r\n\rhi", "!", Status::kTimedOut,
     200, 2, "hi", true},
    {"a body that starts with LF after a CR LF header end",
     "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\n\nab", "", Status::kTimedOut, 200, 3, "\nab",
     true},
    {"lower-case status line", "http/1.0 200 ok\r\ncontent-length: 1\r\n\r\nx", "",
     Status::kTimedOut, 200, 1, "x", true},
    {"empty lines before the status line", "\r\n\n\r\rHTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx",
     "", Status::kTimedOut, 200, 1, "x", true},
    {"100 Continue, then the reply",
     "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", "",
     Status::kTimedOut, 200, 2, "ok", true},
    {"100 Continue, then nothing", "HTTP/1.1 100 Continue\r\n\r\n", "", Status::kTimedOut, 0, 0,
     "\r\n", false},
    {"redirect is an ordinary reply",
     "HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1/x\r\nContent-Length: 3\r\n\r\nmov", "",
     Status::kTimedOut, 302, 3, "mov", true},
    {"status code not a number", "HTTP/1.1 2OO OK\r\nContent-Length: 1\r\n\r\nx", "",
     Status::kTimedOut, 0, 1, "x", true},
    {"status line without a reason", "HTTP/1.1 404\r\n\r\n", "", Status::kClosed, 404, 0, "", true},
    {"no line before the wait runs out", "", "", Status::kTimedOut, 0, 0, "\r\n", false},
    {"closed before any line", "", "", Status::kClosed, 0, 0, "\r\n", false},
    {"only empty lines, then closed", "\r\n\r\n", "", Status::kClosed, 0, 0, "\r\n", false},
    {"closed inside the status line", "HTTP/1.1 200 OK", "", Status::kClosed, 0, 0, "\r\n", false},
    {"first line not a status line, then closed", "hello\r\nworld", "", Status::kClosed, 0, 0,
     "hello\r\nworld", true},
    {"first line not a status line, wait runs out", "hello\rworld", "", Status::kTimedOut, 0, 0,
     "hello\r\nworld", false},
    {"wait fails among the header lines", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n", "",
     Status::kTimedOut, 200, 0, "", false},
    {"closed among the header lines", "HTTP/1.1 403 Forbidden\r\nServer", "", Status::kClosed,
     403, 0, "", false},
    {"204 reads no body", "HTTP/1.1 204 No Content\r\nContent-Length: 4\r\n\r\n", "body",
     Status::kTimedOut, 204, 0, "", true},
    {"304 reads no body, lone CR at the very end", "HTTP/1.1 304 Not Modified\r\r", "\nbody",
     Status::kTimedOut, 304, 0, "", true},
    {"folded header lines continue the one before",
     "HTTP/1.1 200 OK\r\nContent-Length:\r\n  5\r\n\r\nhello", "!", Status::kTimedOut, 200, 5,
     "hello", true},
    {"folding with TAB onto Transfer-Encoding",
     "HTTP/1.1 200 OK\r\nTransfer-Encoding:\r\n\tchunked\r\n\r\n2\r\nab\r\n0\r\n", "",
     Status::kTimedOut, 200, 2, "ab", true},
    {"Connection close", "HTTP/1.1 200 OK\r\nConnection: Close\r\nContent-Length: 1\r\n\r\nx", "",
     Status::kTimedOut, 200, 1, "x", true, true},
    {"Connection keep-alive", "HTTP/1.1 200 OK\r\nConnection: keep-alive\r\nContent-Length: 1\r\n\r\nx",
     "", Status::kTimedOut, 200, 1, "x", true, false},
};

class ReplyTable : public testing::TestWithParam<bool> {};

TEST_P(ReplyTable, EveryCaseGivesItsFields) {
  const bool per_byte = GetParam();
  for (const ReplyCase& c : kReplies) {
    SCOPED_TRACE(c.name);
    const std::string wire = c.wire + c.tail;
    PacketSource source(per_byte ? BytePackets(wire) : OnePacket(wire), c.end);
    const HttpReply reply = ReadHttpReply(source);
    EXPECT_EQ(reply.ResultCode, c.code);
    EXPECT_EQ(reply.DownloadSize, c.size);
    EXPECT_EQ(reply.Document.size(), c.document.size());
    EXPECT_TRUE(reply.Document == c.document);
    EXPECT_EQ(reply.ok, c.ok);
    EXPECT_EQ(reply.close_requested, c.close);
    if (per_byte) {
      // Nothing past the reply's own bytes is taken from the connection.
      EXPECT_LE(source.delivered(), c.wire.size());
    }
    // A reply that ends by its own framing is not held up waiting for more.
    if (c.ok && c.end == Status::kTimedOut) {
      EXPECT_EQ(source.reads_after_end(), 0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AtOnceAndPerByte, ReplyTable, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "PerByte" : "AtOnce";
                         });

TEST(HttpReply, HeadersCookiesAndReason) {
  const std::string wire =
      "HTTP/1.1 100 Continue\r\n\r\n"
      "HTTP/1.1 200  Fine  Thanks \r\n"
      "Set-Cookie: session = abc123; Path=/\r\n"
      "X-Long: one\r\n"
      "  two\r\n"
      "set-cookie: flag\r\n"
      "Content-Length: 0\r\n\r\n";
  for (const bool per_byte : {false, true}) {
    PacketSource source(per_byte ? BytePackets(wire) : OnePacket(wire), Status::kTimedOut);
    const HttpReply reply = ReadHttpReply(source);
    EXPECT_EQ(reply.ResultCode, 200);
    EXPECT_EQ(reply.ResultString, "Fine  Thanks");
    EXPECT_EQ(reply.Headers,
              (std::vector<std::string>{"HTTP/1.1 100 Continue", "HTTP/1.1 200  Fine  Thanks ",
                                        "Set-Cookie: session = abc123; Path=/", "X-Long: one two",
                                        "set-cookie: flag", "Content-Length: 0"}));
    const std::vector<std::pair<std::string, std::string>> cookies = {{"session", "abc123"},
                                                                     {"flag", ""}};
    EXPECT_EQ(reply.Cookies, cookies);
    EXPECT_TRUE(reply.headers_complete);
  }
}

// A line may be as long as the peer makes it; it is held whole and only grows
// with what arrives.
TEST(HttpReply, LongLinesAndLargeBodiesArriveWhole) {
  const std::string reason(200000, 'r');
  std::string body(3 * kReplyPieceSize + 17, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7);
  const std::string wire = "HTTP/1.1 200 " + reason + "\r\nContent-Length: " +
                           std::to_string(body.size()) + "\r\n\r\n" + body;
  std::vector<std::string> packets;
  for (size_t at = 0; at < wire.size(); at += 1000) packets.push_back(wire.substr(at, 1000));
  PacketSource source(packets, Status::kTimedOut);
  const HttpReply reply = ReadHttpReply(source);
  EXPECT_TRUE(reply.ok);
  EXPECT_EQ(reply.ResultString, reason);
  EXPECT_TRUE(reply.Document == body);
}

}  // namespace
