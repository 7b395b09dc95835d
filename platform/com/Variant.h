// BSTR strings and a minimal VARIANT, enough for property bags (text, integers, booleans).
#pragma once

#include <string_view>

#include "platform/com/Result.h"
#include "platform/com/Types.h"

// A length-prefixed UTF-16 string in its own allocation; nullptr is the empty string.
using BSTR = OLECHAR*;

BSTR SysAllocString(LPCOLESTR text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
BSTR SysAllocStringView(std::u16string_view text);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);

using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_I4 = 3,
  VT_BSTR = 8,
  VT_BOOL = 11,
  VT_UI4 = 19,
};

struct VARIANT {
  VARTYPE vt;
  union {
    LONG lVal;
    ULONG ulVal;
    VARIANT_BOOL boolVal;
    BSTR bstrVal;
  };
};

// Sets the variant empty without freeing anything (for fresh variables).
void VariantInit(VARIANT* v);
// Frees what the variant owns and leaves it empty.
HRESULT VariantClear(VARIANT* v);
// Deep copy: destination is cleared first, a BSTR is duplicated.
HRESULT VariantCopy(VARIANT* destination, const VARIANT* source);
