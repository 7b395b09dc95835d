#include "platform/media/FilterGraph.h"

#include <algorithm>

#include "platform/media/Enumerators.h"
#include "platform/media/GraphVideoWindow.h"
#include "platform/media/MediaLog.h"
#include "platform/media/ReferenceClock.h"
#include "platform/media/SourceFilter.h"

namespace {

// Converters the graph may put between two pins, in the order they are tried.
const CLSID* const kConverters[] = {&CLSID_MjpegDec, &CLSID_Colour};
// Converters in a row at most (a decoder, then a colour converter).
constexpr int kMaxConverterChain = 2;

ComPtr<IBaseFilter> OwnerOf(IPin* pin) {
  ComPtr<IBaseFilter> filter;
  PIN_INFO info{};
  if (pin && SUCCEEDED(pin->QueryPinInfo(&info))) filter.Attach(info.pFilter);
  return filter;
}

// The first pin of a filter with the given direction that is not connected yet.
ComPtr<IPin> FirstFreePin(IBaseFilter* filter, PIN_DIRECTION direction) {
  for (ComPtr<IPin>& pin : ListPins(filter)) {
    PIN_DIRECTION dir;
    ComPtr<IPin> peer;
    if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == direction &&
        pin->ConnectedTo(peer.ReleaseAndGetAddressOf()) == VFW_E_NOT_CONNECTED)
      return pin;
  }
  return {};
}

std::u16string FilterDefaultName(IBaseFilter* filter) {
  FILTER_INFO info{};
  if (FAILED(filter->QueryFilterInfo(&info))) return u"Filter";
  if (info.pGraph) info.pGraph->Release();
  return info.achName[0] ? std::u16string(info.achName) : u"Filter";
}

}  // namespace

FilterGraph::FilterGraph() : videoWindow_(std::make_unique<GraphVideoWindow>(this)) {}

FilterGraph::~FilterGraph() {
  // Threads first: no filter may report to a graph that is going away.
  ChangeState(State_Stopped, 0);
  std::vector<Entry> entries;
  {
    std::lock_guard lock(filtersMutex_);
    entries.swap(filters_);
  }
  for (Entry& e : entries)
    for (ComPtr<IPin>& pin : ListPins(e.filter.Get())) pin->Disconnect();
  for (Entry& e : entries) e.filter->JoinFilterGraph(nullptr, nullptr);
}

HRESULT FilterGraph::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (MatchInterface<IFilterGraph2>(this, iid, object)) return S_OK;
  if (MatchInterface<IMediaControl>(this, iid, object)) return S_OK;
  if (MatchInterface<IMediaEventEx>(this, iid, object)) return S_OK;
  if (MatchInterface<IMediaEventSink>(this, iid, object)) return S_OK;
  if (MatchInterface<IMediaFilter>(this, iid, object)) return S_OK;
  if (iid == IID_IVideoWindow) {
    *object = static_cast<IVideoWindow*>(videoWindow_.get());
    AddRef();
    return S_OK;
  }
  return UnknownImpl::NonDelegatingQueryInterface(iid, object);
}

// ---- membership

std::vector<ComPtr<IBaseFilter>> FilterGraph::Filters() const {
  std::lock_guard lock(filtersMutex_);
  std::vector<ComPtr<IBaseFilter>> list;
  for (const Entry& e : filters_) list.push_back(e.filter);
  return list;
}

bool FilterGraph::Contains(IBaseFilter* filter) const {
  std::lock_guard lock(filtersMutex_);
  return std::any_of(filters_.begin(), filters_.end(),
                     [&](const Entry& e) { return e.filter.Get() == filter; });
}

