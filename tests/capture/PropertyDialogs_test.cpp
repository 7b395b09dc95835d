// Tests of the device's property dialogs through the capture control: the device pages on a
// running preview and on a dialog graph, the stream format pages, Cancel, and the device state
// that the next graph (and the next run) takes over.
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QSlider>
#include <QTest>

#include "capture/devices/DeviceList.h"
#include "capture/devices/Registry2.h"
#include "capture/devices/RegistrySettings.h"
#include "capture/graph/DeviceGraph.h"
#include "platform/media/virtual/ScriptedDevices.h"
#include "tests/capture/TestSupport.h"
#include "tests/support/PropertyFrameDriver.h"

namespace {

VirtualDeviceConfig Camera() {
  VirtualDeviceConfig c;
  c.friendlyName = u"Dialog Cam";
  c.frameRateRule = FrameRateRule::Nearest;
  VideoCapability big;
  big.subtype = MEDIASUBTYPE_RGB24;
  big.width = 320;
  big.height = 240;
  big.framesPerSecond = 30;
  big.minFramesPerSecond = 5;
  VideoCapability small = big;
  small.width = 160;
  small.height = 120;
  c.capabilities = {big, small};
  c.videoProcAmp = DefaultVideoProcAmp();
  return c;
}

// The mean of the red, green and blue values of a picture.
double MeanLevel(const QImage& image) {
  double sum = 0;
  for (int y = 0; y < image.height(); y += 4)
    for (int x = 0; x < image.width(); x += 4) {
      const QRgb p = image.pixel(x, y);
      sum += qRed(p) + qGreen(p) + qBlue(p);
    }
  return sum / (3.0 * ((image.height() + 3) / 4) * ((image.width() + 3) / 4));
}

struct Seen {
  std::vector<QImage> frames;
  int selected = 0;
  void Frame(TObject*, const TFrameData& data, TFrameCaptureDest, const QString&, bool) {
    if (data.Bitmap) frames.push_back(data.Bitmap->Image().copy());
  }
  void Selected(TObject*) { ++selected; }
};

class PropertyDialogsTest : public CaptureTest {
 protected:
  void SetUp() override {
    CaptureTest::SetUp();
    setenv("FROSTWIPE_DEVICE_PROVIDERS", "scripted", 1);
    ScriptedDevices::Instance()->Clear();
    ASSERT_EQ(ScriptedDevices::Instance()->Add(Camera(), true, &name_), S_OK);
  }
  void TearDown() override {
    control_.reset();
    ScriptedDevices::Instance()->Clear();
    CaptureTest::TearDown();
  }
  TCaptureControl& Start() {
    control_ = MakeControl();
    control_->OnFrameCaptureCompleted = {&seen_, &Seen::Frame};
    control_->OnVideoDeviceSelected = {&seen_, &Seen::Selected};
    control_->SetBurstCount(0);
    control_->SetBurstInterval(0);
    EXPECT_TRUE(control_->StartPreview());
    control_->SetBurstMode(true);
    control_->CaptureFrameTo(fc_TBitmap, QString());
    return *control_;
  }
  bool WaitFrames(std::size_t n, int ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (seen_.frames.size() < n && t.elapsed() < ms) QTest::qWait(5);
    return seen_.frames.size() >= n;
  }
  long DeviceBrightness() {
    TDeviceGraph* graph = control_->Core().Graph();
    if (!graph || !graph->VideoProcAmp) return -1000;
    long value = 0, flags = 0;
    graph->VideoProcAmp->Get(VideoProcAmp_Brightness, &value, &flags);
    return value;
  }
  TControlRecord StoredBrightness() {
    return ReadControlRecord(control_->Core().VideoRegSave.VideoQualityBlock(),
                             VideoProcAmp_Brightness);
  }

  std::u16string name_;
  std::unique_ptr<TCaptureControl> control_;
  Seen seen_;
};

}  // namespace

