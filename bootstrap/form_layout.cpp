#include "bootstrap/form_layout.h"

#include <climits>
#include <cstdlib>

namespace forms {

TSize ProportionalSize(TSize picture, TSize area) {
  if (picture.Width <= area.Width && picture.Height <= area.Height) return picture;
  // A picture with a side of 0 has no ratio; it has nothing to draw either.
  if (picture.Width <= 0 || picture.Height <= 0) return TSize{0, 0};
  const double ratio = static_cast<double>(picture.Width) / picture.Height;
  TSize placed;
  if (picture.Width > picture.Height) {
    placed.Width = area.Width;
    placed.Height = static_cast<int>(area.Width / ratio);
    if (placed.Height > area.Height) {
      placed.Height = area.Height;
      placed.Width = static_cast<int>(area.Height * ratio);
    }
  } else {
    placed.Height = area.Height;
    placed.Width = static_cast<int>(area.Height * ratio);
    if (placed.Width > area.Width) {
      placed.Width = area.Width;
      placed.Height = static_cast<int>(area.Width / ratio);
    }
  }
  return placed;
}

int MulDiv(int value, int numerator, int denominator) {
  if (denominator == 0) return -1;
  long long product = static_cast<long long>(value) * numerator;
  long long divisor = denominator;
  if (divisor < 0) {
    divisor = -divisor;
    product = -product;
  }
  const long long magnitude = (std::llabs(product) + divisor / 2) / divisor;
  const long long result = product < 0 ? -magnitude : magnitude;
  if (result > INT_MAX || result < INT_MIN) return -1;
  return static_cast<int>(result);
}

TScaleRatio FormScaleRatio(int screen_ppi, int design_ppi, int screen_text_height,
                           int design_text_height) {
  if (screen_ppi == design_ppi || screen_text_height <= 0 || design_text_height <= 0 ||
      screen_text_height == design_text_height) {
    return TScaleRatio{};
  }
  return TScaleRatio{screen_text_height, design_text_height};
}

TBounds ScaleBounds(const TBounds& bounds, TScaleRatio ratio) {
  if (ratio.IsIdentity()) return bounds;
  return TBounds{MulDiv(bounds.Left, ratio.M, ratio.D), MulDiv(bounds.Top, ratio.M, ratio.D),
                 MulDiv(bounds.Width, ratio.M, ratio.D), MulDiv(bounds.Height, ratio.M, ratio.D)};
}

TSize ScaleSize(TSize size, TScaleRatio ratio) {
  if (ratio.IsIdentity()) return size;
  return TSize{MulDiv(size.Width, ratio.M, ratio.D), MulDiv(size.Height, ratio.M, ratio.D)};
}

int ScaleFontHeight(int height, TScaleRatio ratio) {
  return ratio.IsIdentity() ? height : MulDiv(height, ratio.M, ratio.D);
}

namespace {

// One output sample along an axis: the source samples it overlaps and by how
// much. Output i covers [i * from, (i + 1) * from) and source j covers
// [j * to, (j + 1) * to) on a common axis of from * to units, so every overlap
// is a whole number and the weights of one output sum to `from`.
struct Tap {
  int first = 0;
  std::vector<int> weights;
};

std::vector<Tap> AxisTaps(int from, int to) {
  std::vector<Tap> taps(static_cast<size_t>(to));
  for (int i = 0; i < to; ++i) {
    const long long begin = static_cast<long long>(i) * from;
    const long long end = begin + from;
    Tap& tap = taps[static_cast<size_t>(i)];
    tap.first = static_cast<int>(begin / to);
    for (long long j = tap.first; j * to < end; ++j) {
      const long long lo = j * to > begin ? j * to : begin;
      const long long hi = (j + 1) * to < end ? (j + 1) * to : end;
      tap.weights.push_back(static_cast<int>(hi - lo));
    }
  }
  return taps;
}

}  // namespace

TPixels ResamplePixels(const TPixels& source, int width, int height) {
  TPixels out;
  out.Width = width > 0 ? width : 0;
  out.Height = height > 0 ? height : 0;
  out.Rgb.assign(static_cast<size_t>(out.Width) * out.Height * 3, 0);
  if (out.Rgb.empty() || source.Width <= 0 || source.Height <= 0) return out;

  const std::vector<Tap> across = AxisTaps(source.Width, out.Width);
  const std::vector<Tap> down = AxisTaps(source.Height, out.Height);

  // Horizontal pass, kept unnormalised: each value is a sum of weight * byte
  // whose weights total source.Width.
  std::vector<uint32_t> rows(static_cast<size_t>(out.Width) * source.Height * 3);
  for (int y = 0; y < source.Height; ++y) {
    const uint8_t* in = &source.Rgb[static_cast<size_t>(y) * source.Width * 3];
    uint32_t* row = &rows[static_cast<size_t>(y) * out.Width * 3];
    for (int x = 0; x < out.Width; ++x) {
      const Tap& tap = across[static_cast<size_t>(x)];
      for (int c = 0; c < 3; ++c) {
        uint32_t sum = 0;
        for (size_t k = 0; k < tap.weights.size(); ++k) {
          sum += static_cast<uint32_t>(tap.weights[k]) * in[(tap.first + k) * 3 + c];
        }
        row[x * 3 + c] = sum;
      }
    }
  }

  const uint64_t total = static_cast<uint64_t>(source.Width) * source.Height;
  for (int y = 0; y < out.Height; ++y) {
    const Tap& tap = down[static_cast<size_t>(y)];
    for (int x = 0; x < out.Width; ++x) {
      for (int c = 0; c < 3; ++c) {
        uint64_t sum = 0;
        for (size_t k = 0; k < tap.weights.size(); ++k) {
          sum += static_cast<uint64_t>(tap.weights[k]) *
                 rows[((tap.first + k) * out.Width + x) * 3 + c];
        }
        out.Rgb[(static_cast<size_t>(y) * out.Width + x) * 3 + c] =
            static_cast<uint8_t>((sum + total / 2) / total);
      }
    }
  }
  return out;
}

}  // namespace forms
