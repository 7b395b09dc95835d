// Tests of the virtual capture filter: stream formats, image controls, streaming through a
// graph, dropped frames, failure injection and device loss.
#include "platform/media/virtual/VirtualCaptureFilter.h"

#include <utility>

#include <gtest/gtest.h>

#include "DeviceTestSupport.h"
#include "platform/media/virtual/DemoScene.h"
#include "platform/media/virtual/FramePacker.h"

namespace {

ComPtr<IBaseFilter> DemoCamera() {
  return BindByName(CLSID_VideoInputDeviceCategory, u"Frostwipe Demo Camera");
}

ComPtr<IAMStreamConfig> ConfigOf(IBaseFilter* filter) {
  return ComQuery<IAMStreamConfig>(FirstPin(filter, PINDIR_OUTPUT).Get());
}

MediaType CurrentFormat(IAMStreamConfig* config) {
  AM_MEDIA_TYPE* mt = nullptr;
  EXPECT_EQ(config->GetFormat(&mt), S_OK);
  MediaType copy(*mt);
  DeleteMediaType(mt);
  return copy;
}

// A graph of one device filter and a FrameSink, connected directly.
struct Rig {
  ComPtr<IGraphBuilder> graph;
  ComPtr<IBaseFilter> device;
  ComPtr<FrameSink> sink;
  ComPtr<IMediaControl> control;
  ComPtr<IMediaEventEx> events;
};

Rig MakeRig(ComPtr<IBaseFilter> device, GUID subtype, int width, int height) {
  Rig r;
  r.graph = NewGraph();
  r.device = std::move(device);
  r.sink = MakeComObject<FrameSink>(subtype);
  EXPECT_TRUE(SUCCEEDED(r.graph->AddFilter(r.device.Get(), u"device")));
  EXPECT_TRUE(SUCCEEDED(r.graph->AddFilter(r.sink.Get(), u"sink")));
  ComPtr<IAMStreamConfig> config = ConfigOf(r.device.Get());
  MediaType wanted = MediaType::Video(subtype, width, height, UNITS / 30);
  EXPECT_EQ(config->SetFormat(wanted.Get()), S_OK);
  EXPECT_EQ(r.graph->ConnectDirect(FirstPin(r.device.Get(), PINDIR_OUTPUT).Get(),
                                   FirstPin(r.sink.Get(), PINDIR_INPUT).Get(), nullptr),
            S_OK);
  r.control = ComQuery<IMediaControl>(r.graph.Get());
  r.events = ComQuery<IMediaEventEx>(r.graph.Get());
  return r;
}

// A graph of one device filter and a FrameSink, connected in the device's first format.
Rig ConnectAsIs(ComPtr<IBaseFilter> device, GUID subtype) {
  Rig r;
  r.graph = NewGraph();
  r.device = std::move(device);
  r.sink = MakeComObject<FrameSink>(subtype);
  EXPECT_TRUE(SUCCEEDED(r.graph->AddFilter(r.device.Get(), u"device")));
  EXPECT_TRUE(SUCCEEDED(r.graph->AddFilter(r.sink.Get(), u"sink")));
  EXPECT_EQ(r.graph->ConnectDirect(FirstPin(r.device.Get(), PINDIR_OUTPUT).Get(),
                                   FirstPin(r.sink.Get(), PINDIR_INPUT).Get(), nullptr),
            S_OK);
  r.control = ComQuery<IMediaControl>(r.graph.Get());
  r.events = ComQuery<IMediaEventEx>(r.graph.Get());
  return r;
}

// Adds a scripted device and binds its filter.
ComPtr<IBaseFilter> AddAndBind(const VirtualDeviceConfig& config) {
  EXPECT_EQ(ScriptedDevices::Instance()->Add(config), S_OK);
  return BindByName(CLSID_VideoInputDeviceCategory, config.friendlyName);
}

// A video type whose bitmap header claims another compression and bit count.
MediaType WithHeader(GUID subtype, int width, int height, std::uint32_t compression, int bits) {
  MediaType mt = MediaType::Video(subtype, width, height, UNITS / 30);
  BITMAPINFOHEADER* bih = GetBitmapInfoHeader(*mt.Get());
  bih->biCompression = compression;
  bih->biBitCount = static_cast<std::uint16_t>(bits);
  return mt;
}

// Waits for an event code, freeing the others; its first parameter through *param1.
bool WaitForEvent(IMediaEventEx* events, long wanted, LONG_PTR* param1, int timeoutMs = 3000) {
  return PumpUntil(
      [&] {
        long code = 0;
        LONG_PTR p1 = 0;
        LONG_PTR p2 = 0;
        while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
          events->FreeEventParams(code, p1, p2);
          if (code == wanted) {
            if (param1) *param1 = p1;
            return true;
          }
        }
        return false;
      },
      timeoutMs);
}

