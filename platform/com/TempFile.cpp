#include "platform/com/TempFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

bool FormName(const char* directory, const char* prefix, UINT unique, char* out) {
  const std::string shortPrefix = std::string(prefix ? prefix : "").substr(0, 3);
  const int n = std::snprintf(out, MAX_PATH, "%s/%s%X.tmp", directory, shortPrefix.c_str(),
                              static_cast<unsigned>(unique & 0xFFFF));
  return n > 0 && n < static_cast<int>(MAX_PATH);
}

}  // namespace

UINT GetTempFileNameA(const char* directory, const char* prefix, UINT unique, char* out) {
  if (!directory || !*directory || !out) return 0;
  if (unique != 0) return FormName(directory, prefix, unique, out) ? unique : 0;
  // Start from a number that differs between processes and calls, then probe upwards.
  static std::atomic<UINT> next{static_cast<UINT>(getpid())};
  for (int attempt = 0; attempt < 0x10000; ++attempt) {
    UINT candidate = next.fetch_add(1) & 0xFFFF;
    if (candidate == 0) continue;
    if (!FormName(directory, prefix, candidate, out)) return 0;
    const int fd = open(out, O_CREAT | O_EXCL | O_NOFOLLOW | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
      close(fd);
      return candidate;
    }
    if (errno != EEXIST) return 0;
  }
  return 0;
}
