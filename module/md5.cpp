#include "module/md5.h"

#include <cstring>
#include <vector>

#include "os/file.h"

namespace {

inline uint32_t RotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t LoadLittleEndian(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

inline void StoreLittleEndian(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// The four auxiliary functions of RFC 1321 section 3.4, in the forms that need
// the fewest operations (F and G as bit selections).
inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); }
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) { return y ^ (z & (x ^ y)); }
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; }
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) { return y ^ (x | ~z); }

// One step: a = b + ((a + fn(b, c, d) + word + constant) <<< shift).
#define MD5_STEP(fn, a, b, c, d, word, constant, shift)   \
  do {                                                     \
    (a) += fn((b), (c), (d)) + (word) + (constant);        \
    (a) = RotateLeft((a), (shift)) + (b);                  \
  } while (0)

}  // namespace

Md5::Md5() : state_{0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u}, buffer_{} {}

void Md5::Blocks(const uint8_t* data, size_t count) {
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (; count > 0; --count, data += 64) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = LoadLittleEndian(data + 4 * i);
    const uint32_t aa = a, bb = b, cc = c, dd = d;

    // Round 1 (RFC 1321 section 3.4).
    MD5_STEP(F, a, b, c, d, x[0], 0xD76AA478u, 7);
    MD5_STEP(F, d, a, b, c, x[1], 0xE8C7B756u, 12);
    MD5_STEP(F, c, d, a, b, x[2], 0x242070DBu, 17);
    MD5_STEP(F, b, c, d, a, x[3], 0xC1BDCEEEu, 22);
    MD5_STEP(F, a, b, c, d, x[4], 0xF57C0FAFu, 7);
    MD5_STEP(F, d, a, b, c, x[5], 0x4787C62Au, 12);
    MD5_STEP(F, c, d, a, b, x[6], 0xA8304613u, 17);
    MD5_STEP(F, b, c, d, a, x[7], 0xFD469501u, 22);
    MD5_STEP(F, a, b, c, d, x[8], 0x698098D8u, 7);
    MD5_STEP(F, d, a, b, c, x[9], 0x8B44F7AFu, 12);
    MD5_STEP(F, c, d, a, b, x[10], 0xFFFF5BB1u, 17);
    MD5_STEP(F, b, c, d, a, x[11], 0x895CD7BEu, 22);
    MD5_STEP(F, a, b, c, d, x[12], 0x6B901122u, 7);
    MD5_STEP(F, d, a, b, c, x[13], 0xFD987193u, 12);
    MD5_STEP(F, c, d, a, b, x[14], 0xA679438Eu, 17);
    MD5_STEP(F, b, c, d, a, x[15], 0x49B40821u, 22);

    // Round 2.
    MD5_STEP(G, a, b, c, d, x[1], 0xF61E2562u, 5);
    MD5_STEP(G, d, a, b, c, x[6], 0xC040B340u, 9);
    MD5_STEP(G, c, d, a, b, x[11], 0x265E5A51u, 14);
    MD5_STEP(G, b, c, d, a, x[0], 0xE9B6C7AAu, 20);
    MD5_STEP(G, a, b, c, d, x[5], 0xD62F105Du, 5);
    MD5_STEP(G, d, a, b, c, x[10], 0x02441453u, 9);
    MD5_STEP(G, c, d, a, b, x[15], 0xD8A1E681u, 14);
    MD5_STEP(G, b, c, d, a, x[4], 0xE7D3FBC8u, 20);
    MD5_STEP(G, a, b, c, d, x[9], 0x21E1CDE6u, 5);
    MD5_STEP(G, d, a, b, c, x[14], 0xC33707D6u, 9);
    MD5_STEP(G, c, d, a, b, x[3], 0xF4D50D87u, 14);
    MD5_STEP(G, b, c, d, a, x[8], 0x455A14EDu, 20);
    MD5_STEP(G, a, b, c, d, x[13], 0xA9E3E905u, 5);
    MD5_STEP(G, d, a, b, c, x[2], 0xFCEFA3F8u, 9);
    MD5_STEP(G, c, d, a, b, x[7], 0x676F02D9u, 14);
    MD5_STEP(G, b, c, d, a, x[12], 0x8D2A4C8Au, 20);

    // Round 3.
    MD5_STEP(H, a, b, c, d, x[5], 0xFFFA3942u, 4);
    MD5_STEP(H, d, a, b, c, x[8], 0x8771F681u, 11);
    MD5_STEP(H, c, d, a, b, x[11], 0x6D9D6122u, 16);
    MD5_STEP(H, b, c, d, a, x[14], 0xFDE5380Cu, 23);
    MD5_STEP(H, a, b, c, d, x[1], 0xA4BEEA44u, 4);
    MD5_STEP(H, d, a, b, c, x[4], 0x4BDECFA9u, 11);
    MD5_STEP(H, c, d, a, b, x[7], 0xF6BB4B60u, 16);
    MD5_STEP(H, b, c, d, a, x[10], 0xBEBFBC70u, 23);
    MD5_STEP(H, a, b, c, d, x[13], 0x289B7EC6u, 4);
    MD5_STEP(H, d, a, b, c, x[0], 0xEAA127FAu, 11);
    MD5_STEP(H, c, d, a, b, x[3], 0xD4EF3085u, 16);
    MD5_STEP(H, b, c, d, a, x[6], 0x04881D05u, 23);
    MD5_STEP(H, a, b, c, d, x[9], 0xD9D4D039u, 4);
    MD5_STEP(H, d, a, b, c, x[12], 0xE6DB99E5u, 11);
    MD5_STEP(H, c, d, a, b, x[15], 0x1FA27CF8u, 16);
    MD5_STEP(H, b, c, d, a, x[2], 0xC4AC5665u, 23);

    // Round 4.
    MD5_STEP(I, a, b, c, d, x[0], 0xF4292244u, 6);
    MD5_STEP(I, d, a, b, c, x[7], 0x432AFF97u, 10);
    MD5_STEP(I, c, d, a, b, x[14], 0xAB9423A7u, 15);
    MD5_STEP(I, b, c, d, a, x[5], 0xFC93A039u, 21);
    MD5_STEP(I, a, b, c, d, x[12], 0x655B59C3u, 6);
    MD5_STEP(I, d, a, b, c, x[3], 0x8F0CCC92u, 10);
    MD5_STEP(I, c, d, a, b, x[10], 0xFFEFF47Du, 15);
    MD5_STEP(I, b, c, d, a, x[1], 0x85845DD1u, 21);
    MD5_STEP(I, a, b, c, d, x[8], 0x6FA87E4Fu, 6);
    MD5_STEP(I, d, a, b, c, x[15], 0xFE2CE6E0u, 10);
    MD5_STEP(I, c, d, a, b, x[6], 0xA3014314u, 15);
    MD5_STEP(I, b, c, d, a, x[13], 0x4E0811A1u, 21);
    MD5_STEP(I, a, b, c, d, x[4], 0xF7537E82u, 6);
    MD5_STEP(I, d, a, b, c, x[11], 0xBD3AF235u, 10);
    MD5_STEP(I, c, d, a, b, x[2], 0x2AD7D2BBu, 15);
    MD5_STEP(I, b, c, d, a, x[9], 0xEB86D391u, 21);

    a += aa;
    b += bb;
    c += cc;
    d += dd;
  }
  state_[0] = a;
  state_[1] = b;
  state_[2] = c;
  state_[3] = d;
}

