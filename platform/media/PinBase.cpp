#include "platform/media/PinBase.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/media/Enumerators.h"
#include "platform/media/FilterBase.h"

PinBase::PinBase(FilterBase* filter, PIN_DIRECTION direction, std::u16string name)
    : UnknownImpl(filter), filter_(filter), direction_(direction), name_(std::move(name)) {}

PinBase::~PinBase() = default;

HRESULT PinBase::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (MatchInterface<IPin>(this, iid, object)) return S_OK;
  if (!(category_ == GUID_NULL) && MatchInterface<IKsPropertySet>(this, iid, object)) return S_OK;
  if (hasMedium_ && MatchInterface<IKsPin>(this, iid, object)) return S_OK;
  return UnknownImpl::NonDelegatingQueryInterface(iid, object);
}

HRESULT PinBase::GetMediaType(int, MediaType*) {
  return VFW_S_NO_MORE_ITEMS;
}

HRESULT PinBase::CompleteConnect(IPin*) {
  return S_OK;
}

HRESULT PinBase::CheckConnectable(IPin* other, PIN_DIRECTION otherMustBe) const {
  if (!other) return E_POINTER;
  if (peer_) return VFW_E_ALREADY_CONNECTED;
  if (!filter_->IsStopped()) return VFW_E_NOT_STOPPED;
  PIN_DIRECTION dir;
  if (FAILED(other->QueryDirection(&dir)) || dir != otherMustBe) return VFW_E_INVALID_DIRECTION;
  return S_OK;
}

void PinBase::SetConnection(IPin* peer, const AM_MEDIA_TYPE& mt) {
  peer_ = peer;
  mediaType_ = MediaType(mt);
}

void PinBase::ClearConnection() {
  peer_.Reset();
  mediaType_.Clear();
}

HRESULT PinBase::Disconnect() {
  if (!filter_->IsStopped()) return VFW_E_NOT_STOPPED;
  if (!peer_) return S_FALSE;
  BreakConnect();
  ClearConnection();
  return S_OK;
}

HRESULT PinBase::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  *pin = nullptr;
  if (!peer_) return VFW_E_NOT_CONNECTED;
  return peer_.CopyTo(pin);
}

HRESULT PinBase::ConnectionMediaType(AM_MEDIA_TYPE* mt) {
  if (!mt) return E_POINTER;
  if (!peer_) {
    std::memset(mt, 0, sizeof *mt);
    return VFW_E_NOT_CONNECTED;
  }
  return mediaType_.CopyTo(mt);
}

HRESULT PinBase::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = filter_;
  filter_->AddRef();
  info->dir = direction_;
  CopyName(name_, info->achName, MAX_PIN_NAME);
  return S_OK;
}

HRESULT PinBase::QueryDirection(PIN_DIRECTION* direction) {
  if (!direction) return E_POINTER;
  *direction = direction_;
  return S_OK;
}

HRESULT PinBase::QueryId(LPWSTR* id) {
  if (!id) return E_POINTER;
  *id = CoTaskMemDupString(name_);
  return *id ? S_OK : E_OUTOFMEMORY;
}

HRESULT PinBase::QueryAccept(const AM_MEDIA_TYPE* mt) {
  if (!mt) return E_POINTER;
  return CheckMediaType(*mt) == S_OK ? S_OK : S_FALSE;
}

HRESULT PinBase::EnumMediaTypes(IEnumMediaTypes** types) {
  if (!types) return E_POINTER;
  std::vector<MediaType> list;
  for (int i = 0;; ++i) {
    MediaType mt;
    if (GetMediaType(i, &mt) != S_OK) break;
    list.push_back(std::move(mt));
  }
  *types = new EnumMediaTypesImpl(std::move(list));
  return S_OK;
}

HRESULT PinBase::QueryInternalConnections(IPin**, ULONG*) {
  return E_NOTIMPL;
}

HRESULT PinBase::NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) {
  return S_OK;
}

HRESULT PinBase::Set(REFGUID, DWORD, void*, DWORD, void*, DWORD) {
  return E_PROP_ID_UNSUPPORTED;
}

