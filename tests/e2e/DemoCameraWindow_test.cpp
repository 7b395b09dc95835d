// End-to-end: a graph from the demo camera to the video renderer shows the scene in a window.
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Catches: a demo camera graph that runs but shows nothing (black or uniform window), or that
// cannot be built from the device list at all.
TEST(DemoCameraWindowTest, OffscreenGrabShowsTheScene) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString shot = dir.filePath("demo.png");
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("FROSTWIPE_DEVICE_PROVIDERS", "demo");
  program.setProcessEnvironment(env);
  program.start(QStringLiteral(FROSTWIPE_DEMO_WINDOW_EXE), {"--grab", shot});
  ASSERT_TRUE(program.waitForFinished(30000));
  ASSERT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
  const QImage grab = QImage(shot).convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(grab.isNull());
  // A living scene has many colours; count coarse ones on a grid.
  QSet<QRgb> colours;
  int reddish = 0;
  for (int y = 0; y < grab.height(); y += 4)
    for (int x = 0; x < grab.width(); x += 4) {
      const QRgb p = grab.pixel(x, y);
      colours.insert(p & 0xF0F0F0);
      if (qRed(p) > 150 && qGreen(p) < 90 && qBlue(p) < 90) ++reddish;
    }
  EXPECT_GT(colours.size(), 60);
  EXPECT_GT(reddish, 100) << "the person in the red jumper is missing";
}
