// Placeholder until the HTTP client lands: no request can succeed yet.
#include "bootstrap/fail_fatal.h"
#include "update/manifest.h"

THTTPSend::THTTPSend() = default;
THTTPSend::~THTTPSend() = default;
bool THTTPSend::SendRequest(const std::string&, const std::string&) { return false; }
bool DownloadToStream(const std::string&, os::File&) { return false; }

ManifestResult RequestManifest(Splash& splash, const std::string&, const std::string&) {
  FailFatal(splash, FatalMessage::Http);
}
