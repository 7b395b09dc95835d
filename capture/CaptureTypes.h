// Types the capture control shares with its users: enumerations of its published settings,
// frame records and the handler types of its events.
#pragma once

#include <cstdint>

#include <QObject>
#include <QString>

#include "capture/LogTypes.h"
#include "platform/toolkit/DibTypes.h"
#include "platform/toolkit/Graphics.h"
#include "platform/toolkit/Method.h"
#include "platform/toolkit/Screen.h"

class TBitmap;
struct IUnknown;

using TObject = QObject;
class TFrameDC;
// A device context: drawing on a frame's picture (capture/display/FrameDC.h).
using HDC = TFrameDC*;
using HBITMAP = void*;

// Enumerations of the published settings. Q_ENUM_NS lets a window description set them by name
// ("CaptureTypes::fg_PreviewStream").
namespace CaptureTypes {
Q_NAMESPACE

enum TFrameCaptureDest { fc_TBitmap = 0, fc_BmpFile = 1, fc_JpegFile = 2 };
Q_ENUM_NS(TFrameCaptureDest)

enum TVideoSource {
  vs_VideoCaptureDevice = 0,
  vs_ScreenRecording = 1,
  vs_VideoFileOrURL = 2,
  vs_JPEGsOrBitmaps = 3
};
Q_ENUM_NS(TVideoSource)

enum TFrameGrabber {
  fg_Disabled = 0,
  fg_PreviewStream = 1,
  fg_CaptureStream = 2,
  fg_BothStreams = 3
};
Q_ENUM_NS(TFrameGrabber)

enum TFrameGrabberRGBFormat {
  fgf_Default = 0,
  fgf_RGB32 = 1,
  fgf_RGB24 = 2,
  fgf_RGB565 = 3,
  fgf_RGB555 = 4,
  fgf_RGB8 = 5
};
Q_ENUM_NS(TFrameGrabberRGBFormat)

enum TNotificationMethod { nm_Timer = 0, nm_Thread = 1 };
Q_ENUM_NS(TNotificationMethod)

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };
Q_ENUM_NS(TThreadPriority)

enum TVideoDeinterlacing { di_Disabled = 0, di_HalfSize = 1, di_FullSize = 2 };
Q_ENUM_NS(TVideoDeinterlacing)

// Odd values swap width and height.
enum TVideoRotation {
  rt_0_deg = 0,
  rt_90_deg = 1,
  rt_180_deg = 2,
  rt_270_deg = 3,
  rt_0_deg_mirror = 4,
  rt_90_deg_mirror = 5,
  rt_180_deg_mirror = 6,
  rt_270_deg_mirror = 7
};
Q_ENUM_NS(TVideoRotation)

enum TVideoRenderer {
  vr_AutoSelect = 0,
  vr_StandardRenderer = 1,
  vr_VMR7 = 2,
  vr_VMR9 = 3,
  vr_None = 4
};
Q_ENUM_NS(TVideoRenderer)

enum TBorderStyle { bsNone = 0, bsSingle = 1 };
Q_ENUM_NS(TBorderStyle)

enum TLogoLayout { lg_Centered = 0, lg_Stretched = 1, lg_Repeated = 2 };
Q_ENUM_NS(TLogoLayout)

enum TMultiplexedRole { mr_NotMultiplexed = 0, mr_MultiplexedMaster = 1, mr_MultiplexedSlave = 2 };
Q_ENUM_NS(TMultiplexedRole)

}  // namespace CaptureTypes
using namespace CaptureTypes;

using PDIBSection = DIBSECTION*;

// One delivered frame. The bitmap is owned by the control and valid only during the handler.
struct TFrameData {
  TBitmap* Bitmap = nullptr;
  std::int32_t FrameNumber = 0;  // since the preview started, the first frame 1
  DIBSECTION DibSection{};
  std::int64_t FrameTime = 0;  // since the first frame, in 100-ns units
};

// Timing of a frame, for overlay drawing.
struct TFrameInfo {
  std::int32_t FrameNumber = 0;
  std::int32_t DroppedFrameCount = 0;
  std::int32_t TotalMin = 0;
  std::int32_t Hour = 0;
  std::int32_t Min = 0;
  std::int32_t Sec = 0;
  std::int32_t Hs = 0;
  std::uint8_t DVTimeCode[60] = {};  // date, time and time code of digital-video sources
  std::int64_t FrameTime = 0;        // 100-ns units
  std::int64_t TotalSec = 0;
  std::int64_t TotalHs = 0;
};

