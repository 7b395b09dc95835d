#include "platform/media/DeviceEnumerator.h"

#include <cstdlib>

#include <QString>
#include <QStringList>

#include "platform/com/ComApi.h"
#include "platform/media/MediaLog.h"
#include "platform/media/Moniker.h"
#include "platform/media/pipewire/PipeWireProvider.h"
#include "platform/media/v4l2/V4l2Provider.h"
#include "platform/media/virtual/VirtualProviders.h"

namespace {

const GUID* const kCategories[] = {&CLSID_VideoInputDeviceCategory, &CLSID_AudioInputDeviceCategory,
                                   &CLSID_VideoCompressorCategory,  &CLSID_AudioCompressorCategory,
                                   &AM_KSCATEGORY_CROSSBAR,         &AM_KSCATEGORY_TVTUNER,
                                   &AM_KSCATEGORY_CAPTURE};

bool KnownProvider(const std::string& name) {
  for (const char* known : DeviceProviderRegistry::kProviderOrder)
    if (name == known) return true;
  return false;
}

}  // namespace

// ---- provider names

std::vector<std::string> EnabledProviderNames() {
  std::vector<std::string> names;
  const char* value = std::getenv("FROSTWIPE_DEVICE_PROVIDERS");
  if (!value) {
    for (const char* known : DeviceProviderRegistry::kProviderOrder) names.emplace_back(known);
    return names;
  }
  for (const QString& part : QString::fromUtf8(value).split(u',', Qt::SkipEmptyParts)) {
    const std::string name = part.trimmed().toLower().toStdString();
    if (name.empty()) continue;
    if (!KnownProvider(name)) {
      qCWarning(lcMedia, "FROSTWIPE_DEVICE_PROVIDERS: unknown device provider \"%s\" ignored",
                name.c_str());
      continue;
    }
    names.push_back(name);
  }
  return names;
}

// ---- registry

DeviceProviderRegistry::DeviceProviderRegistry() {
  RegisterPipeWireProvider(*this);
  RegisterV4l2Provider(*this);
  RegisterVirtualDeviceProviders(*this);
}

DeviceProviderRegistry& DeviceProviderRegistry::Instance() {
  static DeviceProviderRegistry registry;
  return registry;
}

void DeviceProviderRegistry::Register(const std::string& name,
                                      std::shared_ptr<DeviceProvider> provider) {
  if (!KnownProvider(name)) {
    qCWarning(lcMedia, "device provider \"%s\" has no place in the device list; not registered",
              name.c_str());
    return;
  }
  std::lock_guard lock(mutex_);
  for (NamedProvider& entry : providers_)
    if (entry.name == name) {
      entry.provider = std::move(provider);
      return;
    }
  providers_.push_back({name, std::move(provider)});
}

void DeviceProviderRegistry::Unregister(const std::string& name) {
  std::lock_guard lock(mutex_);
  std::erase_if(providers_, [&](const NamedProvider& p) { return p.name == name; });
}

std::shared_ptr<DeviceProvider> DeviceProviderRegistry::Find(const std::string& name) const {
  std::lock_guard lock(mutex_);
  for (const NamedProvider& entry : providers_)
    if (entry.name == name) return entry.provider;
  return nullptr;
}

std::vector<DeviceProviderRegistry::NamedProvider> DeviceProviderRegistry::Enabled() const {
  const std::vector<std::string> enabled = EnabledProviderNames();
  std::vector<NamedProvider> result;
  for (const char* name : kProviderOrder) {
    if (std::find(enabled.begin(), enabled.end(), name) == enabled.end()) continue;
    if (std::shared_ptr<DeviceProvider> provider = Find(name))
      result.push_back({name, std::move(provider)});
  }
  return result;
}

bool FindDeviceByDisplayName(std::u16string_view displayName, FoundDevice* found) {
  const QString wanted = QString::fromStdU16String(std::u16string(displayName));
  for (const auto& [name, provider] : DeviceProviderRegistry::Instance().Enabled())
    for (const GUID* category : kCategories)
      for (DeviceDescription& device : provider->ListDevices(*category))
        if (QString::fromStdU16String(device.displayName).compare(wanted, Qt::CaseInsensitive) ==
            0) {
          if (found) *found = {name, std::move(device)};
          return true;
        }
  return false;
}

// ---- SystemDeviceEnum

HRESULT SystemDeviceEnum::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (MatchInterface<ICreateDevEnum>(this, iid, object)) return S_OK;
  if (iid == IID_IUnknown) {
    AddRef();
    *object = static_cast<ICreateDevEnum*>(this);
    return S_OK;
  }
  return UnknownImpl::NonDelegatingQueryInterface(iid, object);
}

HRESULT SystemDeviceEnum::CreateClassEnumerator(REFCLSID category, IEnumMoniker** monikers, DWORD) {
  if (!monikers) return E_POINTER;
  *monikers = nullptr;
  std::vector<ComPtr<IMoniker>> list;
  QStringList listed;
  for (auto& [name, provider] : DeviceProviderRegistry::Instance().Enabled())
    for (DeviceDescription& device : provider->ListDevices(category)) {
      // One camera, one line: a camera two providers reach (a /dev/video* camera that
      // PipeWire also hands out) goes by the same display name; the earlier provider wins.
      const QString displayName = QString::fromStdU16String(device.displayName);
      if (listed.contains(displayName, Qt::CaseInsensitive)) continue;
      listed.push_back(displayName);
      device.category = category;
      ComPtr<IMoniker> moniker;
      moniker.Attach(new DeviceMoniker(name, std::move(device)));
      list.push_back(std::move(moniker));
    }
  // An empty category is not an error, but it has no enumerator either.
  if (list.empty()) return S_FALSE;
  *monikers = new EnumMonikerImpl(std::move(list));
  return S_OK;
}

// ---- class registration

void RegisterDeviceEnumeratorClass() {
  static const bool registered = [] {
    CoRegisterInprocClass(CLSID_SystemDeviceEnum, [](REFIID iid, void** object) -> HRESULT {
      ComPtr<SystemDeviceEnum> enumerator = MakeComObject<SystemDeviceEnum>();
      return enumerator->QueryInterface(iid, object);
    });
    return true;
  }();
  (void)registered;
}

// The linker keeps this object file in every program (Devices.cmake names the symbol), so the
// class is registered before main() even though nothing calls into this file by name.
extern "C" {
int frostwipe_device_enumerator_anchor = 0;
}

namespace {
const bool registered = (RegisterDeviceEnumeratorClass(), true);
}  // namespace
