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

// Encodes a picture whose top half is red and bottom half blue (RGB rows, top first).
std::vector<BYTE> EncodeRedOverBlue(int w, int h) {
  std::vector<BYTE> rgb(static_cast<std::size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      BYTE* p = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
      p[0] = y < h / 2 ? 255 : 0;
      p[2] = y < h / 2 ? 0 : 255;
    }
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