#undef MD5_STEP

void Md5::Update(const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  length_ += size;
  if (buffered_ > 0) {
    const size_t take = size < 64 - buffered_ ? size : 64 - buffered_;
    std::memcpy(buffer_ + buffered_, p, take);
    buffered_ += take;
    p += take;
    size -= take;
    if (buffered_ < 64) return;
    Blocks(buffer_, 1);
    buffered_ = 0;
  }
  // Whole blocks straight from the caller's memory: no copy.
  if (size >= 64) {
    Blocks(p, size / 64);
    p += size & ~size_t{63};
    size &= 63;
  }
  if (size > 0) {
    std::memcpy(buffer_, p, size);
    buffered_ = size;
  }
}

Md5::Digest Md5::Final() {
  // A 1 bit, zeros up to 56 bytes modulo 64, then the bit length as 64 bits,
  // low-order byte first (RFC 1321 sections 3.1, 3.2).
  const uint64_t bits = length_ << 3;
  uint8_t tail[72] = {0x80};
  const size_t pad = (buffered_ < 56 ? 56 : 120) - buffered_;
  for (int i = 0; i < 8; ++i) tail[pad + i] = static_cast<uint8_t>(bits >> (8 * i));
  Update(tail, pad + 8);

  Digest digest;
  for (int i = 0; i < 4; ++i) StoreLittleEndian(digest.bytes + 4 * i, state_[i]);
  return digest;
}

std::string DigestToUpperHex(const Md5::Digest& digest) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex(2 * Md5::kDigestSize, '0');
  for (size_t i = 0; i < Md5::kDigestSize; ++i) {
    hex[2 * i] = kDigits[digest.bytes[i] >> 4];
    hex[2 * i + 1] = kDigits[digest.bytes[i] & 15];
  }
  return hex;
}

std::string FileMd5UpperHex(const char* path) {
  os::File file = os::File::Open(path, os::Access::Read, os::Share::ReadWrite,
                                 os::Disposition::OpenExisting);
  uint64_t remaining = file.Size();
  std::vector<uint8_t> block(64 * 1024);
  Md5 md5;
  while (remaining > 0) {
    const size_t want = remaining < block.size() ? static_cast<size_t>(remaining) : block.size();
    const long long got = file.Read(block.data(), want);
    if (got < 0) throw os::OsError(std::string("cannot read ") + path);
    if (got == 0) break;  // the file shrank since it was opened
    md5.Update(block.data(), static_cast<size_t>(got));
    remaining -= static_cast<uint64_t>(got);
  }
  return DigestToUpperHex(md5.Final());
}
