#include "TestFilters.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/media/Enumerators.h"

// ---- synthetic source

SyntheticStream::SyntheticStream(SyntheticSource* filter, std::u16string name)
    : SourceStream(filter, std::move(name)), owner_(filter) {
  if (!(filter->Options().category == GUID_NULL)) SetCategory(filter->Options().category);
}

HRESULT SyntheticStream::CheckMediaType(const AM_MEDIA_TYPE& mt) {
  for (const MediaType& offered : owner_->Options().types)
    if (MediaTypesEqual(mt, *offered)) return S_OK;
  return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT SyntheticStream::GetMediaType(int position, MediaType* mt) {
  const auto& types = owner_->Options().types;
  if (position < 0 || position >= static_cast<int>(types.size())) return VFW_S_NO_MORE_ITEMS;
  *mt = types[position];
  return S_OK;
}

HRESULT SyntheticStream::OnThreadStart() {
  frame_.store(0);
  return S_OK;
}

HRESULT SyntheticStream::FillBuffer(IMediaSample* sample) {
  const SourceOptions& o = owner_->Options();
  if (o.frameIntervalMs > 0 && !WaitFor(std::chrono::milliseconds(o.frameIntervalMs))) return S_OK;
  const long n = frame_.load();
  if (n == o.failAtFrame) return o.failCode;
  if (n == o.endAtFrame) return S_FALSE;
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const long bytes = SampleSize();
  if (o.fill)
    o.fill(*CurrentMediaType(), data, bytes, n);
  else
    std::memset(data, 0, static_cast<std::size_t>(bytes));
  sample->SetActualDataLength(bytes);
  REFERENCE_TIME start = n * 333333, end = start + 333333;
  sample->SetTime(&start, &end);
  frame_.store(n + 1);
  return S_OK;
}

namespace {
class AnalogInputPin final : public InputPin {
 public:
  using InputPin::InputPin;
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override {
    return mt.majortype == MEDIATYPE_AnalogVideo ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType* mt) override {
    if (position != 0) return VFW_S_NO_MORE_ITEMS;
    mt->Clear();
    (*mt)->majortype = MEDIATYPE_AnalogVideo;
    (*mt)->subtype = MEDIASUBTYPE_AnalogVideo_NTSC_M;
    (*mt)->formattype = FORMAT_None;
    return S_OK;
  }

 protected:
  HRESULT OnReceive(IMediaSample*) override { return S_OK; }
};

class AnalogOutputPin final : public OutputPin {
 public:
  using OutputPin::OutputPin;
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override {
    return mt.majortype == MEDIATYPE_AnalogVideo ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
  }
  HRESULT GetMediaType(int position, MediaType* mt) override {
    if (position != 0) return VFW_S_NO_MORE_ITEMS;
    mt->Clear();
    (*mt)->majortype = MEDIATYPE_AnalogVideo;
    (*mt)->subtype = MEDIASUBTYPE_AnalogVideo_NTSC_M;
    (*mt)->formattype = FORMAT_None;
    return S_OK;
  }
};
}  // namespace

SyntheticSource::SyntheticSource(SourceOptions options, std::u16string name)
    : SourceFilter(CLSID_VfwCapture, name), options_(std::move(options)) {
  stream_ =
      static_cast<SyntheticStream*>(AddPin(std::make_unique<SyntheticStream>(this, u"Capture")));
}

SyntheticSource::~SyntheticSource() {
  Stop();
}

InputPin* SyntheticSource::AddAnalogInput(const REGPINMEDIUM& medium) {
  auto pin = std::make_unique<AnalogInputPin>(this, u"Analog Video In");
  pin->SetMedium(medium);
  return static_cast<InputPin*>(AddPin(std::move(pin)));
}

// ---- recording sink

RecordingSink::RecordingSink(std::vector<GUID> subtypes, std::u16string name)
    : RendererBase(CLSID_NullRenderer, std::move(name)), subtypes_(std::move(subtypes)) {}

HRESULT RecordingSink::CheckMediaType(const AM_MEDIA_TYPE& mt) {
  if (!(mt.majortype == MEDIATYPE_Video)) return VFW_E_TYPE_NOT_ACCEPTED;
  if (subtypes_.empty()) return S_OK;
  for (const GUID& s : subtypes_)
    if (s == mt.subtype) return S_OK;
  return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT RecordingSink::DoRenderSample(IMediaSample* sample) {
  if (int ms = delayMs_.load()) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  {
    std::lock_guard lock(mutex_);
    last_.assign(data, data + sample->GetActualDataLength());
  }
  count_.fetch_add(1);
  return S_OK;
}

std::vector<BYTE> RecordingSink::LastFrame() const {
  std::lock_guard lock(mutex_);
  return last_;
}

// ---- crossbar

FakeCrossbar::FakeCrossbar(const REGPINMEDIUM& outputMedium, const REGPINMEDIUM& inputMedium)
    : FilterBase(MakeGuid("{71F96460-78F3-11D0-A18C-00A0C9118956}"), u"Crossbar") {
  auto out = std::make_unique<AnalogOutputPin>(this, u"Video Decoder Out");
  out->SetMedium(outputMedium);
  AddPin(std::move(out));
  if (!(inputMedium.clsMedium == GUID_NULL)) {
    auto in = std::make_unique<AnalogInputPin>(this, u"Video Tuner In");
    in->SetMedium(inputMedium);
    AddPin(std::move(in));
  }
}

HRESULT FakeCrossbar::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (!(iid == IID_IUnknown) && MatchInterface<IAMCrossbar>(this, iid, object)) return S_OK;
  return FilterBase::NonDelegatingQueryInterface(iid, object);
}

HRESULT FakeCrossbar::get_PinCounts(long* outputCount, long* inputCount) {
  *outputCount = 1;
  *inputCount = 2;
  return S_OK;
}
HRESULT FakeCrossbar::CanRoute(long o, long i) {
  return o == 0 && (i == 0 || i == 1) ? S_OK : S_FALSE;
}
HRESULT FakeCrossbar::Route(long o, long i) {
  if (CanRoute(o, i) != S_OK) return E_INVALIDARG;
  routed_ = i;
  return S_OK;
}
HRESULT FakeCrossbar::get_IsRoutedTo(long, long* i) {
  *i = routed_;
  return S_OK;
}
HRESULT FakeCrossbar::get_CrossbarPinInfo(BOOL isInput, long index, long* related, long* type) {
  *related = 0;
  *type = isInput ? (index == 0 ? PhysConn_Video_Tuner : PhysConn_Video_Composite)
                  : PhysConn_Video_VideoDecoder;
  return S_OK;
}

// ---- fake device enumerator

namespace {

class FakePropertyBag final : public IPropertyBag, public UnknownImpl {
 public:
  explicit FakePropertyBag(std::u16string name) : name_(std::move(name)) {}
  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (MatchInterface<IPropertyBag>(this, iid, object)) return S_OK;
    return UnknownImpl::NonDelegatingQueryInterface(iid, object);
  }
  HRESULT Read(LPCOLESTR property, VARIANT* value, IErrorLog*) override {
    if (std::u16string(property) != u"FriendlyName") return E_INVALIDARG;
    value->vt = VT_BSTR;
    value->bstrVal = SysAllocStringView(name_);
    return S_OK;
  }
  HRESULT Write(LPCOLESTR, VARIANT*) override { return E_NOTIMPL; }

 private:
  std::u16string name_;
};

class FakeMoniker final : public IMoniker, public UnknownImpl {
 public:
  FakeMoniker(FakeCrossbarDevice device, std::shared_ptr<int> binds)
      : device_(std::move(device)), binds_(std::move(binds)) {}
  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (MatchInterface<IMoniker>(this, iid, object)) return S_OK;
    return UnknownImpl::NonDelegatingQueryInterface(iid, object);
  }
  HRESULT GetClassID(CLSID* clsid) override {
    *clsid = GUID_NULL;
    return S_OK;
  }
  HRESULT BindToObject(IBindCtx*, IMoniker*, REFIID iid, void** object) override {
    ++*binds_;
    ComPtr<FakeCrossbar> crossbar =
        MakeComObject<FakeCrossbar>(device_.outputMedium, device_.inputMedium);
    return crossbar->QueryInterface(iid, object);
  }
  HRESULT BindToStorage(IBindCtx*, IMoniker*, REFIID iid, void** object) override {
    ComPtr<FakePropertyBag> bag = MakeComObject<FakePropertyBag>(device_.friendlyName);
    return bag->QueryInterface(iid, object);
  }
  HRESULT GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR* name) override {
    *name = CoTaskMemDupString(u"@device:test:" + device_.friendlyName);
    return S_OK;
  }
  HRESULT IsEqual(IMoniker* other) override { return other == this ? S_OK : S_FALSE; }

 private:
  FakeCrossbarDevice device_;
  std::shared_ptr<int> binds_;
};