class VirtualCaptureFilterTest : public ::testing::Test {
 protected:
  ScriptedScope scripted_;
  ProvidersScope providers_{"demo,scripted"};
};

// Catches: the demo camera offering other sizes, subtypes or rates than 640x480, 320x240 and
// 160x120 at 30 frames per second in YUY2 and RGB32, or capability entries that do not match
// their media types (the capture control builds its size list from both).
TEST_F(VirtualCaptureFilterTest, DemoCameraCapabilities) {
  ComPtr<IBaseFilter> demo = DemoCamera();
  ASSERT_TRUE(demo);
  ComPtr<IAMStreamConfig> config = ConfigOf(demo.Get());
  ASSERT_TRUE(config);
  int count = 0;
  int size = 0;
  ASSERT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
  EXPECT_EQ(count, 6);
  EXPECT_EQ(size, static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS)));
  std::vector<std::tuple<std::string, int, int>> seen;
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* mt = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    ASSERT_EQ(config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps)), S_OK);
    const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(*mt);
    ASSERT_NE(bih, nullptr);
    EXPECT_EQ(mt->formattype, FORMAT_VideoInfo);
    EXPECT_EQ(caps.guid, FORMAT_VideoInfo);
    EXPECT_EQ(caps.InputSize.cx, bih->biWidth);
    EXPECT_EQ(caps.MaxOutputSize.cy, bih->biHeight);
    EXPECT_EQ(caps.MinFrameInterval, 333333);
    EXPECT_EQ(GetAvgTimePerFrame(*mt), 333333);
    seen.emplace_back(SubtypeName(mt->subtype), bih->biWidth, bih->biHeight);
    DeleteMediaType(mt);
  }
  const std::vector<std::tuple<std::string, int, int>> expected = {
      {"YUY2", 640, 480},  {"YUY2", 320, 240},  {"YUY2", 160, 120},
      {"RGB32", 640, 480}, {"RGB32", 320, 240}, {"RGB32", 160, 120}};
  EXPECT_EQ(seen, expected);
  AM_MEDIA_TYPE* mt = nullptr;
  BYTE caps[sizeof(VIDEO_STREAM_CONFIG_CAPS)];
  EXPECT_EQ(config->GetStreamCaps(6, &mt, caps), S_FALSE);
  EXPECT_EQ(config->GetStreamCaps(-1, &mt, caps), E_INVALIDARG);
}

// Catches: SetFormat that changes the format when it fails, refuses the capture control's
// 29.97 frames per second default, or leaves the pin offering other types afterwards.
TEST_F(VirtualCaptureFilterTest, SetFormatSucceedsOrFailsWithoutSideEffects) {
  ComPtr<IBaseFilter> demo = DemoCamera();
  ComPtr<IAMStreamConfig> config = ConfigOf(demo.Get());
  EXPECT_EQ(CurrentFormat(config.Get()).Width(), 640);

  MediaType odd = MediaType::Video(MEDIASUBTYPE_YUY2, 352, 288, 333333);
  EXPECT_EQ(config->SetFormat(odd.Get()), VFW_E_INVALIDMEDIATYPE);
  MediaType wrongType = MediaType::Video(MEDIASUBTYPE_I420, 320, 240, 333333);
  EXPECT_EQ(config->SetFormat(wrongType.Get()), VFW_E_INVALIDMEDIATYPE);
  EXPECT_EQ(CurrentFormat(config.Get()).Width(), 640);

  MediaType ntscRate = MediaType::Video(MEDIASUBTYPE_RGB32, 320, 240, 333667);
  ASSERT_EQ(config->SetFormat(ntscRate.Get()), S_OK);
  const MediaType now = CurrentFormat(config.Get());
  EXPECT_EQ(now->subtype, MEDIASUBTYPE_RGB32);
  EXPECT_EQ(now.Width(), 320);
  EXPECT_EQ(GetAvgTimePerFrame(*now), 333333);  // the rate the camera has

  ComPtr<IEnumMediaTypes> types;
  FirstPin(demo.Get(), PINDIR_OUTPUT)->EnumMediaTypes(types.ReleaseAndGetAddressOf());
  AM_MEDIA_TYPE* offered[4] = {};
  ULONG fetched = 0;
  types->Next(4, offered, &fetched);
  EXPECT_EQ(fetched, 1u);
  for (ULONG i = 0; i < fetched; ++i) DeleteMediaType(offered[i]);

  EXPECT_EQ(config->SetFormat(nullptr), S_OK);
  EXPECT_EQ(CurrentFormat(config.Get()).Width(), 640);
}

