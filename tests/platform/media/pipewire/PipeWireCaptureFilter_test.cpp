// Tests of the PipeWire capture filter against a private daemon: stream capabilities and
// SetFormat, the test pattern arriving in the frames, dropped frames, a node or the whole daemon
// going away mid-stream.
#include "platform/media/pipewire/PipeWireCaptureFilter.h"

#include <algorithm>
#include <csignal>
#include <ostream>
#include <thread>

#include "PipeWireTestSupport.h"
#include "platform/media/EventCodes.h"
#include "platform/media/MediaType.h"

namespace {

using PipeWireCaptureFilterTest = PipeWireTest;

ComPtr<IAMStreamConfig> ConfigOf(IBaseFilter* filter) {
  return ComQuery<IAMStreamConfig>(FirstPin(filter, PINDIR_OUTPUT).Get());
}

bool WaitForEvent(IMediaEventEx* events, long wanted, int timeoutMs = 5000) {
  return WaitUntil(
      [&] {
        long code = 0;
        LONG_PTR p1 = 0, p2 = 0;
        while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
          events->FreeEventParams(code, p1, p2);
          if (code == wanted) return true;
        }
        return false;
      },
      timeoutMs);
}

int CountEvents(IMediaEventEx* events, long wanted) {
  int count = 0;
  long code = 0;
  LONG_PTR p1 = 0, p2 = 0;
  while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
    events->FreeEventParams(code, p1, p2);
    if (code == wanted) ++count;
  }
  return count;
}

struct Rig {
  ComPtr<IGraphBuilder> graph;
  ComPtr<IBaseFilter> device;
  ComPtr<FrameSink> sink;
  ComPtr<IMediaControl> control;
  ComPtr<IMediaEventEx> events;
};

// The camera listed first, its format set, connected straight to a sink of that subtype.
Rig MakeRig(GUID subtype, int width, int height) {
  Rig r;
  std::vector<ListedDevice> devices;
  ListCategory(CLSID_VideoInputDeviceCategory, &devices);
  EXPECT_FALSE(devices.empty());
  if (devices.empty()) return r;
  devices[0].moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                   r.device.ReleaseAndGetVoidAddress());
  r.graph = NewGraph();
  r.sink = MakeComObject<FrameSink>(subtype);
  EXPECT_TRUE(SUCCEEDED(r.graph->AddFilter(r.device.Get(), u"device")));
  EXPECT_TRUE(SUCCEEDED(r.graph->AddFilter(r.sink.Get(), u"sink")));
  MediaType wanted = MediaType::Video(subtype, width, height, UNITS / 30);
  EXPECT_EQ(ConfigOf(r.device.Get())->SetFormat(wanted.Get()), S_OK);
  EXPECT_EQ(r.graph->Connect(FirstPin(r.device.Get(), PINDIR_OUTPUT).Get(),
                             FirstPin(r.sink.Get(), PINDIR_INPUT).Get()),
            S_OK);
  r.control = ComQuery<IMediaControl>(r.graph.Get());
  r.events = ComQuery<IMediaEventEx>(r.graph.Get());
  return r;
}

// The display name of the camera listed first.
std::u16string ListedNode() {
  std::vector<ListedDevice> devices;
  ListCategory(CLSID_VideoInputDeviceCategory, &devices);
  return devices.empty() ? std::u16string() : devices[0].displayName;
}

// The luma the test camera drew at (x, y) of a frame whose top-left luma is base.
int Luma(int x, int y, int base) {
  return (x + y + base) & 0xFF;
}

