#include "platform/media/GraphVideoWindow.h"

#include "platform/media/FilterGraph.h"

GraphVideoWindow::GraphVideoWindow(FilterGraph* graph) : UnknownImpl(graph), graph_(graph) {}

HRESULT GraphVideoWindow::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (!(iid == IID_IUnknown) && MatchInterface<IVideoWindow>(this, iid, object)) return S_OK;
  // Every other interface, IUnknown included, is the graph's own.
  return graph_->NonDelegatingQueryInterface(iid, object);
}

HRESULT GraphVideoWindow::Forward(const std::function<HRESULT(IVideoWindow*)>& call) {
  for (const ComPtr<IBaseFilter>& filter : graph_->Filters()) {
    if (ComPtr<IVideoWindow> window = ComQuery<IVideoWindow>(filter.Get()))
      return call(window.Get());
  }
  return E_NOINTERFACE;
}
