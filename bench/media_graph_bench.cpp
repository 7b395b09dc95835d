// Cost of the preview path: a 640x480 YUY2 source at 30 frames per second through the colour
// converter into a null renderer, as CPU time per frame and per cent of one core, against a
// memcpy of one frame measured in the same run.
#include <chrono>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include "bench/GraphBenchSupport.h"
#include "platform/com/ComApi.h"
#include "platform/media/ColorConverter.h"
#include "platform/media/Interfaces.h"
#include "platform/media/SourceFilter.h"

namespace {

constexpr int kWidth = 640, kHeight = 480, kFps = 30;
constexpr long kFrameBytes = kWidth * kHeight * 2;

// A camera stand-in: frames on absolute 1/30 s deadlines, a moving gradient so no frame repeats.
class PacedStream final : public SourceStream {
 public:
  explicit PacedStream(FilterBase* filter) : SourceStream(filter, u"Capture") {
    type_ = MediaType::Video(MEDIASUBTYPE_YUY2, kWidth, kHeight, UNITS / kFps);
    SetCategory(PIN_CATEGORY_CAPTURE);
  }
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override {
    return MediaTypesEqual(mt, *type_) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType* mt) override {
    if (position != 0) return VFW_S_NO_MORE_ITEMS;
    *mt = type_;
    return S_OK;
  }

 protected:
  HRESULT OnThreadStart() override {
    next_ = std::chrono::steady_clock::now();
    frame_ = 0;
    return S_OK;
  }
  HRESULT FillBuffer(IMediaSample* sample) override {
    next_ += std::chrono::microseconds(1'000'000 / kFps);
    if (!WaitFor(next_ - std::chrono::steady_clock::now())) return S_OK;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    std::memset(data, static_cast<int>(frame_ & 0xFF), kFrameBytes);
    sample->SetActualDataLength(kFrameBytes);
    ++frame_;
    return S_OK;
  }

 private:
  MediaType type_;
  std::chrono::steady_clock::time_point next_;
  long frame_ = 0;
};

class PacedSource final : public SourceFilter {
 public:
  PacedSource() : SourceFilter(CLSID_VfwCapture, u"Bench Camera") {
    AddPin(std::make_unique<PacedStream>(this));
  }
  ~PacedSource() override { Stop(); }
};

double MemcpyCpuSecondsPerFrame() {
  std::vector<BYTE> from(kFrameBytes, 1), to(kFrameBytes);
  constexpr int kRounds = 2000;
  const double start = ProcessCpuSeconds();
  for (int i = 0; i < kRounds; ++i) {
    from[0] = static_cast<BYTE>(i);
    std::memcpy(to.data(), from.data(), kFrameBytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  return (ProcessCpuSeconds() - start) / kRounds;
}

void BM_MemcpyFrame(benchmark::State& state) {
  std::vector<BYTE> from(kFrameBytes, 1), to(kFrameBytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), kFrameBytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemcpyFrame);

void BM_ConvertYuy2ToRgb32(benchmark::State& state) {
  MediaType in = MediaType::Video(MEDIASUBTYPE_YUY2, kWidth, kHeight, 0);
  MediaType out = MediaType::Video(MEDIASUBTYPE_RGB32, kWidth, kHeight, 0);
  std::vector<BYTE> src(kFrameBytes, 128), dst(kWidth * kHeight * 4), scratch;
  for (auto _ : state) {
    ConvertFrame(*in, src.data(), kFrameBytes, *out, dst.data(), static_cast<long>(dst.size()),
                 scratch);
    benchmark::DoNotOptimize(dst.data());
  }
}
BENCHMARK(BM_ConvertYuy2ToRgb32);

// Runs the graph in real time; the figures are counters of the single iteration.
void BM_PreviewGraph640x480At30(benchmark::State& state) {
  ComPtr<IGraphBuilder> graph;
  CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                   graph.ReleaseAndGetVoidAddress());
  ComPtr<IBaseFilter> source;
  source.Attach(new PacedSource);
  ComPtr<IBaseFilter> converter, renderer;
  CoCreateInstance(CLSID_Colour, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                   converter.ReleaseAndGetVoidAddress());
  CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                   renderer.ReleaseAndGetVoidAddress());
  graph->AddFilter(source.Get(), u"camera");
  graph->AddFilter(converter.Get(), u"converter");
  graph->AddFilter(renderer.Get(), u"null");
  if (FAILED(graph->ConnectDirect(FirstPin(source.Get(), PINDIR_OUTPUT).Get(),
                                  FirstPin(converter.Get(), PINDIR_INPUT).Get(), nullptr)) ||
      FAILED(graph->ConnectDirect(FirstPin(converter.Get(), PINDIR_OUTPUT).Get(),
                                  FirstPin(renderer.Get(), PINDIR_INPUT).Get(), nullptr))) {
    state.SkipWithError("could not build the graph");
    return;
  }
  ComPtr<IMediaControl> control = ComQuery<IMediaControl>(graph.Get());
  ComPtr<IQualProp> quality = ComQuery<IQualProp>(renderer.Get());
  const double memcpyPerFrame = MemcpyCpuSecondsPerFrame();
  const double seconds = static_cast<double>(state.range(0));
  for (auto _ : state) {
    const double cpuStart = ProcessCpuSeconds();
    const auto wallStart = std::chrono::steady_clock::now();
    control->Run();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    control->Stop();
    const double cpu = ProcessCpuSeconds() - cpuStart;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    int frames = 0;
    quality->get_FramesDrawn(&frames);
    state.SetIterationTime(wall);
    const double perFrame = frames ? cpu / frames : 0;
    state.counters["frames"] = frames;
    state.counters["fps"] = frames / wall;
    state.counters["cpu_us_per_frame"] = perFrame * 1e6;
    state.counters["memcpy_us_per_frame"] = memcpyPerFrame * 1e6;
    state.counters["ratio_to_memcpy"] = memcpyPerFrame > 0 ? perFrame / memcpyPerFrame : 0;
    state.counters["core_percent"] = 100.0 * cpu / wall;
  }
}
BENCHMARK(BM_PreviewGraph640x480At30)
    ->Arg(3)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  CoInitialize(nullptr);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  CoUninitialize();
  return 0;
}