// The stream capabilities as "<format> <w>x<h> <shortest frame interval>".
std::vector<std::string> Offered(IAMStreamConfig* config) {
  int count = 0, size = 0;
  std::vector<std::string> offered;
  if (FAILED(config->GetNumberOfCapabilities(&count, &size))) return {"(failed)"};
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* mt = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    if (FAILED(config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps)))) continue;
    const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(*mt);
    const char* name = mt->subtype == MEDIASUBTYPE_YUY2   ? "YUY2"
                       : mt->subtype == MEDIASUBTYPE_NV12 ? "NV12"
                       : mt->subtype == MEDIASUBTYPE_MJPG ? "MJPG"
                                                          : "?";
    offered.push_back(std::string(name) + " " + std::to_string(bih->biWidth) + "x" +
                      std::to_string(bih->biHeight) + " " + std::to_string(caps.MinFrameInterval));
    DeleteMediaType(mt);
  }
  return offered;
}

// The capture filter of the camera listed first.
ComPtr<IBaseFilter> FirstDevice() {
  std::vector<ListedDevice> devices;
  ComPtr<IBaseFilter> device;
  if (ListCategory(CLSID_VideoInputDeviceCategory, &devices) == S_OK && !devices.empty())
    devices[0].moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                     device.ReleaseAndGetVoidAddress());
  return device;
}

// Catches: ranged sizes not sampled like V4L2's (320x240 missing), frame rates lost, MJPEG
// missing, or SetFormat taking a size the node does not offer and forgetting the previous one.
TEST_F(PipeWireCaptureFilterTest, OffersTheNodeFormatsAndRefusesOthers) {
  TestCamera camera(*pipewire_);
  ASSERT_TRUE(camera.Start({"--name", "cam-formats", "YUY2:640x480@30", "NV12:160x120-1280x720@15",
                            "MJPG:1280x720@30"}));
  std::vector<ListedDevice> devices;
  ASSERT_EQ(ListCategory(CLSID_VideoInputDeviceCategory, &devices), S_OK);
  ComPtr<IBaseFilter> device;
  ASSERT_EQ(devices[0].moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                             device.ReleaseAndGetVoidAddress()),
            S_OK);
  ComPtr<IAMStreamConfig> config = ConfigOf(device.Get());
  const std::vector<std::string> expected = {
      "YUY2 640x480 333333", "NV12 1280x720 666667", "NV12 800x600 666667",
      "NV12 640x480 666667", "NV12 352x288 666667",  "NV12 320x240 666667",
      "NV12 176x144 666667", "NV12 160x120 666667",  "MJPG 1280x720 333333"};
  EXPECT_EQ(Offered(config.Get()), expected);

  MediaType chosen = MediaType::Video(MEDIASUBTYPE_NV12, 320, 240, UNITS / 15);
  ASSERT_EQ(config->SetFormat(chosen.Get()), S_OK);
  MediaType absent = MediaType::Video(MEDIASUBTYPE_YUY2, 320, 240, UNITS / 30);
  EXPECT_EQ(config->SetFormat(absent.Get()), VFW_E_INVALIDMEDIATYPE);
  AM_MEDIA_TYPE* current = nullptr;
  ASSERT_EQ(config->GetFormat(&current), S_OK);
  EXPECT_EQ(current->subtype, MEDIASUBTYPE_NV12);
  EXPECT_EQ(GetBitmapInfoHeader(*current)->biWidth, 320);
  DeleteMediaType(current);
}

// Catches: a node that changes the formats it offers still listed, or still queried through a
// filter made before, with the old ones (a default format no longer offered, the new ones
// refused by SetFormat).
TEST_F(PipeWireCaptureFilterTest, FormatsChangedOnTheNodeAreOffered) {
  TestCamera camera(*pipewire_);
  ASSERT_TRUE(camera.Start({"--name", "cam-reformat", "YUY2:640x480@30"}));
  const ComPtr<IBaseFilter> before = FirstDevice();
  ASSERT_TRUE(before);
  const ComPtr<IAMStreamConfig> config = ConfigOf(before.Get());
  ASSERT_EQ(Offered(config.Get()), std::vector<std::string>{"YUY2 640x480 333333"});
  ASSERT_TRUE(camera.Send("formats NV12:320x240@15 MJPG:1280x720@30"));
  const std::vector<std::string> changed = {"NV12 320x240 666667", "MJPG 1280x720 333333"};
  EXPECT_TRUE(WaitUntil([&] { return Offered(config.Get()) == changed; }))
      << "the filter made before still offers " << testing::PrintToString(Offered(config.Get()));
  const ComPtr<IBaseFilter> after = FirstDevice();
  ASSERT_TRUE(after);
  EXPECT_EQ(Offered(ConfigOf(after.Get()).Get()), changed);
  AM_MEDIA_TYPE* current = nullptr;
  ASSERT_EQ(config->GetFormat(&current), S_OK);
  EXPECT_EQ(current->subtype, MEDIASUBTYPE_NV12) << "the default is a format no longer offered";
  DeleteMediaType(current);
  MediaType chosen = MediaType::Video(MEDIASUBTYPE_NV12, 320, 240, UNITS / 15);
  EXPECT_EQ(config->SetFormat(chosen.Get()), S_OK);
}

