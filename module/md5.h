// MD5 (RFC 1321) over memory and over a file read block by block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Incremental MD5: Update any number of times, then Final once.
class Md5 {
 public:
  static constexpr size_t kDigestSize = 16;
  struct Digest {
    uint8_t bytes[kDigestSize];
  };

  Md5();
  void Update(const void* data, size_t size);
  // Pads the message (RFC 1321 section 3.1-3.2) and returns the digest. The
  // object is spent afterwards.
  Digest Final();

 private:
  void Blocks(const uint8_t* data, size_t count);

  uint32_t state_[4];
  uint64_t length_ = 0;  // message length in bytes, modulo 2^64
  uint8_t buffer_[64];
  size_t buffered_ = 0;
};

// The 32 hex digits of `digest`, two per byte in byte order, high nibble
// first, upper case ("0123456789ABCDEF").
std::string DigestToUpperHex(const Md5::Digest& digest);

// MD5 of the file at `path` as 32 upper-case hex digits. The file is opened
// for reading with reads and writes of others allowed (an open game client may
// hold it), and read sequentially in blocks from its start up to the size it
// had when it was opened; it is never held in memory whole. Throws os::OsError
// when the file cannot be opened, its size queried or a read fails.
std::string FileMd5UpperHex(const char* path);