// Catches: the demo camera refusing a rate the capture control may ask for (it brings any rate
// to its 30 frames per second), or taking a header of another bit count than its subtype's.
TEST_F(VirtualCaptureFilterTest, DemoCameraBringsAnyRateToItsOwn) {
  ComPtr<IAMStreamConfig> config = ConfigOf(DemoCamera().Get());
  for (REFERENCE_TIME asked : {UNITS / 15, UNITS / 60, REFERENCE_TIME{0}}) {
    MediaType rate = MediaType::Video(MEDIASUBTYPE_YUY2, 320, 240, asked);
    ASSERT_EQ(config->SetFormat(rate.Get()), S_OK) << asked;
    EXPECT_EQ(GetAvgTimePerFrame(*CurrentFormat(config.Get())), 333333);
  }
  MediaType bits24 = WithHeader(MEDIASUBTYPE_YUY2, 640, 480, MEDIASUBTYPE_YUY2.Data1, 24);
  EXPECT_EQ(config->SetFormat(bits24.Get()), VFW_E_INVALIDMEDIATYPE);
  EXPECT_EQ(CurrentFormat(config.Get()).Width(), 320);
}

// Catches: SetFormat on a scripted device that takes a header the device cannot produce (YUY2,
// I420 or RLE8 bits on an RGB24-only device, another bit count, a size off its steps, a rate
// outside its range) and rewrites it as its own, so format discovery finds formats it lacks.
TEST_F(VirtualCaptureFilterTest, SetFormatTakesOnlyWhatACapabilityOffers) {
  VirtualDeviceConfig rgb;
  rgb.friendlyName = u"RGB Camera";
  VideoCapability cap;
  cap.subtype = MEDIASUBTYPE_RGB24;
  cap.width = cap.maxWidth = 320;
  cap.height = cap.maxHeight = 240;
  cap.minWidth = 160;
  cap.minHeight = 120;
  cap.stepX = 16;
  cap.stepY = 12;
  cap.minFramesPerSecond = 5;
  rgb.capabilities = {cap};
  ComPtr<IAMStreamConfig> config = ConfigOf(AddAndBind(rgb).Get());
  ASSERT_TRUE(config);
  const MediaType initial = CurrentFormat(config.Get());
  const struct {
    const char* what;
    MediaType type;
  } refused[] = {
      {"YUY2 bits", WithHeader(MEDIASUBTYPE_RGB24, 320, 240, MakeFourcc('Y', 'U', 'Y', '2'), 16)},
      {"I420 bits", WithHeader(MEDIASUBTYPE_RGB24, 320, 240, MakeFourcc('I', '4', '2', '0'), 12)},
      {"RLE8", WithHeader(MEDIASUBTYPE_RGB24, 320, 240, 1, 8)},
      {"32 bits", WithHeader(MEDIASUBTYPE_RGB24, 320, 240, BI_RGB, 32)},
      {"YUY2", MediaType::Video(MEDIASUBTYPE_YUY2, 320, 240, UNITS / 30)},
      {"off the steps", MediaType::Video(MEDIASUBTYPE_RGB24, 200, 150, UNITS / 30)},
      {"too wide", MediaType::Video(MEDIASUBTYPE_RGB24, 336, 240, UNITS / 30)},
      {"60 fps", MediaType::Video(MEDIASUBTYPE_RGB24, 320, 240, UNITS / 60)},
      {"2 fps", MediaType::Video(MEDIASUBTYPE_RGB24, 320, 240, UNITS / 2)},
      {"negative interval", MediaType::Video(MEDIASUBTYPE_RGB24, 320, 240, -333333)},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.what);
    MediaType type = c.type;
    EXPECT_EQ(config->SetFormat(type.Get()), VFW_E_INVALIDMEDIATYPE);
    EXPECT_TRUE(CurrentFormat(config.Get()) == initial) << "a refused format changed the format";
  }
  const struct {
    int width;
    int height;
    REFERENCE_TIME asked;
    REFERENCE_TIME applied;
  } accepted[] = {{176, 132, 333667, 333667},  // 29.97, within 5..30
                  {176, 132, 333000, 333333},  // 30.03 for 30, as drivers take it
                  {160, 120, UNITS / 15, UNITS / 15},
                  {320, 240, 0, 333333},  // no rate: the default one
                  {304, 228, 2000000, 2000000}};
  for (const auto& c : accepted) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " " << c.asked);
    MediaType type = MediaType::Video(MEDIASUBTYPE_RGB24, c.width, c.height, c.asked);
    ASSERT_EQ(config->SetFormat(type.Get()), S_OK);
    const MediaType now = CurrentFormat(config.Get());
    EXPECT_EQ(now.Width(), c.width);
    EXPECT_EQ(GetAvgTimePerFrame(*now), c.applied);
    EXPECT_EQ(GetBitmapInfoHeader(*now)->biBitCount, 24);
  }
}

