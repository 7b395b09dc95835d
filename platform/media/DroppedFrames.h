// The counts a capture pin answers through IAMDroppedFrames.
#pragma once

#include <atomic>
#include <deque>
#include <mutex>

#include "platform/com/Result.h"

// Thread: Reset, Dropped and Delivered on the pin's streaming thread; the answers from any
// thread. The counters are atomic; mutex_ guards recent_.
class DroppedFrames {
 public:
  // A new stream: every count back to zero.
  void Reset();
  // Frames from..from+count-1 were lost; the most recent numbers are kept.
  void Dropped(long from, long count);
  void Delivered(long long bytes);
  long DeliveredCount() const { return delivered_.load(std::memory_order_relaxed); }

  // IAMDroppedFrames.
  HRESULT GetNumDropped(long* dropped) const;
  HRESULT GetNumNotDropped(long* delivered) const;
  HRESULT GetDroppedInfo(long size, long* frames, long* copied) const;
  HRESULT GetAverageFrameSize(long* averageSize) const;

 private:
  static constexpr long kKept = 64;
  std::atomic<long> dropped_{0};
  std::atomic<long> delivered_{0};
  std::atomic<long long> deliveredBytes_{0};
  mutable std::mutex mutex_;
  std::deque<long> recent_;  // the most recent dropped frame numbers
};
