// A camera that offers 320x240 only as MJPEG at 1280x720: decoding to 320x240 RGB24 with
// libjpeg-turbo's scaled decoding, against a full-size decode followed by a libyuv scale.
#include <cstdio>
#include <cstdlib>
#include <libyuv.h>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/media/Guids.h"
#include "platform/media/MjpegDecoder.h"
#include "platform/media/virtual/DemoScene.h"
#include "platform/media/virtual/FramePacker.h"

// After the project headers: its TRUE and FALSE macros would otherwise hide our constants.
#include <jpeglib.h>

namespace {

constexpr int kSourceWidth = 1280, kSourceHeight = 720;
constexpr int kWidth = 320, kHeight = 240;

// One frame of the demo scene as a UVC camera sends it: baseline JPEG, 4:2:2, standard
// Huffman tables, at the quality given.
std::vector<BYTE> Encode(int quality) {
  DemoScene scene;
  std::vector<std::uint32_t> pixels(kSourceWidth * kSourceHeight);
  scene.Render(12, kSourceWidth, kSourceHeight, pixels.data());
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = kSourceWidth;
  info.image_height = kSourceHeight;
  info.input_components = 4;
  info.in_color_space = JCS_EXT_BGRX;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  info.comp_info[0].h_samp_factor = 2;
  info.comp_info[0].v_samp_factor = 1;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = reinterpret_cast<JSAMPROW>(pixels.data() + info.next_scanline * kSourceWidth);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<BYTE> data(buffer, buffer + size);
  std::free(buffer);
  return data;
}

const std::vector<BYTE>& Jpeg() {
  static const std::vector<BYTE> jpeg = Encode(85);
  return jpeg;
}

void BM_ScaledDecode(benchmark::State& state) {
  const std::vector<BYTE>& jpeg = Jpeg();
  std::vector<BYTE> out(DibRowBytes(kWidth, 24) * kHeight), scratch;
  for (auto _ : state) {
    if (!DecodeJpegScaled(jpeg.data(), static_cast<long>(jpeg.size()), kWidth, kHeight, 24,
                          out.data(), static_cast<long>(out.size()), scratch))
      state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(out.data());
  }
}

void BM_FullDecodeAndScale(benchmark::State& state) {
  const std::vector<BYTE>& jpeg = Jpeg();
  std::vector<BYTE> full(DibRowBytes(kSourceWidth, 32) * kSourceHeight);
  std::vector<BYTE> argb(4 * kWidth * kHeight), out(DibRowBytes(kWidth, 24) * kHeight);
  for (auto _ : state) {
    if (!DecodeJpegFrame(jpeg.data(), static_cast<long>(jpeg.size()), kSourceWidth, kSourceHeight,
                         32, full.data(), static_cast<long>(full.size())))
      state.SkipWithError("decode failed");
    libyuv::ARGBScale(full.data(), 4 * kSourceWidth, kSourceWidth, kSourceHeight, argb.data(),
                      4 * kWidth, kWidth, kHeight, libyuv::kFilterBox);
    libyuv::ARGBToRGB24(argb.data(), 4 * kWidth, out.data(), DibRowBytes(kWidth, 24), kWidth,
                        kHeight);
    benchmark::DoNotOptimize(out.data());
  }
}

BENCHMARK(BM_ScaledDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullDecodeAndScale)->Unit(benchmark::kMillisecond);

// Keeps each run's CPU time per iteration so the ratio can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration)
        seconds[run.benchmark_name()] =
            run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
  }
  std::map<std::string, double> seconds;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double scaled = reporter.seconds["BM_ScaledDecode"];
  const double full = reporter.seconds["BM_FullDecodeAndScale"];
  if (scaled > 0 && full > 0)
    std::printf(
        "mjpeg 1280x720 to 320x240 RGB24, scaled decode: %.3f ms, baseline %.3f ms, ratio %.2f\n",
        scaled * 1e3, full * 1e3, scaled / full);
  benchmark::Shutdown();
  return 0;
}