// Catches: a frame-rate-only change on a connected pin answered with success but dropped: the
// stream kept its old rate.
TEST_F(VirtualCaptureFilterTest, RateChangeOnAConnectedPinApplies) {
  VirtualDeviceConfig variable = SmallCamera(u"Variable Rate Camera");
  variable.capabilities[0].minFramesPerSecond = 5;
  Rig rig = MakeRig(AddAndBind(variable), MEDIASUBTYPE_YUY2, 160, 120);
  ComPtr<IAMStreamConfig> config = ConfigOf(rig.device.Get());
  MediaType slower = MediaType::Video(MEDIASUBTYPE_YUY2, 160, 120, UNITS / 10);
  ASSERT_EQ(config->SetFormat(slower.Get()), S_OK);
  EXPECT_EQ(GetAvgTimePerFrame(*CurrentFormat(config.Get())), UNITS / 10);
  MediaType tooFast = MediaType::Video(MEDIASUBTYPE_YUY2, 160, 120, UNITS / 120);
  EXPECT_EQ(config->SetFormat(tooFast.Get()), VFW_E_INVALIDMEDIATYPE);
  ASSERT_EQ(rig.control->Run(), S_OK);
  ASSERT_TRUE(PumpUntil([&] { return rig.sink->Frames() >= 2; }));
  EXPECT_EQ(rig.sink->LastDuration(), UNITS / 10);
  EXPECT_EQ(rig.control->Stop(), S_OK);
}

// Catches: a frame rate whose interval is 0 (above about 2e7 frames per second: the streaming
// thread divided by it, SIGFPE) or beyond the interval arithmetic (1e-300, 0, negative), from a
// device made in code past the bounds the device file sets.
TEST_F(VirtualCaptureFilterTest, AnyFrameRateStreamsAndStops) {
  for (double rate : {1e300, 2.5e7, 1e-300, 0.0, -5.0}) {
    SCOPED_TRACE(rate);
    VirtualDeviceConfig odd =
        SmallCamera(u"Rate " + QString::number(rate).toStdU16String() + u" Camera");
    odd.capabilities[0].framesPerSecond = rate;
    Rig rig = ConnectAsIs(AddAndBind(odd), MEDIASUBTYPE_YUY2);
    ASSERT_EQ(rig.control->Run(), S_OK);
    EXPECT_TRUE(PumpUntil([&] { return rig.sink->Frames() >= 1; }));
    const auto stopStart = std::chrono::steady_clock::now();
    EXPECT_EQ(rig.control->Stop(), S_OK);
    EXPECT_LT(std::chrono::steady_clock::now() - stopStart, std::chrono::milliseconds(1000));
  }
}