struct ContentCase {
  const char* format;  // as the test camera takes it
  GUID subtype;
  int pad;  // bytes added to every row by the camera
  friend void PrintTo(const ContentCase& c, std::ostream* out) { *out << c.format << "+" << c.pad; }
};

class PipeWireContentTest : public PipeWireTest,
                            public ::testing::WithParamInterface<ContentCase> {};

// Catches: frames copied with the wrong stride (padded rows), chroma planes taken from the wrong
// place, RGB delivered top-down or in the wrong byte order, or a pattern that does not move.
TEST_P(PipeWireContentTest, PatternArrivesInTheFrames) {
  const ContentCase c = GetParam();
  constexpr int kW = 64, kH = 48;
  TestCamera camera(*pipewire_);
  ASSERT_TRUE(camera.Start({"--name", "cam-content", "--pad", std::to_string(c.pad),
                            std::string(c.format) + ":64x48@30"}));
  Rig rig = MakeRig(c.subtype, kW, kH);
  ASSERT_EQ(rig.control->Run(), S_OK);
  ASSERT_TRUE(WaitUntil([&] { return rig.sink->Frames() >= 3; }));
  const std::vector<BYTE> first = rig.sink->First(), last = rig.sink->Last();
  rig.control->Stop();
  auto lumaAt = [&](const std::vector<BYTE>& f, int x, int y) -> int {
    if (c.subtype == MEDIASUBTYPE_YUY2) return f[static_cast<std::size_t>(y * kW * 2 + x * 2)];
    if (c.subtype == MEDIASUBTYPE_NV12 || c.subtype == MEDIASUBTYPE_I420)
      return f[static_cast<std::size_t>(y * kW + x)];
    // A bottom-up bitmap with rows of 4-byte multiples, blue first: every channel carries it.
    const std::size_t at = static_cast<std::size_t>((kH - 1 - y) * kW * 3 + x * 3);
    EXPECT_EQ(f[at], f[at + 2]);
    return f[at + 1];
  };
  for (const std::vector<BYTE>* frame : {&first, &last}) {
    ASSERT_GE(frame->size(), static_cast<std::size_t>(kW * kH));
    const int base = lumaAt(*frame, 0, 0);
    for (int y = 0; y < kH; y += 7)
      for (int x = 0; x < kW; x += 5)
        ASSERT_EQ(lumaAt(*frame, x, y), Luma(x, y, base)) << x << "," << y;
  }
  if (c.subtype == MEDIASUBTYPE_NV12 || c.subtype == MEDIASUBTYPE_I420) {
    EXPECT_EQ(last[kW * kH + 5], 128);
  }
  EXPECT_NE(lumaAt(first, 0, 0), lumaAt(last, 0, 0)) << "the picture does not move";
}

