#include "config/CONVUNIT.h"

uint32_t HexDigitsToInt(const std::string& digits) {
  const size_t n = digits.size();
  bool invalid = false;
  uint32_t sum = 0;
  for (size_t i = 0; i < n; ++i) {
    char c = digits[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    uint32_t d = 0;
    if (c >= '0' && c <= '9') {
      d = static_cast<uint32_t>(c - '0');
    } else if (c >= 'A' && c <= 'F') {
      d = static_cast<uint32_t>(c - 'A' + 10);
    } else {
      invalid = true;
    }
    const unsigned shift = static_cast<unsigned>((4 * (n - 1 - i)) % 32);
    sum += d << shift;
  }
  return invalid ? 0 : sum;
}
