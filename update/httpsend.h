// THTTPSend: the HTTP/1.x client of both update-server exchanges.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "os/socket.h"

namespace os { class File; }

class THTTPSend {
 public:
  THTTPSend();
  ~THTTPSend();  // closes a connection left open: shut down, drain, close
  THTTPSend(const THTTPSend&) = delete;
  THTTPSend& operator=(const THTTPSend&) = delete;

  // Settings, with the class defaults.
  std::string Protocol = "1.0";
  bool KeepAlive = true;
  int KeepAliveTimeout = 300;
  std::string UserAgent = "Mozilla/4.0 (compatible; Synapse)";
  int Timeout = 90000;  // ms without incoming data before a wait fails
  bool AddPortNumberToHost = true;

  // Reply fields, set by each exchange.
  int32_t ResultCode = 500;
  std::string ResultString;
  int32_t DownloadSize = 0;
  std::string Document;
  std::vector<std::string> Headers;
  std::vector<std::pair<std::string, std::string>> Cookies;

  // One exchange; network failures show only in the reply fields and the flag.
  // A connection left open by an earlier exchange is closed first.
  bool SendRequest(const std::string& method, const std::string& url);

  // The request header block SendRequest writes for `method` and `url`: the
  // request line, Host, Keep-Alive, Connection, User-Agent and the empty line.
  std::string ComposeRequest(const std::string& method, const std::string& url) const;

  // True while a connection of the last exchange is still open.
  bool ConnectionOpen() const { return socket_.IsOpen(); }

 private:
  // Shuts down sending, drops what has already arrived, closes the socket.
  void CloseConnection();

  os::Socket socket_;
};

// A fresh client with the class defaults sends GET `url`; when the exchange
// completes, the whole Document is written into `stream` from its start.
// Returns the success flag. Throws os::OsError when writing fails.
bool DownloadToStream(const std::string& url, os::File& stream);