bool FilterGraph::NameTaken(const std::u16string& name) const {
  std::lock_guard lock(filtersMutex_);
  return std::any_of(filters_.begin(), filters_.end(),
                     [&](const Entry& e) { return e.name == name; });
}

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, LPCWSTR name) {
  if (!filter) return E_POINTER;
  if (Contains(filter)) return VFW_E_DUPLICATE_NAME;
  std::u16string unique = name && name[0] ? std::u16string(name) : FilterDefaultName(filter);
  unique.resize(std::min<std::size_t>(unique.size(), MAX_FILTER_NAME - 6));
  HRESULT result = S_OK;
  if (NameTaken(unique)) {
    // "Name 0001", "Name 0002", ...: the first free one.
    std::u16string candidate;
    for (int n = 1; n < 10000; ++n) {
      std::string suffix = " " + std::to_string(10000 + n).substr(1);
      candidate = unique + std::u16string(suffix.begin(), suffix.end());
      if (!NameTaken(candidate)) break;
      candidate.clear();
    }
    if (candidate.empty()) return VFW_E_DUPLICATE_NAME;
    unique = candidate;
    result = VFW_S_DUPLICATE_NAME;
  }
  if (HRESULT hr = filter->JoinFilterGraph(this, unique.c_str()); FAILED(hr)) return hr;
  if (clock_) filter->SetSyncSource(clock_.Get());
  std::lock_guard lock(filtersMutex_);
  filters_.push_back({ComPtr<IBaseFilter>(filter), unique});
  return result;
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter) {
  if (!filter) return E_POINTER;
  if (!Contains(filter)) return VFW_E_NOT_FOUND;
  if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  for (ComPtr<IPin>& pin : ListPins(filter)) {
    ComPtr<IPin> peer;
    if (SUCCEEDED(pin->ConnectedTo(peer.ReleaseAndGetAddressOf())) && peer) peer->Disconnect();
    pin->Disconnect();
  }
  filter->SetSyncSource(nullptr);
  filter->JoinFilterGraph(nullptr, nullptr);
  ComPtr<IBaseFilter> released;  // let go after the lock
  std::lock_guard lock(filtersMutex_);
  auto it = std::find_if(filters_.begin(), filters_.end(),
                         [&](const Entry& e) { return e.filter.Get() == filter; });
  if (it != filters_.end()) {
    released = std::move(it->filter);
    filters_.erase(it);
  }
  return S_OK;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** filters) {
  if (!filters) return E_POINTER;
  *filters = new EnumFiltersImpl(Filters());
  return S_OK;
}

HRESULT FilterGraph::FindFilterByName(LPCWSTR name, IBaseFilter** filter) {
  if (!name || !filter) return E_POINTER;
  *filter = nullptr;
  std::lock_guard lock(filtersMutex_);
  for (const Entry& e : filters_)
    if (e.name == name) return e.filter.CopyTo(filter);
  return VFW_E_NOT_FOUND;
}

// ---- connections

HRESULT FilterGraph::ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt) {
  if (!out || !in) return E_POINTER;
  if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  if (!Contains(OwnerOf(out).Get()) || !Contains(OwnerOf(in).Get())) return VFW_E_NOT_IN_GRAPH;
  PIN_DIRECTION outDir, inDir;
  if (FAILED(out->QueryDirection(&outDir)) || FAILED(in->QueryDirection(&inDir)) ||
      outDir != PINDIR_OUTPUT || inDir != PINDIR_INPUT)
    return VFW_E_INVALID_DIRECTION;
  return out->Connect(in, mt);
}

HRESULT FilterGraph::Connect(IPin* out, IPin* in) {
  return ConnectWithDepth(out, in, kMaxConverterChain);
}

HRESULT FilterGraph::ConnectWithDepth(IPin* out, IPin* in, int depth) {
  const HRESULT direct = ConnectDirect(out, in, nullptr);
  if (SUCCEEDED(direct)) return direct;
  // Refusals that no converter can mend.
  if (direct == E_POINTER || direct == VFW_E_NOT_STOPPED || direct == VFW_E_NOT_IN_GRAPH ||
      direct == VFW_E_ALREADY_CONNECTED || direct == VFW_E_INVALID_DIRECTION)
    return direct;
  if (depth > 0)
    for (const CLSID* converter : kConverters)
      if (SUCCEEDED(ConnectThrough(*converter, out, in, depth - 1))) return S_OK;
  return VFW_E_CANNOT_CONNECT;
}

