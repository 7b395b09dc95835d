#include "platform/media/CaptureGraphBuilder.h"

#include <algorithm>
#include <deque>

#include "platform/media/Enumerators.h"
#include "platform/media/MediaLog.h"

namespace {

// Crossbar, then tuner, then what feeds a tuner: deep enough for any analog front end.
constexpr int kMaxUpstreamDepth = 3;

ComPtr<IBaseFilter> OwnerOf(IPin* pin) {
  ComPtr<IBaseFilter> filter;
  PIN_INFO info{};
  if (pin && SUCCEEDED(pin->QueryPinInfo(&info))) filter.Attach(info.pFilter);
  return filter;
}

PIN_DIRECTION DirectionOf(IPin* pin) {
  PIN_DIRECTION dir = PINDIR_INPUT;
  pin->QueryDirection(&dir);
  return dir;
}

bool IsConnected(IPin* pin) {
  ComPtr<IPin> peer;
  return SUCCEEDED(pin->ConnectedTo(peer.ReleaseAndGetAddressOf())) && peer;
}

// The pin's first medium other than the standard (software) one.
bool PinMedium(IPin* pin, REGPINMEDIUM* medium) {
  ComPtr<IKsPin> ks = ComQuery<IKsPin>(pin);
  KSMULTIPLE_ITEM* list = nullptr;
  if (!ks || FAILED(ks->KsQueryMediums(&list)) || !list) return false;
  bool found = false;
  const auto* items = reinterpret_cast<const REGPINMEDIUM*>(list + 1);
  for (ULONG i = 0; i < list->Count && !found; ++i) {
    if (!(items[i].clsMedium == KSMEDIUMSETID_Standard) && !(items[i].clsMedium == GUID_NULL)) {
      *medium = items[i];
      found = true;
    }
  }
  CoTaskMemFree(list);
  return found;
}

bool SameMedium(const REGPINMEDIUM& a, const REGPINMEDIUM& b) {
  return a.clsMedium == b.clsMedium && a.dw1 == b.dw1 && a.dw2 == b.dw2;
}

// An unconnected output pin of filter wired to the given medium.
ComPtr<IPin> OutputWithMedium(IBaseFilter* filter, const REGPINMEDIUM& medium) {
  for (ComPtr<IPin>& pin : ListPins(filter)) {
    REGPINMEDIUM m;
    if (DirectionOf(pin.Get()) == PINDIR_OUTPUT && !IsConnected(pin.Get()) &&
        PinMedium(pin.Get(), &m) && SameMedium(m, medium))
      return pin;
  }
  return {};
}

bool IsAnalogInput(IPin* pin) {
  return DirectionOf(pin) == PINDIR_INPUT && (PinHasMajorType(pin, MEDIATYPE_AnalogVideo) ||
                                              PinHasMajorType(pin, MEDIATYPE_AnalogAudio));
}

std::u16string FriendlyName(IMoniker* moniker) {
  ComPtr<IPropertyBag> bag;
  if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                    bag.ReleaseAndGetVoidAddress())) ||
      !bag)
    return {};
  VARIANT v;
  VariantInit(&v);
  std::u16string name;
  if (SUCCEEDED(bag->Read(u"FriendlyName", &v, nullptr)) && v.vt == VT_BSTR && v.bstrVal)
    name = v.bstrVal;
  VariantClear(&v);
  return name;
}

// Looks for iid on a filter and then on its pins (pins limited to category/type when given).
bool QueryFilterAndPins(IBaseFilter* filter, const GUID* category, const GUID* type, REFIID iid,
                        void** object) {
  if (SUCCEEDED(filter->QueryInterface(iid, object))) return true;
  for (ComPtr<IPin>& pin : ListPins(filter)) {
    if (category && !PinHasCategory(pin.Get(), *category)) continue;
    if (type && !PinHasMajorType(pin.Get(), *type)) continue;
    if (SUCCEEDED(pin->QueryInterface(iid, object))) return true;
  }
  return false;
}

// Breadth-first over the filters reachable from start in one direction (start excluded).
bool SearchFrom(IBaseFilter* start, PIN_DIRECTION direction, REFIID iid, void** object) {
  std::vector<IBaseFilter*> seen{start};
  std::deque<ComPtr<IBaseFilter>> queue;
  for (ComPtr<IBaseFilter>& f : NeighbourFilters(start, direction)) queue.push_back(f);
  while (!queue.empty()) {
    ComPtr<IBaseFilter> f = queue.front();
    queue.pop_front();
    if (std::find(seen.begin(), seen.end(), f.Get()) != seen.end()) continue;
    seen.push_back(f.Get());
    if (QueryFilterAndPins(f.Get(), nullptr, nullptr, iid, object)) return true;
    for (ComPtr<IBaseFilter>& next : NeighbourFilters(f.Get(), direction)) queue.push_back(next);
  }
  return false;
}

}  // namespace

