// Tests of the device side of the capture control: device lists, the synchronisation manager's
// first idle step and rescan, stored device settings, format discovery and size selection.
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include "capture/devices/DeviceList.h"
#include "capture/devices/Registry2.h"
#include "capture/devices/VideoFormats.h"
#include "platform/com/ComApi.h"
#include "platform/media/DeviceNotify.h"
#include "platform/media/virtual/ScriptedDevices.h"
#include "tests/capture/TestSupport.h"

namespace {

VirtualDeviceConfig Camera(std::u16string name, std::u16string displayName = {}) {
  VirtualDeviceConfig c;
  c.friendlyName = std::move(name);
  c.displayName = std::move(displayName);
  for (GUID subtype : {MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB24}) {
    VideoCapability cap;
    cap.subtype = subtype;
    cap.width = 640;
    cap.height = 480;
    cap.minWidth = 160;
    cap.minHeight = 120;
    cap.maxWidth = 640;
    cap.maxHeight = 480;
    cap.stepX = 160;
    cap.stepY = 120;
    c.capabilities.push_back(cap);
  }
  return c;
}

struct Counter {
  int selected = 0;
  std::vector<QString> changes;
  std::vector<QString> logs;
  void Selected(TObject*) { ++selected; }
  void Change(TObject*, bool arrival, bool video, const QString& name, int index) {
    changes.push_back(QString("%1 %2 %3 %4")
                          .arg(arrival ? "arrival" : "removal", video ? "video" : "audio", name)
                          .arg(index));
  }
  void Log(TObject*, TLogType, const QString&, const QString& text) { logs.push_back(text); }
  int Count(const QString& prefix) const {
    return static_cast<int>(std::count_if(logs.begin(), logs.end(),
                                          [&](const QString& l) { return l.startsWith(prefix); }));
  }
};

class DevicesTest : public CaptureTest {
 protected:
  void SetUp() override {
    CaptureTest::SetUp();
    setenv("FROSTWIPE_DEVICE_PROVIDERS", "scripted", 1);
    ScriptedDevices::Instance()->Clear();
  }
  void TearDown() override {
    ScriptedDevices::Instance()->Clear();
    CaptureTest::TearDown();
  }
  std::u16string Add(VirtualDeviceConfig config, bool plugged = true) {
    std::u16string name;
    EXPECT_EQ(ScriptedDevices::Instance()->Add(std::move(config), plugged, &name), S_OK);
    return name;
  }
  TDevices& Video() { return *DeviceList(dk_VideoDevices); }
  // Runs the first idle step of the process.
  void Idle() {
    bool done = false;
    SyncManager()->OnIdle(done);
  }
};

}  // namespace

// Catches: keys that keep characters they must drop, or depend on the list position.
TEST(DeviceKeyTest, KeepsLettersDigitsSpaceDashBraces) {
  EXPECT_EQ(
      DeviceUniqueKey(QStringLiteral("@device:pnp:\\\\?\\usb#vid_1234&pid_5678#6&2a#{65e8773d-"
                                     "8f56-11d0-a3b9-00a0c9223196}\\global"),
                      QStringLiteral("USB Camera")),
      QStringLiteral("devicepnpusbvid1234pid567862a{65e8773d-8f56-11d0-a3b9-00a0c9223196}"
                     "globalUSB Camera"));
  EXPECT_EQ(DeviceUniqueKey(QString(), QStringLiteral("Cam_1 (x)")), QStringLiteral("Cam1 x"));
}

// Catches: size entries that do not sort by width, a default entry that is not first, and
// parses that accept what is no size.
TEST(SizeEntryTest, TextsSortOrderAndParsing) {
  EXPECT_EQ(SizeEntry(1280, 1024), QStringLiteral("1280x1024"));
  EXPECT_EQ(SizeEntry(640, 480), QStringLiteral(" 640x480"));
  EXPECT_EQ(SizeEntry(88, 72), QStringLiteral("  88x72"));
  EXPECT_EQ(DefaultSizeEntry(640, 480), QStringLiteral("    640x480"));
  QStringList list;
  for (const QString& e : {SizeEntry(1280, 1024), SizeEntry(88, 72), SizeEntry(640, 480),
                           SizeEntry(160, 120), DefaultSizeEntry(1280, 1024), SizeEntry(640, 480)})
    InsertSorted(list, e);
  EXPECT_EQ(list, (QStringList{"   1280x1024", "  88x72", " 160x120", " 640x480", "1280x1024"}));
  int w = 0, h = 0;
  EXPECT_TRUE(ParseSizeEntry(QStringLiteral("    640x480"), &w, &h));
  EXPECT_EQ(QSize(w, h), QSize(640, 480));
  EXPECT_FALSE(ParseSizeEntry(QStringLiteral("1x5"), &w, &h)) << "x must stand at position 2+";
  EXPECT_FALSE(ParseSizeEntry(QStringLiteral(" 0x480"), &w, &h));
  EXPECT_FALSE(ParseSizeEntry(QStringLiteral("    half"), &w, &h));
  EXPECT_EQ(SubtypeName(GuidText(MEDIASUBTYPE_RGB24)), QStringLiteral("RGB24"));
  EXPECT_EQ(SubtypeName(GuidText(MEDIASUBTYPE_YUY2)), QStringLiteral("YUY2"));
  EXPECT_EQ(SubtypeName(QStringLiteral("RGB24")), QString());
}

