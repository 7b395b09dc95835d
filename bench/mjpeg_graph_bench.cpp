// The live graph's MJPEG path: frames of the model USB camera at 1280x720 through the MJPEG
// decoder into a renderer at 320x240 (decoded at a reduced scale, then scaled), against the
// same graph with the decoder connected at full size, as process CPU time per frame.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include "bench/GraphBenchSupport.h"
#include "platform/com/ComApi.h"
#include "platform/media/Interfaces.h"
#include "platform/media/RendererBase.h"
#include "platform/media/SourceFilter.h"
#include "platform/media/v4l2/V4l2CaptureFilter.h"
#include "platform/media/v4l2/model/V4l2Model.h"

namespace {

constexpr int kSourceWidth = 1280, kSourceHeight = 720;
constexpr int kWidth = 320, kHeight = 240;
constexpr int kRecordedFrames = 30;
constexpr int kMeasuredFrames = 300;

// Keeps the MJPEG frames it receives (streaming thread), up to kRecordedFrames.
class MjpegRecorder final : public RendererBase {
 public:
  MjpegRecorder() : RendererBase(GUID_NULL, u"MJPEG Recorder") {}
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override {
    return mt.subtype == MEDIASUBTYPE_MJPG ? S_OK : S_FALSE;
  }
  HRESULT DoRenderSample(IMediaSample* sample) override {
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    std::lock_guard lock(mutex_);
    if (frames_.size() < kRecordedFrames)
      frames_.emplace_back(data, data + sample->GetActualDataLength());
    count_.store(static_cast<int>(frames_.size()));
    return S_OK;
  }
  int Count() const { return count_.load(); }
  std::vector<std::vector<BYTE>> Frames() {
    std::lock_guard lock(mutex_);
    return frames_;
  }

