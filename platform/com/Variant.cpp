#include "platform/com/Variant.h"

#include <cstdlib>
#include <cstring>

// Layout: a 32-bit byte length, then the characters and a terminating zero. BSTR points at the
// characters, so it can be read as a plain zero-terminated string.
BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  auto* block = static_cast<std::uint32_t*>(
      std::malloc(sizeof(std::uint32_t) + (std::size_t{length} + 1) * sizeof(OLECHAR)));
  if (!block) return nullptr;
  block[0] = length * sizeof(OLECHAR);
  auto* chars = reinterpret_cast<OLECHAR*>(block + 1);
  if (text)
    std::memcpy(chars, text, std::size_t{length} * sizeof(OLECHAR));
  else
    std::memset(chars, 0, std::size_t{length} * sizeof(OLECHAR));
  chars[length] = 0;
  return chars;
}

BSTR SysAllocString(LPCOLESTR text) {
  if (!text) return nullptr;
  UINT n = 0;
  while (text[n]) ++n;
  return SysAllocStringLen(text, n);
}

BSTR SysAllocStringView(std::u16string_view text) {
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

void SysFreeString(BSTR text) {
  if (text) std::free(reinterpret_cast<std::uint32_t*>(text) - 1);
}

UINT SysStringLen(BSTR text) {
  if (!text) return 0;
  return reinterpret_cast<std::uint32_t*>(text)[-1] / sizeof(OLECHAR);
}

void VariantInit(VARIANT* v) {
  v->vt = VT_EMPTY;
  v->ulVal = 0;
}

HRESULT VariantClear(VARIANT* v) {
  if (!v) return E_POINTER;
  if (v->vt == VT_BSTR) SysFreeString(v->bstrVal);
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* destination, const VARIANT* source) {
  if (!destination || !source) return E_POINTER;
  if (destination == source) return S_OK;
  VariantClear(destination);
  if (source->vt == VT_BSTR) {
    BSTR copy = source->bstrVal ? SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal))
                                : nullptr;
    if (source->bstrVal && !copy) return E_OUTOFMEMORY;
    destination->vt = VT_BSTR;
    destination->bstrVal = copy;
    return S_OK;
  }
  *destination = *source;
  return S_OK;
}