// Catches: a nearest-size rule that ignores the width window, the aspect order or the fallback.
TEST_F(DevicesTest, NearestVideoSizeWithAndWithoutExactMatch) {
  auto control = MakeControl();
  TCaptureCore& core = control->Core();
  auto nearest = [&](std::initializer_list<QSize> sizes) {
    core.VideoSizeList.clear();
    for (QSize s : sizes) core.AddVideoSize(s.width(), s.height());
    const int i = core.NearestVideoSizeIndex(320, 240);
    int w = 0, h = 0;
    core.CurrentVideoSize(i, &w, &h);
    return QSize(w, h);
  };
  EXPECT_EQ(nearest({{640, 480}, {160, 120}, {352, 288}, {320, 240}}), QSize(320, 240));
  EXPECT_EQ(nearest({{640, 480}, {176, 144}, {352, 288}}), QSize(352, 288));
  EXPECT_EQ(nearest({{1280, 1024}, {640, 480}}), QSize(640, 480));
  // Both lie in the width window; 352x288 (1.22) is nearer 4:3 than the closer 352x240 (1.47).
  EXPECT_EQ(nearest({{352, 240}, {352, 288}, {640, 480}}), QSize(352, 288));
}

// Catches: lists that renumber or drop an unplugged device, or append a known one again.
TEST_F(DevicesTest, ListsKeepLinesAndIndexesAcrossPlugging) {
  const std::u16string first = Add(Camera(u"USB Camera"));
  const std::u16string second = Add(Camera(u"USB Camera"));
  Add(Camera(u"Capture Audio Bridge"));
  auto control = MakeControl();
  EXPECT_EQ(VideoDevices(), QStringLiteral("USB Camera (WDM)\r\nUSB Camera #2 (WDM)\r\n"));
  EXPECT_EQ(DeviceList(dk_AudioDevices)->NameAt(0), QStringLiteral("Capture Audio Bridge (WDM)"))
      << "a video device named as audio is listed among the audio devices";
  ScriptedDevices::Instance()->Unplug(first);
  Video().Rebuild();
  EXPECT_EQ(Video().Count(), 2);
  EXPECT_FALSE(Video().InfoAt(0)->Present);
  EXPECT_EQ(Video().NameAt(0), QStringLiteral("USB Camera (WDM)"));
  Add(Camera(u"USB Camera"));
  ScriptedDevices::Instance()->Plug(first);
  Video().Rebuild();
  EXPECT_EQ(VideoDevices(), QStringLiteral("USB Camera (WDM)\r\nUSB Camera #2 (WDM)\r\n"
                                           "USB Camera #3 (WDM)\r\n"));
  EXPECT_TRUE(Video().InfoAt(0)->Present);
  EXPECT_FALSE(Video().InfoAt(0)->WasPresent);
  (void)second;
}

// Catches: the device texts asked for before any control exists, on a thread without component
// objects, building the lists empty for the rest of the process.
TEST_F(DevicesTest, ListTextsBeforeAnyControlFindTheDevices) {
  Add(Camera(u"USB Camera"));
  ASSERT_EQ(CoInitializeCount(), 0);
  EXPECT_EQ(VideoDevices(), QStringLiteral("USB Camera (WDM)\r\n"));
  EXPECT_EQ(CoInitializeCount(), 0) << "the initialisation borrowed for the lists is given back";
  auto control = MakeControl();
  EXPECT_EQ(VideoDevices(), QStringLiteral("USB Camera (WDM)\r\n"));
}

