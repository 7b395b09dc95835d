// The video settings dialog while a game runs: the windows of the program, built as it builds
// them, with the demo camera and a second (scripted) camera. Switching camera and size while
// playing, the camera's own dialogs, and a brightness that is still set after a restart.
#include <cstdlib>
#include <functional>

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include "capture/CaptureCtl.h"
#include "capture/core/CaptureCore.h"
#include "capture/core/SyncManager.h"
#include "capture/graph/DeviceGraph.h"
#include "game/Video_capture_form.h"
#include "platform/media/virtual/ScriptedDevices.h"
#include "platform/registry/Registry.h"
#include "tests/support/PropertyFrameDriver.h"
#include "ui/Video_settings_form.h"

namespace {

// Runs the event loop (with its idle moments, as the program's loop has them) until done() or
// the time is up.
bool RunUntil(const std::function<bool()>& done, int ms = 10000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    QEventLoop loop;
    QTimer::singleShot(10, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return true;
}

VirtualDeviceConfig SecondCamera() {
  VirtualDeviceConfig c;
  c.friendlyName = u"Second Camera";
  c.scene = "demo";
  c.frameRateRule = FrameRateRule::Nearest;
  VideoCapability small;
  small.subtype = MEDIASUBTYPE_RGB24;
  small.width = 176;
  small.height = 144;
  small.framesPerSecond = 30;
  VideoCapability big = small;
  big.width = 640;
  big.height = 360;
  c.capabilities = {small, big};
  c.videoProcAmp = DefaultVideoProcAmp();
  return c;
}

// The program's two windows that matter here, made in the program's order.
struct Program {
  Program() : main(std::make_unique<TVideoCaptureForm>()) {
    settings = std::make_unique<TVideoSetingsForm>();
  }
  ~Program() {
    settings.reset();
    main.reset();
    FinalizeCaptureUnit();
    RegCloseStore();
  }
  TCaptureControl& Control() { return *main->CaptureControl1; }
  long Brightness() {
    TDeviceGraph* graph = Control().Core().Graph();
    long value = -1000, flags = 0;
    if (graph && graph->VideoProcAmp)
      graph->VideoProcAmp->Get(VideoProcAmp_Brightness, &value, &flags);
    return value;
  }
  // Chooses an entry of a dialog's box as a player does.
  static void Choose(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    emit box->activated(index);
  }
  std::unique_ptr<TVideoCaptureForm> main;
  std::unique_ptr<TVideoSetingsForm> settings;
};

class VideoSettingsPlayTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    setenv("FROSTWIPE_REGISTRY", qPrintable(dir_.filePath("registry.db")), 1);
    setenv("FROSTWIPE_DEVICE_PROVIDERS", "demo,scripted", 1);
    // The device lists are made once per process: start from none, as a new program does.
    FinalizeCaptureUnit();
    RegCloseStore();
    oldDir_ = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    ScriptedDevices::Instance()->Clear();
    ASSERT_EQ(ScriptedDevices::Instance()->Add(SecondCamera()), S_OK);
  }
  void TearDown() override {
    ScriptedDevices::Instance()->Clear();
    QDir::setCurrent(oldDir_);
  }
  QTemporaryDir dir_;
  QString oldDir_;
};

}  // namespace

