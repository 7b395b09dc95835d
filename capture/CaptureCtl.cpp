#include "capture/CaptureCtl.h"

#include <QPainter>

#include "capture/CaptureCore.h"
#include "capture/DeviceList.h"
#include "platform/toolkit/Graphics.h"

namespace {
// The form loader builds the control by its class name in window descriptions.
const bool registered = [] {
  RegisterControlClass(QStringLiteral("TCaptureControl"),
                       [](QWidget* parent) { return new TCaptureControl(parent); });
  return true;
}();
}  // namespace

TCaptureControl::TCaptureControl(QWidget* parent)
    : QFrame(parent), core_(std::make_unique<TCaptureCore>(this)) {
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setAutoFillBackground(false);
  ready_ = true;
}

TCaptureControl::~TCaptureControl() {
  ready_ = false;
  core_->StopPreview();
}

void TCaptureControl::Loaded() { TLoadable::Loaded(); }

bool TCaptureControl::StartPreview() { return core_->StartPreview(); }
void TCaptureControl::StopPreview() { core_->StopPreview(); }
bool TCaptureControl::CaptureFrameTo(TFrameCaptureDest dest, const QString& fileName) {
  return core_->CaptureFrameTo(dest, fileName);
}

bool TCaptureControl::BurstMode() const { return core_->BurstMode; }
void TCaptureControl::SetBurstMode(bool on) { core_->SetBurstMode(on); }
int TCaptureControl::BurstCount() const { return core_->BurstCount; }
void TCaptureControl::SetBurstCount(int count) {
  if (count >= 0) core_->BurstCount = count;
}
int TCaptureControl::BurstInterval() const { return core_->BurstInterval; }
void TCaptureControl::SetBurstInterval(int interval) {
  if (interval >= 0) core_->BurstInterval = interval;
}
TFrameCaptureDest TCaptureControl::BurstType() const { return core_->BurstType; }
void TCaptureControl::SetBurstType(TFrameCaptureDest type) {
  if (static_cast<unsigned>(type) <= fc_JpegFile) core_->BurstType = type;
}

int TCaptureControl::VideoDevice() const { return core_->VideoDevice; }
void TCaptureControl::SetVideoDevice(int index) { core_->SetVideoDevice(index); }
QString TCaptureControl::VideoSizes() const { return core_->VideoSizes(); }
int TCaptureControl::VideoSize() const { return core_->VideoSize; }
void TCaptureControl::SetVideoSize(int index) { core_->SetVideoSize(index); }
int TCaptureControl::VideoInputIndex(const QString& pattern) const {
  return core_->VideoInputIndex(pattern);
}
void TCaptureControl::UseNearestVideoSize(int width, int height, bool enabled) {
  core_->UseNearestVideoSize(width, height, enabled);
}
int TCaptureControl::VideoWidth() const { return core_->VideoWidth; }
int TCaptureControl::VideoHeight() const { return core_->VideoHeight; }

bool TCaptureControl::ShowDialog(unsigned index) { return core_->ShowDialog(index); }

bool TCaptureControl::VideoProcessing_FlipHorizontal() const { return core_->FlipHorizontal; }
void TCaptureControl::SetVideoProcessing_FlipHorizontal(bool on) { core_->FlipHorizontal = on; }

void TCaptureControl::SetOnFrameOverlayUsingDC(TOnFrameOverlayUsingDC handler) {
  onFrameOverlayUsingDC_ = handler;
}

void TCaptureControl::paintEvent(QPaintEvent* event) {
  // The background colour fills the area while no picture is shown.
  QPainter painter(this);
  painter.fillRect(rect(), ToQColor(clBlack));
  painter.end();
  QFrame::paintEvent(event);
}

QString VideoDevices() { return VideoDeviceNames(); }
