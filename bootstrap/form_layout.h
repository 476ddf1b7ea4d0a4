// The window framework's arithmetic, free of any window system: where a
// picture goes in its image area, how a form and its components are scaled on
// a screen of another resolution, and the resampling that puts a picture at
// its placed size.
#pragma once

#include <cstdint>
#include <vector>

namespace forms {

struct TSize {
  int Width = 0;
  int Height = 0;
  bool operator==(const TSize& other) const { return Width == other.Width && Height == other.Height; }
};

// A component's bounds in its form's client coordinates.
struct TBounds {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool operator==(const TBounds& other) const {
    return Left == other.Left && Top == other.Top && Width == other.Width && Height == other.Height;
  }
};

// The size at which a picture is drawn in an image area with Proportional on
// and Stretch off; it goes at the area's top-left corner. A picture no larger
// than the area in both directions keeps its size; a larger one is shrunk to
// fit, keeping its aspect ratio, each side truncated to whole pixels.
TSize ProportionalSize(TSize picture, TSize area);

// value * numerator / denominator computed in 64 bits and rounded half away
// from zero, as Win32 MulDiv does; -1 when denominator is 0 or the result does
// not fit in an int (MulDiv's answer too).
int MulDiv(int value, int numerator, int denominator);

// The ratio by which a form designed at `design_ppi`, whose font measured
// `design_text_height` pixels there, is scaled: the form font's text height on
// the screen over the designed one. {1, 1} (no scaling) when the screen has the
// design resolution or the heights agree; a height of 0 or less (a failed
// measurement) also leaves the form as designed.
struct TScaleRatio {
  int M = 1;
  int D = 1;
  bool IsIdentity() const { return M == D; }
};
TScaleRatio FormScaleRatio(int screen_ppi, int design_ppi, int screen_text_height,
                           int design_text_height);

// Bounds and font heights under a ratio, each value through MulDiv. A form's
// screen position is never scaled; only its client size and its components.
TBounds ScaleBounds(const TBounds& bounds, TScaleRatio ratio);
TSize ScaleSize(TSize size, TScaleRatio ratio);
int ScaleFontHeight(int height, TScaleRatio ratio);

// A picture as 8-bit RGB triples, rows top-down, no padding.
struct TPixels {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Rgb;  // Width * Height * 3 bytes
};

// `source` resampled to width x height by area averaging: each output pixel is
// the mean of the source area it covers, weighted by coverage, in exact integer
// arithmetic (the same bytes on every compiler). An empty source or a size of 0
// in either direction gives an empty picture of that size.
TPixels ResamplePixels(const TPixels& source, int width, int height);

}  // namespace forms
