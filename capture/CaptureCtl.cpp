#include "capture/CaptureCtl.h"

#include <QEvent>
#include <QPainter>

#include "capture/core/CaptureCore.h"
#include "capture/core/Diagnostics.h"
#include "capture/core/SyncManager.h"
#include "capture/devices/DeviceList.h"
#include "capture/devices/StoreProblems.h"
#include "platform/media/DeviceEnumerator.h"
#include "platform/toolkit/Graphics.h"

namespace {
// The form loader builds the control by its class name in window descriptions.
const bool registered = [] {
  RegisterControlClass(QStringLiteral("TCaptureControl"),
                       [](QWidget* parent) { return new TCaptureControl(parent); });
  return true;
}();

constexpr int kInitialWidth = 240;
constexpr int kInitialHeight = 320;
}  // namespace

TCaptureControl::TCaptureControl(QWidget* parent)
    : QFrame(parent), core_(std::make_unique<TCaptureCore>(this)) {
  core_->InitializeRunTime();
  // A control without a parent window takes the manager's hidden window, so it always has one.
  if (!parent) {
    if (TSyncManager* manager = SyncManager()) setParent(manager->HiddenWindow());
  }
  handleAllocated_.store(parentWidget() != nullptr);
  ReportStoreProblems(core_.get());
  setLineWidth(0);
  resize(kInitialWidth, kInitialHeight);
  // The initial border, without the displays' layout (there is no video yet).
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setLineWidth(1);
  setAutoFillBackground(false);
  ready_ = true;
}

TCaptureControl::~TCaptureControl() {
  ready_ = false;
  if (TSyncManager* manager = SyncManager()) manager->Components.Remove(core_.get());
  core_->Destroying.store(true);
  // The worker and the streaming threads read the handlers: both end before they are detached.
  core_->EndWorker();
  core_->StopGraph();
  DetachHandlers();
  core_.reset();
}

void TCaptureControl::DetachHandlers() {
  OnFrameCaptureCompleted = {};
  OnVideoDeviceSelected = {};
  onFrameOverlayUsingDC_ = {};
  core_->OverlayNeeded.store(false);
  OnFrameProgress = {};
  OnPreviewStarted = OnInactive = OnDeviceLost = OnNoVideoDevices = OnReinitializing = {};
  OnLog = {};
  OnDeviceArrivalOrRemoval = {};
  OnAudioDeviceSelected = OnBacktimedFramesCountReached = OnClick = OnDblClick = OnDiskFull = {};
  OnPlayerEndOfStream = OnPlayerOpened = OnRecordingReadyToStart = OnTVChannelScanCompleted = {};
  OnBitmapsLoadingProgress = OnCopyPreallocDataProgress = OnCreatePreallocFileProgress = {};
  OnReencodingProgress = {};
  OnColorKeyChange = {};
  OnCopyPreallocDataStarted = OnReencodingStarted = {};
  OnCopyPreallocDataCompleted = OnReencodingCompleted = {};
  OnCreatePreallocFileStarted = OnRecordingStarted = {};
  OnCreatePreallocFileCompleted = {};
  OnRecordingCompleted = {};
  OnDirectNetworkStreamingHostUrl = {};
  OnDVCommandCompleted = {};
  OnFrameOverlayUsingDIB = {};
  OnFrameOverlayUsingVIDEOHDR = {};
  OnKeyPress = {};
  OnMouseDown = OnMouseUp = {};
  OnMouseMove = {};
  OnMotionDetected = {};
  OnMotionNotDetected = {};
  OnPlayerBufferingData = {};
  OnResizeVideo = {};
  OnSampleCapture_Audio = OnSampleCapture_Video = {};
  OnThirdPartyFilterConnected = {};
  OnTVChannelScanStarted = {};
  OnTVChannelSelected = {};
  OnVideoCompressionSettings = {};
  OnVideoFromBitmaps_FormatNeeded = {};
  OnVideoFromBitmaps_NextFrameNeeded = {};
}

bool TCaptureControl::DestroyingNow() const {
  return !core_ || core_->Destroying.load();
}

