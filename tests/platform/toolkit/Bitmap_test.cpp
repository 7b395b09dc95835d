#include "platform/toolkit/Bitmap.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

void SetPixel24(TBitmap& b, int x, int y, int blue, int green, int red) {
  std::uint8_t* p = b.ScanLine(y) + 3 * x;
  p[0] = static_cast<std::uint8_t>(blue);
  p[1] = static_cast<std::uint8_t>(green);
  p[2] = static_cast<std::uint8_t>(red);
}

std::array<int, 3> Pixel24(const TBitmap& b, int x, int y) {
  const std::uint8_t* p = b.ScanLine(y) + 3 * x;
  return {p[0], p[1], p[2]};
}

}  // namespace

// Catches: resizing that moves or drops the pixels already there, or leaves garbage in new areas.
TEST(BitmapTest, ResizeKeepsPixelsAtTheirPlace) {
  TBitmap b;
  b.SetPixelFormat(pf24bit);
  b.SetSize(4, 3);
  SetPixel24(b, 3, 2, 1, 2, 3);
  SetPixel24(b, 0, 0, 9, 8, 7);
  b.SetWidth(6);
  b.SetHeight(5);
  EXPECT_EQ(b.Width(), 6);
  EXPECT_EQ(b.Height(), 5);
  EXPECT_EQ(Pixel24(b, 3, 2), (std::array<int, 3>{1, 2, 3}));
  EXPECT_EQ(Pixel24(b, 0, 0), (std::array<int, 3>{9, 8, 7}));
  EXPECT_EQ(Pixel24(b, 5, 4), (std::array<int, 3>{0, 0, 0}));
  b.SetSize(2, 1);
  EXPECT_EQ(Pixel24(b, 0, 0), (std::array<int, 3>{9, 8, 7}));
  b.SetSize(0, 0);
  EXPECT_TRUE(b.Empty());
  EXPECT_THROW(b.ScanLine(0), std::out_of_range);
}

// Catches: 32-to-24 conversion that keeps the fourth byte or reorders colour bytes, and
// 24-to-16 conversion not producing 5-6-5 words.
TEST(BitmapTest, PixelFormatConversionKeepsColours) {
  TBitmap b;
  b.SetPixelFormat(pf32bit);
  b.SetSize(2, 2);
  std::uint8_t* row = b.ScanLine(1);
  const std::uint8_t pixel[4] = {10, 20, 30, 0x77};
  std::memcpy(row + 4, pixel, 4);
  b.SetPixelFormat(pf24bit);
  EXPECT_EQ(b.PixelFormat(), pf24bit);
  EXPECT_EQ(Pixel24(b, 1, 1), (std::array<int, 3>{10, 20, 30}));
  EXPECT_EQ(b.BytesPerLine() % 4, 0);

  SetPixel24(b, 0, 0, 255, 0, 255);  // magenta
  b.SetPixelFormat(pf16bit);
  std::uint16_t word;
  std::memcpy(&word, b.ScanLine(0), 2);
  EXPECT_EQ(word, 0xF81F);
}

// Catches: Assign that shares pixels so that writing the copy changes the original.
TEST(BitmapTest, AssignCopiesSizeFormatAndPixels) {
  TBitmap a, b;
  a.SetSize(3, 2);
  SetPixel24(a, 2, 1, 5, 6, 7);
  b.SetPixelFormat(pf32bit);
  b.Assign(a);
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.PixelFormat(), pf24bit);
  SetPixel24(b, 2, 1, 0, 0, 0);
  EXPECT_EQ(Pixel24(a, 2, 1), (std::array<int, 3>{5, 6, 7}));
  // Assigning again into the now-separate storage copies the bytes too.
  b.Assign(a);
  EXPECT_EQ(Pixel24(b, 2, 1), (std::array<int, 3>{5, 6, 7}));
}

// Catches: a copy-then-convert sequence (the per-frame path) that corrupts pixels when the
// spare storage is reused.
TEST(BitmapTest, AssignThenConvertReusesStorageCorrectly) {
  TBitmap frame, copy;
  frame.SetPixelFormat(pf32bit);
  frame.SetSize(5, 4);
  for (int round = 0; round < 3; ++round) {
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) {
        std::uint8_t* p = frame.ScanLine(y) + 4 * x;
        p[0] = static_cast<std::uint8_t>(x + round);
        p[1] = static_cast<std::uint8_t>(y);
        p[2] = static_cast<std::uint8_t>(round);
        p[3] = 0xFF;
      }
    copy.Assign(frame);
    copy.SetPixelFormat(pf24bit);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x)
        ASSERT_EQ(Pixel24(copy, x, y), (std::array<int, 3>{x + round, y, round}));
  }
}

// Catches: a missing resource silently leaving the bitmap as it was, or an exception that does
// not name the resource.
TEST(BitmapTest, MissingResourceRaisesNamingIt) {
  TBitmap b;
  b.SetSize(2, 2);
  try {
    b.LoadFromResourceName(QStringLiteral("ID_NOT_THERE"));
    FAIL() << "no exception";
  } catch (const EResNotFound& e) {
    EXPECT_NE(std::string(e.what()).find("ID_NOT_THERE"), std::string::npos);
  }
  EXPECT_EQ(b.Width(), 2);
}
