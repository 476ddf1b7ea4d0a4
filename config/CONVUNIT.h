// Hex digit conversion for the handoff value.
#pragma once

#include <cstdint>
#include <string>

// The value of a string of hex digits ("0"-"9", "A"-"F", lower case accepted)
// as 32 bits, or 0 when any byte is not a hex digit (signs, "0x", spaces and
// line ends included) and for the empty string. Past eight digits the shift
// wraps: the digit k places from the right adds its value << (4 * (k mod 8)),
// all modulo 2^32. Never fails.
uint32_t HexDigitsToInt(const std::string& digits);
