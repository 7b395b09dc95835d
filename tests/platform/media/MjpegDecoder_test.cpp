// Tests of the MJPG decoder: decoded pixels, row order, and damaged frames.
#include "platform/media/MjpegDecoder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <jpeglib.h>

#include <gtest/gtest.h>

#include "TestFilters.h"
#include "TestSupport.h"

namespace {

// Encodes the picture pixel(x, y, rgb) draws (RGB rows, top first).
template <typename Pixel>
std::vector<BYTE> Encode(int w, int h, Pixel pixel) {
  std::vector<BYTE> rgb(static_cast<std::size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) pixel(x, y, &rgb[(static_cast<std::size_t>(y) * w + x) * 3]);
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &out, &size);
  info.image_width = w;
  info.image_height = h;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = &rgb[static_cast<std::size_t>(info.next_scanline) * w * 3];
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<BYTE> jpeg(out, out + size);
  jpeg_destroy_compress(&info);
  std::free(out);
  return jpeg;
}

// A picture whose top half is red and bottom half blue.
std::vector<BYTE> EncodeRedOverBlue(int w, int h) {
  return Encode(w, h, [h](int, int y, BYTE* p) {
    p[0] = y < h / 2 ? 255 : 0;
    p[2] = y < h / 2 ? 0 : 255;
  });
}

// Catches: decoded colours wrong (channel order) or the picture stored top row first.
TEST(MjpegDecode, PixelsAndRowOrder) {
  const int w = 32, h = 16;
  const std::vector<BYTE> jpeg = EncodeRedOverBlue(w, h);
  for (int bits : {32, 24}) {
    SCOPED_TRACE(bits);
    const long stride = DibRowBytes(w, bits);
    std::vector<BYTE> out(static_cast<std::size_t>(stride) * h);
    ASSERT_TRUE(DecodeJpegFrame(jpeg.data(), static_cast<long>(jpeg.size()), w, h, bits, out.data(),
                                static_cast<long>(out.size())));
    const BYTE* bottom = out.data() + 2 * bits / 8;  // stored row 0: picture bottom (blue)
    const BYTE* top =
        out.data() + stride * (h - 1) + 2 * bits / 8;  // last stored row: picture top (red)
    EXPECT_NEAR(bottom[0], 255, 8);
    EXPECT_NEAR(bottom[2], 0, 8);
    EXPECT_NEAR(top[2], 255, 8);
    EXPECT_NEAR(top[0], 0, 8);
  }
}

// Catches: damaged or mismatched frames crashing the decoder or reported as decoded.
TEST(MjpegDecode, RefusesDamagedAndWrongSize) {
  const int w = 32, h = 16;
  std::vector<BYTE> jpeg = EncodeRedOverBlue(w, h);
  std::vector<BYTE> out(static_cast<std::size_t>(w) * h * 4);
  EXPECT_FALSE(DecodeJpegFrame(jpeg.data(), static_cast<long>(jpeg.size()), w * 2, h, 32,
                               out.data(), static_cast<long>(out.size())));
  std::vector<BYTE> garbage(200, 0x5A);
  EXPECT_FALSE(DecodeJpegFrame(garbage.data(), static_cast<long>(garbage.size()), w, h, 32,
                               out.data(), static_cast<long>(out.size())));
  EXPECT_FALSE(
      DecodeJpegFrame(jpeg.data(), 2, w, h, 32, out.data(), static_cast<long>(out.size())));
  EXPECT_FALSE(DecodeJpegFrame(jpeg.data(), static_cast<long>(jpeg.size()), w, h, 32, out.data(),
                               static_cast<long>(out.size()) - 1));
}

// Catches: a scaled decode that leaves the picture upside down, swaps channels, draws it at
// the decoded scale instead of the asked size, or accepts a truncated frame.
TEST(MjpegDecode, ScaledDecodeFillsTheTargetSize) {
  const std::vector<BYTE> jpeg = EncodeRedOverBlue(1280, 720);
  std::vector<BYTE> scratch;
  for (int bits : {24, 32}) {
    SCOPED_TRACE(bits);
    const int w = 320, h = 240;
    const long stride = DibRowBytes(w, bits);
    std::vector<BYTE> out(static_cast<std::size_t>(stride) * h, 0x77);
    ASSERT_TRUE(DecodeJpegScaled(jpeg.data(), static_cast<long>(jpeg.size()), w, h, bits,
                                 out.data(), static_cast<long>(out.size()), scratch));
    for (int row : {0, h / 4, 3 * h / 4, h - 1})
      for (int x : {0, w / 2, w - 1}) {
        SCOPED_TRACE(std::to_string(row) + "," + std::to_string(x));
        const BYTE* p = out.data() + row * stride + x * bits / 8;
        // Stored row 0 is the picture's bottom: blue; the top half is red (B, G, R in memory).
        const bool top = row >= h / 2;
        EXPECT_NEAR(p[0], top ? 0 : 255, 24);
        EXPECT_NEAR(p[2], top ? 255 : 0, 24);
      }
    EXPECT_FALSE(DecodeJpegScaled(jpeg.data(), static_cast<long>(jpeg.size()) / 2, w, h, bits,
                                  out.data(), static_cast<long>(out.size()), scratch));
    EXPECT_FALSE(DecodeJpegScaled(jpeg.data(), static_cast<long>(jpeg.size()), w, h, bits,
                                  out.data(), static_cast<long>(out.size()) - 1, scratch));
  }
}

