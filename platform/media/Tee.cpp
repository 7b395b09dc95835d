#include "platform/media/Tee.h"

#include <cstring>

// What the tee pins need of their filter (an adapter the tee owns).
class TeeOwner {
 public:
  virtual ~TeeOwner() = default;
  virtual HRESULT TeeReceive(IMediaSample* sample) = 0;
  virtual HRESULT TeeEndOfStream() = 0;
  virtual HRESULT TeeBeginFlush() = 0;
  virtual HRESULT TeeEndFlush() = 0;
  virtual bool TeeAcceptsInput(const AM_MEDIA_TYPE& mt) = 0;
  virtual const MediaType* TeeInputType() = 0;
  virtual void TeeOutputConnected() {}
};

namespace {

class TeeInputPin final : public InputPin {
 public:
  TeeInputPin(FilterBase* filter, TeeOwner* owner) : InputPin(filter, u"Input"), owner_(owner) {}
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override {
    return owner_->TeeAcceptsInput(mt) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT BeginFlush() override {
    InputPin::BeginFlush();
    return owner_->TeeBeginFlush();
  }
  HRESULT EndFlush() override {
    InputPin::EndFlush();
    return owner_->TeeEndFlush();
  }

 protected:
  HRESULT OnReceive(IMediaSample* sample) override { return owner_->TeeReceive(sample); }
  HRESULT OnEndOfStream() override { return owner_->TeeEndOfStream(); }

 private:
  TeeOwner* owner_;
};

// Outputs carry exactly the input's type, so they connect once the input is.
class TeeOutputPin final : public OutputPin {
 public:
  TeeOutputPin(FilterBase* filter, TeeOwner* owner, std::u16string name)
      : OutputPin(filter, std::move(name)), owner_(owner) {}
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override {
    const MediaType* in = owner_->TeeInputType();
    if (!in) return VFW_E_NOT_CONNECTED;
    return MediaTypesEqual(mt, **in) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType* mt) override {
    const MediaType* in = owner_->TeeInputType();
    if (!in) return VFW_E_NOT_CONNECTED;
    if (position != 0) return VFW_S_NO_MORE_ITEMS;
    *mt = *in;
    return S_OK;
  }
  HRESULT CompleteConnect(IPin* peer) override {
    if (HRESULT hr = OutputPin::CompleteConnect(peer); FAILED(hr)) return hr;
    owner_->TeeOutputConnected();
    return S_OK;
  }

 private:
  TeeOwner* owner_;
};

// The input may change type only while every connected output's peer accepts the new one.
bool OutputsAccept(FilterBase* filter, const AM_MEDIA_TYPE& mt) {
  for (int i = 0; PinBase* pin = filter->GetPin(i); ++i)
    if (pin->Direction() == PINDIR_OUTPUT && pin->Peer() && pin->Peer()->QueryAccept(&mt) != S_OK)
      return false;
  return true;
}

}  // namespace

// ---- infinite pin tee

namespace {
class InfTeeOwner final : public TeeOwner {
 public:
  explicit InfTeeOwner(InfTee* tee) : tee_(tee) {}
  HRESULT TeeReceive(IMediaSample* sample) override { return tee_->Receive(sample); }
  HRESULT TeeEndOfStream() override { return tee_->EndOfStream(); }
  HRESULT TeeBeginFlush() override { return tee_->BeginFlush(); }
  HRESULT TeeEndFlush() override { return tee_->EndFlush(); }
  bool TeeAcceptsInput(const AM_MEDIA_TYPE& mt) override { return OutputsAccept(tee_, mt); }
  const MediaType* TeeInputType() override {
    return tee_->Input()->IsConnected() ? &tee_->Input()->CurrentMediaType() : nullptr;
  }
  void TeeOutputConnected() override { tee_->OnOutputConnected(); }

