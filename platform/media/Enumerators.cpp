#include "platform/media/Enumerators.h"

namespace {

// The shared Next of the three enumerators: copies up to count items out with a reference each.
template <class Item, class Out, class Copy>
HRESULT NextItems(const std::vector<Item>& items, std::size_t& position, ULONG count, Out* out,
                  ULONG* fetched, Copy copy) {
  if (!out) return E_POINTER;
  if (count > 1 && !fetched) return E_POINTER;
  ULONG n = 0;
  while (n < count && position < items.size()) {
    if (!copy(items[position], &out[n])) break;
    ++n;
    ++position;
  }
  if (fetched) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}

HRESULT SkipItems(std::size_t size, std::size_t& position, ULONG count) {
  const std::size_t left = size - position;
  if (count > left) {
    position = size;
    return S_FALSE;
  }
  position += count;
  return S_OK;
}

}  // namespace

HRESULT EnumPinsImpl::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (MatchInterface<IEnumPins>(this, iid, object)) return S_OK;
  return UnknownImpl::NonDelegatingQueryInterface(iid, object);
}
HRESULT EnumPinsImpl::Next(ULONG count, IPin** pins, ULONG* fetched) {
  return NextItems(items_, position_, count, pins, fetched, [](const ComPtr<IPin>& p, IPin** o) {
    p.CopyTo(o);
    return true;
  });
}
HRESULT EnumPinsImpl::Skip(ULONG count) {
  return SkipItems(items_.size(), position_, count);
}
HRESULT EnumPinsImpl::Reset() {
  position_ = 0;
  return S_OK;
}
HRESULT EnumPinsImpl::Clone(IEnumPins** copy) {
  if (!copy) return E_POINTER;
  *copy = new EnumPinsImpl(items_, position_);
  return S_OK;
}

HRESULT EnumFiltersImpl::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (MatchInterface<IEnumFilters>(this, iid, object)) return S_OK;
  return UnknownImpl::NonDelegatingQueryInterface(iid, object);
}
HRESULT EnumFiltersImpl::Next(ULONG count, IBaseFilter** filters, ULONG* fetched) {
  return NextItems(items_, position_, count, filters, fetched,
                   [](const ComPtr<IBaseFilter>& f, IBaseFilter** o) {
                     f.CopyTo(o);
                     return true;
                   });
}
HRESULT EnumFiltersImpl::Skip(ULONG count) {
  return SkipItems(items_.size(), position_, count);
}
HRESULT EnumFiltersImpl::Reset() {
  position_ = 0;
  return S_OK;
}
HRESULT EnumFiltersImpl::Clone(IEnumFilters** copy) {
  if (!copy) return E_POINTER;
  *copy = new EnumFiltersImpl(items_, position_);
  return S_OK;
}

HRESULT EnumMediaTypesImpl::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (MatchInterface<IEnumMediaTypes>(this, iid, object)) return S_OK;
  return UnknownImpl::NonDelegatingQueryInterface(iid, object);
}
HRESULT EnumMediaTypesImpl::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) {
  return NextItems(items_, position_, count, types, fetched,
                   [](const MediaType& mt, AM_MEDIA_TYPE** o) {
                     *o = CreateMediaType(mt.Get());
                     return *o != nullptr;
                   });
}
HRESULT EnumMediaTypesImpl::Skip(ULONG count) {
  return SkipItems(items_.size(), position_, count);
}
HRESULT EnumMediaTypesImpl::Reset() {
  position_ = 0;
  return S_OK;
}
HRESULT EnumMediaTypesImpl::Clone(IEnumMediaTypes** copy) {
  if (!copy) return E_POINTER;
  *copy = new EnumMediaTypesImpl(items_, position_);
  return S_OK;
}

std::vector<ComPtr<IPin>> ListPins(IBaseFilter* filter) {
  std::vector<ComPtr<IPin>> pins;
  ComPtr<IEnumPins> e;
  if (!filter || FAILED(filter->EnumPins(e.ReleaseAndGetAddressOf())) || !e) return pins;
  IPin* pin = nullptr;
  while (e->Next(1, &pin, nullptr) == S_OK) {
    ComPtr<IPin> p;
    p.Attach(pin);
    pins.push_back(std::move(p));
  }
  return pins;
}

std::vector<MediaType> ListMediaTypes(IPin* pin) {
  std::vector<MediaType> types;
  ComPtr<IEnumMediaTypes> e;
  if (!pin || FAILED(pin->EnumMediaTypes(e.ReleaseAndGetAddressOf())) || !e) return types;
  AM_MEDIA_TYPE* mt = nullptr;
  while (e->Next(1, &mt, nullptr) == S_OK) {
    types.emplace_back(*mt);
    DeleteMediaType(mt);
  }
  return types;
}
