// Device-independent bitmap headers and the decoder for bitmaps stored without a file header.
#pragma once

#include <cstdint>

#include <QImage>
#include <QString>

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

// Decodes a header, optional colour table or bit masks, and pixel data. Palette pictures come
// out as 24 bits; 16-bit data as RGB555 or RGB565 after its masks; 24 and 32 bits keep theirs.
// Returns a null image and sets *error for anything short, inconsistent or unsupported.
QImage DecodeDib(const QByteArray& data, QString* error);
