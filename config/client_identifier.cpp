#include "config/client_identifier.h"

#include <cstring>
#include <vector>

#include "bootstrap/fail_fatal.h"
#include "config/JclMime.h"
#include "os/file.h"

bool ExtractClientIdentifier(const std::string& decoded, std::string* identifier) {
  const size_t tab = decoded.find('\t');
  if (tab == std::string::npos) return false;
  identifier->assign(decoded, 0, tab);
  return true;
}

std::string ReadClientIdentifier(Splash& splash) {
  os::File file = os::File::Open("qs_sys.ini", os::Access::Read, os::Share::None,
                                 os::Disposition::OpenExisting);
  const uint64_t size = file.Size();
  if (size >= SIZE_MAX) throw std::bad_alloc();
  std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
  // A short or failed read is no error of its own: what was not read stays zero
  // and reads as the end of the text.
  (void)file.Read(buffer.data(), static_cast<size_t>(size));
  const std::string text(buffer.data(), std::strlen(buffer.data()));

  std::string identifier;
  if (!ExtractClientIdentifier(Base64Decode(text), &identifier)) {
    FailFatal(splash, FatalMessage::Config);
  }
  return identifier;
}
