// End-to-end: the real program plays a PipeWire camera of a private daemon: it lists the
// camera (also in --list-cameras), streams it, and the window gets cleaned.
#include <memory>

#include <QCoreApplication>
#include <QEventLoop>
#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include "../platform/media/pipewire/FakeCameraPortal.h"
#include "../platform/media/pipewire/PrivatePipeWire.h"

namespace {

class PipeWirePlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pipewire_.Start()) << "the private PipeWire did not start";
    ASSERT_TRUE(camera_.Start({"--name", "e2e-cam", "--description", "Living Room Cam", "--speed",
                               "64", "YUY2:320x240@30", "YUY2:640x480@30"}));
  }
  void TearDown() override {
    camera_.Stop();
    EXPECT_TRUE(pipewire_.Stop()) << "a private PipeWire process did not stop by itself";
  }

  QProcessEnvironment Environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("FROSTWIPE_DEVICE_PROVIDERS", "pipewire");
    env.insert("FROSTWIPE_REGISTRY", dir_.filePath("registry.db"));
    env.insert("XDG_RUNTIME_DIR", dir_.path());
    env.insert("PIPEWIRE_RUNTIME_DIR", QString::fromStdString(pipewire_.Dir()));
    env.remove("PIPEWIRE_REMOTE");
    return env;
  }

  QTemporaryDir dir_;
  PrivatePipeWire pipewire_;
  TestCamera camera_{pipewire_};
};

// Catches: --list-cameras leaving out PipeWire cameras, their formats or their mark, directly or
// through the camera portal (whose answer comes through the event loop).
TEST_F(PipeWirePlayTest, ListCamerasShowsThePipeWireCamera) {
  static int argc = 1;
  static char name[] = "e2e_tests";
  static char* argv[] = {name, nullptr};
  std::unique_ptr<QCoreApplication> app;
  if (!QCoreApplication::instance()) app = std::make_unique<QCoreApplication>(argc, argv);
  for (const bool portal : {false, true}) {
    SCOPED_TRACE(portal ? "through the camera portal" : "directly");
    QProcessEnvironment env = Environment();
    env.insert("FROSTWIPE_CAMERA_PORTAL", portal ? "1" : "0");
    std::unique_ptr<FakeCameraPortal> fake;
    if (portal) {
      const std::string bus = "unix:path=" + pipewire_.Dir() + "/bus";
      fake = std::make_unique<FakeCameraPortal>(bus, pipewire_.Dir() + "/pipewire-0", true);
      ASSERT_TRUE(fake->Registered());
      env.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromStdString(bus));
      // Only the remote the portal hands out reaches the daemon.
      env.insert("PIPEWIRE_RUNTIME_DIR", dir_.filePath("no-daemon"));
    }
    QProcess program;
    program.setProcessEnvironment(env);
    QEventLoop loop;  // the fake portal answers from it
    QObject::connect(&program, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    program.start(QStringLiteral(FROSTWIPE_EXE), {"--list-cameras"});
    loop.exec();
    ASSERT_EQ(program.state(), QProcess::NotRunning);
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    EXPECT_EQ(program.exitCode(), 0);
    for (const char* line : {"Living Room Cam (PipeWire)\n", "  node: e2e-cam\n",
                             "    YUY2 320x240: 30 fps\n", "    YUY2 640x480: 30 fps\n"})
      EXPECT_TRUE(out.contains(line)) << line << " missing from:\n" << out.toStdString();
    if (fake) {
      EXPECT_EQ(fake->remotesHandedOut, 1);
    }
  }
}

// Catches: a PipeWire camera whose picture does not reach the game, or a game that cannot be
// won with it.
TEST_F(PipeWirePlayTest, CameraCleansTheWindow) {
  const QString shot = dir_.filePath("play.png");
  QProcessEnvironment env = Environment();
  env.insert("FROSTWIPE_SCREENSHOT", shot);
  env.insert("FROSTWIPE_SCREENSHOT_DELAY_MS", "28000");
  env.insert("FROSTWIPE_AUTOPLAY", "0");
  QProcess program;
  program.setProcessEnvironment(env);
  program.setWorkingDirectory(dir_.path());
  program.start(QStringLiteral(FROSTWIPE_EXE), {});
  ASSERT_TRUE(program.waitForFinished(90000));
  const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
  ASSERT_EQ(program.exitCode(), 0) << errors.toStdString();
  const QImage window = QImage(shot).convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(window.isNull()) << errors.toStdString();
  QSet<QRgb> colours;
  for (int y = 40; y < 260; y += 4)
    for (int x = 10; x < 326; x += 4) colours.insert(window.pixel(x, y));
  EXPECT_GT(colours.size(), 50) << "no camera picture";
  int red = 0;
  for (int y = 0; y < window.height(); ++y)
    for (int x = 352; x < std::min(window.width(), 672); ++x) {
      const QRgb p = window.pixel(x, y);
      red += qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
    }
  EXPECT_GT(red, 200) << "no closing message\n" << errors.toStdString();
}

}  // namespace