// Catches: a dialog that does not list every camera, a camera or size change that stops the
// game or leaves the engine on the old frame size, camera dialogs that do not open or show no
// controls, and a brightness that the next run of the program forgets.
TEST_F(VideoSettingsPlayTest, SwitchCameraAndSizeWhilePlayingAndKeepTheBrightness) {
  {
    Program p;
    TVideoSetingsForm& s = *p.settings;
    ASSERT_TRUE(RunUntil([&] { return s.VideoSizesComboBox->count() > 0; }));
    p.main->FreezingSpeedTrackBar->setValue(0);
    p.main->StartStopButton->click();
    ASSERT_TRUE(RunUntil([&] { return p.main->CleanedPercent > 0; }))
        << "frames never reached the engine";
    EXPECT_EQ(p.main->FrameWidth, 320);

    // Both cameras are listed; choose the other one while the game runs.
    p.main->MenuVideoOptions->trigger();
    ASSERT_TRUE(s.isVisible());
    QStringList devices;
    for (int i = 0; i < s.VideoDeviceComboBox->count(); ++i)
      devices << s.VideoDeviceComboBox->itemText(i);
    ASSERT_EQ(devices.size(), 2);
    EXPECT_TRUE(devices.contains("Frostwipe Demo Camera (WDM)"))
        << devices.join(", ").toStdString();
    EXPECT_TRUE(devices.contains("Second Camera (WDM)")) << devices.join(", ").toStdString();
    const int second = static_cast<int>(devices.indexOf("Second Camera (WDM)"));
    Program::Choose(s.VideoDeviceComboBox, second);
    EXPECT_EQ(p.Control().VideoDevice(), second);
    EXPECT_EQ(QSize(p.main->FrameWidth, p.main->FrameHeight), QSize(176, 144));
    // Each frame the engine takes sets the cleaned share anew.
    p.main->CleanedPercent = -1;
    ASSERT_TRUE(RunUntil([&] { return p.main->CleanedPercent >= 0; }))
        << "no frames of the second camera reached the engine";
    EXPECT_EQ(p.Control().Core().CaptureState.load(), cs_Previewing);
    EXPECT_EQ(QSize(p.main->FrameWidth, p.main->FrameHeight), QSize(176, 144));
    QStringList sizes;
    for (int i = 0; i < s.VideoSizesComboBox->count(); ++i)
      sizes << s.VideoSizesComboBox->itemText(i);
    EXPECT_TRUE(sizes.contains("640x360")) << sizes.join(", ").toStdString();

    // A size chosen while the game asks for the size nearest 320 x 240 is stored, not used.
    Program::Choose(s.VideoSizesComboBox, static_cast<int>(sizes.indexOf("640x360")));
    EXPECT_EQ(s.VideoSizesComboBox->currentText(), "640x360");
    p.main->CleanedPercent = -1;
    ASSERT_TRUE(RunUntil([&] { return p.main->CleanedPercent >= 0; }));
    EXPECT_EQ(p.Control().Core().CaptureState.load(), cs_Previewing);
    EXPECT_EQ(QSize(p.main->FrameWidth, p.main->FrameHeight), QSize(176, 144));

    // "Device": the camera's image controls, live; the brightness goes up.
    QImage devicePage;
    WhenFrameOpens([&](QDialog* dialog) {
      devicePage = dialog->grab().toImage();
      devicePage.save(dir_.filePath("device-dialog.png"));
      auto* slider = dialog->findChild<QSlider*>("Brightness");
      ASSERT_NE(slider, nullptr);
      EXPECT_TRUE(slider->isVisible());
      EXPECT_LT(slider->minimum(), 0);
      EXPECT_GT(slider->maximum(), 0);
      slider->setValue(50);
      Press(dialog, QDialogButtonBox::Ok);
    });
    s.DeviceButton->click();
    ASSERT_FALSE(devicePage.isNull()) << "the device dialog did not open";
    EXPECT_GT(devicePage.width(), 200);
    EXPECT_EQ(p.Brightness(), 50);
    EXPECT_EQ(p.Control().Core().CaptureState.load(), cs_Previewing);

    // "Stream": the stream format with its formats as text; the game plays on afterwards.
    QImage streamPage;
    QStringList formats;
    WhenFrameOpens([&](QDialog* dialog) {
      streamPage = dialog->grab().toImage();
      streamPage.save(dir_.filePath("stream-dialog.png"));
      auto* box = dialog->findChild<QComboBox*>("Output Size");
      ASSERT_NE(box, nullptr);
      for (int i = 0; i < box->count(); ++i) formats << box->itemText(i);
      EXPECT_NE(dialog->findChild<QDoubleSpinBox*>("Frame Rate"), nullptr);
      Press(dialog, QDialogButtonBox::Cancel);
    });
    s.StreamButton->click();
    ASSERT_FALSE(streamPage.isNull()) << "the stream dialog did not open";
    EXPECT_EQ(formats, (QStringList{"640 x 360", "176 x 144"}));
    EXPECT_EQ(p.Control().Core().CaptureState.load(), cs_Previewing);
    EXPECT_EQ(p.Brightness(), 50) << "the restarted preview lost the brightness";
    s.OKButton->click();
    EXPECT_FALSE(s.isVisible());
  }
  // The next run of the program opens the second camera with the brightness chosen.
  Program again;
  ASSERT_TRUE(RunUntil([&] { return again.settings->VideoSizesComboBox->count() > 0; }));
  again.main->StartStopButton->click();
  ASSERT_TRUE(RunUntil([&] { return again.Control().Core().Graph() != nullptr; }));
  EXPECT_EQ(again.settings->VideoDeviceComboBox->currentText(), "Second Camera (WDM)");
  EXPECT_EQ(again.Brightness(), 50);
}

