// Interfaces of filters, pins, samples, clocks and the filter graph.
#pragma once

#include "platform/com/Unknown.h"
#include "platform/media/MediaType.h"

struct IBaseFilter;
struct IBindCtx;
struct IEnumFilters;
struct IEnumMediaTypes;
struct IEnumPins;
struct IFilterGraph;
struct IMediaSample;
struct IMemAllocator;
struct IMoniker;
struct IPin;
struct IReferenceClock;

enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };
enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

inline constexpr int MAX_PIN_NAME = 128;
inline constexpr int MAX_FILTER_NAME = 128;
inline constexpr DWORD INFINITE = 0xFFFFFFFF;

// pFilter carries a reference the caller releases.
struct PIN_INFO {
  IBaseFilter* pFilter;
  PIN_DIRECTION dir;
  WCHAR achName[MAX_PIN_NAME];
};

// pGraph carries a reference the caller releases (nullptr outside a graph).
struct FILTER_INFO {
  WCHAR achName[MAX_FILTER_NAME];
  IFilterGraph* pGraph;
};

struct ALLOCATOR_PROPERTIES {
  long cBuffers;
  long cbBuffer;
  long cbAlign;
  long cbPrefix;
};

struct IPersist : IUnknown {
  static constexpr IID kIid = MakeGuid("{0000010C-0000-0000-C000-000000000046}");
  using BaseInterface = IUnknown;
  virtual HRESULT GetClassID(CLSID* clsid) = 0;
};

struct IMediaFilter : IPersist {
  static constexpr IID kIid = MakeGuid("{56A86899-0AD4-11CE-B03A-0020AF0BA770}");
  using BaseInterface = IPersist;
  virtual HRESULT Stop() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Run(REFERENCE_TIME start) = 0;
  virtual HRESULT GetState(DWORD msTimeout, FILTER_STATE* state) = 0;
  virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;
  virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;
};

struct IBaseFilter : IMediaFilter {
  static constexpr IID kIid = MakeGuid("{56A86895-0AD4-11CE-B03A-0020AF0BA770}");
  using BaseInterface = IMediaFilter;
  virtual HRESULT EnumPins(IEnumPins** pins) = 0;
  virtual HRESULT FindPin(LPCWSTR id, IPin** pin) = 0;
  virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
  // The graph calls this when the filter is added (graph, name) and removed (nullptr, nullptr).
  // The filter keeps the graph pointer without a reference.
  virtual HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) = 0;
  virtual HRESULT QueryVendorInfo(LPWSTR* info) = 0;
};

struct IPin : IUnknown {
  static constexpr IID kIid = MakeGuid("{56A86891-0AD4-11CE-B03A-0020AF0BA770}");
  using BaseInterface = IUnknown;
  // Output pins only: agrees a type with receivePin (mt may be partial or nullptr).
  virtual HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) = 0;
  // Input pins only: accepts or refuses a connection of the given full type.
  virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) = 0;
  // Breaks this pin's side of the connection; S_FALSE if it was not connected.
  virtual HRESULT Disconnect() = 0;
  virtual HRESULT ConnectedTo(IPin** pin) = 0;
  // Copies the connection's type into *mt (caller frees with FreeMediaType).
  virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* mt) = 0;
  virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
  virtual HRESULT QueryDirection(PIN_DIRECTION* direction) = 0;
  virtual HRESULT QueryId(LPWSTR* id) = 0;
  // S_OK if the pin would accept the type, S_FALSE if not.
  virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* mt) = 0;
  virtual HRESULT EnumMediaTypes(IEnumMediaTypes** types) = 0;
  virtual HRESULT QueryInternalConnections(IPin** pins, ULONG* count) = 0;
  virtual HRESULT EndOfStream() = 0;
  virtual HRESULT BeginFlush() = 0;
  virtual HRESULT EndFlush() = 0;
  virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;
};
inline constexpr const IID& IID_IPin = IPin::kIid;
inline constexpr const IID& IID_IBaseFilter = IBaseFilter::kIid;
inline constexpr const IID& IID_IMediaFilter = IMediaFilter::kIid;
inline constexpr const IID& IID_IPersist = IPersist::kIid;

// Enumerators: Next answers S_OK when it filled count items, S_FALSE when fewer were left.
struct IEnumPins : IUnknown {
  static constexpr IID kIid = MakeGuid("{56A86892-0AD4-11CE-B03A-0020AF0BA770}");
  using BaseInterface = IUnknown;
  virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumPins** copy) = 0;
};
inline constexpr const IID& IID_IEnumPins = IEnumPins::kIid;

