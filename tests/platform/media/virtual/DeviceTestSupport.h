// Helpers of the device tests: provider selection, scripted devices, listing, a recording sink.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QCoreApplication>

#include "platform/com/ComApi.h"
#include "platform/media/DeviceEnumerator.h"
#include "platform/media/Interfaces.h"
#include "platform/media/RendererBase.h"
#include "platform/media/virtual/ScriptedDevices.h"

// Sets FROSTWIPE_DEVICE_PROVIDERS (nullopt: unset) for one scope and restores it after.
class ProvidersScope {
 public:
  explicit ProvidersScope(std::optional<const char*> value)
      : old_(qgetenv("FROSTWIPE_DEVICE_PROVIDERS")),
        hadOld_(qEnvironmentVariableIsSet("FROSTWIPE_DEVICE_PROVIDERS")) {
    if (value)
      qputenv("FROSTWIPE_DEVICE_PROVIDERS", *value);
    else
      qunsetenv("FROSTWIPE_DEVICE_PROVIDERS");
  }
  ~ProvidersScope() {
    if (hadOld_)
      qputenv("FROSTWIPE_DEVICE_PROVIDERS", old_);
    else
      qunsetenv("FROSTWIPE_DEVICE_PROVIDERS");
  }

 private:
  QByteArray old_;
  bool hadOld_;
};

// Starts and ends a test with no scripted devices.
class ScriptedScope {
 public:
  ScriptedScope() { ScriptedDevices::Instance()->Clear(); }
  ~ScriptedScope() { ScriptedDevices::Instance()->Clear(); }
};

inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

struct ListedDevice {
  std::u16string friendlyName;
  std::u16string displayName;
  std::u16string clsid;
  ComPtr<IMoniker> moniker;
};

// Lists a category as the capture control does: enumerator, display names, property bags.
inline HRESULT ListCategory(REFGUID category, std::vector<ListedDevice>* devices) {
  devices->clear();
  ComPtr<ICreateDevEnum> enumerator;
  HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICreateDevEnum, enumerator.ReleaseAndGetVoidAddress());
  if (FAILED(hr)) return hr;
  ComPtr<IEnumMoniker> monikers;
  hr = enumerator->CreateClassEnumerator(category, monikers.ReleaseAndGetAddressOf(), 0);
  if (hr != S_OK) return hr;
  monikers->Reset();
  IMoniker* raw = nullptr;
  while (monikers->Next(1, &raw, nullptr) == S_OK) {
    ListedDevice d;
    d.moniker.Attach(raw);
    LPOLESTR name = nullptr;
    if (SUCCEEDED(raw->GetDisplayName(nullptr, nullptr, &name))) {
      d.displayName = name;
      CoTaskMemFree(name);
    }
    ComPtr<IPropertyBag> bag;
    raw->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.ReleaseAndGetVoidAddress());
    for (auto [key, target] :
         {std::pair{u"FriendlyName", &d.friendlyName}, std::pair{u"CLSID", &d.clsid}}) {
      VARIANT v;
      VariantInit(&v);
      if (bag && SUCCEEDED(bag->Read(key, &v, nullptr)) && v.vt == VT_BSTR) *target = v.bstrVal;
      VariantClear(&v);
    }
    devices->push_back(std::move(d));
  }
  return hr;
}

inline std::vector<std::u16string> FriendlyNames(REFGUID category) {
  std::vector<ListedDevice> devices;
  ListCategory(category, &devices);
  std::vector<std::u16string> names;
  for (const ListedDevice& d : devices) names.push_back(d.friendlyName);
  return names;
}

// A sink for one subtype that keeps a copy of the latest frame and counts frames.
class FrameSink final : public RendererBase {
 public:
  explicit FrameSink(GUID subtype) : RendererBase(GUID_NULL, u"Frame Sink"), subtype_(subtype) {}
  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override {
    return mt.majortype == MEDIATYPE_Video && mt.subtype == subtype_ ? S_OK : S_FALSE;
  }
  HRESULT DoRenderSample(IMediaSample* sample) override {
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    LONGLONG start = -1;
    LONGLONG end = -1;
    sample->GetMediaTime(&start, &end);
    REFERENCE_TIME timeStart = 0;
    REFERENCE_TIME timeEnd = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&timeStart, &timeEnd));
    // A slow consumer, once: the source falls behind and must count what it skipped.
    if (const int stall = stallMs_.exchange(0))
      std::this_thread::sleep_for(std::chrono::milliseconds(stall));
    std::lock_guard lock(mutex_);
    last_.assign(data, data + sample->GetActualDataLength());
    lastDuration_ = timed ? timeEnd - timeStart : -1;
    if (frames_ == 0) {
      first_ = last_;
      firstFrameNumber_ = start;
    }
    ++frames_;
    return S_OK;
  }
  void StallOnce(int ms) { stallMs_.store(ms); }
  std::vector<BYTE> First() {
    std::lock_guard lock(mutex_);
    return first_;
  }
  LONGLONG FirstFrameNumber() {
    std::lock_guard lock(mutex_);
    return firstFrameNumber_;
  }
  void Reset() {
    std::lock_guard lock(mutex_);
    frames_ = 0;
    first_.clear();
    last_.clear();
  }
  int Frames() {
    std::lock_guard lock(mutex_);
    return frames_;
  }
  // The time stamps' length of the latest frame: the stream's frame interval.
  REFERENCE_TIME LastDuration() {
    std::lock_guard lock(mutex_);
    return lastDuration_;
  }
  std::vector<BYTE> Last() {
    std::lock_guard lock(mutex_);
    return last_;
  }

 private:
  const GUID subtype_;
  std::mutex mutex_;  // guards the frames, their count and times
  std::vector<BYTE> last_;
  std::vector<BYTE> first_;
  LONGLONG firstFrameNumber_ = -1;
  REFERENCE_TIME lastDuration_ = -1;
  int frames_ = 0;
  std::atomic<int> stallMs_{0};
};

// A filter bound from the first device of a category with this friendly name.
inline ComPtr<IBaseFilter> BindByName(REFGUID category, std::u16string_view friendlyName,
                                      HRESULT* result = nullptr) {
  std::vector<ListedDevice> devices;
  ListCategory(category, &devices);
  for (ListedDevice& d : devices)
    if (d.friendlyName == friendlyName) {
      ComPtr<IBaseFilter> filter;
      const HRESULT hr = d.moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                                 filter.ReleaseAndGetVoidAddress());
      if (result) *result = hr;
      return filter;
    }
  if (result) *result = VFW_E_NOT_FOUND;
  return {};
}

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

inline ComPtr<IGraphBuilder> NewGraph() {
  ComPtr<IGraphBuilder> graph;
  CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                   graph.ReleaseAndGetVoidAddress());
  return graph;
}

// A plain scripted camera: YUY2 at 160x120, 30 frames per second.
inline VirtualDeviceConfig SmallCamera(std::u16string name) {
  VirtualDeviceConfig c;
  c.friendlyName = std::move(name);
  VideoCapability cap;
  cap.width = 160;
  cap.height = 120;
  c.capabilities = {cap};
  c.videoProcAmp = DefaultVideoProcAmp();
  return c;
}
