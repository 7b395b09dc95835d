// Wiping by hand with the touch camera: synthetic mouse, pen, touch and key input over the iced
// window, through the real device and the unchanged engine.
#include "game/TouchWipe.h"

#include <cstdio>
#include <ostream>

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSlider>
#include <QTabletEvent>
#include <QTest>

#include <gtest/gtest.h>

#include "capture/CaptureCtl.h"
#include "capture/core/SyncManager.h"
#include "game/Video_capture_form.h"
#include "platform/media/TouchInput.h"
#include "platform/media/virtual/TouchScene.h"

namespace {

// Counts the frames the engine takes and hands each on to it.
struct FrameCounter {
  TVideoCaptureForm* form = nullptr;
  int frames = 0;
  void Frame(TObject* sender, const TFrameData& data, TFrameCaptureDest dest, const QString& file,
             bool success) {
    ++frames;
    form->CaptureControl1FrameCaptureCompleted(sender, data, dest, file, success);
  }
};

class TouchWipeTest : public testing::Test {
 protected:
  void SetUp() override {
    setenv("FROSTWIPE_DEVICE_PROVIDERS", "touch,demo", 1);
    FinalizeCaptureUnit();  // the device lists of an earlier test in this process
    form = std::make_unique<TVideoCaptureForm>();
    form->show();
    counter.form = form.get();
    form->CaptureControl1->OnFrameCaptureCompleted = {&counter, &FrameCounter::Frame};
    ASSERT_TRUE(Until([&] { return form->TouchWipe->TouchCameraSelected(); }))
        << "the touch camera is not the first start's device: " << VideoDevices().toStdString()
        << form->CaptureControl1->VideoDevice();
  }
  void TearDown() override { form.reset(); }

  static bool Until(const std::function<bool()>& done, int ms = 8000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) QTest::qWait(5);
    return done();
  }
  void Frames(int n) {
    const int until = counter.frames + n;
    ASSERT_TRUE(Until([&] { return counter.frames >= until; })) << "frames stopped";
  }

  // Starts play at a capture size and mirror setting, with no frost coming back.
  void Start(int width, int height, bool mirror) {
    form->CaptureControl1->UseNearestVideoSize(width, height, true);
    form->CaptureControl1->SetVideoProcessing_FlipHorizontal(mirror);
    form->FreezingSpeedTrackBar->setValue(0);
    form->StartStopButtonClick();
    Frames(1);
    form->InitGameBuffers();
    ASSERT_EQ(form->FrameWidth, width);
    ASSERT_EQ(form->FrameHeight, height);
    Frames(2);
    // The calm picture alone, its first frame included, wipes nothing.
    ASSERT_EQ(CleanedCount(0, width, 0, height), 0);
  }

  bool Cleaned(int x, int y) const { return form->CleanLevels[x * form->FrameHeight + y] >= 100; }
  // The cleaned rows of one column: first and last, or -1 if none.
  std::pair<int, int> CleanedRows(int x) const {
    int first = -1, last = -1;
    for (int y = 0; y < form->FrameHeight; ++y)
      if (Cleaned(x, y)) {
        if (first < 0) first = y;
        last = y;
      }
    return {first, last};
  }
  int CleanedCount(int x0, int x1, int y0, int y1) const {
    int n = 0;
    for (int x = std::max(0, x0); x < std::min(x1, form->FrameWidth); ++x)
      for (int y = std::max(0, y0); y < std::min(y1, form->FrameHeight); ++y) n += Cleaned(x, y);
    return n;
  }
  double FingerPixels() const {
    return TTouchWipe::kFingerMillimetres / 25.4 * form->OutputImage->logicalDpiX();
  }

