// Loading a library from a file and finding its exports, over dlopen, dlsym and dlclose.
#pragma once

#include <string>

#include "platform/com/Types.h"

using HMODULE = void*;
using FARPROC = void (*)();

inline constexpr UINT SEM_FAILCRITICALERRORS = 0x0001;
inline constexpr UINT SEM_NOOPENFILEERRORBOX = 0x8000;

// Loads the library at path (symbols resolved now, kept local to it); nullptr on failure, with
// the reason in LastLibraryError(). Loading the same file again counts a reference.
HMODULE LoadLibraryA(const char* path);
// The export's address, nullptr if the library has none by that name (reason kept as above).
FARPROC GetProcAddress(HMODULE module, const char* name);
// Drops one reference; the library unloads with the last. FALSE for a null handle or a failure.
BOOL FreeLibrary(HMODULE module);
// The reason of the calling thread's last failed load, lookup or free ("" after a success).
std::string LastLibraryError();

// The error mode is kept and answered: there are no error dialogs to suppress here.
// Thread: any; the mode is process-wide.
UINT SetErrorMode(UINT mode);
