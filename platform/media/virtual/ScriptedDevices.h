// Scripted devices for tests: defined in code or by the file FROSTWIPE_VIRTUAL_DEVICES names,
// plugged and unplugged while the program runs, with failures on request.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include <QString>

#include "platform/media/virtual/VirtualProviders.h"

// A test describes a device with VirtualDeviceConfig and adds it; the device is listed by the
// system device enumerator (provider "scripted", after real cameras and before the demo camera)
// until it is unplugged. Plugging and unplugging broadcast a device change (DeviceNotify);
// unplugging makes every filter made for the device post EC_DEVICE_LOST and stop. A device
// with a crossbar also lists its crossbar (AM_KSCATEGORY_CROSSBAR) and, with a tuner, its
// tuner (AM_KSCATEGORY_TVTUNER), so the capture graph builder can pull them in.
// The file named by FROSTWIPE_VIRTUAL_DEVICES is read the first time the devices are used;
// its format is described in ScriptedDeviceFile.h.
// Thread: any; mutex_ guards devices_ and is not held while a broadcast is queued.
class ScriptedDevices final : public DeviceProvider {
 public:
  static std::shared_ptr<ScriptedDevices> Instance();

  // Adds a device, plugged in unless plugged is false. A missing display name is made up.
  // E_INVALIDARG without friendly name or with a display name already in use.
  HRESULT Add(VirtualDeviceConfig config, bool plugged = true,
              std::u16string* displayName = nullptr);
  // S_FALSE if the device already is in that state; VFW_E_NOT_FOUND for an unknown name.
  HRESULT Plug(const std::u16string& displayName);
  HRESULT Unplug(const std::u16string& displayName);
  // Unplugs every device and forgets them all, without broadcasts (between tests).
  void Clear();
  // Adds the devices of a file (format: ScriptedDeviceFile.h). On a malformed file nothing is
  // added, *error says why and the result is E_INVALIDARG.
  HRESULT LoadFile(const QString& path, QString* error);

  std::vector<DeviceDescription> ListDevices(REFGUID category) override;
  HRESULT CreateFilter(REFGUID category, const std::u16string& displayName,
                       IBaseFilter** filter) override;

 private:
  struct Entry {
    VirtualDeviceConfig config;
    DevicePresence presence;  // a fresh one each time the device is plugged in
    bool plugged = false;
  };
  ScriptedDevices() = default;
  void LoadEnvironmentFileOnce();
  // Add without reading the environment's file first (the file's own devices come this way).
  HRESULT AddDevice(VirtualDeviceConfig config, bool plugged, std::u16string* displayName);
  Entry* FindLocked(const std::u16string& displayName);
  HRESULT SetPlugged(const std::u16string& displayName, bool plugged);

  std::once_flag fileOnce_;
  std::mutex mutex_;
  std::vector<Entry> devices_;
  int generatedNames_ = 0;
};
