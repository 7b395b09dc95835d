// The play path with a PipeWire camera against the same path with the demo camera, both
// 640x480 YUY2 at 30 frames per second: camera -> preview graph -> grabbers -> hand-over -> the
// game's frame handler -> display. The PipeWire camera is the tests' producer program on a
// private PipeWire daemon (with its session manager and bus) started and stopped here; the
// processor time counted is this process's alone, over a fixed number of delivered frames, in
// alternating rounds, and the figures are the medians of the rounds.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <benchmark/benchmark.h>

#include "PrivatePipeWire.h"
#include "capture/CaptureCtl.h"
#include "capture/core/CaptureCore.h"
#include "game/Video_capture_form.h"
#include "platform/media/DeviceEnumerator.h"
#include "platform/media/virtual/DemoScene.h"
#include "platform/media/virtual/ScriptedDevices.h"
#include "platform/media/virtual/VirtualDeviceConfig.h"
#include "platform/toolkit/Application.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr long kFrames = 300;  // per round: ten seconds at 30 frames per second
constexpr int kRounds = 3;

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void Pump(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// Passes each frame to the game's handler and reads the processor clock at the first and the
// last frame of a round, so that the round covers exactly kFrames frame intervals.
struct Probe {
  TVideoCaptureForm* form = nullptr;
  long frames = -1;  // -1: not counting
  double cpuStart = 0, cpuEnd = 0;
  int width = 0, height = 0;
  void Frame(TObject* sender, const TFrameData& data, TFrameCaptureDest dest, const QString& name,
             bool success) {
    form->CaptureControl1FrameCaptureCompleted(sender, data, dest, name, success);
    if (frames < 0) return;
    if (data.Bitmap) {
      width = data.Bitmap->Width();
      height = data.Bitmap->Height();
    }
    if (frames == 0) cpuStart = CpuSeconds();
    if (frames == kFrames) cpuEnd = CpuSeconds();
    ++frames;
  }
};

// The index of the first listed video device whose name starts with prefix, -1 if none.
int DeviceIndex(const QString& prefix) {
  const QStringList devices = VideoDevices().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  for (int i = 0; i < devices.size(); ++i)
    if (devices[i].startsWith(prefix)) return i;
  return -1;
}

// Plays one round on the device and returns the processor time per delivered frame in seconds,
// or a negative value if the frames did not come.
double Round(TVideoCaptureForm& form, Probe& probe, int device) {
  TCaptureControl* control = form.CaptureControl1;
  if (control->Core().CaptureState.load() != cs_Idle) form.StartStopButton->click();
  control->SetVideoDevice(device);
  form.StartStopButton->click();
  Pump(1000);  // warm-up
  probe.frames = 0;
  probe.width = probe.height = 0;
  QElapsedTimer wall;
  wall.start();
  while (probe.frames <= kFrames && wall.elapsed() < kFrames * 1000 / 10) Pump(20);
  const bool complete = probe.frames > kFrames;
  probe.frames = -1;
  form.StartStopButton->click();
  Pump(300);
  if (!complete || probe.width != kWidth || probe.height != kHeight) {
    std::fprintf(stderr, "device %d: %s, frames %dx%d\n", device,
                 complete ? "wrong size" : "too few frames", probe.width, probe.height);
    return -1;
  }
  return (probe.cpuEnd - probe.cpuStart) / kFrames;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// The demo camera's picture synthesis alone at the same size, per frame.
double SynthesisSecondsPerFrame() {
  DemoScene scene;
  std::vector<std::uint32_t> pixels(kWidth * kHeight);
  const double start = CpuSeconds();
  const int n = 100;
  for (int i = 0; i < n; ++i) scene.Render(i, kWidth, kHeight, pixels.data());
  benchmark::DoNotOptimize(pixels.data());
  return (CpuSeconds() - start) / n;
}

// A tiny registered benchmark keeps the program a Google Benchmark one; the figures come from
// the real-time rounds.
void BM_DemoSynthesis640x480(benchmark::State& state) {
  DemoScene scene;
  std::vector<std::uint32_t> pixels(kWidth * kHeight);
  long i = 0;
  for (auto _ : state) {
    scene.Render(i++, kWidth, kHeight, pixels.data());
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_DemoSynthesis640x480);

// The medians of the rounds, seconds per frame.
struct Figures {
  double pipewire = 0, demo = 0;
};

// Runs the rounds; false if a camera did not play.
bool Measure(PrivatePipeWire& pipewire, Figures* figures) {
  TestCamera camera(pipewire);
  if (!camera.Start({"--name", "bench-camera", "--description", "PipeWire Bench Camera",
                     "YUY2:640x480@30"})) {
    std::fprintf(stderr, "the PipeWire test camera did not start\n");
    return false;
  }
  // The demo camera offering only 640x480 YUY2, so that both cameras feed the same format.
  VirtualDeviceConfig demo = DemoCameraConfig();
  demo.friendlyName = u"Demo Camera 640x480 YUY2";
  demo.displayName.clear();
  demo.capabilities.erase(std::remove_if(demo.capabilities.begin(), demo.capabilities.end(),
                                         [](const VideoCapability& c) {
                                           return !(c.subtype == MEDIASUBTYPE_YUY2) ||
                                                  c.width != kWidth || c.height != kHeight;
                                         }),
                          demo.capabilities.end());
  ScriptedDevices::Instance()->Add(demo);

  Probe probe;
  TVideoCaptureForm form;
  form.show();
  Pump(300);  // the first idle moment opens the camera
  probe.form = &form;
  form.CaptureControl1->OnFrameCaptureCompleted = {&probe, &Probe::Frame};
  form.CaptureControl1->UseNearestVideoSize(kWidth, kHeight, true);
  form.SizeGameBuffers(kWidth, kHeight);
  QElapsedTimer wall;
  wall.start();
  while (DeviceIndex(QStringLiteral("PipeWire Bench Camera")) < 0 && wall.elapsed() < 10000)
    Pump(100);
  const int pipewireDevice = DeviceIndex(QStringLiteral("PipeWire Bench Camera"));
  const int demoDevice = DeviceIndex(QStringLiteral("Demo Camera 640x480 YUY2"));
  if (pipewireDevice < 0 || demoDevice < 0) {
    std::fprintf(stderr, "camera not listed: PipeWire %d, demo %d\n", pipewireDevice, demoDevice);
    return false;
  }
  std::vector<double> onPipeWire, onDemo;
  for (int i = 0; i < kRounds; ++i) {
    const double d = Round(form, probe, demoDevice);
    const double p = Round(form, probe, pipewireDevice);
    if (d < 0 || p < 0) return false;
    onDemo.push_back(d);
    onPipeWire.push_back(p);
    std::printf("round %d: pipewire %.3f ms, demo %.3f ms per frame\n", i + 1, p * 1e3, d * 1e3);
  }
  figures->pipewire = Median(onPipeWire);
  figures->demo = Median(onDemo);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  char dir[] = "/tmp/fwbenchXXXXXX";
  if (!mkdtemp(dir)) return 1;
  setenv("FROSTWIPE_REGISTRY", (std::string(dir) + "/registry.db").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", dir, 1);
  setenv("FROSTWIPE_DEVICE_PROVIDERS", "pipewire,demo,scripted", 1);
  // The private daemons come first: this process's PipeWire code finds them, never the machine's.
  PrivatePipeWire pipewire;
  Figures figures;
  bool ok = pipewire.Start();
  if (!ok) std::fprintf(stderr, "the private PipeWire did not start\n");
  {
    TApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    if (ok) ok = Measure(pipewire, &figures);
    // The provider's connection goes before the daemon, so that it logs no reconnection.
    DeviceProviderRegistry::Instance().Unregister("pipewire");
  }
  if (!pipewire.Stop()) {
    std::fprintf(stderr, "a private PipeWire process did not stop by itself\n");
    ok = false;
  }
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  if (!ok) return 1;
  const double synthesis = SynthesisSecondsPerFrame();
  const double p = figures.pipewire, d = figures.demo;
  // The demo camera draws its picture in this process; the producer draws the PipeWire one.
  std::printf(
      "pipewire camera cpu per frame: %.3f ms, baseline demo camera without its picture "
      "synthesis %.3f ms, ratio %.2f\n",
      p * 1e3, (d - synthesis) * 1e3, p / (d - synthesis));
  std::printf("pipewire camera cpu per frame: %.3f ms, baseline demo camera %.3f ms, ratio %.2f\n",
              p * 1e3, d * 1e3, p / d);
  return 0;
}
