// Frame records and their hand-over from the streaming thread to the worker pass: taking a
// frame, burst counting, delivery and the captures made from the delivered frame.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>

#include <QString>

#include "capture/CaptureTypes.h"
#include "platform/toolkit/Bitmap.h"

class QImage;
class TCaptureCore;

// A frame on its way: the picture, its place in the preview and its timing.
struct TFrameRecord {
  std::unique_ptr<TBitmap> Bitmap;
  DIBSECTION DibSection{};
  std::int32_t FrameNumber = 0;
  std::int64_t FrameTime = 0;
  TFrameInfo Info;
  std::int32_t AbsoluteFrameCount = 0;
  std::int64_t AbsoluteTime = 0;
  // When the grabber handed the sample over (for latency figures).
  std::chrono::steady_clock::time_point TakenAt{};

  // Copies every field but the bitmap, which moves.
  void TakeFrom(TFrameRecord& other);
};

// Thread: TakeFrame runs on the streaming thread, Deliver on the thread of the worker pass,
// Reset on the UI thread while no graph runs. FrameLock guards ReadyFrame and the spare bitmap
// (and the moves of bitmaps into and out of them); FrameReady is the back-pressure between the two
// sides: set by the streaming side after it left the lock, cleared by the pass after the frame
// events returned.
class TFrameHandOver {
 public:
  TFrameHandOver() = default;
  TFrameHandOver(const TFrameHandOver&) = delete;
  TFrameHandOver& operator=(const TFrameHandOver&) = delete;

  // The frame callback for one sample: stamps it, counts it for a burst, and hands it over when
  // no frame is waiting. picture may be drawn on by the overlay pass. sampleTime in 100-ns units.
  // A bottomUp picture holds its rows bottom row first; the frame is turned upright in the one
  // copy made of a taken frame.
  void TakeFrame(TCaptureCore& core, QImage& picture, std::int64_t sampleTime,
                 bool bottomUp = false);
  // The delivery step of the worker pass: moves the ready frame to DeliveredFrame and raises
  // OnFrameProgress and the waiting capture. Returns whether a frame was delivered.
  bool Deliver(TCaptureCore& core);
  // Captures the delivered frame now (a paused graph); raises the event when there is one.
  void CaptureDelivered(TCaptureCore& core, TFrameCaptureDest dest, const QString& fileName);
  // Called by each graph build: clears requests and frame numbering, restarts the burst counters.
  void Reset(TCaptureCore& core);
  // Frees the frame bitmaps.
  void Clear();

  std::atomic<bool> FrameReady{false};
  std::atomic<bool> BurstFrameDue{false};
  bool DeliveryEnabled = true;  // the grabber's frame delivery byte

  std::mutex FrameLock;        // guards ReadyFrame
  TFrameRecord BuildingFrame;  // streaming thread only
  TFrameRecord ReadyFrame;
  TFrameRecord DeliveredFrame;  // worker pass only

 private:
  void Capture(TCaptureCore& core, TFrameCaptureDest dest, const QString& fileName, bool raise);
  // Hands the overlay handler a painter on the picture that addresses rows from the top, also
  // when the sample is stored bottom row first.
  void OverlayPass(TCaptureCore& core, QImage& picture, bool bottomUp);

  // The bitmap delivered last, kept for the next taken frame (guarded by FrameLock).
  std::unique_ptr<TBitmap> spareBitmap_;
  std::int64_t timeBase_ = -1;
  std::int32_t frameBase_ = -1;
};