// Catches: a frame too large to allocate ending the process from the streaming thread
// (std::bad_alloc escaping it) instead of ending the stream with EC_ERRORABORT.
TEST_F(VirtualCaptureFilterTest, AFrameTooLargeToAllocateAbortsTheStreamOnly) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers end the process on an allocation they cannot make";
#endif
  VirtualDeviceConfig huge = SmallCamera(u"Huge Camera");
  huge.capabilities[0].width = huge.capabilities[0].height = 1 << 20;
  Rig rig = ConnectAsIs(AddAndBind(huge), MEDIASUBTYPE_YUY2);
  ASSERT_EQ(rig.control->Run(), S_OK);
  LONG_PTR code = 0;
  ASSERT_TRUE(WaitForEvent(rig.events.Get(), EC_ERRORABORT, &code));
  EXPECT_EQ(static_cast<HRESULT>(code), E_OUTOFMEMORY);
  EXPECT_EQ(rig.control->Stop(), S_OK);
  EXPECT_EQ(rig.sink->Frames(), 0);
}

// Catches: image controls that accept values outside their range, modes they do not offer, or
// properties the camera does not have.
TEST_F(VirtualCaptureFilterTest, VideoProcAmpChecksRangesAndModes) {
  ComPtr<IAMVideoProcAmp> amp = ComQuery<IAMVideoProcAmp>(DemoCamera().Get());
  ASSERT_TRUE(amp);
  long min, max, step, def, caps;
  ASSERT_EQ(amp->GetRange(VideoProcAmp_Brightness, &min, &max, &step, &def, &caps), S_OK);
  EXPECT_EQ(min, -100);
  EXPECT_EQ(max, 100);
  EXPECT_EQ(def, 0);
  EXPECT_EQ(amp->Set(VideoProcAmp_Brightness, 101, VideoProcAmp_Flags_Manual), E_INVALIDARG);
  EXPECT_EQ(amp->Set(VideoProcAmp_Brightness, 10, VideoProcAmp_Flags_Auto), E_INVALIDARG);
  EXPECT_EQ(amp->Set(VideoProcAmp_Gamma, 10, VideoProcAmp_Flags_Manual), E_PROP_ID_UNSUPPORTED);
  EXPECT_EQ(amp->Set(VideoProcAmp_Contrast, 150, VideoProcAmp_Flags_Manual), S_OK);
  long value = 0;
  long flags = 0;
  ASSERT_EQ(amp->Get(VideoProcAmp_Contrast, &value, &flags), S_OK);
  EXPECT_EQ(value, 150);
  EXPECT_EQ(flags, VideoProcAmp_Flags_Manual);
  // The demo camera has no camera controls, and says so.
  EXPECT_FALSE(ComQuery<IAMCameraControl>(amp.Get()));
}

// Catches: frames that never flow, do not follow the scene of their frame number (packed, or
// drawn straight into a 32-bit sample bottom row first), or ignore the brightness control; and a
// filter that does not stop promptly.
TEST_F(VirtualCaptureFilterTest, FramesFlowFollowTheSceneAndTheBrightness) {
  for (const auto& [subtype, bytesPerPixel] :
       {std::pair{MEDIASUBTYPE_YUY2, 2}, std::pair{MEDIASUBTYPE_RGB32, 4}}) {
    SCOPED_TRACE(bytesPerPixel);
    Rig rig = MakeRig(DemoCamera(), subtype, 160, 120);
    ASSERT_EQ(rig.control->Run(), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return rig.sink->Frames() >= 5; }));
    const auto stopStart = std::chrono::steady_clock::now();
    ASSERT_EQ(rig.control->Stop(), S_OK);
    EXPECT_LT(std::chrono::steady_clock::now() - stopStart, std::chrono::milliseconds(500));

    DemoScene scene;
    std::vector<std::uint32_t> pixels(160 * 120);
    scene.Render(0, 160, 120, pixels.data());
    std::vector<BYTE> expected(static_cast<std::size_t>(160 * 120 * bytesPerPixel));
    PackFrame(pixels.data(), 160, 120, subtype, {}, expected.data(),
              static_cast<long>(expected.size()));
    EXPECT_EQ(rig.sink->FirstFrameNumber(), 0);
    EXPECT_EQ(rig.sink->First(), expected);

    ComQuery<IAMVideoProcAmp>(rig.device.Get())
        ->Set(VideoProcAmp_Brightness, 60, VideoProcAmp_Flags_Manual);
    rig.sink->Reset();
    ASSERT_EQ(rig.control->Run(), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return rig.sink->Frames() >= 1; }));
    rig.control->Stop();
    const std::vector<BYTE> brighter = rig.sink->First();
    ASSERT_EQ(brighter.size(), expected.size());
    long sumBefore = 0;
    long sumAfter = 0;
    for (std::size_t i = 0; i < expected.size(); i += 2) {
      sumBefore += expected[i];
      sumAfter += brighter[i];
    }
    EXPECT_GT(sumAfter - sumBefore, static_cast<long>(expected.size() / 2) * 40);
  }
}