// Catches: the exclusion list not applied, or applied with letter case.
TEST_F(DevicesTest, ExclusionListHidesCompressors) {
  VirtualDeviceConfig encoder = Camera(u"WMVideo8 encoder dmo");
  encoder.category = CLSID_VideoCompressorCategory;
  encoder.capturePin = false;
  VirtualDeviceConfig codec = Camera(u"Plain Codec");
  codec.category = CLSID_VideoCompressorCategory;
  codec.capturePin = false;
  Add(encoder);
  Add(codec);
  auto control = MakeControl();
  EXPECT_EQ(DeviceList(dk_VideoCompressors)->Text(), QStringLiteral("Plain Codec\r\n"));
}

// Catches: a first idle step that opens nothing, opens twice, or starts the preview although
// AutoStartPreview is off; a parentless control without a window.
TEST_F(DevicesTest, FirstIdleOpensTheDeviceOnceWithoutPreview) {
  Add(Camera(u"Cam"));
  auto orphan = std::make_unique<TCaptureControl>(nullptr);
  EXPECT_EQ(orphan->parentWidget(), SyncManager()->HiddenWindow());
  EXPECT_TRUE(orphan->HandleAllocated());
  orphan.reset();
  auto control = MakeControl();
  Counter counter;
  control->OnVideoDeviceSelected = {&counter, &Counter::Selected};
  control->UseNearestVideoSize(320, 240, true);
  EXPECT_EQ(control->VideoSizes(), QString()) << "nothing opened before the first idle moment";
  Idle();
  Idle();
  QTest::qWait(50);
  EXPECT_EQ(counter.selected, 1);
  EXPECT_EQ(control->Core().OpenedVideoDevice, 0);
  EXPECT_EQ(control->Core().CaptureState.load(), cs_Idle);
  EXPECT_EQ(control->VideoSizes(), QStringLiteral("default\r\n160x120\r\n320x240\r\n640x480\r\n"));
  EXPECT_EQ(control->VideoWidth(), 320);
  EXPECT_EQ(control->VideoHeight(), 240);
  // The first capability is 640x480; the default entry becomes 320x240.
  EXPECT_EQ(control->Core().VideoSizeList.first(), QStringLiteral("   320x240"));
}

// Catches: a second run that discovers again, a cache read partially, or mistyped stored
// values trusted; settings of the device not saved when the control goes.
TEST_F(DevicesTest, SecondRunLoadsTheCacheAndDistrustsWrongTypes) {
  Add(Camera(u"Cam"));
  const QString key = [&] {
    auto control = MakeControl();
    Counter counter;
    control->OnLog = {&counter, &Counter::Log};
    Idle();
    EXPECT_EQ(counter.Count("one-time video device discovery"), 1);
    control->SetVideoSize(3);
    return Video().RegistryKey(0);
  }();
  FinalizeCaptureUnit();
  TRegistry2 reg;
  ASSERT_TRUE(reg.OpenKey(key, false));
  std::int32_t size = -1;
  EXPECT_TRUE(reg.ReadInteger(QStringLiteral("VideoSize"), size));
  EXPECT_EQ(size, 3) << "saved when the control was destroyed";
  bool discovered = false;
  EXPECT_TRUE(reg.ReadBool(QStringLiteral("_DeviceDiscovered"), discovered) && discovered);
  // A cached entry the device does not have proves that the cache, not the device, was read.
  reg.WriteString(QStringLiteral("FMT001"), QStringLiteral(" 176x144"));
  reg.CloseKey();
  {
    auto control = MakeControl();
    Counter counter;
    control->OnLog = {&counter, &Counter::Log};
    Idle();
    EXPECT_EQ(counter.Count("one-time video device discovery"), 0);
    EXPECT_TRUE(control->VideoSizes().contains(QStringLiteral("176x144")));
    EXPECT_EQ(control->VideoSize(), 3);
  }
  FinalizeCaptureUnit();
  // A stored size of the wrong type drops the whole stored table, not the cached lists.
  ASSERT_TRUE(reg.OpenKey(key, false));
  reg.WriteString(QStringLiteral("VideoSize"), QStringLiteral("3"));
  reg.CloseKey();
  {
    auto control = MakeControl();
    Idle();
    EXPECT_EQ(control->VideoSize(), 0);
    EXPECT_TRUE(control->VideoSizes().contains(QStringLiteral("176x144")));
  }
  FinalizeCaptureUnit();
  // Sizes cached without a readable subtype list: discovered again.
  ASSERT_TRUE(reg.OpenKey(key, false));
  reg.WriteInteger(QStringLiteral("SUB000"), 0);
  reg.CloseKey();
  {
    auto control = MakeControl();
    Counter counter;
    control->OnLog = {&counter, &Counter::Log};
    Idle();
    EXPECT_EQ(counter.Count("one-time video device discovery"), 1);
    EXPECT_FALSE(control->VideoSizes().contains(QStringLiteral("176x144")));
  }
}