// Catches: the device pages stopping or rebuilding the running preview, frames not flowing
// while they are open, a brightness change that does not reach the frames, a value stored only
// at teardown (lost when the program is killed), and a chosen value reset to the default in
// automatic mode by the next graph.
TEST_F(PropertyDialogsTest, DevicePagesActOnTheRunningPreviewAndTheValueOutlivesTheGraph) {
  TCaptureControl& c = Start();
  ASSERT_TRUE(WaitFrames(3));
  const int selected = seen_.selected;
  const double before = MeanLevel(seen_.frames.back());
  std::size_t framesWhileOpen = 0;
  double brighter = 0;
  WhenFrameOpens([&](QDialog* dialog) {
    auto* slider = dialog->findChild<QSlider*>("Brightness");
    ASSERT_NE(slider, nullptr);
    slider->setValue(60);
    const std::size_t at = seen_.frames.size();
    WaitFrames(at + 5);
    framesWhileOpen = seen_.frames.size() - at;
    brighter = MeanLevel(seen_.frames.back());
    Press(dialog, QDialogButtonBox::Ok);
  });
  EXPECT_TRUE(c.ShowDialog(0));
  EXPECT_GE(framesWhileOpen, 5u);
  EXPECT_GT(brighter, before + 10);
  EXPECT_EQ(c.Core().CaptureState.load(), cs_Previewing);
  EXPECT_EQ(seen_.selected, selected) << "the live pages raise no event";
  EXPECT_EQ(DeviceBrightness(), 60);
  // Stored at once: a program killed while previewing keeps the value.
  TVideoRegSave stored;
  TRegistry2 reg;
  ASSERT_TRUE(reg.OpenKey(DeviceList(dk_VideoDevices)->RegistryKey(0), false));
  stored.LoadRange(reg, stored.Count() - 1, false);
  EXPECT_EQ(ReadControlRecord(stored.VideoQualityBlock(), VideoProcAmp_Brightness).Value, 60);

  // A new graph (and, through the store, a new run) keeps the player's value.
  c.StopPreview();
  EXPECT_EQ(StoredBrightness().Value, 60);
  EXPECT_FALSE(StoredBrightness().Automatic);
  EXPECT_TRUE(c.StartPreview());
  EXPECT_EQ(DeviceBrightness(), 60);
}

// Catches: Cancel keeping what the pages changed on the live device.
TEST_F(PropertyDialogsTest, CancelPutsTheDeviceBack) {
  TCaptureControl& c = Start();
  ASSERT_TRUE(WaitFrames(1));
  const long original = DeviceBrightness();
  long whileOpen = 0;
  WhenFrameOpens([&](QDialog* dialog) {
    dialog->findChild<QSlider*>("Brightness")->setValue(original + 30);
    whileOpen = DeviceBrightness();
    Press(dialog, QDialogButtonBox::Cancel);
  });
  EXPECT_TRUE(c.ShowDialog(0));
  EXPECT_EQ(whileOpen, original + 30);
  EXPECT_EQ(DeviceBrightness(), original);
}

// Catches: the idle device dialog without a picture behind it, a graph left running after it,
// the device state not taken into the settings table, or no device-selected event.
TEST_F(PropertyDialogsTest, DevicePagesWhileIdleRunATemporaryPreview) {
  TCaptureControl& c = Start();
  c.StopPreview();
  ASSERT_EQ(c.Core().CaptureState.load(), cs_Idle);
  const int selected = seen_.selected;
  bool runningBehind = false;
  WhenFrameOpens([&](QDialog* dialog) {
    runningBehind = c.Core().Graph() && c.Core().GraphState.load() == gs_Running;
    dialog->findChild<QSlider*>("Brightness")->setValue(-20);
    Press(dialog, QDialogButtonBox::Ok);
  });
  EXPECT_TRUE(c.ShowDialog(0));
  EXPECT_TRUE(runningBehind);
  EXPECT_EQ(c.Core().Graph(), nullptr);
  EXPECT_FALSE(c.Core().GraphActive.load());
  EXPECT_EQ(c.Core().CaptureState.load(), cs_Idle);
  EXPECT_EQ(seen_.selected, selected + 1);
  EXPECT_EQ(StoredBrightness().Value, -20);
  EXPECT_TRUE(c.StartPreview());
  EXPECT_EQ(DeviceBrightness(), -20);
}