// Catches: a source that bunches frames after a stall instead of skipping their slots, and
// dropped-frame counters that stay at zero.
TEST_F(VirtualCaptureFilterTest, AStalledConsumerCountsDroppedFrames) {
  Rig rig = MakeRig(DemoCamera(), MEDIASUBTYPE_YUY2, 160, 120);
  ComPtr<IAMDroppedFrames> dropped =
      ComQuery<IAMDroppedFrames>(FirstPin(rig.device.Get(), PINDIR_OUTPUT).Get());
  ASSERT_TRUE(dropped);
  rig.sink->StallOnce(400);
  ASSERT_EQ(rig.control->Run(), S_OK);
  ASSERT_TRUE(PumpUntil([&] { return rig.sink->Frames() >= 4; }));
  rig.control->Stop();
  long lost = 0;
  long delivered = 0;
  ASSERT_EQ(dropped->GetNumDropped(&lost), S_OK);
  ASSERT_EQ(dropped->GetNumNotDropped(&delivered), S_OK);
  EXPECT_GE(lost, 8);  // 400 ms at 30 frames per second, with room for a slow machine
  EXPECT_GE(delivered, 4);
  long frames[64];
  long copied = 0;
  ASSERT_EQ(dropped->GetDroppedInfo(64, frames, &copied), S_OK);
  EXPECT_EQ(copied, std::min(lost, 64L));
  EXPECT_EQ(frames[0], 1);  // frame 0 was delivered, then the consumer stalled
  long average = 0;
  dropped->GetAverageFrameSize(&average);
  EXPECT_EQ(average, 160 * 120 * 2);
}

// Catches: starts and stops that leak threads or hang (run under the sanitizers).
TEST_F(VirtualCaptureFilterTest, RepeatedStartStopCycles) {
  Rig rig = MakeRig(DemoCamera(), MEDIASUBTYPE_RGB32, 160, 120);
  for (int i = 0; i < 40; ++i) {
    ASSERT_EQ(rig.control->Run(), S_OK);
    if (i % 8 == 0) {
      ASSERT_TRUE(PumpUntil([&] { return rig.sink->Frames() > 0; }));
    }
    ASSERT_EQ(rig.control->Stop(), S_OK);
  }
}

// Catches: injected failures that do not reach the caller as failure codes, or leave state
// behind (a refused SetFormat changing the format).
TEST_F(VirtualCaptureFilterTest, FailureInjectionReachesTheCaller) {
  VirtualDeviceConfig refuse = SmallCamera(u"Refusing Camera");
  refuse.failures.refuseSetFormat = true;
  VirtualDeviceConfig broken = SmallCamera(u"Broken Camera");
  broken.failures.createResult = E_FAIL;
  VirtualDeviceConfig stuck = SmallCamera(u"Stuck Camera");
  stuck.failures.runResult = VFW_E_RUNTIME_ERROR;
  for (auto* c : {&refuse, &broken, &stuck}) {
    ASSERT_EQ(ScriptedDevices::Instance()->Add(*c), S_OK);
  }

  ComPtr<IBaseFilter> refusing = BindByName(CLSID_VideoInputDeviceCategory, u"Refusing Camera");
  ComPtr<IAMStreamConfig> config = ConfigOf(refusing.Get());
  MediaType same = MediaType::Video(MEDIASUBTYPE_YUY2, 160, 120, 333333);
  EXPECT_EQ(config->SetFormat(same.Get()), VFW_E_INVALIDMEDIATYPE);
  EXPECT_EQ(CurrentFormat(config.Get()).Width(), 160);

  HRESULT hr = S_OK;
  EXPECT_FALSE(BindByName(CLSID_VideoInputDeviceCategory, u"Broken Camera", &hr));
  EXPECT_EQ(hr, E_FAIL);
  std::vector<ListedDevice> devices;
  ListCategory(CLSID_VideoInputDeviceCategory, &devices);
  ComPtr<IFilterGraph2> graph = ComQuery<IFilterGraph2>(NewGraph().Get());
  ComPtr<IBaseFilter> added;
  for (ListedDevice& d : devices) {
    if (d.friendlyName != u"Broken Camera") continue;
    EXPECT_EQ(graph->AddSourceFilterForMoniker(d.moniker.Get(), nullptr, u"0 Broken Camera",
                                               added.ReleaseAndGetAddressOf()),
              E_FAIL);
  }

  ComPtr<IBaseFilter> stuckFilter = BindByName(CLSID_VideoInputDeviceCategory, u"Stuck Camera");
  Rig rig = MakeRig(stuckFilter, MEDIASUBTYPE_YUY2, 160, 120);
  EXPECT_TRUE(FAILED(rig.control->Run()));
  FILTER_STATE state = State_Running;
  rig.device->GetState(0, &state);
  EXPECT_NE(state, State_Running);
  rig.control->Stop();
  EXPECT_EQ(rig.sink->Frames(), 0);
}

