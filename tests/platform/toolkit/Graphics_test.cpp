#include "platform/toolkit/Graphics.h"

#include <cstring>

#include <gtest/gtest.h>

#include "platform/toolkit/Bitmap.h"

namespace {

TColor PixelAt(const TBitmap& b, int x, int y) {
  const QColor c = b.Image().pixelColor(x, y);
  return RGB(c.red(), c.green(), c.blue());
}

void Fill(TBitmap& b, TColor colour) {
  b.Canvas().Brush.Color = colour;
  b.Canvas().FillRect(Rect(0, 0, b.Width(), b.Height()));
}

}  // namespace

// Catches: FillRect painting its right or bottom edge, or writing outside the bitmap.
TEST(CanvasTest, FillRectExcludesRightAndBottomEdges) {
  for (TPixelFormat format : {pf16bit, pf24bit, pf32bit}) {
    SCOPED_TRACE(format);
    TBitmap b;
    b.SetPixelFormat(format);
    b.SetSize(20, 20);
    Fill(b, clBlack);
    b.Canvas().Brush.Color = clRed;
    b.Canvas().FillRect(Rect(2, 3, 5, 7));
    EXPECT_EQ(PixelAt(b, 2, 3), clRed);
    EXPECT_EQ(PixelAt(b, 4, 6), clRed);
    EXPECT_EQ(PixelAt(b, 5, 6), clBlack);
    EXPECT_EQ(PixelAt(b, 4, 7), clBlack);
    EXPECT_EQ(PixelAt(b, 1, 3), clBlack);
    // Empty and inverted rectangles paint nothing; oversized ones are clipped.
    b.Canvas().Brush.Color = clWhite;
    b.Canvas().FillRect(Rect(10, 10, 10, 15));
    b.Canvas().FillRect(Rect(12, 10, 11, 15));
    EXPECT_EQ(PixelAt(b, 10, 10), clBlack);
    b.Canvas().FillRect(Rect(15, -5, 40, 2));
    EXPECT_EQ(PixelAt(b, 19, 0), clWhite);
    EXPECT_EQ(PixelAt(b, 19, 2), clBlack);
  }
}

// Catches: the transparent colour not honoured, or near-black pixels treated as transparent.
TEST(CanvasTest, DrawWithTransparentColourLeavesTheBackgroundVisible) {
  TBitmap back, front;
  back.SetSize(4, 1);
  front.SetSize(4, 1);
  Fill(back, clBlue);
  Fill(front, clBlack);
  front.Canvas().Brush.Color = RGB(0, 0, 1);
  front.Canvas().FillRect(Rect(1, 0, 2, 1));
  front.Canvas().Brush.Color = clWhite;
  front.Canvas().FillRect(Rect(2, 0, 3, 1));
  front.SetTransparentColor(clBlack);
  front.SetTransparent(true);
  back.Canvas().Draw(0, 0, front);
  EXPECT_EQ(PixelAt(back, 0, 0), clBlue);
  EXPECT_EQ(PixelAt(back, 1, 0), RGB(0, 0, 1));
  EXPECT_EQ(PixelAt(back, 2, 0), clWhite);
  EXPECT_EQ(PixelAt(back, 3, 0), clBlue);
  // Opaque drawing copies every pixel, at an offset and clipped.
  front.SetTransparent(false);
  back.Canvas().Draw(2, 0, front);
  EXPECT_EQ(PixelAt(back, 2, 0), clBlack);
  EXPECT_EQ(PixelAt(back, 3, 0), RGB(0, 0, 1));
}

// Catches: drawing a bitmap of another pixel format without converting it first.
TEST(CanvasTest, DrawConvertsOtherFormats) {
  TBitmap back, front;
  back.SetSize(2, 2);
  front.SetPixelFormat(pf32bit);
  front.SetSize(1, 1);
  Fill(front, RGB(10, 200, 30));
  Fill(back, clBlack);
  back.Canvas().Draw(1, 1, front);
  EXPECT_EQ(PixelAt(back, 1, 1), RGB(10, 200, 30));
  EXPECT_EQ(PixelAt(back, 0, 0), clBlack);
}

