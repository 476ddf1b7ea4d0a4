#include "bootstrap/form_layout.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

namespace forms {
namespace {

TEST(ProportionalSize, PlacesPicturesByTheAspectRule) {
  struct Case {
    TSize picture, area, expected;
    const char* why;
  } cases[] = {
      {{480, 130}, {419, 114}, {419, 113}, "the splash picture in its image area"},
      {{100, 50}, {419, 114}, {100, 50}, "smaller in both directions: own size"},
      {{419, 114}, {419, 114}, {419, 114}, "exactly the area: own size"},
      {{420, 10}, {419, 114}, {419, 9}, "one pixel too wide: the height truncates (9.97)"},
      {{10, 200}, {419, 114}, {5, 114}, "taller: the height fills, the width truncates (5.7)"},
      {{200, 100}, {300, 50}, {100, 50}, "wider, but the height would overflow: fit the height"},
      {{100, 200}, {50, 300}, {50, 100}, "taller, but the width would overflow: fit the width"},
      {{300, 300}, {100, 200}, {100, 100}, "square counts as taller: width overflows, fit width"},
      {{300, 300}, {200, 100}, {100, 100}, "square in a wide area: the height fills"},
      {{500, 0}, {100, 100}, {0, 0}, "no height: nothing to draw, no division by zero"},
      {{0, 500}, {100, 100}, {0, 0}, "no width: nothing to draw"},
      {{640, 480}, {0, 0}, {0, 0}, "an empty area"},
  };
  for (const Case& c : cases) {
    const TSize placed = ProportionalSize(c.picture, c.area);
    EXPECT_EQ(placed.Width, c.expected.Width) << c.why;
    EXPECT_EQ(placed.Height, c.expected.Height) << c.why;
  }
}

TEST(MulDiv, RoundsHalfAwayFromZeroLikeWin32) {
  struct Case {
    int value, numerator, denominator, expected;
  } cases[] = {
      {10, 1, 4, 3},        // 2.5 rounds up
      {-10, 1, 4, -3},      // -2.5 rounds away from zero
      {10, -1, 4, -3},
      {10, 1, -4, -3},
      {-10, -1, -4, -3},
      {9, 1, 4, 2},         // 2.25
      {-21, 16, 13, -26},   // -25.85: a label font on a 120 ppi screen
      {417, 16, 13, 513},   // 513.23
      {110, 13, 13, 110},
      {7, 0, 3, 0},
      {INT_MAX, 2, 2, INT_MAX},  // the product needs 64 bits
      {INT_MAX, 2, 1, -1},       // does not fit: Win32's -1
      {5, 3, 0, -1},             // no denominator
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MulDiv(c.value, c.numerator, c.denominator), c.expected)
        << c.value << " * " << c.numerator << " / " << c.denominator;
  }
}

TEST(FormScaleRatio, ScalesOnlyOnAnotherResolutionWithAnotherTextHeight) {
  struct Case {
    int screen_ppi, screen_text_height;
    int m, d;
    const char* why;
  } cases[] = {
      {96, 13, 1, 1, "the design screen"},
      {96, 15, 1, 1, "design resolution, other font metrics (Wine's fonts): as designed"},
      {120, 16, 16, 13, "120 ppi"},
      {144, 19, 19, 13, "144 ppi"},
      {72, 10, 10, 13, "a coarser screen shrinks the form"},
      {120, 13, 1, 1, "another resolution but the same text height"},
      {120, 0, 1, 1, "a failed measurement leaves the form as designed"},
  };
  for (const Case& c : cases) {
    const TScaleRatio ratio = FormScaleRatio(c.screen_ppi, 96, c.screen_text_height, 13);
    if (c.m == c.d) {
      EXPECT_TRUE(ratio.IsIdentity()) << c.why;
    } else {
      EXPECT_EQ(ratio.M, c.m) << c.why;
      EXPECT_EQ(ratio.D, c.d) << c.why;
    }
  }
}

TEST(FormScaleRatio, ScalesTheSplashDesignAt120Ppi) {
  const TScaleRatio ratio{16, 13};
  EXPECT_EQ(ScaleSize(TSize{417, 110}, ratio), (TSize{513, 135}));
  EXPECT_EQ(ScaleBounds(TBounds{-2, -1, 419, 114}, ratio), (TBounds{-2, -1, 516, 140}));
  EXPECT_EQ(ScaleBounds(TBounds{16, 8, 226, 24}, ratio), (TBounds{20, 10, 278, 30}));
  EXPECT_EQ(ScaleFontHeight(-21, ratio), -26);
  EXPECT_EQ(ScaleFontHeight(-21, TScaleRatio{}), -21);
  // The scaled picture area still takes the picture by the same rule.
  EXPECT_EQ(ProportionalSize(TSize{480, 130}, TSize{516, 140}), (TSize{480, 130}));
}

TPixels Filled(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
  TPixels p;
  p.Width = width;
  p.Height = height;
  p.Rgb.resize(static_cast<size_t>(width) * height * 3);
  for (size_t i = 0; i < p.Rgb.size(); i += 3) {
    p.Rgb[i] = r;
    p.Rgb[i + 1] = g;
    p.Rgb[i + 2] = b;
  }
  return p;
}

TEST(ResamplePixels, KeepsUniformColourAndTheSameSize) {
  const TPixels flat = Filled(480, 130, 12, 200, 77);
  const TPixels placed = ResamplePixels(flat, 419, 113);
  ASSERT_EQ(placed.Width, 419);
  ASSERT_EQ(placed.Height, 113);
  ASSERT_EQ(placed.Rgb.size(), 419u * 113 * 3);
  for (size_t i = 0; i < placed.Rgb.size(); i += 3) {
    ASSERT_EQ(placed.Rgb[i], 12) << i;
    ASSERT_EQ(placed.Rgb[i + 1], 200) << i;
    ASSERT_EQ(placed.Rgb[i + 2], 77) << i;
  }

  TPixels varied = Filled(5, 3, 0, 0, 0);
  for (size_t i = 0; i < varied.Rgb.size(); ++i) varied.Rgb[i] = static_cast<uint8_t>(i * 17);
  EXPECT_EQ(ResamplePixels(varied, 5, 3).Rgb, varied.Rgb);
}

TEST(ResamplePixels, AveragesTheCoveredAreaWeightedByCoverage) {
  // One row of four: 0, 100, 200, 255.
  TPixels row = Filled(4, 1, 0, 0, 0);
  const uint8_t values[] = {0, 100, 200, 255};
  for (int x = 0; x < 4; ++x) row.Rgb[x * 3] = values[x];

  // Halving averages pairs: (0 + 100) / 2, (200 + 255) / 2 = 227.5 -> 228.
  const TPixels half = ResamplePixels(row, 2, 1);
  EXPECT_EQ(half.Rgb[0], 50);
  EXPECT_EQ(half.Rgb[3], 228);

  // Three outputs over four inputs: each covers 4/3 of a pixel.
  // (0 * 3 + 100 * 1) / 4 = 25; (100 * 2 + 200 * 2) / 4 = 150;
  // (200 * 1 + 255 * 3) / 4 = 241.25 -> 241.
  const TPixels thirds = ResamplePixels(row, 3, 1);
  EXPECT_EQ(thirds.Rgb[0], 25);
  EXPECT_EQ(thirds.Rgb[3], 150);
  EXPECT_EQ(thirds.Rgb[6], 241);

  // Vertical works the same way; the other channels stay untouched.
  TPixels column = Filled(1, 2, 0, 9, 0);
  column.Rgb[0] = 10;
  column.Rgb[3] = 31;
  const TPixels one = ResamplePixels(column, 1, 1);
  EXPECT_EQ(one.Rgb[0], 21);  // 20.5 rounds up
  EXPECT_EQ(one.Rgb[1], 9);
}

TEST(ResamplePixels, EnlargesByRepeatingCoverage) {
  TPixels two = Filled(2, 1, 0, 0, 0);
  two.Rgb[3] = 90;
  // Four outputs over two inputs: each output lies inside one input.
  const TPixels wide = ResamplePixels(two, 4, 1);
  EXPECT_EQ(wide.Rgb[0], 0);
  EXPECT_EQ(wide.Rgb[3], 0);
  EXPECT_EQ(wide.Rgb[6], 90);
  EXPECT_EQ(wide.Rgb[9], 90);
  // Three outputs over two: the middle one straddles both halves.
  EXPECT_EQ(ResamplePixels(two, 3, 1).Rgb[3], 45);
}

TEST(ResamplePixels, EmptyInOrOutGivesAnEmptyPicture) {
  EXPECT_TRUE(ResamplePixels(Filled(4, 4, 1, 2, 3), 0, 7).Rgb.empty());
  EXPECT_TRUE(ResamplePixels(Filled(4, 4, 1, 2, 3), 7, -1).Rgb.empty());
  const TPixels from_nothing = ResamplePixels(TPixels{}, 2, 2);
  EXPECT_EQ(from_nothing.Rgb, std::vector<uint8_t>(12, 0));
}

}  // namespace
}  // namespace forms