bool TCaptureControl::HandleAllocated() const {
  return handleAllocated_.load();
}

void TCaptureControl::Loaded() {
  TLoadable::Loaded();
  if (core_->Initialized) caption_.clear();
}

bool TCaptureControl::StartPreview() {
  return core_->StartPreview();
}
void TCaptureControl::StopPreview() {
  core_->StopPreview();
}
bool TCaptureControl::CaptureFrameTo(TFrameCaptureDest dest, const QString& fileName) {
  return core_->CaptureFrameTo(dest, fileName);
}
QString TCaptureControl::VideoSizes() const {
  return core_->VideoSizes();
}
int TCaptureControl::VideoInputIndex(const QString& pattern) const {
  return core_->VideoInputIndex(pattern);
}
void TCaptureControl::UseNearestVideoSize(int width, int height, bool enabled) {
  core_->UseNearestVideoSize(width, height, enabled);
}
int TCaptureControl::VideoWidth() const {
  return core_->VideoWidth;
}
int TCaptureControl::VideoHeight() const {
  return core_->VideoHeight;
}
bool TCaptureControl::ShowDialog(unsigned index) {
  return core_->ShowDialog(index);
}

// ---- settings held by the core or with behaviour of their own ----

int TCaptureControl::VideoDevice() const {
  return core_->VideoDevice;
}
void TCaptureControl::SetVideoDevice(int value) {
  core_->SetVideoDevice(value);
}
int TCaptureControl::VideoSize() const {
  return core_->VideoSize;
}
void TCaptureControl::SetVideoSize(int value) {
  core_->SetVideoSize(value);
}

bool TCaptureControl::BurstMode() const {
  return core_->BurstMode.load();
}
void TCaptureControl::SetBurstMode(bool value) {
  core_->SetBurstMode(value);
}
int TCaptureControl::BurstCount() const {
  return core_->BurstCount.load();
}
void TCaptureControl::SetBurstCount(int value) {
  if (value >= 0) core_->BurstCount.store(value);
}
int TCaptureControl::BurstInterval() const {
  return core_->BurstInterval.load();
}
void TCaptureControl::SetBurstInterval(int value) {
  if (value >= 0) core_->BurstInterval.store(value);
}
CaptureTypes::TFrameCaptureDest TCaptureControl::BurstType() const {
  return core_->BurstType;
}
void TCaptureControl::SetBurstType(CaptureTypes::TFrameCaptureDest value) {
  if (static_cast<unsigned>(value) <= fc_JpegFile) core_->BurstType = value;
}

CaptureTypes::TFrameGrabber TCaptureControl::FrameGrabber() const {
  return core_->Settings.FrameGrabber;
}
void TCaptureControl::SetFrameGrabber(CaptureTypes::TFrameGrabber value) {
  core_->SetFrameGrabber(value);
}
CaptureTypes::TFrameGrabberRGBFormat TCaptureControl::FrameGrabberRGBFormat() const {
  return core_->Settings.FrameGrabberRGBFormat;
}
void TCaptureControl::SetFrameGrabberRGBFormat(CaptureTypes::TFrameGrabberRGBFormat value) {
  core_->SetFrameGrabberRGBFormat(value);
}
CaptureTypes::TVideoRenderer TCaptureControl::VideoRenderer() const {
  return core_->Settings.VideoRenderer;
}
void TCaptureControl::SetVideoRenderer(CaptureTypes::TVideoRenderer value) {
  core_->SetVideoRenderer(value);
}

CaptureTypes::TNotificationMethod TCaptureControl::NotificationMethod() const {
  return core_->Settings.NotificationMethod;
}
void TCaptureControl::SetNotificationMethod(CaptureTypes::TNotificationMethod value) {
  core_->SetNotificationMethod(value);
}
int TCaptureControl::NotificationSleepTime() const {
  return core_->Settings.NotificationSleepTime;
}
void TCaptureControl::SetNotificationSleepTime(int value) {
  core_->SetNotificationSleepTime(value);
}
CaptureTypes::TThreadPriority TCaptureControl::NotificationPriority() const {
  return core_->Settings.NotificationPriority;
}
void TCaptureControl::SetNotificationPriority(CaptureTypes::TThreadPriority value) {
  core_->SetNotificationPriority(value);
}

