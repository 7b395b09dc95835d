// Result codes of component objects and the media framework: 0 or more success, negative failure.
#pragma once

#include <cstdint>

using HRESULT = std::int32_t;

inline constexpr bool SUCCEEDED(HRESULT hr) {
  return hr >= 0;
}
inline constexpr bool FAILED(HRESULT hr) {
  return hr < 0;
}

inline constexpr HRESULT MakeFailure(std::uint32_t code) {
  return static_cast<HRESULT>(code);
}

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
inline constexpr HRESULT E_PENDING = MakeFailure(0x8000000A);
inline constexpr HRESULT E_HANDLE = MakeFailure(0x80070006);

// Component-object runtime.
inline constexpr HRESULT CLASS_E_NOAGGREGATION = MakeFailure(0x80040110);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = MakeFailure(0x80040154);
inline constexpr HRESULT CO_E_NOTINITIALIZED = MakeFailure(0x800401F0);
inline constexpr HRESULT CO_E_CLASSSTRING = MakeFailure(0x800401F3);
inline constexpr HRESULT RPC_E_WRONG_THREAD = MakeFailure(0x8001010E);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = MakeFailure(0x80020005);

// Property sets.
inline constexpr HRESULT E_PROP_ID_UNSUPPORTED = MakeFailure(0x80070490);
inline constexpr HRESULT E_PROP_SET_UNSUPPORTED = MakeFailure(0x80070492);

// Media framework: failures.
inline constexpr HRESULT VFW_E_INVALIDMEDIATYPE = MakeFailure(0x80040200);
inline constexpr HRESULT VFW_E_INVALIDSUBTYPE = MakeFailure(0x80040201);
inline constexpr HRESULT VFW_E_NEED_OWNER = MakeFailure(0x80040202);
inline constexpr HRESULT VFW_E_ENUM_OUT_OF_SYNC = MakeFailure(0x80040203);
inline constexpr HRESULT VFW_E_ALREADY_CONNECTED = MakeFailure(0x80040204);
inline constexpr HRESULT VFW_E_FILTER_ACTIVE = MakeFailure(0x80040205);
inline constexpr HRESULT VFW_E_NO_TYPES = MakeFailure(0x80040206);
inline constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = MakeFailure(0x80040207);
inline constexpr HRESULT VFW_E_INVALID_DIRECTION = MakeFailure(0x80040208);
inline constexpr HRESULT VFW_E_NOT_CONNECTED = MakeFailure(0x80040209);
inline constexpr HRESULT VFW_E_NO_ALLOCATOR = MakeFailure(0x8004020A);
inline constexpr HRESULT VFW_E_RUNTIME_ERROR = MakeFailure(0x8004020B);
inline constexpr HRESULT VFW_E_BUFFER_OVERFLOW = MakeFailure(0x8004020D);
inline constexpr HRESULT VFW_E_NOT_COMMITTED = MakeFailure(0x80040211);
inline constexpr HRESULT VFW_E_NO_CLOCK = MakeFailure(0x80040213);
inline constexpr HRESULT VFW_E_NO_SINK = MakeFailure(0x80040214);
inline constexpr HRESULT VFW_E_NO_INTERFACE = MakeFailure(0x80040215);
inline constexpr HRESULT VFW_E_NOT_FOUND = MakeFailure(0x80040216);
inline constexpr HRESULT VFW_E_CANNOT_CONNECT = MakeFailure(0x80040217);
inline constexpr HRESULT VFW_E_CANNOT_RENDER = MakeFailure(0x80040218);
inline constexpr HRESULT VFW_E_NO_TRANSPORT = MakeFailure(0x80040266);
inline constexpr HRESULT VFW_E_NOT_STOPPED = MakeFailure(0x80040224);
inline constexpr HRESULT VFW_E_NOT_PAUSED = MakeFailure(0x80040225);
inline constexpr HRESULT VFW_E_NOT_RUNNING = MakeFailure(0x80040226);
inline constexpr HRESULT VFW_E_WRONG_STATE = MakeFailure(0x80040227);
inline constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = MakeFailure(0x8004022A);
inline constexpr HRESULT VFW_E_SAMPLE_REJECTED = MakeFailure(0x8004022B);
inline constexpr HRESULT VFW_E_SAMPLE_REJECTED_EOS = MakeFailure(0x8004022C);
inline constexpr HRESULT VFW_E_DUPLICATE_NAME = MakeFailure(0x8004022D);
inline constexpr HRESULT VFW_E_TIMEOUT = MakeFailure(0x8004022E);
inline constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = MakeFailure(0x80040249);
inline constexpr HRESULT VFW_E_NOT_IN_GRAPH = MakeFailure(0x8004025F);
// The device behind a filter has gone (unplugged, or its driver stopped answering).
inline constexpr HRESULT VFW_E_DEVICE_LOST = MakeFailure(0x8007048F);

// Media framework: documented successes that are not plain S_OK.
inline constexpr HRESULT VFW_S_NO_MORE_ITEMS = 0x00040103;
inline constexpr HRESULT VFW_S_DUPLICATE_NAME = 0x0004022D;
inline constexpr HRESULT VFW_S_STATE_INTERMEDIATE = 0x00040237;
inline constexpr HRESULT VFW_S_PARTIAL_RENDER = 0x00040242;
inline constexpr HRESULT VFW_S_NOPREVIEWPIN = 0x0004027E;
