// A media sample with its own buffer, and the pool an output pin reuses samples from.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/com/ComPtr.h"
#include "platform/media/FilterInterfaces.h"

// Thread: the streaming thread that fills it, then each downstream filter in turn on that thread.
class MediaSample final : public IMediaSample, public UnknownImpl {
 public:
  explicit MediaSample(long size);

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT GetPointer(BYTE** buffer) override;
  long GetSize() override;
  HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
  HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) override;
  HRESULT IsSyncPoint() override;
  HRESULT SetSyncPoint(BOOL value) override;
  HRESULT IsPreroll() override;
  HRESULT SetPreroll(BOOL value) override;
  long GetActualDataLength() override;
  HRESULT SetActualDataLength(long length) override;
  HRESULT GetMediaType(AM_MEDIA_TYPE** mt) override;
  HRESULT SetMediaType(AM_MEDIA_TYPE* mt) override;
  HRESULT IsDiscontinuity() override;
  HRESULT SetDiscontinuity(BOOL value) override;
  HRESULT GetMediaTime(LONGLONG* start, LONGLONG* end) override;
  HRESULT SetMediaTime(LONGLONG* start, LONGLONG* end) override;

  // Prepares a recycled sample: clears times and flags, grows the buffer to at least size.
  bool Recycle(long size);

 private:
  std::unique_ptr<BYTE[]> buffer_;
  long size_ = 0;
  long actual_ = 0;
  bool hasStart_ = false;
  bool hasEnd_ = false;
  REFERENCE_TIME start_ = 0;
  REFERENCE_TIME end_ = 0;
  bool hasMediaTime_ = false;
  LONGLONG mediaStart_ = 0;
  LONGLONG mediaEnd_ = 0;
  bool sync_ = false;
  bool preroll_ = false;
  bool discontinuity_ = false;
  std::unique_ptr<MediaType> mediaType_;
};

// Samples an output pin hands downstream; a sample is reused once nobody else holds it. The pool
// is bounded: it makes at most maxSamples samples, and when all of them are still held
// downstream GetSample waits for one to come back instead of allocating another, so a stream of
// any length runs on a fixed set of buffers.
// Thread: the streaming thread of the pin; Cancel() and Clear() from the control thread.
// mutex_ guards samples_ and cancelled_.
class SamplePool {
 public:
  explicit SamplePool(std::size_t maxSamples = 4) : maxSamples_(maxSamples) {}
  // A sample with at least size bytes, actual length 0. Waits while every sample is in use;
  // VFW_E_NOT_COMMITTED if Cancel() ends the wait, E_OUTOFMEMORY if a buffer cannot be made.
  HRESULT GetSample(long size, IMediaSample** sample);
  // Ends a wait in GetSample (before the streaming thread is joined); later calls work again.
  void Cancel();
  void Clear();
  // Samples made since the pool was created (each allocates a buffer).
  long SamplesMade() const { return made_.load(std::memory_order_relaxed); }

 private:
  std::size_t maxSamples_;
  std::mutex mutex_;
  std::condition_variable cancelled_cv_;
  std::vector<ComPtr<MediaSample>> samples_;
  long cancelled_ = 0;  // counts Cancel calls; a waiter returns when it changes
  std::atomic<long> made_{0};
};
