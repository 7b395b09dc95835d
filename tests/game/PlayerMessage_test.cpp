// What the player is told in the main window, with the demo, touch and scripted cameras.
#include "game/PlayerMessage.h"

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "capture/CaptureCtl.h"
#include "capture/core/SyncManager.h"
#include "game/TouchWipe.h"
#include "game/Video_capture_form.h"
#include "platform/com/Result.h"
#include "platform/media/DeviceEnumerator.h"
#include "platform/media/v4l2/V4l2Provider.h"
#include "platform/media/v4l2/model/V4l2Model.h"
#include "platform/media/virtual/ScriptedDevices.h"
#include "platform/registry/Registry.h"
#include "platform/toolkit/Dialogs.h"
#include "platform/toolkit/PlayerMessageHook.h"

namespace {

bool Until(const std::function<bool()>& done, int ms = 6000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < ms) QTest::qWait(10);
  return done();
}

// A scripted camera that cannot be opened with the given answer (S_OK: a working camera).
VirtualDeviceConfig Camera(const char16_t* name, HRESULT openResult) {
  VirtualDeviceConfig c;
  c.friendlyName = name;
  c.scene = "pattern";
  c.frameRateRule = FrameRateRule::Nearest;
  VideoCapability cap;
  cap.subtype = MEDIASUBTYPE_RGB24;
  cap.width = 320;
  cap.height = 240;
  c.capabilities = {cap};
  c.failures.createResult = openResult;
  return c;
}

struct Case {
  const char* name;
  const char* providers;
  HRESULT openResult;   // what the scripted camera answers when opened
  bool realCamera;      // a scripted camera; with "v4l2", a model camera closed to this user
  const char* stopped;  // what the strip says before Start
  const char* playing;  // and after it ("" nothing)
};

}  // namespace

// Catches: the player left without a word in the window (only a message box or standard error)
// before Start, with the demo or touch camera, with no camera, or with a camera that is in use
// elsewhere, closed to this user or missing; a strip that leaves the camera area or sits under
// the live picture.
TEST(PlayerMessageTest, TellsWhatToDoAndWhatWentWrongInTheWindow) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  setenv("FROSTWIPE_REGISTRY", qPrintable(dir.filePath("registry.db")), 1);
  RegCloseStore();
  const std::shared_ptr<DeviceProvider> realV4l2 = DeviceProviderRegistry::Instance().Find("v4l2");
  int boxes = 0;
  SetMessageBoxHook([&](const QString&, const QString&) { return ++boxes, IDOK; });
  const Case cases[] = {
      {"demo", "demo", S_OK, false, "Press Start: the demo camera's moving picture wipes the ice.",
       "Demo camera: no real camera is in use."},
      {"touch", "touch", S_OK, false,
       "Press Start, then wipe the window with your finger or the mouse.",
       "Wipe the window with your finger or the mouse"},
      {"camera", "scripted", S_OK, true,
       "Press Start, then wave your hands in front of the camera.", ""},
      {"busy", "scripted", MakeFailure(0x800700AA), true,
       "Press Start, then wave your hands in front of the camera.",
       "The camera is in use by another program. Close that program, then press Start again."},
      {"no permission", "scripted", E_ACCESSDENIED, true,
       "Press Start, then wave your hands in front of the camera.",
       "Frostwipe may not use the camera. Ask whoever looks after this computer to give you "
       "access to the camera (the \"video\" group), then log in again."},
      {"camera closed to this user", "v4l2,demo", S_OK, true,
       "A camera is connected, but Frostwipe may not use it. Ask whoever looks after this "
       "computer to give you access to the camera (the \"video\" group), then log in again.",
       "Demo camera: no real camera is in use."},
      {"no camera", "scripted", S_OK, false,
       "No camera was found. Connect a webcam, then press Start.",
       "No camera was found. Connect a webcam, then press Start."},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    setenv("FROSTWIPE_DEVICE_PROVIDERS", k.providers, 1);
    ScriptedDevices::Instance()->Clear();
    FinalizeCaptureUnit();  // the device lists of the case before
    const bool v4l2 = std::string(k.providers).starts_with("v4l2");
    auto model = std::make_shared<V4l2Model>();
    if (k.realCamera && v4l2)
      model->SetDenied(model->Plug(UsbCameraSpec()), true);
    else if (k.realCamera)
      ScriptedDevices::Instance()->Add(Camera(u"Webcam", k.openResult));
    DeviceProviderRegistry::Instance().Register("v4l2", std::make_shared<V4l2Provider>(model));
    std::unique_ptr<TVideoCaptureForm> owner = std::make_unique<TVideoCaptureForm>();
    TVideoCaptureForm& form = *owner;
    form.show();
    QLabel* strip = form.PlayerMessage->Label();
    EXPECT_TRUE(Until([&] { return form.PlayerMessage->Text() == k.stopped; }))
        << form.PlayerMessage->Text().toStdString();

    form.StartStopButtonClick();
    if (*k.playing) {
      EXPECT_TRUE(Until([&] { return form.PlayerMessage->Text() == k.playing; }))
          << form.PlayerMessage->Text().toStdString();
      EXPECT_TRUE(form.CaptureControl1->contentsRect().contains(strip->geometry()));
      EXPECT_EQ(strip->accessibleName(), k.playing);
    } else {
      QTest::qWait(300);
      EXPECT_EQ(form.PlayerMessage->Text(), QString()) << "a message over a working camera";
    }
    const auto above = form.CaptureControl1->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    EXPECT_EQ(above.last(), strip) << "the strip lies under the picture";

    // A problem stays after Stop and goes with the next Start, whose failure says it again.
    const bool failing = FAILED(k.openResult);
    form.StartStopButtonClick();
    EXPECT_EQ(form.PlayerMessage->Text(), failing ? k.playing : k.stopped);
    form.StartStopButtonClick();
    if (failing) {
      EXPECT_EQ(form.PlayerMessage->Text(), QString());
      EXPECT_TRUE(Until([&] { return form.PlayerMessage->Text() == k.playing; }));
    }
    form.StartStopButtonClick();
    owner.reset();
    model->StopWatching();
  }
  {
    SCOPED_TRACE("raised below the capture layer (a camera the desktop refused)");
    setenv("FROSTWIPE_DEVICE_PROVIDERS", "demo", 1);
    FinalizeCaptureUnit();
    TVideoCaptureForm form;
    form.show();
    const QString denied = QStringLiteral("Access to the camera was denied.");
    PlatformPlayerMessage(denied);
    EXPECT_TRUE(Until([&] { return form.PlayerMessage->Text() == denied; }))
        << form.PlayerMessage->Text().toStdString();
  }
  EXPECT_EQ(boxes, 0) << "a message went to a box instead of the window";
  DeviceProviderRegistry::Instance().Register("v4l2", realV4l2);
  SetMessageBoxHook({});
  ScriptedDevices::Instance()->Clear();
  FinalizeCaptureUnit();
}

