#include "capture/core/CaptureThread.h"

#include <chrono>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include "capture/CaptureCtl.h"
#include "capture/core/CaptureCore.h"
#include "platform/com/ComApi.h"
#include "platform/media/UiThread.h"

TDualThread::TDualThread(const QString& name, bool suspended, TThreadPriority priority, int mode,
                         int period)
    : name_(name), priority_(priority) {
  // The priority argument is not applied here; NotificationPriority applies it later.
  (void)suspended;  // the thread starts parked either way and runs once resumed
  timer_ = std::make_unique<QTimer>();
  timer_->setTimerType(Qt::PreciseTimer);
  QObject::connect(timer_.get(), &QTimer::timeout, [this] { Tick(timer_.get()); });
  SetMode(mode);
  SetPeriod(period);
}

TDualThread::~TDualThread() {
  Shutdown();
}

void TDualThread::Shutdown() {
  timer_.reset();
  if (!thread_.joinable()) return;
  if (!terminated_.load()) {
    Terminate();
    if (!WaitOnDestroy) {
      thread_.detach();
      return;
    }
  }
  if (OnWorkerThread()) {
    thread_.detach();
    return;
  }
  thread_.join();
}

bool TDualThread::OnWorkerThread() const {
  return thread_.get_id() == std::this_thread::get_id();
}

bool TDualThread::Suspended() const {
  std::lock_guard lock(mutex_);
  return suspended_;
}

bool TDualThread::TimerActive() const {
  return timer_ && timer_->isActive();
}

void TDualThread::SetMode(int mode) {
  mode_.store(mode);
  if (mode == Timer) {
    if (!Suspended()) Suspend();
    UpdateTimer();
  } else if (mode == Thread) {
    UpdateTimer();
    if (!paused_ && Suspended()) Resume();
  }
}

void TDualThread::UpdateTimer() {
  if (!timer_) return;
  QTimer* timer = timer_.get();
  auto apply = [this, timer] {
    if (mode_.load() == Timer && !paused_)
      timer->start(period_.load());
    else
      timer->stop();
  };
  // A timer is started and stopped only on its own thread; a switch made by a handler on the
  // worker thread reaches it queued, through the relay whose hand-over the thread sanitizer
  // sees. The timer goes with this object, so the guard also says this object is still there.
  if (QThread::currentThread() == timer->thread()) {
    apply();
  } else if (qApp && timer->thread() == qApp->thread()) {
    PostToUiThread([apply, guard = QPointer<QTimer>(timer)] {
      if (guard) apply();
    });
  } else {
    QMetaObject::invokeMethod(timer, apply, Qt::QueuedConnection);
  }
}

bool TDualThread::ThreadIdle() const {
  std::lock_guard lock(mutex_);
  return parked_;
}

void TDualThread::SetPeriod(int periodMs) {
  if (periodMs < 1) return;
  period_.store(periodMs);
  if (timer_) timer_->setInterval(periodMs);
}

void TDualThread::Pause() {
  paused_ = true;
  SetMode(mode_);
}

void TDualThread::Unpause() {
  paused_ = false;
  SetMode(mode_);
}

void TDualThread::SetPriority(TThreadPriority priority) {
  priority_ = priority;
  ApplyPriority();
}

void TDualThread::ApplyPriority() {
  const int tid = tid_.load();
  if (!tid) return;
  // Linux threads of the normal policy differ only by nice value; raising it above normal needs
  // privileges, so such a request may fail and is then left as it was.
  static constexpr int kNice[] = {19, 10, 5, 0, -5, -10, -15};
  const int index = static_cast<int>(priority_);
  if (index < 0 || index > 6) return;
  setpriority(PRIO_PROCESS, static_cast<id_t>(tid), kNice[index]);
}

void TDualThread::Terminate() {
  terminated_.store(true);
  std::lock_guard lock(mutex_);
  wake_.notify_all();
}

void TDualThread::Suspend() {
  std::lock_guard lock(mutex_);
  suspended_ = true;
  wake_.notify_all();
  // No wait here: a pass still running on the thread (whose handler may be waiting for this
  // thread) finishes on its own; timer ticks skip until the thread has parked (ThreadIdle).
}

void TDualThread::Resume() {
  {
    std::lock_guard lock(mutex_);
    suspended_ = false;
    wake_.notify_all();
  }
  if (!thread_.joinable() && !terminated_.load()) {
    {
      std::lock_guard lock(mutex_);
      parked_ = false;
    }
    thread_ = std::thread([this] { ThreadMain(); });
  }
}

void TDualThread::ThreadMain() {
  pthread_setname_np(pthread_self(), name_.left(15).toLatin1().constData());
  tid_.store(static_cast<int>(::syscall(SYS_gettid)));
  ApplyPriority();
  Execute();
  std::lock_guard lock(mutex_);
  parked_ = true;
  wake_.notify_all();
}

void TDualThread::SleepPeriod() {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, std::chrono::milliseconds(period_.load()),
                 [this] { return suspended_ || terminated_.load(); });
  if (!suspended_) return;
  parked_ = true;
  wake_.notify_all();
  wake_.wait(lock, [this] { return !suspended_ || terminated_.load(); });
  parked_ = false;
}

TTaskThread::~TTaskThread() {
  Shutdown();
}

void TTaskThread::Execute() {
  // Graphs built by this thread's commands create component objects here.
  const bool com = SUCCEEDED(CoInitialize(nullptr));
  while (!Terminated()) {
    TCaptureCore& core = *Core;
    if (core.Destroying.load()) {
      Terminate();
      break;
    }
    core.WorkerPass(/*timerMode=*/false);
    SleepPeriod();
  }
  if (com) CoUninitialize();
}

void TTaskThread::Tick(QTimer* timer) {
  // Passes never overlap: the thread's last pass must be over before the timer's run.
  if (busy_ || !ThreadIdle()) return;
  busy_ = true;
  TCaptureCore& core = *Core;
  if (core.Destroying.load())
    timer->stop();
  else
    core.WorkerPass(/*timerMode=*/true);
  busy_ = false;
}

void TTaskThread::DeliverNow() {
  if (Mode() != Timer || Paused() || busy_ || !ThreadIdle()) return;
  TCaptureCore& core = *Core;
  if (core.Destroying.load() || !core.GraphActive.load()) return;
  busy_ = true;
  core.PeriodicTask();
  busy_ = false;
}
