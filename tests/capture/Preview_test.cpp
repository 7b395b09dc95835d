// Tests of the preview graph with scripted devices: frames reaching the handler, back-pressure,
// the mirror, device loss, refused formats and failing devices, stopping with frames in flight.
#include <functional>

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTest>

#include "capture/devices/DeviceList.h"
#include "capture/display/FrameDC.h"
#include "capture/graph/DeviceGraph.h"
#include "platform/media/virtual/ScriptedDevices.h"
#include "tests/capture/TestSupport.h"

namespace {

VirtualDeviceConfig PatternCamera(std::u16string name) {
  VirtualDeviceConfig c;
  c.friendlyName = std::move(name);
  VideoCapability cap;
  cap.subtype = MEDIASUBTYPE_YUY2;
  cap.width = 160;
  cap.height = 120;
  cap.framesPerSecond = 60;
  c.capabilities = {cap};
  return c;
}

struct Frames {
  std::vector<QImage> images;
  std::vector<int> numbers;
  std::vector<QString> logs;
  int sleepMs = 0;
  void Frame(TObject*, const TFrameData& data, TFrameCaptureDest, const QString&, bool) {
    if (data.Bitmap) images.push_back(data.Bitmap->Image().copy());
    numbers.push_back(data.FrameNumber);
    if (sleepMs) QThread::msleep(static_cast<unsigned long>(sleepMs));
  }
  void Log(TObject*, TLogType, const QString&, const QString& text) { logs.push_back(text); }
  bool Logged(const QString& text) const {
    return std::find(logs.begin(), logs.end(), text) != logs.end();
  }
};

class PreviewTest : public CaptureTest {
 protected:
  void SetUp() override {
    CaptureTest::SetUp();
    setenv("FROSTWIPE_DEVICE_PROVIDERS", "scripted", 1);
    ScriptedDevices::Instance()->Clear();
  }
  void TearDown() override {
    control_.reset();
    ScriptedDevices::Instance()->Clear();
    CaptureTest::TearDown();
  }
  std::u16string Add(VirtualDeviceConfig config) {
    std::u16string name;
    EXPECT_EQ(ScriptedDevices::Instance()->Add(std::move(config), true, &name), S_OK);
    return name;
  }
  // A control as the game sets it up: endless burst, handler attached; prepare runs before the
  // start.
  TCaptureControl& Start(bool expectStarted = true,
                         const std::function<void(TCaptureControl&)>& prepare = {}) {
    control_ = MakeControl();
    if (prepare) prepare(*control_);
    control_->OnFrameCaptureCompleted = {&frames_, &Frames::Frame};
    control_->OnLog = {&frames_, &Frames::Log};
    control_->SetBurstCount(0);
    control_->SetBurstInterval(0);
    EXPECT_EQ(control_->StartPreview(), expectStarted);
    control_->SetBurstMode(true);
    control_->CaptureFrameTo(fc_TBitmap, QString());
    return *control_;
  }
  bool WaitFrames(std::size_t n, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (frames_.numbers.size() < n && t.elapsed() < ms) QTest::qWait(5);
    return frames_.numbers.size() >= n;
  }
  std::unique_ptr<TCaptureControl> control_;
  Frames frames_;
};

// The colours of the middle row, left to right.
std::vector<QRgb> MiddleRow(const QImage& image) {
  std::vector<QRgb> row;
  for (int x = 0; x < image.width(); ++x) row.push_back(image.pixel(x, image.height() / 2));
  return row;
}

}  // namespace

// Catches: a preview that does not start, frames that never reach the handler, or frames of
// the wrong size; Stop that leaves frames flowing.
TEST_F(PreviewTest, FramesReachTheHandlerUntilStop) {
  Add(PatternCamera(u"Cam"));
  TCaptureControl& c = Start();
  EXPECT_EQ(c.Core().CaptureState.load(), cs_Previewing);
  ASSERT_TRUE(WaitFrames(5));
  EXPECT_EQ(frames_.images.front().size(), QSize(160, 120));
  for (std::size_t i = 1; i < frames_.numbers.size(); ++i)
    EXPECT_GT(frames_.numbers[i], frames_.numbers[i - 1]);
  c.StopPreview();
  EXPECT_EQ(c.Core().CaptureState.load(), cs_Idle);
  const std::size_t after = frames_.numbers.size();
  QTest::qWait(200);
  EXPECT_EQ(frames_.numbers.size(), after);
  // Start works again.
  EXPECT_TRUE(c.StartPreview());
  c.CaptureFrameTo(fc_TBitmap, QString());
  EXPECT_TRUE(WaitFrames(after + 3));
}

