#include "update/httpsend.h"

#include "os/file.h"
#include "update/http_reply.h"
#include "update/url.h"

namespace {

// Feeds the reply reader from a connected socket. Each wait lasts at most
// `timeout_ms` and starts again with every packet, so only an idle peer is
// cut off, never a slow one. A reset counts as the end of the stream.
class SocketSource final : public ByteSource {
 public:
  SocketSource(os::Socket& socket, int timeout_ms) : socket_(socket), timeout_ms_(timeout_ms) {}

  Status Read(std::string* out, size_t max) override {
    const size_t before = out->size();
    out->resize(before + max);
    size_t got = 0;
    const os::ReceiveStatus status = socket_.Receive(&(*out)[before], max, timeout_ms_, &got);
    out->resize(before + got);
    switch (status) {
      case os::ReceiveStatus::kData:
        return Status::kData;
      case os::ReceiveStatus::kTimedOut:
        return Status::kTimedOut;
      case os::ReceiveStatus::kClosed:
      case os::ReceiveStatus::kReset:
        break;
    }
    return Status::kClosed;
  }

 private:
  os::Socket& socket_;
  int timeout_ms_;
};

std::string UpperCaseAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// At most this much unread data is dropped when a connection is closed; a
// peer that keeps sending cannot hold the close up for good.
constexpr int kDrainPackets = 16;

}  // namespace

THTTPSend::THTTPSend() = default;

THTTPSend::~THTTPSend() { CloseConnection(); }

void THTTPSend::CloseConnection() {
  if (!socket_.IsOpen()) return;
  socket_.ShutdownSend();
  // Closing with unread bytes in the receive buffer would reset the
  // connection instead of closing it (RFC 9293 section 3.6).
  std::string scratch(kReplyPieceSize, '\0');
  for (int i = 0; i < kDrainPackets; ++i) {
    size_t got = 0;
    if (socket_.Receive(&scratch[0], scratch.size(), 0, &got) != os::ReceiveStatus::kData) break;
  }
  socket_.Close();
}

std::string THTTPSend::ComposeRequest(const std::string& method, const std::string& url) const {
  const HttpUrl parts = ParseHttpUrl(url);
  std::string host = parts.host;
  if (AddPortNumberToHost && !parts.port_text.empty() && parts.port_text != "80") {
    host += ":" + parts.port_text;
  }
  std::string request = UpperCaseAscii(method) + " " + parts.target + " HTTP/" + Protocol + "\r\n";
  request += "Host: " + host + "\r\n";
  if (KeepAlive) {
    request += "Keep-Alive: " + std::to_string(KeepAliveTimeout) + "\r\n";
    request += "Connection: keep-alive\r\n";
  }
  request += "User-Agent: " + UserAgent + "\r\n";
  request += "\r\n";
  return request;
}

bool THTTPSend::SendRequest(const std::string& method, const std::string& url) {
  ResultCode = 500;
  ResultString.clear();
  DownloadSize = 0;
  CloseConnection();
  const HttpUrl parts = ParseHttpUrl(url);
  const std::string request = ComposeRequest(method, url);

  uint16_t port = 0;
  os::SocketAddress address;
  if (!PortOf(parts, &port) || !os::ResolveHost(BareHost(parts), port, &address) ||
      !socket_.Connect(address)) {
    return false;
  }
  if (!socket_.SendAll(request.data(), request.size())) {
    socket_.Close();
    return false;
  }

  Document.clear();
  Headers.clear();
  Cookies.clear();
  SocketSource source(socket_, Timeout);
  HttpReply reply = ReadHttpReply(source);
  ResultCode = reply.ResultCode;
  ResultString = std::move(reply.ResultString);
  DownloadSize = reply.DownloadSize;
  Document = std::move(reply.Document);
  Headers = std::move(reply.Headers);
  Cookies = std::move(reply.Cookies);

  // Only an HTTP/1.1 client keeps the connection for a further request, and
  // only when the server did not say it closes (RFC 9112 section 9.3).
  if (reply.headers_complete && (Protocol != "1.1" || reply.close_requested)) CloseConnection();
  return reply.ok;
}

bool DownloadToStream(const std::string& url, os::File& stream) {
  THTTPSend client;
  const bool ok = client.SendRequest("GET", url);
  if (ok) {
    stream.SeekToStart();
    stream.Write(client.Document.data(), client.Document.size());
  }
  return ok;
}
