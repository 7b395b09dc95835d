// Device-independent bitmap headers as stored in files and media types; free of Qt, so that the
// media base classes and loadable filter modules can use them.
#pragma once

#include <cstdint>

#pragma pack(push, 2)
struct BITMAPINFOHEADER {
  std::uint32_t biSize;
  std::int32_t biWidth;
  std::int32_t biHeight;  // positive: bottom row first
  std::uint16_t biPlanes;
  std::uint16_t biBitCount;
  std::uint32_t biCompression;
  std::uint32_t biSizeImage;
  std::int32_t biXPelsPerMeter;
  std::int32_t biYPelsPerMeter;
  std::uint32_t biClrUsed;
  std::uint32_t biClrImportant;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPINFOHEADER) == 40);

inline constexpr std::uint32_t BI_RGB = 0;
inline constexpr std::uint32_t BI_BITFIELDS = 3;

// Bytes in one stored row of a bitmap: rows are padded to a multiple of 4 bytes.
inline constexpr int DibRowBytes(int width, int bitCount) {
  return ((width * bitCount + 31) / 32) * 4;
}

struct RGBQUAD {
  std::uint8_t rgbBlue;
  std::uint8_t rgbGreen;
  std::uint8_t rgbRed;
  std::uint8_t rgbReserved;
};

// A header followed by its colour table or bit masks (as many entries as the header says).
struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

// A bitmap as GetObject describes it; bmBits points at the DIB section's pixels.
struct BITMAP {
  std::int32_t bmType;
  std::int32_t bmWidth;
  std::int32_t bmHeight;
  std::int32_t bmWidthBytes;
  std::uint16_t bmPlanes;
  std::uint16_t bmBitsPixel;
  void* bmBits;
};

struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  std::uint32_t dsBitfields[3];
  void* dshSection;
  std::uint32_t dsOffset;
};