// Catches: a slow handler that makes the control queue frames instead of skipping them.
TEST_F(PreviewTest, SlowHandlerSkipsFrames) {
  Add(PatternCamera(u"Cam"));
  frames_.sleepMs = 60;  // four frame periods at 60 frames per second
  Start();
  ASSERT_TRUE(WaitFrames(6));
  int skipped = 0;
  for (std::size_t i = 1; i < frames_.numbers.size(); ++i)
    skipped += frames_.numbers[i] - frames_.numbers[i - 1] - 1;
  EXPECT_GT(skipped, 0) << "frames arriving while one waits are not taken";
  EXPECT_LE(frames_.numbers.size(), 12u);
}

// Catches: the mirror applied to the preview but not to the frames (or not at all), or needing
// a restart.
TEST_F(PreviewTest, MirrorReachesTheFramesWithoutRestart) {
  Add(PatternCamera(u"Cam"));
  TCaptureControl& c = Start();
  ASSERT_TRUE(WaitFrames(2));
  const std::vector<QRgb> plain = MiddleRow(frames_.images.back());
  c.SetVideoProcessing_FlipHorizontal(true);
  const std::size_t n = frames_.numbers.size();
  ASSERT_TRUE(WaitFrames(n + 3));
  std::vector<QRgb> mirrored = MiddleRow(frames_.images.back());
  std::reverse(mirrored.begin(), mirrored.end());
  EXPECT_EQ(mirrored, plain);
  EXPECT_NE(MiddleRow(frames_.images.back()), plain) << "the pattern is not symmetric";
  EXPECT_EQ(c.Core().CaptureState.load(), cs_Previewing);
}

// Catches: a device lost mid-stream that hangs, crashes or leaves the control previewing.
TEST_F(PreviewTest, DeviceLostLeavesIdleAndStartWorksAgain) {
  const std::u16string name = Add(PatternCamera(u"Cam"));
  TCaptureControl& c = Start();
  ASSERT_TRUE(WaitFrames(2));
  ScriptedDevices::Instance()->Unplug(name);
  QElapsedTimer t;
  t.start();
  while (c.Core().CaptureState.load() != cs_Idle && t.elapsed() < 5000) QTest::qWait(10);
  EXPECT_EQ(c.Core().CaptureState.load(), cs_Idle);
  EXPECT_TRUE(c.Core().PreviewWanted.load());
  EXPECT_FALSE(c.StartPreview()) << "the device is gone";
  EXPECT_TRUE(frames_.Logged("failed to start preview"));
  ScriptedDevices::Instance()->Plug(name);
  EXPECT_TRUE(c.StartPreview());
  c.CaptureFrameTo(fc_TBitmap, QString());
  const std::size_t n = frames_.numbers.size();
  EXPECT_TRUE(WaitFrames(n + 2));
}

// Catches: a device that refuses every format reported as a failed start; and one whose graph
// will not run (unplugged during the start, busy, broken) left "previewing" with the graph
// stopped and nothing said, instead of a failed start, Idle, one message for the player and,
// for a lost camera, OnDeviceLost.
TEST_F(PreviewTest, RefusedFormatAndFailedRun) {
  VirtualDeviceConfig refusing = PatternCamera(u"Refusing");
  refusing.failures.refuseSetFormat = true;
  Add(refusing);
  {
    TCaptureControl& c = Start();
    // The format stays the device's own; the preview still runs in it.
    EXPECT_TRUE(WaitFrames(2));
    c.StopPreview();
  }
  const struct {
    HRESULT run;
    const char* message;
    bool lost;
  } cases[] = {
      {E_FAIL, "The camera could not be started.", false},
      {VFW_E_DEVICE_LOST, "The camera was unplugged.", true},
      {MakeFailure(0x800700AA), "The camera is in use by another program.", false},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.message);
    control_.reset();
    ScriptedDevices::Instance()->Clear();
    FinalizeCaptureUnit();
    frames_ = Frames();
    boxes_.clear();
    VirtualDeviceConfig failing = PatternCamera(u"Failing");
    failing.failures.runResult = k.run;
    Add(failing);
    Recorder events;
    control_ = MakeControl();
    control_->OnDeviceLost = {&events, &Recorder::DeviceLost};
    control_->OnLog = {&frames_, &Frames::Log};
    EXPECT_FALSE(control_->StartPreview());
    EXPECT_EQ(control_->Core().CaptureState.load(), cs_Idle);
    EXPECT_FALSE(control_->Core().GraphActive.load());
    EXPECT_TRUE(frames_.Logged("failed to start preview"));
    QTest::qWait(50);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(boxes_[0].startsWith(k.message)) << boxes_[0].toStdString();
    EXPECT_EQ(events.calls.size(), k.lost ? 1u : 0u);
  }
}

