// Tests of the V4L2 provider: listing, stable names, permissions, hot-plug broadcasts.
#include "platform/media/v4l2/V4l2Provider.h"

#include <linux/videodev2.h>

#include <QThread>

#include <gtest/gtest.h>

#include "V4l2TestSupport.h"
#include "platform/media/DeviceNotify.h"
#include "platform/media/v4l2/V4l2Formats.h"
#include "platform/media/v4l2/V4l2Udev.h"

namespace {

std::string Utf8(const std::u16string& text) {
  return QString::fromStdU16String(text).toStdString();
}

}  // namespace

// Catches: metadata nodes listed as cameras, names that are not the card's, or a "CLSID" and
// "DevicePath" missing from the property bag.
TEST(V4l2ProviderTest, ListsCaptureNodesWithTheirNamesAndProperties) {
  ModelScope scope;
  scope.Model().Plug(UsbCameraSpec());
  scope.Model().Plug(LaptopCameraSpec());
  std::vector<ListedDevice> devices;
  ASSERT_EQ(ListCategory(CLSID_VideoInputDeviceCategory, &devices), S_OK);
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(Utf8(devices[0].friendlyName), "USB Camera");
  EXPECT_EQ(Utf8(devices[0].displayName), "@device:v4l2:pci-0000:00:14.0-usb-0:1:1.0-video-index0");
  EXPECT_EQ(Utf8(devices[1].friendlyName), "Integrated Camera");
  EXPECT_EQ(Utf8(devices[0].clsid), "{17CCA71B-ECD7-11D0-B908-00A0C9223196}");
  ComPtr<IPropertyBag> bag;
  ASSERT_EQ(devices[1].moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                              bag.ReleaseAndGetVoidAddress()),
            S_OK);
  VARIANT v;
  VariantInit(&v);
  ASSERT_EQ(bag->Read(u"DevicePath", &v, nullptr), S_OK);
  EXPECT_EQ(Utf8(v.bstrVal), "/dev/v4l/by-path/pci-0000:00:14.0-usb-0:6:1.0-video-index0");
  VariantClear(&v);
  // No other category has cameras.
  EXPECT_EQ(ListCategory(CLSID_AudioInputDeviceCategory, &devices), S_FALSE);
}

// Catches: a display name made from the node number, which changes when another camera takes
// the number while this one is unplugged.
TEST(V4l2ProviderTest, DisplayNameSurvivesReplugIntoTheSamePort) {
  ModelScope scope;
  const std::string usb = scope.Model().Plug(UsbCameraSpec());
  const std::vector<DeviceDescription> before =
      scope.Provider().ListDevices(CLSID_VideoInputDeviceCategory);
  ASSERT_EQ(before.size(), 1u);
  scope.Model().Unplug(usb);
  EXPECT_TRUE(scope.Provider().ListDevices(CLSID_VideoInputDeviceCategory).empty());
  scope.Model().Plug(LaptopCameraSpec());  // takes /dev/video0 and video1
  EXPECT_EQ(scope.Model().Plug(UsbCameraSpec()), "/dev/video2");
  const std::vector<DeviceDescription> after =
      scope.Provider().ListDevices(CLSID_VideoInputDeviceCategory);
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[1].displayName, before[0].displayName);
  // The filter is made for the node the camera has now.
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(scope.Provider().CreateFilter(CLSID_VideoInputDeviceCategory, before[0].displayName,
                                          filter.ReleaseAndGetAddressOf()),
            S_OK);
  EXPECT_EQ(scope.Model().OpenFiles(), 1);
  filter.Reset();
  EXPECT_EQ(scope.Model().OpenFiles(), 0) << "the filter must close its node";
  EXPECT_EQ(scope.Provider().CreateFilter(CLSID_VideoInputDeviceCategory, u"@device:v4l2:gone",
                                          filter.ReleaseAndGetAddressOf()),
            VFW_E_NOT_FOUND);
}

