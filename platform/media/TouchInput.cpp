#include "platform/media/TouchInput.h"

#include <algorithm>

TouchInput& TouchInput::Instance() {
  static TouchInput channel;
  return channel;
}

void TouchInput::Push(TouchPoint point) {
  if (point.time == std::chrono::steady_clock::time_point{})
    point.time = std::chrono::steady_clock::now();
  std::lock_guard lock(mutex_);
  ring_[written_ % kCapacity] = point;
  ++written_;
}

std::uint64_t TouchInput::Cursor() const {
  std::lock_guard lock(mutex_);
  return written_;
}

std::uint64_t TouchInput::Read(std::uint64_t* cursor, std::vector<TouchPoint>* out) const {
  std::lock_guard lock(mutex_);
  std::uint64_t from = std::min(*cursor, written_);
  const std::uint64_t oldest = written_ > kCapacity ? written_ - kCapacity : 0;
  const std::uint64_t lost = from < oldest ? oldest - from : 0;
  from = std::max(from, oldest);
  for (std::uint64_t i = from; i < written_; ++i) out->push_back(ring_[i % kCapacity]);
  *cursor = written_;
  return lost;
}
