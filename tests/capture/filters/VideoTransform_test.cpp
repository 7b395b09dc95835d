// Tests of the video transform made through the packed filter library.
#include "FilterTestSupport.h"

namespace {

constexpr int kWidth = 16;
constexpr int kHeight = 8;

// RGB24, bottom-up: blue = visual column, green = visual row (0 = top).
void FillCoordinates(const AM_MEDIA_TYPE&, BYTE* data, long, long) {
  const int stride = DibRowBytes(kWidth, 24);
  for (int stored = 0; stored < kHeight; ++stored)
    for (int x = 0; x < kWidth; ++x) {
      BYTE* p = data + stored * stride + x * 3;
      p[0] = static_cast<BYTE>(x);
      p[1] = static_cast<BYTE>(kHeight - 1 - stored);
      p[2] = 0x55;
    }
}

// The blue and green of the output's visual pixel (x, y); bottom-up rows.
std::pair<int, int> PixelAt(const std::vector<BYTE>& frame, int width, int height, int x, int y) {
  const BYTE* p = frame.data() + (height - 1 - y) * DibRowBytes(width, 24) + x * 3;
  return {p[0], p[1]};
}

class VideoTransformTest : public FilterLibraryTest {
 protected:
  // Runs the transform with params between the coordinate source and the sink; answers the last
  // frame and the output size.
  std::vector<BYTE> Run(const TransformParams& params, int* width, int* height) {
    if (!CreateLibraryFilter(Core(), "TrnfFltr", kCreateLocalTransformInstance, slot_) ||
        !slot_.Transform || slot_.Transform->SetParams(&params) != S_OK)
      return {};
    SourceOptions options;
    options.types = {MediaType::Video(MEDIASUBTYPE_RGB24, kWidth, kHeight, UNITS / 30)};
    options.frameIntervalMs = 2;
    options.fill = FillCoordinates;
    FilterChain chain(options, slot_.Filter.Get());
    if (!chain.connected || !chain.Run()) return {};
    PumpUntil([&] { return chain.sink->Count() >= 2; });
    chain.Stop();
    AM_MEDIA_TYPE mt{};
    PinOf(chain.sink.Get(), PINDIR_INPUT)->ConnectionMediaType(&mt);
    const BITMAPINFOHEADER* h = GetBitmapInfoHeader(mt);
    *width = h ? h->biWidth : 0;
    *height = h ? h->biHeight : 0;
    FreeMediaType(mt);
    return chain.sink->LastFrame();
  }
};

}  // namespace

// Catches: rotations turning the wrong way, mirrored variants not mirrored, 90/270 not swapping
// width and height, or the output type disagreeing with the bytes delivered.
TEST_F(VideoTransformTest, RotatesByQuarterTurnsAndMirrors) {
  struct Case {
    std::int32_t rotation;
    // The input's visual pixel (blue = x, green = y) expected at output (ox, oy).
    std::pair<int, int> (*source)(int ox, int oy);
  };
  const Case cases[] = {
      {1,
       [](int ox, int oy) {
         return std::pair{oy, kHeight - 1 - ox};
       }},
      {2,
       [](int ox, int oy) {
         return std::pair{kWidth - 1 - ox, kHeight - 1 - oy};
       }},
      {3,
       [](int ox, int oy) {
         return std::pair{kWidth - 1 - oy, ox};
       }},
      {4,
       [](int ox, int oy) {
         return std::pair{kWidth - 1 - ox, oy};
       }},
      {5,
       [](int ox, int oy) {
         return std::pair{oy, ox};
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rotation);
    slot_.Release();
    TransformParams params{};
    params.Rotation = c.rotation;
    params.SwappedDimensions = c.rotation & 1;
    params.TransformNeeded = 1;
    int width = 0, height = 0;
    const std::vector<BYTE> frame = Run(params, &width, &height);
    const bool swapped = c.rotation & 1;
    ASSERT_EQ(width, swapped ? kHeight : kWidth);
    ASSERT_EQ(height, swapped ? kWidth : kHeight);
    ASSERT_EQ(frame.size(), static_cast<std::size_t>(DibRowBytes(width, 24) * height));
    for (int oy = 0; oy < height; ++oy)
      for (int ox = 0; ox < width; ++ox)
        ASSERT_EQ(PixelAt(frame, width, height, ox, oy), c.source(ox, oy))
            << "at " << ox << "," << oy;
  }
}

// Catches: half-size deinterlacing mixing both fields, keeping the full size, or averaging the
// wrong neighbours.
TEST_F(VideoTransformTest, HalfSizeDeinterlacingKeepsOneFieldAtHalfSize) {
  TransformParams params{};
  params.HalfSizeDeinterlacing = 1;
  params.TransformNeeded = 1;
  int width = 0, height = 0;
  const std::vector<BYTE> frame = Run(params, &width, &height);
  ASSERT_EQ(width, kWidth / 2);
  ASSERT_EQ(height, kHeight / 2);
  ASSERT_EQ(frame.size(), static_cast<std::size_t>(DibRowBytes(width, 24) * height));
  for (int oy = 0; oy < height; ++oy)
    for (int ox = 0; ox < width; ++ox)
      ASSERT_EQ(PixelAt(frame, width, height, ox, oy), (std::pair{2 * ox + 1, 2 * oy}))
          << "at " << ox << "," << oy;
}

// Catches: parameters changed after the output type was agreed (bytes and type would disagree),
// or subtypes the transform cannot produce accepted.
TEST_F(VideoTransformTest, RefusesParamsItCannotHonour) {
  ASSERT_TRUE(CreateLibraryFilter(Core(), "TrnfFltr", kCreateLocalTransformInstance, slot_));
  TransformParams params{};
  params.Rotation = 8;
  EXPECT_EQ(slot_.Transform->SetParams(&params), E_INVALIDARG);
  params.Rotation = 1;
  params.OutputSubtype = MEDIASUBTYPE_RGB565;
  EXPECT_EQ(slot_.Transform->SetParams(&params), E_INVALIDARG);
  params.OutputSubtype = GUID_NULL;
  EXPECT_EQ(slot_.Transform->SetParams(&params), S_OK);
  TransformParams read{};
  EXPECT_EQ(slot_.Transform->GetParams(&read), S_OK);
  EXPECT_EQ(read.Rotation, 1);
  ComPtr<IPin> input = PinOf(slot_.Filter.Get(), PINDIR_INPUT);
  EXPECT_NE(input->QueryAccept(MediaType::Video(MEDIASUBTYPE_RGB565, 8, 8, 0).Get()), S_OK);
  EXPECT_EQ(input->QueryAccept(MediaType::Video(MEDIASUBTYPE_RGB32, 8, 8, 0).Get()), S_OK);
}
