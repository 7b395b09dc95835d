#include <QString>

#include "platform/media/virtual/ScriptedDevices.h"
#include "platform/media/virtual/VirtualProviders.h"

void RegisterVirtualDeviceProviders(DeviceProviderRegistry& registry) {
  registry.Register("touch", std::make_shared<DemoCameraProvider>(TouchCameraConfig()));
  registry.Register("demo", std::make_shared<DemoCameraProvider>());
  registry.Register("scripted", ScriptedDevices::Instance());
}

DeviceDescription DescribeVirtualDevice(const VirtualDeviceConfig& config) {
  DeviceDescription d;
  d.category = config.category;
  d.friendlyName = config.friendlyName;
  d.displayName = config.displayName;
  d.clsid = config.driver == DriverKind::Vfw ? CLSID_VfwCapture : CLSID_Proxy;
  constexpr std::u16string_view pnp = u"@device:pnp:";
  if (config.driver != DriverKind::Vfw && config.displayName.starts_with(pnp))
    d.devicePath = config.displayName.substr(pnp.size());
  return d;
}

DemoCameraProvider::DemoCameraProvider(VirtualDeviceConfig config)
    : config_(std::move(config)), presence_(std::make_shared<std::atomic<bool>>(true)) {}

std::vector<DeviceDescription> DemoCameraProvider::ListDevices(REFGUID category) {
  if (!(category == CLSID_VideoInputDeviceCategory)) return {};
  return {DescribeVirtualDevice(config_)};
}

HRESULT DemoCameraProvider::CreateFilter(REFGUID category, const std::u16string& displayName,
                                         IBaseFilter** filter) {
  if (!filter) return E_POINTER;
  *filter = nullptr;
  if (!(category == CLSID_VideoInputDeviceCategory) ||
      QString::fromStdU16String(displayName)
              .compare(QString::fromStdU16String(config_.displayName), Qt::CaseInsensitive) != 0)
    return VFW_E_NOT_FOUND;
  auto* created = new VirtualCaptureFilter(config_, presence_);
  *filter = created;
  return S_OK;
}