HRESULT FilterGraph::ConnectThrough(REFCLSID converterClass, IPin* out, IPin* in, int depth) {
  ComPtr<IBaseFilter> converter;
  HRESULT hr = CoCreateInstance(converterClass, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                converter.ReleaseAndGetVoidAddress());
  if (FAILED(hr)) return hr;
  ComPtr<IPin> convIn = FirstFreePin(converter.Get(), PINDIR_INPUT);
  ComPtr<IPin> convOut = FirstFreePin(converter.Get(), PINDIR_OUTPUT);
  if (!convIn || !convOut) return VFW_E_CANNOT_CONNECT;
  // Cheap test before the converter joins the graph: would it take what out offers at all?
  bool acceptable = false;
  for (const MediaType& mt : ListMediaTypes(out))
    if (convIn->QueryAccept(mt.Get()) == S_OK) acceptable = true;
  if (!acceptable) return VFW_E_CANNOT_CONNECT;

  if (hr = AddFilter(converter.Get(), nullptr); FAILED(hr)) return hr;
  hr = ConnectDirect(out, convIn.Get(), nullptr);
  if (SUCCEEDED(hr))
    hr = depth > 0 ? ConnectWithDepth(convOut.Get(), in, depth)
                   : ConnectDirect(convOut.Get(), in, nullptr);
  if (FAILED(hr)) RemoveFilter(converter.Get());  // also breaks the connection to out
  return hr;
}

HRESULT FilterGraph::Render(IPin* out) {
  if (!out) return E_POINTER;
  ComPtr<IPin> peer;
  if (SUCCEEDED(out->ConnectedTo(peer.ReleaseAndGetAddressOf()))) return VFW_E_ALREADY_CONNECTED;
  bool video = false;
  for (const MediaType& mt : ListMediaTypes(out))
    if (mt->majortype == MEDIATYPE_Video) video = true;
  if (!video) return VFW_E_CANNOT_RENDER;
  ComPtr<IBaseFilter> renderer;
  HRESULT hr = CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                renderer.ReleaseAndGetVoidAddress());
  if (FAILED(hr)) return hr;
  if (hr = AddFilter(renderer.Get(), u"Video Renderer"); FAILED(hr)) return hr;
  ComPtr<IPin> in = FirstFreePin(renderer.Get(), PINDIR_INPUT);
  hr = in ? Connect(out, in.Get()) : VFW_E_CANNOT_RENDER;
  if (FAILED(hr)) {
    RemoveFilter(renderer.Get());
    return VFW_E_CANNOT_RENDER;
  }
  return S_OK;
}

HRESULT FilterGraph::Reconnect(IPin* pin) {
  return ReconnectEx(pin, nullptr);
}

HRESULT FilterGraph::ReconnectEx(IPin* pin, const AM_MEDIA_TYPE* mt) {
  if (!pin) return E_POINTER;
  if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  ComPtr<IPin> peer;
  if (FAILED(pin->ConnectedTo(peer.ReleaseAndGetAddressOf()))) return VFW_E_NOT_CONNECTED;
  PIN_DIRECTION dir;
  pin->QueryDirection(&dir);
  IPin* out = dir == PINDIR_OUTPUT ? pin : peer.Get();
  IPin* in = dir == PINDIR_OUTPUT ? peer.Get() : pin;
  MediaType previous;
  out->ConnectionMediaType(previous.Get());
  out->Disconnect();
  in->Disconnect();
  HRESULT hr = ConnectDirect(out, in, mt);
  // A refused new type leaves the old connection in place.
  if (FAILED(hr) && previous.IsValid()) ConnectDirect(out, in, previous.Get());
  return hr;
}

HRESULT FilterGraph::Disconnect(IPin* pin) {
  if (!pin) return E_POINTER;
  if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  return pin->Disconnect();
}

HRESULT FilterGraph::RenderEx(IPin* out, DWORD, DWORD*) {
  return Render(out);
}
HRESULT FilterGraph::RenderFile(LPCWSTR, LPCWSTR) {
  return E_NOTIMPL;
}
HRESULT FilterGraph::AddSourceFilter(LPCWSTR, LPCWSTR, IBaseFilter** filter) {
  if (filter) *filter = nullptr;
  return E_NOTIMPL;
}
HRESULT FilterGraph::SetLogFile(ULONG_PTR) {
  return S_OK;
}
HRESULT FilterGraph::Abort() {
  return S_OK;
}
HRESULT FilterGraph::ShouldOperationContinue() {
  return S_OK;
}

HRESULT FilterGraph::AddSourceFilterForMoniker(IMoniker* moniker, IBindCtx* context, LPCWSTR name,
                                               IBaseFilter** filter) {
  if (!moniker) return E_POINTER;
  if (filter) *filter = nullptr;
  ComPtr<IBaseFilter> created;
  HRESULT hr =
      moniker->BindToObject(context, nullptr, IID_IBaseFilter, created.ReleaseAndGetVoidAddress());
  if (FAILED(hr)) return hr;
  if (!created) return E_UNEXPECTED;
  hr = AddFilter(created.Get(), name);
  if (FAILED(hr)) return hr;
  if (filter) created.CopyTo(filter);
  return hr;
}

