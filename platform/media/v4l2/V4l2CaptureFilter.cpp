#include "platform/media/v4l2/V4l2CaptureFilter.h"

#include <cerrno>
#include <cstring>

#include "platform/media/CameraControlPart.h"
#include "platform/media/ControlInterfaces.h"
#include "platform/media/EventCodes.h"
#include "platform/media/PropertyPages.h"
#include "platform/media/v4l2/V4l2CapturePin.h"
#include "platform/media/v4l2/V4l2Controls.h"
#include "platform/media/v4l2/V4l2Formats.h"
#include "platform/media/v4l2/V4l2Io.h"
#include "platform/media/v4l2/V4l2Log.h"
#include "platform/media/virtual/VirtualDeviceConfig.h"

HRESULT V4l2CaptureFilter::Create(std::shared_ptr<V4l2Io> io, const std::string& node,
                                  const std::u16string& friendlyName, IBaseFilter** filter) {
  if (!filter) return E_POINTER;
  *filter = nullptr;
  const int fd = io->Open(node);
  if (fd < 0) {
    if (fd == -EACCES || fd == -EPERM)
      qCWarning(lcV4l2,
                "%s: no permission to open the camera; add your user to the \"video\" group "
                "and log in again",
                node.c_str());
    else
      qCWarning(lcV4l2, "%s: cannot open the camera: %s", node.c_str(), strerror(-fd));
    return HResultFromErrno(-fd);
  }
  auto* created = new V4l2CaptureFilter(std::move(io), node, fd, friendlyName);
  *filter = created;
  return S_OK;
}

V4l2CaptureFilter::V4l2CaptureFilter(std::shared_ptr<V4l2Io> io, std::string node, int fd,
                                     const std::u16string& friendlyName)
    : SourceFilter(CLSID_Proxy, friendlyName), io_(std::move(io)), node_(std::move(node)), fd_(fd) {
  procAmp_ = std::make_unique<V4l2Controls>(io_, fd_, node_, V4l2Controls::Interface::VideoProcAmp);
  cameraControl_ = std::make_unique<CameraControlPart<V4l2Controls>>(
      this,
      std::make_unique<V4l2Controls>(io_, fd_, node_, V4l2Controls::Interface::CameraControl));
  std::vector<std::string> skipped;
  std::vector<V4l2Capability> caps = ReadCapabilities(*io_, fd_, node_, &skipped);
  if (caps.empty())
    qCWarning(lcV4l2, "%s: the camera offers no format Frostwipe can convert", node_.c_str());
  AddPin(std::make_unique<V4l2CapturePin>(this, io_, std::move(caps)));
}

// Stopping joins the pin's thread and frees its buffers, so the file can close before the pin
// itself goes with the base class.
V4l2CaptureFilter::~V4l2CaptureFilter() {
  Stop();
  io_->Close(fd_);
}

HRESULT V4l2CaptureFilter::NonDelegatingQueryInterface(REFIID iid, void** object) {
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

HRESULT V4l2CaptureFilter::GetRange(long property, long* min, long* max, long* step,
                                    long* defaultValue, long* capsFlags) {
  return procAmp_->GetRange(property, min, max, step, defaultValue, capsFlags);
}
HRESULT V4l2CaptureFilter::Set(long property, long value, long flags) {
  return procAmp_->Set(property, value, flags);
}
HRESULT V4l2CaptureFilter::Get(long property, long* value, long* flags) {
  return procAmp_->Get(property, value, flags);
}

HRESULT V4l2CaptureFilter::GetPages(CAUUID* pages) {
  return DeviceControlPages(!procAmp_->Empty(), !cameraControl_->Empty(), pages);
}

void V4l2CaptureFilter::ReportDeviceLost() {
  lost_.store(true, std::memory_order_release);
  if (lossReported_.exchange(true)) return;
  qCWarning(lcV4l2, "%s: the camera went away while streaming", node_.c_str());
  IUnknown* identity = nullptr;
  NonDelegatingQueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity));
  if (identity) identity->Release();  // the graph holds the filter; no reference is passed
  NotifyEvent(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(identity), 0);
}

HRESULT V4l2CaptureFilter::OnRun(REFERENCE_TIME start) {
  if (Lost()) return VFW_E_DEVICE_LOST;
  return SourceFilter::OnRun(start);
}
