// Tests of the V4L2 capture filter against model cameras: stream capabilities, SetFormat,
// streaming with timestamps and drops, stop and unplug, a busy camera, damaged frames, controls.
#include "platform/media/v4l2/V4l2CaptureFilter.h"

#include <linux/videodev2.h>

#include <gtest/gtest.h>

#include "V4l2TestSupport.h"
#include "platform/media/ColorConverter.h"
#include "platform/media/MjpegDecoder.h"
#include "platform/media/v4l2/V4l2Formats.h"
#include "platform/media/virtual/DemoScene.h"
#include "platform/media/virtual/FramePacker.h"

namespace {

// The intervals of 30 and 15 frames per second, rounded to 100 ns as drivers' fractions give.
constexpr REFERENCE_TIME k30Fps = 333333;
constexpr REFERENCE_TIME k15Fps = 666667;

ComPtr<IAMStreamConfig> ConfigOf(IBaseFilter* filter) {
  return ComQuery<IAMStreamConfig>(FirstPin(filter, PINDIR_OUTPUT).Get());
}

struct Capability {
  GUID subtype;
  int width;
  int height;
  REFERENCE_TIME minInterval;
  REFERENCE_TIME maxInterval;
  DWORD sizeImage;
};

std::vector<Capability> Capabilities(IAMStreamConfig* config) {
  int count = 0, size = 0;
  EXPECT_EQ(config->GetNumberOfCapabilities(&count, &size), S_OK);
  std::vector<Capability> list;
  for (int i = 0; i < count; ++i) {
    AM_MEDIA_TYPE* mt = nullptr;
    VIDEO_STREAM_CONFIG_CAPS caps{};
    EXPECT_EQ(config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&caps)), S_OK);
    const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(*mt);
    list.push_back({mt->subtype, bih->biWidth, bih->biHeight, caps.MinFrameInterval,
                    caps.MaxFrameInterval, bih->biSizeImage});
    DeleteMediaType(mt);
  }
  return list;
}

struct Rig {
  ComPtr<IGraphBuilder> graph;
  ComPtr<IBaseFilter> device;
  ComPtr<FrameSink> sink;
  ComPtr<IMediaControl> control;
  ComPtr<IMediaEventEx> events;
};

// The camera listed first, its format set, connected to a sink of sinkSubtype (through the
// framework's converters when they differ).
Rig MakeRig(GUID subtype, int width, int height, GUID sinkSubtype,
            REFERENCE_TIME interval = UNITS / 30) {
  Rig r;
  std::vector<ListedDevice> devices;
  ListCategory(CLSID_VideoInputDeviceCategory, &devices);
  EXPECT_FALSE(devices.empty());
  if (devices.empty()) return r;
  devices[0].moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                   r.device.ReleaseAndGetVoidAddress());
  r.graph = NewGraph();
  r.sink = MakeComObject<FrameSink>(sinkSubtype);
  EXPECT_TRUE(SUCCEEDED(r.graph->AddFilter(r.device.Get(), u"device")));
  EXPECT_TRUE(SUCCEEDED(r.graph->AddFilter(r.sink.Get(), u"sink")));
  MediaType wanted = MediaType::Video(subtype, width, height, interval);
  EXPECT_EQ(ConfigOf(r.device.Get())->SetFormat(wanted.Get()), S_OK);
  EXPECT_EQ(r.graph->Connect(FirstPin(r.device.Get(), PINDIR_OUTPUT).Get(),
                             FirstPin(r.sink.Get(), PINDIR_INPUT).Get()),
            S_OK);
  r.control = ComQuery<IMediaControl>(r.graph.Get());
  r.events = ComQuery<IMediaEventEx>(r.graph.Get());
  return r;
}

