// The parts of an http:// URL that the client needs, taken as written: no
// escaping, no normalisation.
#pragma once

#include <cstdint>
#include <string>

struct HttpUrl {
  std::string host;       // as written; an IPv6 literal keeps its brackets
  std::string port_text;  // as written after ":"; empty when the URL names no port
  std::string target;     // "/" and everything after the authority's "/"
};

// The authority is the text after "://" (or from the start, when the URL has
// none) up to the next "/": a host, optionally ":" and a port.
HttpUrl ParseHttpUrl(const std::string& url);

// The host to resolve: the host without the brackets of an IPv6 literal.
std::string BareHost(const HttpUrl& url);

// The TCP port: 80 when none is named. False when the port text is not a
// decimal number from 1 to 65535.
bool PortOf(const HttpUrl& url, uint16_t* port);
