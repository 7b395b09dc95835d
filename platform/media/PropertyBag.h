// Property bags: named values of a device (its "FriendlyName", "CLSID", "DevicePath").
#pragma once

#include <map>
#include <mutex>
#include <string>

#include "platform/media/DeviceInterfaces.h"

// Values are kept as variants and copied out on Read. A read-only bag (a device's names)
// refuses Write with E_ACCESSDENIED. Thread: any (mutex_ guards values_).
class PropertyBag final : public IPropertyBag, public UnknownImpl {
 public:
  enum class Access { None, ReadOnly, ReadWrite };
  explicit PropertyBag(Access access = Access::ReadWrite);
  ~PropertyBag() override;

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // Read: E_INVALIDARG for an unknown name; DISP_E_TYPEMISMATCH when the caller asks for a
  // type (value->vt not VT_EMPTY) other than the stored one. The caller frees *value with
  // VariantClear.
  HRESULT Read(LPCOLESTR propertyName, VARIANT* value, IErrorLog* errorLog) override;
  HRESULT Write(LPCOLESTR propertyName, VARIANT* value) override;

  // Fills the bag before it is handed out, whatever its access.
  void SetString(std::u16string_view name, std::u16string_view value);

 private:
  const Access access_;
  std::mutex mutex_;
  std::map<std::u16string, VARIANT> values_;
};