  void Mouse(QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent event(type, at, form->OutputImage->mapToGlobal(at), button, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(form->OutputImage, &event);
  }
  // A left-button drag along a straight line in steps of 4 pixels, spread over several frames as
  // a hand's would be, so a slow machine neither drops the strokes as stale nor lets the engine
  // skip past them.
  void Drag(QPointF from, QPointF to) {
    Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    const int steps = std::max(1, static_cast<int>(QLineF(from, to).length() / 4));
    for (int i = 1; i <= steps; ++i) {
      Mouse(QEvent::MouseMove, from + (to - from) * i / steps, Qt::NoButton, Qt::LeftButton);
      if (i % 8 == 0 && !form->Stopped) Frames(1);
    }
    Mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  }

  std::unique_ptr<TVideoCaptureForm> form;
  FrameCounter counter;
};

struct Layout {
  int width, height;
  bool mirror;
  friend void PrintTo(const Layout& l, std::ostream* os) {
    *os << l.width << "x" << l.height << (l.mirror ? " mirrored" : " unmirrored");
  }
};

class TouchWipeLayoutTest : public TouchWipeTest, public testing::WithParamInterface<Layout> {};

// Catches: a stroke drawn on the wrong side of the mirror, at the wrong scale for the capture
// size, or a brush far from a finger wide; and wiping far from the pointer.
TEST_P(TouchWipeLayoutTest, DragWipesAFingerWideBandUnderThePointer) {
  const auto [w, h, mirror] = GetParam();
  ASSERT_NO_FATAL_FAILURE(Start(w, h, mirror));
  const QPointF from(0.2 * w, 0.3 * h), to(0.45 * w, 0.3 * h);
  const int mid = static_cast<int>(0.33 * w);
  const int y = static_cast<int>(0.3 * h);
  // A slow machine's engine may skip some strokes' frames; like a player, wipe again.
  for (int pass = 0; pass < 4; ++pass) {
    Drag(pass % 2 ? to : from, pass % 2 ? from : to);
    Frames(TouchScene::kLife + 1);
    if (Cleaned(static_cast<int>(from.x()) + 2, y) && Cleaned(static_cast<int>(to.x()) - 2, y) &&
        CleanedRows(mid).first >= 0)
      break;
  }
  const auto [first, last] = CleanedRows(mid);
  ASSERT_GE(first, 0) << "nothing wiped under the drag";
  const double finger = FingerPixels();
  EXPECT_NEAR((first + last) / 2.0, 0.3 * h, 3) << "the band is not under the pointer";
  EXPECT_NEAR(last - first + 1, std::min<double>(finger, h), 4) << "the band is not a finger wide";
  // Along the drag: wiped from start to end, not beyond by more than the brush.
  EXPECT_TRUE(Cleaned(static_cast<int>(from.x()) + 2, y) &&
              Cleaned(static_cast<int>(to.x()) - 2, y));
  const int reach = static_cast<int>(finger / 2) + 3;
  EXPECT_EQ(CleanedCount(0, static_cast<int>(from.x()) - reach, 0, h), 0);
  EXPECT_EQ(CleanedCount(static_cast<int>(to.x()) + reach, w, 0, h), 0)
      << "wiped on the mirrored side";
  EXPECT_EQ(CleanedCount(0, w, y + reach, h), 0);
}

INSTANTIATE_TEST_SUITE_P(SizesAndMirror, TouchWipeLayoutTest,
                         testing::Values(Layout{160, 120, true}, Layout{160, 120, false},
                                         Layout{640, 480, true}, Layout{640, 480, false}));

// Catches: touch points other than the first dropped, a pen ignored, or wiping away from every
// pointer.
TEST_F(TouchWipeTest, TwoFingersAndAPenEachWipeUnderThemselves) {
  ASSERT_NO_FATAL_FAILURE(Start(320, 240, true));
  QPointingDevice* screen = QTest::createTouchDevice();
  QTest::touchEvent(form->OutputImage, screen).press(0, {40, 40}).press(1, {40, 200});
  for (int x = 48; x <= 120; x += 8)
    QTest::touchEvent(form->OutputImage, screen).move(0, {x, 40}).move(1, {x, 200});
  QTest::touchEvent(form->OutputImage, screen).release(0, {120, 40}).release(1, {120, 200});
  QPointingDevice pen(
      "pen", 77, QInputDevice::DeviceType::Stylus, QPointingDevice::PointerType::Pen,
      QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 0);
  auto tablet = [&](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
    QTabletEvent event(type, &pen, at, form->OutputImage->mapToGlobal(at), 0.8, 0, 0, 0, 0, 0,
                       Qt::NoModifier, Qt::LeftButton, buttons);
    QCoreApplication::sendEvent(form->OutputImage, &event);
  };
  tablet(QEvent::TabletPress, {240, 60}, Qt::LeftButton);
  for (int y = 68; y <= 180; y += 8) tablet(QEvent::TabletMove, {240, double(y)}, Qt::LeftButton);
  tablet(QEvent::TabletRelease, {240, 180}, Qt::NoButton);
  Frames(6);
  for (const auto& [x, y] : {std::pair{80, 40}, std::pair{80, 200}, std::pair{240, 120}}) {
    SCOPED_TRACE(testing::Message() << x << "," << y);
    EXPECT_TRUE(Cleaned(x, y));
  }
  EXPECT_EQ(CleanedCount(150, 210, 80, 170), 0) << "wiped where no pointer went";
  EXPECT_EQ(CleanedCount(275, 320, 0, 240), 0) << "wiped where no pointer went";
}

// Catches: a pointer held still that goes on wiping (the picture must stop changing once its
// last stroke is gone), and input while stopped replayed when play starts again.
TEST_F(TouchWipeTest, StillPointerAndStoppedPlayWipeNothing) {
  ASSERT_NO_FATAL_FAILURE(Start(320, 240, true));
  Mouse(QEvent::MouseButtonPress, {100, 100}, Qt::LeftButton, Qt::LeftButton);
  Mouse(QEvent::MouseMove, {160, 100}, Qt::NoButton, Qt::LeftButton);
  Frames(TouchScene::kLife + 2);
  const std::vector<int> held(form->CleanLevels.get(), form->CleanLevels.get() + form->PixelCount);
  EXPECT_GT(CleanedCount(0, 320, 0, 240), 0);
  Frames(8);  // the button stays down, the mouse still
  EXPECT_TRUE(std::equal(held.begin(), held.end(), form->CleanLevels.get()))
      << "a still pointer went on wiping";
  Mouse(QEvent::MouseButtonRelease, {160, 100}, Qt::LeftButton, Qt::NoButton);

  form->StartStopButtonClick();  // Stop
  Drag({20, 200}, {300, 200});
  form->StartStopButtonClick();  // Start
  Frames(6);
  EXPECT_EQ(CleanedCount(0, 320, 170, 240), 0) << "input made while stopped wiped after Start";
}

// Catches: unbounded memory or a stalled stream under a flood of input, and a crash when the
// window is minimised or resized or the device changes under a drag.
TEST_F(TouchWipeTest, FloodAndDeviceSwitchUnderInput) {
  ASSERT_NO_FATAL_FAILURE(Start(320, 240, true));
  auto residentKb = [] {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
      if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
      std::fclose(f);
    }
    return resident * 4;
  };
  const long before = residentKb();
  const int startFrames = counter.frames;
  Mouse(QEvent::MouseButtonPress, {0, 0}, Qt::LeftButton, Qt::LeftButton);
  QElapsedTimer timer;
  timer.start();
  for (int i = 0; i < 100000; ++i) {
    Mouse(QEvent::MouseMove, {double(i * 37 % 320), double(i * 91 % 240)}, Qt::NoButton,
          Qt::LeftButton);
    if (i % 5000 == 0) QCoreApplication::processEvents();
  }
  Mouse(QEvent::MouseButtonRelease, {0, 0}, Qt::LeftButton, Qt::NoButton);
  const qint64 floodMs = timer.elapsed();
  Frames(3);
  EXPECT_GT(counter.frames - startFrames, 3);
#ifdef __SANITIZE_ADDRESS__
  constexpr long kGrowthKb = 160 * 1024;  // AddressSanitizer's quarantine holds freed events
#else
  constexpr long kGrowthKb = 32 * 1024;
#endif
  EXPECT_LT(residentKb() - before, kGrowthKb) << "memory grew with the input";
  std::vector<TouchPoint> all;
  std::uint64_t cursor = 0;
  EXPECT_GT(TouchInput::Instance().Read(&cursor, &all), 0u);
  EXPECT_LE(all.size(), TouchInput::kCapacity);
  RecordProperty("flood_ms", static_cast<int>(floodMs));

