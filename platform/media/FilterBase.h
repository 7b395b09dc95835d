// Filter base class: pins, the stopped/paused/running state, clock, graph membership, events.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/ComPtr.h"
#include "platform/media/FilterInterfaces.h"

class PinBase;

// Derived filters add their pins in the constructor (AddPin) and fill in the hooks of their pins.
// State changes (Stop, Pause, Run) come from the graph on the control thread and are serialised
// by stateChangeMutex_. Stop joins streaming threads while holding it, so streaming threads
// never take it.
// Thread: control thread for state and membership; streaming threads read State(), the clock
// (guarded by clockMutex_) and the event sink (atomic, changed only while stopped).
class FilterBase : public IBaseFilter, public UnknownImpl {
 public:
  FilterBase(REFCLSID clsid, std::u16string defaultName);
  ~FilterBase() override;

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // IMediaFilter. Pause from stopped activates every pin (a source starts its thread); if one
  // fails the others are deactivated again and the filter stays stopped. Stop deactivates the
  // pins (joining their threads) before it returns.
  HRESULT GetClassID(CLSID* clsid) override;
  HRESULT Stop() override;
  HRESULT Pause() override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT GetState(DWORD msTimeout, FILTER_STATE* state) override;
  HRESULT SetSyncSource(IReferenceClock* clock) override;
  HRESULT GetSyncSource(IReferenceClock** clock) override;

  // IBaseFilter.
  HRESULT EnumPins(IEnumPins** pins) override;
  HRESULT FindPin(LPCWSTR id, IPin** pin) override;
  HRESULT QueryFilterInfo(FILTER_INFO* info) override;
  HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  HRESULT QueryVendorInfo(LPWSTR* info) override;

  FILTER_STATE State() const { return state_.load(std::memory_order_acquire); }
  bool IsStopped() const { return State() == State_Stopped; }
  // The graph the filter is in (no reference), nullptr outside a graph.
  IFilterGraph* Graph() const { return graph_; }
  std::u16string Name() const;
  int PinCount() const;
  PinBase* GetPin(int index) const;  // nullptr past the end

  // Any thread: reports an event to the graph; dropped outside a graph.
  void NotifyEvent(long code, LONG_PTR param1, LONG_PTR param2);
  // Any thread: the clock's time minus the run start time; VFW_E_NO_CLOCK without a clock.
  HRESULT StreamTime(REFERENCE_TIME* time);
  REFERENCE_TIME StartTime() const { return startTime_.load(std::memory_order_acquire); }

 protected:
  // Adds a pin the filter owns; may be called later for filters that grow pins (tees).
  PinBase* AddPin(std::unique_ptr<PinBase> pin);

  // Hooks around state changes, on the control thread. OnStop runs after the pins are inactive.
  virtual HRESULT OnPause() { return S_OK; }
  virtual HRESULT OnRun(REFERENCE_TIME) { return S_OK; }
  virtual void OnStop() {}

 private:
  const CLSID clsid_;
  std::u16string defaultName_;

  mutable std::mutex pinsMutex_;  // guards pins_ (tees add pins while connected)
  std::vector<std::unique_ptr<PinBase>> pins_;

  std::mutex stateChangeMutex_;  // serialises Stop/Pause/Run
  std::atomic<FILTER_STATE> state_{State_Stopped};
  std::atomic<REFERENCE_TIME> startTime_{0};

  std::mutex clockMutex_;  // guards clock_
  ComPtr<IReferenceClock> clock_;

  mutable std::mutex infoMutex_;  // guards name_
  std::u16string name_;
  IFilterGraph* graph_ = nullptr;                // no reference: the graph owns the filter
  std::atomic<IMediaEventSink*> sink_{nullptr};  // no reference, as graph_
};

// Copies text into a fixed WCHAR array, cut to fit and zero-terminated.
void CopyName(std::u16string_view text, WCHAR* target, std::size_t capacity);
