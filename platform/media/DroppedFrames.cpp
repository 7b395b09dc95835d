#include "platform/media/DroppedFrames.h"

#include <algorithm>

void DroppedFrames::Reset() {
  dropped_.store(0, std::memory_order_relaxed);
  delivered_.store(0, std::memory_order_relaxed);
  deliveredBytes_.store(0, std::memory_order_relaxed);
  std::lock_guard lock(mutex_);
  recent_.clear();
}

void DroppedFrames::Dropped(long from, long count) {
  if (count <= 0) return;
  dropped_.fetch_add(count, std::memory_order_relaxed);
  std::lock_guard lock(mutex_);
  // Only the last kKept numbers can stay, however many frames were lost.
  for (long f = std::max(from, from + count - kKept); f < from + count; ++f) {
    recent_.push_back(f);
    if (static_cast<long>(recent_.size()) > kKept) recent_.pop_front();
  }
}

void DroppedFrames::Delivered(long long bytes) {
  delivered_.fetch_add(1, std::memory_order_relaxed);
  deliveredBytes_.fetch_add(bytes, std::memory_order_relaxed);
}

HRESULT DroppedFrames::GetNumDropped(long* dropped) const {
  if (!dropped) return E_POINTER;
  *dropped = dropped_.load(std::memory_order_relaxed);
  return S_OK;
}

HRESULT DroppedFrames::GetNumNotDropped(long* delivered) const {
  if (!delivered) return E_POINTER;
  *delivered = delivered_.load(std::memory_order_relaxed);
  return S_OK;
}

HRESULT DroppedFrames::GetDroppedInfo(long size, long* frames, long* copied) const {
  if (!frames || !copied) return E_POINTER;
  if (size <= 0) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  const long n = std::min<long>(size, static_cast<long>(recent_.size()));
  std::copy_n(recent_.begin(), n, frames);
  *copied = n;
  return S_OK;
}

HRESULT DroppedFrames::GetAverageFrameSize(long* averageSize) const {
  if (!averageSize) return E_POINTER;
  const long frames = delivered_.load(std::memory_order_relaxed);
  *averageSize =
      frames ? static_cast<long>(deliveredBytes_.load(std::memory_order_relaxed) / frames) : 0;
  return S_OK;
}