// Mean absolute difference of two bottom-up pictures of the same size and depth, per channel.
double MeanDifference(const std::vector<BYTE>& a, const std::vector<BYTE>& b, int w, int h,
                      int bits) {
  const long stride = DibRowBytes(w, bits);
  double sum = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w * bits / 8; ++x) {
      const std::size_t i = static_cast<std::size_t>(y * stride + x);
      if (bits == 32 && x % 4 == 3) continue;  // the unused byte
      sum += std::abs(a[i] - b[i]);
    }
  return sum / (static_cast<double>(w) * h * 3);
}

// The full decode averaged over each target pixel's area.
std::vector<BYTE> AreaAverage(const std::vector<BYTE>& full, int fw, int fh, int w, int h,
                              int bits) {
  const long fstride = DibRowBytes(fw, 32), stride = DibRowBytes(w, bits);
  std::vector<BYTE> out(static_cast<std::size_t>(stride) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) {
        long sum = 0, n = 0;
        for (int sy = y * fh / h; sy < (y + 1) * fh / h; ++sy)
          for (int sx = x * fw / w; sx < (x + 1) * fw / w; ++sx, ++n)
            sum += full[static_cast<std::size_t>(sy * fstride + sx * 4 + c)];
        out[static_cast<std::size_t>(y * stride + x * bits / 8 + c)] =
            static_cast<BYTE>((sum + n / 2) / n);
      }
  return out;
}

