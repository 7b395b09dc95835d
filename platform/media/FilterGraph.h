// Filter graph: owns filters, connects pins (adding converters when a direct connection fails),
// runs and stops them, and queues their events for the application.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/ComPtr.h"
#include "platform/media/ControlInterfaces.h"
#include "platform/media/DeviceInterfaces.h"
#include "platform/media/EventQueue.h"

class GraphVideoWindow;

// State changes go downstream-first (renderers first), so a sink is ready before samples reach
// it and stops taking samples before its source is stopped. Run from stopped pauses every filter
// first; a filter failing to start makes the graph stop the others again and report the code.
// Thread: the control thread (user-interface thread) for every operation; filters report events
// from streaming threads through IMediaEventSink. filtersMutex_ guards the filter list and is
// never held while a filter is called.
class FilterGraph final : public IFilterGraph2,
                          public IMediaControl,
                          public IMediaEventEx,
                          public IMediaEventSink,
                          public IMediaFilter,
                          public UnknownImpl {
 public:
  FilterGraph();
  ~FilterGraph() override;

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // IFilterGraph.
  HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override;
  HRESULT RemoveFilter(IBaseFilter* filter) override;
  HRESULT EnumFilters(IEnumFilters** filters) override;
  HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) override;
  HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt) override;
  HRESULT Reconnect(IPin* pin) override;
  HRESULT Disconnect(IPin* pin) override;
  HRESULT SetDefaultSyncSource() override;
  // IGraphBuilder.
  HRESULT Connect(IPin* out, IPin* in) override;
  HRESULT Render(IPin* out) override;
  HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) override;
  HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) override;
  HRESULT SetLogFile(ULONG_PTR file) override;
  HRESULT Abort() override;
  HRESULT ShouldOperationContinue() override;
  // IFilterGraph2.
  HRESULT AddSourceFilterForMoniker(IMoniker* moniker, IBindCtx* context, LPCWSTR name,
                                    IBaseFilter** filter) override;
  HRESULT ReconnectEx(IPin* pin, const AM_MEDIA_TYPE* mt) override;
  HRESULT RenderEx(IPin* out, DWORD flags, DWORD* context) override;

  // IMediaControl (Stop and Pause serve IMediaFilter too).
  HRESULT Run() override;
  HRESULT Pause() override;
  HRESULT Stop() override;
  HRESULT GetState(long msTimeout, OAFilterState* state) override;
  HRESULT RenderFile(BSTR fileName) override;
  HRESULT StopWhenReady() override;

  // IMediaEventEx.
  HRESULT GetEventHandle(OAEVENT* handle) override;
  HRESULT GetEvent(long* eventCode, LONG_PTR* param1, LONG_PTR* param2, long msTimeout) override;
  HRESULT WaitForCompletion(long msTimeout, long* eventCode) override;
  HRESULT CancelDefaultHandling(long eventCode) override;
  HRESULT RestoreDefaultHandling(long eventCode) override;
  HRESULT FreeEventParams(long eventCode, LONG_PTR param1, LONG_PTR param2) override;
  HRESULT SetNotifyWindow(OAHWND window, long message, LONG_PTR instanceData) override;
  HRESULT SetNotifyFlags(long flags) override;
  HRESULT GetNotifyFlags(long* flags) override;

  // IMediaEventSink: any thread.
  HRESULT Notify(long eventCode, LONG_PTR param1, LONG_PTR param2) override;

  // IMediaFilter.
  HRESULT GetClassID(CLSID* clsid) override;
  HRESULT Run(REFERENCE_TIME start) override;
  HRESULT GetState(DWORD msTimeout, FILTER_STATE* state) override;
  HRESULT SetSyncSource(IReferenceClock* clock) override;
  HRESULT GetSyncSource(IReferenceClock** clock) override;

  // Snapshot of the filters, for the graph's own helpers and the capture graph builder.
  std::vector<ComPtr<IBaseFilter>> Filters() const;

 private:
  struct Entry {
    ComPtr<IBaseFilter> filter;
    std::u16string name;
  };

  bool Contains(IBaseFilter* filter) const;
  bool NameTaken(const std::u16string& name) const;
  // Filters ordered so that each comes before every filter upstream of it.
  std::vector<ComPtr<IBaseFilter>> DownstreamFirst() const;
  HRESULT ChangeState(FILTER_STATE target, REFERENCE_TIME start);
  // Connect through one converter class, recursing up to depth more converters.
  HRESULT ConnectThrough(REFCLSID converter, IPin* out, IPin* in, int depth);
  HRESULT ConnectWithDepth(IPin* out, IPin* in, int depth);
  // Default handling of EC_COMPLETE: one event once every renderer has completed.
  bool ConsumeComplete(LONG_PTR param2);
  int RendererCount() const;

  mutable std::mutex filtersMutex_;  // guards filters_
  std::vector<Entry> filters_;
  FILTER_STATE state_ = State_Stopped;  // control thread only
  ComPtr<IReferenceClock> clock_;       // control thread only
  REFERENCE_TIME startTime_ = 0;

  std::mutex completeMutex_;  // guards completed_
  std::vector<LONG_PTR> completed_;

  EventQueue events_;
  std::unique_ptr<GraphVideoWindow> videoWindow_;
};
