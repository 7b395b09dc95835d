// The demo camera's cost: one 640x480 YUY2 frame (scene and packing), its conversion to RGB24,
// and a running graph (demo camera, converter, null renderer) at 30 frames per second, against
// a memcpy of one YUY2 frame measured in the same run.
#include <chrono>
#include <cstring>
#include <map>
#include <sys/resource.h>
#include <thread>
#include <time.h>
#include <vector>

#include <QApplication>

#include <benchmark/benchmark.h>

#include "bench/GraphBenchSupport.h"
#include "platform/com/ComApi.h"
#include "platform/media/ColorConverter.h"
#include "platform/media/Interfaces.h"
#include "platform/media/virtual/DemoScene.h"
#include "platform/media/virtual/FramePacker.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr long kYuy2Bytes = kWidth * kHeight * 2;

void BM_MemcpyBaseline(benchmark::State& state) {
  std::vector<char> from(kYuy2Bytes, 1), to(kYuy2Bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), kYuy2Bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}

// What the demo camera's streaming thread does per frame.
void BM_DemoFrameYuy2(benchmark::State& state) {
  DemoScene scene;
  std::vector<std::uint32_t> pixels(kWidth * kHeight);
  std::vector<BYTE> out(kYuy2Bytes);
  std::int64_t n = 0;
  for (auto _ : state) {
    scene.Render(n++, kWidth, kHeight, pixels.data());
    benchmark::DoNotOptimize(
        PackFrame(pixels.data(), kWidth, kHeight, MEDIASUBTYPE_YUY2, {}, out.data(), kYuy2Bytes));
  }
}

// What the colour converter does per frame behind the camera.
void BM_ConvertYuy2ToRgb24(benchmark::State& state) {
  DemoScene scene;
  std::vector<std::uint32_t> pixels(kWidth * kHeight);
  std::vector<BYTE> yuy2(kYuy2Bytes);
  scene.Render(100, kWidth, kHeight, pixels.data());
  PackFrame(pixels.data(), kWidth, kHeight, MEDIASUBTYPE_YUY2, {}, yuy2.data(), kYuy2Bytes);
  const MediaType in = MediaType::Video(MEDIASUBTYPE_YUY2, kWidth, kHeight, UNITS / 30);
  const MediaType out = MediaType::Video(MEDIASUBTYPE_RGB24, kWidth, kHeight, UNITS / 30);
  std::vector<BYTE> rgb(kWidth * kHeight * 3);
  std::vector<BYTE> scratch;
  for (auto _ : state)
    benchmark::DoNotOptimize(ConvertFrame(*in, yuy2.data(), kYuy2Bytes, *out, rgb.data(),
                                          static_cast<long>(rgb.size()), scratch));
}