// Catches: stopping while a frame waits for delivery, in thread mode, freeing the frame under
// the delivery (run under the sanitizers).
TEST_F(PreviewTest, StopWithFramesInFlightInThreadMode) {
  Add(PatternCamera(u"Cam"));
  frames_.sleepMs = 1;  // set before the worker thread that reads it starts
  TCaptureControl& c = Start();
  c.SetNotificationMethod(nm_Thread);
  for (int i = 0; i < 20; ++i) {
    QTest::qWait(15);
    c.StopPreview();
    c.StartPreview();
    c.CaptureFrameTo(fc_TBitmap, QString());
  }
  c.SetNotificationMethod(nm_Timer);
  c.StopPreview();
  EXPECT_EQ(c.Core().CaptureState.load(), cs_Idle);
}

// Catches: start/stop cycles that leak graphs, filters, library references or threads, or hang
// (run under the sanitizers).
TEST_F(PreviewTest, FiveHundredStartStopCycles) {
  Add(PatternCamera(u"Cam"));
  TCaptureControl& c = Start();
  for (int i = 0; i < 500; ++i) {
    c.StopPreview();
    ASSERT_EQ(c.Core().CaptureState.load(), cs_Idle);
    ASSERT_TRUE(c.StartPreview()) << "cycle " << i;
    if (i % 100 == 0) {
      c.CaptureFrameTo(fc_TBitmap, QString());
      const std::size_t n = frames_.numbers.size();
      ASSERT_TRUE(WaitFrames(n + 1)) << "cycle " << i;
    }
  }
  c.StopPreview();
  EXPECT_EQ(c.Core().Graph(), nullptr);
}

// Catches: frames delivered upside down (the converter's samples are stored bottom row first),
// which would wipe the ice where the player's hands are not.
TEST_F(PreviewTest, FramesAreDeliveredTopRowFirst) {
  Add(PatternCamera(u"Cam"));
  Start();
  ASSERT_TRUE(WaitFrames(4));
  // The pattern writes the frame number in cells along the top (high bits on the left, dark for
  // small numbers) and one white cell out of 16 along the bottom.
  auto bright = [](QRgb p) { return qGray(p) > 200; };
  for (const QImage& frame : frames_.images) {
    const int top = frame.height() / 24, bottom = frame.height() - 1 - frame.height() / 24;
    int topLeftBright = 0, bottomBright = 0;
    for (int x = 0; x < frame.width() / 2; ++x) topLeftBright += bright(frame.pixel(x, top));
    for (int x = 0; x < frame.width(); ++x) bottomBright += bright(frame.pixel(x, bottom));
    EXPECT_EQ(topLeftBright, 0);
    EXPECT_NEAR(bottomBright, frame.width() / 16, 2);
  }
}

// Catches: a half turn that rebuilds the preview without a transform (frames stay upright), and
// quarter turns that lose theirs.
TEST_F(PreviewTest, EveryRotationInsertsATransform) {
  for (TVideoRotation rotation : {rt_90_deg, rt_180_deg}) {
    SCOPED_TRACE(static_cast<int>(rotation));
    Add(PatternCamera(u"Cam"));
    Start(true, [&](TCaptureControl& c) { c.SetVideoProcessing_Rotation(rotation); });
    ComPtr<IBaseFilter> transform;
    EXPECT_EQ(control_->Core().Graph()->Graph->FindFilterByName(u"TrnfFltr",
                                                                transform.ReleaseAndGetAddressOf()),
              S_OK);
    transform.Reset();  // before the graph (and the library that made it) goes
    ASSERT_TRUE(WaitFrames(2));
    const QImage& frame = frames_.images.back();
    if (rotation == rt_180_deg) {
      // The pattern's white cells along the bottom are now along the top.
      int topBright = 0;
      for (int x = 0; x < frame.width(); ++x)
        topBright += qGray(frame.pixel(x, frame.height() / 24)) > 200;
      EXPECT_NEAR(topBright, frame.width() / 16, 2);
    } else {
      EXPECT_EQ(frame.size(), QSize(120, 160));
    }
    control_.reset();
    ScriptedDevices::Instance()->Clear();
    FinalizeCaptureUnit();
    frames_ = Frames();
  }
}

// Catches: an overlay painter that addresses a bottom-up sample from the bottom, so a square
// drawn near the top lands near the bottom of the preview and the frames.
TEST_F(PreviewTest, OverlayPainterAddressesRowsFromTheTop) {
  Add(PatternCamera(u"Cam"));
  struct Square {
    void Draw(TObject*, const TFrameInfo&, HDC dc) {
      dc->Painter().fillRect(0, 20, 8, 8, QColor(255, 0, 255));
    }
  } square;
  Start(true, [&](TCaptureControl& c) { c.SetOnFrameOverlayUsingDC({&square, &Square::Draw}); });
  ASSERT_TRUE(WaitFrames(2));
  int firstRow = -1, rows = 0;
  const QImage& frame = frames_.images.back();
  for (int y = 0; y < frame.height(); ++y) {
    if (frame.pixel(3, y) != qRgb(255, 0, 255)) continue;
    if (firstRow < 0) firstRow = y;
    ++rows;
  }
  EXPECT_EQ(firstRow, 20);
  EXPECT_EQ(rows, 8);
}
