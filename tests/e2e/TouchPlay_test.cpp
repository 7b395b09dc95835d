// End-to-end: the real program on a private X server with no camera but the touch camera; the
// pointer, moved by xdotool, wipes the ice until the window is cleaned.
#include <optional>

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

// A private Xvfb on a display number it chooses itself; stopped with the object.
class PrivateXServer {
 public:
  PrivateXServer() {
    server_.start(QStringLiteral("Xvfb"), {"-displayfd", "1", "-screen", "0", "1024x768x24",
                                           "-nolisten", "tcp", "-noreset"});
    if (!server_.waitForStarted(5000)) return;
    QByteArray number;
    for (int i = 0; i < 100 && !number.contains('\n'); ++i) {
      server_.waitForReadyRead(100);
      number += server_.readAllStandardOutput();
    }
    if (number.contains('\n'))
      display_ = QStringLiteral(":") + QString::fromLatin1(number).trimmed();
  }
  ~PrivateXServer() {
    server_.terminate();
    if (!server_.waitForFinished(5000)) server_.kill();
    server_.waitForFinished(2000);
  }
  QString Display() const { return display_; }

 private:
  QProcess server_;
  QString display_;
};

// Runs xdotool on the display; its output, or nothing on failure.
std::optional<QString> XDo(const QString& display, const QStringList& arguments,
                           int timeoutMs = 30000) {
  QProcess tool;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", display);
  tool.setProcessEnvironment(env);
  tool.start(QStringLiteral("xdotool"), arguments);
  if (!tool.waitForFinished(timeoutMs) || tool.exitCode() != 0) return std::nullopt;
  return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

}  // namespace

// Catches: the touch camera not being the first start's device without a real camera, pointer
// input over the iced window never reaching the device, or strokes that do not wipe.
TEST(TouchPlayTest, ZigZagOverTheIcedWindowCleansIt) {
  if (QStandardPaths::findExecutable("Xvfb").isEmpty() ||
      QStandardPaths::findExecutable("xdotool").isEmpty())
    GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/setup installs them)";
  PrivateXServer x;
  ASSERT_FALSE(x.Display().isEmpty()) << "Xvfb did not start";
  QTemporaryDir dir;
  const QString shot = dir.filePath("touch.png");
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("DISPLAY", x.Display());
  env.insert("QT_QPA_PLATFORM", "xcb");
  env.insert("FROSTWIPE_SCREENSHOT", shot);
  env.insert("FROSTWIPE_SCREENSHOT_DELAY_MS", "14000");
  env.insert("FROSTWIPE_AUTOPLAY", "0");
  env.insert("FROSTWIPE_DEVICE_PROVIDERS", "touch");
  env.insert("FROSTWIPE_REGISTRY", dir.filePath("registry.db"));
  env.insert("XDG_RUNTIME_DIR", dir.path());
  program.setProcessEnvironment(env);
  program.setWorkingDirectory(dir.path());
  program.start(QStringLiteral(FROSTWIPE_EXE), {});
  ASSERT_TRUE(program.waitForStarted(10000));

  const QString window = XDo(x.Display(), {"search", "--sync", "--onlyvisible", "--pid",
                                           QString::number(program.processId())})
                             .value_or(QString())
                             .section('\n', 0, 0);
  ASSERT_FALSE(window.isEmpty()) << "the main window did not appear";
  // The menu bar's height: the window's height less the client area (316) of its description.
  const QString geometry =
      XDo(x.Display(), {"getwindowgeometry", "--shell", window}).value_or(QString());
  const int height = geometry.section("HEIGHT=", 1).section('\n', 0, 0).toInt();
  const int top = std::max(0, height - 316) + 8;
  const int left = 352;
  QThread::msleep(1500);  // Start is pressed 300 ms after start-up; let the stream run

  // A zig-zag over the whole iced window (320x240), the left button held.
  QStringList drag = {"mousemove",          "--window",  window, QString::number(left),
                      QString::number(top), "mousedown", "1"};
  for (int row = 0; row <= 12; ++row) {
    const int y = top + std::min(239, row * 20);
    for (int i = 0; i <= 20; ++i) {
      const int x = left + (row % 2 == 0 ? i * 16 : 320 - i * 16);
      drag << "mousemove"
           << "--window" << window << QString::number(std::min(x, left + 319)) << QString::number(y)
           << "sleep"
           << "0.015";
    }
  }
  drag << "mouseup"
       << "1";
  ASSERT_TRUE(XDo(x.Display(), drag).has_value()) << "xdotool failed";

  ASSERT_TRUE(program.waitForFinished(40000));
  ASSERT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
  const QImage shotImage = QImage(shot).convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(shotImage.isNull());
  // The closing message is written in red over the cleaned picture, and the progress bar
  // (green past half) is drawn at its row.
  int red = 0, green = 0;
  for (int y = 0; y < shotImage.height(); ++y)
    for (int x = left; x < std::min(shotImage.width(), left + 320); ++x) {
      const QRgb p = shotImage.pixel(x, y);
      red += qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
      green += p == qRgb(0, 128, 0);
    }
  EXPECT_GT(red, 200) << "no closing message";
  EXPECT_GT(green, 3 * 90 * 10) << "the progress bar did not rise past 90 percent";
}
