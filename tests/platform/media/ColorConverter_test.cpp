// Tests of the colour converter: pixel values and row order on known patterns.
#include "platform/media/ColorConverter.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {

struct Rgb {
  int r, g, b;
};
struct Yuv {
  BYTE y, u, v;
};

// BT.601 limited range: white, red and blue with their RGB values.
constexpr Yuv kWhite{235, 128, 128};
constexpr Yuv kRed{81, 90, 240};
constexpr Yuv kBlue{41, 240, 110};
constexpr Rgb kWhiteRgb{255, 255, 255};
constexpr Rgb kRedRgb{255, 0, 0};
constexpr Rgb kBlueRgb{0, 0, 255};

constexpr int W = 4, H = 4;  // top two rows `top`, bottom two rows `bottom`

std::vector<BYTE> MakeYuv(REFGUID s, Yuv top, Yuv bottom) {
  std::vector<BYTE> f;
  auto rowColour = [&](int row) { return row < H / 2 ? top : bottom; };
  if (s == MEDIASUBTYPE_YUY2 || s == MEDIASUBTYPE_UYVY) {
    for (int row = 0; row < H; ++row)
      for (int x = 0; x < W; x += 2) {
        const Yuv c = rowColour(row);
        if (s == MEDIASUBTYPE_YUY2)
          f.insert(f.end(), {c.y, c.u, c.y, c.v});
        else
          f.insert(f.end(), {c.u, c.y, c.v, c.y});
      }
    return f;
  }
  for (int row = 0; row < H; ++row)
    for (int x = 0; x < W; ++x) f.push_back(rowColour(row).y);
  if (s == MEDIASUBTYPE_NV12) {
    for (int row = 0; row < H / 2; ++row)
      for (int x = 0; x < W / 2; ++x)
        f.insert(f.end(), {rowColour(row * 2).u, rowColour(row * 2).v});
    return f;
  }
  const bool vFirst = s == MEDIASUBTYPE_YV12;
  for (int plane = 0; plane < 2; ++plane)
    for (int row = 0; row < H / 2; ++row)
      for (int x = 0; x < W / 2; ++x) {
        const Yuv c = rowColour(row * 2);
        f.push_back((plane == 0) != vFirst ? c.u : c.v);
      }
  return f;
}

Rgb ReadPixel(REFGUID s, const std::vector<BYTE>& frame, int storedRow, int x) {
  const int bits = SubtypeBitCount(s);
  const BYTE* p = frame.data() + DibRowBytes(W, bits) * storedRow + x * bits / 8;
  if (bits == 32 || bits == 24) return {p[2], p[1], p[0]};
  const int v = p[0] | (p[1] << 8);
  if (s == MEDIASUBTYPE_RGB565)
    return {((v >> 11) & 31) * 255 / 31, ((v >> 5) & 63) * 255 / 63, (v & 31) * 255 / 31};
  return {((v >> 10) & 31) * 255 / 31, ((v >> 5) & 31) * 255 / 31, (v & 31) * 255 / 31};
}

void ExpectNear(Rgb actual, Rgb expected, int tolerance) {
  EXPECT_NEAR(actual.r, expected.r, tolerance);
  EXPECT_NEAR(actual.g, expected.g, tolerance);
  EXPECT_NEAR(actual.b, expected.b, tolerance);
}

struct Case {
  const char* name;
  GUID in;
  GUID out;
};

class ConvertYuv : public testing::TestWithParam<Case> {};

