// The manifest stage: one GET to the update server, its reply body decoded and
// split into the handoff value, the module digest and the payload lines.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "update/httpsend.h"

class Splash;

// What the manifest stage hands on; RunBootstrap owns all of it.
struct ManifestResult {
  // The client that made the request. Kept, connection and all, until the
  // update stage has read its DownloadSize.
  std::unique_ptr<THTTPSend> client;
  std::string handoff_value;        // line 1, unchanged, never empty
  std::string module_digest;        // line 2, ASCII letters lower-cased, never empty
  std::vector<std::string> lines;   // the payload lines (line 3 on), possibly none
};

// base_url + "npgmup.php?" + Base64Encode(identifier) + "&client", unescaped.
std::string ManifestUrl(const std::string& base_url, const std::string& identifier);

// The manifest text of a reply body: the plain form up to its first NUL, or
// the scrambled form ("z", key position, filler, Base64 from offset 12) decoded
// and XORed with its key byte. A scrambled body whose key lies outside it, or
// shorter than 13 bytes, gives an empty text.
std::string DecodeResponseBody(const std::string& body);

// The lines of a manifest text up to its first NUL: CR LF, a lone CR and a lone
// LF each end a line; LF CR ends a line and then an empty one; a break at the
// very end adds no empty line. Lines are kept unchanged.
std::vector<std::string> SplitManifestLines(const std::string& text);

// Only "A"-"Z" become "a"-"z".
std::string LowerCaseAscii(std::string text);

// Sends the manifest request with the manifest client's settings and reads the
// manifest. Calls FailFatal with message 3 for any status but 200 and for an
// empty handoff value or digest, and with message 2 for fewer than two lines.
ManifestResult RequestManifest(Splash& splash, const std::string& base_url,
                               const std::string& identifier);
