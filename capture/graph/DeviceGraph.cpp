#include "capture/graph/DeviceGraph.h"

#include <vector>

#include "capture/core/CaptureCore.h"
#include "capture/core/Diagnostics.h"
#include "capture/devices/DeviceList.h"
#include "platform/com/ComApi.h"
#include "platform/media/Guids.h"

namespace {

constexpr long kFirstAudioConnector = 4096;

const char* ConnectorName(long type) {
  static constexpr const char* kVideo[] = {
      "Tuner", "Composite", "SVideo", "RGB", "YRYBY",         "Serial Digital", "Parallel Digital",
      "SCSI",  "AUX",       "1394",   "USB", "Video Decoder", "Video Encoder",  "SCART",
      "black"};
  static constexpr const char* kAudio[] = {
      "Audio Tuner", "Audio Line", "Audio Mic",  "Audio AES Digital", "Audio SPDIF Digital",
      "Audio SCSI",  "Audio AUX",  "Audio 1394", "Audio USB",         "Audio Decoder"};
  if (type >= 1 && type <= 15) return kVideo[type - 1];
  if (type >= kFirstAudioConnector && type < kFirstAudioConnector + 10)
    return kAudio[type - kFirstAudioConnector];
  return "";
}

// Whether the crossbar has an output pin of a video (or audio) connector type.
bool HasOutputOfKind(IAMCrossbar* crossbar, bool video) {
  long outputs = 0, inputs = 0;
  if (FAILED(crossbar->get_PinCounts(&outputs, &inputs))) return false;
  for (long i = 0; i < outputs; ++i) {
    long related = 0, type = 0;
    if (SUCCEEDED(crossbar->get_CrossbarPinInfo(FALSE, i, &related, &type)) &&
        (type < kFirstAudioConnector) == video)
      return true;
  }
  return false;
}

}  // namespace

bool TDeviceGraph::Build(TCaptureCore* core, int deviceIndex, bool discovering) {
  TearDown();
  TraceWrite({}, kMarkDefault, QStringLiteral("creating filter graph"));
  if (!TraceCreateInstance(CLSID_CaptureGraphBuilder2, IID_ICaptureGraphBuilder2,
                           Builder.ReleaseAndGetVoidAddress(),
                           QStringLiteral("CaptureGraphBuilder2"))) {
    ReportIf(core, true, sv_Error, e_set_filter_graph,
             QStringLiteral("DirectX 8 or higher required!"));
    TearDown();
    return false;
  }
  if (!TraceCreateInstance(CLSID_FilterGraph, IID_IGraphBuilder, Graph.ReleaseAndGetVoidAddress(),
                           QStringLiteral("FilterGraph")) ||
      !ReportResult(core, Builder->SetFiltergraph(Graph.Get()), sv_Error, e_set_filter_graph,
                    QStringLiteral("set filter graph")) ||
      !ReportResult(core, Graph.As(&Graph2), sv_Error, e_get_interface,
                    QStringLiteral("filter graph 2"))) {
    TearDown();
    return false;
  }
  TraceWrite({}, kMarkDefault, QStringLiteral("filter graph created"));
  TraceWrite({}, kMarkDefault, QStringLiteral("creating device graph"));
  TDevices* list = DeviceList(dk_VideoDevices);
  int index = deviceIndex;
  const HRESULT bound = list ? list->Bind(core, &index, Graph2.Get(), true, !discovering, QString(),
                                          QString(), Device.ReleaseAndGetAddressOf())
                             : E_FAIL;
  if (core) core->DeviceOpenResult = bound;
  if (FAILED(bound)) {
    TearDown();
    return false;
  }
  BoundIndex = index;
  TraceWrite({}, kMarkDefault, QStringLiteral("device graph created"));
  TraceWrite({}, kMarkDefault, QStringLiteral("retrieving source pins"));
  if (!FindSourcePin(core)) {
    TearDown();
    return false;
  }
  RetrieveInterfaces();
  TraceWrite({}, kMarkDefault, QStringLiteral("source pins retrieved"));
  return true;
}

