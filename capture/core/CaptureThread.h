// The capture control's worker: a thread that runs its passes either from a timer on the
// creating thread (timer mode) or on a thread of its own (thread mode).
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <QString>

#include "capture/CaptureTypes.h"

class QTimer;
class TCaptureControl;
class TCaptureCore;

// Thread: created, switched and destroyed on the UI thread (the creating thread, which also runs
// the timer ticks). Execute runs on the worker thread. mutex_ guards suspended_ and parked_.
// Suspension is cooperative: a running thread stops at its next pause point (between passes),
// never in the middle of a pass, so it cannot be frozen while holding a lock.
class TDualThread {
 public:
  enum TMode { Timer = 0, Thread = 1 };

  TDualThread(const QString& name, bool suspended, TThreadPriority priority, int mode, int period);
  virtual ~TDualThread();
  TDualThread(const TDualThread&) = delete;
  TDualThread& operator=(const TDualThread&) = delete;

  void SetMode(int mode);
  void SetPeriod(int periodMs);  // values below 1 are ignored
  void Pause();
  void Unpause();
  void SetPriority(TThreadPriority priority);

  QString Name() const { return name_; }
  int Mode() const { return mode_.load(); }
  int Period() const { return period_.load(); }
  bool Paused() const { return paused_; }
  bool Suspended() const;
  bool TimerActive() const;
  bool Terminated() const { return terminated_.load(); }
  // Asks the thread to end; it leaves Execute at its next check.
  void Terminate();
  // Stops the timer and ends the thread (resuming it if suspended); waits for it with
  // WaitOnDestroy. Derived destructors call it before their own members go.
  void Shutdown();

  bool WaitOnDestroy = true;

 protected:
  // Runs on the worker thread until Terminated().
  virtual void Execute() = 0;
  // Runs on the creating thread at each timer tick.
  virtual void Tick(QTimer* timer) = 0;
  // Called by Execute between passes: sleeps Period ms, and stays while suspended.
  void SleepPeriod();
  // The thread is parked (or was never started): no thread pass is running.
  bool ThreadIdle() const;
  bool OnWorkerThread() const;

  bool busy_ = false;  // re-entry guard of the tick (creating thread only)

 private:
  void Suspend();
  // Starts or stops the timer for the current mode, on the timer's own thread.
  void UpdateTimer();
  void Resume();
  void ThreadMain();
  void ApplyPriority();

  QString name_;
  std::unique_ptr<QTimer> timer_;
  std::atomic<bool> paused_{true};
  std::atomic<int> mode_{Timer};
  std::atomic<int> period_{15};
  std::atomic<bool> terminated_{false};
  TThreadPriority priority_;
  std::thread thread_;
  std::atomic<int> tid_{0};

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool suspended_ = true;  // the thread is asked to stay parked
  bool parked_ = true;     // the thread is parked (or not started)
};

// A worker that serves one capture control.
class TCaptureThread : public TDualThread {
 public:
  TCaptureThread(TCaptureControl* owner, TCaptureCore* core, const QString& name, bool suspended,
                 TThreadPriority priority, int mode, int period)
      : TDualThread(name, suspended, priority, mode, period), Owner(owner), Core(core) {}
  TCaptureControl* const Owner;
  // The owner's implementation object, which owns this worker and outlives it.
  TCaptureCore* const Core;
};

// The control's worker, named "task": commands, queued events and frame delivery.
class TTaskThread : public TCaptureThread {
 public:
  using TCaptureThread::TCaptureThread;
  ~TTaskThread() override;
  // Timer mode, creating thread: the frame delivery of a pass, run as soon as a frame is taken,
  // so a frame reaches the game (and both pictures repaint together) without waiting for the
  // tick; commands and queued events stay on the tick. Nothing while a pass runs or paused.
  void DeliverNow();

 protected:
  void Execute() override;
  void Tick(QTimer* timer) override;
};