INSTANTIATE_TEST_SUITE_P(Formats, PipeWireContentTest,
                         ::testing::Values(ContentCase{"YUY2", MEDIASUBTYPE_YUY2, 0},
                                           ContentCase{"YUY2", MEDIASUBTYPE_YUY2, 24},
                                           ContentCase{"NV12", MEDIASUBTYPE_NV12, 16},
                                           ContentCase{"I420", MEDIASUBTYPE_I420, 0},
                                           ContentCase{"BGRx", MEDIASUBTYPE_RGB24, 0},
                                           ContentCase{"RGB", MEDIASUBTYPE_RGB24, 4}),
                         [](const ::testing::TestParamInfo<ContentCase>& info) {
                           return std::string(info.param.format) + "Pad" +
                                  std::to_string(info.param.pad);
                         });

// Catches: node properties not offered through IAMVideoProcAmp / IAMCameraControl with the
// node's range and default, a value set that never reaches the node, or a node without
// properties answering the interfaces anyway.
TEST_F(PipeWireCaptureFilterTest, NodePropertiesAreImageControls) {
  TestCamera camera(*pipewire_);
  ASSERT_TRUE(camera.Start({"--name", "cam-controls", "--control", "brightness=-64:64:8",
                            "--control", "exposure=3:2047:250", "YUY2:64x48@30"}));
  Rig rig = MakeRig(MEDIASUBTYPE_YUY2, 64, 48);
  ComPtr<IAMVideoProcAmp> procAmp = ComQuery<IAMVideoProcAmp>(rig.device.Get());
  ComPtr<IAMCameraControl> cameraControl = ComQuery<IAMCameraControl>(rig.device.Get());
  ASSERT_TRUE(procAmp && cameraControl) << DescribePipeWireCameras();
  long min = 0, max = 0, step = 0, def = 0, flags = 0, value = 0;
  ASSERT_EQ(procAmp->GetRange(VideoProcAmp_Brightness, &min, &max, &step, &def, &flags), S_OK);
  EXPECT_EQ(std::vector<long>({min, max, step, def, flags}),
            std::vector<long>({-64, 64, 1, 8, VideoProcAmp_Flags_Manual}));
  EXPECT_EQ(procAmp->GetRange(VideoProcAmp_Contrast, &min, &max, &step, &def, &flags),
            E_PROP_ID_UNSUPPORTED);
  ASSERT_EQ(cameraControl->GetRange(CameraControl_Exposure, &min, &max, &step, &def, &flags), S_OK);
  EXPECT_EQ(std::vector<long>({min, max, def}), std::vector<long>({3, 2047, 250}));

  ASSERT_EQ(procAmp->Set(VideoProcAmp_Brightness, -20, VideoProcAmp_Flags_Manual), S_OK);
  std::string line;
  EXPECT_TRUE(camera.WaitForLine("control brightness", Slow(5000), &line));
  EXPECT_EQ(line, "control brightness -20");
  EXPECT_EQ(procAmp->Get(VideoProcAmp_Brightness, &value, &flags), S_OK);
  EXPECT_EQ(value, -20);
  EXPECT_EQ(procAmp->Set(VideoProcAmp_Brightness, 65, VideoProcAmp_Flags_Manual), E_INVALIDARG);
  rig = Rig();

  TestCamera plain(*pipewire_);
  ASSERT_TRUE(camera.Stop());
  ASSERT_TRUE(plain.Start({"--name", "cam-plain", "YUY2:64x48@30"}));
  ASSERT_TRUE(WaitUntil([&] {
    return FriendlyNames(CLSID_VideoInputDeviceCategory).size() == 1 &&
           ListedNode() == u"@device:pipewire:cam-plain";
  }));
  rig = MakeRig(MEDIASUBTYPE_YUY2, 64, 48);
  EXPECT_FALSE(ComQuery<IAMVideoProcAmp>(rig.device.Get()));
  EXPECT_FALSE(ComQuery<IAMCameraControl>(rig.device.Get()));
}