bool TDeviceGraph::FindSourcePin(TCaptureCore* core) {
  struct Search {
    const GUID* category;
    const char* trace;
  };
  for (const Search& s : {Search{&PIN_CATEGORY_CAPTURE, "normal video cat capture"},
                          Search{&PIN_CATEGORY_PREVIEW, "normal video cat preview"},
                          Search{nullptr, "normal video cat not specified"}}) {
    if (SUCCEEDED(Builder->FindPin(Device.Get(), PINDIR_OUTPUT, s.category, &MEDIATYPE_Video, TRUE,
                                   0, SourcePin.ReleaseAndGetAddressOf())) &&
        SourcePin) {
      TraceWrite({}, kMarkDefault, QString::fromLatin1(s.trace));
      return true;
    }
  }
  ReportIf(core, true, sv_TraceOnly, e_pin_not_found, QStringLiteral("preview pin not assigned"));
  return false;
}

void TDeviceGraph::RetrieveInterfaces() {
  IBaseFilter* device = Device.Get();
  Builder->FindInterface(nullptr, &MEDIATYPE_Video, device, IID_IAMStreamConfig,
                         StreamConfig.ReleaseAndGetVoidAddress());
  if (!StreamConfig) SourcePin.As(&StreamConfig);
  Device.As(&VideoProcAmp);
  Device.As(&CameraControl);
  Device.As(&VfwDialogs);
  // The builder adds the crossbar and tuner wired to the device's analog inputs; what it
  // rendered downstream of the source pin is removed again.
  if (SUCCEEDED(Builder->RenderStream(nullptr, nullptr, SourcePin.Get(), nullptr, nullptr)))
    RemoveDownstream(SourcePin.Get());
  ComPtr<IAMCrossbar> crossbar;
  if (SUCCEEDED(Builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, device, IID_IAMCrossbar,
                                       crossbar.ReleaseAndGetVoidAddress())) &&
      crossbar) {
    if (HasOutputOfKind(crossbar.Get(), true)) VideoCrossbar = crossbar;
    if (HasOutputOfKind(crossbar.Get(), false)) AudioCrossbar = crossbar;
  }
  Builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, device, IID_IAMAnalogVideoDecoder,
                         AnalogDecoder.ReleaseAndGetVoidAddress());
  Builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, device, IID_IAMTVTuner,
                         Tuner.ReleaseAndGetVoidAddress());
}

void TDeviceGraph::RemoveDownstream(IPin* output) {
  ComPtr<IPin> connected;
  if (FAILED(output->ConnectedTo(connected.ReleaseAndGetAddressOf())) || !connected) return;
  PIN_INFO info{};
  if (FAILED(connected->QueryPinInfo(&info)) || !info.pFilter) return;
  ComPtr<IBaseFilter> filter;
  filter.Attach(info.pFilter);
  // First everything behind this filter, then the filter itself with its pins disconnected.
  ComPtr<IEnumPins> pins;
  std::vector<ComPtr<IPin>> all;
  if (SUCCEEDED(filter->EnumPins(pins.ReleaseAndGetAddressOf())) && pins) {
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK && pin) all.push_back(pin);
  }
  for (const ComPtr<IPin>& pin : all) {
    PIN_DIRECTION dir = PINDIR_INPUT;
    if (SUCCEEDED(pin->QueryDirection(&dir)) && dir == PINDIR_OUTPUT) RemoveDownstream(pin.Get());
  }
  for (const ComPtr<IPin>& pin : all) {
    ComPtr<IPin> peer;
    if (SUCCEEDED(pin->ConnectedTo(peer.ReleaseAndGetAddressOf())) && peer)
      Graph2->Disconnect(peer.Get());
    Graph2->Disconnect(pin.Get());
  }
  Graph2->RemoveFilter(filter.Get());
}

