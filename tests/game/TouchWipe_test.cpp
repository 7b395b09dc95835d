// Wiping by hand with the touch camera: synthetic mouse, pen, touch and key input over the iced
// window, through the real device and the unchanged engine.
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSlider>
#include <QTabletEvent>
#include <QTest>

#include <gtest/gtest.h>

#include "capture/CaptureCtl.h"
#include "game/TouchWipe.h"
#include "game/Video_capture_form.h"
#include "platform/media/TouchInput.h"

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
    setenv("FROSTWIPE_DEVICE_PROVIDERS", "touch", 1);
    form = std::make_unique<TVideoCaptureForm>();
    form->show();
    counter.form = form.get();
    form->CaptureControl1->OnFrameCaptureCompleted = {&counter, &FrameCounter::Frame};
    ASSERT_TRUE(Until([&] { return form->TouchWipe->TouchCameraSelected(); }))
        << "the touch camera is not the first start's device: "
        << VideoDevices().toStdString() << form->CaptureControl1->VideoDevice();
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

  // Starts play at a capture size and mirror setting, with no frost coming back, and ices the
  // window again after the first frame (which wipes everything, as with every camera).
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
    std::fill_n(form->CleanLevels.get(), form->PixelCount, 0);
  }

  bool Cleaned(int x, int y) const {
    return form->CleanLevels[x * form->FrameHeight + y] >= 100;
  }
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
  // A left-button drag along a straight line in steps of 4 pixels.
  void Drag(QPointF from, QPointF to) {
    Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    const int steps = std::max(1, static_cast<int>(QLineF(from, to).length() / 4));
    for (int i = 1; i <= steps; ++i)
      Mouse(QEvent::MouseMove, from + (to - from) * i / steps, Qt::NoButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
  }

  std::unique_ptr<TVideoCaptureForm> form;
  FrameCounter counter;
};

struct Layout {
  int width, height;
  bool mirror;
};

class TouchWipeLayoutTest : public TouchWipeTest, public testing::WithParamInterface<Layout> {};

// Catches: a stroke drawn on the wrong side of the mirror, at the wrong scale for the capture
// size, or a brush far from a finger wide; and wiping far from the pointer.
TEST_P(TouchWipeLayoutTest, DragWipesAFingerWideBandUnderThePointer) {
  const auto [w, h, mirror] = GetParam();
  ASSERT_NO_FATAL_FAILURE(Start(w, h, mirror));
  const QPointF from(0.2 * w, 0.3 * h), to(0.45 * w, 0.3 * h);
  Drag(from, to);
  Frames(6);
  const int mid = static_cast<int>(0.33 * w);
  const auto [first, last] = CleanedRows(mid);
  ASSERT_GE(first, 0) << "nothing wiped under the drag";
  const double finger = FingerPixels();
  EXPECT_NEAR((first + last) / 2.0, 0.3 * h, 3) << "the band is not under the pointer";
  EXPECT_NEAR(last - first + 1, std::min<double>(finger, h), 4) << "the band is not a finger wide";
  // Along the drag: wiped from start to end, not beyond by more than the brush.
  const int y = static_cast<int>(0.3 * h);
  EXPECT_TRUE(Cleaned(static_cast<int>(from.x()) + 2, y) && Cleaned(static_cast<int>(to.x()) - 2, y));
  const int reach = static_cast<int>(finger / 2) + 3;
  EXPECT_EQ(CleanedCount(0, static_cast<int>(from.x()) - reach, 0, h), 0);
  EXPECT_EQ(CleanedCount(static_cast<int>(to.x()) + reach, w, 0, h), 0)
      << "wiped on the mirrored side";
  EXPECT_EQ(CleanedCount(0, w, y + reach, h), 0);
}

INSTANTIATE_TEST_SUITE_P(SizesAndMirror, TouchWipeLayoutTest,
                         testing::Values(Layout{160, 120, true}, Layout{160, 120, false},
                                         Layout{640, 480, true}, Layout{640, 480, false}));

}  // namespace
