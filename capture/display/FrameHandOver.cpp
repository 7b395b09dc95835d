#include "capture/display/FrameHandOver.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include <QImage>

#include "capture/CaptureCtl.h"
#include "capture/core/CaptureCore.h"
#include "capture/display/FrameDC.h"

void TFrameRecord::TakeFrom(TFrameRecord& other) {
  Bitmap = std::move(other.Bitmap);
  DibSection = other.DibSection;
  FrameNumber = other.FrameNumber;
  FrameTime = other.FrameTime;
  Info = other.Info;
  AbsoluteFrameCount = other.AbsoluteFrameCount;
  AbsoluteTime = other.AbsoluteTime;
  TakenAt = other.TakenAt;
}

namespace {

// The platform's description of a bitmap's memory, for the frame record.
DIBSECTION DescribeBitmap(const TBitmap& bitmap) {
  DIBSECTION ds{};
  const QImage& image = bitmap.Image();
  ds.dsBm.bmWidth = image.width();
  ds.dsBm.bmHeight = image.height();
  ds.dsBm.bmWidthBytes = static_cast<std::int32_t>(image.bytesPerLine());
  ds.dsBm.bmPlanes = 1;
  ds.dsBm.bmBitsPixel = static_cast<std::uint16_t>(image.depth());
  // Read through the const row: a bitmap sharing its pixels with the delivered frame stays
  // shared instead of copying them for the description.
  ds.dsBm.bmBits =
      image.height() > 0 ? const_cast<std::uint8_t*>(std::as_const(bitmap).ScanLine(0)) : nullptr;
  ds.dsBmih.biSize = sizeof(BITMAPINFOHEADER);
  ds.dsBmih.biWidth = image.width();
  ds.dsBmih.biHeight = -image.height();  // top-down
  ds.dsBmih.biPlanes = 1;
  ds.dsBmih.biBitCount = static_cast<std::uint16_t>(image.depth());
  return ds;
}

// Copies the picture into the bitmap top row first, into the bitmap's own storage when it has
// the shape already and nobody else holds its pixels. False when no storage could be had.
bool CopyUpright(const QImage& picture, bool bottomUp, TBitmap& bitmap) {
  const QImage& kept = bitmap.Image();
  if (kept.size() != picture.size() || kept.format() != picture.format() || !kept.isDetached()) {
    QImage fresh(picture.size(), picture.format());
    if (fresh.isNull()) return false;
    bitmap.SetImage(fresh);
  }
  const int height = picture.height();
  const qsizetype stride = bitmap.BytesPerLine();
  const auto rowBytes = static_cast<std::size_t>(std::min(stride, picture.bytesPerLine()));
  std::uint8_t* target = bitmap.ScanLine(0);
  for (int y = 0; y < height; ++y, target += stride)
    std::memcpy(target, picture.constScanLine(bottomUp ? height - 1 - y : y), rowBytes);
  return true;
}

}  // namespace

void TFrameHandOver::OverlayPass(TCaptureCore& core, QImage& picture, bool bottomUp) {
  if (!core.OverlayNeeded.load()) return;
  TCaptureControl* control = core.Owner;
  const TOnFrameOverlayUsingDC handler = control->OnFrameOverlayUsingDC();
  if (!control->EventReady(handler)) return;
  TFrameDC dc(picture, bottomUp);
  handler(control, BuildingFrame.Info, &dc);
}

void TFrameHandOver::TakeFrame(TCaptureCore& core, QImage& picture, std::int64_t sampleTime,
                               bool bottomUp) {
  if (core.Destroying.load() || !core.GraphActive.load() || picture.isNull()) return;

  // Stamp the building record: numbering and timing since the first frame of this graph.
  TFrameRecord& b = BuildingFrame;
  if (timeBase_ < 0) {
    timeBase_ = sampleTime;
    frameBase_ = b.AbsoluteFrameCount;
  }
  ++b.AbsoluteFrameCount;
  b.AbsoluteTime = sampleTime;
  b.TakenAt = std::chrono::steady_clock::now();
  b.FrameNumber = b.AbsoluteFrameCount - frameBase_;
  b.FrameTime = sampleTime - timeBase_;
  TFrameInfo& info = b.Info;
  info.FrameNumber = b.FrameNumber;
  info.FrameTime = b.FrameTime;
  const std::int64_t hundredthsTotal = b.FrameTime / 100000;
  const std::int64_t secondsTotal = hundredthsTotal / 100;
  info.TotalHs = hundredthsTotal;
  info.TotalSec = secondsTotal;
  info.Hs = static_cast<std::int32_t>(hundredthsTotal % 100);
  info.TotalMin = static_cast<std::int32_t>(secondsTotal / 60);
  info.Sec = static_cast<std::int32_t>(secondsTotal % 60);
  info.Hour = info.TotalMin / 60;
  info.Min = info.TotalMin % 60;

  const bool taken = DeliveryEnabled && !FrameReady.load();
  bool wanted = false;
  if (taken) {
    bool counts = false;
    if (core.BurstMode.load()) {
      const int interval = core.BurstInterval.load();
      if (interval == 0) {
        counts = true;
      } else if (core.BurstCountdown.load() == 0) {
        counts = true;
        core.BurstCountdown.store(interval);
      } else {
        core.BurstCountdown.fetch_sub(1);
      }
      if (counts) {
        if (core.BurstCount.load() < 1) {
          BurstFrameDue.store(true);
        } else if (core.BurstRemaining.load() > 0) {
          core.BurstRemaining.fetch_sub(1);
          BurstFrameDue.store(true);
        } else {
          core.BurstMode.store(false);
        }
      }
    }
    wanted = counts || core.CapturePending.load() || BurstFrameDue.load() ||
             core.CaptureState.load() == cs_Playing;
  }

  const bool withoutOverlay = core.Settings.FrameCaptureWithoutOverlay;
  if (!withoutOverlay) OverlayPass(core, picture, bottomUp);

  if (taken && wanted) {
    {
      std::lock_guard lock(FrameLock);
      b.Bitmap = std::move(spareBitmap_);
    }
    if (!b.Bitmap) b.Bitmap = std::make_unique<TBitmap>();
    if (CopyUpright(picture, bottomUp, *b.Bitmap))
      b.DibSection = DescribeBitmap(*b.Bitmap);
    else
      b.Bitmap.reset();
  }
  if (taken) {
    std::lock_guard lock(FrameLock);
    ReadyFrame.TakeFrom(b);
  }
  if (withoutOverlay) OverlayPass(core, picture, bottomUp);
  if (taken && core.GraphActive.load()) {
    FrameReady.store(true);
    core.FrameTaken();
  }
}

