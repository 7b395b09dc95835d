// End-to-end: the real program plays through the V4L2 provider with a model camera: it lists
// the camera, opens it, discovers its sizes, shows its picture, and the window gets cleaned.
#include <cstdlib>

#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "capture/devices/Registry2.h"
#include "platform/registry/Registry.h"

namespace {

QImage Play(const QTemporaryDir& dir, const QString& model, const QString& freezing, int delayMs,
            QString* errors) {
  const QString shot = dir.filePath("play.png");
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("FROSTWIPE_SCREENSHOT", shot);
  env.insert("FROSTWIPE_SCREENSHOT_DELAY_MS", QString::number(delayMs));
  env.insert("FROSTWIPE_AUTOPLAY", freezing);
  env.insert("FROSTWIPE_DEVICE_PROVIDERS", "v4l2");
  env.insert("FROSTWIPE_V4L2_MODEL", model);
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

// Whether the capture area shows a live picture: many colours, hardly any black.
void ExpectLivePicture(const QImage& window) {
  QSet<QRgb> colours;
  int black = 0;
  for (int y = 40; y < 260; y += 4)
    for (int x = 10; x < 326; x += 4) {
      colours.insert(window.pixel(x, y));
      black += window.pixel(x, y) == qRgb(0, 0, 0);
    }
  EXPECT_GT(colours.size(), 50);
  EXPECT_LT(black, 100);
}

// The size entries the program stored for the device whose key contains `name`.
QStringList StoredSizes(const QTemporaryDir& dir, const QString& name) {
  setenv("FROSTWIPE_REGISTRY", dir.filePath("registry.db").toLocal8Bit().constData(), 1);
  RegCloseStore();
  QStringList sizes;
  const QString devices = RegistryBasePath() + QStringLiteral("Devices\\");
  HKEY key = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, devices.toUtf8().constData(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS)
    return sizes;
  char found[512];
  DWORD size = sizeof found;
  QString device;
  for (DWORD i = 0;
       RegEnumKeyEx(key, i, found, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, size = sizeof found)
    if (QString::fromUtf8(found, size).contains(name)) device = QString::fromUtf8(found, size);
  RegCloseKey(key);
  if (device.isEmpty()) return sizes;
  TRegistry2 reg;
  if (!reg.OpenKey(devices + device, false)) return sizes;
  QString value;
  for (int i = 0; reg.ReadString(QString::asprintf("FMT%.3d", i), value); ++i) sizes << value;
  RegCloseStore();
  return sizes;
}

}  // namespace

// Catches: a real camera's path (listing, opening, format discovery, mmap streaming, the
// converters) that does not get a picture to the game, or a game that cannot be won with it.
TEST(V4l2PlayTest, UsbCameraCleansTheWindow) {
  QTemporaryDir dir;
  QString errors;
  const QImage window = Play(dir, "usb", "0", 28000, &errors);
  ASSERT_FALSE(window.isNull()) << errors.toStdString();
  ExpectLivePicture(window);
  int red = 0;
  for (int y = 0; y < window.height(); ++y)
    for (int x = 352; x < std::min(window.width(), 672); ++x) {
      const QRgb p = window.pixel(x, y);
      red += qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60;
    }
  EXPECT_GT(red, 200) << "no closing message";
  const QStringList sizes = StoredSizes(dir, "USB Camera");
  // A first size above 400 wide makes 352x288 the default entry, as for any camera.
  for (const char* size : {"   352x288", " 640x480", " 320x240", " 160x120", "1280x720"})
    EXPECT_TRUE(sizes.contains(size))
        << size << " not discovered: " << sizes.join('|').toStdString();
}

// Catches: a stepwise NV12 camera with padded rows that shows no picture, or whose sizes are
// not discovered from its range.
TEST(V4l2PlayTest, LaptopCameraShowsItsPicture) {
  QTemporaryDir dir;
  QString errors;
  const QImage window = Play(dir, "laptop", "5", 5000, &errors);
  ASSERT_FALSE(window.isNull()) << errors.toStdString();
  ExpectLivePicture(window);
  const QStringList sizes = StoredSizes(dir, "Integrated Camera");
  for (const char* size : {"   352x288", " 320x240", " 160x120", "1280x720"})
    EXPECT_TRUE(sizes.contains(size))
        << size << " not discovered: " << sizes.join('|').toStdString();
}