// Catches: a node this user may not open that vanishes without a word, or a message that does
// not tell the user about the "video" group.
TEST(V4l2ProviderTest, NoPermissionIsLoggedWithTheVideoGroup) {
  ModelScope scope;
  const std::string node = scope.Model().Plug(UsbCameraSpec());
  scope.Model().SetDenied(node, true);
  LogCapture log;
  EXPECT_TRUE(scope.Provider().ListDevices(CLSID_VideoInputDeviceCategory).empty());
  EXPECT_TRUE(log.Contains("/dev/video0: no permission")) << log.All();
  EXPECT_TRUE(log.Contains("\"video\" group")) << log.All();
}

// Catches: a camera whose only formats cannot be converted silently missing from the list, or
// listed without saying why it shows nothing.
TEST(V4l2ProviderTest, CameraWithoutConvertibleFormatsIsListedWithAReason) {
  ModelScope scope;
  ModelCameraSpec h264 = UsbCameraSpec();
  h264.card = "H.264 Camera";
  ModelFormat only;
  only.pixelformat = v4l2_fourcc('H', '2', '6', '4');
  only.description = "H.264";
  only.sizes = {{1920, 1080}};
  h264.formats = {only};
  scope.Model().Plug(h264);
  LogCapture log;
  const auto devices = scope.Provider().ListDevices(CLSID_VideoInputDeviceCategory);
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_TRUE(log.Contains("offers no format Frostwipe can convert (it has: H264)")) << log.All();
}

// Catches: hot-plug that does not reach the user-interface thread as a device-change broadcast,
// a metadata node announced as a camera, or a removal that names another device.
TEST(V4l2ProviderTest, PlugAndUnplugAreBroadcastOnTheUiThread) {
  ModelScope scope;
  scope.Model().Plug(LaptopCameraSpec());
  scope.Provider().ListDevices(CLSID_VideoInputDeviceCategory);  // starts watching
  PumpUntil([] { return false; }, 50);                           // broadcasts of earlier tests
  QObject context;
  std::vector<DeviceChange> changes;
  bool onUiThread = true;
  DeviceNotify::Listen(&context, [&](const DeviceChange& c) {
    onUiThread = onUiThread && QThread::currentThread() == qApp->thread();
    changes.push_back(c);
  });
  std::string node;
  std::thread plug([&] { node = scope.Model().Plug(UsbCameraSpec()); });
  plug.join();
  ASSERT_TRUE(PumpUntil([&] { return !changes.empty(); }));
  PumpUntil([] { return false; }, 100);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].kind, DeviceChangeKind::Arrival);
  EXPECT_EQ(Utf8(changes[0].displayName), "@device:v4l2:pci-0000:00:14.0-usb-0:1:1.0-video-index0");
  EXPECT_EQ(Utf8(changes[0].friendlyName), "USB Camera");
  std::thread unplug([&] { scope.Model().Unplug(node); });
  unplug.join();
  ASSERT_TRUE(PumpUntil([&] { return changes.size() >= 2; }));
  EXPECT_EQ(changes[1].kind, DeviceChangeKind::Removal);
  EXPECT_EQ(changes[1].displayName, changes[0].displayName);
  EXPECT_TRUE(onUiThread);
}

// Catches: a udev monitor thread that cannot be stopped (a program that hangs at exit).
TEST(V4l2ProviderTest, UdevMonitorStopsPromptly) {
  std::unique_ptr<UdevMonitor> monitor = UdevMonitor::Start([](const V4l2NodeEvent&) {});
  if (!monitor) GTEST_SKIP() << "no udev netlink socket on this machine";
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const auto start = std::chrono::steady_clock::now();
  monitor.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

// Catches: stepwise ranges that give no 320x240 though they have it, sizes off the grid, or
// ranges that hang or explode (a zero step or an empty range).
TEST(V4l2FormatsTest, SampleSizesOfRanges) {
  const auto laptop = SampleSizes(160, 1280, 16, 120, 720, 8);
  EXPECT_EQ(laptop.front(), (std::pair{1280, 720}));
  EXPECT_EQ(laptop.back(), (std::pair{160, 120}));
  EXPECT_NE(std::find(laptop.begin(), laptop.end(), std::pair{320, 240}), laptop.end());
  for (const auto& [w, h] : laptop) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    EXPECT_EQ((w - 160) % 16, 0);
    EXPECT_EQ((h - 120) % 8, 0);
  }
  EXPECT_LE(laptop.size(), 10u);
  const auto odd = SampleSizes(100, 1000, 7, 100, 1000, 7);
  EXPECT_EQ(std::find(odd.begin(), odd.end(), std::pair{320, 240}), odd.end());
  EXPECT_EQ(odd.front(), (std::pair{996, 996}));
  EXPECT_EQ(SampleSizes(8, 4096, 0, 8, 4096, 0).size(), 11u);  // step 0 taken as 1
  EXPECT_TRUE(SampleSizes(640, 320, 1, 480, 240, 1).empty());
  // Driver values beyond the int range: no overflow, the range cut at the largest frame side.
  const auto huge = SampleSizes(16843009, 0xFFFFFFF0u, 1, 1, 0x80000002u, 1);
  EXPECT_TRUE(huge.empty());
  const auto wide = SampleSizes(16, 0xFFFFFFF0u, 16, 16, 0x80000000u, 16);
  ASSERT_FALSE(wide.empty());
  EXPECT_EQ(wide.front(), (std::pair{16384, 16384}));
}

