// Tests of the frame hand-over and burst counting, driven through the frame records.
#include "capture/display/FrameHandOver.h"

#include <algorithm>

#include <QImage>

#include "TestSupport.h"
#include "capture/core/CaptureCore.h"

namespace {

class FrameHandOverTest : public CaptureTest {
 protected:
  void SetUp() override {
    CaptureTest::SetUp();
    control_ = MakeControl();
    control_->OnFrameCaptureCompleted = {&rec_, &Recorder::Frame};
    control_->OnFrameProgress = {&rec_, &Recorder::Progress};
    picture_ = QImage(8, 6, QImage::Format_RGB32);
    picture_.fill(Qt::red);
  }
  void TearDown() override {
    control_.reset();
    CaptureTest::TearDown();
  }
  TCaptureCore& Core() { return control_->Core(); }
  // One sample from the streaming side, then one worker pass.
  void FrameAndPass() {
    Core().FrameCallback(picture_, time_);
    time_ += 333333;
    Core().WorkerPass(true);
  }
  // Numbers of the frames delivered through OnFrameCaptureCompleted.
  std::vector<int> Delivered() const { return rec_.frameNumbers; }

  std::unique_ptr<TCaptureControl> control_;
  Recorder rec_;
  QImage picture_;
  std::int64_t time_ = 1000000;
};

// Catches: the game's endless burst ending, skipping frames, or delivering a frame twice.
TEST_F(FrameHandOverTest, EndlessBurstDeliversEveryTakenFrameOnce) {
  PretendPreviewRuns(Core());
  control_->SetBurstCount(0);
  control_->SetBurstInterval(0);
  control_->SetBurstMode(true);
  ASSERT_TRUE(control_->CaptureFrameTo(fc_TBitmap, ""));
  for (int i = 0; i < 6; ++i) FrameAndPass();
  EXPECT_EQ(Delivered(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
  EXPECT_TRUE(control_->BurstMode());
  EXPECT_EQ(rec_.calls[0], "progress 1");
  EXPECT_EQ(rec_.calls[1], "frame 1 0 1");
}

// Catches: a limited burst delivering more or fewer frames, or BurstMode not ending.
TEST_F(FrameHandOverTest, LimitedBurstDeliversExactlyCountFrames) {
  PretendPreviewRuns(Core());
  control_->SetBurstCount(3);
  control_->SetBurstMode(true);
  for (int i = 0; i < 3; ++i) FrameAndPass();
  EXPECT_TRUE(control_->BurstMode());
  FrameAndPass();
  EXPECT_FALSE(control_->BurstMode()) << "BurstMode must read false from the next accepted frame";
  for (int i = 0; i < 3; ++i) FrameAndPass();
  EXPECT_EQ(Delivered(), (std::vector<int>{1, 2, 3}));
  // Setting BurstMode again restarts the count.
  control_->SetBurstMode(true);
  for (int i = 0; i < 5; ++i) FrameAndPass();
  EXPECT_EQ(Delivered(), (std::vector<int>{1, 2, 3, 8, 9, 10}));
}

// Catches: the interval counted from the wrong frame, before or after a (re)start.
TEST_F(FrameHandOverTest, IntervalSkipsFramesBetweenBurstFrames) {
  control_->SetBurstCount(0);
  control_->SetBurstInterval(2);
  PretendPreviewRuns(Core());
  control_->SetBurstMode(true);  // while previewing: counting starts at once
  for (int i = 0; i < 9; ++i) FrameAndPass();
  EXPECT_EQ(Delivered(), (std::vector<int>{1, 4, 7}));
  rec_.frameNumbers.clear();
  PretendPreviewRuns(Core());  // a restart after BurstMode was set: the countdown starts at 2
  for (int i = 0; i < 9; ++i) FrameAndPass();
  EXPECT_EQ(Delivered(), (std::vector<int>{3, 6, 9}));
}

// Catches: a burst of count 3 and interval 2 delivering beyond its end.
TEST_F(FrameHandOverTest, CountAndIntervalTogether) {
  PretendPreviewRuns(Core());
  control_->SetBurstCount(3);
  control_->SetBurstInterval(2);
  control_->SetBurstMode(true);
  for (int i = 0; i < 9; ++i) FrameAndPass();
  EXPECT_TRUE(control_->BurstMode());
  FrameAndPass();  // the 10th counts and ends the burst without delivering
  EXPECT_FALSE(control_->BurstMode());
  for (int i = 0; i < 3; ++i) FrameAndPass();
  EXPECT_EQ(Delivered(), (std::vector<int>{1, 4, 7}));
}

// Catches: a frame arriving during the hand-over being taken, counted or announced.
TEST_F(FrameHandOverTest, FrameDuringHandOverIsSkipped) {
  PretendPreviewRuns(Core());
  control_->SetBurstCount(0);
  control_->SetBurstMode(true);
  Core().FrameCallback(picture_, 0);
  Core().FrameCallback(picture_, 10);  // the first has not been handed out yet
  Core().FrameCallback(picture_, 20);
  EXPECT_TRUE(Core().HandOver.FrameReady.load());
  Core().WorkerPass(true);
  Core().WorkerPass(true);
  EXPECT_EQ(rec_.calls, (std::vector<QString>{"progress 1", "frame 1 0 1"}));
  FrameAndPass();
  EXPECT_EQ(Delivered(), (std::vector<int>{1, 4})) << "skipped frames still get numbers";
}

// Catches: a waiting request delivered as a burst frame, or a burst frame raised after BurstMode
// was switched off between taking and hand-out.
TEST_F(FrameHandOverTest, PendingRequestAndLateBurstSwitchOff) {
  PretendPreviewRuns(Core());
  ASSERT_TRUE(control_->CaptureFrameTo(fc_BmpFile, ""));
  FrameAndPass();
  EXPECT_EQ(rec_.calls.back(), "frame 1 1 0") << "a file capture without a name cannot succeed";
  EXPECT_FALSE(Core().CapturePending.load());
  control_->SetBurstCount(0);
  control_->SetBurstMode(true);
  Core().FrameCallback(picture_, 5);
  control_->SetBurstMode(false);
  Core().WorkerPass(true);
  EXPECT_EQ(Delivered(), std::vector<int>{1});
}

// Catches: frames taken after the graph stopped, or without a handler making any difference.
TEST_F(FrameHandOverTest, NoFramesWithoutActiveGraph) {
  control_->SetBurstCount(0);
  control_->SetBurstMode(true);
  FrameAndPass();
  EXPECT_FALSE(Core().HandOver.FrameReady.load());
  PretendPreviewRuns(Core());
  control_->StopPreview();
  FrameAndPass();
  EXPECT_TRUE(Delivered().empty());
}

// Catches: a bottom-up sample delivered upside down, a top-down one turned, a pooled bitmap
// keeping the previous frame's pixels, or padding copied as picture (24 and 32 bits).
TEST_F(FrameHandOverTest, DeliversEveryFrameUprightAndExact) {
  PretendPreviewRuns(Core());
  control_->SetBurstCount(0);
  control_->SetBurstMode(true);
  ASSERT_TRUE(control_->CaptureFrameTo(fc_TBitmap, ""));
  QImage delivered;
  struct Keeper {
    QImage* out;
    void Frame(TObject*, const TFrameData& data, TFrameCaptureDest, const QString&, bool) {
      *out = data.Bitmap->Image().copy();
    }
  } keeper{&delivered};
  control_->OnFrameCaptureCompleted = {&keeper, &Keeper::Frame};
  int frame = 0;
  for (QImage::Format format : {QImage::Format_BGR888, QImage::Format_RGB32})
    for (bool bottomUp : {true, false, true})
      for (int repeat = 0; repeat < 2; ++repeat, ++frame) {
        SCOPED_TRACE(testing::Message()
                     << "format " << format << " bottomUp " << bottomUp << " frame " << frame);
        QImage sample(7, 5, format);  // 7 x 3 bytes: one byte of padding per row
        for (int y = 0; y < sample.height(); ++y)
          for (qsizetype i = 0; i < sample.bytesPerLine(); ++i)
            sample.scanLine(y)[i] = static_cast<uchar>(frame * 31 + y * 7 + i);
        Core().HandOver.TakeFrame(Core(), sample, time_, bottomUp);
        time_ += 333333;
        Core().WorkerPass(true);
        ASSERT_EQ(delivered.size(), sample.size());
        ASSERT_EQ(delivered.format(), format);
        const int rowBytes = sample.width() * sample.depth() / 8;
        for (int y = 0; y < sample.height(); ++y) {
          const uchar* want = sample.constScanLine(bottomUp ? sample.height() - 1 - y : y);
          EXPECT_TRUE(std::equal(want, want + rowBytes, delivered.constScanLine(y))) << "row " << y;
        }
      }
}

}  // namespace
