// The value names the stored-settings harness writes, shared with the seed generator so that
// seeds name values by the harness's own indexes.
#pragma once

#include <string>
#include <vector>

#include <QString>

#include "capture/devices/RegistrySettings.h"

struct StoredSettingName {
  bool global;  // below the control's global key, else the device's key
  std::string name;
};

// The device tables' values (with the size value of each block), the cached format and subtype
// lists, and the globals.
inline std::vector<StoredSettingName> StoredSettingNames() {
  std::vector<StoredSettingName> names;
  auto add = [&](const TRegistryData& entry) {
    if (entry.Name.isEmpty()) return;
    names.push_back({false, entry.Name.toStdString()});
    if (entry.Kind == rk_Binary) names.push_back({false, (entry.Name + "Size").toStdString()});
  };
  TVideoRegSave video;
  for (int i = 0; i < video.Count(); ++i) add(video[i]);
  TAudioRegSave audio;
  for (int i = 0; i < audio.Count(); ++i) add(audio[i]);
  for (int i = 0; i < 10; ++i) {
    names.push_back({false, QString::asprintf("FMT%.3d", i).toStdString()});
    names.push_back({false, QString::asprintf("SUB%.3d", i).toStdString()});
  }
  TGlobalRegSave global;
  global.Reset();
  for (int i = 0; i < TGlobalRegSave::kCount; ++i)
    names.push_back({true, global[i].Name.toStdString()});
  return names;
}
