// Helpers of the media tests: event pumping and graph construction shortcuts.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include <QCoreApplication>

#include "platform/com/ComPtr.h"
#include "platform/media/Interfaces.h"

// Runs the event loop until done() holds or the time is up; answers done().
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

inline ComPtr<IGraphBuilder> NewGraph() {
  ComPtr<IGraphBuilder> graph;
  CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                   graph.ReleaseAndGetVoidAddress());
  return graph;
}

inline ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION direction, int index = 0) {
  ComPtr<IEnumPins> e;
  filter->EnumPins(e.ReleaseAndGetAddressOf());
  IPin* raw = nullptr;
  int n = 0;
  while (e->Next(1, &raw, nullptr) == S_OK) {
    ComPtr<IPin> pin;
    pin.Attach(raw);
    PIN_DIRECTION d;
    pin->QueryDirection(&d);
    if (d == direction && n++ == index) return pin;
  }
  return {};
}

// Filters in the graph, as their class identities, in enumeration order.
inline std::vector<CLSID> FilterClasses(IFilterGraph* graph) {
  std::vector<CLSID> classes;
  ComPtr<IEnumFilters> e;
  graph->EnumFilters(e.ReleaseAndGetAddressOf());
  IBaseFilter* raw = nullptr;
  while (e->Next(1, &raw, nullptr) == S_OK) {
    CLSID c{};
    raw->GetClassID(&c);
    classes.push_back(c);
    raw->Release();
  }
  return classes;
}

inline bool HasClass(IFilterGraph* graph, REFCLSID clsid) {
  for (const CLSID& c : FilterClasses(graph))
    if (c == clsid) return true;
  return false;
}

// Takes every queued event (zero timeout) and returns their codes.
inline std::vector<long> DrainEvents(IMediaEventEx* events) {
  std::vector<long> codes;
  long code;
  LONG_PTR p1, p2;
  while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
    codes.push_back(code);
    events->FreeEventParams(code, p1, p2);
  }
  return codes;
}
