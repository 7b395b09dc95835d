#include "platform/toolkit/Dib.h"

#include <cstring>

#include <gtest/gtest.h>

#include "platform/toolkit/Bitmap.h"

namespace {

QByteArray MakeDib(int width, int height, int bits, const QByteArray& extra,
                   const QByteArray& pixels, std::uint32_t compression = BI_RGB,
                   std::uint32_t colours = 0) {
  BITMAPINFOHEADER h{};
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = static_cast<std::uint16_t>(bits);
  h.biCompression = compression;
  h.biClrUsed = colours;
  QByteArray data(reinterpret_cast<const char*>(&h), sizeof h);
  return data + extra + pixels;
}

QByteArray Bytes(std::initializer_list<int> values) {
  QByteArray b;
  for (int v : values) b.append(static_cast<char>(v));
  return b;
}

}  // namespace

// Catches: bottom-up rows not flipped (row 0 must be the top row of the picture) and top-down
// pictures (negative height) flipped by mistake.
TEST(DibTest, RowOrderFollowsTheSignOfTheHeight) {
  // 1 x 2 pixels, 24 bits: stored rows are 4 bytes each.
  const QByteArray rows = Bytes({1, 2, 3, 0, 4, 5, 6, 0});
  QString error;
  QImage bottomUp = DecodeDib(MakeDib(1, 2, 24, {}, rows), &error);
  ASSERT_FALSE(bottomUp.isNull()) << error.toStdString();
  EXPECT_EQ(bottomUp.format(), QImage::Format_BGR888);
  EXPECT_EQ(bottomUp.constScanLine(0)[0], 4);  // stored last = top
  EXPECT_EQ(bottomUp.constScanLine(1)[0], 1);
  QImage topDown = DecodeDib(MakeDib(1, -2, 24, {}, rows), &error);
  ASSERT_FALSE(topDown.isNull());
  EXPECT_EQ(topDown.constScanLine(0)[0], 1);
}

// Catches: palette pictures decoded with the wrong nibble order or palette byte order.
TEST(DibTest, SixteenColourPictureUsesItsPalette) {
  QByteArray palette(16 * 4, 0);
  palette[1 * 4 + 2] = static_cast<char>(200);  // index 1: red 200
  palette[2 * 4 + 0] = static_cast<char>(100);  // index 2: blue 100
  QString error;
  QImage image = DecodeDib(MakeDib(2, 1, 4, palette, Bytes({0x12, 0, 0, 0})), &error);
  ASSERT_FALSE(image.isNull()) << error.toStdString();
  const uchar* p = image.constScanLine(0);
  EXPECT_EQ(p[2], 200);  // left pixel is the high nibble: index 1, red
  EXPECT_EQ(p[3], 100);  // right pixel: index 2, blue
}

// Catches: 16-bit pictures with 5-6-5 masks decoded as 5-5-5.
TEST(DibTest, BitfieldMasksChooseTheSixteenBitLayout) {
  const QByteArray masks = Bytes({0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0});
  QString error;
  QImage image =
      DecodeDib(MakeDib(2, 1, 16, masks, Bytes({0x1F, 0xF8, 0, 0}), BI_BITFIELDS), &error);
  ASSERT_FALSE(image.isNull()) << error.toStdString();
  EXPECT_EQ(image.format(), QImage::Format_RGB16);
  EXPECT_EQ(image.pixelColor(0, 0), QColor(255, 0, 255));
}

// Catches: reading past the end of short or lying data instead of refusing it.
TEST(DibTest, ShortOrInconsistentDataIsRefused) {
  struct Case {
    const char* name;
    QByteArray data;
  };
  const Case cases[] = {
      {"empty", QByteArray()},
      {"header only", MakeDib(320, 240, 24, {}, {})},
      {"one byte short", MakeDib(2, 2, 24, {}, QByteArray(15, 0))},
      {"palette cut", MakeDib(2, 1, 8, QByteArray(10, 0), {})},
      {"zero width", MakeDib(0, 1, 24, {}, QByteArray(4, 0))},
      {"absurd size", MakeDib(1 << 20, 1 << 20, 24, {}, QByteArray(16, 0))},
      {"unknown depth", MakeDib(1, 1, 7, {}, QByteArray(4, 0))},
      {"too many colours", MakeDib(1, 1, 4, QByteArray(64 * 4, 0), QByteArray(4, 0), BI_RGB, 64)},
      // Colour counts beyond the int range turned negative and passed the checks (found by
      // fuzzing: a copy of a negative size).
      {"colour count 2^32 - 1", MakeDib(1, 1, 8, {}, QByteArray(4, 0), BI_RGB, 0xFFFFFFFFu)},
      {"colour count 2^31", MakeDib(1, 1, 8, {}, QByteArray(4, 0), BI_RGB, 0x80000000u)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QString error;
    EXPECT_TRUE(DecodeDib(c.data, &error).isNull());
    EXPECT_FALSE(error.isEmpty());
  }
  TBitmap b;
  EXPECT_THROW(b.LoadFromDib(MakeDib(2, 2, 24, {}, QByteArray(3, 0))), EInvalidGraphic);
}

// Catches: loading a picture resetting the drawing settings of the bitmap it loads into.
TEST(DibTest, LoadingKeepsTheCanvasSettings) {
  TBitmap b;
  b.Canvas().Font.Name = QStringLiteral("Courier New");
  b.Canvas().Font.Size = 15;
  b.Canvas().Brush.Color = clWhite;
  b.LoadFromDib(MakeDib(1, 1, 24, {}, Bytes({1, 2, 3, 0})));
  EXPECT_EQ(b.Width(), 1);
  EXPECT_EQ(b.Canvas().Font.Name, QStringLiteral("Courier New"));
  EXPECT_EQ(b.Canvas().Font.Size, 15);
  EXPECT_EQ(b.Canvas().Brush.Color, clWhite);
}
