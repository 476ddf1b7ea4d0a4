// Decoding the splash picture with libjpeg.
#pragma once

#include <cstddef>
#include <cstdint>

#include "bootstrap/form_layout.h"

namespace forms {

// Decodes the JPEG in `data` (`size` bytes) to RGB. Returns false, with `out`
// left empty, on anything libjpeg rejects (not a JPEG, a damaged header, an
// unsupported kind) or on a picture of more than kMaxJpegPixels pixels:
// libjpeg's fatal errors come back here instead of ending the process, and its
// warnings (data cut short is one: the rest is filled in) are dropped rather
// than printed. Throws std::bad_alloc when the pixels do not fit in memory.
constexpr long kMaxJpegPixels = 16L * 1024 * 1024;
bool DecodeJpeg(const uint8_t* data, size_t size, TPixels* out);

}  // namespace forms