// Catches: a driver that cannot enumerate frame sizes offering no format at all.
TEST(V4l2FormatsTest, WithoutSizeEnumerationTheCurrentSizeIsOffered) {
  V4l2Model model;
  ModelCameraSpec spec = UsbCameraSpec();
  spec.noSizeEnumeration = true;
  const std::string node = model.Plug(spec);
  const int fd = model.Open(node);
  const std::vector<V4l2Capability> caps = ReadCapabilities(model, fd, node, nullptr);
  model.Close(fd);
  ASSERT_EQ(caps.size(), 2u);
  EXPECT_EQ(caps[0].subtype, MEDIASUBTYPE_YUY2);
  EXPECT_EQ(std::pair(caps[0].width, caps[0].height), (std::pair{640, 480}));
  EXPECT_EQ(caps[1].subtype, MEDIASUBTYPE_MJPG);
  EXPECT_EQ(std::pair(caps[1].width, caps[1].height), (std::pair{640, 480}));
}

// Catches: a continuous range of frame rates read as one rate, or its common rates lost.
TEST(V4l2FormatsTest, ContinuousFrameRatesGiveTheirRangeAndCommonRates) {
  V4l2Model model;
  ModelCameraSpec spec = LaptopCameraSpec();
  spec.formats[0].minFramesPerSecond = 5;
  spec.formats[0].maxFramesPerSecond = 30;
  const std::string node = model.Plug(spec);
  const int fd = model.Open(node);
  const std::vector<V4l2Capability> caps = ReadCapabilities(model, fd, node, nullptr);
  model.Close(fd);
  ASSERT_FALSE(caps.empty());
  // The fastest first (the default), then the rest from the shortest interval on.
  EXPECT_EQ(caps[0].intervals, (std::vector<REFERENCE_TIME>{UNITS / 30, UNITS / 25, UNITS / 20,
                                                            UNITS / 15, UNITS / 10, UNITS / 5}));
}

// Catches: pixel formats mapped to the wrong subtype, or an unconvertible one offered.
TEST(V4l2FormatsTest, PixelFormatsMapToSubtypes) {
  EXPECT_EQ(SubtypeForPixelFormat(V4L2_PIX_FMT_YUYV), MEDIASUBTYPE_YUY2);
  EXPECT_EQ(SubtypeForPixelFormat(V4L2_PIX_FMT_UYVY), MEDIASUBTYPE_UYVY);
  EXPECT_EQ(SubtypeForPixelFormat(V4L2_PIX_FMT_NV12), MEDIASUBTYPE_NV12);
  EXPECT_EQ(SubtypeForPixelFormat(V4L2_PIX_FMT_YUV420), MEDIASUBTYPE_I420);
  EXPECT_EQ(SubtypeForPixelFormat(V4L2_PIX_FMT_BGR24), MEDIASUBTYPE_RGB24);
  EXPECT_EQ(SubtypeForPixelFormat(V4L2_PIX_FMT_MJPEG), MEDIASUBTYPE_MJPG);
  EXPECT_EQ(SubtypeForPixelFormat(V4L2_PIX_FMT_H264), GUID_NULL);
  EXPECT_EQ(FourccText(V4L2_PIX_FMT_YUYV), "YUYV");
}