bool WaitForEvent(IMediaEventEx* events, long wanted, int timeoutMs = 3000) {
  return PumpUntil(
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

long Dropped(IBaseFilter* device) {
  long dropped = -1;
  ComQuery<IAMDroppedFrames>(FirstPin(device, PINDIR_OUTPUT).Get())->GetNumDropped(&dropped);
  return dropped;
}

class V4l2CaptureFilterTest : public ::testing::Test {
 protected:
  ModelScope scope_;
};

}  // namespace

// Catches: discrete sizes or rates missing from IAMStreamConfig, MJPEG above what YUYV offers
// lost, or a stepwise camera without 320x240 and its padded row size.
TEST_F(V4l2CaptureFilterTest, StreamCapabilitiesOfBothCameras) {
  scope_.Model().Plug(UsbCameraSpec());
  std::vector<ListedDevice> devices;
  ListCategory(CLSID_VideoInputDeviceCategory, &devices);
  ComPtr<IBaseFilter> usb;
  ASSERT_EQ(devices[0].moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                             usb.ReleaseAndGetVoidAddress()),
            S_OK);
  const auto caps = Capabilities(ConfigOf(usb.Get()).Get());
  ASSERT_EQ(caps.size(), 8u);
  const std::pair<int, int> yuyv[] = {{640, 480}, {352, 288}, {320, 240}, {176, 144}, {160, 120}};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(caps[i].subtype, MEDIASUBTYPE_YUY2);
    EXPECT_EQ(std::pair(caps[i].width, caps[i].height), yuyv[i]);
    EXPECT_EQ(caps[i].minInterval, k30Fps);
    EXPECT_EQ(caps[i].maxInterval, k15Fps);
  }
  EXPECT_EQ(caps[5].subtype, MEDIASUBTYPE_MJPG);
  EXPECT_EQ(std::pair(caps[5].width, caps[5].height), (std::pair{1280, 720}));

  scope_.Model().Unplug("/dev/video0");
  usb.Reset();
  scope_.Model().Plug(LaptopCameraSpec());
  ListCategory(CLSID_VideoInputDeviceCategory, &devices);
  ComPtr<IBaseFilter> laptop;
  ASSERT_EQ(devices[0].moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                             laptop.ReleaseAndGetVoidAddress()),
            S_OK);
  const auto steps = Capabilities(ConfigOf(laptop.Get()).Get());
  ASSERT_GE(steps.size(), 4u);
  EXPECT_EQ(std::pair(steps.front().width, steps.front().height), (std::pair{1280, 720}));
  EXPECT_EQ(std::pair(steps.back().width, steps.back().height), (std::pair{160, 120}));
  auto qvga = std::find_if(steps.begin(), steps.end(),
                           [](const Capability& c) { return c.width == 320 && c.height == 240; });
  ASSERT_NE(qvga, steps.end());
  EXPECT_EQ(qvga->subtype, MEDIASUBTYPE_NV12);
  EXPECT_EQ(qvga->sizeImage, 384u * 240 * 3 / 2) << "the padded rows must reach the converter";
}

