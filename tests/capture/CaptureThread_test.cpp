// Tests of the worker: timer and thread modes, period and switching while events flow.
#include "capture/core/CaptureThread.h"

#include <atomic>
#include <chrono>
#include <thread>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTest>
#include <QThread>

#include "TestSupport.h"
#include "capture/core/CaptureCore.h"

namespace {

using CaptureThreadTest = CaptureTest;

// Catches: sleep times outside -1 and 1..10000 accepted, or -1 not meaning 15 ms.
TEST_F(CaptureThreadTest, NotificationSleepTimeLimits) {
  auto control = MakeControl();
  TTaskThread* worker = control->Core().Worker();
  ASSERT_NE(worker, nullptr);
  EXPECT_EQ(worker->Period(), 15);
  control->SetNotificationSleepTime(1);
  EXPECT_EQ(worker->Period(), 1);
  control->SetNotificationSleepTime(0);
  EXPECT_EQ(control->NotificationSleepTime(), 1);
  EXPECT_EQ(worker->Period(), 1);
  control->SetNotificationSleepTime(10001);
  EXPECT_EQ(worker->Period(), 1);
  control->SetNotificationSleepTime(10000);
  EXPECT_EQ(worker->Period(), 10000);
  control->SetNotificationSleepTime(-2);
  EXPECT_EQ(control->NotificationSleepTime(), 10000);
  control->SetNotificationSleepTime(-1);
  EXPECT_EQ(control->NotificationSleepTime(), -1);
  EXPECT_EQ(worker->Period(), 15);
  EXPECT_EQ(control->Core().EffectivePeriod(), 15);
}

// Catches: the worker created in the wrong mode, or timer and thread running at the same time.
TEST_F(CaptureThreadTest, ModesSwitchBetweenTimerAndThread) {
  auto control = MakeControl();
  TTaskThread* worker = control->Core().Worker();
  EXPECT_EQ(worker->Name(), "task");
  EXPECT_FALSE(worker->Paused());
  EXPECT_TRUE(worker->TimerActive());
  EXPECT_TRUE(worker->Suspended());
  control->SetNotificationMethod(nm_Thread);
  EXPECT_FALSE(worker->TimerActive());
  EXPECT_FALSE(worker->Suspended());
  control->SetNotificationMethod(nm_Timer);
  EXPECT_TRUE(worker->TimerActive());
  EXPECT_TRUE(worker->Suspended());
  // Pausing stops the timer; unpausing starts it again.
  worker->Pause();
  EXPECT_FALSE(worker->TimerActive());
  EXPECT_TRUE(worker->Suspended());
  worker->Unpause();
  EXPECT_TRUE(worker->TimerActive());
}

// Catches: queued events lost, repeated or raised on two threads at once when the worker moves
// from the timer to its own thread and back while events flow (run under ThreadSanitizer).
TEST_F(CaptureThreadTest, SwitchingModesWhileEventsFlow) {
  auto control = MakeControl();
  TCaptureCore& core = control->Core();
  struct Counter : QObject {
    std::atomic<int> calls{0};
    std::atomic<int> inside{0};
    std::atomic<bool> overlap{false};
    std::atomic<bool> offUiThread{false};
    void Inactive(TObject*) {
      if (inside.fetch_add(1) != 0) overlap = true;
      if (QThread::currentThread() != qApp->thread()) offUiThread = true;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      calls.fetch_add(1);
      inside.fetch_sub(1);
    }
  } counter;
  control->OnInactive = {&counter, &Counter::Inactive};
  control->SetNotificationSleepTime(1);
  constexpr int kEvents = 300;
  QElapsedTimer clock;
  clock.start();
  int posted = 0;
  while (counter.calls.load() < kEvents && clock.elapsed() < 20000) {
    if (posted < kEvents) {
      core.PostEvent(control->OnInactive);
      ++posted;
    }
    if (posted % 25 == 0)
      control->SetNotificationMethod(control->NotificationMethod() == nm_Timer ? nm_Thread
                                                                               : nm_Timer);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  control->SetNotificationMethod(nm_Timer);
  EXPECT_EQ(posted, kEvents);
  EXPECT_EQ(counter.calls.load(), kEvents);
  EXPECT_FALSE(counter.overlap.load()) << "two passes ran at once";
  EXPECT_TRUE(counter.offUiThread.load()) << "thread mode never ran a pass";
}

// Catches: thread mode delivering frames on the UI thread, or not at all.
TEST_F(CaptureThreadTest, ThreadModeDeliversFramesOnTheWorkerThread) {
  auto control = MakeControl();
  TCaptureCore& core = control->Core();
  struct Sink : QObject {
    std::atomic<int> frames{0};
    std::atomic<bool> onUi{false};
    void Frame(TObject*, const TFrameData& data, TFrameCaptureDest, const QString&, bool) {
      if (QThread::currentThread() == qApp->thread()) onUi = true;
      if (data.Bitmap && data.Bitmap->Width() == 4) frames.fetch_add(1);
    }
  } sink;
  control->OnFrameCaptureCompleted = {&sink, &Sink::Frame};
  PretendPreviewRuns(core);
  control->SetBurstCount(0);
  control->SetBurstMode(true);
  control->SetNotificationSleepTime(1);
  control->SetNotificationMethod(nm_Thread);
  QImage picture(4, 4, QImage::Format_RGB32);
  picture.fill(Qt::blue);
  QElapsedTimer clock;
  clock.start();
  std::int64_t t = 0;
  while (sink.frames.load() < 20 && clock.elapsed() < 10000) {
    core.FrameCallback(picture, t += 1000);
    std::this_thread::sleep_for(std::chrono::microseconds(300));
  }
  control->SetNotificationMethod(nm_Timer);
  EXPECT_GE(sink.frames.load(), 20);
  EXPECT_FALSE(sink.onUi.load());
}

}  // namespace

// Catches: a handler on the worker thread that switches back to timer mode starting the UI
// thread's timer from the worker (Qt refuses), so no pass ever runs again.
TEST_F(CaptureThreadTest, SwitchToTimerModeFromAWorkerHandler) {
  auto control = MakeControl();
  struct Switcher {
    TCaptureControl* control;
    std::atomic<int> calls{0};
    std::atomic<bool> onUi{false};
    void Lost(TObject*) {
      onUi.store(QThread::currentThread() == qApp->thread());
      calls.fetch_add(1);
      control->SetNotificationMethod(nm_Timer);
    }
  } switcher{control.get()};
  control->OnDeviceLost = {&switcher, &Switcher::Lost};
  control->SetNotificationMethod(nm_Thread);
  control->Core().PostEvent(control->OnDeviceLost);
  QElapsedTimer clock;
  clock.start();
  while (switcher.calls.load() < 1 && clock.elapsed() < 5000) QTest::qWait(5);
  ASSERT_EQ(switcher.calls.load(), 1);
  EXPECT_FALSE(switcher.onUi.load());
  // The timer runs the next pass on the UI thread.
  control->Core().PostEvent(control->OnDeviceLost);
  while (switcher.calls.load() < 2 && clock.elapsed() < 5000) QTest::qWait(5);
  EXPECT_EQ(switcher.calls.load(), 2);
  EXPECT_TRUE(switcher.onUi.load());
  EXPECT_TRUE(control->Core().Worker()->TimerActive());
}

// Catches: switching to timer mode blocking the UI thread until the worker's pass ends while
// that pass's handler waits for the UI thread (a deadlock).
TEST_F(CaptureThreadTest, SwitchToTimerModeWhileAWorkerHandlerWaitsForTheUiThread) {
  auto control = MakeControl();
  struct Waiter {
    std::atomic<bool> entered{false};
    std::atomic<bool> done{false};
    void Lost(TObject*) {
      entered.store(true);
      // Waits for the UI thread, as a handler that updates a window would.
      QMetaObject::invokeMethod(
          qApp, [] {}, Qt::BlockingQueuedConnection);
      done.store(true);
    }
  } waiter;
  control->OnDeviceLost = {&waiter, &Waiter::Lost};
  control->SetNotificationMethod(nm_Thread);
  control->Core().PostEvent(control->OnDeviceLost);
  QElapsedTimer clock;
  clock.start();
  while (!waiter.entered.load() && clock.elapsed() < 5000) std::this_thread::yield();
  ASSERT_TRUE(waiter.entered.load());
  control->SetNotificationMethod(nm_Timer);  // must return while the handler waits
  while (!waiter.done.load() && clock.elapsed() < 5000) QTest::qWait(5);
  EXPECT_TRUE(waiter.done.load());
}
