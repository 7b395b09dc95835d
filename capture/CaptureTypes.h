// Types the capture control shares with its users: frame records, destinations, handler types.
#pragma once

#include <cstdint>

#include <QObject>
#include <QString>

#include "platform/toolkit/Method.h"

class QPainter;
class TBitmap;

using TObject = QObject;
// A device context: the painter drawing on a frame's picture.
using HDC = QPainter*;

namespace CaptureTypes {
Q_NAMESPACE

enum TFrameCaptureDest { fc_TBitmap = 0, fc_BmpFile = 1, fc_JpegFile = 2 };
Q_ENUM_NS(TFrameCaptureDest)

}  // namespace CaptureTypes
using namespace CaptureTypes;

// The platform's description of a bitmap's memory, as the frame record carries it.
struct BITMAP_INFO {
  std::int32_t bmType;
  std::int32_t bmWidth;
  std::int32_t bmHeight;
  std::int32_t bmWidthBytes;
  std::uint16_t bmPlanes;
  std::uint16_t bmBitsPixel;
  void* bmBits;
};

struct DIBSECTION {
  BITMAP_INFO dsBm;
  std::uint32_t dsBmih[10];  // the bitmap's info header, as 40 bytes
  std::uint32_t dsBitfields[3];
  void* dshSection;
  std::uint32_t dsOffset;
};

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

using TEventNotification = TMethod<TObject*>;
using TOnFrameCaptureCompleted =
    TMethod<TObject*, const TFrameData&, TFrameCaptureDest, const QString&, bool>;
using TOnFrameOverlayUsingDC = TMethod<TObject*, const TFrameInfo&, HDC>;
