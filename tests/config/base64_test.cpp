#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "config/JclMime.h"

namespace {

// Each input sits in an exact-size heap buffer, so ASan sees a read past its end.
std::string Decode(const std::string& text) {
  std::unique_ptr<char[]> exact(new char[text.size()]);
  std::copy(text.begin(), text.end(), exact.get());
  return Base64Decode(std::string(exact.get(), text.size()));
}

TEST(Base64Encode, Rfc4648VectorsAndPadding) {
  const struct { std::string in, out; } cases[] = {
      {"", ""},           {"f", "Zg=="},         {"fo", "Zm8="},
      {"foo", "Zm9v"},    {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {"A", "QQ=="},      {"AB", "QUI="},        {"ABC", "QUJD"},
      {"abc", "YWJj"},    {"\xFB\xFF", "+/8="},  {std::string("\0\0\0", 3), "AAAA"},
  };
  for (const auto& c : cases) EXPECT_EQ(Base64Encode(c.in), c.out) << "input: " << c.in;
}

TEST(Base64Encode, LongInputIsOneLineOfExactLength) {
  for (size_t n : {99u, 100u, 101u, 1000u}) {
    const std::string out = Base64Encode(std::string(n, '\xA5'));
    EXPECT_EQ(out.size(), (n + 2) / 3 * 4);
    EXPECT_EQ(out.find_first_of("\r\n"), std::string::npos);
  }
}

TEST(Base64Decode, LenientRules) {
  const struct { std::string in, out; const char* why; } cases[] = {
      {"", "", "empty"},
      {"QUJD", "ABC", "one group"},
      {"QUI=", "AB", "padded two bytes"},
      {"QUI", "AB", "three values left"},
      {"QQ==", "A", "padded one byte"},
      {"QQ", "A", "two values left"},
      {"QR==", "A", "dropped bits are not looked at"},
      {"Q", "", "one value left is dropped"},
      {"====", "", "padding alone"},
      {"-_-_", "", "URL-safe characters are skipped, not read as 62 and 63"},
      {"Q U\r\nJ\tD", "ABC", "spaces and line breaks anywhere"},
      {"Q\x80U\xFF" "J\xC0" "D", "ABC", "bytes 128-255 skipped"},
      {std::string("QU\0JD", 5), "ABC", "NUL skipped"},
      {"QQ==QQ==", "\x41\x04\x10", "padding ends nothing"},
      {"Zm9vYmFy", "foobar", "RFC 4648"},
      {"+/8=", "\xFB\xFF", "top of the alphabet"},
  };
  for (const auto& c : cases) EXPECT_EQ(Decode(c.in), c.out) << c.why;
}

TEST(Base64Decode, RoundTripsEveryByteValue) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  for (size_t n = 0; n <= all.size(); n += 37) {
    EXPECT_EQ(Decode(Base64Encode(all.substr(0, n))), all.substr(0, n));
  }
}

}  // namespace