// Catches: the stream pages opened on a device still bound by the preview, the preview not
// coming back afterwards, or the chosen size and frame rate not taken over.
TEST_F(PropertyDialogsTest, StreamPagesStopThePreviewAndRestartItWithTheChoice) {
  TCaptureControl& c = Start();
  ASSERT_TRUE(WaitFrames(1));
  TCaptureState stateWhileOpen = cs_Previewing;
  WhenFrameOpens([&](QDialog* dialog) {
    stateWhileOpen = c.Core().CaptureState.load();
    auto* sizes = dialog->findChild<QComboBox*>("Output Size");
    ASSERT_NE(sizes, nullptr);
    sizes->setCurrentIndex(sizes->findText("160 x 120"));
    dialog->findChild<QDoubleSpinBox*>("Frame Rate")->setValue(15);
    Press(dialog, QDialogButtonBox::Ok);
  });
  EXPECT_TRUE(c.ShowDialog(3));
  EXPECT_EQ(stateWhileOpen, cs_Idle);
  EXPECT_EQ(c.Core().CaptureState.load(), cs_Previewing);
  EXPECT_EQ(c.Core().CaptureFrameRate, 1500);
  int w = 0, h = 0;
  ASSERT_TRUE(c.Core().CurrentVideoSize(-1, &w, &h));
  EXPECT_EQ(QSize(w, h), QSize(160, 120));
  c.CaptureFrameTo(fc_TBitmap, QString());
  const std::size_t n = seen_.frames.size();
  ASSERT_TRUE(WaitFrames(n + 2));
  EXPECT_EQ(seen_.frames.back().size(), QSize(160, 120));
}

// Catches: dialog numbers outside the table doing anything, and the dialogs of objects the
// device does not have reporting success.
TEST_F(PropertyDialogsTest, UnknownDialogsAndMissingObjectsChangeNothing) {
  TCaptureControl& c = Start();
  ASSERT_TRUE(WaitFrames(1));
  TCaptureCore& core = c.Core();
  TDeviceGraph* graph = core.Graph();
  for (unsigned n : {7u, 8u, 9u, 10u, 12u, 1000u}) {
    EXPECT_FALSE(c.ShowDialog(n)) << n;
    EXPECT_EQ(core.CaptureState.load(), cs_Previewing) << n;
    EXPECT_EQ(core.Graph(), graph) << "the preview was rebuilt by dialog " << n;
  }
}

// Catches: a crash or a stopped preview for a device that offers no pages of its own.
TEST_F(PropertyDialogsTest, DeviceWithoutPagesOffersNothing) {
  ScriptedDevices::Instance()->Clear();
  VirtualDeviceConfig bare = Camera();
  bare.friendlyName = u"Bare Cam";
  bare.videoProcAmp.clear();
  ASSERT_EQ(ScriptedDevices::Instance()->Add(bare), S_OK);
  TCaptureControl& c = Start();
  ASSERT_TRUE(WaitFrames(1));
  bool opened = false;
  QPointer<QTimer> watch = WhenFrameOpens([&](QDialog* dialog) {
    opened = true;
    Press(dialog, QDialogButtonBox::Cancel);
  });
  EXPECT_FALSE(c.ShowDialog(0)) << "no pages on the live filter";
  EXPECT_EQ(c.Core().CaptureState.load(), cs_Previewing);
  c.StopPreview();
  EXPECT_TRUE(c.ShowDialog(0)) << "the dialog procedure ran";
  EXPECT_EQ(c.Core().Graph(), nullptr);
  QTest::qWait(50);
  EXPECT_FALSE(opened);
  delete watch.data();
}

// Catches: the old-driver format dialog opened on a running filter (which refuses a format
// change), its choice not read back, or the preview not coming back after it.
TEST_F(PropertyDialogsTest, OldDriverFormatDialogChangesTheSize) {
  ScriptedDevices::Instance()->Clear();
  VirtualDeviceConfig old = Camera();
  old.friendlyName = u"Old Cam";
  old.driver = DriverKind::Vfw;
  old.vfwDialogs = VfwCaptureDialog_Format | VfwCaptureDialog_Source;
  ASSERT_EQ(ScriptedDevices::Instance()->Add(old), S_OK);
  TCaptureControl& c = Start();
  ASSERT_TRUE(WaitFrames(1));
  const int selected = seen_.selected;
  WhenFrameOpens([&](QDialog* dialog) {
    auto* sizes = dialog->findChild<QComboBox*>("Output Size");
    ASSERT_NE(sizes, nullptr);
    sizes->setCurrentIndex(sizes->findText("160 x 120"));
    Press(dialog, QDialogButtonBox::Ok);
  });
  EXPECT_TRUE(c.ShowDialog(4));
  EXPECT_EQ(seen_.selected, selected + 1);
  int w = 0, h = 0;
  ASSERT_TRUE(c.Core().CurrentVideoSize(-1, &w, &h));
  EXPECT_EQ(QSize(w, h), QSize(160, 120));
  EXPECT_EQ(c.Core().CaptureState.load(), cs_Previewing);
  // The driver has no display dialog: nothing opens, no event, the preview comes back.
  bool opened = false;
  QPointer<QTimer> watch = WhenFrameOpens([&](QDialog* dialog) {
    opened = true;
    Press(dialog, QDialogButtonBox::Cancel);
  });
  EXPECT_TRUE(c.ShowDialog(6));
  QTest::qWait(50);
  EXPECT_FALSE(opened);
  delete watch.data();
  EXPECT_EQ(seen_.selected, selected + 1);
  EXPECT_EQ(c.Core().CaptureState.load(), cs_Previewing);
}

