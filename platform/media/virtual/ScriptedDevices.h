// Scripted devices for tests: defined in code or by the file FROSTWIPE_VIRTUAL_DEVICES names,
// plugged and unplugged while the program runs, with failures on request.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include <QString>

#include "platform/media/virtual/VirtualProviders.h"

struct ScriptedDeviceEntry;

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
  // Adds the devices of a file (format: ScriptedDeviceFile.h): all of them or, when the file is
  // malformed or names a display name twice or one already in use, none; *error then says why
  // and the result is E_INVALIDARG. Only a regular file of at most kMaxFileBytes is read.
  HRESULT LoadFile(const QString& path, QString* error);
  static constexpr qint64 kMaxFileBytes = 1 << 20;

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
  // Add without reading the environment's file first.
  HRESULT AddDevice(VirtualDeviceConfig config, bool plugged, std::u16string* displayName);
  // Adds every device or, when a display name is taken, none (E_INVALIDARG, *error says which).
  HRESULT AddAll(std::vector<ScriptedDeviceEntry> entries, QString* error);
  // Gives a device without display name a made-up one. mutex_ held.
  void NameLocked(VirtualDeviceConfig& config);
  Entry* FindLocked(const std::u16string& displayName);
  HRESULT SetPlugged(const std::u16string& displayName, bool plugged);

  std::once_flag fileOnce_;
  std::mutex mutex_;
  std::vector<Entry> devices_;
  // Display names (case-folded, as they compare) to their index in devices_.
  std::unordered_map<std::u16string, std::size_t> byName_;
  int generatedNames_ = 0;
};