 private:
  InfTee* tee_;
};
}  // namespace

InfTee::InfTee() : FilterBase(CLSID_InfTee, u"Infinite Pin Tee Filter") {
  owner_ = std::make_unique<InfTeeOwner>(this);
  input_ = static_cast<InputPin*>(AddPin(std::make_unique<TeeInputPin>(this, owner_.get())));
  AddPin(std::make_unique<TeeOutputPin>(this, owner_.get(), u"Output1"));
  nextOutput_ = 2;
}

InfTee::~InfTee() = default;

bool InfTee::AcceptsOutputType(const AM_MEDIA_TYPE& mt) const {
  return input_->IsConnected() && MediaTypesEqual(mt, *input_->CurrentMediaType());
}

void InfTee::OnOutputConnected() {
  for (int i = 0; PinBase* pin = GetPin(i); ++i)
    if (pin->Direction() == PINDIR_OUTPUT && !pin->IsConnected()) return;
  const std::string name = "Output" + std::to_string(nextOutput_++);
  AddPin(
      std::make_unique<TeeOutputPin>(this, owner_.get(), std::u16string(name.begin(), name.end())));
}

HRESULT InfTee::Receive(IMediaSample* sample) {
  for (int i = 0; PinBase* pin = GetPin(i); ++i)
    if (pin->Direction() == PINDIR_OUTPUT && pin->IsConnected())
      static_cast<OutputPin*>(pin)->Deliver(sample);  // one slow or failing branch stops no other
  return S_OK;
}

HRESULT InfTee::EndOfStream() {
  for (int i = 0; PinBase* pin = GetPin(i); ++i)
    if (pin->Direction() == PINDIR_OUTPUT && pin->IsConnected())
      static_cast<OutputPin*>(pin)->DeliverEndOfStream();
  return S_OK;
}

HRESULT InfTee::BeginFlush() {
  for (int i = 0; PinBase* pin = GetPin(i); ++i)
    if (pin->Direction() == PINDIR_OUTPUT && pin->IsConnected())
      static_cast<OutputPin*>(pin)->DeliverBeginFlush();
  return S_OK;
}

HRESULT InfTee::EndFlush() {
  for (int i = 0; PinBase* pin = GetPin(i); ++i)
    if (pin->Direction() == PINDIR_OUTPUT && pin->IsConnected())
      static_cast<OutputPin*>(pin)->DeliverEndFlush();
  return S_OK;
}

// ---- smart tee

namespace {
class SmartTeeOwner final : public TeeOwner {
 public:
  explicit SmartTeeOwner(SmartTee* tee) : tee_(tee) {}
  HRESULT TeeReceive(IMediaSample* sample) override { return tee_->Receive(sample); }
  HRESULT TeeEndOfStream() override { return tee_->EndOfStream(); }
  HRESULT TeeBeginFlush() override { return tee_->BeginFlush(); }
  HRESULT TeeEndFlush() override { return tee_->EndFlush(); }
  bool TeeAcceptsInput(const AM_MEDIA_TYPE& mt) override { return OutputsAccept(tee_, mt); }
  const MediaType* TeeInputType() override {
    return tee_->Input()->IsConnected() ? &tee_->Input()->CurrentMediaType() : nullptr;
  }

 private:
  SmartTee* tee_;
};
}  // namespace

SmartTee::SmartTee() : FilterBase(CLSID_SmartTee, u"Smart Tee") {
  owner_ = std::make_unique<SmartTeeOwner>(this);
  input_ = static_cast<InputPin*>(AddPin(std::make_unique<TeeInputPin>(this, owner_.get())));
  capture_ = static_cast<OutputPin*>(
      AddPin(std::make_unique<TeeOutputPin>(this, owner_.get(), u"Capture")));
  capture_->SetCategory(PIN_CATEGORY_CAPTURE);
  preview_ = static_cast<OutputPin*>(
      AddPin(std::make_unique<TeeOutputPin>(this, owner_.get(), u"Preview")));
  preview_->SetCategory(PIN_CATEGORY_PREVIEW);
}

SmartTee::~SmartTee() = default;

bool SmartTee::AcceptsOutputType(const AM_MEDIA_TYPE& mt) const {
  return input_->IsConnected() && MediaTypesEqual(mt, *input_->CurrentMediaType());
}

HRESULT SmartTee::Receive(IMediaSample* sample) {
  HRESULT hr = S_OK;
  if (capture_->IsConnected()) hr = capture_->Deliver(sample);
  if (preview_->IsConnected()) {
    // The preview gets its own copy without time stamps, so a renderer never waits on them.
    ComPtr<IMediaSample> copy;
    const long length = sample->GetActualDataLength();
    BYTE* from = nullptr;
    BYTE* to = nullptr;
    if (SUCCEEDED(preview_->GetDeliveryBuffer(length, copy.ReleaseAndGetAddressOf())) &&
        SUCCEEDED(sample->GetPointer(&from)) && SUCCEEDED(copy->GetPointer(&to))) {
      std::memcpy(to, from, static_cast<std::size_t>(length));
      copy->SetActualDataLength(length);
      copy->SetSyncPoint(sample->IsSyncPoint() == S_OK);
      preview_->Deliver(copy.Get());
    }
  }
  return FAILED(hr) ? hr : S_OK;
}

HRESULT SmartTee::EndOfStream() {
  if (capture_->IsConnected()) capture_->DeliverEndOfStream();
  if (preview_->IsConnected()) preview_->DeliverEndOfStream();
  return S_OK;
}

HRESULT SmartTee::BeginFlush() {
  if (capture_->IsConnected()) capture_->DeliverBeginFlush();
  if (preview_->IsConnected()) preview_->DeliverBeginFlush();
  return S_OK;
}

HRESULT SmartTee::EndFlush() {
  if (capture_->IsConnected()) capture_->DeliverEndFlush();
  if (preview_->IsConnected()) preview_->DeliverEndFlush();
  return S_OK;
}