  // A drag while the window is minimised and while it is resized.
  Mouse(QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton);
  form->showMinimized();
  for (int x = 50; x < 250; x += 5)
    Mouse(QEvent::MouseMove, {double(x), 60}, Qt::NoButton, Qt::LeftButton);
  Frames(2);
  form->showNormal();
  form->resize(form->width() / 2, form->height() / 2);
  for (int x = 250; x > 50; x -= 5)
    Mouse(QEvent::MouseMove, {double(x), 70}, Qt::NoButton, Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, {50, 70}, Qt::LeftButton, Qt::NoButton);
  Frames(2);

  // Switch to the demo camera and back in the middle of a drag.
  Mouse(QEvent::MouseButtonPress, {50, 50}, Qt::LeftButton, Qt::LeftButton);
  form->CaptureControl1->SetVideoDevice(1);
  for (int x = 50; x < 250; x += 5)
    Mouse(QEvent::MouseMove, {double(x), 50}, Qt::NoButton, Qt::LeftButton);
  Frames(3);
  EXPECT_FALSE(form->TouchWipe->TouchCameraSelected());
  EXPECT_EQ(form->OutputImage->cursor().shape(), Qt::ArrowCursor);
  EXPECT_TRUE(form->OutputImage->toolTip().isEmpty());
  form->CaptureControl1->SetVideoDevice(0);
  for (int x = 250; x > 50; x -= 5)
    Mouse(QEvent::MouseMove, {double(x), 80}, Qt::NoButton, Qt::LeftButton);
  Mouse(QEvent::MouseButtonRelease, {50, 80}, Qt::LeftButton, Qt::NoButton);
  Frames(3);
  EXPECT_TRUE(form->TouchWipe->TouchCameraSelected());
  EXPECT_EQ(form->OutputImage->cursor().shape(), Qt::BitmapCursor);
  EXPECT_EQ(form->OutputImage->toolTip(),
            QStringLiteral("Wipe the window with your finger or the mouse"));
}