// Catches: SetFormat that does not reach the driver, takes a rate the camera lacks, or keeps a
// format the driver adjusted to another size (and leaves the driver in that other format).
TEST_F(V4l2CaptureFilterTest, SetFormatAppliesOrRefusesWithoutSideEffects) {
  ModelCameraSpec quirky = UsbCameraSpec();
  quirky.quirkFrom = {352, 288};
  quirky.quirkTo = {320, 240};
  const std::string node = scope_.Model().Plug(quirky);
  std::vector<ListedDevice> devices;
  ListCategory(CLSID_VideoInputDeviceCategory, &devices);
  ComPtr<IBaseFilter> filter;
  devices[0].moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                   filter.ReleaseAndGetVoidAddress());
  ComPtr<IAMStreamConfig> config = ConfigOf(filter.Get());
  MediaType mjpeg = MediaType::Video(MEDIASUBTYPE_MJPG, 640, 480, UNITS / 15);
  ASSERT_EQ(config->SetFormat(mjpeg.Get()), S_OK);
  // A second file sees the driver's format.
  const int probe = scope_.Model().Open(node);
  v4l2_format f{};
  f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  scope_.Model().Ioctl(probe, VIDIOC_G_FMT, &f);
  EXPECT_EQ(f.fmt.pix.pixelformat, static_cast<std::uint32_t>(V4L2_PIX_FMT_MJPEG));
  EXPECT_EQ(f.fmt.pix.width, 640u);
  v4l2_streamparm parm{};
  parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  scope_.Model().Ioctl(probe, VIDIOC_G_PARM, &parm);
  EXPECT_EQ(parm.parm.capture.timeperframe.denominator, 15u);

  LogCapture log;
  MediaType adjusted = MediaType::Video(MEDIASUBTYPE_YUY2, 352, 288, UNITS / 30);
  EXPECT_EQ(config->SetFormat(adjusted.Get()), VFW_E_INVALIDMEDIATYPE);
  EXPECT_TRUE(log.Contains("the driver turned YUYV 352x288 into YUYV 320x240")) << log.All();
  MediaType badRate = MediaType::Video(MEDIASUBTYPE_YUY2, 320, 240, UNITS / 60);
  EXPECT_EQ(config->SetFormat(badRate.Get()), VFW_E_INVALIDMEDIATYPE);
  MediaType notOffered = MediaType::Video(MEDIASUBTYPE_YUY2, 1280, 720, UNITS / 30);
  EXPECT_EQ(config->SetFormat(notOffered.Get()), VFW_E_INVALIDMEDIATYPE);
  scope_.Model().Ioctl(probe, VIDIOC_G_FMT, &f);
  EXPECT_EQ(f.fmt.pix.pixelformat, static_cast<std::uint32_t>(V4L2_PIX_FMT_MJPEG));
  EXPECT_EQ(f.fmt.pix.width, 640u) << "a refused format must leave the driver as it was";
  AM_MEDIA_TYPE* current = nullptr;
  ASSERT_EQ(config->GetFormat(&current), S_OK);
  EXPECT_EQ(current->subtype, MEDIASUBTYPE_MJPG);
  EXPECT_EQ(GetAvgTimePerFrame(*current), k15Fps);
  DeleteMediaType(current);
  // NTSC rounding: 29.97 is the camera's 30.
  MediaType ntsc = MediaType::Video(MEDIASUBTYPE_YUY2, 320, 240, 333667);
  EXPECT_EQ(config->SetFormat(ntsc.Get()), S_OK);
  scope_.Model().Close(probe);
}

// Catches: frames that do not flow, that are not the camera's picture, padded rows drawn
// sheared, or sample times that do not follow the driver's frame interval.
TEST_F(V4l2CaptureFilterTest, FramesFlowWithThePictureAndTimes) {
  scope_.Model().Plug(LaptopCameraSpec());
  Rig rig = MakeRig(MEDIASUBTYPE_NV12, 320, 240, MEDIASUBTYPE_RGB32);
  ASSERT_TRUE(rig.control);
  ASSERT_EQ(rig.control->Run(), S_OK);
  ASSERT_TRUE(PumpUntil([&] { return rig.sink->Frames() >= 5; }));
  rig.control->Stop();
  EXPECT_NEAR(static_cast<double>(rig.sink->LastDuration()), UNITS / 30.0, 2.0);
  // The converted frame matches the scene converted from packed rows.
  DemoScene scene;
  std::vector<std::uint32_t> pixels(320 * 240);
  std::vector<BYTE> packed(320 * 240 * 3 / 2);
  std::vector<BYTE> expected(320 * 240 * 4);
  std::vector<BYTE> scratch;
  MediaType nv12 = MediaType::Video(MEDIASUBTYPE_NV12, 320, 240, 0);
  MediaType rgb = MediaType::Video(MEDIASUBTYPE_RGB32, 320, 240, 0);
  const std::vector<BYTE> first = rig.sink->First();
  ASSERT_EQ(first.size(), expected.size());
  bool matched = false;
  for (int frame = 0; frame < 8 && !matched; ++frame) {
    scene.Render(frame, 320, 240, pixels.data());
    PackFrame(pixels.data(), 320, 240, MEDIASUBTYPE_NV12, {}, packed.data(),
              static_cast<long>(packed.size()));
    ASSERT_TRUE(ConvertFrame(*nv12, packed.data(), static_cast<long>(packed.size()), *rgb,
                             expected.data(), static_cast<long>(expected.size()), scratch));
    matched = first == expected;
  }
  EXPECT_TRUE(matched) << "the first frame is none of the scene's first frames";
}