// Each AM_MEDIA_TYPE handed out is task memory: free it with DeleteMediaType.
struct IEnumMediaTypes : IUnknown {
  static constexpr IID kIid = MakeGuid("{89C31040-846B-11CE-97D3-00AA0055595A}");
  using BaseInterface = IUnknown;
  virtual HRESULT Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumMediaTypes** copy) = 0;
};
inline constexpr const IID& IID_IEnumMediaTypes = IEnumMediaTypes::kIid;

struct IEnumFilters : IUnknown {
  static constexpr IID kIid = MakeGuid("{56A86893-0AD4-11CE-B03A-0020AF0BA770}");
  using BaseInterface = IUnknown;
  virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumFilters** copy) = 0;
};
inline constexpr const IID& IID_IEnumFilters = IEnumFilters::kIid;

using HEVENT = ULONG_PTR;
using HSEMAPHORE = ULONG_PTR;

struct IReferenceClock : IUnknown {
  static constexpr IID kIid = MakeGuid("{56A86897-0AD4-11CE-B03A-0020AF0BA770}");
  using BaseInterface = IUnknown;
  virtual HRESULT GetTime(REFERENCE_TIME* time) = 0;
  virtual HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event,
                             ULONG_PTR* cookie) = 0;
  virtual HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME periodTime,
                                 HSEMAPHORE semaphore, ULONG_PTR* cookie) = 0;
  virtual HRESULT Unadvise(ULONG_PTR cookie) = 0;
};
inline constexpr const IID& IID_IReferenceClock = IReferenceClock::kIid;

struct IMediaSample : IUnknown {
  static constexpr IID kIid = MakeGuid("{56A8689A-0AD4-11CE-B03A-0020AF0BA770}");
  using BaseInterface = IUnknown;
  virtual HRESULT GetPointer(BYTE** buffer) = 0;
  virtual long GetSize() = 0;
  // VFW_E_SAMPLE_TIME_NOT_SET when no time was set.
  virtual HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) = 0;
  virtual HRESULT SetTime(REFERENCE_TIME* start, REFERENCE_TIME* end) = 0;
  virtual HRESULT IsSyncPoint() = 0;
  virtual HRESULT SetSyncPoint(BOOL value) = 0;
  virtual HRESULT IsPreroll() = 0;
  virtual HRESULT SetPreroll(BOOL value) = 0;
  virtual long GetActualDataLength() = 0;
  virtual HRESULT SetActualDataLength(long length) = 0;
  // S_FALSE and *mt nullptr when the type did not change; else a type to DeleteMediaType.
  virtual HRESULT GetMediaType(AM_MEDIA_TYPE** mt) = 0;
  virtual HRESULT SetMediaType(AM_MEDIA_TYPE* mt) = 0;
  virtual HRESULT IsDiscontinuity() = 0;
  virtual HRESULT SetDiscontinuity(BOOL value) = 0;
  virtual HRESULT GetMediaTime(LONGLONG* start, LONGLONG* end) = 0;
  virtual HRESULT SetMediaTime(LONGLONG* start, LONGLONG* end) = 0;
};
inline constexpr const IID& IID_IMediaSample = IMediaSample::kIid;

// Declared for completeness; samples here come from each output pin's own pool.
struct IMemAllocator : IUnknown {
  static constexpr IID kIid = MakeGuid("{56A8689C-0AD4-11CE-B03A-0020AF0BA770}");
  using BaseInterface = IUnknown;
  virtual HRESULT SetProperties(ALLOCATOR_PROPERTIES* request, ALLOCATOR_PROPERTIES* actual) = 0;
  virtual HRESULT GetProperties(ALLOCATOR_PROPERTIES* props) = 0;
  virtual HRESULT Commit() = 0;
  virtual HRESULT Decommit() = 0;
  virtual HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end,
                            DWORD flags) = 0;
  virtual HRESULT ReleaseBuffer(IMediaSample* sample) = 0;
};
inline constexpr const IID& IID_IMemAllocator = IMemAllocator::kIid;

struct IMemInputPin : IUnknown {
  static constexpr IID kIid = MakeGuid("{56A8689D-0AD4-11CE-B03A-0020AF0BA770}");
  using BaseInterface = IUnknown;
  virtual HRESULT GetAllocator(IMemAllocator** allocator) = 0;
  virtual HRESULT NotifyAllocator(IMemAllocator* allocator, BOOL readOnly) = 0;
  virtual HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) = 0;
  // Called on the upstream streaming thread. S_OK: go on; S_FALSE: send no more until the next
  // start; failure: the stream is broken (VFW_E_WRONG_STATE while the filter is stopped).
  virtual HRESULT Receive(IMediaSample* sample) = 0;
  virtual HRESULT ReceiveMultiple(IMediaSample** samples, long count, long* processed) = 0;
  virtual HRESULT ReceiveCanBlock() = 0;
};
inline constexpr const IID& IID_IMemInputPin = IMemInputPin::kIid;

