// The base graph of a video device: graph builder, filter graph, the device's capture filter
// bound from its list entry, its source pin and the device interfaces found for that pin.
#pragma once

#include <QString>

#include "platform/com/ComPtr.h"
#include "platform/media/ControlInterfaces.h"
#include "platform/media/DeviceInterfaces.h"
#include "platform/media/FilterInterfaces.h"

class TCaptureCore;

// Thread: the one that runs the component's commands (UI with nm_Timer, the worker with
// nm_Thread); never shared between threads at the same time.
class TDeviceGraph {
 public:
  TDeviceGraph() = default;
  ~TDeviceGraph() { TearDown(); }
  TDeviceGraph(const TDeviceGraph&) = delete;
  TDeviceGraph& operator=(const TDeviceGraph&) = delete;

  // Creates the builder and the graph, binds the video device at deviceIndex exclusively (with
  // usage logging unless discovering), finds the source pin and the device interfaces. False,
  // with the failure reported, when any required step fails; the graph is then torn down.
  bool Build(TCaptureCore* core, int deviceIndex, bool discovering);
  // Disconnects and removes every filter, releases every interface, frees the device entry.
  void TearDown();
  bool Built() const { return static_cast<bool>(Device); }

  ComPtr<ICaptureGraphBuilder2> Builder;
  ComPtr<IGraphBuilder> Graph;
  ComPtr<IFilterGraph2> Graph2;
  ComPtr<IBaseFilter> Device;
  ComPtr<IPin> SourcePin;
  ComPtr<IAMStreamConfig> StreamConfig;
  ComPtr<IAMVideoProcAmp> VideoProcAmp;
  ComPtr<IAMCameraControl> CameraControl;
  ComPtr<IAMCrossbar> VideoCrossbar;
  ComPtr<IAMCrossbar> AudioCrossbar;
  ComPtr<IAMAnalogVideoDecoder> AnalogDecoder;
  ComPtr<IAMTVTuner> Tuner;
  ComPtr<IAMVfwCaptureDialogs> VfwDialogs;
  // The list index bound exclusively, -1 when none.
  int BoundIndex = -1;

 private:
  bool FindSourcePin(TCaptureCore* core);
  void RetrieveInterfaces();
  void RemoveDownstream(IPin* output);
};

// The routing text of a crossbar: output count and, per output, the routed input, each
// followed by "!" ("2!0!5!"). Empty when the crossbar cannot say.
QString CrossbarRoutingText(IAMCrossbar* crossbar);
// Applies a stored routing text when its output count matches and every number parses.
bool RestoreCrossbarRouting(IAMCrossbar* crossbar, const QString& text);
// The video inputs of a crossbar as lines ("Composite", "Composite 1", ...), each ended by CR LF;
// empty without a video output.
QString CrossbarVideoInputs(IAMCrossbar* crossbar);
