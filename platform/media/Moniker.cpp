#include "platform/media/Moniker.h"

#include <QString>

#include "platform/media/PropertyBag.h"

namespace {

bool SameName(std::u16string_view a, std::u16string_view b) {
  return QString::fromRawData(reinterpret_cast<const QChar*>(a.data()),
                              static_cast<qsizetype>(a.size()))
             .compare(QString::fromRawData(reinterpret_cast<const QChar*>(b.data()),
                                           static_cast<qsizetype>(b.size())),
                      Qt::CaseInsensitive) == 0;
}

}  // namespace

DeviceMoniker::DeviceMoniker(std::string provider, DeviceDescription device)
    : provider_(std::move(provider)), device_(std::move(device)) {}

HRESULT DeviceMoniker::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (MatchInterface<IMoniker>(this, iid, object)) return S_OK;
  if (iid == IID_IUnknown) {
    AddRef();
    *object = static_cast<IMoniker*>(this);
    return S_OK;
  }
  return UnknownImpl::NonDelegatingQueryInterface(iid, object);
}

HRESULT DeviceMoniker::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_CDeviceMoniker;
  return S_OK;
}

HRESULT DeviceMoniker::BindToObject(IBindCtx*, IMoniker* left, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (left) return E_INVALIDARG;
  std::shared_ptr<DeviceProvider> provider = DeviceProviderRegistry::Instance().Find(provider_);
  if (!provider) return VFW_E_NOT_FOUND;
  ComPtr<IBaseFilter> filter;
  HRESULT hr = provider->CreateFilter(device_.category, device_.displayName,
                                      filter.ReleaseAndGetAddressOf());
  if (FAILED(hr)) return hr;
  if (!filter) return E_UNEXPECTED;
  return filter->QueryInterface(iid, object);
}

HRESULT DeviceMoniker::BindToStorage(IBindCtx*, IMoniker* left, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (left) return E_INVALIDARG;
  if (!(iid == IID_IPropertyBag)) return E_NOINTERFACE;
  ComPtr<PropertyBag> bag = MakeComObject<PropertyBag>(PropertyBag::Access::ReadOnly);
  bag->SetString(u"FriendlyName", device_.friendlyName);
  bag->SetString(u"CLSID", QString::fromStdString(GuidToString(device_.clsid)).toStdU16String());
  if (!device_.devicePath.empty()) bag->SetString(u"DevicePath", device_.devicePath);
  return bag->QueryInterface(iid, object);
}

HRESULT DeviceMoniker::GetDisplayName(IBindCtx*, IMoniker* left, LPOLESTR* displayName) {
  if (!displayName) return E_POINTER;
  *displayName = nullptr;
  if (left) return E_INVALIDARG;
  *displayName = CoTaskMemDupString(device_.displayName);
  return *displayName ? S_OK : E_OUTOFMEMORY;
}

HRESULT DeviceMoniker::IsEqual(IMoniker* other) {
  if (!other) return E_INVALIDARG;
  LPOLESTR name = nullptr;
  if (FAILED(other->GetDisplayName(nullptr, nullptr, &name)) || !name) return S_FALSE;
  const bool same = SameName(device_.displayName, std::u16string_view(name, OleStrLen(name)));
  CoTaskMemFree(name);
  return same ? S_OK : S_FALSE;
}

// ---- EnumMonikerImpl

HRESULT EnumMonikerImpl::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (MatchInterface<IEnumMoniker>(this, iid, object)) return S_OK;
  return UnknownImpl::NonDelegatingQueryInterface(iid, object);
}

HRESULT EnumMonikerImpl::Next(ULONG count, IMoniker** monikers, ULONG* fetched) {
  if (!monikers) return E_POINTER;
  if (count > 1 && !fetched) return E_INVALIDARG;
  ULONG n = 0;
  while (n < count && position_ < items_.size()) items_[position_++].CopyTo(&monikers[n++]);
  if (fetched) *fetched = n;
  return n == count ? S_OK : S_FALSE;
}

HRESULT EnumMonikerImpl::Skip(ULONG count) {
  const std::size_t left = items_.size() - position_;
  position_ += std::min<std::size_t>(count, left);
  return count <= left ? S_OK : S_FALSE;
}

HRESULT EnumMonikerImpl::Reset() {
  position_ = 0;
  return S_OK;
}

HRESULT EnumMonikerImpl::Clone(IEnumMoniker** copy) {
  if (!copy) return E_POINTER;
  *copy = new EnumMonikerImpl(items_, position_);
  return S_OK;
}

// ---- parsing

HRESULT MkParseDisplayName(IBindCtx*, LPCOLESTR displayName, ULONG* eaten, IMoniker** moniker) {
  if (!displayName || !eaten || !moniker) return E_POINTER;
  *moniker = nullptr;
  *eaten = 0;
  const std::u16string_view name(displayName, OleStrLen(displayName));
  if (name.size() <= 8 || !SameName(name.substr(0, 8), u"@device:")) return MK_E_SYNTAX;
  FoundDevice found;
  if (!FindDeviceByDisplayName(name, &found)) return MK_E_NOOBJECT;
  *moniker = new DeviceMoniker(std::move(found.provider), std::move(found.device));
  *eaten = static_cast<ULONG>(name.size());
  return S_OK;
}
