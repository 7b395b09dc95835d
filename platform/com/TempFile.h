// Temporary file names inside a directory the caller supplies (the program's private one).
#pragma once

#include "platform/com/Types.h"

inline constexpr UINT MAX_PATH = 260;

// Forms "<directory>/<first three characters of prefix><unique in hex>.tmp" in out (MAX_PATH
// bytes). With unique 0 it picks a number whose file does not exist yet and creates that file,
// empty, exclusively and without following links (mode 0600), so two callers never get the same
// name; with another unique it only forms the name. Returns the number used, 0 on failure
// (no directory, a name too long, or no file could be created).
UINT GetTempFileNameA(const char* directory, const char* prefix, UINT unique, char* out);