bool PinHasCategory(IPin* pin, REFGUID category) {
  GUID actual = GUID_NULL;
  if (ComPtr<IKsPropertySet> props = ComQuery<IKsPropertySet>(pin)) {
    DWORD returned = 0;
    if (FAILED(props->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &actual,
                          sizeof actual, &returned)))
      actual = GUID_NULL;
  }
  return actual == category;
}

bool PinHasMajorType(IPin* pin, REFGUID majorType) {
  MediaType connected;
  if (SUCCEEDED(pin->ConnectionMediaType(connected.Get())))
    return connected->majortype == majorType;
  for (const MediaType& mt : ListMediaTypes(pin))
    if (mt->majortype == majorType) return true;
  return false;
}

std::vector<ComPtr<IBaseFilter>> NeighbourFilters(IBaseFilter* filter, PIN_DIRECTION direction) {
  std::vector<ComPtr<IBaseFilter>> result;
  for (ComPtr<IPin>& pin : ListPins(filter)) {
    if (DirectionOf(pin.Get()) != (direction == PINDIR_OUTPUT ? PINDIR_OUTPUT : PINDIR_INPUT))
      continue;
    ComPtr<IPin> peer;
    if (FAILED(pin->ConnectedTo(peer.ReleaseAndGetAddressOf())) || !peer) continue;
    if (ComPtr<IBaseFilter> owner = OwnerOf(peer.Get())) result.push_back(owner);
  }
  return result;
}

HRESULT CaptureGraphBuilder::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (MatchInterface<ICaptureGraphBuilder2>(this, iid, object)) return S_OK;
  return UnknownImpl::NonDelegatingQueryInterface(iid, object);
}

HRESULT CaptureGraphBuilder::SetFiltergraph(IGraphBuilder* graph) {
  if (!graph) return E_POINTER;
  if (graph_) return E_UNEXPECTED;  // a builder serves one graph
  graph_ = graph;
  return S_OK;
}

HRESULT CaptureGraphBuilder::EnsureGraph() {
  if (graph_) return S_OK;
  return CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                          graph_.ReleaseAndGetVoidAddress());
}

HRESULT CaptureGraphBuilder::GetFiltergraph(IGraphBuilder** graph) {
  if (!graph) return E_POINTER;
  *graph = nullptr;
  if (HRESULT hr = EnsureGraph(); FAILED(hr)) return hr;
  return graph_.CopyTo(graph);
}

HRESULT CaptureGraphBuilder::SetOutputFileName(const GUID*, LPCOLESTR, IBaseFilter** multiplexer,
                                               IFileSinkFilter** sink) {
  if (multiplexer) *multiplexer = nullptr;
  if (sink) *sink = nullptr;
  return E_NOTIMPL;
}

HRESULT CaptureGraphBuilder::ControlStream(const GUID*, const GUID*, IBaseFilter*, REFERENCE_TIME*,
                                           REFERENCE_TIME*, WORD, WORD) {
  return E_NOTIMPL;
}

HRESULT CaptureGraphBuilder::AllocCapFile(LPCOLESTR, ULONGLONG) {
  return E_NOTIMPL;
}

HRESULT CaptureGraphBuilder::CopyCaptureFile(LPOLESTR, LPOLESTR, int, IAMCopyCaptureFileProgress*) {
  return E_NOTIMPL;
}

HRESULT CaptureGraphBuilder::FindPin(IUnknown* source, PIN_DIRECTION direction,
                                     const GUID* category, const GUID* type, BOOL unconnected,
                                     int index, IPin** pin) {
  if (!source || !pin) return E_POINTER;
  *pin = nullptr;
  auto matches = [&](IPin* p) {
    return DirectionOf(p) == direction && (!category || PinHasCategory(p, *category)) &&
           (!type || PinHasMajorType(p, *type)) && (!unconnected || !IsConnected(p));
  };
  if (ComPtr<IPin> asPin = ComQuery<IPin>(source)) {
    if (index != 0 || !matches(asPin.Get())) return E_FAIL;
    return asPin.CopyTo(pin);
  }
  ComPtr<IBaseFilter> filter = ComQuery<IBaseFilter>(source);
  if (!filter) return E_NOINTERFACE;
  int n = 0;
  for (ComPtr<IPin>& p : ListPins(filter.Get()))
    if (matches(p.Get()) && n++ == index) return p.CopyTo(pin);
  return E_FAIL;
}

