#include "platform/media/virtual/FramePacker.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <libyuv.h>

#include <QBuffer>
#include <QImage>

#include "platform/media/Guids.h"
#include "platform/toolkit/Dib.h"

namespace {

// Brightness and contrast as one table per channel value; saturation scales colour differences.
struct Adjuster {
  explicit Adjuster(const PictureAdjust& a)
      : saturation(static_cast<int>(std::clamp(a.saturation, 0L, 200L))) {
    const long contrast = std::clamp(a.contrast, 0L, 200L);
    const long offset = std::clamp(a.brightness, -100L, 100L) * 128 / 100;
    for (int v = 0; v < 256; ++v)
      lut[v] = static_cast<BYTE>(std::clamp((v - 128) * contrast / 100 + 128 + offset, 0L, 255L));
  }
  // The adjusted red, green and blue of one pixel.
  inline void Rgb(std::uint32_t px, int& r, int& g, int& b) const {
    r = lut[(px >> 16) & 0xFF];
    g = lut[(px >> 8) & 0xFF];
    b = lut[px & 0xFF];
    if (saturation != 100) {
      const int y = (77 * r + 150 * g + 29 * b) >> 8;
      r = std::clamp(y + (r - y) * saturation / 100, 0, 255);
      g = std::clamp(y + (g - y) * saturation / 100, 0, 255);
      b = std::clamp(y + (b - y) * saturation / 100, 0, 255);
    }
  }
  std::array<BYTE, 256> lut{};
  int saturation = 100;
};

inline BYTE LumaOf(int r, int g, int b) {
  return static_cast<BYTE>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
}
inline BYTE BlueDiffOf(int r, int g, int b) {
  return static_cast<BYTE>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
}
inline BYTE RedDiffOf(int r, int g, int b) {
  return static_cast<BYTE>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
}

// Packed 4:2:2 (two pixels share one colour pair); uyvy selects the byte order.
void PackPacked422(const std::uint32_t* pixels, int width, int height, const Adjuster& adj,
                   bool uyvy, BYTE* out) {
  const int rowBytes = width * 2;
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* src = pixels + static_cast<std::ptrdiff_t>(y) * width;
    BYTE* dst = out + static_cast<std::ptrdiff_t>(y) * rowBytes;
    for (int x = 0; x + 1 < width; x += 2) {
      int r0, g0, b0, r1, g1, b1;
      adj.Rgb(src[x], r0, g0, b0);
      adj.Rgb(src[x + 1], r1, g1, b1);
      const int r = (r0 + r1) >> 1;
      const int g = (g0 + g1) >> 1;
      const int b = (b0 + b1) >> 1;
      const BYTE y0 = LumaOf(r0, g0, b0);
      const BYTE y1 = LumaOf(r1, g1, b1);
      const BYTE u = BlueDiffOf(r, g, b);
      const BYTE v = RedDiffOf(r, g, b);
      if (uyvy) {
        dst[0] = u;
        dst[1] = y0;
        dst[2] = v;
        dst[3] = y1;
      } else {
        dst[0] = y0;
        dst[1] = u;
        dst[2] = y1;
        dst[3] = v;
      }
      dst += 4;
    }
  }
}

