// The capture control's command queue and event queue: command cells, event records and the
// dispatcher that finds which event a record stands for.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "capture/core/CSList.h"
#include "platform/toolkit/Method.h"

class TCaptureCore;

// The identity of a handler (method and target), taken from any handler type, so that a record
// posted for one event can be compared with every handler field of the control.
struct THandlerId {
  unsigned char Bytes[sizeof(TMethod<>)] = {};

  template <class... Args>
  static THandlerId Of(const TMethod<Args...>& handler) {
    static_assert(sizeof(TMethod<Args...>) == sizeof(TMethod<>));
    static_assert(std::is_trivially_copyable_v<TMethod<Args...>>);
    THandlerId id;
    std::memcpy(id.Bytes, &handler, sizeof id.Bytes);
    return id;
  }
  bool operator==(const THandlerId& other) const {
    return std::memcmp(Bytes, other.Bytes, sizeof Bytes) == 0;
  }
};

// A queued event: the handler read from the event's field when it was posted, and the poster.
struct TEventRecord {
  THandlerId Code;
  TCaptureCore* Core = nullptr;
};

// Thread: commands and events are queued from any thread (UI, streaming, worker) and taken by
// the worker pass; each list guards itself. CommandRunning is a re-entry guard of the taking
// thread. No lock is held while a command runs or a handler is called.
class TCommandQueue {
 public:
  TCommandQueue() = default;
  ~TCommandQueue();
  TCommandQueue(const TCommandQueue&) = delete;
  TCommandQueue& operator=(const TCommandQueue&) = delete;

  void AddCommand(std::uint32_t code);
  void AddEvent(const TEventRecord& record);
  // Runs the first queued command through core.RunCommand; false when none ran.
  bool RunOneCommand(TCaptureCore& core);
  // Dispatches the first queued event; false when there was none.
  bool DispatchOneEvent();
  // Releases every queued command and event without running them.
  void ReleaseAll();

  int CommandCount() const { return CommandList.Count(); }
  int EventCount() const { return EventList.Count(); }

  TCSList<std::uint32_t> CommandList;
  TCSList<TEventRecord> EventList;

 private:
  bool commandRunning_ = false;
};

// Calls the handler of the event the record stands for, found by comparing its code with the
// control's handler fields in a fixed order (the first match wins), after that event's test.
// A record that matches no field is dropped. Frees nothing: the caller owns the record.
void DispatchEvent(const TEventRecord& record);