HRESULT CaptureGraphBuilder::FindInterface(const GUID* category, const GUID* type,
                                           IBaseFilter* filter, REFIID iid, void** object) {
  if (!filter || !object) return E_POINTER;
  *object = nullptr;
  if (category && *category == LOOK_UPSTREAM_ONLY)
    return SearchFrom(filter, PINDIR_INPUT, iid, object) ? S_OK : E_NOINTERFACE;
  if (category && *category == LOOK_DOWNSTREAM_ONLY)
    return SearchFrom(filter, PINDIR_OUTPUT, iid, object) ? S_OK : E_NOINTERFACE;
  if (category) {
    // A pin category narrows the search to that output pin and what lies downstream of it.
    ComPtr<IPin> pin;
    if (FAILED(
            FindPin(filter, PINDIR_OUTPUT, category, type, FALSE, 0, pin.ReleaseAndGetAddressOf())))
      return E_NOINTERFACE;
    if (SUCCEEDED(pin->QueryInterface(iid, object))) return S_OK;
    ComPtr<IPin> peer;
    if (SUCCEEDED(pin->ConnectedTo(peer.ReleaseAndGetAddressOf())) && peer) {
      ComPtr<IBaseFilter> next = OwnerOf(peer.Get());
      if (next && (QueryFilterAndPins(next.Get(), nullptr, nullptr, iid, object) ||
                   SearchFrom(next.Get(), PINDIR_OUTPUT, iid, object)))
        return S_OK;
    }
    return E_NOINTERFACE;
  }
  if (QueryFilterAndPins(filter, nullptr, type, iid, object)) return S_OK;
  if (SearchFrom(filter, PINDIR_OUTPUT, iid, object)) return S_OK;
  if (SearchFrom(filter, PINDIR_INPUT, iid, object)) return S_OK;
  return E_NOINTERFACE;
}

HRESULT CaptureGraphBuilder::ConnectAnalogInput(IPin* input, REFCLSID category, int depth) {
  REGPINMEDIUM medium;
  if (!PinMedium(input, &medium)) return VFW_E_NOT_FOUND;
  ComPtr<IFilterGraph> graph = ComQuery<IFilterGraph>(graph_.Get());

  // A filter already in the graph (an earlier RenderStream added it) is used again.
  ComPtr<IEnumFilters> inGraph;
  if (SUCCEEDED(graph_->EnumFilters(inGraph.ReleaseAndGetAddressOf()))) {
    IBaseFilter* raw = nullptr;
    while (inGraph->Next(1, &raw, nullptr) == S_OK) {
      ComPtr<IBaseFilter> f;
      f.Attach(raw);
      if (ComPtr<IPin> out = OutputWithMedium(f.Get(), medium))
        return graph_->ConnectDirect(out.Get(), input, nullptr);
    }
  }

  ComPtr<ICreateDevEnum> devices;
  HRESULT hr = CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICreateDevEnum, devices.ReleaseAndGetVoidAddress());
  if (FAILED(hr)) return hr;
  ComPtr<IEnumMoniker> monikers;
  if (devices->CreateClassEnumerator(category, monikers.ReleaseAndGetAddressOf(), 0) != S_OK)
    return VFW_E_NOT_FOUND;
  IMoniker* raw = nullptr;
  while (monikers->Next(1, &raw, nullptr) == S_OK) {
    ComPtr<IMoniker> moniker;
    moniker.Attach(raw);
    ComPtr<IBaseFilter> candidate;
    if (FAILED(moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                     candidate.ReleaseAndGetVoidAddress())) ||
        !candidate)
      continue;
    ComPtr<IPin> out = OutputWithMedium(candidate.Get(), medium);
    if (!out) continue;
    const std::u16string name = FriendlyName(moniker.Get());
    if (FAILED(graph_->AddFilter(candidate.Get(), name.empty() ? nullptr : name.c_str()))) continue;
    if (FAILED(graph_->ConnectDirect(out.Get(), input, nullptr))) {
      graph_->RemoveFilter(candidate.Get());
      continue;
    }
    AddUpstreamDevices(candidate.Get(), depth + 1);
    return S_OK;
  }
  return VFW_E_NOT_FOUND;
}

