// Helpers shared by the media graph benchmarks.
#pragma once

#include <ctime>

#include "platform/com/ComApi.h"
#include "platform/com/ComPtr.h"
#include "platform/media/Interfaces.h"

// Processor time of the whole process (every thread), in seconds.
inline double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The filter's first pin of that direction; empty if it has none.
inline ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION direction) {
  ComPtr<IEnumPins> e;
  filter->EnumPins(e.ReleaseAndGetAddressOf());
  IPin* raw = nullptr;
  while (e->Next(1, &raw, nullptr) == S_OK) {
    ComPtr<IPin> pin;
    pin.Attach(raw);
    PIN_DIRECTION d;
    pin->QueryDirection(&d);
    if (d == direction) return pin;
  }
  return {};
}