// Planar 4:2:0: full-size luma, then colour planes of half size averaged over 2x2 pixels.
enum class Planar { I420, YV12, NV12 };
void PackPlanar420(const std::uint32_t* pixels, int width, int height, const Adjuster& adj,
                   Planar layout, BYTE* out) {
  const int cw = (width + 1) / 2;
  const int ch = (height + 1) / 2;
  BYTE* luma = out;
  BYTE* plane1 = out + static_cast<std::ptrdiff_t>(width) * height;
  BYTE* plane2 = plane1 + static_cast<std::ptrdiff_t>(cw) * ch;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      int r, g, b;
      adj.Rgb(pixels[static_cast<std::ptrdiff_t>(y) * width + x], r, g, b);
      luma[static_cast<std::ptrdiff_t>(y) * width + x] = LumaOf(r, g, b);
    }
  for (int cy = 0; cy < ch; ++cy)
    for (int cx = 0; cx < cw; ++cx) {
      int sr = 0, sg = 0, sb = 0, n = 0;
      for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx) {
          const int x = std::min(width - 1, cx * 2 + dx);
          const int y = std::min(height - 1, cy * 2 + dy);
          int r, g, b;
          adj.Rgb(pixels[static_cast<std::ptrdiff_t>(y) * width + x], r, g, b);
          sr += r;
          sg += g;
          sb += b;
          ++n;
        }
      const BYTE u = BlueDiffOf(sr / n, sg / n, sb / n);
      const BYTE v = RedDiffOf(sr / n, sg / n, sb / n);
      const std::ptrdiff_t i = static_cast<std::ptrdiff_t>(cy) * cw + cx;
      switch (layout) {
        case Planar::I420:
          plane1[i] = u;
          plane2[i] = v;
          break;
        case Planar::YV12:
          plane1[i] = v;
          plane2[i] = u;
          break;
        case Planar::NV12:
          plane1[static_cast<std::ptrdiff_t>(cy) * cw * 2 + cx * 2] = u;
          plane1[static_cast<std::ptrdiff_t>(cy) * cw * 2 + cx * 2 + 1] = v;
          break;
      }
    }
}

// Bottom-up RGB of 16, 24 or 32 bits.
void PackRgb(const std::uint32_t* pixels, int width, int height, const Adjuster& adj, int bitCount,
             bool rgb565, BYTE* out) {
  const int rowBytes = DibRowBytes(width, bitCount);
  for (int y = 0; y < height; ++y) {
    const std::uint32_t* src = pixels + static_cast<std::ptrdiff_t>(height - 1 - y) * width;
    BYTE* dst = out + static_cast<std::ptrdiff_t>(y) * rowBytes;
    for (int x = 0; x < width; ++x) {
      int r, g, b;
      adj.Rgb(src[x], r, g, b);
      switch (bitCount) {
        case 32:
          dst[0] = static_cast<BYTE>(b);
          dst[1] = static_cast<BYTE>(g);
          dst[2] = static_cast<BYTE>(r);
          dst[3] = 0xFF;
          dst += 4;
          break;
        case 24:
          dst[0] = static_cast<BYTE>(b);
          dst[1] = static_cast<BYTE>(g);
          dst[2] = static_cast<BYTE>(r);
          dst += 3;
          break;
        default: {
          const unsigned v = rgb565 ? ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)
                                    : ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
          dst[0] = static_cast<BYTE>(v & 0xFF);
          dst[1] = static_cast<BYTE>(v >> 8);
          dst += 2;
        }
      }
    }
    std::fill(dst, out + static_cast<std::ptrdiff_t>(y + 1) * rowBytes, BYTE{0});
  }
}

long PackJpeg(const std::uint32_t* pixels, int width, int height, const Adjuster& adj, BYTE* out,
              long outBytes) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) {
      int r, g, b;
      adj.Rgb(pixels[static_cast<std::ptrdiff_t>(y) * width + x], r, g, b);
      row[x] = 0xFF000000u | (static_cast<unsigned>(r) << 16) | (static_cast<unsigned>(g) << 8) |
               static_cast<unsigned>(b);
    }
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "JPEG", 85) || bytes.size() > outBytes) return 0;
  std::memcpy(out, bytes.constData(), static_cast<std::size_t>(bytes.size()));
  return static_cast<long>(bytes.size());
}

long NeededBytes(REFGUID subtype, int width, int height) {
  const long pixels = static_cast<long>(width) * height;
  const long chroma = static_cast<long>((width + 1) / 2) * ((height + 1) / 2);
  if (subtype == MEDIASUBTYPE_YUY2 || subtype == MEDIASUBTYPE_UYVY) return pixels * 2;
  if (subtype == MEDIASUBTYPE_I420 || subtype == MEDIASUBTYPE_IYUV ||
      subtype == MEDIASUBTYPE_YV12 || subtype == MEDIASUBTYPE_NV12)
    return pixels + 2 * chroma;
  if (subtype == MEDIASUBTYPE_RGB32) return static_cast<long>(DibRowBytes(width, 32)) * height;
  if (subtype == MEDIASUBTYPE_RGB24) return static_cast<long>(DibRowBytes(width, 24)) * height;
  if (subtype == MEDIASUBTYPE_RGB565 || subtype == MEDIASUBTYPE_RGB555)
    return static_cast<long>(DibRowBytes(width, 16)) * height;
  return 0;
}

}  // namespace

