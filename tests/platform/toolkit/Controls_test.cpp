// Tests of the picture control: what it shows, and when its parent need not paint behind it.
#include "platform/toolkit/Controls.h"

#include <gtest/gtest.h>

namespace {

// Catches: a 24-bit picture shown with swapped or shifted channels, a display kept from the
// previous picture of the same size (the per-frame path), a picture drawn straight into a 32-bit
// target at the wrong place or outside the region painted, and the control marked opaque while
// its parent shows through (transparent, or larger than its picture).
TEST(TImageTest, ShowsEachPictureExactlyAndIsOpaqueOnlyWhenCovering) {
  QWidget parent;
  parent.resize(40, 30);
  auto* image = new TImage(&parent);
  image->setGeometry(0, 0, 7, 5);  // 7 x 3 bytes: rows carry padding
  parent.show();
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(7, 5);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) {
        std::uint8_t* p = bitmap.ScanLine(y) + 3 * x;
        p[0] = static_cast<std::uint8_t>(x * 30 + round);
        p[1] = static_cast<std::uint8_t>(y * 40);
        p[2] = static_cast<std::uint8_t>(200 - round * 50);
      }
    image->Assign(bitmap);
    EXPECT_TRUE(image->testAttribute(Qt::WA_OpaquePaintEvent));
    const QImage shot = image->grab().toImage();
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x)
        EXPECT_EQ(shot.pixel(x, y) & 0xFFFFFF,
                  qRgb(200 - round * 50, y * 40, x * 30 + round) & 0xFFFFFF)
            << x << "," << y;
    // Drawn straight into a 32-bit image (as into a window's backing store): placed at the
    // offset, and only inside the region asked for.
    QImage target(12, 10, QImage::Format_RGB32);
    target.fill(qRgb(1, 2, 3));
    const QRect region(1, 1, 4, 3);
    image->render(&target, QPoint(3, 2), region);
    for (int y = 0; y < target.height(); ++y)
      for (int x = 0; x < target.width(); ++x) {
        const QPoint at = QPoint(x, y) - QPoint(3, 2) + region.topLeft();
        const QRgb expected = region.contains(at)
                                  ? qRgb(200 - round * 50, at.y() * 40, at.x() * 30 + round)
                                  : qRgb(1, 2, 3);
        EXPECT_EQ(target.pixel(x, y) & 0xFFFFFF, expected & 0xFFFFFF) << x << "," << y;
      }
  }
  image->SetTransparent(true);
  EXPECT_FALSE(image->testAttribute(Qt::WA_OpaquePaintEvent));
  image->SetTransparent(false);
  EXPECT_TRUE(image->testAttribute(Qt::WA_OpaquePaintEvent));
  image->resize(8, 5);
  EXPECT_FALSE(image->testAttribute(Qt::WA_OpaquePaintEvent));
}

}  // namespace
