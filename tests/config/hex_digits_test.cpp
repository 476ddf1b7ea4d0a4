#include <gtest/gtest.h>

#include <string>

#include "config/CONVUNIT.h"

namespace {

TEST(HexDigitsToInt, Values) {
  const struct { std::string in; uint32_t out; } cases[] = {
      {"", 0},
      {"0", 0},
      {"ff", 255},
      {"FF", 255},
      {"7fffffff", 2147483647u},
      {"80000000", 0x80000000u},
      {"FFFFFFFF", 0xFFFFFFFFu},
      {"1F", 31},
      {"00000001", 1},
      // Past eight digits the shift wraps modulo 32.
      {"100000001", 2},
      {"F00000000", 15},
      {"FFFFFFFFF", 0xFFFFFFFFu + 0xFu},  // carries wrap modulo 2^32
      // Anything that is not a digit makes the whole value 0.
      {"12G", 0},
      {" 12", 0},
      {"0x1F", 0},
      {"-1", 0},
      {"+1", 0},
      {"1F\r", 0},
      {"1F\n", 0},
      {"\xC0", 0},  // a Cyrillic letter is not upper-cased into a digit
      {std::string("1\0", 2), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(HexDigitsToInt(c.in), c.out) << "input: " << c.in;
}

}  // namespace