// Catches: text drawn without its opaque background, or a background that spills beyond the
// text's extent.
TEST(CanvasTest, TextOutFillsExactlyTheTextExtent) {
  TBitmap b;
  b.SetSize(320, 240);
  Fill(b, clBlack);
  TCanvas& c = b.Canvas();
  c.Font.Name = QStringLiteral("Courier New");
  c.Font.Size = 15;
  c.Font.Style = fsBold;
  c.Font.Color = clRed;
  c.Brush.Color = clWhite;
  const QString text = QStringLiteral("Congratulations !");
  const int w = c.TextWidth(text), h = c.TextHeight(text);
  ASSERT_GT(w, 100);
  ASSERT_GT(h, 10);
  c.TextOut(50, 90, text);
  EXPECT_EQ(PixelAt(b, 50, 90), clWhite);
  EXPECT_EQ(PixelAt(b, 50 + w - 1, 90 + h - 1), clWhite);
  EXPECT_EQ(PixelAt(b, 49, 90), clBlack);
  EXPECT_EQ(PixelAt(b, 50 + w, 90), clBlack);
  EXPECT_EQ(PixelAt(b, 50, 90 + h), clBlack);
  int red = 0;
  for (int y = 90; y < 90 + h; ++y)
    for (int x = 50; x < 50 + w; ++x)
      if (GetRValue(PixelAt(b, x, y)) > 200 && GetGValue(PixelAt(b, x, y)) < 80) ++red;
  EXPECT_GT(red, 100) << "the red glyphs are missing";
}

// Catches: Windows face names resolving to whatever fontconfig falls back to.
TEST(CanvasTest, WindowsFaceNamesResolveToMetricCompatibleFaces) {
  EXPECT_EQ(ResolveFontFamily(QStringLiteral("Courier New")), QStringLiteral("Liberation Mono"));
  EXPECT_EQ(ResolveFontFamily(QStringLiteral("arial")), QStringLiteral("Liberation Sans"));
  EXPECT_EQ(ResolveFontFamily(QStringLiteral("DejaVu Serif")), QStringLiteral("DejaVu Serif"));
}

// Catches: the five-pixels-at-a-time transparent copy mishandling block edges, row tails or
// keys whose bytes differ, against a plain per-pixel reference.
TEST(CanvasTest, TransparentDrawMatchesPerPixelReferenceAtEveryWidth) {
  std::uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 24;
  };
  for (TColor key : {clBlack, RGB(10, 20, 30)}) {
    for (int width = 1; width <= 41; ++width) {
      SCOPED_TRACE(width);
      TBitmap back, front;
      back.SetSize(width, 3);
      front.SetSize(width, 3);
      for (int y = 0; y < 3; ++y) {
        std::uint8_t* b = back.ScanLine(y);
        std::uint8_t* f = front.ScanLine(y);
        for (int x = 0; x < width; ++x) {
          for (int k = 0; k < 3; ++k) b[3 * x + k] = static_cast<std::uint8_t>(next());
          const unsigned pick = next() % 4;  // key, near-key, or random
          const std::uint8_t keyBytes[3] = {static_cast<std::uint8_t>(GetBValue(key)),
                                            static_cast<std::uint8_t>(GetGValue(key)),
                                            static_cast<std::uint8_t>(GetRValue(key))};
          for (int k = 0; k < 3; ++k)
            f[3 * x + k] = pick < 2 ? keyBytes[k] : static_cast<std::uint8_t>(next());
          if (pick == 1) f[3 * x + next() % 3] ^= 1;
        }
      }
      TBitmap expected;
      expected.Assign(back);
      for (int y = 0; y < 3; ++y)
        for (int x = 0; x < width; ++x) {
          const std::uint8_t* f = front.ScanLine(y) + 3 * x;
          if (RGB(f[2], f[1], f[0]) != key) std::memcpy(expected.ScanLine(y) + 3 * x, f, 3);
        }
      front.SetTransparentColor(key);
      front.SetTransparent(true);
      back.Canvas().Draw(0, 0, front);
      for (int y = 0; y < 3; ++y)
        ASSERT_EQ(
            std::memcmp(back.ScanLine(y), expected.ScanLine(y), static_cast<size_t>(width) * 3), 0)
            << "row " << y;
    }
  }
}