// Catches: RGB24 and BGR24 cameras whose top-down, padded rows reach the graph upside down,
// with red and blue swapped, or sheared, instead of as the bitmap the framework expects.
TEST_F(V4l2CaptureFilterTest, RgbCamerasDeliverBitmaps) {
  for (std::uint32_t pixelformat : {V4L2_PIX_FMT_BGR24, V4L2_PIX_FMT_RGB24}) {
    SCOPED_TRACE(FourccText(pixelformat));
    ModelCameraSpec rgb = UsbCameraSpec();
    rgb.strideAlign = 64;  // 160 pixels: 480 bytes a row, padded to 512
    ModelFormat format;
    format.pixelformat = pixelformat;
    format.description = "RGB";
    format.sizes = {{160, 120}};
    rgb.formats = {format};
    const std::string node = scope_.Model().Plug(rgb);
    {
      Rig rig = MakeRig(MEDIASUBTYPE_RGB24, 160, 120, MEDIASUBTYPE_RGB24);
      ASSERT_TRUE(rig.control);
      ASSERT_EQ(rig.control->Run(), S_OK);
      ASSERT_TRUE(PumpUntil([&] { return rig.sink->Frames() >= 2; }));
      rig.control->Stop();
      DemoScene scene;
      std::vector<std::uint32_t> pixels(160 * 120);
      std::vector<BYTE> expected(DibRowBytes(160, 24) * 120);
      const std::vector<BYTE> first = rig.sink->First();
      bool matched = false;
      for (int frame = 0; frame < 8 && !matched; ++frame) {
        scene.Render(frame, 160, 120, pixels.data());
        PackFrame(pixels.data(), 160, 120, MEDIASUBTYPE_RGB24, {}, expected.data(),
                  static_cast<long>(expected.size()));
        matched = first == expected;
      }
      EXPECT_TRUE(matched) << "the first frame is none of the scene's first bitmaps";
    }
    scope_.Model().Unplug(node);
  }
}

// Catches: a stop that waits for the poll timeout (or forever) while the camera sends nothing,
// and a stream that leaves buffers mapped or the queue taken after it stops.
TEST_F(V4l2CaptureFilterTest, StopWakesAStreamWaitingInPoll) {
  const std::string node = scope_.Model().Plug(UsbCameraSpec());
  Rig rig = MakeRig(MEDIASUBTYPE_YUY2, 160, 120, MEDIASUBTYPE_YUY2);
  for (int cycle = 0; cycle < 3; ++cycle) {
    SCOPED_TRACE(cycle);
    rig.sink->Reset();
    scope_.Model().SetStalled(node, false);
    ASSERT_EQ(rig.control->Run(), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return rig.sink->Frames() >= 2; }));
    scope_.Model().SetStalled(node, true);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(rig.control->Stop(), S_OK);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    EXPECT_EQ(scope_.Model().MappedBuffers(), 0);
  }
  // The queue is free for another program once the stream stopped.
  const int other = scope_.Model().Open(node);
  v4l2_requestbuffers r{};
  r.count = 2;
  r.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  r.memory = V4L2_MEMORY_MMAP;
  EXPECT_EQ(scope_.Model().Ioctl(other, VIDIOC_REQBUFS, &r), 0);
  r.count = 0;
  scope_.Model().Ioctl(other, VIDIOC_REQBUFS, &r);
  scope_.Model().Close(other);
}

