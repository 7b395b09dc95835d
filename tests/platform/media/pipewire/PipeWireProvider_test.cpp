// Tests of the PipeWire provider against a private daemon: which nodes are cameras, stable
// names across a restart of the node, and the device-change broadcast.
#include "platform/media/pipewire/PipeWireProvider.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <unistd.h>

#include <QThread>

#include "PipeWireTestSupport.h"
#include "platform/media/DeviceNotify.h"
#include "platform/media/v4l2/V4l2Provider.h"
#include "platform/media/v4l2/model/V4l2Model.h"

PrivatePipeWire* PipeWireTest::pipewire_ = nullptr;
bool PipeWireTest::started_ = false;

namespace {

using PipeWireProviderTest = PipeWireTest;

// Gone, or a zombie nobody reaps (the parent that would have reaped it died).
bool ProcessGone(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string pidField, name, state;
  return !(stat >> pidField >> name >> state) || state == "Z";
}

// Catches: processes a test started (daemons, cameras) or its private directory outliving a test
// process that aborts.
TEST(PrivatePipeWireWatchdogTest, AbortedTestLeavesNoProcess) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  EXPECT_DEATH(
      {
        PrivatePipeWire pipewire;
        ChildProcess child;
        child.Start({"sleep", "60"}, {}, false, pipewire.Dir() + "/sleep.log");
        const pid_t pid = child.Pid();
        char dir[64] = {};
        pipewire.Dir().copy(dir, sizeof dir - 1);
        (void)!write(fds[1], &pid, sizeof pid);
        (void)!write(fds[1], dir, sizeof dir);
        std::abort();
      },
      "");
  close(fds[1]);
  pid_t pid = -1;
  char dir[64] = {};
  ASSERT_EQ(read(fds[0], &pid, sizeof pid), static_cast<ssize_t>(sizeof pid));
  ASSERT_EQ(read(fds[0], dir, sizeof dir), static_cast<ssize_t>(sizeof dir));
  close(fds[0]);
  const bool gone = WaitUntil([&] { return ProcessGone(pid); });
  if (!gone) kill(pid, SIGKILL);
  EXPECT_TRUE(gone) << "the child of the aborted test is still running";
  ASSERT_NE(dir[0], '\0');
  EXPECT_TRUE(WaitUntil([&] { return access(dir, F_OK) != 0; }))
      << dir << " outlived the aborted test";
}

// Catches: screen-share sources listed as cameras, names taken from the node id (which changes
// at every start), or a restarted camera listed under a new name.
TEST_F(PipeWireProviderTest, ListsCamerasByStableNodeName) {
  TestCamera kitchen(*pipewire_), screen(*pipewire_);
  ASSERT_TRUE(
      kitchen.Start({"--name", "cam-kitchen", "--description", "Kitchen Cam", "YUY2:320x240@30"}));
  ASSERT_TRUE(screen.Start({"--name", "screen-share", "--role", "Screen", "BGRx:640x480@30"}));
  std::vector<ListedDevice> devices;
  ASSERT_EQ(ListCategory(CLSID_VideoInputDeviceCategory, &devices), S_OK);
  ASSERT_EQ(devices.size(), 1u);
  EXPECT_EQ(devices[0].friendlyName, u"Kitchen Cam");
  EXPECT_EQ(devices[0].clsid, u"{17CCA71B-ECD7-11D0-B908-00A0C9223196}");
  ComPtr<IPropertyBag> bag;
  ASSERT_EQ(devices[0].moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                              bag.ReleaseAndGetVoidAddress()),
            S_OK);
  VARIANT v;
  VariantInit(&v);
  ASSERT_EQ(bag->Read(u"DevicePath", &v, nullptr), S_OK);
  EXPECT_EQ(std::u16string(v.bstrVal), u"pipewire:test:cam-kitchen");
  VariantClear(&v);
  const std::u16string before = devices[0].displayName;
  EXPECT_EQ(before, u"@device:pipewire:cam-kitchen");

  // Another camera takes the node id while this one is away.
  const std::uint32_t oldId = kitchen.NodeId();
  ASSERT_TRUE(kitchen.Stop());
  TestCamera hall(*pipewire_);
  ASSERT_TRUE(hall.Start({"--name", "cam-hall", "--description", "Hall Cam", "YUY2:320x240@30"}));
  ASSERT_TRUE(
      kitchen.Start({"--name", "cam-kitchen", "--description", "Kitchen Cam", "YUY2:320x240@30"}));
  EXPECT_NE(kitchen.NodeId(), oldId);
  ASSERT_TRUE(WaitUntil([&] {
    ListCategory(CLSID_VideoInputDeviceCategory, &devices);
    return devices.size() == 2;
  }));
  std::vector<std::u16string> names;
  for (const ListedDevice& d : devices) names.push_back(d.displayName);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"@device:pipewire:cam-hall", before}));
}

