// A media sample with its own buffer, and the pool an output pin reuses samples from.
#pragma once

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

// Samples an output pin hands downstream; a sample is reused once nobody else holds it, so a
// stream of any length needs only as many buffers as are in flight at once.
// Thread: the streaming thread of the pin; Clear() also from the control thread once stopped.
class SamplePool {
 public:
  explicit SamplePool(std::size_t maxKept = 4) : maxKept_(maxKept) {}
  // A sample with at least size bytes, actual length 0. Fails only if out of memory.
  HRESULT GetSample(long size, IMediaSample** sample);
  void Clear();

 private:
  std::size_t maxKept_;
  std::mutex mutex_;  // guards kept_
  std::vector<ComPtr<MediaSample>> kept_;
};