// Catches: layers drawn in one pass over the rows differing from drawing them in turn: a layer
// out of order, rows of a smaller or shifted layer misplaced or clipped wrongly, a transparent
// colour applied to the wrong layer, a layer of another format not converted.
TEST(CanvasTest, LayersInOnePassEqualDrawingThemInTurn) {
  struct Case {
    TPixelFormat format;
    int x, y;
    QSize top;
  } cases[] = {{pf24bit, 0, 0, {23, 11}},
               {pf24bit, -3, 4, {9, 5}},
               {pf32bit, 2, -1, {23, 11}},
               {pf16bit, 5, 6, {30, 20}}};
  unsigned seed = 3;
  const auto next = [&] { return seed = seed * 1103515245u + 12345u; };
  const auto random = [&](TBitmap& b, TPixelFormat format, QSize size, bool someBlack) {
    b.SetPixelFormat(format);
    b.SetSize(size.width(), size.height());
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x) {
        const TColor c =
            someBlack && next() % 3 == 0 ? clBlack : RGB(next() >> 8, next() >> 8, next() >> 8);
        b.Canvas().Brush.Color = c;
        b.Canvas().FillRect(Rect(x, y, x + 1, y + 1));
      }
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "format " << c.format << " at " << c.x << "," << c.y);
    TBitmap bottom, top, inTurn, onePass;
    random(bottom, pf24bit, {23, 11}, false);
    random(top, pf24bit, c.top, true);
    top.SetTransparentColor(clBlack);
    top.SetTransparent(true);
    random(inTurn, c.format, {23, 11}, false);
    onePass.Assign(inTurn);
    inTurn.Canvas().Draw(c.x, c.y, bottom);
    inTurn.Canvas().Draw(c.x, c.y, top);
    const TBitmap* layers[] = {&bottom, &top};
    onePass.Canvas().Draw(c.x, c.y, layers);
    EXPECT_EQ(onePass.Image(), inTurn.Image());
  }
}

// Catches: remembered text images served for another colour or font, or differing from a
// freshly rendered one.
TEST(CanvasTest, RepeatedTextIsIdenticalAndFollowsColourChanges) {
  TBitmap a, b;
  for (TBitmap* bitmap : {&a, &b}) {
    bitmap->SetSize(200, 40);
    Fill(*bitmap, clBlack);
    bitmap->Canvas().Font.Name = QStringLiteral("Courier New");
    bitmap->Canvas().Font.Size = 15;
    bitmap->Canvas().Font.Color = clRed;
    bitmap->Canvas().Brush.Color = clWhite;
  }
  a.Canvas().TextOut(5, 5, QStringLiteral("Window is cleaned."));
  a.Canvas().TextOut(5, 5, QStringLiteral("Window is cleaned."));  // second time from memory
  b.Canvas().TextOut(5, 5, QStringLiteral("Window is cleaned."));
  EXPECT_EQ(a.Image(), b.Image());
  a.Canvas().Brush.Color = clBlue;
  a.Canvas().TextOut(5, 5, QStringLiteral("Window is cleaned."));
  EXPECT_EQ(PixelAt(a, 5, 5), clBlue);
  a.Canvas().Font.Color = clGreen;
  a.Canvas().TextOut(5, 5, QStringLiteral("Window is cleaned."));
  bool green = false;
  for (int x = 5; x < 150 && !green; ++x)
    for (int y = 5; y < 25 && !green; ++y) green = PixelAt(a, x, y) == clGreen;
  EXPECT_TRUE(green);
}
