// Tests of the capture control with model V4L2 cameras: hot-plug reaching the device list and
// its event, and a camera unplugged while previewing, then replugged into the same port.
#include <thread>

#include <QElapsedTimer>
#include <QTest>

#include "capture/devices/DeviceList.h"
#include "platform/media/DeviceEnumerator.h"
#include "platform/media/v4l2/V4l2Provider.h"
#include "platform/media/v4l2/model/V4l2Model.h"
#include "tests/capture/TestSupport.h"

namespace {

struct Changes {
  std::vector<QString> lines;
  void Change(TObject*, bool arrival, bool video, const QString& name, int index) {
    lines.push_back(QString("%1 %2 %3 %4")
                        .arg(arrival ? "arrival" : "removal", video ? "video" : "audio", name)
                        .arg(index));
  }
};

class V4l2CameraTest : public CaptureTest {
 protected:
  void SetUp() override {
    CaptureTest::SetUp();
    setenv("FROSTWIPE_DEVICE_PROVIDERS", "v4l2", 1);
    previous_ = DeviceProviderRegistry::Instance().Find("v4l2");
    DeviceProviderRegistry::Instance().Register("v4l2", std::make_shared<V4l2Provider>(model_));
  }
  void TearDown() override {
    control_.reset();
    CaptureTest::TearDown();
    DeviceProviderRegistry::Instance().Register("v4l2", previous_);
    model_->StopWatching();
  }
  // Plugs or unplugs on another thread, as udev reports from its own.
  std::string PlugElsewhere(const ModelCameraSpec& spec) {
    std::string node;
    std::thread([&] { node = model_->Plug(spec); }).join();
    return node;
  }
  void UnplugElsewhere(const std::string& node) {
    std::thread([&] { model_->Unplug(node); }).join();
  }
  bool WaitFor(const std::function<bool()>& done, int ms = 6000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QTest::qWait(10);
    return done();
  }
  void Idle() {
    bool done = false;
    SyncManager()->OnIdle(done);
  }

  std::shared_ptr<V4l2Model> model_ = std::make_shared<V4l2Model>();
  std::shared_ptr<DeviceProvider> previous_;
  std::unique_ptr<TCaptureControl> control_;
  Recorder recorder_;
};

}  // namespace

// Catches: a camera plugged in or out that never reaches the device list or raises no
// OnDeviceArrivalOrRemoval, or a removal that takes the camera's line away.
TEST_F(V4l2CameraTest, HotPlugReachesTheDeviceListAndItsEvent) {
  model_->Plug(LaptopCameraSpec());
  control_ = MakeControl();
  Changes changes;
  control_->OnDeviceArrivalOrRemoval = {&changes, &Changes::Change};
  Idle();
  EXPECT_EQ(VideoDevices(), QStringLiteral("Integrated Camera (WDM)\r\n"));
  const std::string usb = PlugElsewhere(UsbCameraSpec());
  ASSERT_TRUE(WaitFor([&] { return !changes.lines.empty(); }));
  EXPECT_EQ(changes.lines[0], QStringLiteral("arrival video USB Camera (WDM) 1"));
  EXPECT_EQ(VideoDevices(), QStringLiteral("Integrated Camera (WDM)\r\nUSB Camera (WDM)\r\n"));
  UnplugElsewhere(usb);
  ASSERT_TRUE(WaitFor([&] { return changes.lines.size() >= 2; }));
  EXPECT_EQ(changes.lines[1], QStringLiteral("removal video USB Camera (WDM) 1"));
  EXPECT_EQ(DeviceList(dk_VideoDevices)->Count(), 2);
}

// Catches: an unplug while previewing that hangs the control, leaves it previewing, or raises
// no OnDeviceLost; and a camera replugged into the same port (under another node number) that
// cannot be previewed again from its old list line.
TEST_F(V4l2CameraTest, UnplugWhilePreviewingAndReplug) {
  const std::string node = model_->Plug(UsbCameraSpec());
  control_ = MakeControl();
  control_->OnFrameCaptureCompleted = {&recorder_, &Recorder::Frame};
  control_->OnDeviceLost = {&recorder_, &Recorder::DeviceLost};
  control_->SetBurstCount(0);
  control_->SetBurstInterval(0);
  ASSERT_TRUE(control_->StartPreview());
  control_->SetBurstMode(true);
  control_->CaptureFrameTo(fc_TBitmap, QString());
  ASSERT_TRUE(WaitFor([&] { return recorder_.frameNumbers.size() >= 3; }));
  UnplugElsewhere(node);
  ASSERT_TRUE(WaitFor([&] { return control_->Core().CaptureState.load() == cs_Idle; }));
  ASSERT_TRUE(WaitFor([&] {
    return std::count(recorder_.calls.begin(), recorder_.calls.end(), "DeviceLost") == 1;
  }));
  EXPECT_FALSE(control_->StartPreview()) << "the camera is gone";
  model_->Plug(LaptopCameraSpec());  // takes the old node numbers
  EXPECT_EQ(PlugElsewhere(UsbCameraSpec()), "/dev/video2");
  ASSERT_TRUE(control_->StartPreview());
  control_->CaptureFrameTo(fc_TBitmap, QString());
  const std::size_t frames = recorder_.frameNumbers.size();
  EXPECT_TRUE(WaitFor([&] { return recorder_.frameNumbers.size() >= frames + 3; }));
  control_->StopPreview();
}

