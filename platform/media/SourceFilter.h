// Source filter base: each output pin pushes samples from its own named streaming thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class QString;

#include "platform/media/FilterBase.h"
#include "platform/media/PinBase.h"

// An output pin with a streaming thread. The thread starts when the filter leaves the stopped
// state, produces only while the filter runs, and is stopped (request, wake, join) when the
// filter stops. FillBuffer decides the pace, typically by waiting in WaitFor until the next
// frame is due, so that a stop request wakes it at once.
// Thread: hooks marked "streaming thread" run on this pin's thread; the rest on the control thread.
class SourceStream : public OutputPin {
 public:
  // FillBuffer's answer for "no sample this time, go on" (a corrupt buffer, a late frame).
  static constexpr HRESULT S_SKIP_SAMPLE = 0x00040301;

  SourceStream(FilterBase* filter, std::u16string name);
  ~SourceStream() override;

  HRESULT Active() override;
  void Inactive() override;

  // Wakes the thread after a state change (paused to running).
  void Wake();
  // Whether the calling thread is the streaming thread of any source pin; such a thread must
  // not stop its own graph (it would join itself).
  static bool OnStreamingThread();

  // Frames delivered and samples skipped since the last start.
  long DeliveredCount() const { return delivered_.load(std::memory_order_relaxed); }
  long SkippedCount() const { return skipped_.load(std::memory_order_relaxed); }

 protected:
  // Streaming thread: fills one sample (data, length, times). S_OK delivers it; S_SKIP_SAMPLE
  // drops it and goes on; S_FALSE ends the stream (end-of-stream goes downstream); a failure
  // ends the stream and posts EC_ERRORABORT with the code.
  virtual HRESULT FillBuffer(IMediaSample* sample) = 0;
  // Streaming thread: before the first and after the last FillBuffer. A failing OnThreadStart
  // posts EC_ERRORABORT and ends the thread.
  virtual HRESULT OnThreadStart() { return S_OK; }
  virtual void OnThreadStop() {}
  // Control thread, while stopping: the stop flag is set; a FillBuffer blocked outside WaitFor
  // (in poll on a device) must be woken here, or the join waits for it.
  virtual void OnStopRequested() {}

  // Streaming thread: waits for the duration, or until stop is requested (returns false then).
  bool WaitFor(std::chrono::nanoseconds duration);
  bool StopRequested() const { return stopRequested_.load(std::memory_order_acquire); }

 private:
  void ThreadMain();
  // The thread's work from OnThreadStart to OnThreadStop; *started once OnThreadStart succeeded.
  void Stream(const QString& name, bool* started);
  // Waits while the filter is paused; false if stop was requested meanwhile.
  bool WaitUntilRunning();

  std::thread thread_;
  std::mutex wakeMutex_;  // guards nothing but the wait; paired with wake_
  std::condition_variable wake_;
  std::atomic<bool> stopRequested_{false};
  std::atomic<long> delivered_{0};
  std::atomic<long> skipped_{0};
};

// A filter whose pins are SourceStreams; wakes them when it starts running. Its destructor
// stops it, but a derived filter whose FillBuffer uses the derived filter's own members must
// be stopped before it is destroyed (the graph stops every filter before releasing it).
class SourceFilter : public FilterBase {
 public:
  using FilterBase::FilterBase;
  ~SourceFilter() override;

 protected:
  HRESULT OnRun(REFERENCE_TIME start) override;
};
