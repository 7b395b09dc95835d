// Tests of the drawing handles: DIB sections, device contexts and selection.
#include "platform/toolkit/Gdi.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

BITMAPINFO Header(int width, int height, int bitCount, std::uint32_t compression = BI_RGB) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = static_cast<std::uint16_t>(bitCount);
  info.bmiHeader.biCompression = compression;
  return info;
}

// Catches: rows stored in the wrong order for the sign of the height, rows not padded to four
// bytes, or the bits pointer not addressing the picture the bitmap shows.
TEST(Gdi, DibSectionLayoutFollowsHeightSign) {
  struct Case {
    int height;
    int expectedRowOfFirstBits;  // picture row (top = 0) that the first stored row shows
  };
  for (const Case c : {Case{3, 2}, Case{-3, 0}}) {
    SCOPED_TRACE(c.height);
    const BITMAPINFO info = Header(5, c.height, 24);  // 15 bytes per row, stored as 16
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_NE(bits, nullptr);
    auto* bytes = static_cast<std::uint8_t*>(bits);
    // First stored row: pure red (B, G, R order); second stored row's first pixel: blue.
    for (int x = 0; x < 5; ++x) bytes[x * 3 + 2] = 0xFF;
    bytes[16] = 0xFF;
    const QImage shown = bitmap->Image();
    ASSERT_EQ(shown.size(), QSize(5, 3));
    EXPECT_EQ(shown.pixelColor(4, c.expectedRowOfFirstBits), QColor(255, 0, 0));
    // The second stored row starts after the padded stride: of three rows it is the middle one.
    EXPECT_EQ(shown.pixelColor(0, 1), QColor(0, 0, 255));
    EXPECT_EQ(shown.pixelColor(4, 2 - c.expectedRowOfFirstBits), QColor(0, 0, 0));
    DIBSECTION ds{};
    EXPECT_EQ(GetObject(bitmap, sizeof ds, &ds), static_cast<int>(sizeof ds));
    EXPECT_EQ(ds.dsBm.bmWidthBytes, 16);
    EXPECT_EQ(ds.dsBm.bmHeight, 3);
    EXPECT_EQ(ds.dsBm.bmBits, bits);
    EXPECT_EQ(ds.dsBmih.biHeight, c.height);
    EXPECT_EQ(DeleteObject(bitmap), 1);
  }
  // Unsupported requests make nothing and clear the bits pointer.
  void* bits = reinterpret_cast<void*>(1);
  const BITMAPINFO palette = Header(4, 4, 8);
  EXPECT_EQ(CreateDIBSection(nullptr, &palette, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
  const BITMAPINFO empty = Header(4, 0, 32);
  EXPECT_EQ(CreateDIBSection(nullptr, &empty, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
}

// Catches: SelectObject not answering the previously selected object (so the caller cannot put
// it back), a bitmap deleted while selected, or one bitmap selected into two contexts.
TEST(Gdi, SelectObjectAnswersPreviousSelection) {
  const BITMAPINFO info = Header(2, -2, 32);
  void* bits = nullptr;
  HBITMAP first = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HBITMAP second = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HDC other = CreateCompatibleDC(nullptr);
  const HGDIOBJ stock = SelectObject(dc, first);
  ASSERT_NE(stock, nullptr) << "a new context has a default bitmap to hand back";
  EXPECT_EQ(SelectObject(dc, second), first);
  EXPECT_EQ(SelectObject(other, second), nullptr) << "already selected into dc";
  EXPECT_EQ(DeleteObject(second), 0) << "deleted while selected";
  EXPECT_EQ(SelectObject(dc, stock), second);
  EXPECT_EQ(DeleteObject(second), 1);
  EXPECT_EQ(DeleteObject(first), 1);
  EXPECT_EQ(GdiFlush(), 1);
  EXPECT_EQ(DeleteDC(dc), 1);
  EXPECT_EQ(DeleteDC(other), 1);
}

}  // namespace