// Catches: an unplug mid-stream that hangs the streaming thread in DQBUF or poll, posts no
// EC_DEVICE_LOST, or lets the filter start again on the vanished camera.
TEST_F(V4l2CaptureFilterTest, UnplugMidStreamPostsDeviceLost) {
  const std::string node = scope_.Model().Plug(UsbCameraSpec());
  Rig rig = MakeRig(MEDIASUBTYPE_YUY2, 320, 240, MEDIASUBTYPE_YUY2);
  ASSERT_EQ(rig.control->Run(), S_OK);
  ASSERT_TRUE(PumpUntil([&] { return rig.sink->Frames() >= 2; }));
  std::thread unplug([&] { scope_.Model().Unplug(node); });
  unplug.join();
  ASSERT_TRUE(WaitForEvent(rig.events.Get(), EC_DEVICE_LOST));
  const int frames = rig.sink->Frames();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(rig.sink->Frames(), frames);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(rig.control->Stop(), S_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  EXPECT_EQ(rig.control->Run(), VFW_E_DEVICE_LOST);
  rig.control->Stop();
  EXPECT_EQ(scope_.Model().MappedBuffers(), 0);
  rig = Rig();
  EXPECT_EQ(scope_.Model().OpenFiles(), 0);
}

// Catches: a camera in use by another program that fails late (a stream error event) or
// without saying why, or that leaves the filter unable to start once the camera is free.
TEST_F(V4l2CaptureFilterTest, BusyCameraFailsTheStartWithALogLine) {
  const std::string node = scope_.Model().Plug(UsbCameraSpec());
  Rig rig = MakeRig(MEDIASUBTYPE_YUY2, 160, 120, MEDIASUBTYPE_YUY2);
  scope_.Model().SetBusy(node, true);
  {
    LogCapture log;
    EXPECT_EQ(rig.control->Run(), kDeviceBusy);
    EXPECT_TRUE(log.Contains("/dev/video0: the camera is in use by another program")) << log.All();
  }
  rig.control->Stop();
  EXPECT_EQ(scope_.Model().MappedBuffers(), 0);
  scope_.Model().SetBusy(node, false);
  ASSERT_EQ(rig.control->Run(), S_OK);
  EXPECT_TRUE(PumpUntil([&] { return rig.sink->Frames() >= 2; }));
  rig.control->Stop();
}

// Catches: damaged frames (a truncated JPEG, a buffer flagged with an error, a short raw
// frame) delivered downstream or not counted as dropped, and a stream that ends over them.
TEST_F(V4l2CaptureFilterTest, DamagedFramesAreDroppedAndCounted) {
  struct Case {
    ModelDamage damage;
    GUID subtype;
    GUID sinkSubtype;
  };
  for (const Case& c : {Case{ModelDamage::Truncated, MEDIASUBTYPE_MJPG, MEDIASUBTYPE_RGB24},
                        Case{ModelDamage::ErrorFlag, MEDIASUBTYPE_YUY2, MEDIASUBTYPE_YUY2},
                        Case{ModelDamage::Truncated, MEDIASUBTYPE_YUY2, MEDIASUBTYPE_YUY2}}) {
    SCOPED_TRACE(SubtypeName(c.subtype) +
                 (c.damage == ModelDamage::ErrorFlag ? " error flag" : " truncated"));
    const std::string node = scope_.Model().Plug(UsbCameraSpec());
    scope_.Model().SetDamage(node, c.damage, 3);
    {
      Rig rig = MakeRig(c.subtype, 320, 240, c.sinkSubtype);
      ASSERT_TRUE(rig.control);
      ASSERT_EQ(rig.control->Run(), S_OK);
      ASSERT_TRUE(PumpUntil([&] { return rig.sink->Frames() >= 8; }));
      rig.control->Stop();
      ComPtr<IAMDroppedFrames> drops =
          ComQuery<IAMDroppedFrames>(FirstPin(rig.device.Get(), PINDIR_OUTPUT).Get());
      long dropped = 0, delivered = 0;
      drops->GetNumDropped(&dropped);
      drops->GetNumNotDropped(&delivered);
      EXPECT_GE(dropped, 3);
      EXPECT_GE(delivered, rig.sink->Frames());
      // Every frame that got through is whole: a JPEG decodes, a raw frame has its size.
      EXPECT_EQ(rig.sink->Last().size(),
                c.sinkSubtype == MEDIASUBTYPE_RGB24 ? 320u * 240 * 3 : 320u * 240 * 2);
    }
    scope_.Model().Unplug(node);
  }
}

// Catches: MJPEG frames followed by zeros up to the buffer's end (as some cameras send them)
// taken for damaged ones: such a camera would show nothing.
TEST_F(V4l2CaptureFilterTest, ZeroPaddedMjpegFramesAreWhole) {
  ModelCameraSpec padded = UsbCameraSpec();
  padded.padMjpeg = true;
  scope_.Model().Plug(padded);
  Rig rig = MakeRig(MEDIASUBTYPE_MJPG, 320, 240, MEDIASUBTYPE_RGB24);
  ASSERT_EQ(rig.control->Run(), S_OK);
  // Were they taken for damaged, none would arrive.
  EXPECT_TRUE(PumpUntil([&] { return rig.sink->Frames() >= 3; }));
  rig.control->Stop();
}

// Catches: a consumer that falls behind without the lost frames being counted.
TEST_F(V4l2CaptureFilterTest, SequenceGapsCountAsDroppedFrames) {
  scope_.Model().Plug(UsbCameraSpec());
  Rig rig = MakeRig(MEDIASUBTYPE_YUY2, 160, 120, MEDIASUBTYPE_YUY2);
  ASSERT_EQ(rig.control->Run(), S_OK);
  ASSERT_TRUE(PumpUntil([&] { return rig.sink->Frames() >= 2; }));
  rig.sink->StallOnce(400);
  // The frames already in the four buffers come first; the gap shows after them.
  ASSERT_TRUE(PumpUntil([&] { return rig.sink->Frames() >= 10; }));
  rig.control->Stop();
  EXPECT_GE(Dropped(rig.device.Get()), 5);
}

// Catches: controls with ranges, steps or defaults other than the driver's, an automatic mode
// not offered or not switched, a manual value written while the automatic control still owns
// it (drivers refuse it), or values outside the range passed on.
TEST_F(V4l2CaptureFilterTest, ControlsMapRangesAndAutomaticModes) {
  const std::string usb = scope_.Model().Plug(UsbCameraSpec());
  std::vector<ListedDevice> devices;
  ListCategory(CLSID_VideoInputDeviceCategory, &devices);
  ComPtr<IBaseFilter> filter;
  devices[0].moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                   filter.ReleaseAndGetVoidAddress());
  ComPtr<IAMVideoProcAmp> amp = ComQuery<IAMVideoProcAmp>(filter.Get());
  ASSERT_TRUE(amp);
  long min, max, step, def, caps, value, flags;
  ASSERT_EQ(amp->GetRange(VideoProcAmp_Brightness, &min, &max, &step, &def, &caps), S_OK);
  EXPECT_EQ(std::vector<long>({min, max, step, def, caps}),
            std::vector<long>({-64, 64, 1, 0, VideoProcAmp_Flags_Manual}));
  ASSERT_EQ(amp->GetRange(VideoProcAmp_WhiteBalance, &min, &max, &step, &def, &caps), S_OK);
  EXPECT_EQ(std::vector<long>({min, max, step, def, caps}),
            std::vector<long>(
                {2800, 6500, 10, 4600, VideoProcAmp_Flags_Manual | VideoProcAmp_Flags_Auto}));
  ASSERT_EQ(amp->Get(VideoProcAmp_WhiteBalance, &value, &flags), S_OK);
  EXPECT_EQ(flags, VideoProcAmp_Flags_Auto);
  EXPECT_EQ(amp->Set(VideoProcAmp_WhiteBalance, 5000, VideoProcAmp_Flags_Manual), S_OK);
  EXPECT_EQ(scope_.Model().ControlValue(usb, V4L2_CID_AUTO_WHITE_BALANCE), 0);
  EXPECT_EQ(scope_.Model().ControlValue(usb, V4L2_CID_WHITE_BALANCE_TEMPERATURE), 5000);
  ASSERT_EQ(amp->Get(VideoProcAmp_WhiteBalance, &value, &flags), S_OK);
  EXPECT_EQ(std::pair(value, flags), std::pair(5000L, VideoProcAmp_Flags_Manual));
  EXPECT_EQ(amp->Set(VideoProcAmp_WhiteBalance, 5000, VideoProcAmp_Flags_Auto), S_OK);
  EXPECT_EQ(scope_.Model().ControlValue(usb, V4L2_CID_AUTO_WHITE_BALANCE), 1);
  EXPECT_EQ(amp->Set(VideoProcAmp_WhiteBalance, 5005, VideoProcAmp_Flags_Manual), E_INVALIDARG);
  EXPECT_EQ(amp->Set(VideoProcAmp_Brightness, 65, VideoProcAmp_Flags_Manual), E_INVALIDARG);
  EXPECT_EQ(amp->Set(VideoProcAmp_Brightness, 0, VideoProcAmp_Flags_Auto), E_INVALIDARG);
  EXPECT_EQ(amp->GetRange(VideoProcAmp_ColorEnable, &min, &max, &step, &def, &caps),
            E_PROP_ID_UNSUPPORTED);
  ASSERT_EQ(amp->GetRange(VideoProcAmp_PowerlineFrequency, &min, &max, &step, &def, &caps), S_OK);
  EXPECT_EQ(std::pair(max, def), std::pair(2L, 1L));

  ComPtr<IAMCameraControl> camera = ComQuery<IAMCameraControl>(filter.Get());
  ASSERT_TRUE(camera);
  ASSERT_EQ(camera->GetRange(CameraControl_Exposure, &min, &max, &step, &def, &caps), S_OK);
  EXPECT_EQ(caps, CameraControl_Flags_Manual | CameraControl_Flags_Auto);
  EXPECT_EQ(camera->Set(CameraControl_Exposure, 100, CameraControl_Flags_Manual), S_OK);
  EXPECT_EQ(scope_.Model().ControlValue(usb, V4L2_CID_EXPOSURE_AUTO), V4L2_EXPOSURE_MANUAL);
  EXPECT_EQ(scope_.Model().ControlValue(usb, V4L2_CID_EXPOSURE_ABSOLUTE), 100);
  EXPECT_EQ(camera->Set(CameraControl_Exposure, 100, CameraControl_Flags_Auto), S_OK);
  EXPECT_EQ(scope_.Model().ControlValue(usb, V4L2_CID_EXPOSURE_AUTO),
            V4L2_EXPOSURE_APERTURE_PRIORITY);
  EXPECT_EQ(camera->GetRange(CameraControl_Focus, &min, &max, &step, &def, &caps),
            E_PROP_ID_UNSUPPORTED);

  // The pages the property frame shows.
  CAUUID pages{};
  ASSERT_EQ(ComQuery<ISpecifyPropertyPages>(filter.Get())->GetPages(&pages), S_OK);
  EXPECT_EQ(pages.cElems, 2u);
  CoTaskMemFree(pages.pElems);
}