// Catches: the strip painting a remembered picture that differs from what its label draws, or
// one kept after the text or the size changed, or blended into the window at the wrong place.
TEST(PlayerMessageTest, StripPaintsWhatItsLabelDrawsAfterEveryChange) {
  TVideoCaptureForm form;
  form.show();
  QLabel* strip = form.PlayerMessage->Label();
  QLabel plain(form.CaptureControl1);  // the strip's style, font and palette, drawn directly
  plain.hide();
  plain.setStyleSheet(strip->styleSheet());
  plain.setWordWrap(true);
  plain.setAlignment(strip->alignment());
  for (const QString& text :
       {QStringLiteral("Short words."), QStringLiteral("Other words."),
        QStringLiteral("A longer message that wraps over two lines of the strip at the least.")}) {
    SCOPED_TRACE(text.toStdString());
    form.PlayerMessage->ShowProblem(text);
    plain.setText(text);
    plain.resize(strip->size());
    const QImage shown = strip->grab().toImage();
    EXPECT_EQ(shown, plain.grab().toImage());
    int light = 0;
    for (int y = 0; y < shown.height(); ++y)
      for (int x = 0; x < shown.width(); ++x) light += qGray(shown.pixel(x, y)) > 200;
    EXPECT_GT(light, 10) << "no text drawn";
  }
  // In the window's backing store the strip is blended straight over what lies under it: the
  // same as a painter draws it there, at the strip's place.
  QWidget* window = strip->window();
  auto store = [&](const QRect& rect) {
    return QGuiApplication::primaryScreen()->grabWindow(window->winId()).toImage().copy(rect);
  };
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
  const QRect place(strip->mapTo(window, QPoint()), strip->size());
  strip->hide();
  window->repaint();
  QImage expected = store(place).convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QPainter(&expected).drawImage(0, 0, strip->grab().toImage());
  strip->show();
  window->repaint();
  const QImage blended = store(place);
  ASSERT_EQ(blended.size(), place.size());
  ASSERT_EQ(expected.size(), place.size());
  int off = 0;
  for (int y = 0; y < blended.height(); ++y)
    for (int x = 0; x < blended.width(); ++x) {
      const QRgb a = blended.pixel(x, y), b = expected.pixel(x, y);
      off += std::abs(qRed(a) - qRed(b)) > 1 || std::abs(qGreen(a) - qGreen(b)) > 1 ||
             std::abs(qBlue(a) - qBlue(b)) > 1;
    }
  EXPECT_EQ(off, 0) << "pixels differing by more than rounding";
}
