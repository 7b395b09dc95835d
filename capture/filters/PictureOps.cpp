#include "capture/filters/PictureOps.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <libyuv.h>
#include <numbers>
#include <vector>

namespace {

template <class Pixel>
void ReverseRow(std::uint8_t* row, int width) {
  auto* pixels = reinterpret_cast<Pixel*>(row);
  std::reverse(pixels, pixels + width);
}

std::uint8_t Clamp255(int value) {
  return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

// Saturation, hue, grey scale and inversion on one pixel (B, G, R order), after the level table.
struct ChromaOps {
  int saturationScale = 256;  // 256 = unchanged
  int hueCos = 256;
  int hueSin = 0;
  bool grey = false;
  bool invert = false;
  bool chroma = false;  // saturation, hue or grey active

  void Apply(std::uint8_t* p, const std::uint8_t* level) const {
    int b = level[p[0]], g = level[p[1]], r = level[p[2]];
    if (chroma) {
      // Luma with the BT.601 weights, chroma as differences; hue turns the chroma plane.
      const int y = (77 * r + 150 * g + 29 * b) >> 8;
      if (grey) {
        r = g = b = y;
      } else {
        const int u = b - y, v = r - y;
        const int u2 = ((u * hueCos - v * hueSin) >> 8) * saturationScale >> 8;
        const int v2 = ((u * hueSin + v * hueCos) >> 8) * saturationScale >> 8;
        b = y + u2;
        r = y + v2;
        g = y - (29 * u2 + 77 * v2) / 150;
      }
    }
    if (invert) {
      b = 255 - Clamp255(b);
      g = 255 - Clamp255(g);
      r = 255 - Clamp255(r);
    }
    p[0] = Clamp255(b);
    p[1] = Clamp255(g);
    p[2] = Clamp255(r);
  }
};

// A 16-bit pixel as blue, green and red of 8 bits each (the high bits repeated into the low
// ones, so full scale stays full scale), and back.
void Unpack16(std::uint16_t v, bool rgb565, std::uint8_t* bgr) {
  const int b = v & 31;
  const int g = rgb565 ? (v >> 5) & 63 : (v >> 5) & 31;
  const int r = rgb565 ? (v >> 11) & 31 : (v >> 10) & 31;
  bgr[0] = static_cast<std::uint8_t>((b << 3) | (b >> 2));
  bgr[1] = rgb565 ? static_cast<std::uint8_t>((g << 2) | (g >> 4))
                  : static_cast<std::uint8_t>((g << 3) | (g >> 2));
  bgr[2] = static_cast<std::uint8_t>((r << 3) | (r >> 2));
}

std::uint16_t Pack16(const std::uint8_t* bgr, bool rgb565) {
  if (rgb565)
    return static_cast<std::uint16_t>(((bgr[2] >> 3) << 11) | ((bgr[1] >> 2) << 5) | (bgr[0] >> 3));
  return static_cast<std::uint16_t>(((bgr[2] >> 3) << 10) | ((bgr[1] >> 3) << 5) | (bgr[0] >> 3));
}

template <class T>
T Relaxed(T& field) {
  return std::atomic_ref<T>(field).load(std::memory_order_relaxed);
}

}  // namespace

bool ColourTables::Update(const VideoProcessingBlock& block) {
  if (!valid_ || block.Brightness != brightness_ || block.Contrast != contrast_) {
    brightness_ = block.Brightness;
    contrast_ = block.Contrast;
    valid_ = true;
    // Brightness shifts by up to a full range; contrast scales around the middle grey, from
    // flat (-100) to double (+100).
    const int offset = std::clamp(brightness_, -100, 100) * 255 / 100;
    const int scale = 100 + std::clamp(contrast_, -100, 100);
    for (int v = 0; v < 256; ++v) level_[v] = Clamp255((v - 128) * scale / 100 + 128 + offset);
  }
  return block.Brightness != 0 || block.Contrast != 0 || block.Saturation != 0 || block.Hue != 0 ||
         block.GrayScale || block.InvertColors;
}

void FlipHorizontal(const PictureView& picture) {
  if (picture.bitCount == 32 || picture.bitCount == 24) {
    // libyuv's vectorised mirror writes into another row: mirror into a scratch row, copy back.
    const std::size_t rowBytes = static_cast<std::size_t>(picture.width) * picture.bitCount / 8;
    thread_local std::vector<std::uint8_t> scratch;
    if (scratch.size() < rowBytes) scratch.resize(rowBytes);
    for (int y = 0; y < picture.height; ++y) {
      std::uint8_t* row = picture.bits + static_cast<std::ptrdiff_t>(y) * picture.strideBytes;
      if (picture.bitCount == 32)
        libyuv::ARGBMirror(row, 0, scratch.data(), 0, picture.width, 1);
      else
        libyuv::RGB24Mirror(row, 0, scratch.data(), 0, picture.width, 1);
      std::memcpy(row, scratch.data(), rowBytes);
    }
    return;
  }
  for (int y = 0; y < picture.height; ++y) {
    std::uint8_t* row = picture.bits + static_cast<std::ptrdiff_t>(y) * picture.strideBytes;
    switch (picture.bitCount) {
      case 16:
        ReverseRow<std::uint16_t>(row, picture.width);
        break;
      case 8:
        ReverseRow<std::uint8_t>(row, picture.width);
        break;
      default:
        return;
    }
  }
}

void FlipVertical(const PictureView& picture) {
  const std::size_t rowBytes = static_cast<std::size_t>(picture.strideBytes);
  for (int top = 0, bottom = picture.height - 1; top < bottom; ++top, --bottom) {
    std::uint8_t* a = picture.bits + static_cast<std::ptrdiff_t>(top) * picture.strideBytes;
    std::uint8_t* b = picture.bits + static_cast<std::ptrdiff_t>(bottom) * picture.strideBytes;
    std::swap_ranges(a, a + rowBytes, b);
  }
}

void DeinterlaceFullSize(const PictureView& picture) {
  const int rowBytes = picture.width * picture.bitCount / 8;
  for (int y = 1; y < picture.height; y += 2) {
    std::uint8_t* row = picture.VisualRow(y);
    const std::uint8_t* above = picture.VisualRow(y - 1);
    if (y + 1 >= picture.height || picture.bitCount < 24) {
      std::memcpy(row, above, static_cast<std::size_t>(rowBytes));
      continue;
    }
    const std::uint8_t* below = picture.VisualRow(y + 1);
    for (int i = 0; i < rowBytes; ++i)
      row[i] = static_cast<std::uint8_t>((above[i] + below[i] + 1) >> 1);
  }
}

VideoProcessingBlock ReadProcessingBlock(VideoProcessingBlock& live) {
  VideoProcessingBlock block{};
  block.Brightness = Relaxed(live.Brightness);
  block.Contrast = Relaxed(live.Contrast);
  block.Saturation = Relaxed(live.Saturation);
  block.Hue = Relaxed(live.Hue);
  block.GrayScale = Relaxed(live.GrayScale);
  block.InvertColors = Relaxed(live.InvertColors);
  block.FullSizeDeinterlacing = Relaxed(live.FullSizeDeinterlacing);
  block.FlipHorizontal = Relaxed(live.FlipHorizontal);
  block.FlipVertical = Relaxed(live.FlipVertical);
  block.ColorAdjustment = Relaxed(live.ColorAdjustment);
  return block;
}

void ApplyProcessing(const VideoProcessingBlock& block, ColourTables& tables,
                     const PictureView& picture) {
  if (block.FullSizeDeinterlacing) DeinterlaceFullSize(picture);
  if (block.FlipHorizontal) FlipHorizontal(picture);
  if (block.FlipVertical) FlipVertical(picture);
  if (!tables.Update(block) || picture.bitCount < 16) return;

  ChromaOps ops;
  ops.grey = block.GrayScale != 0;
  ops.invert = block.InvertColors != 0;
  ops.saturationScale = (100 + std::clamp(block.Saturation, -100, 100)) * 256 / 100;
  const double angle = std::clamp(block.Hue, -180, 180) * std::numbers::pi / 180.0;
  ops.hueCos = static_cast<int>(std::lround(std::cos(angle) * 256));
  ops.hueSin = static_cast<int>(std::lround(std::sin(angle) * 256));
  ops.chroma = ops.grey || block.Saturation != 0 || block.Hue != 0;
  if (picture.bitCount == 16) {
    for (int y = 0; y < picture.height; ++y) {
      auto* p = reinterpret_cast<std::uint16_t*>(picture.bits + static_cast<std::ptrdiff_t>(y) *
                                                                    picture.strideBytes);
      for (int x = 0; x < picture.width; ++x) {
        std::uint8_t bgr[3];
        Unpack16(p[x], picture.rgb565, bgr);
        ops.Apply(bgr, tables.Level());
        p[x] = Pack16(bgr, picture.rgb565);
      }
    }
    return;
  }
  const int step = picture.bitCount / 8;
  for (int y = 0; y < picture.height; ++y) {
    std::uint8_t* p = picture.bits + static_cast<std::ptrdiff_t>(y) * picture.strideBytes;
    for (int x = 0; x < picture.width; ++x, p += step) ops.Apply(p, tables.Level());
  }
}

void RotatePicture(const PictureView& in, const PictureView& out, int quarterTurns, bool mirror) {
  const int step = in.bitCount / 8;
  for (int oy = 0; oy < out.height; ++oy) {
    std::uint8_t* target = out.VisualRow(oy);
    for (int ox = 0; ox < out.width; ++ox) {
      // The output pixel (ox, oy) before mirroring, then its source in the input.
      const int mx = mirror ? out.width - 1 - ox : ox;
      int sx = mx, sy = oy;
      switch (quarterTurns & 3) {
        case 1:  // clockwise: output column mx is input row (height - 1 - mx)
          sx = oy;
          sy = in.height - 1 - mx;
          break;
        case 2:
          sx = in.width - 1 - mx;
          sy = in.height - 1 - oy;
          break;
        case 3:
          sx = in.width - 1 - oy;
          sy = mx;
          break;
        default:
          break;
      }
      std::memcpy(target + static_cast<std::ptrdiff_t>(ox) * step,
                  in.VisualRow(sy) + static_cast<std::ptrdiff_t>(sx) * step,
                  static_cast<std::size_t>(step));
    }
  }
}

void DeinterlaceHalfSize(const PictureView& in, const PictureView& out) {
  const int step = in.bitCount / 8;
  for (int oy = 0; oy < out.height; ++oy) {
    const std::uint8_t* source = in.VisualRow(std::min(oy * 2, in.height - 1));
    std::uint8_t* target = out.VisualRow(oy);
    for (int ox = 0; ox < out.width; ++ox) {
      const std::uint8_t* a = source + static_cast<std::ptrdiff_t>(ox) * 2 * step;
      const std::uint8_t* b = 2 * ox + 1 < in.width ? a + step : a;
      for (int c = 0; c < step; ++c)
        target[static_cast<std::ptrdiff_t>(ox) * step + c] =
            static_cast<std::uint8_t>((a[c] + b[c] + 1) >> 1);
    }
  }
}

void ConvertPicture(const PictureView& in, const PictureView& out) {
  const int inBytes = in.bitCount / 8, outBytes = out.bitCount / 8;
  for (int y = 0; y < in.height; ++y) {
    const std::uint8_t* src = in.VisualRow(y);
    std::uint8_t* dst = out.VisualRow(y);
    for (int x = 0; x < in.width; ++x, src += inBytes, dst += outBytes) {
      if (inBytes == 2)
        Unpack16(static_cast<std::uint16_t>(src[0] | src[1] << 8), in.rgb565, dst);
      else
        std::memcpy(dst, src, 3);
      if (outBytes == 4) dst[3] = 0;
    }
  }
}