// Catches: a scaled decode at any of the decoder's scales (1, 1/2, 1/4, 1/8, each with the
// last step scaled) that differs from the full picture brought to that size (wrong scale
// chosen, rows or channels swapped, the picture shifted or cut), output types that do not
// offer the scales, and a graph connected at a smaller size delivering frames of another size.
TEST(MjpegDecode, ScaledDecodesMatchTheFullPictureAndTheGraphDeliversTheAskedSize) {
  const int fw = 1280, fh = 720;
  // Smooth gradients with large squares: detail that a wrong scale or a shift shows.
  const std::vector<BYTE> jpeg = Encode(fw, fh, [](int x, int y, BYTE* p) {
    const bool square = ((x / 80) + (y / 80)) % 2 == 0;
    p[0] = static_cast<BYTE>(x * 255 / fw);
    p[1] = square ? 200 : 40;
    p[2] = static_cast<BYTE>(y * 255 / fh);
  });
  std::vector<BYTE> full(static_cast<std::size_t>(DibRowBytes(fw, 32)) * fh);
  ASSERT_TRUE(DecodeJpegFrame(jpeg.data(), static_cast<long>(jpeg.size()), fw, fh, 32, full.data(),
                              static_cast<long>(full.size())));
  std::vector<BYTE> scratch;
  struct Target {
    int w, h;
  };
  // 1/1 then scaled, exactly 1/2, 1/2 then scaled, exactly 1/4, exactly 1/8, 1/8 then scaled.
  for (Target t : {Target{960, 600}, Target{640, 360}, Target{320, 240}, Target{320, 180},
                   Target{160, 90}, Target{100, 60}})
    for (int bits : {32, 24}) {
      SCOPED_TRACE(std::to_string(t.w) + "x" + std::to_string(t.h) + "@" + std::to_string(bits));
      std::vector<BYTE> out(static_cast<std::size_t>(DibRowBytes(t.w, bits)) * t.h);
      ASSERT_TRUE(DecodeJpegScaled(jpeg.data(), static_cast<long>(jpeg.size()), t.w, t.h, bits,
                                   out.data(), static_cast<long>(out.size()), scratch));
      EXPECT_LT(MeanDifference(out, AreaAverage(full, fw, fh, t.w, t.h, bits), t.w, t.h, bits),
                3.0);
    }

  SourceOptions o;
  o.types = {MediaType::Video(MEDIASUBTYPE_MJPG, fw, fh, UNITS / 30)};
  o.frameIntervalMs = 1;
  o.fill = [jpeg](const AM_MEDIA_TYPE&, BYTE* data, long bytes, long) {
    std::memcpy(data, jpeg.data(), std::min(jpeg.size(), static_cast<std::size_t>(bytes)));
  };
  ComPtr<IGraphBuilder> graph = NewGraph();
  ComPtr<SyntheticSource> source = MakeComObject<SyntheticSource>(o);
  ComPtr<IBaseFilter> decoder;
  ASSERT_EQ(CoCreateInstance(CLSID_MjpegDec, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                             decoder.ReleaseAndGetVoidAddress()),
            S_OK);
  ComPtr<RecordingSink> sink = MakeComObject<RecordingSink>(std::vector<GUID>{MEDIASUBTYPE_RGB24});
  graph->AddFilter(source.Get(), u"src");
  graph->AddFilter(decoder.Get(), u"dec");
  graph->AddFilter(sink.Get(), u"sink");
  ASSERT_EQ(graph->ConnectDirect(PinOf(source.Get(), PINDIR_OUTPUT).Get(),
                                 PinOf(decoder.Get(), PINDIR_INPUT).Get(), nullptr),
            S_OK);
  std::vector<std::string> offered;
  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(PinOf(decoder.Get(), PINDIR_OUTPUT)->EnumMediaTypes(types.ReleaseAndGetAddressOf()),
            S_OK);
  AM_MEDIA_TYPE* mt = nullptr;
  while (types->Next(1, &mt, nullptr) == S_OK) {
    const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(*mt);
    offered.push_back(std::to_string(bih->biWidth) + "x" + std::to_string(bih->biHeight) + "@" +
                      std::to_string(bih->biBitCount));
    DeleteMediaType(mt);
  }
  EXPECT_EQ(offered,
            (std::vector<std::string>{"1280x720@32", "1280x720@24", "640x360@32", "640x360@24",
                                      "320x180@32", "320x180@24", "160x90@32", "160x90@24"}));
  const MediaType asked = MediaType::Video(MEDIASUBTYPE_RGB24, 320, 240, UNITS / 30);
  ASSERT_EQ(graph->ConnectDirect(PinOf(decoder.Get(), PINDIR_OUTPUT).Get(),
                                 PinOf(sink.Get(), PINDIR_INPUT).Get(), asked.Get()),
            S_OK);
  ComPtr<IMediaControl> control = ComQuery<IMediaControl>(graph.Get());
  ASSERT_EQ(control->Run(), S_OK);
  ASSERT_TRUE(PumpUntil([&] { return sink->Count() >= 2; }));
  control->Stop();
  const std::vector<BYTE> delivered = sink->LastFrame();
  ASSERT_EQ(delivered.size(), static_cast<std::size_t>(DibRowBytes(320, 24)) * 240);
  EXPECT_LT(MeanDifference(delivered, AreaAverage(full, fw, fh, 320, 240, 24), 320, 240, 24), 3.0);
}

// Catches: a damaged camera frame ending the stream with an error instead of being skipped.
TEST(MjpegDecoderFilter, DamagedFramesAreDroppedNotErrors) {
  const int w = 32, h = 16;
  const std::vector<BYTE> jpeg = EncodeRedOverBlue(w, h);
  SourceOptions o;
  o.types = {MediaType::Video(MEDIASUBTYPE_MJPG, w, h, UNITS / 30)};
  o.frameIntervalMs = 1;
  o.fill = [jpeg](const AM_MEDIA_TYPE&, BYTE* data, long bytes, long frame) {
    // Every other frame is cut short after its header: damaged.
    const long n = std::min<long>(bytes, frame % 2 ? 40 : static_cast<long>(jpeg.size()));
    std::memcpy(data, jpeg.data(), static_cast<std::size_t>(n));
    std::memset(data + n, 0, static_cast<std::size_t>(bytes - n));
  };
  ComPtr<IGraphBuilder> graph = NewGraph();
  ComPtr<SyntheticSource> source = MakeComObject<SyntheticSource>(o);
  ComPtr<RecordingSink> sink = MakeComObject<RecordingSink>(std::vector<GUID>{MEDIASUBTYPE_RGB32});
  graph->AddFilter(source.Get(), u"src");
  graph->AddFilter(sink.Get(), u"sink");
  ASSERT_EQ(graph->Connect(PinOf(source.Get(), PINDIR_OUTPUT).Get(),
                           PinOf(sink.Get(), PINDIR_INPUT).Get()),
            S_OK);
  ComPtr<IMediaControl> control = ComQuery<IMediaControl>(graph.Get());
  ASSERT_EQ(control->Run(), S_OK);
  ASSERT_TRUE(PumpUntil([&] { return sink->Count() >= 4; }));
  control->Stop();
  EXPECT_TRUE(DrainEvents(ComQuery<IMediaEventEx>(graph.Get()).Get()).empty());
  EXPECT_GT(source->Stream()->FramesFilled(), sink->Count());
}

}  // namespace
