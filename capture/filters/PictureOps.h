// Pixel operations of the filter library on pictures in device-independent layout (rows padded
// to 4 bytes): the grabbers' processing block, the transform's rotation and half-size
// deinterlacing.
#pragma once

#include <cstdint>

#include "capture/filters/FilterApi.h"

// A picture in memory as a bitmap header describes it. rows > 0 top row first in memory when
// topDown, else bottom row first.
struct PictureView {
  std::uint8_t* bits = nullptr;
  int width = 0;
  int height = 0;  // always positive
  int strideBytes = 0;
  int bitCount = 0;  // 8, 16, 24 or 32
  bool topDown = false;
  bool rgb565 = false;  // at 16 bits: 5-6-5 (bit fields), else 5-5-5

  // The row shown at visual position y (0 = top).
  std::uint8_t* VisualRow(int y) const {
    const int stored = topDown ? y : height - 1 - y;
    return bits + static_cast<std::ptrdiff_t>(stored) * strideBytes;
  }
};

// Per-channel tables of brightness, contrast and inversion, rebuilt only when those settings
// change. Thread: the streaming thread of the filter that owns it.
class ColourTables {
 public:
  // Brings the tables up to date for block; answers whether any colour operation is active.
  bool Update(const VideoProcessingBlock& block);
  const std::uint8_t* Level() const { return level_; }

 private:
  std::int32_t brightness_ = 0;
  std::int32_t contrast_ = 0;
  bool valid_ = false;
  std::uint8_t level_[256] = {};
};

// A copy of a block another thread may be writing, each field read once (atomically).
VideoProcessingBlock ReadProcessingBlock(VideoProcessingBlock& live);

// Applies the block to the picture in place: full-size deinterlacing, flips, then the colour
// operations (16, 24 and 32 bits per pixel; a 16-bit pixel is widened to 8 bits a channel,
// processed and packed again). Thread: caller's.
void ApplyProcessing(const VideoProcessingBlock& block, ColourTables& tables,
                     const PictureView& picture);

void FlipHorizontal(const PictureView& picture);
void FlipVertical(const PictureView& picture);
// Replaces each odd row (visually) by the mean of its neighbours; the last row copies the one
// above it.
void DeinterlaceFullSize(const PictureView& picture);

// Writes the picture rotated by quarterTurns clockwise (0..3), then mirrored left to right when
// mirror is set, into out. out's size must be the rotated size; both have the same bit count
// (24 or 32).
void RotatePicture(const PictureView& in, const PictureView& out, int quarterTurns, bool mirror);
// Writes in (16, 24 or 32 bits per pixel) into out at out's depth (24 or 32), row for row as
// shown; 16-bit channels are widened to 8 bits. Both have the same size.
void ConvertPicture(const PictureView& in, const PictureView& out);
// Writes one field of in (its even rows) at half width and half height into out, each output
// pixel the mean of two neighbouring pixels; 24 or 32 bits per pixel.
void DeinterlaceHalfSize(const PictureView& in, const PictureView& out);