bool TCaptureControl::VideoProcessing_FlipHorizontal() const {
  return core_->Settings.VideoProcessing_FlipHorizontal;
}
void TCaptureControl::SetVideoProcessing_FlipHorizontal(bool value) {
  core_->SetFlipHorizontal(value);
}
CaptureTypes::TVideoDeinterlacing TCaptureControl::VideoProcessing_Deinterlacing() const {
  return core_->Settings.VideoProcessing_Deinterlacing;
}
void TCaptureControl::SetVideoProcessing_Deinterlacing(CaptureTypes::TVideoDeinterlacing value) {
  core_->SetDeinterlacing(value);
}
CaptureTypes::TVideoRotation TCaptureControl::VideoProcessing_Rotation() const {
  return core_->Settings.VideoProcessing_Rotation;
}
void TCaptureControl::SetVideoProcessing_Rotation(CaptureTypes::TVideoRotation value) {
  core_->SetRotation(value);
}

QString TCaptureControl::Version() const {
  return QString::fromLatin1(kComponentVersion);
}
void TCaptureControl::SetVersion(const QString&) {}

QString TCaptureControl::ASFMediaServerPublishingPoint() const {
  return core_->Settings.ASFMediaServerPublishingPoint;
}
void TCaptureControl::SetASFMediaServerPublishingPoint(const QString& value) {
  core_->SetASFMediaServerPublishingPoint(value);
}
QString TCaptureControl::AutoFilePrefix() const {
  return core_->Settings.AutoFilePrefix;
}
void TCaptureControl::SetAutoFilePrefix(const QString& value) {
  core_->SetAutoFilePrefix(value);
}

void TCaptureControl::SetOnFrameOverlayUsingDC(TOnFrameOverlayUsingDC handler) {
  onFrameOverlayUsingDC_ = handler;
  core_->UpdateOverlayNeeded();
}

void TCaptureControl::SetLogo(const QImage& logo) {
  logo_ = logo;
  update();
}

// ---- window ----

bool TCaptureControl::event(QEvent* event) {
  if (GraphNotifyMessage() != QEvent::None && event->type() == GraphNotifyMessage()) {
    core_->HandleGraphNotify();
    return true;
  }
  const bool handled = QFrame::event(event);
  handleAllocated_.store(parentWidget() != nullptr || testAttribute(Qt::WA_WState_Created));
  return handled;
}

void TCaptureControl::paintEvent(QPaintEvent* event) {
  if (!ready_) return;
  // While the graph runs the video covers the control.
  if (core_->GraphState.load() == gs_Running) return;
  QPainter painter(this);
  const QRect area = contentsRect();
  const bool logo = core_->Settings.LogoDisplayed && !logo_.isNull();
  if (logo && core_->Settings.LogoLayout == lg_Stretched) {
    painter.drawImage(area, logo_);
  } else {
    painter.fillRect(area, ToQColor(core_->Settings.BackgroundColor));
    if (logo && core_->Settings.LogoLayout == lg_Centered) {
      const int x = std::max(0, (area.width() - logo_.width()) / 2);
      const int y = std::max(0, (area.height() - logo_.height()) / 2);
      painter.drawImage(area.topLeft() + QPoint(x, y), logo_);
    } else if (logo && core_->Settings.LogoLayout == lg_Repeated && logo_.width() >= 1 &&
               logo_.height() >= 1) {
      for (int y = 0; y < area.height(); y += logo_.height())
        for (int x = 0; x < area.width(); x += logo_.width())
          painter.drawImage(area.topLeft() + QPoint(x, y), logo_);
    }
  }
  painter.end();
  QFrame::paintEvent(event);
}

QString VideoDevices() {
  return VideoDeviceNames();
}

int CamerasWithoutPermission() {
  int count = 0;
  for (const auto& provider : DeviceProviderRegistry::Instance().Enabled())
    count += provider.provider->DevicesWithoutPermission();
  return count;
}
