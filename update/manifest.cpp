#include "update/manifest.h"

#include "bootstrap/fail_fatal.h"
#include "config/JclMime.h"

namespace {

// Offsets of the scrambled form: marker, key position, ten filler bytes, text.
constexpr size_t kKeyPositionOffset = 1;
constexpr size_t kScrambledTextOffset = 12;
constexpr unsigned kKeyPositionBase = 64;

}  // namespace

std::string ManifestUrl(const std::string& base_url, const std::string& identifier) {
  return base_url + "npgmup.php?" + Base64Encode(identifier) + "&client";
}

std::string DecodeResponseBody(const std::string& body) {
  if (body.empty() || body[0] != 'z') return body.substr(0, body.find('\0'));

  // The key byte is the body's byte at the key position less 64, wherever it
  // lies. A body too short for any text, or whose key lies outside it, says
  // nothing: its manifest is empty.
  if (body.size() <= kScrambledTextOffset) return std::string();
  const unsigned position = static_cast<unsigned char>(body[kKeyPositionOffset]);
  if (position < kKeyPositionBase || position - kKeyPositionBase >= body.size()) {
    return std::string();
  }
  const char key = body[position - kKeyPositionBase];
  const size_t end = body.find('\0', kScrambledTextOffset);
  std::string text = Base64Decode(body.substr(
      kScrambledTextOffset, end == std::string::npos ? std::string::npos : end - kScrambledTextOffset));
  for (char& c : text) c = static_cast<char>(c ^ key);
  return text;
}

std::vector<std::string> SplitManifestLines(const std::string& text) {
  const size_t length = text.find('\0') == std::string::npos ? text.size() : text.find('\0');
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < length) {
    size_t end = pos;
    while (end < length && text[end] != '\r' && text[end] != '\n') ++end;
    lines.push_back(text.substr(pos, end - pos));
    pos = end;
    if (pos < length && text[pos] == '\r') ++pos;
    if (pos < length && text[pos] == '\n') ++pos;
  }
  return lines;
}

std::string LowerCaseAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

ManifestResult RequestManifest(Splash& splash, const std::string& base_url,
                               const std::string& identifier) {
  ManifestResult result;
  result.client = std::make_unique<THTTPSend>();
  THTTPSend& client = *result.client;
  client.Protocol = "1.1";
  client.KeepAlive = true;
  client.KeepAliveTimeout = 3000;
  client.UserAgent = "RXM/1.0 Version/1.0";

  // Only the status code decides; the success flag says nothing more here.
  client.SendRequest("Get", ManifestUrl(base_url, identifier));
  if (client.ResultCode != 200) FailFatal(splash, FatalMessage::Http);

  result.lines = SplitManifestLines(DecodeResponseBody(client.Document));
  if (result.lines.size() < 2) FailFatal(splash, FatalMessage::NoData);
  result.handoff_value = result.lines[0];
  result.module_digest = LowerCaseAscii(result.lines[1]);
  result.lines.erase(result.lines.begin(), result.lines.begin() + 2);
  if (result.handoff_value.empty() || result.module_digest.empty()) {
    FailFatal(splash, FatalMessage::Http);
  }
  return result;
}
