// Capture graph builder: finds pins and interfaces around capture filters and renders streams.
#pragma once

#include <vector>

#include "platform/com/ComPtr.h"
#include "platform/media/ControlInterfaces.h"
#include "platform/media/DeviceInterfaces.h"

// Thread: the control thread. Holds a reference on its graph.
class CaptureGraphBuilder final : public ICaptureGraphBuilder2, public UnknownImpl {
 public:
  CaptureGraphBuilder() = default;

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT SetFiltergraph(IGraphBuilder* graph) override;
  HRESULT GetFiltergraph(IGraphBuilder** graph) override;
  HRESULT SetOutputFileName(const GUID* type, LPCOLESTR file, IBaseFilter** multiplexer,
                            IFileSinkFilter** sink) override;
  HRESULT FindInterface(const GUID* category, const GUID* type, IBaseFilter* filter, REFIID iid,
                        void** object) override;
  // A preview request on a filter without a preview pin is served from its capture pin through
  // a smart tee and answers VFW_S_NOPREVIEWPIN.
  HRESULT RenderStream(const GUID* category, const GUID* type, IUnknown* source,
                       IBaseFilter* compressor, IBaseFilter* renderer) override;
  HRESULT ControlStream(const GUID* category, const GUID* type, IBaseFilter* filter,
                        REFERENCE_TIME* start, REFERENCE_TIME* stop, WORD startCookie,
                        WORD stopCookie) override;
  HRESULT AllocCapFile(LPCOLESTR file, ULONGLONG size) override;
  HRESULT CopyCaptureFile(LPOLESTR oldFile, LPOLESTR newFile, int allowEscAbort,
                          IAMCopyCaptureFileProgress* callback) override;
  HRESULT FindPin(IUnknown* source, PIN_DIRECTION direction, const GUID* category, const GUID* type,
                  BOOL unconnected, int index, IPin** pin) override;

 private:
  HRESULT EnsureGraph();
  // Adds and connects the crossbars and tuners feeding filter's unconnected analog inputs,
  // found in the device categories by matching pin mediums. Never fails the caller.
  void AddUpstreamDevices(IBaseFilter* filter, int depth);
  HRESULT ConnectAnalogInput(IPin* input, REFCLSID category, int depth);

  ComPtr<IGraphBuilder> graph_;
};

// Whether pin has the given category (GUID_NULL category: whether it has none or any).
bool PinHasCategory(IPin* pin, REFGUID category);
// Whether one of the pin's types (or its connection type, when connected) has this major type.
bool PinHasMajorType(IPin* pin, REFGUID majorType);
// The filters connected to the pins of filter in the given direction (downstream: outputs).
std::vector<ComPtr<IBaseFilter>> NeighbourFilters(IBaseFilter* filter, PIN_DIRECTION direction);
