// The filter graph's IVideoWindow: forwards every call to the graph's video renderer.
#pragma once

#include <functional>

#include "platform/com/ComPtr.h"
#include "platform/media/ControlInterfaces.h"
#include "platform/media/VideoWindowForwarder.h"

class FilterGraph;

// A part of the graph object (its references count on the graph). Calls go to the first filter
// of the graph that has a video window; E_NOINTERFACE without one.
// Thread: the control thread, as the graph.
class GraphVideoWindow final : public VideoWindowForwarder<GraphVideoWindow>, public UnknownImpl {
 public:
  explicit GraphVideoWindow(FilterGraph* graph);
  ~GraphVideoWindow() override = default;

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  // Runs call on the first filter of the graph that has a video window.
  HRESULT Forward(const std::function<HRESULT(IVideoWindow*)>& call);

 private:
  FilterGraph* graph_;
};