class FakeEnumMoniker final : public IEnumMoniker, public UnknownImpl {
 public:
  explicit FakeEnumMoniker(std::vector<ComPtr<IMoniker>> items) : items_(std::move(items)) {}
  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (MatchInterface<IEnumMoniker>(this, iid, object)) return S_OK;
    return UnknownImpl::NonDelegatingQueryInterface(iid, object);
  }
  HRESULT Next(ULONG count, IMoniker** out, ULONG* fetched) override {
    ULONG n = 0;
    while (n < count && position_ < items_.size()) items_[position_++].CopyTo(&out[n++]);
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    position_ = std::min(items_.size(), position_ + count);
    return S_OK;
  }
  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumMoniker**) override { return E_NOTIMPL; }

 private:
  std::vector<ComPtr<IMoniker>> items_;
  std::size_t position_ = 0;
};

class FakeDeviceEnum final : public ICreateDevEnum, public UnknownImpl {
 public:
  FakeDeviceEnum(std::vector<FakeCrossbarDevice> crossbars, std::shared_ptr<int> binds)
      : crossbars_(std::move(crossbars)), binds_(std::move(binds)) {}
  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (MatchInterface<ICreateDevEnum>(this, iid, object)) return S_OK;
    return UnknownImpl::NonDelegatingQueryInterface(iid, object);
  }
  HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** out, DWORD) override {
    *out = nullptr;
    if (!(category == AM_KSCATEGORY_CROSSBAR) || crossbars_.empty()) return S_FALSE;
    std::vector<ComPtr<IMoniker>> items;
    for (const FakeCrossbarDevice& d : crossbars_)
      items.push_back(MakeComObject<FakeMoniker>(d, binds_));
    *out = new FakeEnumMoniker(std::move(items));
    return S_OK;
  }

 private:
  std::vector<FakeCrossbarDevice> crossbars_;
  std::shared_ptr<int> binds_;
};

}  // namespace

FakeDeviceEnumRegistration::FakeDeviceEnumRegistration(std::vector<FakeCrossbarDevice> crossbars)
    : binds_(std::make_shared<int>(0)),
      registration_(CLSID_SystemDeviceEnum, [crossbars, binds = binds_](REFIID iid, void** object) {
        ComPtr<FakeDeviceEnum> e = MakeComObject<FakeDeviceEnum>(crossbars, binds);
        return e->QueryInterface(iid, object);
      }) {}

REGPINMEDIUM TestMedium(DWORD id) {
  return REGPINMEDIUM{MakeGuid("{A18C2D51-1C4F-4D5E-9F61-3B2C1D0E9F70}"), id, 0};
}