// Catches: sequence gaps at the source not counted as dropped frames.
TEST_F(PipeWireCaptureFilterTest, SequenceGapsCountAsDropped) {
  TestCamera camera(*pipewire_);
  ASSERT_TRUE(camera.Start({"--name", "cam-gaps", "YUY2:64x48@30"}));
  Rig rig = MakeRig(MEDIASUBTYPE_YUY2, 64, 48);
  ASSERT_EQ(rig.control->Run(), S_OK);
  ASSERT_TRUE(WaitUntil([&] { return rig.sink->Frames() >= 2; }));
  ASSERT_TRUE(camera.Send("gap 5"));
  long dropped = 0;
  ComPtr<IAMDroppedFrames> counts =
      ComQuery<IAMDroppedFrames>(FirstPin(rig.device.Get(), PINDIR_OUTPUT).Get());
  EXPECT_TRUE(
      WaitUntil([&] { return SUCCEEDED(counts->GetNumDropped(&dropped)) && dropped >= 5; }));
  rig.control->Stop();
  // The five lost frames are numbered in a row (a busy machine may lose single frames besides).
  long frames[64] = {}, copied = 0;
  ASSERT_EQ(counts->GetDroppedInfo(64, frames, &copied), S_OK);
  std::sort(frames, frames + copied);
  long run = copied > 0 ? 1 : 0, longest = run;
  for (long i = 1; i < copied; ++i) {
    run = frames[i] == frames[i - 1] + 1 ? run + 1 : 1;
    longest = std::max(longest, run);
  }
  EXPECT_GE(longest, 5) << dropped << " dropped";
}

// Catches: a buffer that cannot be mapped (a camera's own DMA-BUF) read as if it were memory,
// refused without a word, or with a line per frame.
TEST_F(PipeWireCaptureFilterTest, UnmappableDmaBufIsRefused) {
  TestCamera camera(*pipewire_);
  ASSERT_TRUE(camera.Start({"--name", "cam-dmabuf", "--dmabuf", "YUY2:64x48@30"}));
  Rig rig = MakeRig(MEDIASUBTYPE_YUY2, 64, 48);
  LogCapture log;
  ASSERT_EQ(rig.control->Run(), S_OK);
  ComPtr<IAMDroppedFrames> counts =
      ComQuery<IAMDroppedFrames>(FirstPin(rig.device.Get(), PINDIR_OUTPUT).Get());
  long dropped = 0;
  EXPECT_TRUE(WaitUntil([&] { return SUCCEEDED(counts->GetNumDropped(&dropped)) && dropped >= 3; }))
      << log.All();
  rig.control->Stop();
  EXPECT_EQ(rig.sink->Frames(), 0);
  EXPECT_EQ(log.Count("a buffer came as DMA-BUF and cannot be mapped; frame refused"), 1)
      << log.All();
}

