// Tests of the frame generators and the frame packer of the virtual cameras.
#include "platform/media/virtual/DemoScene.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "platform/media/Guids.h"
#include "platform/media/virtual/FramePacker.h"

namespace {

std::vector<std::uint32_t> RenderFrame(FrameGenerator& g, std::int64_t n, int w, int h) {
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h, 0);
  g.Render(n, w, h, pixels.data());
  return pixels;
}

// Catches: a scene that depends on anything but the frame number (time, call order, a
// generator's history), which would make frames in tests unpredictable.
TEST(DemoScene, SameFrameNumberGivesTheSamePixels) {
  DemoScene first;
  DemoScene second;
  const auto a = RenderFrame(first, 123, 320, 240);
  RenderFrame(first, 7, 320, 240);
  RenderFrame(first, 5, 160, 120);  // another size in between redraws the background
  EXPECT_EQ(RenderFrame(first, 123, 320, 240), a);
  EXPECT_EQ(RenderFrame(second, 123, 320, 240), a);
  EXPECT_NE(RenderFrame(second, 124, 320, 240), a);
}

// Catches: hands that wave only in part of the picture; the game cleans only where it sees
// motion, so within some seconds every part of the picture must change between frames.
TEST(DemoScene, HandsSweepOverTheWholePictureWithinTwentySeconds) {
  constexpr int w = 160;
  constexpr int h = 120;
  constexpr int block = 16;
  DemoScene scene;
  std::vector<bool> moved((w / block) * (h / block), false);
  auto previous = RenderFrame(scene, 0, w, h);
  for (int n = 1; n <= 20 * 30; ++n) {
    auto frame = RenderFrame(scene, n, w, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (frame[y * w + x] != previous[y * w + x])
          moved[(y / block) * (w / block) + x / block] = true;
    previous.swap(frame);
  }
  for (int by = 0; by < h / block; ++by)
    for (int bx = 0; bx < w / block; ++bx)
      EXPECT_TRUE(moved[by * (w / block) + bx]) << "block " << bx << "," << by << " never moved";
}

// Catches: the pattern's frame-number cells not encoding the number (scripted-device tests
// read them back to check which frame arrived).
TEST(TestPattern, TopRowEncodesTheFrameNumber) {
  TestPattern pattern;
  constexpr int w = 160;
  for (std::int64_t n : {0, 1, 37, 1000}) {
    const auto pixels = RenderFrame(pattern, n, w, 120);
    std::int64_t decoded = 0;
    for (int bit = 0; bit < 16; ++bit) {
      const std::uint32_t cell = pixels[static_cast<std::size_t>(w * (15 - bit) / 16 + 2)];
      if (cell == 0xFFFFFFFF) decoded |= std::int64_t{1} << bit;
    }
    EXPECT_EQ(decoded, n);
  }
}

// Catches: brightness and contrast that are reported but do not change the picture.
TEST(FramePacker, BrightnessAndContrastChangeThePixels) {
  constexpr int w = 64;
  constexpr int h = 48;
  DemoScene scene;
  const auto pixels = RenderFrame(scene, 40, w, h);
  auto pack = [&](PictureAdjust a, GUID subtype) {
    std::vector<BYTE> out(w * h * 3, 0);
    const long bytes =
        PackFrame(pixels.data(), w, h, subtype, a, out.data(), static_cast<long>(out.size()));
    EXPECT_GT(bytes, 0);
    out.resize(static_cast<std::size_t>(std::max(0L, bytes)));
    return out;
  };
  auto mean = [](const std::vector<BYTE>& v, std::size_t stride) {
    double sum = 0;
    for (std::size_t i = 0; i < v.size(); i += stride) sum += v[i];
    return sum / static_cast<double>(v.size() / stride);
  };
  auto spread = [](const std::vector<BYTE>& v, std::size_t stride) {
    BYTE lo = 255, hi = 0;
    for (std::size_t i = 0; i < v.size(); i += stride) {
      lo = std::min(lo, v[i]);
      hi = std::max(hi, v[i]);
    }
    return hi - lo;
  };
  for (GUID subtype : {MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB24}) {
    const std::size_t stride = subtype == MEDIASUBTYPE_YUY2 ? 2 : 1;  // luma bytes of YUY2
    const auto normal = pack({}, subtype);
    const auto brighter = pack({50, 100, 100}, subtype);
    const auto darker = pack({-50, 100, 100}, subtype);
    const auto flat = pack({0, 20, 100}, subtype);
    EXPECT_GT(mean(brighter, stride), mean(normal, stride) + 20);
    EXPECT_LT(mean(darker, stride), mean(normal, stride) - 20);
    EXPECT_LT(spread(flat, stride), spread(normal, stride) / 2);
  }
}

// Catches: RGB frames written top-down (the bitmap convention is bottom-up) and YUV written
// with the wrong colour equations.
TEST(FramePacker, RgbIsBottomUpAndYuvFollowsBt601) {
  constexpr int w = 4;
  constexpr int h = 2;
  // Top row red, bottom row white.
  const std::uint32_t pixels[w * h] = {0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000,
                                       0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
  BYTE rgb[w * h * 3];
  ASSERT_EQ(PackFrame(pixels, w, h, MEDIASUBTYPE_RGB24, {}, rgb, sizeof rgb),
            static_cast<long>(sizeof rgb));
  EXPECT_EQ(rgb[0], 255);       // first stored row is the bottom (white) row
  EXPECT_EQ(rgb[12 + 0], 0);    // then the red row: blue 0,
  EXPECT_EQ(rgb[12 + 2], 255);  // red 255
  BYTE yuy2[w * h * 2];
  ASSERT_EQ(PackFrame(pixels, w, h, MEDIASUBTYPE_YUY2, {}, yuy2, sizeof yuy2),
            static_cast<long>(sizeof yuy2));
  EXPECT_NEAR(yuy2[0], 82, 1);   // Y of pure red
  EXPECT_NEAR(yuy2[1], 90, 1);   // U
  EXPECT_NEAR(yuy2[3], 240, 1);  // V
  EXPECT_NEAR(yuy2[8], 235, 1);  // Y of white on the second row
  BYTE uyvy[w * h * 2];
  ASSERT_EQ(PackFrame(pixels, w, h, MEDIASUBTYPE_UYVY, {}, uyvy, sizeof uyvy),
            static_cast<long>(sizeof uyvy));
  EXPECT_NEAR(uyvy[0], 90, 1);   // U first
  EXPECT_NEAR(uyvy[1], 82, 1);   // then Y
  EXPECT_NEAR(uyvy[2], 240, 1);  // V
  // An adjusted picture takes the table path; unadjusted values stay the same there.
  BYTE adjusted[w * h * 2];
  ASSERT_EQ(PackFrame(pixels, w, h, MEDIASUBTYPE_YUY2, {0, 100, 99}, adjusted, sizeof adjusted),
            static_cast<long>(sizeof adjusted));
  for (std::size_t i = 0; i < sizeof yuy2; i += 2) EXPECT_NEAR(adjusted[i], yuy2[i], 1) << i;
  BYTE small[4];
  EXPECT_EQ(PackFrame(pixels, w, h, MEDIASUBTYPE_YUY2, {}, small, sizeof small), 0);
  EXPECT_EQ(PackFrame(pixels, w, h, MEDIASUBTYPE_dvsd, {}, yuy2, sizeof yuy2), 0);
}

// Catches: the unadjusted RGB24 and RGB32 fast paths writing rows top-down, swapping channels,
// dropping the opaque alpha of 32 bits or leaving row padding unset (5 pixels: 15 bytes of 16).
TEST(FramePacker, PlainRgbIsExactBottomUpWithZeroPadding) {
  constexpr int w = 5;
  constexpr int h = 3;
  std::uint32_t pixels[w * h];
  for (int i = 0; i < w * h; ++i)
    pixels[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 0x0B0703);
  for (const auto& [subtype, bytesPerPixel, rowBytes] :
       {std::tuple{MEDIASUBTYPE_RGB24, 3, 16}, std::tuple{MEDIASUBTYPE_RGB32, 4, 20}}) {
    SCOPED_TRACE(bytesPerPixel);
    std::vector<BYTE> rgb(static_cast<std::size_t>(rowBytes * h), BYTE{0xAA});
    ASSERT_EQ(PackFrame(pixels, w, h, subtype, {}, rgb.data(), static_cast<long>(rgb.size())),
              static_cast<long>(rgb.size()));
    for (int y = 0; y < h; ++y) {
      const BYTE* row = rgb.data() + y * rowBytes;
      for (int x = 0; x < w; ++x) {
        const std::uint32_t p = pixels[(h - 1 - y) * w + x];
        for (int c = 0; c < bytesPerPixel; ++c)
          EXPECT_EQ(row[x * bytesPerPixel + c], (p >> (8 * c)) & 0xFF) << x << "," << y << "," << c;
      }
      if (bytesPerPixel == 3) {
        EXPECT_EQ(row[15], 0) << y;
      }
    }
  }
}

}  // namespace