// Catches: a device lost after n frames that goes on streaming, posts nothing, posts its
// IBaseFilter pointer instead of its IUnknown identity, or can be started again.
TEST_F(VirtualCaptureFilterTest, DeviceLostAfterFramesPostsDeviceLost) {
  VirtualDeviceConfig fragile = SmallCamera(u"Fragile Camera");
  fragile.failures.loseAfterFrames = 5;
  ASSERT_EQ(ScriptedDevices::Instance()->Add(fragile), S_OK);
  Rig rig = MakeRig(BindByName(CLSID_VideoInputDeviceCategory, u"Fragile Camera"),
                    MEDIASUBTYPE_YUY2, 160, 120);
  ASSERT_EQ(rig.control->Run(), S_OK);
  LONG_PTR who = 0;
  ASSERT_TRUE(WaitForEvent(rig.events.Get(), EC_DEVICE_LOST, &who));
  // The identity is what QueryInterface(IID_IUnknown) answers, on any of the filter's interfaces.
  ComPtr<IUnknown> identity = ComQuery<IUnknown>(rig.device.Get());
  ComPtr<IAMVideoProcAmp> procAmp = ComQuery<IAMVideoProcAmp>(rig.device.Get());
  ASSERT_TRUE(procAmp);
  EXPECT_EQ(ComQuery<IUnknown>(procAmp.Get()).Get(), identity.Get());
  EXPECT_EQ(who, reinterpret_cast<LONG_PTR>(identity.Get()));
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(rig.sink->Frames(), 5);
  const auto stopStart = std::chrono::steady_clock::now();
  EXPECT_EQ(rig.control->Stop(), S_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - stopStart, std::chrono::milliseconds(500));
  EXPECT_EQ(rig.control->Run(), VFW_E_DEVICE_LOST);
  rig.control->Stop();
}

// Catches: unplugging a streaming device without EC_DEVICE_LOST, or a stop that hangs on the
// vanished device.
TEST_F(VirtualCaptureFilterTest, UnplugWhileStreamingPostsDeviceLost) {
  std::u16string name;
  ASSERT_EQ(ScriptedDevices::Instance()->Add(SmallCamera(u"USB Camera"), true, &name), S_OK);
  Rig rig = MakeRig(BindByName(CLSID_VideoInputDeviceCategory, u"USB Camera"), MEDIASUBTYPE_YUY2,
                    160, 120);
  ASSERT_EQ(rig.control->Run(), S_OK);
  ASSERT_TRUE(PumpUntil([&] { return rig.sink->Frames() >= 2; }));
  std::thread unplug([&] { ScriptedDevices::Instance()->Unplug(name); });
  unplug.join();
  ASSERT_TRUE(WaitForEvent(rig.events.Get(), EC_DEVICE_LOST, nullptr));
  const int framesAtLoss = rig.sink->Frames();
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_LE(rig.sink->Frames(), framesAtLoss + 1);
  const auto stopStart = std::chrono::steady_clock::now();
  EXPECT_EQ(rig.control->Stop(), S_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - stopStart, std::chrono::milliseconds(500));
}

}  // namespace