bool CanPackSubtype(REFGUID subtype) {
  return NeededBytes(subtype, 2, 2) > 0 || subtype == MEDIASUBTYPE_MJPG;
}

long PackFrame(const std::uint32_t* pixels, int width, int height, REFGUID subtype,
               const PictureAdjust& adjust, BYTE* out, long outBytes) {
  if (!pixels || !out || width <= 0 || height <= 0) return 0;
  const Adjuster adj(adjust);
  if (subtype == MEDIASUBTYPE_MJPG) return PackJpeg(pixels, width, height, adj, out, outBytes);
  const long needed = NeededBytes(subtype, width, height);
  if (needed == 0 || needed > outBytes) return 0;
  const bool plain = adjust.Neutral();
  const bool uyvy = subtype == MEDIASUBTYPE_UYVY;
  if ((subtype == MEDIASUBTYPE_YUY2 || uyvy) && plain && width % 2 == 0) {
    // Unadjusted pictures take libyuv's vectorised conversion (0xFFRRGGBB words are its ARGB).
    const auto* argb = reinterpret_cast<const std::uint8_t*>(pixels);
    if (uyvy)
      libyuv::ARGBToUYVY(argb, width * 4, out, width * 2, width, height);
    else
      libyuv::ARGBToYUY2(argb, width * 4, out, width * 2, width, height);
  } else if (subtype == MEDIASUBTYPE_RGB24 && plain) {
    // Bottom-up through a negative source stride; libyuv leaves the row padding alone.
    const auto* argb = reinterpret_cast<const std::uint8_t*>(pixels);
    const int rowBytes = DibRowBytes(width, 24);
    libyuv::ARGBToRGB24(argb + static_cast<std::ptrdiff_t>(height - 1) * width * 4, -width * 4, out,
                        rowBytes, width, height);
    if (rowBytes > width * 3)
      for (int y = 0; y < height; ++y)
        std::fill(out + static_cast<std::ptrdiff_t>(y) * rowBytes + width * 3,
                  out + static_cast<std::ptrdiff_t>(y + 1) * rowBytes, BYTE{0});
  } else if (subtype == MEDIASUBTYPE_RGB32 && plain) {
    // The pixels already are opaque 0xFFRRGGBB words: only the rows turn bottom-up.
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    for (int y = 0; y < height; ++y)
      std::memcpy(out + static_cast<std::ptrdiff_t>(y) * rowBytes,
                  pixels + static_cast<std::ptrdiff_t>(height - 1 - y) * width, rowBytes);
  } else if (subtype == MEDIASUBTYPE_YUY2 || uyvy)
    PackPacked422(pixels, width, height, adj, uyvy, out);
  else if (subtype == MEDIASUBTYPE_I420 || subtype == MEDIASUBTYPE_IYUV)
    PackPlanar420(pixels, width, height, adj, Planar::I420, out);
  else if (subtype == MEDIASUBTYPE_YV12)
    PackPlanar420(pixels, width, height, adj, Planar::YV12, out);
  else if (subtype == MEDIASUBTYPE_NV12)
    PackPlanar420(pixels, width, height, adj, Planar::NV12, out);
  else if (subtype == MEDIASUBTYPE_RGB32)
    PackRgb(pixels, width, height, adj, 32, false, out);
  else if (subtype == MEDIASUBTYPE_RGB24)
    PackRgb(pixels, width, height, adj, 24, false, out);
  else
    PackRgb(pixels, width, height, adj, 16, subtype == MEDIASUBTYPE_RGB565, out);
  return needed;
}
