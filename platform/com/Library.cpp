#include "platform/com/Library.h"

#include <atomic>
#include <dlfcn.h>

namespace {

thread_local std::string tLastError;
std::atomic<UINT> gErrorMode{0};

// dlerror's text is per thread and read once; keep it for LastLibraryError.
void KeepError(const char* fallback) {
  const char* text = dlerror();
  tLastError = text ? text : fallback;
}

}  // namespace

HMODULE LoadLibraryA(const char* path) {
  if (!path || !*path) {
    tLastError = "no library path given";
    return nullptr;
  }
  dlerror();
  HMODULE module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!module)
    KeepError("library could not be loaded");
  else
    tLastError.clear();
  return module;
}

FARPROC GetProcAddress(HMODULE module, const char* name) {
  if (!module || !name) {
    tLastError = "no library or export name given";
    return nullptr;
  }
  dlerror();
  void* address = dlsym(module, name);
  // A symbol may legitimately be at address 0 only for special symbols; dlerror tells failures.
  if (const char* text = dlerror()) {
    tLastError = text;
    return nullptr;
  }
  if (!address) {
    tLastError = std::string("export ") + name + " has no address";
    return nullptr;
  }
  tLastError.clear();
  return reinterpret_cast<FARPROC>(address);
}

BOOL FreeLibrary(HMODULE module) {
  if (!module) {
    tLastError = "no library given";
    return FALSE;
  }
  dlerror();
  if (dlclose(module) != 0) {
    KeepError("library could not be unloaded");
    return FALSE;
  }
  tLastError.clear();
  return TRUE;
}

std::string LastLibraryError() {
  return tLastError;
}

UINT SetErrorMode(UINT mode) {
  return gErrorMode.exchange(mode);
}