// Catches: a laptop camera's pan, tilt, zoom and focus not offered, or steps lost.
TEST_F(V4l2CaptureFilterTest, LaptopCameraControls) {
  const std::string node = scope_.Model().Plug(LaptopCameraSpec());
  std::vector<ListedDevice> devices;
  ListCategory(CLSID_VideoInputDeviceCategory, &devices);
  ComPtr<IBaseFilter> filter;
  devices[0].moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                   filter.ReleaseAndGetVoidAddress());
  ComPtr<IAMCameraControl> camera = ComQuery<IAMCameraControl>(filter.Get());
  ASSERT_TRUE(camera);
  long min, max, step, def, caps;
  ASSERT_EQ(camera->GetRange(CameraControl_Pan, &min, &max, &step, &def, &caps), S_OK);
  EXPECT_EQ(std::vector<long>({min, max, step, caps}),
            std::vector<long>({-36000, 36000, 3600, CameraControl_Flags_Manual}));
  EXPECT_EQ(camera->Set(CameraControl_Pan, 1000, CameraControl_Flags_Manual), E_INVALIDARG);
  EXPECT_EQ(camera->Set(CameraControl_Pan, 7200, CameraControl_Flags_Manual), S_OK);
  EXPECT_EQ(scope_.Model().ControlValue(node, V4L2_CID_PAN_ABSOLUTE), 7200);
  ASSERT_EQ(camera->GetRange(CameraControl_Focus, &min, &max, &step, &def, &caps), S_OK);
  EXPECT_EQ(caps, CameraControl_Flags_Manual | CameraControl_Flags_Auto);
  EXPECT_EQ(camera->Set(CameraControl_Focus, 50, CameraControl_Flags_Manual), S_OK);
  EXPECT_EQ(scope_.Model().ControlValue(node, V4L2_CID_FOCUS_AUTO), 0);
  EXPECT_EQ(camera->GetRange(CameraControl_Zoom, &min, &max, &step, &def, &caps), S_OK);
  EXPECT_EQ(std::pair(min, max), std::pair(100L, 400L));
}
