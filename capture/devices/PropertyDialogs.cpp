// The configuration dialogs of the graph's objects: the device's own property pages, its stream
// format pages, the old-driver dialogs, crossbar, tuner and audio device pages. The component
// has no dialogs of its own; it finds the object, builds a graph holding it where needed, shows
// the media framework's property frame and takes over what the user chose.

#include <cmath>

#include "capture/CaptureCtl.h"
#include "capture/core/CaptureCore.h"
#include "capture/core/Diagnostics.h"
#include "capture/devices/DeviceList.h"
#include "capture/devices/VideoFormats.h"
#include "capture/graph/DeviceGraph.h"
#include "platform/media/MediaType.h"
#include "platform/media/PropertyFrame.h"

namespace {

enum TDialog : unsigned {
  dlg_Device = 0,
  dlg_VideoCompressor = 1,
  dlg_AudioCompressor = 2,
  dlg_Stream = 3,
  dlg_VfwFormat = 4,
  dlg_VfwSource = 5,
  dlg_VfwDisplay = 6,
  dlg_VideoCrossbar = 7,
  dlg_AudioCrossbar = 8,
  dlg_TVTuner = 9,
  dlg_TVAudio = 10,
  dlg_AudioDevice = 11,
};

// Shows the property frame of object with the pages it names; false when it names none.
bool ShowPropertyPages(QWidget* owner, IUnknown* object, UINT x, UINT y) {
  if (!object) return false;
  ComPtr<ISpecifyPropertyPages> specify = ComQuery<ISpecifyPropertyPages>(object);
  if (!specify) return false;
  CAUUID pages{};
  if (FAILED(specify->GetPages(&pages)) || pages.cElems == 0) {
    CoTaskMemFree(pages.pElems);
    return false;
  }
  OleCreatePropertyFrame(owner, x, y, nullptr, 1, &object, pages.cElems, pages.pElems, 0, 0,
                         nullptr);
  CoTaskMemFree(pages.pElems);
  return true;
}

// The frame rate of a video format in hundredths of a frame per second, 0 when it has none.
int FrameRateOf(const AM_MEDIA_TYPE& mt) {
  if (mt.formattype != FORMAT_VideoInfo || mt.cbFormat < sizeof(VIDEOINFOHEADER) || !mt.pbFormat)
    return 0;
  const REFERENCE_TIME d = reinterpret_cast<const VIDEOINFOHEADER*>(mt.pbFormat)->AvgTimePerFrame;
  if (d <= 0) return 0;
  return static_cast<int>(std::lround(1e9 / static_cast<double>(d)));
}

}  // namespace

bool TCaptureCore::ShowDialog(unsigned index) {
  bool wasPreviewing = CaptureState.load() == cs_Previewing;
  bool result = false;
  switch (index) {
    case dlg_Device:
      wasPreviewing = false;
      result = ShowDevicePages();
      break;
    case dlg_VideoCompressor:
    case dlg_AudioCompressor:
      result = ShowCompressorDialog(index == dlg_AudioCompressor);
      break;
    case dlg_Stream:
      if (VideoRegSave.Bool(vrs_IsDigitalVideoIn)) return false;
      result = VideoRegSave.Bool(vrs_IsVfw) ? DeviceDialogProcedure(dlg_Device)
                                            : StreamDialogProcedure();
      UpdateDisplaySize();
      break;
    case dlg_VfwFormat:
    case dlg_VfwSource:
    case dlg_VfwDisplay:
      result = DeviceDialogProcedure(index);
      UpdateDisplaySize();
      break;
    case dlg_VideoCrossbar:
    case dlg_AudioCrossbar:
      wasPreviewing = false;
      if (graph_)
        result = ShowPropertyPages(
            Owner,
            index == dlg_VideoCrossbar ? graph_->VideoCrossbar.Get() : graph_->AudioCrossbar.Get(),
            30, 30);
      break;
    case dlg_TVTuner: {
      wasPreviewing = false;
      const bool temporary = CaptureState.load() == cs_Idle && !graph_;
      if (temporary && !BuildDialogGraph()) {
        ClearGraph(false);
        return false;
      }
      if (graph_) result = ShowPropertyPages(Owner, graph_->Tuner.Get(), 30, 30);
      if (temporary) ClearGraph(false);
      break;
    }
    case dlg_TVAudio:
      // No device of this framework offers a TV audio interface.
      wasPreviewing = false;
      break;
    case dlg_AudioDevice:
      result = ShowAudioDevicePages();
      break;
    default:
      return false;
  }
  if (wasPreviewing && !Destroying.load()) {
    CaptureState.store(cs_Previewing);
    RefreshPreview(QStringLiteral("dd"));
  }
  return result;
}

