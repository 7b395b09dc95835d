#include "platform/media/TransformFilter.h"

#include "platform/media/EventCodes.h"

namespace {

// Copies the timing and flags of a sample onto the sample made from it.
void CopySampleProperties(IMediaSample* from, IMediaSample* to) {
  REFERENCE_TIME start = 0, end = 0;
  if (SUCCEEDED(from->GetTime(&start, &end))) to->SetTime(&start, &end);
  LONGLONG mediaStart = 0, mediaEnd = 0;
  if (SUCCEEDED(from->GetMediaTime(&mediaStart, &mediaEnd)))
    to->SetMediaTime(&mediaStart, &mediaEnd);
  to->SetSyncPoint(from->IsSyncPoint() == S_OK);
  to->SetDiscontinuity(from->IsDiscontinuity() == S_OK);
  to->SetPreroll(from->IsPreroll() == S_OK);
}

}  // namespace

// ---- copying transform

TransformInputPin::TransformInputPin(TransformFilter* filter, std::u16string name)
    : InputPin(filter, std::move(name)), owner_(filter) {}

HRESULT TransformInputPin::CheckMediaType(const AM_MEDIA_TYPE& mt) {
  if (HRESULT hr = owner_->CheckInputType(mt); hr != S_OK) return FAILED(hr) ? hr : S_FALSE;
  // A new input type must still fit the output already agreed.
  if (owner_->Output()->IsConnected())
    return owner_->CheckTransform(mt, *owner_->Output()->CurrentMediaType());
  return S_OK;
}

HRESULT TransformInputPin::BeginFlush() {
  InputPin::BeginFlush();
  return owner_->Output()->IsConnected() ? owner_->Output()->DeliverBeginFlush() : S_OK;
}

HRESULT TransformInputPin::EndFlush() {
  InputPin::EndFlush();
  return owner_->Output()->IsConnected() ? owner_->Output()->DeliverEndFlush() : S_OK;
}

HRESULT TransformInputPin::OnReceive(IMediaSample* sample) {
  return owner_->Receive(sample);
}

HRESULT TransformInputPin::OnEndOfStream() {
  return owner_->Output()->IsConnected() ? owner_->Output()->DeliverEndOfStream() : S_OK;
}

TransformOutputPin::TransformOutputPin(TransformFilter* filter, std::u16string name)
    : OutputPin(filter, std::move(name)), owner_(filter) {}

HRESULT TransformOutputPin::CheckMediaType(const AM_MEDIA_TYPE& mt) {
  if (!owner_->Input()->IsConnected()) return VFW_E_NOT_CONNECTED;
  return owner_->CheckTransform(*owner_->Input()->CurrentMediaType(), mt);
}

HRESULT TransformOutputPin::GetMediaType(int position, MediaType* mt) {
  if (!owner_->Input()->IsConnected()) return VFW_E_NOT_CONNECTED;
  return owner_->GetOutputType(position, *owner_->Input()->CurrentMediaType(), mt);
}

TransformFilter::TransformFilter(REFCLSID clsid, std::u16string name)
    : FilterBase(clsid, std::move(name)) {
  input_ = static_cast<TransformInputPin*>(
      AddPin(std::make_unique<TransformInputPin>(this, u"XForm In")));
  output_ = static_cast<TransformOutputPin*>(
      AddPin(std::make_unique<TransformOutputPin>(this, u"XForm Out")));
}

HRESULT TransformFilter::Receive(IMediaSample* in) {
  if (!output_->IsConnected()) return S_OK;  // nobody downstream: the sample ends here
  ComPtr<IMediaSample> out;
  if (HRESULT hr = output_->GetDeliveryBuffer(output_->SampleSize(), out.ReleaseAndGetAddressOf());
      FAILED(hr))
    return hr;
  CopySampleProperties(in, out.Get());
  const HRESULT hr = Transform(in, out.Get());
  if (hr == S_FALSE) {
    CountDrop();
    return S_OK;
  }
  if (FAILED(hr)) {
    NotifyEvent(EC_ERRORABORT, hr, 0);
    return hr;
  }
  return output_->Deliver(out.Get());
}

// ---- in-place transform

TransInPlaceInputPin::TransInPlaceInputPin(TransInPlaceFilter* filter, std::u16string name)
    : InputPin(filter, std::move(name)), owner_(filter) {}

HRESULT TransInPlaceInputPin::CheckMediaType(const AM_MEDIA_TYPE& mt) {
  if (HRESULT hr = owner_->CheckInputType(mt); hr != S_OK) return FAILED(hr) ? hr : S_FALSE;
  // The same type goes out again, so the downstream pin has to take it too.
  if (IPin* downstream = owner_->Output()->Peer()) return downstream->QueryAccept(&mt);
  return S_OK;
}

HRESULT TransInPlaceInputPin::BeginFlush() {
  InputPin::BeginFlush();
  return owner_->Output()->IsConnected() ? owner_->Output()->DeliverBeginFlush() : S_OK;
}

HRESULT TransInPlaceInputPin::EndFlush() {
  InputPin::EndFlush();
  return owner_->Output()->IsConnected() ? owner_->Output()->DeliverEndFlush() : S_OK;
}

HRESULT TransInPlaceInputPin::OnReceive(IMediaSample* sample) {
  return owner_->Receive(sample);
}

HRESULT TransInPlaceInputPin::OnEndOfStream() {
  return owner_->Output()->IsConnected() ? owner_->Output()->DeliverEndOfStream() : S_OK;
}

TransInPlaceOutputPin::TransInPlaceOutputPin(TransInPlaceFilter* filter, std::u16string name)
    : OutputPin(filter, std::move(name)), owner_(filter) {}

HRESULT TransInPlaceOutputPin::CheckMediaType(const AM_MEDIA_TYPE& mt) {
  if (!owner_->Input()->IsConnected()) return VFW_E_NOT_CONNECTED;
  return MediaTypesEqual(mt, *owner_->Input()->CurrentMediaType()) ? S_OK : S_FALSE;
}

HRESULT TransInPlaceOutputPin::GetMediaType(int position, MediaType* mt) {
  if (!owner_->Input()->IsConnected()) return VFW_E_NOT_CONNECTED;
  if (position != 0) return VFW_S_NO_MORE_ITEMS;
  *mt = owner_->Input()->CurrentMediaType();
  return S_OK;
}

TransInPlaceFilter::TransInPlaceFilter(REFCLSID clsid, std::u16string name)
    : FilterBase(clsid, std::move(name)) {
  input_ = static_cast<TransInPlaceInputPin*>(
      AddPin(std::make_unique<TransInPlaceInputPin>(this, u"Input")));
  output_ = static_cast<TransInPlaceOutputPin*>(
      AddPin(std::make_unique<TransInPlaceOutputPin>(this, u"Output")));
}

HRESULT TransInPlaceFilter::Receive(IMediaSample* sample) {
  const HRESULT hr = Transform(sample);
  if (hr == S_FALSE) {
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return S_OK;
  }
  if (FAILED(hr)) {
    NotifyEvent(EC_ERRORABORT, hr, 0);
    return hr;
  }
  if (!output_->IsConnected()) return S_OK;
  return output_->Deliver(sample);
}