void CaptureGraphBuilder::AddUpstreamDevices(IBaseFilter* filter, int depth) {
  if (depth >= kMaxUpstreamDepth) return;
  for (ComPtr<IPin>& pin : ListPins(filter)) {
    if (!IsAnalogInput(pin.Get()) || IsConnected(pin.Get())) continue;
    if (FAILED(ConnectAnalogInput(pin.Get(), AM_KSCATEGORY_CROSSBAR, depth)))
      ConnectAnalogInput(pin.Get(), AM_KSCATEGORY_TVTUNER, depth);
  }
}

HRESULT CaptureGraphBuilder::RenderStream(const GUID* category, const GUID* type, IUnknown* source,
                                          IBaseFilter* compressor, IBaseFilter* renderer) {
  if (!source) return E_POINTER;
  if (HRESULT hr = EnsureGraph(); FAILED(hr)) return hr;

  ComPtr<IPin> pin = ComQuery<IPin>(source);
  ComPtr<IBaseFilter> sourceFilter = pin ? OwnerOf(pin.Get()) : ComQuery<IBaseFilter>(source);
  if (!sourceFilter) return E_NOINTERFACE;
  AddUpstreamDevices(sourceFilter.Get(), 0);

  HRESULT result = S_OK;
  ComPtr<IBaseFilter> tee;  // a smart tee added here, removed again if the rest fails
  if (pin) {
    if (DirectionOf(pin.Get()) != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
  } else if (FAILED(FindPin(sourceFilter.Get(), PINDIR_OUTPUT, category, type, TRUE, 0,
                            pin.ReleaseAndGetAddressOf()))) {
    if (!category || !(*category == PIN_CATEGORY_PREVIEW)) return E_FAIL;
    // No preview pin: split the capture pin and preview from the tee.
    ComPtr<IPin> capture;
    if (FAILED(FindPin(sourceFilter.Get(), PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, type, TRUE, 0,
                       capture.ReleaseAndGetAddressOf())))
      return E_FAIL;
    HRESULT hr = CoCreateInstance(CLSID_SmartTee, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                  tee.ReleaseAndGetVoidAddress());
    if (FAILED(hr)) return hr;
    if (hr = graph_->AddFilter(tee.Get(), u"Smart Tee"); FAILED(hr)) return hr;
    ComPtr<IPin> teeIn;
    FindPin(tee.Get(), PINDIR_INPUT, nullptr, nullptr, TRUE, 0, teeIn.ReleaseAndGetAddressOf());
    if (!teeIn || FAILED(hr = graph_->Connect(capture.Get(), teeIn.Get())) ||
        FAILED(hr = FindPin(tee.Get(), PINDIR_OUTPUT, &PIN_CATEGORY_PREVIEW, nullptr, TRUE, 0,
                            pin.ReleaseAndGetAddressOf()))) {
      graph_->RemoveFilter(tee.Get());
      return FAILED(hr) ? hr : E_FAIL;
    }
    result = VFW_S_NOPREVIEWPIN;
  }

  auto undo = [&](HRESULT hr) {
    if (tee) graph_->RemoveFilter(tee.Get());
    return hr;
  };
  if (compressor) {
    ComPtr<IPin> in, out;
    FindPin(compressor, PINDIR_INPUT, nullptr, nullptr, TRUE, 0, in.ReleaseAndGetAddressOf());
    FindPin(compressor, PINDIR_OUTPUT, nullptr, nullptr, TRUE, 0, out.ReleaseAndGetAddressOf());
    if (!in || !out) return undo(VFW_E_CANNOT_CONNECT);
    if (HRESULT hr = graph_->Connect(pin.Get(), in.Get()); FAILED(hr)) return undo(hr);
    pin = out;
  }
  if (renderer) {
    ComPtr<IPin> in;
    FindPin(renderer, PINDIR_INPUT, nullptr, nullptr, TRUE, 0, in.ReleaseAndGetAddressOf());
    if (!in) return undo(VFW_E_CANNOT_CONNECT);
    if (HRESULT hr = graph_->Connect(pin.Get(), in.Get()); FAILED(hr)) return undo(hr);
    return result;
  }
  if (compressor) return result;  // the compressor's output is left to the caller
  if (HRESULT hr = graph_->Render(pin.Get()); FAILED(hr)) return undo(hr);
  return result;
}
