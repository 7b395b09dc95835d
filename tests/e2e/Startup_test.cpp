// End-to-end: the real program starts, shows the iced picture of pair 1 and ends with code 0.
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "platform/toolkit/Dib.h"

namespace {

QImage IcedPicture(int pair) {
  QFile file(
      QStringLiteral(FROSTWIPE_SOURCE_DIR "/resources/pictures/ID_SUMMER_00%1_ICE.dib").arg(pair));
  if (!file.open(QIODevice::ReadOnly)) return {};
  QString error;
  return DecodeDib(file.readAll(), &error).convertToFormat(QImage::Format_RGB32);
}

// Finds `part` in `whole` at column x, scanning a few rows for the menu bar's height.
int RowOffsetOf(const QImage& whole, const QImage& part, int x) {
  for (int top = 0; top + part.height() <= whole.height() && top < 80; ++top) {
    bool same = true;
    for (int y = 0; y < part.height() && same; y += 7)
      for (int dx = 0; dx < part.width() && same; dx += 5)
        same = whole.pixel(x + dx, top + y) == part.pixel(dx, y);
    if (same) return top;
  }
  return -1;
}

}  // namespace

// Catches: a program that fails to start without a camera, shows the wrong picture, or does
// not end with exit code 0 when its window closes.
TEST(StartupTest, ShowsIcedPairOneAndExitsCleanly) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString shot = dir.filePath("main.png");
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("FROSTWIPE_SCREENSHOT", shot);
  env.insert("FROSTWIPE_SCREENSHOT_DELAY_MS", "300");
  env.insert("FROSTWIPE_DEVICE_PROVIDERS", "");
  env.insert("FROSTWIPE_REGISTRY", dir.filePath("registry.db"));
  program.setProcessEnvironment(env);
  program.setWorkingDirectory(dir.path());
  program.start(QStringLiteral(FROSTWIPE_EXE), {});
  ASSERT_TRUE(program.waitForFinished(30000)) << "the program did not close its window";
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();

  const QImage window = QImage(shot).convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(window.isNull());
  EXPECT_GE(window.width(), 689);
  const QImage ice = IcedPicture(1);
  ASSERT_EQ(ice.size(), QSize(320, 240));
  const int top = RowOffsetOf(window, ice, 352);
  ASSERT_GE(top, 8) << "the iced picture of pair 1 is not at (352, 8) of the client area";
  // The capture control's area is black while no picture comes from a camera.
  EXPECT_EQ(window.pixel(8 + 160, top + 120), qRgb(0, 0, 0));
}
