#include "platform/media/FilterBase.h"

#include "platform/media/Enumerators.h"
#include "platform/media/PinBase.h"

void CopyName(std::u16string_view text, WCHAR* target, std::size_t capacity) {
  const std::size_t n = std::min(text.size(), capacity - 1);
  std::copy_n(text.data(), n, target);
  target[n] = 0;
}

FilterBase::FilterBase(REFCLSID clsid, std::u16string defaultName)
    : clsid_(clsid), defaultName_(std::move(defaultName)), name_(defaultName_) {}

// Pins are destroyed with the filter; their threads were joined when it stopped.
FilterBase::~FilterBase() = default;

HRESULT FilterBase::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (MatchInterface<IBaseFilter>(this, iid, object)) return S_OK;
  return UnknownImpl::NonDelegatingQueryInterface(iid, object);
}

HRESULT FilterBase::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = clsid_;
  return S_OK;
}

HRESULT FilterBase::Stop() {
  std::lock_guard lock(stateChangeMutex_);
  if (State() == State_Stopped) return S_OK;
  // Publish the state first: pins refuse samples from now on, and a source's thread sees it.
  state_.store(State_Stopped, std::memory_order_release);
  for (int i = 0; PinBase* pin = GetPin(i); ++i) pin->Inactive();
  OnStop();
  return S_OK;
}

HRESULT FilterBase::Pause() {
  std::lock_guard lock(stateChangeMutex_);
  if (State() == State_Stopped) {
    state_.store(State_Paused, std::memory_order_release);
    int activated = 0;
    HRESULT hr = S_OK;
    for (; PinBase* pin = GetPin(activated); ++activated) {
      hr = pin->Active();
      if (FAILED(hr)) break;
    }
    if (SUCCEEDED(hr)) hr = OnPause();
    if (FAILED(hr)) {
      state_.store(State_Stopped, std::memory_order_release);
      for (int i = 0; i < activated; ++i) GetPin(i)->Inactive();
      return hr;
    }
    return S_OK;
  }
  state_.store(State_Paused, std::memory_order_release);
  return OnPause();
}

HRESULT FilterBase::Run(REFERENCE_TIME start) {
  if (State() == State_Stopped) {
    if (HRESULT hr = Pause(); FAILED(hr)) return hr;
  }
  std::lock_guard lock(stateChangeMutex_);
  startTime_.store(start, std::memory_order_release);
  const FILTER_STATE previous = State();
  state_.store(State_Running, std::memory_order_release);
  if (HRESULT hr = OnRun(start); FAILED(hr)) {
    state_.store(previous, std::memory_order_release);
    return hr;
  }
  return S_OK;
}

HRESULT FilterBase::GetState(DWORD, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  *state = State();
  return S_OK;
}

HRESULT FilterBase::SetSyncSource(IReferenceClock* clock) {
  std::lock_guard lock(clockMutex_);
  clock_ = clock;
  return S_OK;
}

HRESULT FilterBase::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  std::lock_guard lock(clockMutex_);
  return clock_.CopyTo(clock);
}

HRESULT FilterBase::StreamTime(REFERENCE_TIME* time) {
  if (!time) return E_POINTER;
  ComPtr<IReferenceClock> clock;
  {
    std::lock_guard lock(clockMutex_);
    clock = clock_;
  }
  if (!clock) return VFW_E_NO_CLOCK;
  REFERENCE_TIME now = 0;
  if (HRESULT hr = clock->GetTime(&now); FAILED(hr)) return hr;
  *time = now - StartTime();
  return S_OK;
}

HRESULT FilterBase::EnumPins(IEnumPins** pins) {
  if (!pins) return E_POINTER;
  std::vector<ComPtr<IPin>> list;
  for (int i = 0; PinBase* pin = GetPin(i); ++i) list.emplace_back(pin);
  *pins = new EnumPinsImpl(std::move(list));
  return S_OK;
}

HRESULT FilterBase::FindPin(LPCWSTR id, IPin** pin) {
  if (!id || !pin) return E_POINTER;
  *pin = nullptr;
  for (int i = 0; PinBase* p = GetPin(i); ++i) {
    if (p->Name() == id) {
      *pin = p;
      p->AddRef();
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

HRESULT FilterBase::QueryFilterInfo(FILTER_INFO* info) {
  if (!info) return E_POINTER;
  std::lock_guard lock(infoMutex_);
  CopyName(name_, info->achName, MAX_FILTER_NAME);
  info->pGraph = graph_;
  if (graph_) graph_->AddRef();
  return S_OK;
}

HRESULT FilterBase::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  IMediaEventSink* sink = nullptr;
  if (graph) {
    // Kept without a reference: the graph holds the filter, not the other way round.
    ComPtr<IMediaEventSink> query = ComQuery<IMediaEventSink>(graph);
    sink = query.Get();
  }
  std::lock_guard lock(infoMutex_);
  graph_ = graph;
  name_ = name ? std::u16string(name) : defaultName_;
  sink_.store(sink, std::memory_order_release);
  return S_OK;
}

HRESULT FilterBase::QueryVendorInfo(LPWSTR* info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

std::u16string FilterBase::Name() const {
  std::lock_guard lock(infoMutex_);
  return name_;
}

int FilterBase::PinCount() const {
  std::lock_guard lock(pinsMutex_);
  return static_cast<int>(pins_.size());
}

PinBase* FilterBase::GetPin(int index) const {
  std::lock_guard lock(pinsMutex_);
  if (index < 0 || index >= static_cast<int>(pins_.size())) return nullptr;
  return pins_[index].get();
}

PinBase* FilterBase::AddPin(std::unique_ptr<PinBase> pin) {
  std::lock_guard lock(pinsMutex_);
  pins_.push_back(std::move(pin));
  return pins_.back().get();
}

void FilterBase::NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2) {
  if (IMediaEventSink* sink = sink_.load(std::memory_order_acquire))
    sink->Notify(code, param1, param2);
}