// ---- clock

HRESULT FilterGraph::SetDefaultSyncSource() {
  ComPtr<IReferenceClock> clock = MakeComObject<SystemClock>();
  return SetSyncSource(clock.Get());
}

HRESULT FilterGraph::SetSyncSource(IReferenceClock* clock) {
  if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
  clock_ = clock;
  for (ComPtr<IBaseFilter>& f : Filters()) f->SetSyncSource(clock);
  return S_OK;
}

HRESULT FilterGraph::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  return clock_.CopyTo(clock);
}

HRESULT FilterGraph::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_FilterGraph;
  return S_OK;
}

// ---- state

std::vector<ComPtr<IBaseFilter>> FilterGraph::DownstreamFirst() const {
  std::vector<ComPtr<IBaseFilter>> left = Filters();
  std::vector<std::vector<IBaseFilter*>> downstream(left.size());
  for (std::size_t i = 0; i < left.size(); ++i)
    for (ComPtr<IPin>& pin : ListPins(left[i].Get())) {
      PIN_DIRECTION dir;
      ComPtr<IPin> peer;
      if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == PINDIR_OUTPUT &&
          SUCCEEDED(pin->ConnectedTo(peer.ReleaseAndGetAddressOf())))
        downstream[i].push_back(OwnerOf(peer.Get()).Get());
    }
  std::vector<ComPtr<IBaseFilter>> ordered;
  std::vector<bool> placed(left.size(), false);
  auto isPlaced = [&](IBaseFilter* f) {
    for (const ComPtr<IBaseFilter>& o : ordered)
      if (o.Get() == f) return true;
    return false;
  };
  while (ordered.size() < left.size()) {
    bool progress = false;
    for (std::size_t i = 0; i < left.size(); ++i) {
      if (placed[i]) continue;
      if (std::all_of(downstream[i].begin(), downstream[i].end(), isPlaced)) {
        ordered.push_back(left[i]);
        placed[i] = progress = true;
      }
    }
    if (!progress)  // a loop of connections: take the rest as they are
      for (std::size_t i = 0; i < left.size(); ++i)
        if (!placed[i]) {
          ordered.push_back(left[i]);
          placed[i] = true;
        }
  }
  return ordered;
}