void TDeviceGraph::TearDown() {
  StreamConfig.Reset();
  VideoProcAmp.Reset();
  CameraControl.Reset();
  VideoCrossbar.Reset();
  AudioCrossbar.Reset();
  AnalogDecoder.Reset();
  Tuner.Reset();
  VfwDialogs.Reset();
  SourcePin.Reset();
  Device.Reset();
  if (Graph) {
    ComPtr<IMediaControl> control;
    if (SUCCEEDED(Graph.As(&control))) control->Stop();
    // Disconnect every pin of every filter, then remove the filters one at a time.
    ComPtr<IEnumFilters> filters;
    if (SUCCEEDED(Graph->EnumFilters(filters.ReleaseAndGetAddressOf())) && filters) {
      ComPtr<IBaseFilter> filter;
      while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK && filter) {
        ComPtr<IEnumPins> pins;
        if (FAILED(filter->EnumPins(pins.ReleaseAndGetAddressOf())) || !pins) continue;
        ComPtr<IPin> pin;
        while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK && pin)
          Graph->Disconnect(pin.Get());
      }
    }
    for (;;) {
      ComPtr<IBaseFilter> filter;
      if (FAILED(Graph->EnumFilters(filters.ReleaseAndGetAddressOf())) || !filters ||
          filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) != S_OK || !filter)
        break;
      if (FAILED(Graph->RemoveFilter(filter.Get()))) break;
    }
  }
  Graph2.Reset();
  Graph.Reset();
  Builder.Reset();
  if (BoundIndex >= 0) {
    if (TDevices* list = DeviceList(dk_VideoDevices)) list->ReleaseInUse(BoundIndex);
    BoundIndex = -1;
  }
}

QString CrossbarRoutingText(IAMCrossbar* crossbar) {
  long outputs = 0, inputs = 0;
  if (!crossbar || FAILED(crossbar->get_PinCounts(&outputs, &inputs))) return {};
  QString text = QString::number(outputs) + QLatin1Char('!');
  for (long i = 0; i < outputs; ++i) {
    long routed = -1;
    crossbar->get_IsRoutedTo(i, &routed);
    text += QString::number(routed) + QLatin1Char('!');
  }
  return text;
}

bool RestoreCrossbarRouting(IAMCrossbar* crossbar, const QString& text) {
  long outputs = 0, inputs = 0;
  if (!crossbar || FAILED(crossbar->get_PinCounts(&outputs, &inputs))) return false;
  const QStringList parts = text.split(QLatin1Char('!'), Qt::SkipEmptyParts);
  std::vector<long> numbers;
  for (const QString& part : parts) {
    bool ok = false;
    const long n = part.toLong(&ok);
    if (!ok) return false;
    numbers.push_back(n);
  }
  if (numbers.empty() || numbers[0] != outputs || static_cast<long>(numbers.size()) != outputs + 1)
    return false;
  for (long i = 0; i < outputs; ++i) crossbar->Route(i, numbers[static_cast<std::size_t>(i) + 1]);
  return true;
}

QString CrossbarVideoInputs(IAMCrossbar* crossbar) {
  long outputs = 0, inputs = 0;
  if (!crossbar || FAILED(crossbar->get_PinCounts(&outputs, &inputs)) ||
      !HasOutputOfKind(crossbar, true))
    return {};
  QString text;
  std::vector<long> seen;
  for (long i = 0; i < inputs; ++i) {
    long related = 0, type = 0;
    if (FAILED(crossbar->get_CrossbarPinInfo(TRUE, i, &related, &type)) ||
        type >= kFirstAudioConnector)
      continue;
    const long earlier = static_cast<long>(std::count(seen.begin(), seen.end(), type));
    seen.push_back(type);
    QString line = QString::fromLatin1(ConnectorName(type));
    if (earlier > 0) line += QLatin1Char(' ') + QString::number(earlier);
    text += line + QStringLiteral("\r\n");
  }
  return text;
}