bool TFrameHandOver::Deliver(TCaptureCore& core) {
  if (!FrameReady.load()) return false;
  {
    std::lock_guard lock(FrameLock);
    // The bitmap delivered before becomes the spare the streaming side fills next.
    std::unique_ptr<TBitmap> previous = std::move(DeliveredFrame.Bitmap);
    DeliveredFrame.TakeFrom(ReadyFrame);
    if (!spareBitmap_) spareBitmap_ = std::move(previous);
  }
  if (!core.Destroying.load() && core.GraphState.load() != gs_Stopped) {
    TCaptureControl* control = core.Owner;
    const TOnFrameProgress progress = control->OnFrameProgress;
    if (control->EventReady(progress)) {
      const TFrameInfo info = DeliveredFrame.Info;
      progress(control, info);
    }
    if (DeliveredFrame.Bitmap) {
      if (core.CapturePending.exchange(false)) {
        Capture(core, core.CaptureDest, core.CaptureFileName, true);
      } else if (BurstFrameDue.exchange(false)) {
        Capture(core, core.BurstType, QString(), core.BurstMode.load());
      }
    }
  }
  // Only now may the streaming side take the next frame.
  FrameReady.store(false);
  return true;
}

void TFrameHandOver::CaptureDelivered(TCaptureCore& core, TFrameCaptureDest dest,
                                      const QString& fileName) {
  Capture(core, dest, fileName, true);
}

void TFrameHandOver::Capture(TCaptureCore& core, TFrameCaptureDest dest, const QString& fileName,
                             bool raise) {
  if (!DeliveredFrame.Bitmap) return;
  TFrameData data;
  // The event's bitmap shares the delivered pixels and lives only while the event runs:
  // afterwards the delivered bitmap is again their only holder, so the streaming side refills it
  // in place once it is the spare.
  auto output = std::make_unique<TBitmap>();
  const int zoom = core.Settings.FrameCaptureZoomSize;
  if (zoom == 100) {
    output->Assign(*DeliveredFrame.Bitmap);
  } else {
    // Halves round to even, as the platform's rounding does.
    const int width = static_cast<int>(std::nearbyint(core.VideoWidth * zoom / 100.0));
    const int height = static_cast<int>(std::nearbyint(core.VideoHeight * zoom / 100.0));
    if (width > 0 && height > 0)
      output->SetImage(DeliveredFrame.Bitmap->Image().scaled(width, height));
  }
  data.Bitmap = output.get();
  data.FrameNumber = DeliveredFrame.FrameNumber;
  data.FrameTime = DeliveredFrame.FrameTime;
  data.DibSection = DescribeBitmap(*output);
  if (!raise) return;
  bool success = true;
  if (dest == fc_BmpFile || dest == fc_JpegFile) {
    // Saving frames to files belongs to the facilities the game does not use.
    success = !fileName.isEmpty() &&
              output->Image().save(fileName, dest == fc_BmpFile ? "BMP" : "JPEG",
                                   dest == fc_JpegFile ? core.Settings.JPEGQuality : -1);
  }
  TCaptureControl* control = core.Owner;
  const TOnFrameCaptureCompleted handler = control->OnFrameCaptureCompleted;
  if (control->EventReady(handler))
    handler(control, data, dest, dest == fc_TBitmap ? QString() : fileName, success);
}

void TFrameHandOver::Reset(TCaptureCore& core) {
  core.CapturePending.store(false);
  core.CaptureFileName.clear();
  BurstFrameDue.store(false);
  FrameReady.store(false);
  timeBase_ = -1;
  frameBase_ = -1;
  for (TFrameRecord* r : {&BuildingFrame, &ReadyFrame, &DeliveredFrame}) r->Info = TFrameInfo{};
  core.BurstRemaining.store(core.BurstCount.load());
  core.BurstCountdown.store(core.BurstInterval.load());
}

void TFrameHandOver::Clear() {
  std::lock_guard lock(FrameLock);
  BuildingFrame.Bitmap.reset();
  ReadyFrame.Bitmap.reset();
  DeliveredFrame.Bitmap.reset();
  spareBitmap_.reset();
}
