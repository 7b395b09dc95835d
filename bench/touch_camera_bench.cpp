// One 640x480 touch camera frame (the calm background and two fingers dragging) against one
// demo camera frame (the moving room scene).
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

#include <benchmark/benchmark.h>

#include "platform/media/TouchInput.h"
#include "platform/media/virtual/DemoScene.h"
#include "platform/media/virtual/TouchScene.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// Two fingers tracing circles, a point of each every few milliseconds: four points a frame each,
// as a 120 Hz touch screen sends them at 30 frames per second.
void BM_TouchFrame(benchmark::State& state) {
  TouchInput input;
  TouchScene scene(input);
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight);
  std::int64_t frame = 0;
  int step = 0;
  for (int finger = 0; finger < 2; ++finger) {
    TouchPoint p;
    p.pointer = finger;
    p.phase = TouchPoint::Phase::Press;
    p.x = 0.5f;
    p.y = 0.5f;
    input.Push(p);
  }
  for (auto _ : state) {
    for (int i = 0; i < 4; ++i, ++step)
      for (int finger = 0; finger < 2; ++finger) {
        const float a = 0.05f * static_cast<float>(step) + 3.1f * static_cast<float>(finger);
        TouchPoint p;
        p.pointer = finger;
        p.x = 0.5f + 0.3f * std::cos(a);
        p.y = 0.5f + 0.3f * std::sin(a);
        p.radius = 0.035f;
        input.Push(p);
      }
    scene.Render(frame++, kWidth, kHeight, pixels.data());
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
}

void BM_DemoFrame(benchmark::State& state) {
  DemoScene scene;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight);
  std::int64_t frame = 0;
  for (auto _ : state) {
    scene.Render(frame++, kWidth, kHeight, pixels.data());
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_TouchFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DemoFrame)->Unit(benchmark::kMicrosecond);

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
  const double touch = reporter.seconds["BM_TouchFrame"];
  const double demo = reporter.seconds["BM_DemoFrame"];
  if (touch > 0 && demo > 0)
    std::printf("touch camera frame 640x480: %.3f ms, baseline %.3f ms, ratio %.2f\n", touch * 1e3,
                demo * 1e3, touch / demo);
  benchmark::Shutdown();
  return 0;
}
