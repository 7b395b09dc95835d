#include "platform/media/MediaSample.h"

#include <chrono>
#include <new>

MediaSample::MediaSample(long size) : buffer_(new (std::nothrow) BYTE[size > 0 ? size : 1]) {
  size_ = buffer_ ? size : 0;
}

HRESULT MediaSample::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (MatchInterface<IMediaSample>(this, iid, object)) return S_OK;
  return UnknownImpl::NonDelegatingQueryInterface(iid, object);
}

HRESULT MediaSample::GetPointer(BYTE** buffer) {
  if (!buffer) return E_POINTER;
  *buffer = buffer_.get();
  return S_OK;
}

long MediaSample::GetSize() {
  return size_;
}

HRESULT MediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
  if (!start || !end) return E_POINTER;
  if (!hasStart_) return VFW_E_SAMPLE_TIME_NOT_SET;
  *start = start_;
  *end = hasEnd_ ? end_ : start_ + 1;
  return S_OK;
}

HRESULT MediaSample::SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) {
  hasStart_ = start != nullptr;
  hasEnd_ = start != nullptr && end != nullptr;
  start_ = start ? *start : 0;
  end_ = end ? *end : 0;
  return S_OK;
}

HRESULT MediaSample::IsSyncPoint() {
  return sync_ ? S_OK : S_FALSE;
}
HRESULT MediaSample::SetSyncPoint(BOOL value) {
  sync_ = value != FALSE;
  return S_OK;
}
HRESULT MediaSample::IsPreroll() {
  return preroll_ ? S_OK : S_FALSE;
}
HRESULT MediaSample::SetPreroll(BOOL value) {
  preroll_ = value != FALSE;
  return S_OK;
}
long MediaSample::GetActualDataLength() {
  return actual_;
}

HRESULT MediaSample::SetActualDataLength(long length) {
  if (length < 0 || length > size_) return VFW_E_BUFFER_OVERFLOW;
  actual_ = length;
  return S_OK;
}

HRESULT MediaSample::GetMediaType(AM_MEDIA_TYPE** mt) {
  if (!mt) return E_POINTER;
  *mt = nullptr;
  if (!mediaType_) return S_FALSE;
  *mt = CreateMediaType(mediaType_->Get());
  return *mt ? S_OK : E_OUTOFMEMORY;
}

HRESULT MediaSample::SetMediaType(AM_MEDIA_TYPE* mt) {
  if (!mt) {
    mediaType_.reset();
    return S_OK;
  }
  mediaType_ = std::make_unique<MediaType>(*mt);
  return S_OK;
}

HRESULT MediaSample::IsDiscontinuity() {
  return discontinuity_ ? S_OK : S_FALSE;
}
HRESULT MediaSample::SetDiscontinuity(BOOL value) {
  discontinuity_ = value != FALSE;
  return S_OK;
}

HRESULT MediaSample::GetMediaTime(LONGLONG* start, LONGLONG* end) {
  if (!start || !end) return E_POINTER;
  if (!hasMediaTime_) return VFW_E_NOT_FOUND;
  *start = mediaStart_;
  *end = mediaEnd_;
  return S_OK;
}

HRESULT MediaSample::SetMediaTime(LONGLONG* start, LONGLONG* end) {
  hasMediaTime_ = start && end;
  mediaStart_ = start ? *start : 0;
  mediaEnd_ = end ? *end : 0;
  return S_OK;
}

bool MediaSample::Recycle(long size) {
  if (size > size_) {
    std::unique_ptr<BYTE[]> bigger(new (std::nothrow) BYTE[size]);
    if (!bigger) return false;
    buffer_ = std::move(bigger);
    size_ = size;
  }
  actual_ = 0;
  hasStart_ = hasEnd_ = hasMediaTime_ = false;
  sync_ = preroll_ = discontinuity_ = false;
  mediaType_.reset();
  return true;
}

HRESULT SamplePool::GetSample(long size, IMediaSample** sample) {
  if (!sample) return E_POINTER;
  *sample = nullptr;
  std::unique_lock lock(mutex_);
  const long cancelledAtStart = cancelled_;
  for (;;) {
    // A sample only the pool holds is free: nobody downstream can still read it.
    for (ComPtr<MediaSample>& kept : samples_) {
      if (kept->RefCount() == 1) {
        if (!kept->Recycle(size)) return E_OUTOFMEMORY;
        *sample = kept.Get();
        kept->AddRef();
        return S_OK;
      }
    }
    if (samples_.size() < maxSamples_) break;
    // Every sample is held downstream. Samples come back by a plain Release, which signals
    // nothing, so the wait looks again every millisecond; Cancel() wakes it at once.
    cancelled_cv_.wait_for(lock, std::chrono::milliseconds(1));
    if (cancelled_ != cancelledAtStart) return VFW_E_NOT_COMMITTED;
  }
  ComPtr<MediaSample> fresh = MakeComObject<MediaSample>(size);
  if (fresh->GetSize() < size) return E_OUTOFMEMORY;
  made_.fetch_add(1, std::memory_order_relaxed);
  samples_.push_back(fresh);
  *sample = fresh.Detach();
  return S_OK;
}

void SamplePool::Cancel() {
  {
    std::lock_guard lock(mutex_);
    ++cancelled_;
  }
  cancelled_cv_.notify_all();
}

void SamplePool::Clear() {
  std::vector<ComPtr<MediaSample>> doomed;
  std::lock_guard lock(mutex_);
  doomed.swap(samples_);
}
