// THTTPSend: the HTTP/1.x client of both update-server exchanges.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

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
  bool SendRequest(const std::string& method, const std::string& url);
};

// A fresh client with the class defaults sends GET `url`; when the exchange
// completes, the whole Document is written into `stream` from its start.
// Returns the success flag. Throws os::OsError when writing fails.
bool DownloadToStream(const std::string& url, os::File& stream);
