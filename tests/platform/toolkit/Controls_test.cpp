// Tests of the picture control: what it shows, and when its parent need not paint behind it.
#include "platform/toolkit/Controls.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

// Catches: a 24-bit picture shown with swapped or shifted channels, a display kept from the
// previous picture of the same size (the per-frame path), a picture drawn straight into the
// window's backing store at the wrong place or outside the region painted, and the control marked
// opaque while its parent shows through (transparent, or larger than its picture).
TEST(TImageTest, ShowsEachPictureExactlyAndIsOpaqueOnlyWhenCovering) {
  QWidget parent;
  parent.resize(40, 30);
  QPalette background;
  background.setColor(QPalette::Window, QColor(1, 2, 3));
  parent.setPalette(background);
  parent.setAutoFillBackground(true);
  auto* image = new TImage(&parent);
  image->setGeometry(3, 2, 7, 5);  // 7 x 3 bytes: rows carry padding
  parent.show();
  for (int i = 0; i < 100 && !parent.windowHandle()->isExposed(); ++i)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  auto expected = [](int round, int x, int y) {
    return qRgb(200 - round * 50, y * 40, x * 30 + round) & 0xFFFFFF;
  };
  auto fill = [](TBitmap& bitmap, int round) {
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x) {
        std::uint8_t* p = bitmap.ScanLine(y) + 3 * x;
        p[0] = static_cast<std::uint8_t>(x * 30 + round);
        p[1] = static_cast<std::uint8_t>(y * 40);
        p[2] = static_cast<std::uint8_t>(200 - round * 50);
      }
  };
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    TBitmap bitmap;
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(7, 5);
    fill(bitmap, round);
    image->Assign(bitmap);
    EXPECT_TRUE(image->testAttribute(Qt::WA_OpaquePaintEvent));
    const QImage shot = image->grab().toImage();  // through a painter
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 7; ++x)
        EXPECT_EQ(shot.pixel(x, y) & 0xFFFFFF, expected(round, x, y)) << x << "," << y;
  }
  // Painted straight into the window's backing store: at the control's place, and only inside
  // the region repainted (the picture is changed in place, with no repaint asked for).
  image->repaint();
  fill(image->Picture(), 2);
  const QRect region(1, 1, 4, 3);
  image->repaint(region);
  const QImage window = QGuiApplication::primaryScreen()->grabWindow(parent.winId()).toImage();
  ASSERT_EQ(window.size(), parent.size());
  for (int y = 0; y < window.height(); ++y)
    for (int x = 0; x < window.width(); ++x) {
      const QPoint at = QPoint(x, y) - image->pos();
      const QRgb want = !image->rect().contains(at)
                            ? qRgb(1, 2, 3) & 0xFFFFFF
                            : expected(region.contains(at) ? 2 : 1, at.x(), at.y());
      EXPECT_EQ(window.pixel(x, y) & 0xFFFFFF, want) << x << "," << y;
    }
  image->SetTransparent(true);
  EXPECT_FALSE(image->testAttribute(Qt::WA_OpaquePaintEvent));
  image->SetTransparent(false);
  EXPECT_TRUE(image->testAttribute(Qt::WA_OpaquePaintEvent));
  image->resize(8, 5);
  EXPECT_FALSE(image->testAttribute(Qt::WA_OpaquePaintEvent));
}

}  // namespace
