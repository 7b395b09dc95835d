// Result codes of component objects and the media framework: 0 or more success, negative failure.
#pragma once

#include <cstdint>

using HRESULT = std::int32_t;

inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }

inline constexpr HRESULT MakeFailure(std::uint32_t code) { return static_cast<HRESULT>(code); }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeFailure(0x80004001);
inline constexpr HRESULT E_NOINTERFACE = MakeFailure(0x80004002);
inline constexpr HRESULT E_POINTER = MakeFailure(0x80004003);
inline constexpr HRESULT E_ABORT = MakeFailure(0x80004004);
inline constexpr HRESULT E_FAIL = MakeFailure(0x80004005);
inline constexpr HRESULT E_UNEXPECTED = MakeFailure(0x8000FFFF);
inline constexpr HRESULT E_ACCESSDENIED = MakeFailure(0x80070005);
inline constexpr HRESULT E_OUTOFMEMORY = MakeFailure(0x8007000E);
inline constexpr HRESULT E_INVALIDARG = MakeFailure(0x80070057);
