// Implementation object of the capture control: settings, capture state and the work behind them.
#pragma once

#include <QString>

#include "capture/CaptureTypes.h"

class TCaptureControl;

enum TCaptureState { cs_Idle = 0, cs_Previewing = 1, cs_Recording = 2, cs_Playing = 3, cs_Reencoding = 4 };

// Thread: UI. Created first thing by its TCaptureControl and destroyed with it.
class TCaptureCore {
 public:
  explicit TCaptureCore(TCaptureControl* owner);
  ~TCaptureCore();
  TCaptureCore(const TCaptureCore&) = delete;
  TCaptureCore& operator=(const TCaptureCore&) = delete;

  bool StartPreview();
  void StopPreview();
  bool CaptureFrameTo(TFrameCaptureDest dest, const QString& fileName);
  void SetBurstMode(bool on);
  void SetVideoDevice(int index);
  void SetVideoSize(int index);
  QString VideoSizes() const;
  int VideoInputIndex(const QString& pattern) const;
  void UseNearestVideoSize(int width, int height, bool enabled);
  bool ShowDialog(unsigned index);

  TCaptureControl* const Owner;

  // Capture state and the fields the operations above work on.
  TCaptureState CaptureState = cs_Idle;
  bool Initialized = false;
  bool Destroying = false;
  bool PreviewWanted = false;
  int GraphState = 0;
  bool GraphActive = false;
  int OpenedVideoDevice = -1;
  int NearestWidth = 0;
  int NearestHeight = 0;
  bool UseNearest = false;
  int VideoWidth = 320;
  int VideoHeight = 240;
  int BurstRemaining = 0;
  int BurstCountdown = 0;
  bool CapturePending = false;
  TFrameCaptureDest CaptureDest = fc_TBitmap;
  QString CaptureFileName;

  // Settings.
  bool BurstMode = false;
  int BurstCount = 3;
  int BurstInterval = 0;
  TFrameCaptureDest BurstType = fc_TBitmap;
  int VideoDevice = 0;
  int VideoSize = 0;
  bool FlipHorizontal = false;
};