 private:
  std::mutex mutex_;  // guards frames_
  std::vector<std::vector<BYTE>> frames_;
  std::atomic<int> count_{0};
};

// The camera's frames as they came, one after another, without pacing.
const std::vector<std::vector<BYTE>>& CameraFrames() {
  static const std::vector<std::vector<BYTE>> frames = [] {
    auto model = std::make_shared<V4l2Model>();
    const std::string node = model->Plug(UsbCameraSpec());
    ComPtr<IBaseFilter> camera;
    ComPtr<IGraphBuilder> graph;
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                     graph.ReleaseAndGetVoidAddress());
    ComPtr<MjpegRecorder> recorder = MakeComObject<MjpegRecorder>();
    if (FAILED(
            V4l2CaptureFilter::Create(model, node, u"USB Camera", camera.ReleaseAndGetAddressOf())))
      return std::vector<std::vector<BYTE>>{};
    graph->AddFilter(camera.Get(), u"camera");
    graph->AddFilter(recorder.Get(), u"recorder");
    ComPtr<IPin> out = FirstPin(camera.Get(), PINDIR_OUTPUT);
    MediaType format = MediaType::Video(MEDIASUBTYPE_MJPG, kSourceWidth, kSourceHeight, UNITS / 30);
    ComQuery<IAMStreamConfig>(out.Get())->SetFormat(format.Get());
    if (FAILED(
            graph->ConnectDirect(out.Get(), FirstPin(recorder.Get(), PINDIR_INPUT).Get(), nullptr)))
      return std::vector<std::vector<BYTE>>{};
    ComPtr<IMediaControl> control = ComQuery<IMediaControl>(graph.Get());
    control->Run();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (recorder->Count() < kRecordedFrames && std::chrono::steady_clock::now() < deadline) {
      QCoreApplication::processEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    control->Stop();
    return recorder->Frames();
  }();
  return frames;
}

class ReplayStream final : public SourceStream {
 public:
  explicit ReplayStream(FilterBase* filter) : SourceStream(filter, u"Capture") {
    type_ = MediaType::Video(MEDIASUBTYPE_MJPG, kSourceWidth, kSourceHeight, UNITS / 30);
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
  HRESULT FillBuffer(IMediaSample* sample) override {
    const std::vector<BYTE>& frame = CameraFrames()[next_++ % CameraFrames().size()];
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    if (static_cast<long>(frame.size()) > sample->GetSize()) return S_SKIP_SAMPLE;
    std::copy(frame.begin(), frame.end(), data);
    sample->SetActualDataLength(static_cast<long>(frame.size()));
    return S_OK;
  }

 private:
  MediaType type_;
  std::size_t next_ = 0;
};

class ReplaySource final : public SourceFilter {
 public:
  ReplaySource() : SourceFilter(CLSID_VfwCapture, u"Replayed Camera") {
    AddPin(std::make_unique<ReplayStream>(this));
  }
  ~ReplaySource() override { Stop(); }
};

// Runs camera, decoder and null renderer, the decoder connected at outWidth x outHeight RGB32,
// until kMeasuredFrames are drawn; the iteration's time is the process CPU time per frame.
void RunGraph(benchmark::State& state, int outWidth, int outHeight) {
  if (CameraFrames().empty()) {
    state.SkipWithError("no frames from the model camera");
    return;
  }
  for (auto _ : state) {
    ComPtr<IGraphBuilder> graph;
    CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                     graph.ReleaseAndGetVoidAddress());
    ComPtr<IBaseFilter> source, decoder, renderer;
    source.Attach(new ReplaySource);
    CoCreateInstance(CLSID_MjpegDec, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                     decoder.ReleaseAndGetVoidAddress());
    CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                     renderer.ReleaseAndGetVoidAddress());
    graph->AddFilter(source.Get(), u"camera");
    graph->AddFilter(decoder.Get(), u"decoder");
    graph->AddFilter(renderer.Get(), u"null");
    const MediaType asked = MediaType::Video(MEDIASUBTYPE_RGB32, outWidth, outHeight, UNITS / 30);
    if (FAILED(graph->ConnectDirect(FirstPin(source.Get(), PINDIR_OUTPUT).Get(),
                                    FirstPin(decoder.Get(), PINDIR_INPUT).Get(), nullptr)) ||
        FAILED(graph->ConnectDirect(FirstPin(decoder.Get(), PINDIR_OUTPUT).Get(),
                                    FirstPin(renderer.Get(), PINDIR_INPUT).Get(), asked.Get()))) {
      state.SkipWithError("could not build the graph");
      return;
    }
    ComPtr<IMediaControl> control = ComQuery<IMediaControl>(graph.Get());
    ComPtr<IQualProp> quality = ComQuery<IQualProp>(renderer.Get());
    const double cpuStart = ProcessCpuSeconds();
    control->Run();
    int frames = 0;
    while (frames < kMeasuredFrames) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      quality->get_FramesDrawn(&frames);
    }
    control->Stop();
    quality->get_FramesDrawn(&frames);
    state.SetIterationTime((ProcessCpuSeconds() - cpuStart) / frames);
  }
}

void BM_LiveGraphScaledDecode(benchmark::State& state) {
  RunGraph(state, kWidth, kHeight);
}
void BM_LiveGraphFullSizeDecode(benchmark::State& state) {
  RunGraph(state, kSourceWidth, kSourceHeight);
}
BENCHMARK(BM_LiveGraphScaledDecode)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveGraphFullSizeDecode)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Keeps the median of each benchmark's repetitions (CPU time per frame, as manual time).
class MedianReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
        seconds[run.run_name.function_name] =
            run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
  }
  std::map<std::string, double> seconds;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  CoInitialize(nullptr);
  benchmark::Initialize(&argc, argv);
  MedianReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double scaled = reporter.seconds["BM_LiveGraphScaledDecode"];
  const double full = reporter.seconds["BM_LiveGraphFullSizeDecode"];
  if (scaled > 0 && full > 0)
    std::printf(
        "mjpeg live graph cpu per frame: %.3f ms, baseline full-size decode %.3f ms, ratio %.2f\n",
        scaled * 1e3, full * 1e3, scaled / full);
  benchmark::Shutdown();
  CoUninitialize();
  return 0;
}
