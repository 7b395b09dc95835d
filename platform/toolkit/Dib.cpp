#include "platform/toolkit/Dib.h"

#include <cstring>
#include <limits>

namespace {

QImage Fail(QString* error, const QString& why) {
  if (error) *error = why;
  return {};
}

struct Masks {
  std::uint32_t red, green, blue;
};

}  // namespace

QImage DecodeDib(const QByteArray& data, QString* error) {
  if (data.size() < static_cast<qsizetype>(sizeof(BITMAPINFOHEADER)))
    return Fail(error, QStringLiteral("bitmap data shorter than its header"));
  BITMAPINFOHEADER h;
  std::memcpy(&h, data.constData(), sizeof h);
  if (h.biSize < sizeof h || h.biSize > static_cast<std::uint32_t>(data.size()))
    return Fail(error, QStringLiteral("bad bitmap header size %1").arg(h.biSize));
  const bool topDown = h.biHeight < 0;
  const std::int64_t height64 = topDown ? -static_cast<std::int64_t>(h.biHeight) : h.biHeight;
  if (h.biWidth <= 0 || height64 <= 0 || h.biWidth > 32768 || height64 > 32768)
    return Fail(error, QStringLiteral("bad bitmap size %1 x %2").arg(h.biWidth).arg(h.biHeight));
  const int width = h.biWidth;
  const int height = static_cast<int>(height64);
  const int bits = h.biBitCount;

  std::int64_t offset = h.biSize;
  Masks masks{0x7C00, 0x03E0, 0x001F};
  std::uint32_t palette[256] = {};
  int colours = 0;
  if (bits == 1 || bits == 4 || bits == 8) {
    if (h.biCompression != BI_RGB)
      return Fail(error, QStringLiteral("compressed palette bitmaps are not supported"));
    // Compared before the conversion: a count above the int range would turn negative.
    if (h.biClrUsed > (1u << bits)) return Fail(error, QStringLiteral("bad colour count"));
    colours = h.biClrUsed ? static_cast<int>(h.biClrUsed) : (1 << bits);
    if (offset + colours * 4 > data.size())
      return Fail(error, QStringLiteral("colour table truncated"));
    std::memcpy(palette, data.constData() + offset, static_cast<size_t>(colours) * 4);
    offset += colours * 4;
  } else if (bits == 16 || bits == 32) {
    if (h.biCompression == BI_BITFIELDS) {
      // Masks follow a 40-byte header; larger headers carry them inside.
      const std::int64_t at = h.biSize == sizeof h ? offset : 40;
      if (at + 12 > data.size()) return Fail(error, QStringLiteral("bit masks truncated"));
      std::memcpy(&masks, data.constData() + at, 12);
      if (h.biSize == sizeof h) offset += 12;
    } else if (h.biCompression != BI_RGB) {
      return Fail(error, QStringLiteral("unsupported compression %1").arg(h.biCompression));
    }
  } else if (bits == 24) {
    if (h.biCompression != BI_RGB)
      return Fail(error, QStringLiteral("unsupported compression %1").arg(h.biCompression));
  } else {
    return Fail(error, QStringLiteral("unsupported bit count %1").arg(bits));
  }

  const int rowBytes = DibRowBytes(width, bits);
  if (offset + static_cast<std::int64_t>(rowBytes) * height > data.size())
    return Fail(error, QStringLiteral("pixel data truncated"));
  const auto* pixels = reinterpret_cast<const std::uint8_t*>(data.constData()) + offset;

  QImage::Format format = QImage::Format_BGR888;
  if (bits == 32) {
    format = QImage::Format_RGB32;
  } else if (bits == 16) {
    if (masks.red == 0xF800 && masks.green == 0x07E0 && masks.blue == 0x001F)
      format = QImage::Format_RGB16;
    else if (masks.red == 0x7C00 && masks.green == 0x03E0 && masks.blue == 0x001F)
      format = QImage::Format_RGB555;
    else
      return Fail(error, QStringLiteral("unsupported 16-bit masks"));
  }
  QImage image(width, height, format);
  if (image.isNull()) return Fail(error, QStringLiteral("out of memory for the bitmap"));

  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src =
        pixels + static_cast<std::int64_t>(topDown ? y : height - 1 - y) * rowBytes;
    std::uint8_t* dst = image.scanLine(y);
    if (bits >= 16) {
      std::memcpy(dst, src, static_cast<size_t>(width) * (bits / 8));
      if (bits == 32)  // the fourth byte is unused in a bitmap; Qt expects it opaque
        for (int x = 0; x < width; ++x) dst[x * 4 + 3] = 0xFF;
      continue;
    }
    const int perByte = 8 / bits;
    const int mask = (1 << bits) - 1;
    for (int x = 0; x < width; ++x) {
      const int shift = 8 - bits * (x % perByte + 1);
      const int index = (src[x / perByte] >> shift) & mask;
      const std::uint32_t c = index < colours ? palette[index] : 0;  // RGBQUAD: b, g, r, 0
      dst[x * 3 + 0] = static_cast<std::uint8_t>(c & 0xFF);
      dst[x * 3 + 1] = static_cast<std::uint8_t>((c >> 8) & 0xFF);
      dst[x * 3 + 2] = static_cast<std::uint8_t>((c >> 16) & 0xFF);
    }
  }
  return image;
}
