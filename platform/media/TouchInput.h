// Pointer input for the touch camera: a small bounded channel of timestamped points.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

// One point of a pointer's path, in the camera picture: x and y run from 0 (left, top) to 1
// (right, bottom) whatever the capture size; radius is the brush's half width as a share of the
// picture width. A path is the run of points of one pointer from its press to its release.
struct TouchPoint {
  enum class Phase : std::uint8_t { Press, Move, Release };
  std::int64_t pointer = 0;  // mouse, pen, keyboard brush or touch point id: any stable number
  Phase phase = Phase::Move;
  float x = 0;
  float y = 0;
  float radius = 0.03f;
  std::chrono::steady_clock::time_point time;
};

// The channel from the user-interface thread (writer) to the streaming threads of touch
// cameras (readers). It keeps the last kCapacity points in a ring: a writer never waits for a
// reader and never grows memory; a reader that fell behind loses the oldest points and is told.
// Each reader keeps its own cursor, so two streams both see every point.
// Thread: any. ring_, written_ are guarded by mutex_, held only to copy points in or out.
class TouchInput {
 public:
  static constexpr std::size_t kCapacity = 4096;

  // The process-wide channel the touch camera reads.
  static TouchInput& Instance();

  // Adds a point; a point without a time is stamped now.
  void Push(TouchPoint point);

  // A cursor that reads the points pushed from now on.
  std::uint64_t Cursor() const;

  // Appends the points pushed since *cursor to out (oldest first) and moves the cursor on.
  // Returns how many points were lost because more than kCapacity arrived in between.
  std::uint64_t Read(std::uint64_t* cursor, std::vector<TouchPoint>* out) const;

 private:
  mutable std::mutex mutex_;
  std::vector<TouchPoint> ring_ = std::vector<TouchPoint>(kCapacity);
  std::uint64_t written_ = 0;  // points pushed ever; the newest is at (written_ - 1) % kCapacity
};