// Progress of a long file operation.
struct TProgressInfo {
  std::int64_t Position = 0;
  std::int64_t Total = 0;
  int Percent = 0;
};

struct TVideoHdr {
  void* Data = nullptr;
  std::uint32_t BufferLength = 0;
  std::uint32_t BytesUsed = 0;
  std::uint32_t TimeCaptured = 0;
  std::uint32_t Flags = 0;
};

struct TSampleData {
  const void* Buffer = nullptr;
  int BufferSize = 0;
  std::int64_t SampleTime = 0;
};

struct TTVChannelInfo {
  int Channel = 0;
  int Frequency = 0;
  bool SignalPresent = false;
};

enum TThirdPartyFilterList {
  tpf_VideoSource,
  tpf_AfterVideoSource,
  tpf_AfterPreviewGrabber,
  tpf_AfterCaptureGrabber,
  tpf_AudioSource,
  tpf_AfterAudioSource
};
enum TMouseButton { mbLeft, mbRight, mbMiddle };
using TShiftState = unsigned;

// Event handler types. Every parameter list begins with Sender, always the control.
using TEventNotification = TMethod<TObject*>;
using TOnFrameCaptureCompleted =
    TMethod<TObject*, const TFrameData&, TFrameCaptureDest, const QString&, bool>;
using TOnFrameOverlayUsingDC = TMethod<TObject*, const TFrameInfo&, HDC>;
using TOnFrameProgress = TMethod<TObject*, const TFrameInfo&>;
using TOnLog = TMethod<TObject*, TLogType, const QString&, const QString&>;
using TOnDeviceArrivalOrRemoval = TMethod<TObject*, bool, bool, const QString&, int>;
using TOnProgress = TMethod<TObject*, const TProgressInfo&>;
using TOnColorKeyChange = TMethod<TObject*, TColor>;
using TOnSourceFileToDestFileStarted = TMethod<TObject*, const QString&, const QString&>;
using TOnSourceFileToDestFileCompleted = TMethod<TObject*, const QString&, const QString&, bool>;
using TOnFileNotification = TMethod<TObject*, const QString&>;
using TOnCreatePreallocatedFileCompleted = TMethod<TObject*, const QString&, bool>;
using TOnRecordingCompleted = TMethod<TObject*, const QString&, bool>;
using TOnDirectNetworkStreamingHostUrl = TMethod<TObject*, const QString&, const QString&, int>;
using TOnDVCommandCompleted = TMethod<TObject*, int, const QString&>;
using TOnFrameOverlayUsingDIB = TMethod<TObject*, const TFrameInfo&, PDIBSection>;
using TOnFrameOverlayUsingVIDEOHDR = TMethod<TObject*, const TFrameInfo&, const TVideoHdr&>;
using TOnKeyPress = TMethod<TObject*, int, char&, int, TShiftState>;
using TOnMouseDownUp = TMethod<TObject*, int, TMouseButton, TShiftState, int, int>;
using TOnMouseMove = TMethod<TObject*, int, TShiftState, int, int>;
using TOnMotionDetected = TMethod<TObject*, double, const TFrameData&, bool&>;
using TOnMotionNotDetected = TMethod<TObject*, const TFrameData&, bool&>;
using TOnPlayerBufferingData = TMethod<TObject*, bool>;
using TOnResizeVideo = TMethod<TObject*, int, int>;
using TOnSampleCapture = TMethod<TObject*, const TSampleData&>;
using TOnThirdPartyFilterConnected = TMethod<TObject*, TThirdPartyFilterList, int, IUnknown*>;
using TOnTVChannelScanStarted = TMethod<TObject*, int, int>;
using TOnTVChannelSelected = TMethod<TObject*, const TTVChannelInfo&>;
using TOnVideoCompressionSettings = TMethod<TObject*, bool, bool, bool, bool, int, int, double>;
using TOnBitmapFormatNeeded = TMethod<TObject*, HBITMAP&>;
using TOnBitmapNextFrameNeeded = TMethod<TObject*, HBITMAP&, bool&>;
