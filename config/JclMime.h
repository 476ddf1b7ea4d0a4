// The Base64 pair (RFC 4648 section 4 alphabet with "=" padding).
//
// The encoder writes ordinary padded Base64 in one line. The decoder is
// lenient, and the configuration file and scrambled manifest replies rely on
// it: every byte outside the alphabet is skipped wherever it stands ("=", line
// breaks, spaces, NUL, "-", "_", bytes 128-255), padding ends nothing, and the
// characters left over at the end give 2 bytes (three left), 1 byte (two left)
// or nothing (one left). Neither function ever fails.
#pragma once

#include <string>

// Returns exactly (n + 2) / 3 * 4 characters for n input bytes; no line breaks.
std::string Base64Encode(const std::string& bytes);

// Returns at most (n + 3) / 4 * 3 bytes for n input bytes.
std::string Base64Decode(const std::string& text);
