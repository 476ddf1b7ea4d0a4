#include "update/url.h"

HttpUrl ParseHttpUrl(const std::string& url) {
  HttpUrl parts;
  const size_t scheme = url.find("://");
  const size_t start = scheme == std::string::npos ? 0 : scheme + 3;
  const size_t slash = url.find('/', start);
  const std::string authority =
      url.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
  parts.target = slash == std::string::npos ? "/" : url.substr(slash);

  size_t colon;
  if (!authority.empty() && authority[0] == '[') {
    const size_t close = authority.find(']');
    colon = close == std::string::npos ? std::string::npos : authority.find(':', close);
  } else {
    colon = authority.find(':');
  }
  parts.host = authority.substr(0, colon);
  if (colon != std::string::npos) parts.port_text = authority.substr(colon + 1);
  return parts;
}

std::string BareHost(const HttpUrl& url) {
  const std::string& host = url.host;
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
    return host.substr(1, host.size() - 2);
  }
  return host;
}

bool PortOf(const HttpUrl& url, uint16_t* port) {
  if (url.port_text.empty()) {
    *port = 80;
    return true;
  }
  unsigned value = 0;
  for (const char c : url.port_text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > 65535) return false;
  }
  if (value == 0) return false;
  *port = static_cast<uint16_t>(value);
  return true;
}