// Catches: a camera node appearing or leaving while the program runs without a broadcast, or
// a broadcast that arrives on another thread than the user-interface thread.
TEST_F(PipeWireProviderTest, BroadcastsArrivalAndRemoval) {
  EXPECT_TRUE(FriendlyNames(CLSID_VideoInputDeviceCategory).empty());
  std::vector<DeviceChange> changes;
  QObject context;
  DeviceNotify::Listen(&context, [&](const DeviceChange& change) {
    EXPECT_EQ(QThread::currentThread(), qApp->thread());
    if (change.displayName == u"@device:pipewire:cam-hotplug") changes.push_back(change);
  });
  TestCamera camera(*pipewire_);
  ASSERT_TRUE(
      camera.Start({"--name", "cam-hotplug", "--description", "Hotplug Cam", "YUY2:320x240@30"}));
  ASSERT_TRUE(WaitUntil([&] { return changes.size() == 1; }));
  EXPECT_EQ(changes[0].kind, DeviceChangeKind::Arrival);
  EXPECT_EQ(changes[0].displayName, u"@device:pipewire:cam-hotplug");
  EXPECT_EQ(FriendlyNames(CLSID_VideoInputDeviceCategory),
            std::vector<std::u16string>{u"Hotplug Cam"});
  ASSERT_TRUE(camera.Stop());
  ASSERT_TRUE(WaitUntil([&] { return changes.size() == 2; }));
  EXPECT_EQ(changes[1].kind, DeviceChangeKind::Removal);
  EXPECT_EQ(changes[1].displayName, u"@device:pipewire:cam-hotplug");
  EXPECT_TRUE(FriendlyNames(CLSID_VideoInputDeviceCategory).empty());
}

}  // namespace

namespace {

// Catches: a /dev/video* camera that PipeWire also hands out listed twice, or listed under a
// PipeWire name of its own, so that its stored settings do not follow it between the two paths.
TEST_F(PipeWireProviderTest, CameraReachableBothWaysIsListedOnce) {
  // A model camera behind the "v4l2" provider for this test.
  struct ModelScope {
    std::shared_ptr<V4l2Model> model = std::make_shared<V4l2Model>();
    std::shared_ptr<DeviceProvider> previous = DeviceProviderRegistry::Instance().Find("v4l2");
    ModelScope() {
      DeviceProviderRegistry::Instance().Register("v4l2", std::make_shared<V4l2Provider>(model));
    }
    ~ModelScope() {
      DeviceProviderRegistry::Instance().Register("v4l2", previous);
      model->StopWatching();
    }
  } v4l2;
  ProvidersScope both("pipewire,v4l2");
  const std::string node = v4l2.model->Plug(UsbCameraSpec());
  std::vector<ListedDevice> devices;
  ASSERT_EQ(ListCategory(CLSID_VideoInputDeviceCategory, &devices), S_OK);
  ASSERT_EQ(devices.size(), 1u);
  const ListedDevice throughV4l2 = devices[0];

  TestCamera camera(*pipewire_);
  ASSERT_TRUE(camera.Start({"--name", "v4l2_input.usb", "--description", "USB Camera (V4L2)",
                            "--prop", "api.v4l2.path=" + node, "--prop",
                            "api.v4l2.cap.card=USB Camera", "YUY2:320x240@30"}));
  ASSERT_TRUE(
      WaitUntil([&] { return !provider_->ListDevices(CLSID_VideoInputDeviceCategory).empty(); }));
  ASSERT_EQ(ListCategory(CLSID_VideoInputDeviceCategory, &devices), S_OK);
  ASSERT_EQ(devices.size(), 1u) << QString::fromStdU16String(devices[0].displayName + u" | " +
                                                             devices.back().displayName)
                                       .toStdString();
  EXPECT_EQ(devices[0].displayName, throughV4l2.displayName);
  EXPECT_EQ(devices[0].friendlyName, throughV4l2.friendlyName);
  // PipeWire, which shares the camera, is the path taken: the filter has the node's one format.
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(devices[0].moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                             filter.ReleaseAndGetVoidAddress()),
            S_OK);
  int count = 0, size = 0;
  ComQuery<IAMStreamConfig>(FirstPin(filter.Get(), PINDIR_OUTPUT).Get())
      ->GetNumberOfCapabilities(&count, &size);
  EXPECT_EQ(count, 1);
}

}  // namespace