// Catches: a camera that stops sending hanging the streaming thread, so that Stop waits for it.
TEST_F(PipeWireCaptureFilterTest, StalledCameraStopsPromptly) {
  TestCamera camera(*pipewire_);
  ASSERT_TRUE(camera.Start({"--name", "cam-stall", "YUY2:64x48@30"}));
  Rig rig = MakeRig(MEDIASUBTYPE_YUY2, 64, 48);
  ASSERT_EQ(rig.control->Run(), S_OK);
  ASSERT_TRUE(WaitUntil([&] { return rig.sink->Frames() >= 2; }));
  ASSERT_TRUE(camera.Send("stall"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const int frames = rig.sink->Frames();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(rig.sink->Frames(), frames) << "the camera did not stall";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(rig.control->Stop(), S_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(Slow(500)));
}

// Catches: a daemon that stops answering (stopped, not dead) holding Stop up.
TEST_F(PipeWireCaptureFilterTest, HungDaemonDoesNotHoldStop) {
  TestCamera camera(*pipewire_);
  ASSERT_TRUE(camera.Start({"--name", "cam-hang", "YUY2:64x48@30"}));
  Rig rig = MakeRig(MEDIASUBTYPE_YUY2, 64, 48);
  ASSERT_EQ(rig.control->Run(), S_OK);
  ASSERT_TRUE(WaitUntil([&] { return rig.sink->Frames() >= 2; }));
  ASSERT_EQ(kill(pipewire_->DaemonPid(), SIGSTOP), 0);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(rig.control->Stop(), S_OK);
  const auto took = std::chrono::steady_clock::now() - start;
  kill(pipewire_->DaemonPid(), SIGCONT);
  EXPECT_LT(took, std::chrono::milliseconds(Slow(500)));
}

// Catches: a node leaving mid-stream that hangs the streaming thread or Stop, posts no
// EC_DEVICE_LOST or posts it twice, or a camera that cannot play again once it is back.
TEST_F(PipeWireCaptureFilterTest, NodeVanishingMidStreamIsDeviceLost) {
  TestCamera camera(*pipewire_);
  const std::vector<std::string> args = {"--name", "cam-vanish", "YUY2:64x48@30"};
  ASSERT_TRUE(camera.Start(args));
  Rig rig = MakeRig(MEDIASUBTYPE_YUY2, 64, 48);
  ASSERT_EQ(rig.control->Run(), S_OK);
  ASSERT_TRUE(WaitUntil([&] { return rig.sink->Frames() >= 2; }));
  ASSERT_TRUE(camera.Stop());
  ASSERT_TRUE(WaitForEvent(rig.events.Get(), EC_DEVICE_LOST));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(CountEvents(rig.events.Get(), EC_DEVICE_LOST), 0) << "device lost posted twice";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(rig.control->Stop(), S_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(Slow(500)));
  EXPECT_EQ(rig.control->Run(), VFW_E_DEVICE_LOST);
  rig.control->Stop();
  rig = Rig();

  ASSERT_TRUE(camera.Start(args));
  ASSERT_TRUE(WaitUntil([&] { return !FriendlyNames(CLSID_VideoInputDeviceCategory).empty(); }));
  rig = MakeRig(MEDIASUBTYPE_YUY2, 64, 48);
  ASSERT_EQ(rig.control->Run(), S_OK);
  EXPECT_TRUE(WaitUntil([&] { return rig.sink->Frames() >= 2; }));
  rig.control->Stop();
}

// Catches: a daemon killed mid-stream that hangs Stop, loses no device, floods the log while it
// is away, or is not reconnected when it runs again.
TEST_F(PipeWireCaptureFilterTest, DaemonKilledAndRestarted) {
  auto camera = std::make_unique<TestCamera>(*pipewire_);
  ASSERT_TRUE(camera->Start({"--name", "cam-daemon", "YUY2:64x48@30"}));
  Rig rig = MakeRig(MEDIASUBTYPE_YUY2, 64, 48);
  ASSERT_EQ(rig.control->Run(), S_OK);
  ASSERT_TRUE(WaitUntil([&] { return rig.sink->Frames() >= 2; }));
  LogCapture log;
  ASSERT_TRUE(pipewire_->KillDaemon());
  ASSERT_TRUE(WaitForEvent(rig.events.Get(), EC_DEVICE_LOST));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(rig.control->Stop(), S_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(Slow(500)));
  rig = Rig();
  camera.reset();  // its node went with the daemon
  EXPECT_TRUE(FriendlyNames(CLSID_VideoInputDeviceCategory).empty());
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // a few retries
  EXPECT_EQ(log.Count("PipeWire: "), 1) << log.All();

  ASSERT_TRUE(pipewire_->StartDaemon());
  camera = std::make_unique<TestCamera>(*pipewire_);
  ASSERT_TRUE(camera->Start({"--name", "cam-daemon", "YUY2:64x48@30"}));
  ASSERT_TRUE(WaitUntil([&] { return !FriendlyNames(CLSID_VideoInputDeviceCategory).empty(); }));
  rig = MakeRig(MEDIASUBTYPE_YUY2, 64, 48);
  ASSERT_EQ(rig.control->Run(), S_OK);
  EXPECT_TRUE(WaitUntil([&] { return rig.sink->Frames() >= 2; }));
  rig.control->Stop();
}

}  // namespace