// Catches: keyboard players unable to wipe (arrows must move the brush, Space start and stop
// it) or a brush that wipes while switched off; and the keys left unannounced.
TEST_F(TouchWipeTest, KeyboardBrushWipesWhileSwitchedOn) {
  ASSERT_NO_FATAL_FAILURE(Start(320, 240, true));
  EXPECT_TRUE(form->OutputImage->accessibleDescription().contains(QStringLiteral("Space")));
  form->OutputImage->setFocus();
  QTest::keyClick(form->OutputImage, Qt::Key_Up);  // off: moves only, from the centre
  QTest::keyClick(form->OutputImage, Qt::Key_Space);
  for (int i = 0; i < 5; ++i) QTest::keyClick(form->OutputImage, Qt::Key_Right);
  QTest::keyClick(form->OutputImage, Qt::Key_Space);
  for (int i = 0; i < 4; ++i) QTest::keyClick(form->OutputImage, Qt::Key_Down);
  Frames(6);
  // The brush went from (160, 120 - 0.04 * 320) to 5 steps of 12.8 pixels right.
  EXPECT_TRUE(Cleaned(170, 107) && Cleaned(215, 107));
  EXPECT_EQ(CleanedCount(0, 320, 160, 240), 0) << "the brush wiped while switched off";
}

}  // namespace