bool TCaptureCore::ShowDevicePages() {
  const bool vfw = VideoRegSave.Bool(vrs_IsVfw);
  if (graph_ && graph_->Device && !vfw && GraphState.load() == gs_Running &&
      CaptureState.load() == cs_Previewing) {
    // The live filter: the pages act on the running stream. The values are stored when the
    // frame closes, not only when the graph is torn down, so a program that ends without a
    // teardown keeps them.
    ComPtr<IBaseFilter> device = graph_->Device;
    const bool offered = ShowPropertyPages(Owner, device.Get(), 30, 30);
    if (offered && graph_ && graph_->Device == device && GraphState.load() != gs_Stopped) {
      CaptureDeviceState(*graph_);
      SaveVideoSettings();
    }
    if (offered) UpdateDisplaySize();
    return offered;
  }
  const bool result = DeviceDialogProcedure(dlg_Device);
  UpdateDisplaySize();
  return result;
}

bool TCaptureCore::DialogPreconditions() {
  TDevices* list = DeviceList(dk_VideoDevices);
  if (!list) return false;
  if (list->Count() == 0) {
    ReportIf(this, true, sv_Error, e_no_video_input_device,
             QStringLiteral("no video capture device"));
    return false;
  }
  return CheckPreconditions(StateBit(cs_Idle) | StateBit(cs_Previewing), sv_Error, true);
}

bool TCaptureCore::BuildDialogGraph() {
  if (OpenedVideoDevice == -1) return false;
  StopGraph();
  ClearGraph(false);
  graph_ = std::make_unique<TDeviceGraph>();
  if (!BuildBaseGraph()) return false;
  if (VideoRegSave.Bool(vrs_IsVfw)) return true;
  // A WDM device shows its picture in the control while the dialog is open, so the effect of
  // each change is seen at once.
  ComPtr<IPin> upstream = graph_->SourcePin;
  if (!upstream || !InsertRenderer(upstream) || FAILED(graph_->Graph.As(&mediaControl_)))
    return false;
  if (SUCCEEDED(graph_->Graph.As(&mediaEvent_))) {
    mediaEvent_->SetNotifyFlags(0);
    mediaEvent_->SetNotifyWindow(Owner, static_cast<long>(GraphNotifyMessage()), 1);
  }
  AssignDisplays();
  ChangeGraphState(gs_Running, QStringLiteral("bnvvg"));
  ShowDisplay();
  return true;
}