// Catches: a stored subtype or size index below zero used to index the device's lists when the
// preview starts (a crash), instead of falling back to the defaults.
TEST_F(DevicesTest, NegativeStoredIndexesFallBackToDefaults) {
  Add(Camera(u"Cam"));
  const QString key = [&] {
    auto control = MakeControl();
    Idle();
    return Video().RegistryKey(0);
  }();
  FinalizeCaptureUnit();
  TRegistry2 reg;
  ASSERT_TRUE(reg.OpenKey(key, false));
  reg.WriteInteger(QStringLiteral("VideoSubtype"), -1);
  reg.WriteInteger(QStringLiteral("VideoSize"), -7);
  reg.CloseKey();
  auto control = MakeControl();
  Idle();
  EXPECT_TRUE(control->StartPreview());
  EXPECT_EQ(control->Core().CaptureState.load(), cs_Previewing);
  EXPECT_EQ(control->Core().VideoSubtype, 0);
  control->StopPreview();
  EXPECT_EQ(control->Core().CaptureState.load(), cs_Idle);
}

// Catches: a start of the preview that reopens the device every time (selection never marked
// done), and a worker in thread mode without component objects.
TEST_F(DevicesTest, SelectionRunsOnceAndThreadModeInitialisesComponentObjects) {
  Add(Camera(u"Cam"));
  auto control = MakeControl();
  Counter counter;
  control->OnVideoDeviceSelected = {&counter, &Counter::Selected};
  control->StartPreview();
  control->StartPreview();
  EXPECT_EQ(counter.selected, 1);
  EXPECT_TRUE(control->Core().VideoSelectionDone);

  std::atomic<int> comCount{-1};
  struct Probe {
    std::atomic<int>* count;
    void Lost(TObject*) { count->store(CoInitializeCount()); }
  } probe{&comCount};
  control->OnDeviceLost = {&probe, &Probe::Lost};
  control->SetNotificationMethod(nm_Thread);
  control->Core().PostEvent(control->OnDeviceLost);
  for (int i = 0; i < 100 && comCount.load() < 0; ++i) QTest::qWait(10);
  control->SetNotificationMethod(nm_Timer);
  EXPECT_GT(comCount.load(), 0) << "the worker thread's passes run with component objects";
}

// Catches: the global table read before the version check, so wiped values survive.
TEST_F(DevicesTest, GlobalTableIsReadAfterTheVersionCheck) {
  {
    TRegistry2 reg;
    ASSERT_TRUE(reg.OpenKey(RegistryBasePath() + QStringLiteral("Global\\"), true));
    reg.WriteString(QStringLiteral("_LastClipPlayed"), QStringLiteral("old.avi"));
  }
  auto control = MakeControl();
  EXPECT_EQ(control->Core().GlobalRegSave[1].StrValue, QString());
}

// Catches: broadcasts that each cause a rescan, or a rescan that does not wait for the last.
TEST_F(DevicesTest, BroadcastBurstGivesOneRescanAfterTheLast) {
  Add(Camera(u"Cam"));
  auto control = MakeControl();
  Counter counter;
  control->OnDeviceArrivalOrRemoval = {&counter, &Counter::Change};
  Idle();
  QElapsedTimer clock;
  const std::u16string late = Add(Camera(u"Late Cam"));
  clock.start();
  QTest::qWait(500);
  DeviceNotify::Broadcast(DeviceChange{});
  QTest::qWait(500);
  DeviceNotify::Broadcast(DeviceChange{});
  QTest::qWait(1500);
  EXPECT_EQ(Video().Count(), 1) << "no rescan before 2000 ms after the last broadcast";
  while (Video().Count() < 2 && clock.elapsed() < 5000) QTest::qWait(20);
  EXPECT_GE(clock.elapsed(), 3000);
  EXPECT_LE(clock.elapsed(), 3000 + 700);
  EXPECT_EQ(counter.changes, std::vector<QString>{"arrival video Late Cam (WDM) 1"});
  ScriptedDevices::Instance()->Unplug(late);
  while (counter.changes.size() < 2 && clock.elapsed() < 9000) QTest::qWait(20);
  ASSERT_EQ(counter.changes.size(), 2u);
  EXPECT_EQ(counter.changes[1], QStringLiteral("removal video Late Cam (WDM) 1"));
  EXPECT_EQ(Video().Count(), 2);
}
