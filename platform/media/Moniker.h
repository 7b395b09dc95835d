// Device monikers: a device's display name, its property bag, and its filter on demand.
#pragma once

#include <string>
#include <vector>

#include "platform/com/ComPtr.h"
#include "platform/media/DeviceEnumerator.h"

// The class of device monikers (IPersist::GetClassID).
inline constexpr CLSID CLSID_CDeviceMoniker = MakeGuid("{4315D437-5B8C-11D0-BD3B-00A0C911CE86}");

// Parse failures of MkParseDisplayName.
inline constexpr HRESULT MK_E_SYNTAX = MakeFailure(0x800401E4);
inline constexpr HRESULT MK_E_NOOBJECT = MakeFailure(0x800401E5);

// Names one device of one provider. The names are fixed when the moniker is made; the filter is
// made by the provider at BindToObject, so a moniker kept across an unplug fails to bind
// (VFW_E_NOT_FOUND) instead of reaching a device that is gone.
// Thread: any.
class DeviceMoniker final : public IMoniker, public UnknownImpl {
 public:
  DeviceMoniker(std::string provider, DeviceDescription device);

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT GetClassID(CLSID* clsid) override;
  // Any interface of the device's filter (IID_IBaseFilter as the graph asks).
  HRESULT BindToObject(IBindCtx* context, IMoniker* left, REFIID iid, void** object) override;
  // IID_IPropertyBag: a read-only bag with "FriendlyName", "CLSID" (braced text) and, when the
  // device has one, "DevicePath".
  HRESULT BindToStorage(IBindCtx* context, IMoniker* left, REFIID iid, void** object) override;
  HRESULT GetDisplayName(IBindCtx* context, IMoniker* left, LPOLESTR* displayName) override;
  // S_OK for a moniker with the same display name (letter case ignored), else S_FALSE.
  HRESULT IsEqual(IMoniker* other) override;

  const DeviceDescription& Device() const { return device_; }

 private:
  const std::string provider_;
  const DeviceDescription device_;
};

// IEnumMoniker over a snapshot of monikers. Thread: one user at a time.
class EnumMonikerImpl final : public IEnumMoniker, public UnknownImpl {
 public:
  explicit EnumMonikerImpl(std::vector<ComPtr<IMoniker>> monikers, std::size_t position = 0)
      : items_(std::move(monikers)), position_(position) {}
  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT Next(ULONG count, IMoniker** monikers, ULONG* fetched) override;
  HRESULT Skip(ULONG count) override;
  HRESULT Reset() override;
  HRESULT Clone(IEnumMoniker** copy) override;

 private:
  std::vector<ComPtr<IMoniker>> items_;
  std::size_t position_;
};

// Makes the moniker of a present device from its display name ("@device:..."), so a device
// stored by name is found again. MK_E_SYNTAX for a text that is no device display name,
// MK_E_NOOBJECT when no enabled provider lists that device now. *eaten gets the characters used.
HRESULT MkParseDisplayName(IBindCtx* context, LPCOLESTR displayName, ULONG* eaten,
                           IMoniker** moniker);
