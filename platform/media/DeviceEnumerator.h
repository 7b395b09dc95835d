// System device enumerator: the devices of a category, gathered from named device providers.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/ComPtr.h"
#include "platform/media/DeviceInterfaces.h"

// One device as its provider lists it.
struct DeviceDescription {
  GUID category = GUID_NULL;
  std::u16string friendlyName;
  // Stable across runs and plugging (a device path, not a list position); unique in a category.
  std::u16string displayName;
  CLSID clsid = GUID_NULL;    // the "CLSID" property: CLSID_VfwCapture for vfw devices
  std::u16string devicePath;  // the "DevicePath" property, empty if the device has none
};

// A source of devices: real cameras (V4L2), the demo camera, scripted test devices. Each
// provider lives in a folder of its own and registers itself under its name.
// Thread: any; providers guard their own lists.
class DeviceProvider {
 public:
  virtual ~DeviceProvider() = default;
  // The devices of a category present now, in the provider's order.
  virtual std::vector<DeviceDescription> ListDevices(REFGUID category) = 0;
  // Makes the filter of the device listed under displayName (exact, letter case ignored).
  // VFW_E_NOT_FOUND when that device is not present (any more).
  virtual HRESULT CreateFilter(REFGUID category, const std::u16string& displayName,
                               IBaseFilter** filter) = 0;
  // Devices present at the last listing that this user has no permission to open (and so were
  // not listed).
  virtual int DevicesWithoutPermission() const { return 0; }
};

// The process-wide table of providers. Devices are listed provider by provider in the fixed
// order of kProviderOrder: real cameras first (PipeWire, which shares a camera with other
// programs, before V4L2), then scripted devices, the demo camera last.
// Thread: any; mutex_ guards providers_ and is not held while a provider runs.
class DeviceProviderRegistry {
 public:
  static constexpr const char* kProviderOrder[] = {"pipewire", "v4l2", "scripted", "touch", "demo"};

  // The registry, with the built-in virtual providers registered.
  static DeviceProviderRegistry& Instance();

  // Registers provider under name (one of kProviderOrder), replacing one registered before.
  void Register(const std::string& name, std::shared_ptr<DeviceProvider> provider);
  void Unregister(const std::string& name);
  std::shared_ptr<DeviceProvider> Find(const std::string& name) const;

  struct NamedProvider {
    std::string name;
    std::shared_ptr<DeviceProvider> provider;
  };
  // The registered providers that FROSTWIPE_DEVICE_PROVIDERS enables, in list order.
  std::vector<NamedProvider> Enabled() const;

 private:
  DeviceProviderRegistry();
  mutable std::mutex mutex_;
  std::vector<NamedProvider> providers_;
};

// The provider names FROSTWIPE_DEVICE_PROVIDERS enables: a comma-separated list of
// "pipewire", "v4l2", "touch", "demo" and "scripted" (spaces and letter case ignored, unknown
// names skipped with a warning); all of them when the variable is not set; none when it is set
// but empty. Read on every enumeration, so a test can change it between enumerations.
std::vector<std::string> EnabledProviderNames();

// A device found by display name among the enabled providers, with the provider's name.
struct FoundDevice {
  std::string provider;
  DeviceDescription device;
};
// Looks a display name up in every category of every enabled provider (letter case ignored);
// false if no present device has it.
bool FindDeviceByDisplayName(std::u16string_view displayName, FoundDevice* found);

// The system device enumerator (CLSID_SystemDeviceEnum, ICreateDevEnum): a moniker per
// device of the category, S_FALSE with no enumerator for a category without devices. A display
// name a provider earlier in the order has listed is not listed again.
// Thread: any.
class SystemDeviceEnum final : public ICreateDevEnum, public UnknownImpl {
 public:
  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;
  HRESULT CreateClassEnumerator(REFCLSID category, IEnumMoniker** monikers, DWORD flags) override;
};

// Registers CLSID_SystemDeviceEnum with CoCreateInstance. Runs by itself before main() in
// every program that links the media library; calling it again does nothing.
void RegisterDeviceEnumeratorClass();
