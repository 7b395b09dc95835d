#include "platform/media/RendererBase.h"

#include <chrono>

namespace {
LONGLONG NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

RendererInputPin::RendererInputPin(RendererBase* filter, std::u16string name)
    : InputPin(filter, std::move(name)), owner_(filter) {}

HRESULT RendererInputPin::CheckMediaType(const AM_MEDIA_TYPE& mt) {
  return owner_->CheckMediaType(mt);
}

HRESULT RendererInputPin::CompleteConnect(IPin* peer) {
  if (HRESULT hr = InputPin::CompleteConnect(peer); FAILED(hr)) return hr;
  return owner_->OnConnected(*CurrentMediaType());
}

HRESULT RendererInputPin::OnReceive(IMediaSample* sample) {
  return owner_->Receive(sample);
}

HRESULT RendererInputPin::OnEndOfStream() {
  return owner_->EndOfStream();
}

RendererBase::RendererBase(REFCLSID clsid, std::u16string name)
    : FilterBase(clsid, std::move(name)) {
  input_ = static_cast<RendererInputPin*>(AddPin(std::make_unique<RendererInputPin>(this, u"In")));
}

HRESULT RendererBase::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (!(iid == IID_IUnknown) && MatchInterface<IQualProp>(this, iid, object)) return S_OK;
  return FilterBase::NonDelegatingQueryInterface(iid, object);
}

HRESULT RendererBase::Receive(IMediaSample* sample) {
  if (endOfStream_.load(std::memory_order_acquire)) return VFW_E_SAMPLE_REJECTED_EOS;
  const HRESULT hr = DoRenderSample(sample);
  if (FAILED(hr)) {
    NotifyEvent(EC_ERRORABORT, hr, 0);
    return hr;
  }
  if (hr == S_FALSE) {
    framesDropped_.fetch_add(1, std::memory_order_relaxed);
    return S_OK;
  }
  const LONGLONG now = NowNs();
  if (framesDrawn_.fetch_add(1, std::memory_order_relaxed) == 0)
    firstFrameNs_.store(now, std::memory_order_relaxed);
  lastFrameNs_.store(now, std::memory_order_relaxed);
  return S_OK;
}

HRESULT RendererBase::EndOfStream() {
  endOfStream_.store(true, std::memory_order_release);
  if (State() == State_Running) SendComplete();
  return S_OK;
}

void RendererBase::SendComplete() {
  if (completeSent_.exchange(true)) return;
  NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
}

HRESULT RendererBase::OnPause() {
  return S_OK;
}

HRESULT RendererBase::OnRun(REFERENCE_TIME) {
  // An end of stream that arrived while paused completes once running.
  if (endOfStream_.load(std::memory_order_acquire)) SendComplete();
  return S_OK;
}

void RendererBase::OnStop() {
  endOfStream_.store(false, std::memory_order_release);
  completeSent_.store(false, std::memory_order_release);
}

HRESULT RendererBase::get_FramesDroppedInRenderer(int* frames) {
  if (!frames) return E_POINTER;
  *frames = framesDropped_.load(std::memory_order_relaxed);
  return S_OK;
}

HRESULT RendererBase::get_FramesDrawn(int* frames) {
  if (!frames) return E_POINTER;
  *frames = framesDrawn_.load(std::memory_order_relaxed);
  return S_OK;
}

HRESULT RendererBase::get_AvgFrameRate(int* hundredthsPerSecond) {
  if (!hundredthsPerSecond) return E_POINTER;
  const int drawn = framesDrawn_.load(std::memory_order_relaxed);
  const LONGLONG span =
      lastFrameNs_.load(std::memory_order_relaxed) - firstFrameNs_.load(std::memory_order_relaxed);
  *hundredthsPerSecond =
      drawn > 1 && span > 0 ? static_cast<int>((drawn - 1) * 100'000'000'000LL / span) : 0;
  return S_OK;
}

HRESULT RendererBase::get_Jitter(int* jitterMs) {
  if (!jitterMs) return E_POINTER;
  *jitterMs = 0;
  return S_OK;
}

HRESULT RendererBase::get_AvgSyncOffset(int* offsetMs) {
  if (!offsetMs) return E_POINTER;
  *offsetMs = 0;
  return S_OK;
}

HRESULT RendererBase::get_DevSyncOffset(int* deviationMs) {
  if (!deviationMs) return E_POINTER;
  *deviationMs = 0;
  return S_OK;
}
