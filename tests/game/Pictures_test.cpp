#include <cstring>

#include <QFile>

#include <gtest/gtest.h>

#include "platform/toolkit/Dib.h"

namespace {

QByteArray ReadPicture(const QString& name) {
  QFile file(QStringLiteral(":/bitmaps/") + name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

double MeanByte(const QByteArray& dib) {
  double sum = 0;
  for (qsizetype i = 40; i < dib.size(); ++i) sum += static_cast<std::uint8_t>(dib[i]);
  return sum / static_cast<double>(dib.size() - 40);
}

int PureBlackPixels(const QByteArray& dib) {
  int count = 0;
  for (qsizetype i = 40; i + 2 < dib.size(); i += 3)
    if (dib[i] == 0 && dib[i + 1] == 0 && dib[i + 2] == 0) ++count;
  return count;
}

}  // namespace

// Catches: pictures built into the program in another layout than the stored bitmap format the
// loader and the engine assume (size, header fields, bottom-up rows, no colour table).
TEST(PictureSetTest, AllSixteenPicturesHaveTheStoredLayout) {
  for (int n = 1; n <= 8; ++n) {
    for (const char* suffix : {"", "_ICE"}) {
      const QString name = QStringLiteral("ID_SUMMER_00%1%2").arg(n).arg(suffix);
      SCOPED_TRACE(name.toStdString());
      const QByteArray dib = ReadPicture(name);
      ASSERT_EQ(dib.size(), 230440);
      BITMAPINFOHEADER h;
      std::memcpy(&h, dib.constData(), sizeof h);
      EXPECT_EQ(h.biSize, 40u);
      EXPECT_EQ(h.biWidth, 320);
      EXPECT_EQ(h.biHeight, 240);
      EXPECT_EQ(h.biPlanes, 1);
      EXPECT_EQ(h.biBitCount, 24);
      EXPECT_EQ(h.biCompression, 0u);
      EXPECT_EQ(h.biSizeImage, 230400u);
      EXPECT_TRUE(h.biXPelsPerMeter == 2834 || h.biXPelsPerMeter == 3779 ||
                  h.biXPelsPerMeter == 11808 || h.biXPelsPerMeter == 11811);
      EXPECT_EQ(h.biYPelsPerMeter, h.biXPelsPerMeter);
      EXPECT_EQ(h.biClrUsed, 0u);
      EXPECT_EQ(h.biClrImportant, 0u);
    }
  }
}

// Catches: an iced twin that is not brighter than its summer picture, or pure black pixels in
// pictures other than those meant to show ice through them.
TEST(PictureSetTest, IcedTwinsAreBrighterAndBlackPixelsAreWhereExpected) {
  for (int n = 1; n <= 8; ++n) {
    SCOPED_TRACE(n);
    const QByteArray summer = ReadPicture(QStringLiteral("ID_SUMMER_00%1").arg(n));
    const QByteArray ice = ReadPicture(QStringLiteral("ID_SUMMER_00%1_ICE").arg(n));
    ASSERT_FALSE(summer.isEmpty());
    ASSERT_FALSE(ice.isEmpty());
    EXPECT_GT(MeanByte(ice), MeanByte(summer) + 10);
    EXPECT_EQ(PureBlackPixels(ice), 0);
    const bool hasBlack = n == 1 || n == 3 || n == 5 || n == 6;
    const int black = PureBlackPixels(summer);
    if (hasBlack) {
      EXPECT_GT(black, 0);
      EXPECT_LT(black, 50);
    } else {
      EXPECT_EQ(black, 0);
    }
  }
}
