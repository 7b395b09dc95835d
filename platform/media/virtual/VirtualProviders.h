// The virtual device providers: the demo camera and the scripted test devices.
#pragma once

#include "platform/media/DeviceEnumerator.h"
#include "platform/media/virtual/VirtualCaptureFilter.h"

// Registers "touch" and "demo" (DemoCameraProviders) and "scripted" (ScriptedDevices::Instance()).
void RegisterVirtualDeviceProviders(DeviceProviderRegistry& registry);

// Lists one always present virtual camera in the video input category: the demo camera,
// "Frostwipe Demo Camera", unless given another (the touch camera). Thread: any.
class DemoCameraProvider final : public DeviceProvider {
 public:
  explicit DemoCameraProvider(VirtualDeviceConfig config = DemoCameraConfig());
  std::vector<DeviceDescription> ListDevices(REFGUID category) override;
  HRESULT CreateFilter(REFGUID category, const std::u16string& displayName,
                       IBaseFilter** filter) override;

 private:
  const VirtualDeviceConfig config_;
  const DevicePresence presence_;
};

// The description a virtual device is listed with: its "CLSID" follows the driver kind and a
// WDM device's "DevicePath" is its display name without the "@device:pnp:" prefix.
DeviceDescription DescribeVirtualDevice(const VirtualDeviceConfig& config);
