// The current user's registry: keys as backslash paths with typed values, stored in SQLite.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using LONG = std::int32_t;
using DWORD = std::uint32_t;
using BYTE = std::uint8_t;
using REGSAM = std::uint32_t;

struct TRegKeyHandle;
using HKEY = TRegKeyHandle*;

// The one root of this store. Key names compare without regard to ASCII letter case.
inline HKEY const HKEY_CURRENT_USER =
    reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u));

inline constexpr LONG ERROR_SUCCESS = 0;
inline constexpr LONG ERROR_FILE_NOT_FOUND = 2;
inline constexpr LONG ERROR_ACCESS_DENIED = 5;
inline constexpr LONG ERROR_INVALID_HANDLE = 6;
inline constexpr LONG ERROR_INVALID_PARAMETER = 87;
inline constexpr LONG ERROR_MORE_DATA = 234;
inline constexpr LONG ERROR_NO_MORE_ITEMS = 259;
inline constexpr LONG ERROR_REGISTRY_CORRUPT = 1015;
inline constexpr LONG ERROR_REGISTRY_IO_FAILED = 1016;
inline constexpr LONG ERROR_KEY_DELETED = 1018;

inline constexpr DWORD REG_NONE = 0;
inline constexpr DWORD REG_SZ = 1;
inline constexpr DWORD REG_EXPAND_SZ = 2;
inline constexpr DWORD REG_BINARY = 3;
inline constexpr DWORD REG_DWORD = 4;

inline constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
inline constexpr REGSAM KEY_SET_VALUE = 0x0002;
inline constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
inline constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
inline constexpr REGSAM KEY_READ = 0x20019;
inline constexpr REGSAM KEY_WRITE = 0x20006;
inline constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

inline constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
inline constexpr DWORD REG_CREATED_NEW_KEY = 1;
inline constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Sub-key paths are relative to `key`; empty path components (a leading, trailing or doubled
// backslash) are skipped, so "\Software\X\" names the same key as "Software\X".
// A handle opened without write access refuses writes with ERROR_ACCESS_DENIED.
LONG RegOpenKeyEx(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result);
LONG RegCreateKeyEx(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                    REGSAM access, void* security, HKEY* result, DWORD* disposition);
// Ends a handle. Writes made through the store become durable on disk when the last handle that
// wrote is closed or flushed.
LONG RegCloseKey(HKEY key);
LONG RegFlushKey(HKEY key);
// Deletes a key that has no sub-keys (the platform's rule); RegDeleteTree deletes a whole branch.
LONG RegDeleteKey(HKEY key, const char* subKey);
LONG RegDeleteTree(HKEY key, const char* subKey);

// data may be null to learn the type and size. A buffer smaller than the value gets nothing:
// *dataSize is set to the size needed and ERROR_MORE_DATA returned.
LONG RegQueryValueEx(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                     DWORD* dataSize);
// Accepts the five value types above; a REG_DWORD must be exactly 4 bytes.
LONG RegSetValueEx(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                   DWORD dataSize);
LONG RegDeleteValue(HKEY key, const char* valueName);

// Enumerate in name order (case-insensitive). nameSize is in characters: on entry the buffer size
// including the terminating NUL, on return the length without it.
LONG RegEnumKeyEx(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved,
                  char* keyClass, DWORD* classSize, void* lastWriteTime);
LONG RegEnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved, DWORD* type,
                  BYTE* data, DWORD* dataSize);

// Where the store lives: $FROSTWIPE_REGISTRY, else $XDG_CONFIG_HOME/frostwipe/registry.db,
// else <home>/.config/frostwipe/registry.db, home being $HOME or, when that is unset or empty,
// the user's home from the password database. Empty when no home is known: the store then
// lives in memory.
std::string RegStorePath();
// Commits pending writes and closes the database; the next call opens it again from
// RegStorePath(). Open handles become invalid.
void RegCloseStore();

// A problem met while opening the store: a damaged file moved aside, a read-only file, a path
// that is not a regular file, no home folder. The message says what happened and names the
// file; settingsNotKept tells whether settings could not be kept or were moved aside.
struct RegStoreProblem {
  std::string message;
  bool settingsNotKept = false;
};
// Opens the store if it is not open yet and hands over the problems not taken before, oldest
// first; each problem is handed out once. They went to standard error when they happened.
std::vector<RegStoreProblem> RegTakeStoreProblems();
// Notes that settings could not be saved (a full disk, a store held by another program): the
// first time for the open store, a problem for RegTakeStoreProblems (settingsNotKept, naming
// the file); later calls add nothing until the store is opened again.
void RegNoteSaveFailure();
// The settings were saved after a failure: the next failure is noted (and said) again.
void RegClearSaveFailure();
// How long a write waits for another program's write lock before it fails (5000 ms at first);
// returns the previous wait. A save retried on a timer sets 0 for its attempt, so a store that
// stays busy never freezes the window.
int RegSetBusyWait(int ms);