HRESULT PinBase::Get(REFGUID set, DWORD id, void*, DWORD, void* data, DWORD dataLength,
                     DWORD* returned) {
  if (!(set == AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (!data && !returned) return E_POINTER;
  if (returned) *returned = sizeof(GUID);
  if (!data) return S_OK;
  if (dataLength < sizeof(GUID)) return E_UNEXPECTED;
  std::memcpy(data, &category_, sizeof(GUID));
  return S_OK;
}

HRESULT PinBase::QuerySupported(REFGUID set, DWORD id, DWORD* support) {
  if (!(set == AMPROPSETID_Pin)) return E_PROP_SET_UNSUPPORTED;
  if (id != AMPROPERTY_PIN_CATEGORY) return E_PROP_ID_UNSUPPORTED;
  if (support) *support = KSPROPERTY_SUPPORT_GET;
  return S_OK;
}

HRESULT PinBase::KsQueryMediums(KSMULTIPLE_ITEM** mediums) {
  if (!mediums) return E_POINTER;
  const ULONG count = hasMedium_ ? 1 : 0;
  const ULONG size = sizeof(KSMULTIPLE_ITEM) + count * sizeof(REGPINMEDIUM);
  auto* list = static_cast<KSMULTIPLE_ITEM*>(CoTaskMemAlloc(size));
  if (!list) return E_OUTOFMEMORY;
  list->Size = size;
  list->Count = count;
  if (count) std::memcpy(list + 1, &medium_, sizeof medium_);
  *mediums = list;
  return S_OK;
}

// ---- OutputPin

OutputPin::OutputPin(FilterBase* filter, std::u16string name)
    : PinBase(filter, PINDIR_OUTPUT, std::move(name)) {}

HRESULT OutputPin::TryConnection(IPin* receivePin, const AM_MEDIA_TYPE& mt) {
  if (CheckMediaType(mt) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  SetConnection(receivePin, mt);
  HRESULT hr = receivePin->ReceiveConnection(this, &mt);
  if (SUCCEEDED(hr)) {
    hr = CompleteConnect(receivePin);
    if (SUCCEEDED(hr)) return S_OK;
    receivePin->Disconnect();
    BreakConnect();
  }
  ClearConnection();
  return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT OutputPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) {
  if (HRESULT hr = CheckConnectable(receivePin, PINDIR_INPUT); FAILED(hr)) return hr;
  // A type with every part given is tried alone.
  if (mt && !(mt->majortype == GUID_NULL) && !(mt->subtype == GUID_NULL) &&
      !(mt->formattype == GUID_NULL) && mt->pbFormat)
    return TryConnection(receivePin, *mt);

  // The receiver's preferences first, then ours; each has to fit the partial type if one was given.
  std::vector<MediaType> candidates = ListMediaTypes(receivePin);
  for (int i = 0;; ++i) {
    MediaType own;
    if (GetMediaType(i, &own) != S_OK) break;
    candidates.push_back(std::move(own));
  }
  for (const MediaType& candidate : candidates) {
    if (mt && !MediaTypeMatchesPartial(*candidate, *mt)) continue;
    if (SUCCEEDED(TryConnection(receivePin, *candidate))) return S_OK;
  }
  return VFW_E_NO_ACCEPTABLE_TYPES;
}

HRESULT OutputPin::ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) {
  return E_UNEXPECTED;
}
HRESULT OutputPin::EndOfStream() {
  return E_UNEXPECTED;
}
HRESULT OutputPin::BeginFlush() {
  return E_UNEXPECTED;
}
HRESULT OutputPin::EndFlush() {
  return E_UNEXPECTED;
}

HRESULT OutputPin::CompleteConnect(IPin* peer) {
  ComPtr<IMemInputPin> memInput = ComQuery<IMemInputPin>(peer);
  if (!memInput) return VFW_E_NO_TRANSPORT;
  memInput_ = std::move(memInput);
  return S_OK;
}

void OutputPin::BreakConnect() {
  memInput_.Reset();
}

void OutputPin::Inactive() {
  pool_.Cancel();
  pool_.Clear();
}

HRESULT OutputPin::GetDeliveryBuffer(long size, IMediaSample** sample) {
  return pool_.GetSample(size, sample);
}

long OutputPin::SampleSize() const {
  const AM_MEDIA_TYPE& mt = *mediaType_;
  if (mt.lSampleSize) return static_cast<long>(mt.lSampleSize);
  if (const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(mt)) {
    if (bih->biSizeImage) return static_cast<long>(bih->biSizeImage);
    const long long width = bih->biWidth;
    const long long height = std::llabs(static_cast<long long>(bih->biHeight));
    const DWORD bytes = SubtypeFrameBytes(mt.subtype, bih->biWidth,
                                          static_cast<int>(std::min(height, 0x7FFFFFFFll)));
    if (bytes) return static_cast<long>(bytes);
    // 32 bits a pixel, in 64 bits: a size too large to allocate fails as such.
    if (width <= 0 || height == 0) return 1 << 16;
    const long long row = (width * 32 + 31) / 32 * 4;
    constexpr long kLargest = std::numeric_limits<long>::max();
    return row <= kLargest / height ? static_cast<long>(row * height) : kLargest;
  }
  return 1 << 16;
}

HRESULT OutputPin::Deliver(IMediaSample* sample) {
  if (!memInput_) return VFW_E_NOT_CONNECTED;
  return memInput_->Receive(sample);
}

HRESULT OutputPin::DeliverEndOfStream() {
  return peer_ ? peer_->EndOfStream() : VFW_E_NOT_CONNECTED;
}
HRESULT OutputPin::DeliverBeginFlush() {
  return peer_ ? peer_->BeginFlush() : VFW_E_NOT_CONNECTED;
}
HRESULT OutputPin::DeliverEndFlush() {
  return peer_ ? peer_->EndFlush() : VFW_E_NOT_CONNECTED;
}

// ---- InputPin

InputPin::InputPin(FilterBase* filter, std::u16string name)
    : PinBase(filter, PINDIR_INPUT, std::move(name)) {}

HRESULT InputPin::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (!(iid == IID_IUnknown) && MatchInterface<IMemInputPin>(this, iid, object)) return S_OK;
  return PinBase::NonDelegatingQueryInterface(iid, object);
}

HRESULT InputPin::Connect(IPin*, const AM_MEDIA_TYPE*) {
  return E_UNEXPECTED;
}

HRESULT InputPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) {
  if (HRESULT hr = CheckConnectable(connector, PINDIR_OUTPUT); FAILED(hr)) return hr;
  if (!mt) return E_POINTER;
  if (CheckMediaType(*mt) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  SetConnection(connector, *mt);
  if (HRESULT hr = CompleteConnect(connector); FAILED(hr)) {
    BreakConnect();
    ClearConnection();
    return hr;
  }
  return S_OK;
}

HRESULT InputPin::EndOfStream() {
  if (IsFlushing()) return S_FALSE;
  return OnEndOfStream();
}

HRESULT InputPin::BeginFlush() {
  flushing_.store(true, std::memory_order_release);
  return S_OK;
}

HRESULT InputPin::EndFlush() {
  flushing_.store(false, std::memory_order_release);
  return S_OK;
}

HRESULT InputPin::GetAllocator(IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  *allocator = nullptr;
  return VFW_E_NO_ALLOCATOR;
}

HRESULT InputPin::NotifyAllocator(IMemAllocator*, BOOL) {
  return S_OK;
}
HRESULT InputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) {
  return E_NOTIMPL;
}

HRESULT InputPin::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  if (filter_->IsStopped()) return VFW_E_WRONG_STATE;
  if (IsFlushing()) return S_FALSE;
  return OnReceive(sample);
}

HRESULT InputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
  if (!samples || !processed) return E_POINTER;
  *processed = 0;
  HRESULT hr = S_OK;
  while (*processed < count) {
    hr = Receive(samples[*processed]);
    if (hr != S_OK) break;
    ++*processed;
  }
  return hr;
}

HRESULT InputPin::ReceiveCanBlock() {
  return S_FALSE;
}
