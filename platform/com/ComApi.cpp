#include "platform/com/ComApi.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

thread_local int tInitCount = 0;

struct ClassEntry {
  DWORD cookie;
  CLSID clsid;
  ClassFactoryFunction factory;
};

// The process's in-process class table. Later entries shadow earlier ones of the same class.
struct ClassTable {
  std::mutex mutex;  // guards entries and nextCookie
  std::vector<ClassEntry> entries;
  DWORD nextCookie = 1;
};

ClassTable& Table() {
  static ClassTable table;  // never destroyed before the last static registration is revoked
  return table;
}

}  // namespace

HRESULT CoInitialize(void* reserved) {
  return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

HRESULT CoInitializeEx(void*, DWORD) {
  return tInitCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (tInitCount > 0) --tInitCount;
}

int CoInitializeCount() {
  return tInitCount;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID iid,
                         void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (tInitCount == 0) return CO_E_NOTINITIALIZED;
  if (outer) return CLASS_E_NOAGGREGATION;
  if ((clsContext & (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER)) == 0) return REGDB_E_CLASSNOTREG;
  ClassFactoryFunction factory;
  {
    ClassTable& table = Table();
    std::lock_guard lock(table.mutex);
    for (auto it = table.entries.rbegin(); it != table.entries.rend(); ++it) {
      if (it->clsid == clsid) {
        factory = it->factory;
        break;
      }
    }
  }
  if (!factory) return REGDB_E_CLASSNOTREG;
  const HRESULT hr = factory(iid, object);
  if (FAILED(hr)) *object = nullptr;
  return hr;
}

DWORD CoRegisterInprocClass(REFCLSID clsid, ClassFactoryFunction factory) {
  ClassTable& table = Table();
  std::lock_guard lock(table.mutex);
  const DWORD cookie = table.nextCookie++;
  table.entries.push_back({cookie, clsid, std::move(factory)});
  return cookie;
}

HRESULT CoRevokeInprocClass(DWORD cookie) {
  ClassFactoryFunction doomed;  // destroyed after the lock is released
  ClassTable& table = Table();
  std::lock_guard lock(table.mutex);
  for (auto it = table.entries.begin(); it != table.entries.end(); ++it) {
    if (it->cookie == cookie) {
      doomed = std::move(it->factory);
      table.entries.erase(it);
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

void* CoTaskMemAlloc(std::size_t bytes) {
  return std::malloc(bytes ? bytes : 1);
}

void* CoTaskMemRealloc(void* block, std::size_t bytes) {
  return std::realloc(block, bytes ? bytes : 1);
}

void CoTaskMemFree(void* block) {
  std::free(block);
}

std::size_t OleStrLen(LPCOLESTR text) {
  if (!text) return 0;
  std::size_t n = 0;
  while (text[n]) ++n;
  return n;
}

LPOLESTR CoTaskMemDupString(std::u16string_view text) {
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
  if (!copy) return nullptr;
  std::memcpy(copy, text.data(), text.size() * sizeof(OLECHAR));
  copy[text.size()] = 0;
  return copy;
}

HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text) {
  if (!text) return E_POINTER;
  const std::string narrow = GuidToString(clsid);
  *text = CoTaskMemDupString(std::u16string(narrow.begin(), narrow.end()));
  return *text ? S_OK : E_OUTOFMEMORY;
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid) {
  if (!text || !clsid) return E_POINTER;
  std::string narrow;
  for (std::size_t i = 0; text[i]; ++i) {
    if (text[i] > 0x7F || i > 40) return CO_E_CLASSSTRING;
    narrow.push_back(static_cast<char>(text[i]));
  }
  const std::optional<GUID> g = ParseGuid(narrow);
  if (!g) return CO_E_CLASSSTRING;
  *clsid = *g;
  return S_OK;
}