HRESULT FilterGraph::ChangeState(FILTER_STATE target, REFERENCE_TIME start) {
  // A streaming thread stopping its own graph would wait for itself.
  if (SourceStream::OnStreamingThread()) return RPC_E_WRONG_THREAD;
  const std::vector<ComPtr<IBaseFilter>> order = DownstreamFirst();
  if (target == State_Stopped) {
    HRESULT result = S_OK;
    for (const ComPtr<IBaseFilter>& f : order) {
      const HRESULT hr = f->Stop();
      if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    state_ = State_Stopped;
    std::lock_guard lock(completeMutex_);
    completed_.clear();
    return result;
  }
  if (target == State_Running && state_ == State_Stopped) {
    if (HRESULT hr = ChangeState(State_Paused, 0); FAILED(hr)) return hr;
  }
  for (const ComPtr<IBaseFilter>& f : order) {
    const HRESULT hr = target == State_Running ? f->Run(start) : f->Pause();
    if (FAILED(hr)) {
      // Leave no filter half started: the graph is stopped as a whole and reports the code.
      qCWarning(lcMedia, "filter failed to %s: 0x%08X, graph stopped",
                target == State_Running ? "run" : "pause", static_cast<unsigned>(hr));
      ChangeState(State_Stopped, 0);
      return hr;
    }
  }
  state_ = target;
  return S_OK;
}

HRESULT FilterGraph::Run() {
  if (SourceStream::OnStreamingThread()) return RPC_E_WRONG_THREAD;
  if (state_ == State_Running) return S_OK;
  if (!clock_ && state_ == State_Stopped) SetDefaultSyncSource();
  REFERENCE_TIME now = 0;
  if (clock_) clock_->GetTime(&now);
  startTime_ = now;
  return ChangeState(State_Running, now);
}

HRESULT FilterGraph::Run(REFERENCE_TIME start) {
  if (state_ == State_Stopped && !clock_) SetDefaultSyncSource();
  startTime_ = start;
  return ChangeState(State_Running, start);
}

HRESULT FilterGraph::Pause() {
  if (state_ == State_Stopped && !clock_) SetDefaultSyncSource();
  return ChangeState(State_Paused, 0);
}

HRESULT FilterGraph::Stop() {
  return ChangeState(State_Stopped, 0);
}

HRESULT FilterGraph::StopWhenReady() {
  return Stop();
}

HRESULT FilterGraph::GetState(long, OAFilterState* state) {
  if (!state) return E_POINTER;
  *state = state_;
  return S_OK;
}

HRESULT FilterGraph::GetState(DWORD, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  *state = state_;
  return S_OK;
}

HRESULT FilterGraph::RenderFile(BSTR) {
  return E_NOTIMPL;
}

// ---- events

int FilterGraph::RendererCount() const {
  int count = 0;
  for (const ComPtr<IBaseFilter>& f : Filters()) {
    bool hasInput = false, hasOutput = false;
    for (ComPtr<IPin>& pin : ListPins(f.Get())) {
      PIN_DIRECTION dir;
      if (FAILED(pin->QueryDirection(&dir))) continue;
      (dir == PINDIR_INPUT ? hasInput : hasOutput) = true;
    }
    if (hasInput && !hasOutput) ++count;
  }
  return count;
}

bool FilterGraph::ConsumeComplete(LONG_PTR param2) {
  const int renderers = RendererCount();
  std::lock_guard lock(completeMutex_);
  if (std::find(completed_.begin(), completed_.end(), param2) == completed_.end())
    completed_.push_back(param2);
  return static_cast<int>(completed_.size()) >= renderers;
}

HRESULT FilterGraph::Notify(long eventCode, LONG_PTR param1, LONG_PTR param2) {
  if (events_.IsDefaultHandled(eventCode)) {
    // The graph's own handling: one EC_COMPLETE once every renderer completed; repaints are ours.
    if (eventCode == EC_COMPLETE && ConsumeComplete(param2)) events_.Add(EC_COMPLETE, S_OK, 0);
    return S_OK;
  }
  events_.Add(eventCode, param1, param2);
  return S_OK;
}

HRESULT FilterGraph::GetEventHandle(OAEVENT* handle) {
  if (handle) *handle = 0;
  return E_NOTIMPL;
}

HRESULT FilterGraph::GetEvent(long* eventCode, LONG_PTR* param1, LONG_PTR* param2, long msTimeout) {
  return events_.Get(eventCode, param1, param2, msTimeout);
}

HRESULT FilterGraph::WaitForCompletion(long msTimeout, long* eventCode) {
  if (!eventCode) return E_POINTER;
  *eventCode = 0;
  // Reads (and consumes) events until one that ends the stream.
  for (;;) {
    long code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    const HRESULT hr = events_.Get(&code, &p1, &p2, msTimeout);
    if (FAILED(hr)) return hr;
    EventQueue::FreeParams(code, p1, p2);
    if (code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_USERABORT) {
      *eventCode = code;
      return S_OK;
    }
  }
}

HRESULT FilterGraph::CancelDefaultHandling(long eventCode) {
  return events_.CancelDefaultHandling(eventCode);
}
HRESULT FilterGraph::RestoreDefaultHandling(long eventCode) {
  return events_.RestoreDefaultHandling(eventCode);
}

HRESULT FilterGraph::FreeEventParams(long eventCode, LONG_PTR param1, LONG_PTR param2) {
  return EventQueue::FreeParams(eventCode, param1, param2);
}

HRESULT FilterGraph::SetNotifyWindow(OAHWND window, long message, LONG_PTR instanceData) {
  events_.SetNotifyWindow(window, message, instanceData);
  return S_OK;
}

HRESULT FilterGraph::SetNotifyFlags(long flags) {
  if (flags != 0 && flags != AM_MEDIAEVENT_NONOTIFY) return E_INVALIDARG;
  events_.SetNotifyFlags(flags);
  return S_OK;
}

HRESULT FilterGraph::GetNotifyFlags(long* flags) {
  if (!flags) return E_POINTER;
  *flags = events_.NotifyFlags();
  return S_OK;
}