// Catches: a camera in use by another program that hangs or breaks the control, is reported as
// a started preview (the graph stopped, only the trace and the media log saying so), or cannot
// be previewed once the other program lets it go.
TEST_F(V4l2CameraTest, CameraInUseElsewhereIsLoggedAndRecovers) {
  const std::string node = model_->Plug(UsbCameraSpec());
  control_ = MakeControl();
  control_->OnFrameCaptureCompleted = {&recorder_, &Recorder::Frame};
  control_->SetBurstCount(0);
  control_->SetBurstInterval(0);
  model_->SetBusy(node, true);
  static std::vector<QString> lines;
  lines.clear();
  const QtMessageHandler previous = qInstallMessageHandler(
      [](QtMsgType, const QMessageLogContext&, const QString& m) { lines.push_back(m); });
  EXPECT_FALSE(control_->StartPreview());
  EXPECT_EQ(control_->Core().CaptureState.load(), cs_Idle);
  control_->SetBurstMode(true);
  control_->CaptureFrameTo(fc_TBitmap, QString());
  QTest::qWait(300);
  qInstallMessageHandler(previous);
  EXPECT_TRUE(recorder_.frameNumbers.empty());
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_TRUE(boxes_[0].contains("in use by another program")) << boxes_[0].toStdString();
  EXPECT_TRUE(std::count(lines.begin(), lines.end(),
                         "/dev/video0: the camera is in use by another program") > 0);
  model_->SetBusy(node, false);
  ASSERT_TRUE(control_->StartPreview());
  control_->CaptureFrameTo(fc_TBitmap, QString());
  EXPECT_TRUE(WaitFor([&] { return recorder_.frameNumbers.size() >= 2; }));
  control_->StopPreview();
}

// Catches: a camera whose every frame is damaged, or that stalls, leaving the picture black with
// nothing said to the player, or said again and again.
TEST_F(V4l2CameraTest, NoUsablePictureIsToldOnce) {
  for (const bool stalled : {false, true}) {
    SCOPED_TRACE(stalled ? "stalled" : "every frame damaged");
    control_.reset();
    boxes_.clear();
    const std::string node = model_->Plug(UsbCameraSpec());
    if (stalled)
      model_->SetStalled(node, true);
    else
      model_->SetDamage(node, ModelDamage::ErrorFlag, 1);
    control_ = MakeControl();
    ASSERT_TRUE(control_->StartPreview());
    EXPECT_TRUE(WaitFor([&] { return !boxes_.empty(); }, 9000));
    QTest::qWait(500);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_TRUE(boxes_[0].startsWith("The camera sends no usable picture."))
        << boxes_[0].toStdString();
    control_->StopPreview();
    control_.reset();
    model_->Unplug(node);
    FinalizeCaptureUnit();
  }
}

// Catches: a camera that sends only large MJPEG decoded at full size although the display asks
// for a smaller picture (the live graph's frames then arrive at the camera's size).
TEST_F(V4l2CameraTest, LargeMjpegIsDeliveredAtTheAskedSize) {
  ModelCameraSpec spec = UsbCameraSpec();
  spec.formats.erase(spec.formats.begin());  // MJPEG only
  spec.formats[0].sizes = {{1280, 720}};
  model_->Plug(spec);
  control_ = MakeControl();
  struct Sizes {
    std::vector<QSize> frames;
    void Frame(TObject*, const TFrameData& data, TFrameCaptureDest, const QString&, bool) {
      frames.emplace_back(data.DibSection.dsBmih.biWidth,
                          std::abs(data.DibSection.dsBmih.biHeight));
    }
  } sizes;
  control_->OnFrameCaptureCompleted = {&sizes, &Sizes::Frame};
  control_->SetBurstCount(0);
  control_->SetBurstInterval(0);
  control_->UseNearestVideoSize(320, 240, true);
  ASSERT_TRUE(control_->StartPreview());
  control_->SetBurstMode(true);
  control_->CaptureFrameTo(fc_TBitmap, QString());
  ASSERT_TRUE(WaitFor([&] { return sizes.frames.size() >= 2; }));
  control_->StopPreview();
  EXPECT_EQ(QSize(control_->VideoWidth(), control_->VideoHeight()), QSize(320, 240));
  EXPECT_EQ(sizes.frames.back(), QSize(320, 240));
}