// Catches: a camera unplugged while its pages are open crashing the dialog or the control, or
// leaving the control unable to start again once the camera is back.
TEST_F(PropertyDialogsTest, CameraUnpluggedWhileItsPagesAreOpen) {
  TCaptureControl& c = Start();
  ASSERT_TRUE(WaitFrames(1));
  TCaptureState afterUnplug = cs_Previewing;
  WhenFrameOpens([&](QDialog* dialog) {
    ScriptedDevices::Instance()->Unplug(name_);
    QElapsedTimer t;
    t.start();
    while (c.Core().CaptureState.load() != cs_Idle && t.elapsed() < 5000) QTest::qWait(10);
    afterUnplug = c.Core().CaptureState.load();
    dialog->findChild<QSlider*>("Brightness")->setValue(30);
    Press(dialog, QDialogButtonBox::Ok);
    if (dialog->isVisible()) Press(dialog, QDialogButtonBox::Cancel);
  });
  c.ShowDialog(0);
  EXPECT_EQ(afterUnplug, cs_Idle);
  EXPECT_EQ(c.Core().Graph(), nullptr);
  ScriptedDevices::Instance()->Plug(name_);
  EXPECT_TRUE(c.StartPreview());
  c.CaptureFrameTo(fc_TBitmap, QString());
  const std::size_t n = seen_.frames.size();
  EXPECT_TRUE(WaitFrames(n + 2));
}

namespace {

// Image controls that answer a fixed brightness, or nothing at all once "unplugged".
class FakeProcAmp final : public UnknownImpl, public IAMVideoProcAmp {
 public:
  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (MatchInterface<IAMVideoProcAmp>(this, iid, object)) return S_OK;
    return UnknownImpl::NonDelegatingQueryInterface(iid, object);
  }
  HRESULT GetRange(long property, long* min, long* max, long* step, long* def,
                   long* caps) override {
    if (unplugged) return E_FAIL;
    if (property != VideoProcAmp_Brightness) return E_PROP_ID_UNSUPPORTED;
    *min = -100, *max = 100, *step = 1, *def = 0, *caps = VideoProcAmp_Flags_Manual;
    return S_OK;
  }
  HRESULT Set(long, long, long) override { return unplugged ? E_FAIL : S_OK; }
  HRESULT Get(long property, long* value, long* flags) override {
    if (unplugged || property != VideoProcAmp_Brightness) return E_FAIL;
    *value = brightness;
    *flags = VideoProcAmp_Flags_Manual;
    return S_OK;
  }
  bool unplugged = false;
  long brightness = 40;
};

}  // namespace

// Catches: the device state taken from a camera that no longer answers wiping what was stored
// for it, and properties the camera lacks recorded as available.
TEST_F(PropertyDialogsTest, DeviceThatStopsAnsweringKeepsItsStoredState) {
  TCaptureControl& c = Start();
  TCaptureCore& core = c.Core();
  ComPtr<FakeProcAmp> fake;
  fake.Attach(new FakeProcAmp);
  TDeviceGraph graph;
  graph.VideoProcAmp = fake;
  core.CaptureDeviceState(graph);
  EXPECT_TRUE(StoredBrightness().Available);
  EXPECT_EQ(StoredBrightness().Value, 40);
  EXPECT_FALSE(
      ReadControlRecord(core.VideoRegSave.VideoQualityBlock(), VideoProcAmp_Contrast).Available);
  fake->unplugged = true;
  core.CaptureDeviceState(graph);
  EXPECT_TRUE(StoredBrightness().Available);
  EXPECT_EQ(StoredBrightness().Value, 40);
  graph.VideoProcAmp.Reset();
}
