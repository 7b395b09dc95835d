// Component-object runtime: per-thread initialisation, object creation by class, task memory.
#pragma once

#include <functional>
#include <string_view>

#include "platform/com/Guid.h"
#include "platform/com/Result.h"
#include "platform/com/Unknown.h"

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_ALL = 0x17;

inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// Counts initialisations of the calling thread: the first answers S_OK, later ones S_FALSE.
// Every successful call needs one CoUninitialize. Objects can only be created by CoCreateInstance
// on a thread whose count is above zero (else CO_E_NOTINITIALIZED).
HRESULT CoInitialize(void* reserved);
HRESULT CoInitializeEx(void* reserved, DWORD coInit);
void CoUninitialize();
// Initialisations of the calling thread not yet undone.
int CoInitializeCount();

// Creates an object of a registered in-process class and queries iid on it. Only in-process
// classes exist here: a context that allows neither in-process nor local server gives
// REGDB_E_CLASSNOTREG, as does an unknown class. Aggregation is not supported.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID iid,
                         void** object);

// Makes a new object and answers iid on it (the factory releases its own reference).
using ClassFactoryFunction = std::function<HRESULT(REFIID iid, void** object)>;

// Registers a class for CoCreateInstance. A later registration of the same class shadows the
// earlier one until it is revoked (tests put a stand-in before a real class this way).
// Returns a cookie for CoRevokeInprocClass, never 0. Thread: any; the table has its own lock,
// which is not held while a factory runs.
DWORD CoRegisterInprocClass(REFCLSID clsid, ClassFactoryFunction factory);
HRESULT CoRevokeInprocClass(DWORD cookie);

// Registration tied to a scope: revoked by the destructor.
class ScopedClassRegistration {
 public:
  ScopedClassRegistration(REFCLSID clsid, ClassFactoryFunction factory)
      : cookie_(CoRegisterInprocClass(clsid, std::move(factory))) {}
  ~ScopedClassRegistration() { CoRevokeInprocClass(cookie_); }
  ScopedClassRegistration(const ScopedClassRegistration&) = delete;
  ScopedClassRegistration& operator=(const ScopedClassRegistration&) = delete;

 private:
  DWORD cookie_;
};

// Memory handed across interfaces: whoever receives it frees it with CoTaskMemFree.
void* CoTaskMemAlloc(std::size_t bytes);
void* CoTaskMemRealloc(void* block, std::size_t bytes);
void CoTaskMemFree(void* block);

// Copies text into task memory (nullptr if out of memory).
LPOLESTR CoTaskMemDupString(std::u16string_view text);
std::size_t OleStrLen(LPCOLESTR text);

// Braced upper-case text of a class identity in task memory, freed with CoTaskMemFree.
HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text);
// Parses the braced text in either letter case; CO_E_CLASSSTRING if it is not a GUID text.
HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid);
