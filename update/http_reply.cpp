#include "update/http_reply.h"

#include <algorithm>

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Bytes up to and including space count as blank, control bytes and TAB too.
std::string Trim(const std::string& text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsBlank(text[begin])) ++begin;
  while (end > begin && IsBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperCaseAscii(std::string text) {
  for (char& c : text) c = UpperAscii(c);
  return text;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
  size_t i = 0;
  for (; prefix[i] != '\0'; ++i) {
    if (i >= text.size() || UpperAscii(text[i]) != UpperAscii(prefix[i])) return false;
  }
  return true;
}

// An optional sign and decimal digits, nothing else. Values that do not fit
// in 32 bits are not numbers: the caller then ignores the line.
bool ParseDecimal(const std::string& text, int32_t* value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  int64_t v = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    v = v * 10 + (text[i] - '0');
    if (v > int64_t{INT32_MAX} + 1) return false;
  }
  if (negative) v = -v;
  if (v > INT32_MAX || v < INT32_MIN) return false;
  *value = static_cast<int32_t>(v);
  return true;
}

enum class ChunkSize { kNumber, kNotANumber, kTooLarge };

// Hex digits only (RFC 9112 section 7.1 chunk-size). A size past 31 bits could
// never be held in memory by this client.
ChunkSize ParseChunkSize(const std::string& text, int32_t* value) {
  if (text.empty()) return ChunkSize::kNotANumber;
  int64_t v = 0;
  bool too_large = false;
  for (const char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return ChunkSize::kNotANumber;
    }
    if (!too_large) {
      v = v * 16 + digit;
      too_large = v > INT32_MAX;
    }
  }
  if (too_large) return ChunkSize::kTooLarge;
  *value = static_cast<int32_t>(v);
  return ChunkSize::kNumber;
}

class ReplyReader {
 public:
  explicit ReplyReader(ByteSource& source) : source_(source) {}

  HttpReply Read() {
    std::string line;
    if (!ReadStatusLine(&line)) return std::move(reply_);
    while (IsStatusLine(line)) {
      reply_.Headers.push_back(line);
      DecodeStatus(line);
      if (reply_.ResultCode != 100) return ReadRest();
      if (!ReadStatusLine(&line)) return std::move(reply_);
    }
    // No status line at all (a bare HTTP/0.9-style answer): the line starts
    // the body, which runs to the close.
    reply_.ResultCode = 0;
    reply_.Document = line + "\r\n";
    reply_.headers_complete = true;
    reply_.ok = ReadToClose();
    return std::move(reply_);
  }

 private:
  static bool IsStatusLine(const std::string& line) { return StartsWithNoCase(line, "HTTP/"); }

  // The next non-empty line. When the wait fails first, the reply holds
  // just CR LF and status 0.
  bool ReadStatusLine(std::string* line) {
    do {
      if (!ReadLine(line)) {
        reply_.ResultCode = 0;
        reply_.ResultString.clear();
        reply_.Document = "\r\n";
        return false;
      }
    } while (line->empty());
    return true;
  }

  void DecodeStatus(const std::string& line) {
    reply_.ResultCode = 0;
    reply_.ResultString.clear();
    const size_t first = line.find(' ');
    if (first == std::string::npos) return;
    const size_t second = line.find(' ', first + 1);
    const std::string code =
        Trim(line.substr(first + 1, second == std::string::npos ? std::string::npos
                                                                 : second - first - 1));
    int32_t value = 0;
    if (ParseDecimal(code, &value)) reply_.ResultCode = value;
    if (second != std::string::npos) reply_.ResultString = Trim(line.substr(second + 1));
  }

  HttpReply ReadRest() {
    const size_t first_header = reply_.Headers.size();
    std::string line;
    for (;;) {
      if (!ReadLine(&line)) return std::move(reply_);
      if (line.empty()) break;
      std::string unfolded = line;
      std::replace(unfolded.begin(), unfolded.end(), '\t', ' ');
      const char lead = unfolded[0];
      if (lead == ' ' || lead == '"' || lead == ':' || lead == '=') {
        reply_.Headers.back() += " " + Trim(unfolded);
      } else {
        reply_.Headers.push_back(line);
      }
    }
    reply_.headers_complete = true;

    bool chunked = false;
    bool by_length = false;
    int32_t length = 0;
    for (size_t i = first_header; i < reply_.Headers.size(); ++i) {
      const std::string& header = reply_.Headers[i];
      if (StartsWithNoCase(header, "CONTENT-LENGTH:")) {
        const size_t space = header.find(' ');
        int32_t value = 0;
        if (space != std::string::npos && ParseDecimal(Trim(header.substr(space + 1)), &value)) {
          by_length = true;
          length = value;
        }
      } else if (StartsWithNoCase(header, "TRANSFER-ENCODING:")) {
        if (UpperCaseAscii(header.substr(18)).find("CHUNKED") != std::string::npos) chunked = true;
      } else if (StartsWithNoCase(header, "CONNECTION:")) {
        if (UpperCaseAscii(header).find("CLOSE") != std::string::npos) {
          reply_.close_requested = true;
        }
      } else if (StartsWithNoCase(header, "SET-COOKIE:")) {
        AddCookie(Trim(header.substr(11)));
      }
    }

    const int32_t code = reply_.ResultCode;
    if (code == 204 || code == 304) {
      reply_.ok = true;  // RFC 9110 section 15.3.5, 15.4.5: never a body
    } else if (chunked) {
      reply_.ok = ReadChunks();
    } else if (by_length) {
      if (length > 0) {
        reply_.DownloadSize = length;
        reply_.ok = ReadExactly(static_cast<size_t>(length));
      } else {
        reply_.ok = true;
      }
    } else {
      reply_.ok = ReadToClose();
    }
    return std::move(reply_);
  }