// Filters report events to the graph through this interface, on any thread.
struct IMediaEventSink : IUnknown {
  static constexpr IID kIid = MakeGuid("{56A868A2-0AD4-11CE-B03A-0020AF0BA770}");
  using BaseInterface = IUnknown;
  virtual HRESULT Notify(long eventCode, LONG_PTR param1, LONG_PTR param2) = 0;
};
inline constexpr const IID& IID_IMediaEventSink = IMediaEventSink::kIid;

struct IFilterGraph : IUnknown {
  static constexpr IID kIid = MakeGuid("{56A8689F-0AD4-11CE-B03A-0020AF0BA770}");
  using BaseInterface = IUnknown;
  // A taken name gets a numeric suffix and VFW_S_DUPLICATE_NAME; nullptr name: one is made.
  virtual HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) = 0;
  virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
  virtual HRESULT EnumFilters(IEnumFilters** filters) = 0;
  virtual HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) = 0;
  // Connects exactly these two pins, with no filter in between.
  virtual HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt) = 0;
  virtual HRESULT Reconnect(IPin* pin) = 0;
  virtual HRESULT Disconnect(IPin* pin) = 0;
  virtual HRESULT SetDefaultSyncSource() = 0;
};
inline constexpr const IID& IID_IFilterGraph = IFilterGraph::kIid;

struct IGraphBuilder : IFilterGraph {
  static constexpr IID kIid = MakeGuid("{56A868A9-0AD4-11CE-B03A-0020AF0BA770}");
  using BaseInterface = IFilterGraph;
  // Connects out to in directly, or through converters the graph adds.
  virtual HRESULT Connect(IPin* out, IPin* in) = 0;
  // Ends the stream of an output pin in a renderer (through converters when needed).
  virtual HRESULT Render(IPin* out) = 0;
  virtual HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) = 0;
  virtual HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) = 0;
  virtual HRESULT SetLogFile(ULONG_PTR file) = 0;
  virtual HRESULT Abort() = 0;
  virtual HRESULT ShouldOperationContinue() = 0;
};
inline constexpr const IID& IID_IGraphBuilder = IGraphBuilder::kIid;

struct IFilterGraph2 : IGraphBuilder {
  static constexpr IID kIid = MakeGuid("{36B73882-C2C8-11CF-8B46-00805F6CEF60}");
  using BaseInterface = IGraphBuilder;
  // Binds the moniker to its filter and adds that filter under name.
  virtual HRESULT AddSourceFilterForMoniker(IMoniker* moniker, IBindCtx* context, LPCWSTR name,
                                            IBaseFilter** filter) = 0;
  virtual HRESULT ReconnectEx(IPin* pin, const AM_MEDIA_TYPE* mt) = 0;
  virtual HRESULT RenderEx(IPin* out, DWORD flags, DWORD* context) = 0;
};
inline constexpr const IID& IID_IFilterGraph2 = IFilterGraph2::kIid;

// Pin properties; pins answer AMPROPSETID_Pin / AMPROPERTY_PIN_CATEGORY with their category.
struct IKsPropertySet : IUnknown {
  static constexpr IID kIid = MakeGuid("{31EFAC30-515C-11D0-A9AA-00AA0061BE93}");
  using BaseInterface = IUnknown;
  virtual HRESULT Set(REFGUID set, DWORD id, void* instance, DWORD instanceLength, void* data,
                      DWORD dataLength) = 0;
  virtual HRESULT Get(REFGUID set, DWORD id, void* instance, DWORD instanceLength, void* data,
                      DWORD dataLength, DWORD* returned) = 0;
  virtual HRESULT QuerySupported(REFGUID set, DWORD id, DWORD* support) = 0;
};
inline constexpr const IID& IID_IKsPropertySet = IKsPropertySet::kIid;

// A pin medium: pins with equal mediums are wired together in hardware (a crossbar output
// and the capture filter's analog input, for instance).
struct REGPINMEDIUM {
  GUID clsMedium;
  DWORD dw1;
  DWORD dw2;
};

// Header of a list in task memory: Size bytes in all (header included), Count items following.
struct KSMULTIPLE_ITEM {
  ULONG Size;
  ULONG Count;
};

// The part of a kernel-streaming pin the capture graph builder uses: its mediums.
struct IKsPin : IUnknown {
  static constexpr IID kIid = MakeGuid("{B61178D1-A2D9-11CF-9E53-00AA00A216A1}");
  using BaseInterface = IUnknown;
  // A KSMULTIPLE_ITEM followed by REGPINMEDIUM entries, in task memory the caller frees.
  virtual HRESULT KsQueryMediums(KSMULTIPLE_ITEM** mediums) = 0;
};
inline constexpr const IID& IID_IKsPin = IKsPin::kIid;
