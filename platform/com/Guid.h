// GUIDs: 128-bit identities of classes, interfaces and media formats, with their braced text form.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/com/Types.h"

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];

  friend constexpr bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
      if (a.Data4[i] != b.Data4[i]) return false;
    return true;
  }
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

namespace guid_detail {
constexpr int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace guid_detail

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in either letter case. Returns nothing for
// any other text (missing braces, wrong length, misplaced dashes, non-hex digits).
constexpr std::optional<GUID> ParseGuid(std::string_view text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return std::nullopt;
  const std::string_view body = text.substr(1, 36);
  for (std::size_t dash : {8u, 13u, 18u, 23u})
    if (body[dash] != '-') return std::nullopt;
  // Reads `digits` hex digits starting at `pos` of body, skipping nothing.
  auto read = [&](std::size_t pos, std::size_t digits, unsigned long long& out) {
    out = 0;
    for (std::size_t i = 0; i < digits; ++i) {
      const int v = guid_detail::HexValue(body[pos + i]);
      if (v < 0) return false;
      out = out * 16 + static_cast<unsigned>(v);
    }
    return true;
  };
  GUID g{};
  unsigned long long v = 0;
  if (!read(0, 8, v)) return std::nullopt;
  g.Data1 = static_cast<DWORD>(v);
  if (!read(9, 4, v)) return std::nullopt;
  g.Data2 = static_cast<WORD>(v);
  if (!read(14, 4, v)) return std::nullopt;
  g.Data3 = static_cast<WORD>(v);
  const std::size_t bytePos[8] = {19, 21, 24, 26, 28, 30, 32, 34};
  for (int i = 0; i < 8; ++i) {
    if (!read(bytePos[i], 2, v)) return std::nullopt;
    g.Data4[i] = static_cast<BYTE>(v);
  }
  return g;
}

// A GUID written in source as its braced text; a malformed literal fails to compile.
consteval GUID MakeGuid(std::string_view text) {
  const std::optional<GUID> g = ParseGuid(text);
  if (!g) throw "malformed GUID text";
  return *g;
}

// The GUID of a four-character code: XXXXXXXX-0000-0010-8000-00AA00389B71 with the code's
// characters, first character in the lowest byte, as Data1.
constexpr GUID FourccGuid(DWORD fourcc) {
  return GUID{fourcc, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

constexpr DWORD MakeFourcc(char a, char b, char c, char d) {
  return static_cast<DWORD>(static_cast<BYTE>(a)) |
         (static_cast<DWORD>(static_cast<BYTE>(b)) << 8) |
         (static_cast<DWORD>(static_cast<BYTE>(c)) << 16) |
         (static_cast<DWORD>(static_cast<BYTE>(d)) << 24);
}

// Braced upper-case text, the form StringFromCLSID gives: {E436EB78-524F-11CE-9F53-0020AF0BA770}.
std::string GuidToString(REFGUID guid);

template <>
struct std::hash<GUID> {
  std::size_t operator()(const GUID& g) const noexcept {
    std::size_t h = g.Data1 ^ (std::size_t{g.Data2} << 16) ^ (std::size_t{g.Data3} << 32);
    for (BYTE b : g.Data4) h = h * 131 + b;
    return h;
  }
};
