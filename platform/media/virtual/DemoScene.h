// The demo camera's scene: a room, a person, and two hands waving in sweeping arcs.
#pragma once

#include <vector>

#include "platform/media/virtual/FrameGenerator.h"

// The room and the person's body are drawn once per size and kept; each frame copies them and
// draws the arms and hands at the positions the frame number gives. Over about fifteen seconds
// the hands pass over every part of the picture, so a motion detector sees the whole frame move.
// Thread: as FrameGenerator.
class DemoScene final : public FrameGenerator {
 public:
  void RenderRows(std::int64_t frameNumber, int width, int height, std::uint32_t* top,
                  std::ptrdiff_t stride) override;

  // Where hand 0 (left) or 1 (right) is at frame n, in pixels of a width x height picture.
  static void HandPosition(int hand, std::int64_t frameNumber, int width, int height, float* x,
                           float* y);

 private:
  void DrawBackground(int width, int height);

  int backgroundWidth_ = 0;
  int backgroundHeight_ = 0;
  std::vector<std::uint32_t> background_;
};

// Colour bars with a white block that steps along the bottom once per frame and the frame
// number written as 16 binary cells along the top; for scripted test devices.
class TestPattern final : public FrameGenerator {
 public:
  void RenderRows(std::int64_t frameNumber, int width, int height, std::uint32_t* top,
                  std::ptrdiff_t stride) override;
};
