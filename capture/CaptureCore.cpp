#include "capture/CaptureCore.h"

#include "capture/CaptureCtl.h"
#include "capture/DeviceList.h"

TCaptureCore::TCaptureCore(TCaptureControl* owner) : Owner(owner) { Initialized = true; }

TCaptureCore::~TCaptureCore() { Destroying = true; }

bool TCaptureCore::StartPreview() {
  // No device can be opened yet: the preview cannot start and nothing runs.
  if (VideoDeviceCount() == 0) return false;
  return CaptureState == cs_Previewing;
}

void TCaptureCore::StopPreview() {
  PreviewWanted = false;
  if (CaptureState == cs_Idle) return;
  CaptureState = cs_Idle;
  GraphActive = false;
  GraphState = 0;
}

bool TCaptureCore::CaptureFrameTo(TFrameCaptureDest dest, const QString& fileName) {
  if (!GraphActive || CapturePending) return false;
  CaptureDest = dest;
  CaptureFileName = fileName;
  CapturePending = true;
  return true;
}

void TCaptureCore::SetBurstMode(bool on) {
  if (on) {
    BurstRemaining = BurstCount;
    BurstCountdown = 0;
  }
  BurstMode = on;
}

void TCaptureCore::SetVideoDevice(int index) { VideoDevice = index; }

void TCaptureCore::SetVideoSize(int index) {
  // Without an opened device there is no size list to index: writes are ignored.
  if (OpenedVideoDevice < 0) return;
  VideoSize = index;
}

QString TCaptureCore::VideoSizes() const { return {}; }

int TCaptureCore::VideoInputIndex(const QString&) const { return -1; }

void TCaptureCore::UseNearestVideoSize(int width, int height, bool enabled) {
  NearestWidth = width;
  NearestHeight = height;
  UseNearest = enabled;
}

bool TCaptureCore::ShowDialog(unsigned) { return false; }
