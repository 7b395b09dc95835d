// End-to-end: the real program plays with the demo camera: Start shows the live picture, the
// waving hands wipe the ice, and with no frost coming back the window gets cleaned.
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/toolkit/Dib.h"

namespace {

QImage Shot(const QTemporaryDir& dir, const QString& freezing, int delayMs, QString* errors) {
  const QString shot = dir.filePath("play.png");
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("FROSTWIPE_SCREENSHOT", shot);
  env.insert("FROSTWIPE_SCREENSHOT_DELAY_MS", QString::number(delayMs));
  env.insert("FROSTWIPE_AUTOPLAY", freezing);
  env.insert("FROSTWIPE_DEVICE_PROVIDERS", "demo");
  env.insert("FROSTWIPE_REGISTRY", dir.filePath("registry.db"));
  env.insert("XDG_RUNTIME_DIR", dir.path());
  program.setProcessEnvironment(env);
  program.setWorkingDirectory(dir.path());
  program.start(QStringLiteral(FROSTWIPE_EXE), {});
  if (!program.waitForFinished(delayMs + 60000)) return {};
  *errors = QString::fromLocal8Bit(program.readAllStandardError());
  if (program.exitCode() != 0) return {};
  return QImage(shot).convertToFormat(QImage::Format_RGB32);
}

QImage IcedPicture() {
  QFile file(QStringLiteral(FROSTWIPE_SOURCE_DIR "/resources/pictures/ID_SUMMER_001_ICE.dib"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  QString error;
  return DecodeDib(file.readAll(), &error).convertToFormat(QImage::Format_RGB32);
}

}  // namespace

// Catches: Start showing no live picture, frames not reaching the engine, or a window that
// never gets cleaned although no frost returns.
TEST(PlayTest, WavingCleansTheWindowWithoutFrost) {
  QTemporaryDir dir;
  QString errors;
  const QImage window = Shot(dir, QStringLiteral("0"), 28000, &errors);
  ASSERT_FALSE(window.isNull()) << errors.toStdString();
  const QImage ice = IcedPicture();
  ASSERT_EQ(ice.size(), QSize(320, 240));
  // The live picture fills the capture area: many colours, not black.
  QSet<QRgb> colours;
  int black = 0;
  for (int y = 40; y < 260; y += 4)
    for (int x = 10; x < 326; x += 4) {
      colours.insert(window.pixel(x, y));
      black += window.pixel(x, y) == qRgb(0, 0, 0);
    }
  EXPECT_GT(colours.size(), 50);
  EXPECT_LT(black, 100);
  // The closing message is written in red over the cleaned picture.
  int red = 0;
  for (int y = 0; y < window.height(); ++y)
    for (int x = 352; x < std::min(window.width(), 672); ++x) {
      const QRgb p = window.pixel(x, y);
      red += qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
    }
  EXPECT_GT(red, 200) << "no closing message";
}

// Catches: frost that does not come back at the default freezing speed (the window cleans up
// at once), or a picture that never changes.
TEST(PlayTest, DefaultFreezingKeepsThePicturePartlyIced) {
  QTemporaryDir dir;
  QString errors;
  const QImage window = Shot(dir, QStringLiteral("5"), 6000, &errors);
  ASSERT_FALSE(window.isNull()) << errors.toStdString();
  const QImage ice = IcedPicture();
  // The picture's top is where the window agrees best with the iced picture.
  int top = -1, best = 0;
  for (int t = 0; t < 80; ++t) {
    int same = 0;
    for (int y = 0; y < 240; y += 16)
      for (int x = 0; x < 320; x += 8) same += window.pixel(352 + x, t + y) == ice.pixel(x, y);
    if (same > best) {
      best = same;
      top = t;
    }
  }
  ASSERT_GE(best, 40) << "the iced picture is not where it belongs";
  int changed = 0, total = 0;
  for (int y = 0; y < 200; y += 2)
    for (int x = 0; x < 320; x += 2) {
      ++total;
      changed += window.pixel(352 + x, top + y) != ice.pixel(x, y);
    }
  EXPECT_GT(changed, total / 50) << "the hands wiped nothing";
  EXPECT_LT(changed, total * 95 / 100) << "the frost never came back";
}
