// One whole engine frame (all nine steps) against a memcpy of the bytes one frame's buffers hold.
#include <cstring>
#include <map>
#include <vector>

#include <benchmark/benchmark.h>

#include "capture/CaptureCtl.h"
#include "game/Video_capture_form.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Bitmap.h"

namespace {

// Two frames that differ in a moving band, so some pixels are wiped and others freeze.
std::unique_ptr<TBitmap> MakeFrame(int width, int height, int phase) {
  auto frame = std::make_unique<TBitmap>();
  frame->SetPixelFormat(pf24bit);
  frame->SetSize(width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = frame->ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const bool band = ((x + phase * 40) / 40) % 3 == 0;
      const std::uint8_t v = static_cast<std::uint8_t>(band ? 220 : (x * 3 + y) & 0x7F);
      row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = v;
    }
  }
  return frame;
}

void BM_EngineFrame(benchmark::State& state) {
  const int width = static_cast<int>(state.range(0)), height = static_cast<int>(state.range(1));
  TVideoCaptureForm form;
  form.SizeGameBuffers(width, height);
  form.StartStopButtonClick();
  std::unique_ptr<TBitmap> frames[2] = {MakeFrame(width, height, 0), MakeFrame(width, height, 1)};
  TFrameData data;
  int n = 0;
  for (auto _ : state) {
    data.Bitmap = frames[n++ & 1].get();
    form.CaptureControl1FrameCaptureCompleted(form.CaptureControl1, data, fc_TBitmap, QString(),
                                              true);
    benchmark::DoNotOptimize(form.CleanedPercent);
  }
}

// Bytes the three arrays (4 bytes a pixel) and five bitmaps (3 bytes a pixel) of a frame hold.
void BM_MemcpyBaseline(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(state.range(0) * state.range(1)) * (3 * 4 + 5 * 3);
  std::vector<char> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

BENCHMARK(BM_EngineFrame)->Args({320, 240})->Args({640, 480})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyBaseline)->Args({320, 240})->Args({640, 480})->Unit(benchmark::kMicrosecond);

// Keeps each run's CPU time per iteration so the ratios can be printed at the end.
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
  qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  for (const char* size : {"320/240", "640/480"}) {
    const double engine = reporter.seconds[std::string("BM_EngineFrame/") + size];
    const double baseline = reporter.seconds[std::string("BM_MemcpyBaseline/") + size];
    if (engine > 0 && baseline > 0)
      std::printf("engine %s: %.3f ms per frame, memcpy baseline %.3f ms, ratio %.2f\n", size,
                  engine * 1e3, baseline * 1e3, engine / baseline);
  }
  benchmark::Shutdown();
  return 0;
}