bool TCaptureCore::DeviceDialogProcedure(unsigned dialog) {
  if (!DialogPreconditions()) return false;
  BeginBusy();
  bool changed = false;
  if (BuildDialogGraph()) {
    TDeviceGraph* graph = graph_.get();
    const int vfwDialog = dialog == dlg_VfwFormat   ? VfwCaptureDialog_Format
                          : dialog == dlg_VfwSource ? VfwCaptureDialog_Source
                                                    : VfwCaptureDialog_Display;
    if (dialog == dlg_Device) {
      if (graph->Device) {
        ComPtr<IBaseFilter> device = graph->Device;
        EndBusy();
        ShowPropertyPages(Owner, device.Get(), 30, 30);
        BeginBusy();
        // The dialog's message loop may have torn the graph down (a device lost).
        if (graph_.get() == graph) ReadBackFormat(*graph);
      }
      changed = true;
    } else if (graph->Builder && graph->Device) {
      ComPtr<IAMVfwCaptureDialogs> dialogs;
      graph->Builder->FindInterface(nullptr, nullptr, graph->Device.Get(), IID_IAMVfwCaptureDialogs,
                                    dialogs.ReleaseAndGetVoidAddress());
      if (dialogs && dialogs->HasDialog(vfwDialog) == S_OK) {
        EndBusy();
        dialogs->ShowDialog(vfwDialog, Owner);
        BeginBusy();
        if (dialog == dlg_VfwFormat) {
          if (graph_.get() == graph) ReadBackFormat(*graph);
          changed = true;
        }
      }
    }
    // The device's state is read before the graph that holds it goes.
    if (changed && graph_.get() == graph && graph->Built()) CaptureDeviceState(*graph);
  }
  ClearGraph(false);
  if (changed) {
    SaveVideoSettings();
    const TEventNotification handler = Owner->OnVideoDeviceSelected;
    if (!Destroying.load() && Owner->EventAssigned(handler)) handler(Owner);
  }
  EndBusy();
  return true;
}

bool TCaptureCore::StreamDialogProcedure() {
  if (!DialogPreconditions()) return false;
  BeginBusy();
  // The device is bound exclusively: a running preview lets it go first.
  StopGraph();
  TDeviceGraph graph;
  if (OpenedVideoDevice != -1 && graph.Build(this, OpenedVideoDevice, false)) {
    ApplyVideoSize(graph);
    ApplyVideoQuality(graph);
    ApplyCameraControl(graph);
    if (ComPtr<IAMStreamConfig> config = graph.StreamConfig) {
      EndBusy();
      ShowPropertyPages(Owner, config.Get(), 0, 0);
      BeginBusy();
      ReadBackFormat(graph);
      MediaTypeHolder current;
      if (SUCCEEDED(config->GetFormat(&current.mt)) && current.mt) {
        const int rate = FrameRateOf(*current.mt);
        if (rate > 0) CaptureFrameRate = rate;
      }
    }
    graph.TearDown();
  }
  EndBusy();
  return true;
}

bool TCaptureCore::ShowCompressorDialog(bool audio) {
  TDevices* list = DeviceList(audio ? dk_AudioDevices : dk_VideoDevices);
  if (!list) return false;
  if (list->Count() == 0) {
    ReportIf(this, true, sv_Error, audio ? e_no_audio_input_device : e_no_video_input_device,
             audio ? QStringLiteral("no Audio capture device")
                   : QStringLiteral("no video capture device"));
    return false;
  }
  if (!CheckPreconditions(StateBit(cs_Idle) | StateBit(cs_Previewing), sv_Error, true))
    return false;
  // No compressor can be chosen in this component, so none can take the capture output.
  ReportIf(this, true, sv_Error,
           audio ? e_audio_compressor_not_suitable : e_video_compressor_not_suitable,
           audio ? QStringLiteral("audio compressor not suitable")
                 : QStringLiteral("video compressor not suitable"));
  return false;
}

bool TCaptureCore::ShowAudioDevicePages() {
  TDevices* list = DeviceList(dk_AudioDevices);
  int index = Settings.AudioDevice;
  if (!list || index < 0 || index >= list->Count()) return false;
  if (!CheckPreconditions(StateBit(cs_Idle) | StateBit(cs_Previewing), sv_Error, true))
    return false;
  ComPtr<IFilterGraph2> graph;
  if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph2,
                              graph.ReleaseAndGetVoidAddress())))
    return false;
  ComPtr<IBaseFilter> filter;
  bool offered = false;
  if (SUCCEEDED(list->Bind(this, &index, graph.Get(), false, false, QString(),
                           QStringLiteral("audio device"), filter.ReleaseAndGetAddressOf())))
    offered = ShowPropertyPages(Owner, filter.Get(), 30, 30);
  if (filter) graph->RemoveFilter(filter.Get());
  RefreshPreview(QStringLiteral("dadd"));
  return offered;
}