// Catches: wrong colour matrix, swapped chroma planes or bytes, and frames left upside down.
TEST_P(ConvertYuv, KnownColoursLandInBottomUpRows) {
  const Case& c = GetParam();
  MediaType inType = MediaType::Video(c.in, W, H, 0);
  MediaType outType = MediaType::Video(c.out, W, H, 0);
  const int tolerance = SubtypeBitCount(c.out) == 16 ? 12 : 4;
  for (auto [top, topRgb, bottom, bottomRgb] : {std::tuple{kWhite, kWhiteRgb, kRed, kRedRgb},
                                                std::tuple{kBlue, kBlueRgb, kWhite, kWhiteRgb}}) {
    std::vector<BYTE> in = MakeYuv(c.in, top, bottom);
    std::vector<BYTE> out(SubtypeFrameBytes(c.out, W, H), 0xAB);
    std::vector<BYTE> scratch;
    ASSERT_TRUE(ConvertFrame(*inType, in.data(), static_cast<long>(in.size()), *outType, out.data(),
                             static_cast<long>(out.size()), scratch));
    // Stored row 0 is the bottom of the picture.
    ExpectNear(ReadPixel(c.out, out, 0, 1), bottomRgb, tolerance);
    ExpectNear(ReadPixel(c.out, out, H - 1, 2), topRgb, tolerance);
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, ConvertYuv,
                         testing::Values(Case{"Yuy2Rgb32", MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB32},
                                         Case{"Yuy2Rgb24", MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB24},
                                         Case{"Yuy2Rgb565", MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB565},
                                         Case{"Yuy2Rgb555", MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB555},
                                         Case{"UyvyRgb32", MEDIASUBTYPE_UYVY, MEDIASUBTYPE_RGB32},
                                         Case{"I420Rgb24", MEDIASUBTYPE_I420, MEDIASUBTYPE_RGB24},
                                         Case{"Yv12Rgb32", MEDIASUBTYPE_YV12, MEDIASUBTYPE_RGB32},
                                         Case{"Nv12Rgb32", MEDIASUBTYPE_NV12, MEDIASUBTYPE_RGB32},
                                         Case{"Nv12Rgb565", MEDIASUBTYPE_NV12,
                                              MEDIASUBTYPE_RGB565}),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

// Catches: RGB input flipped when both sides are bottom-up, or not flipped when the input is
// top-down.
TEST(ConvertRgb, RowOrderFollowsHeightSign) {
  MediaType in24 = MediaType::Video(MEDIASUBTYPE_RGB24, W, H, 0);
  MediaType out32 = MediaType::Video(MEDIASUBTYPE_RGB32, W, H, 0);
  std::vector<BYTE> in(SubtypeFrameBytes(MEDIASUBTYPE_RGB24, W, H), 0);
  // Stored row 0 (picture bottom) blue, the rest red.
  for (int row = 0; row < H; ++row)
    for (int x = 0; x < W; ++x) {
      BYTE* p = in.data() + DibRowBytes(W, 24) * row + 3 * x;
      if (row == 0) {
        p[0] = 255;
      } else {
        p[2] = 255;
      }
    }
  std::vector<BYTE> out(SubtypeFrameBytes(MEDIASUBTYPE_RGB32, W, H));
  std::vector<BYTE> scratch;
  ASSERT_TRUE(ConvertFrame(*in24, in.data(), static_cast<long>(in.size()), *out32, out.data(),
                           static_cast<long>(out.size()), scratch));
  ExpectNear(ReadPixel(MEDIASUBTYPE_RGB32, out, 0, 0), kBlueRgb, 0);
  ExpectNear(ReadPixel(MEDIASUBTYPE_RGB32, out, H - 1, 0), kRedRgb, 0);
  // The same bytes declared top-down: stored row 0 is now the picture's top.
  GetBitmapInfoHeader(*in24.Get())->biHeight = -H;
  ASSERT_TRUE(ConvertFrame(*in24, in.data(), static_cast<long>(in.size()), *out32, out.data(),
                           static_cast<long>(out.size()), scratch));
  ExpectNear(ReadPixel(MEDIASUBTYPE_RGB32, out, H - 1, 0), kBlueRgb, 0);
  ExpectNear(ReadPixel(MEDIASUBTYPE_RGB32, out, 0, 0), kRedRgb, 0);
}

// Catches: short input or output buffers read or written past their end.
TEST(ConvertRgb, RefusesShortBuffersAndOddPairs) {
  MediaType yuy2 = MediaType::Video(MEDIASUBTYPE_YUY2, W, H, 0);
  MediaType out32 = MediaType::Video(MEDIASUBTYPE_RGB32, W, H, 0);
  std::vector<BYTE> in(W * H * 2), out(W * H * 4);
  std::vector<BYTE> scratch;
  EXPECT_FALSE(ConvertFrame(*yuy2, in.data(), static_cast<long>(in.size()) - 1, *out32, out.data(),
                            static_cast<long>(out.size()), scratch));
  EXPECT_FALSE(ConvertFrame(*yuy2, in.data(), static_cast<long>(in.size()), *out32, out.data(),
                            static_cast<long>(out.size()) - 1, scratch));
  MediaType otherSize = MediaType::Video(MEDIASUBTYPE_RGB32, W * 2, H, 0);
  EXPECT_FALSE(ConvertFrame(*yuy2, in.data(), static_cast<long>(in.size()), *otherSize, out.data(),
                            static_cast<long>(out.size()), scratch));
  MediaType mjpg = MediaType::Video(MEDIASUBTYPE_MJPG, W, H, 0);
  EXPECT_FALSE(ConvertFrame(*mjpg, in.data(), static_cast<long>(in.size()), *out32, out.data(),
                            static_cast<long>(out.size()), scratch));
}

// The rows of a packed YUV frame (4x4, from MakeYuv) laid out with `pad` bytes of junk after
// every luma or packed row (pad / 2 after every row of a planar frame's chroma planes), as capture
// drivers with a larger bytesperline deliver them.
std::vector<BYTE> PadRows(REFGUID s, const std::vector<BYTE>& packed, int pad) {
  std::vector<BYTE> out;
  auto copyRows = [&](std::size_t offset, int rows, int rowBytes, int padBytes) {
    for (int r = 0; r < rows; ++r) {
      out.insert(out.end(), packed.begin() + offset + r * rowBytes,
                 packed.begin() + offset + (r + 1) * rowBytes);
      out.insert(out.end(), padBytes, 0xEE);
    }
  };
  if (s == MEDIASUBTYPE_YUY2 || s == MEDIASUBTYPE_UYVY) {
    copyRows(0, H, 2 * W, pad);
  } else if (s == MEDIASUBTYPE_NV12) {
    copyRows(0, H, W, pad);
    copyRows(W * H, H / 2, W, pad);
  } else {
    copyRows(0, H, W, pad);
    copyRows(W * H, H / 2, W / 2, pad / 2);
    copyRows(W * H + (W / 2) * (H / 2), H / 2, W / 2, pad / 2);
  }
  return out;
}

// Catches: converters that assume packed rows and draw a padded frame sheared, read chroma
// from the padding, or refuse the larger frame.
TEST(ConvertYuvStride, PaddedRowsGiveThePackedPicture) {
  for (const GUID* s :
       {&MEDIASUBTYPE_YUY2, &MEDIASUBTYPE_UYVY, &MEDIASUBTYPE_NV12, &MEDIASUBTYPE_I420}) {
    SCOPED_TRACE(SubtypeName(*s));
    const std::vector<BYTE> packed = MakeYuv(*s, kRed, kBlue);
    const std::vector<BYTE> padded = PadRows(*s, packed, 8);
    MediaType packedType = MediaType::Video(*s, W, H, 0);
    MediaType paddedType = MediaType::Video(*s, W, H, 0);
    GetBitmapInfoHeader(*paddedType.Get())->biSizeImage = static_cast<DWORD>(padded.size());
    MediaType out = MediaType::Video(MEDIASUBTYPE_RGB24, W, H, 0);
    std::vector<BYTE> expected(DibRowBytes(W, 24) * H), actual(expected.size()), scratch;
    ASSERT_TRUE(ConvertFrame(*packedType, packed.data(), static_cast<long>(packed.size()), *out,
                             expected.data(), static_cast<long>(expected.size()), scratch));
    ASSERT_TRUE(ConvertFrame(*paddedType, padded.data(), static_cast<long>(padded.size()), *out,
                             actual.data(), static_cast<long>(actual.size()), scratch));
    EXPECT_EQ(actual, expected);
    // A frame shorter than its padded layout says is refused, not read past its end.
    EXPECT_FALSE(ConvertFrame(*paddedType, padded.data(), static_cast<long>(packed.size()), *out,
                              actual.data(), static_cast<long>(actual.size()), scratch));
  }
}

// Catches: the converter offering (and so being inserted for) a conversion to its own input type.
TEST(ColorConverterFilter, OffersOnlyRealConversions) {
  ComPtr<ColorConverter> conv = MakeComObject<ColorConverter>();
  MediaType rgb32 = MediaType::Video(MEDIASUBTYPE_RGB32, W, H, 0);
  MediaType rgb24 = MediaType::Video(MEDIASUBTYPE_RGB24, W, H, 0);
  EXPECT_NE(conv->CheckTransform(*rgb32, *rgb32), S_OK);
  EXPECT_EQ(conv->CheckTransform(*rgb32, *rgb24), S_OK);
  MediaType odd = MediaType::Video(MEDIASUBTYPE_YUY2, 3, 2, 0);
  EXPECT_NE(conv->CheckInputType(*odd), S_OK);
  MediaType out;
  EXPECT_EQ(conv->GetOutputType(4, *rgb24, &out), VFW_S_NO_MORE_ITEMS);
}

}  // namespace
