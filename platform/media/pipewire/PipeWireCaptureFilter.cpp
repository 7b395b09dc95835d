#include "platform/media/pipewire/PipeWireCaptureFilter.h"

#include "platform/media/CameraControlPart.h"
#include "platform/media/EventCodes.h"
#include "platform/media/PropertyPages.h"
#include "platform/media/pipewire/PipeWireCapturePin.h"
#include "platform/media/pipewire/PipeWireControls.h"
#include "platform/media/pipewire/PipeWireLog.h"
#include "platform/media/virtual/VirtualDeviceConfig.h"

HRESULT PipeWireCaptureFilter::Create(std::shared_ptr<PipeWireConnection> connection,
                                      PipeWireCamera camera, IBaseFilter** filter) {
  if (!filter) return E_POINTER;
  *filter = new PipeWireCaptureFilter(std::move(connection), std::move(camera));
  return S_OK;
}

PipeWireCaptureFilter::PipeWireCaptureFilter(std::shared_ptr<PipeWireConnection> connection,
                                             PipeWireCamera camera)
    : SourceFilter(CLSID_Proxy, camera.description.friendlyName),
      connection_(std::move(connection)),
      camera_(std::move(camera)) {
  procAmp_ = std::make_unique<PipeWireControls>(*connection_, camera_,
                                                PipeWireControls::Interface::VideoProcAmp);
  cameraControl_ = std::make_unique<CameraControlPart<PipeWireControls>>(
      this, std::make_unique<PipeWireControls>(*connection_, camera_,
                                               PipeWireControls::Interface::CameraControl));
  AddPin(std::make_unique<PipeWireCapturePin>(this));
}

// Stopping ends the stream while the connection is still held.
PipeWireCaptureFilter::~PipeWireCaptureFilter() {
  Stop();
}

HRESULT PipeWireCaptureFilter::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (!procAmp_->Empty() && MatchInterface<IAMVideoProcAmp>(this, iid, object)) return S_OK;
  if (!cameraControl_->Empty() && iid == IID_IAMCameraControl) {
    cameraControl_->AddRef();
    *object = static_cast<IAMCameraControl*>(cameraControl_.get());
    return S_OK;
  }
  if (MatchInterface<ISpecifyPropertyPages>(this, iid, object)) return S_OK;
  return SourceFilter::NonDelegatingQueryInterface(iid, object);
}

HRESULT PipeWireCaptureFilter::GetRange(long property, long* min, long* max, long* step,
                                        long* defaultValue, long* capsFlags) {
  return procAmp_->GetRange(property, min, max, step, defaultValue, capsFlags);
}
HRESULT PipeWireCaptureFilter::Set(long property, long value, long flags) {
  return procAmp_->Set(property, value, flags);
}
HRESULT PipeWireCaptureFilter::Get(long property, long* value, long* flags) {
  return procAmp_->Get(property, value, flags);
}

HRESULT PipeWireCaptureFilter::GetPages(CAUUID* pages) {
  return DeviceControlPages(!procAmp_->Empty(), !cameraControl_->Empty(), pages);
}

void PipeWireCaptureFilter::ReportDeviceLost() {
  lost_.store(true, std::memory_order_release);
  if (lossReported_.exchange(true)) return;
  qCWarning(lcPipeWire, "%s: the camera went away while streaming", camera_.nodeName.c_str());
  IUnknown* identity = nullptr;
  NonDelegatingQueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
  if (identity) identity->Release();  // the graph holds the filter; no reference is passed
  NotifyEvent(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(identity), 0);
}

HRESULT PipeWireCaptureFilter::OnRun(REFERENCE_TIME start) {
  if (Lost()) return VFW_E_DEVICE_LOST;
  return SourceFilter::OnRun(start);
}
