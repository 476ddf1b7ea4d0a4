// Reading one HTTP/1.x reply (RFC 9112) from a stream of packets. Pure: the
// bytes come from a ByteSource, so the whole reader runs in memory in tests
// and over a socket in THTTPSend.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Where the reply's bytes come from, one packet at a time.
class ByteSource {
 public:
  enum class Status {
    kData,      // at least one byte was appended
    kClosed,    // the peer closed or reset the connection: no more bytes ever
    kTimedOut,  // no byte arrived within the idle limit
  };
  virtual ~ByteSource() = default;
  // One wait: appends the bytes that arrive, at most `max` of them, to `out`.
  virtual Status Read(std::string* out, size_t max) = 0;
};

// Bodies are taken in pieces of this size; a length body cut short keeps only
// the pieces that arrived whole. It is also the most taken from the source in
// one read.
constexpr size_t kReplyPieceSize = 65536;

struct HttpReply {
  int32_t ResultCode = 0;       // 0: no status line arrived, or its code is not a number
  std::string ResultString;     // the reason phrase, trimmed
  int32_t DownloadSize = 0;     // the Content-Length read by, or the last chunk size; else 0
  std::string Document;         // the body
  std::vector<std::string> Headers;  // status lines and header lines, folded
  std::vector<std::pair<std::string, std::string>> Cookies;  // from Set-Cookie lines
  bool close_requested = false;      // a Connection line said close
  bool headers_complete = false;     // the header block was read to its empty line
  bool ok = false;                   // the success flag: the reply was read to its end
};

// Reads one reply: status line (empty lines and 100 Continue skipped), header
// lines up to the empty line, then the body by chunks, by Content-Length or
// up to the close. Line ends are CR LF, LF CR, a lone LF or a lone CR, also
// when a pair is split between two packets. Never throws for anything the
// peer sends; memory grows only with the bytes that actually arrive.
HttpReply ReadHttpReply(ByteSource& source);
