// Frame generators of virtual cameras: a picture computed from the frame number alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

// Draws frame `frameNumber` as 0xFFRRGGBB pixels, width x height. The same number and size
// always give the same pixels (the touch scene excepted: it draws the player's input), so tests
// can rely on them.
// Thread: the streaming thread that owns it; one generator is never shared between streams.
class FrameGenerator {
 public:
  virtual ~FrameGenerator() = default;
  // Into a top-down buffer of width x height pixels (stride = width).
  void Render(std::int64_t frameNumber, int width, int height, std::uint32_t* pixels) {
    RenderRows(frameNumber, width, height, pixels, width);
  }
  // With row y at top + y * stride pixels; a negative stride writes the rows bottom-up, as a
  // DIB stores them, so a camera can draw straight into its sample.
  virtual void RenderRows(std::int64_t frameNumber, int width, int height, std::uint32_t* top,
                          std::ptrdiff_t stride) = 0;
};

// The generator a scene name selects: "demo" (the room with waving hands), "touch" (the
// player's pointer paths, see TouchScene) or "pattern" (colour bars with a block that moves one
// step per frame). Unknown names give the pattern.
std::unique_ptr<FrameGenerator> MakeFrameGenerator(std::string_view scene);
