// The capture control: a panel that shows the live picture and hands frames to its owner.
#pragma once

#include <memory>

#include <QFrame>
#include <QString>

#include "capture/CaptureTypes.h"
#include "platform/toolkit/Forms.h"

class TCaptureCore;

// Façade of the video capture component. All state and work sit in TCaptureCore; this widget
// carries the settings and event handlers the owning window stores and offers the operations.
// Thread: UI (every member). Owned by its parent window; owns its TCaptureCore.
class TCaptureControl : public QFrame, public TLoadable {
  Q_OBJECT
  Q_PROPERTY(bool BurstMode READ BurstMode WRITE SetBurstMode)
  Q_PROPERTY(int BurstCount READ BurstCount WRITE SetBurstCount)
  Q_PROPERTY(int BurstInterval READ BurstInterval WRITE SetBurstInterval)
  Q_PROPERTY(CaptureTypes::TFrameCaptureDest BurstType READ BurstType WRITE SetBurstType)
  Q_PROPERTY(int VideoDevice READ VideoDevice WRITE SetVideoDevice)
  Q_PROPERTY(int VideoSize READ VideoSize WRITE SetVideoSize)
  Q_PROPERTY(QString VideoSizes READ VideoSizes)
  Q_PROPERTY(int VideoWidth READ VideoWidth)
  Q_PROPERTY(int VideoHeight READ VideoHeight)
  Q_PROPERTY(bool VideoProcessing_FlipHorizontal READ VideoProcessing_FlipHorizontal WRITE
                 SetVideoProcessing_FlipHorizontal)

 public:
  explicit TCaptureControl(QWidget* parent = nullptr);
  ~TCaptureControl() override;

  // Builds and runs the preview of the selected device; true when it runs.
  bool StartPreview();
  // Stops the preview; no frame event follows once it returns.
  void StopPreview();
  // Requests the next frame through OnFrameCaptureCompleted; false without a running preview or
  // with a request already waiting.
  bool CaptureFrameTo(TFrameCaptureDest dest, const QString& fileName);

  bool BurstMode() const;
  void SetBurstMode(bool on);
  int BurstCount() const;
  void SetBurstCount(int count);  // negative writes are ignored
  int BurstInterval() const;
  void SetBurstInterval(int interval);  // negative writes are ignored
  TFrameCaptureDest BurstType() const;
  void SetBurstType(TFrameCaptureDest type);  // values above 2 are ignored

  int VideoDevice() const;
  void SetVideoDevice(int index);
  // The opened device's sizes: "default" first, then "WxH", each line ended by CR LF.
  QString VideoSizes() const;
  int VideoSize() const;
  void SetVideoSize(int index);
  int VideoInputIndex(const QString& pattern) const;
  void UseNearestVideoSize(int width, int height, bool enabled);
  int VideoWidth() const;
  int VideoHeight() const;

  // Shows dialog number index modally (0 device properties, 3 stream format); true if shown.
  bool ShowDialog(unsigned index);

  bool VideoProcessing_FlipHorizontal() const;
  void SetVideoProcessing_FlipHorizontal(bool on);

  TOnFrameCaptureCompleted OnFrameCaptureCompleted;
  TEventNotification OnVideoDeviceSelected;
  TOnFrameOverlayUsingDC OnFrameOverlayUsingDC() const { return onFrameOverlayUsingDC_; }
  void SetOnFrameOverlayUsingDC(TOnFrameOverlayUsingDC handler);

  TCaptureCore& Core() { return *core_; }
  void Loaded() override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::unique_ptr<TCaptureCore> core_;
  bool ready_ = false;  // false until construction ends and again from the start of destruction
  TOnFrameOverlayUsingDC onFrameOverlayUsingDC_;
};

// The names of the video capture devices in index order, each followed by CR LF.
QString VideoDevices();