// The whole graph for three seconds of wall time: the process's CPU time over the wall time is
// the share of one core the graph takes at 30 frames per second.
double RunGraphShareOfCore(int* framesOut) {
  ComPtr<ICreateDevEnum> devices;
  CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                   devices.ReleaseAndGetVoidAddress());
  ComPtr<IEnumMoniker> monikers;
  if (!devices || devices->CreateClassEnumerator(CLSID_VideoInputDeviceCategory,
                                                 monikers.ReleaseAndGetAddressOf(), 0) != S_OK)
    return -1;
  ComPtr<IGraphBuilder> graph;
  CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                   graph.ReleaseAndGetVoidAddress());
  ComPtr<IFilterGraph2> graph2 = ComQuery<IFilterGraph2>(graph.Get());
  ComPtr<IBaseFilter> camera;
  IMoniker* raw = nullptr;
  while (!camera && monikers->Next(1, &raw, nullptr) == S_OK) {
    ComPtr<IMoniker> moniker;
    moniker.Attach(raw);
    graph2->AddSourceFilterForMoniker(moniker.Get(), nullptr, u"Frostwipe Demo Camera",
                                      camera.ReleaseAndGetAddressOf());
  }
  ComPtr<IBaseFilter> renderer;
  CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                   renderer.ReleaseAndGetVoidAddress());
  if (!camera || !renderer) return -1;
  graph->AddFilter(renderer.Get(), u"Null Renderer");
  ComPtr<ICaptureGraphBuilder2> builder;
  CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                   IID_ICaptureGraphBuilder2, builder.ReleaseAndGetVoidAddress());
  builder->SetFiltergraph(graph.Get());
  ComPtr<IPin> out;
  ComPtr<IPin> in;
  builder->FindPin(camera.Get(), PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, nullptr, TRUE, 0,
                   out.ReleaseAndGetAddressOf());
  builder->FindPin(renderer.Get(), PINDIR_INPUT, nullptr, nullptr, TRUE, 0,
                   in.ReleaseAndGetAddressOf());
  ComPtr<IAMStreamConfig> config = ComQuery<IAMStreamConfig>(out.Get());
  MediaType yuy2 = MediaType::Video(MEDIASUBTYPE_YUY2, kWidth, kHeight, UNITS / 30);
  config->SetFormat(yuy2.Get());
  // The converter is inserted because the null renderer here is offered RGB24 only.
  MediaType rgb = MediaType::Video(MEDIASUBTYPE_RGB24, kWidth, kHeight, UNITS / 30);
  ComPtr<IBaseFilter> converter;
  CoCreateInstance(CLSID_Colour, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                   converter.ReleaseAndGetVoidAddress());
  graph->AddFilter(converter.Get(), u"Colour Converter");
  ComPtr<IPin> convIn;
  ComPtr<IPin> convOut;
  builder->FindPin(converter.Get(), PINDIR_INPUT, nullptr, nullptr, TRUE, 0,
                   convIn.ReleaseAndGetAddressOf());
  builder->FindPin(converter.Get(), PINDIR_OUTPUT, nullptr, nullptr, TRUE, 0,
                   convOut.ReleaseAndGetAddressOf());
  if (FAILED(graph->ConnectDirect(out.Get(), convIn.Get(), nullptr)) ||
      FAILED(graph->ConnectDirect(convOut.Get(), in.Get(), rgb.Get())))
    return -1;
  ComPtr<IMediaControl> control = ComQuery<IMediaControl>(graph.Get());
  ComPtr<IQualProp> quality = ComQuery<IQualProp>(renderer.Get());
  control->Run();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // first frames, caches
  const double cpu0 = ProcessCpuSeconds();
  const auto wall0 = std::chrono::steady_clock::now();
  int drawn0 = 0;
  quality->get_FramesDrawn(&drawn0);
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const double cpu = ProcessCpuSeconds() - cpu0;
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  int drawn = 0;
  quality->get_FramesDrawn(&drawn);
  control->Stop();
  *framesOut = drawn - drawn0;
  return cpu / wall;
}

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

BENCHMARK(BM_MemcpyBaseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DemoFrameYuy2)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConvertYuy2ToRgb24)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("FROSTWIPE_DEVICE_PROVIDERS", "demo");
  QApplication application(argc, argv);
  CoInitialize(nullptr);
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double baseline = reporter.seconds["BM_MemcpyBaseline"];
  for (const char* name : {"BM_DemoFrameYuy2", "BM_ConvertYuy2ToRgb24"}) {
    const double t = reporter.seconds[name];
    if (t > 0 && baseline > 0)
      std::printf("%s: %.3f ms per 640x480 frame, memcpy baseline %.3f ms, ratio %.1f\n", name,
                  t * 1e3, baseline * 1e3, t / baseline);
  }
  int frames = 0;
  const double share = RunGraphShareOfCore(&frames);
  if (share < 0) {
    std::printf("graph: could not be built\n");
  } else {
    const double perFrame = frames > 0 ? share * 3.0 / frames : 0;
    std::printf(
        "graph demo camera -> converter -> null renderer, 640x480 YUY2: %d frames in 3 s "
        "(%.1f per second), %.1f%% of one core, %.3f ms CPU per frame, ratio to memcpy %.1f\n",
        frames, frames / 3.0, share * 100, perFrame * 1e3, baseline > 0 ? perFrame / baseline : 0);
  }
  benchmark::Shutdown();
  CoUninitialize();
  return 0;
}