  void AddCookie(const std::string& text) {
    const std::string pair = text.substr(0, text.find(';'));
    const size_t equals = pair.find('=');
    if (equals == std::string::npos) {
      reply_.Cookies.emplace_back(Trim(pair), std::string());
    } else {
      reply_.Cookies.emplace_back(Trim(pair.substr(0, equals)), Trim(pair.substr(equals + 1)));
    }
  }

  // RFC 9112 section 7.1; the trailer section is not read.
  bool ReadChunks() {
    std::string line;
    for (;;) {
      do {
        if (!ReadLine(&line)) return false;
      } while (line.empty());
      const size_t cut = std::min(line.find(' '), line.find(';'));
      int32_t size = 0;
      switch (ParseChunkSize(Trim(line.substr(0, cut)), &size)) {
        case ChunkSize::kNotANumber:
          return true;
        case ChunkSize::kTooLarge:
          return false;
        case ChunkSize::kNumber:
          break;
      }
      if (size == 0) return true;
      reply_.DownloadSize = size;
      if (!ReadExactly(static_cast<size_t>(size))) return false;
    }
  }

  // Appends `count` body bytes to the document, a whole piece at a time; when
  // the bytes stop coming, the piece in progress is dropped.
  bool ReadExactly(size_t count) {
    std::string piece;
    while (count > 0) {
      const size_t want = std::min(count, kReplyPieceSize);
      while (piece.size() < want) {
        if (pos_ == buffer_.size() && !Fill()) return false;
        const size_t take = std::min(buffer_.size() - pos_, want - piece.size());
        piece.append(buffer_, pos_, take);
        pos_ += take;
      }
      reply_.Document += piece;
      piece.clear();
      count -= want;
    }
    return true;
  }

  // Everything up to the close (success) or an idle timeout (failure).
  bool ReadToClose() {
    for (;;) {
      reply_.Document.append(buffer_, pos_, std::string::npos);
      pos_ = buffer_.size();
      if (!Fill()) return last_ == ByteSource::Status::kClosed;
    }
  }

  // One line without its end. False when the bytes stop before a line end;
  // the partial line is then not a line.
  bool ReadLine(std::string* line) {
    size_t scanned = pos_;
    for (;;) {
      const size_t end = buffer_.find_first_of("\r\n", scanned);
      if (end != std::string::npos) {
        line->assign(buffer_, pos_, end - pos_);
        pos_ = end + 1;
        // CR LF and LF CR are one line end each.
        pair_ = buffer_[end] == '\r' ? '\n' : '\r';
        SkipPairedByte();
        return true;
      }
      scanned = buffer_.size() - pos_;
      if (!Fill()) return false;
      scanned += pos_;
    }
  }

  // The second byte of a CR LF or LF CR pair is dropped wherever it turns up:
  // right away, or as the first byte of the next packet.
  void SkipPairedByte() {
    if (pair_ == 0 || pos_ == buffer_.size()) return;
    if (buffer_[pos_] == pair_) ++pos_;
    pair_ = 0;
  }

  // One more packet from the source, appended to what is still unread.
  bool Fill() {
    if (pos_ == buffer_.size()) {
      buffer_.clear();
      pos_ = 0;
    } else if (pos_ >= kReplyPieceSize) {
      buffer_.erase(0, pos_);
      pos_ = 0;
    }
    const size_t before = buffer_.size();
    last_ = source_.Read(&buffer_, kReplyPieceSize);
    if (last_ != ByteSource::Status::kData) {
      buffer_.resize(before);
      return false;
    }
    SkipPairedByte();
    return true;
  }

  ByteSource& source_;
  std::string buffer_;
  size_t pos_ = 0;
  char pair_ = 0;  // the byte that would complete the last line end, if it comes next
  ByteSource::Status last_ = ByteSource::Status::kData;
  HttpReply reply_;
};

}  // namespace

HttpReply ReadHttpReply(ByteSource& source) { return ReplyReader(source).Read(); }
