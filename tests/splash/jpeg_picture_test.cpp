#include "bootstrap/jpeg_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace forms {
namespace {

std::vector<uint8_t> SplashJpeg() {
  const std::string bytes = ReadFileBytes(QSTAVE_SPLASH_JPEG);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// Decodes from an exact-size heap copy, so a read past the end is caught.
bool Decode(const std::vector<uint8_t>& bytes, TPixels* out) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() ? bytes.size() : 1]);
  std::copy(bytes.begin(), bytes.end(), exact.get());
  return DecodeJpeg(exact.get(), bytes.size(), out);
}

TEST(DecodeJpeg, DecodesTheSplashPictureToRgb) {
  const std::vector<uint8_t> jpeg = SplashJpeg();
  ASSERT_FALSE(jpeg.empty()) << QSTAVE_SPLASH_JPEG;
  TPixels pixels;
  ASSERT_TRUE(Decode(jpeg, &pixels));
  EXPECT_EQ(pixels.Width, 480);
  EXPECT_EQ(pixels.Height, 130);
  ASSERT_EQ(pixels.Rgb.size(), 480u * 130 * 3);

  // The artwork is a blue-left, warm-right gradient with a glow at (300, 70):
  // red, green and blue come out in that order, not as the DIB's blue first.
  struct Probe {
    int x, y, r, g, b;
  } probes[] = {{2, 2, 21, 54, 150}, {300, 70, 196, 109, 108}, {477, 127, 110, 24, 30}};
  for (const Probe& p : probes) {
    const uint8_t* px = &pixels.Rgb[(static_cast<size_t>(p.y) * 480 + p.x) * 3];
    EXPECT_NEAR(px[0], p.r, 10) << p.x << "," << p.y;
    EXPECT_NEAR(px[1], p.g, 10) << p.x << "," << p.y;
    EXPECT_NEAR(px[2], p.b, 10) << p.x << "," << p.y;
  }
}

// Each of these would end the process through libjpeg's default error_exit.
TEST(DecodeJpeg, RejectsWhatLibjpegCannotReadAndReturns) {
  const std::vector<uint8_t> jpeg = SplashJpeg();
  ASSERT_GT(jpeg.size(), 200u);
  // The frame header, SOF0: FF C0, length (2 bytes), precision, height (2),
  // width (2).
  size_t sof = 0;
  while (sof + 9 < jpeg.size() && !(jpeg[sof] == 0xFF && jpeg[sof + 1] == 0xC0)) ++sof;
  ASSERT_LT(sof + 9, jpeg.size());
  std::vector<uint8_t> huge = jpeg;  // 32767 x 32767: libjpeg takes it, the limit does not
  huge[sof + 5] = huge[sof + 7] = 0x7F;
  huge[sof + 6] = huge[sof + 8] = 0xFF;
  std::vector<uint8_t> twelve_bit = jpeg;
  twelve_bit[sof + 4] = 12;

  struct Case {
    std::vector<uint8_t> bytes;
    const char* why;
  } cases[] = {
      {{}, "no bytes"},
      {{'G', 'I', 'F', '8', '9', 'a'}, "not a JPEG"},
      {{0xFF, 0xD8}, "start of image and then nothing"},
      {std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 40), "cut off inside the headers"},
      {twelve_bit, "12-bit samples, which this libjpeg does not decode"},
      {huge, "larger than the pixel limit"},
  };
  for (const Case& c : cases) {
    TPixels pixels;
    pixels.Width = 7;  // must be cleared
    EXPECT_FALSE(Decode(c.bytes, &pixels)) << c.why;
    EXPECT_EQ(pixels.Width, 0) << c.why;
    EXPECT_TRUE(pixels.Rgb.empty()) << c.why;
  }
}

TEST(DecodeJpeg, FillsInAPictureCutShortInItsData) {
  const std::vector<uint8_t> jpeg = SplashJpeg();
  const std::vector<uint8_t> half(jpeg.begin(), jpeg.begin() + jpeg.size() / 2);
  TPixels pixels;
  ASSERT_TRUE(Decode(half, &pixels));
  EXPECT_EQ(pixels.Width, 480);
  EXPECT_EQ(pixels.Height, 130);
}

}  // namespace
}  // namespace forms
