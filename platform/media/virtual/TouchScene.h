// The touch camera's scene: a calm background with the recent paths of the player's pointers.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "platform/media/TouchInput.h"
#include "platform/media/virtual/FrameGenerator.h"

// Each frame takes the points that reached TouchInput since the frame before and draws every
// pointer's path over the still background as a brush stroke. A stroke stays for kLife frames,
// bright and dark by turns, so consecutive frames differ exactly where a pointer moved (by more
// than the engine needs to clear the ice in one frame) and a pointer that stops moving leaves
// an unchanging picture once its last stroke has gone. Unlike the other scenes its frames
// follow the input, not the frame number alone.
// Thread: as FrameGenerator.
class TouchScene final : public FrameGenerator {
 public:
  // Frames a stroke is drawn in: an engine that takes only every sixth frame (a slow machine,
  // five frames a second) still sees each stroke appear; a pointer held still stops wiping within
  // a fifth of a second.
  static constexpr int kLife = 6;
  // At most this many new strokes a frame (the newest): a flood of input cannot make a frame late.
  static constexpr std::size_t kMaxNewStrokes = 128;
  // Points older than this when a frame takes them (a stalled stream) move the pointer only.
  static constexpr std::chrono::milliseconds kStale{500};

  explicit TouchScene(TouchInput& input = TouchInput::Instance());
  void RenderRows(std::int64_t frameNumber, int width, int height, std::uint32_t* top,
                  std::ptrdiff_t stride) override;

  // The background's colour at a pixel; the strokes' bright and dark colours.
  static std::uint32_t BackgroundAt(int x, int y, int width, int height);
  static constexpr std::uint32_t kBright = 0xFFF0F4FA;
  static constexpr std::uint32_t kDark = 0xFF020308;

 private:
  struct Stroke {
    float ax, ay, bx, by, radius;
    int age;
  };
  void TakeInput();
  void DrawBackground(int width, int height);

  TouchInput& input_;
  std::uint64_t cursor_;
  std::vector<TouchPoint> fresh_;
  std::map<std::int64_t, TouchPoint> last_;  // pointers that are down, at their last point
  std::vector<Stroke> strokes_;
  std::uint64_t frames_ = 0;
  int backgroundWidth_ = 0;
  int backgroundHeight_ = 0;
  std::vector<std::uint32_t> background_;
};
