// The engine's per-pixel walk: gray levels, decay and wipe of the clean levels, black-outs.
// Included by the main window and its tests only.
#pragma once

#include <cstddef>
#include <cstdint>

// One frame's walk over width x height pixels. The arrays are column-major (index
// x * height + y); both bitmaps hold pixels whose first three bytes are blue, green, red, rows
// from the top, `...Stride` bytes apart. Work pixels are 3 bytes; frame pixels 3 or 4 (the
// fourth byte is not read), so a 32-bit frame is walked where it lies. The walk reads the
// frame, updates the three arrays and blacks out every iced pixel of the work bitmap; it
// touches no other byte.
struct TCleaningWalk {
  int width = 0;
  int height = 0;
  int freezeStep = 0;
  int motionThreshold = 0;
  std::int32_t* gray = nullptr;
  std::int32_t* previous = nullptr;
  std::int32_t* clean = nullptr;
  const std::uint8_t* frameTop = nullptr;
  std::ptrdiff_t frameStride = 0;
  int frameBytesPerPixel = 3;  // 3 or 4
  std::uint8_t* workTop = nullptr;
  std::ptrdiff_t workStride = 0;
};

// Instruction sets the walk can run on. Automatic picks the fastest this processor has.
enum class TWalkPath { Automatic, Scalar, Sse2, Avx2 };

bool WalkPathAvailable(TWalkPath path);
// The path Automatic stands for on this processor.
TWalkPath FastestWalkPath();
// Runs the walk on `path` (an unavailable one runs as Scalar); returns the iced pixel count.
std::int32_t WalkPixels(const TCleaningWalk& walk, TWalkPath path = TWalkPath::Automatic);
