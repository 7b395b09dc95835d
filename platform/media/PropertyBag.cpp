#include "platform/media/PropertyBag.h"

PropertyBag::PropertyBag(Access access) : access_(access) {}

PropertyBag::~PropertyBag() {
  for (auto& [name, value] : values_) VariantClear(&value);
}

HRESULT PropertyBag::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (MatchInterface<IPropertyBag>(this, iid, object)) return S_OK;
  if (iid == IID_IUnknown) {
    AddRef();
    *object = static_cast<IPropertyBag*>(this);
    return S_OK;
  }
  return UnknownImpl::NonDelegatingQueryInterface(iid, object);
}

HRESULT PropertyBag::Read(LPCOLESTR propertyName, VARIANT* value, IErrorLog*) {
  if (!propertyName || !value) return E_POINTER;
  std::lock_guard lock(mutex_);
  const auto it = values_.find(std::u16string(propertyName));
  if (it == values_.end()) return E_INVALIDARG;
  if (value->vt != VT_EMPTY && value->vt != it->second.vt) return DISP_E_TYPEMISMATCH;
  // The caller's variant holds nothing of its own yet (only the type it asks for).
  VariantInit(value);
  return VariantCopy(value, &it->second);
}

HRESULT PropertyBag::Write(LPCOLESTR propertyName, VARIANT* value) {
  if (!propertyName || !value) return E_POINTER;
  if (access_ != Access::ReadWrite) return E_ACCESSDENIED;
  VARIANT copy;
  VariantInit(&copy);
  if (HRESULT hr = VariantCopy(&copy, value); FAILED(hr)) return hr;
  std::lock_guard lock(mutex_);
  VARIANT& slot = values_[std::u16string(propertyName)];
  if (slot.vt != VT_EMPTY) VariantClear(&slot);
  slot = copy;
  return S_OK;
}

void PropertyBag::SetString(std::u16string_view name, std::u16string_view value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocStringView(value);
  std::lock_guard lock(mutex_);
  auto [it, inserted] = values_.try_emplace(std::u16string(name));
  if (!inserted) VariantClear(&it->second);
  it->second = v;
}
