#include "config/JclMime.h"

#include <array>
#include <cstdint>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint8_t kSkip = 255;

constexpr std::array<uint8_t, 256> MakeDecodingTable() {
  std::array<uint8_t, 256> table{};
  for (auto& entry : table) entry = kSkip;
  for (uint8_t i = 0; i < 64; ++i) table[static_cast<uint8_t>(kAlphabet[i])] = i;
  return table;
}

constexpr std::array<uint8_t, 256> kDecodingTable = MakeDecodingTable();

}  // namespace

std::string Base64Encode(const std::string& bytes) {
  const size_t n = bytes.size();
  std::string out((n + 2) / 3 * 4, '=');
  const auto* in = reinterpret_cast<const uint8_t*>(bytes.data());
  char* o = out.data();
  size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    const uint32_t v = (uint32_t{in[i]} << 16) | (uint32_t{in[i + 1]} << 8) | in[i + 2];
    *o++ = kAlphabet[v >> 18];
    *o++ = kAlphabet[(v >> 12) & 63];
    *o++ = kAlphabet[(v >> 6) & 63];
    *o++ = kAlphabet[v & 63];
  }
  if (n - i == 1) {
    const uint32_t v = uint32_t{in[i]} << 16;
    o[0] = kAlphabet[v >> 18];
    o[1] = kAlphabet[(v >> 12) & 63];
  } else if (n - i == 2) {
    const uint32_t v = (uint32_t{in[i]} << 16) | (uint32_t{in[i + 1]} << 8);
    o[0] = kAlphabet[v >> 18];
    o[1] = kAlphabet[(v >> 12) & 63];
    o[2] = kAlphabet[(v >> 6) & 63];
  }
  return out;
}

std::string Base64Decode(const std::string& text) {
  std::string out((text.size() + 3) / 4 * 3, '\0');
  char* o = out.data();
  uint32_t group = 0;
  int count = 0;
  for (const char c : text) {
    const uint8_t value = kDecodingTable[static_cast<uint8_t>(c)];
    if (value == kSkip) continue;
    group = (group << 6) | value;
    if (++count == 4) {
      *o++ = static_cast<char>(group >> 16);
      *o++ = static_cast<char>(group >> 8);
      *o++ = static_cast<char>(group);
      group = 0;
      count = 0;
    }
  }
  if (count == 3) {  // 18 bits: the top 16 are two bytes
    *o++ = static_cast<char>(group >> 10);
    *o++ = static_cast<char>(group >> 2);
  } else if (count == 2) {  // 12 bits: the top 8 are one byte
    *o++ = static_cast<char>(group >> 4);
  }
  out.resize(static_cast<size_t>(o - out.data()));
  return out;
}