namespace {

// Runs the real program with the demo camera: it starts a game and saves its window.
QImage PlayShot(const QString& registry, const QString& shot, QString* errors) {
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("FROSTWIPE_SCREENSHOT", shot);
  env.insert("FROSTWIPE_SCREENSHOT_DELAY_MS", "2500");
  env.insert("FROSTWIPE_AUTOPLAY", "5");
  env.insert("FROSTWIPE_DEVICE_PROVIDERS", "demo");
  env.insert("FROSTWIPE_REGISTRY", registry);
  program.setProcessEnvironment(env);
  program.start(QStringLiteral(FROSTWIPE_EXE), {});
  if (!program.waitForFinished(60000)) return {};
  *errors = QString::fromLocal8Bit(program.readAllStandardError());
  if (program.exitCode() != 0) return {};
  return QImage(shot).convertToFormat(QImage::Format_RGB32);
}

// The mean level of the live camera picture in the main window.
double LivePictureLevel(const QImage& window) {
  double sum = 0;
  int n = 0;
  for (int y = 40; y < 260; y += 3)
    for (int x = 10; x < 326; x += 3) {
      const QRgb p = window.pixel(x, y);
      sum += (qRed(p) + qGreen(p) + qBlue(p)) / 3.0;
      ++n;
    }
  return sum / n;
}

}  // namespace

// Catches: a brightness chosen on the camera's page that the next start of the program does
// not apply (the stored value reset to the camera's default).
TEST_F(VideoSettingsPlayTest, BrightnessChosenInTheDialogShowsInTheNextRunOfTheProgram) {
  setenv("FROSTWIPE_DEVICE_PROVIDERS", "demo", 1);
  {
    Program p;
    ASSERT_TRUE(RunUntil([&] { return p.settings->VideoSizesComboBox->count() > 0; }));
    p.main->StartStopButton->click();
    ASSERT_TRUE(RunUntil([&] { return p.Control().Core().Graph() != nullptr; }));
    WhenFrameOpens([&](QDialog* dialog) {
      dialog->findChild<QSlider*>("Brightness")->setValue(70);
      Press(dialog, QDialogButtonBox::Ok);
    });
    p.main->DeviceButton->click();
    ASSERT_EQ(p.Brightness(), 70);
  }
  QString errors;
  const QImage brighter =
      PlayShot(dir_.filePath("registry.db"), dir_.filePath("brighter.png"), &errors);
  ASSERT_FALSE(brighter.isNull()) << errors.toStdString();
  const QImage plain = PlayShot(dir_.filePath("fresh.db"), dir_.filePath("plain.png"), &errors);
  ASSERT_FALSE(plain.isNull()) << errors.toStdString();
  const double level = LivePictureLevel(brighter);
  const double plainLevel = LivePictureLevel(plain);
  EXPECT_GT(level, plainLevel + 25) << level << " vs " << plainLevel;
}
