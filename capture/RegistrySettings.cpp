#include "capture/RegistrySettings.h"

#include <algorithm>

#include "capture/Registry2.h"

bool LoadEntry(TRegistry2& reg, TRegistryData& entry) {
  switch (entry.Kind) {
    case rk_Integer:
      return reg.ReadInteger(entry.Name, entry.IntValue);
    case rk_String:
      return reg.ReadString(entry.Name, entry.StrValue);
    case rk_Boolean:
      return reg.ReadBool(entry.Name, entry.BoolValue);
    case rk_Float:
      return reg.ReadFloat(entry.Name, entry.FloatValue);
    case rk_Binary: {
      // The block must have its fixed size to be read at all; the stored size value is then
      // taken only when it does not exceed the block.
      if (!entry.Data ||
          !reg.ReadBinaryData(entry.Name, entry.Data, static_cast<std::uint32_t>(entry.Capacity)))
        return false;
      std::int32_t size = 0;
      if (!reg.ReadInteger(entry.Name + QStringLiteral("Size"), size)) return false;
      if (size < 0 || size > entry.Capacity) return false;
      entry.DataSize = size;
      return true;
    }
    case rk_None:
      return true;
  }
  return false;
}

void SaveEntry(TRegistry2& reg, const TRegistryData& entry) {
  switch (entry.Kind) {
    case rk_Integer:
      reg.WriteInteger(entry.Name, entry.IntValue);
      break;
    case rk_String:
      reg.WriteString(entry.Name, entry.StrValue);
      break;
    case rk_Boolean:
      reg.WriteBool(entry.Name, entry.BoolValue);
      break;
    case rk_Float:
      reg.WriteFloat(entry.Name, entry.FloatValue);
      break;
    case rk_Binary: {
      const std::int32_t size = std::min(entry.DataSize, entry.Capacity);
      if (entry.Data && size >= 0) {
        reg.WriteBinaryData(entry.Name, entry.Data, static_cast<std::uint32_t>(size));
        reg.WriteInteger(entry.Name + QStringLiteral("Size"), size);
      }
      break;
    }
    case rk_None:
      break;
  }
}

QString GlobalRegistryKey() {
  return RegistryBasePath() + QStringLiteral("Global\\");
}

void TGlobalRegSave::Reset() {
  for (TRegistryData& e : entries_) e = TRegistryData{};
  entries_[0].Name = QStringLiteral("_LastRecordingFileName");
  entries_[0].Kind = rk_String;
  entries_[1].Name = QStringLiteral("_LastClipPlayed");
  entries_[1].Kind = rk_String;
}

bool TGlobalRegSave::Load() {
  TRegistry2 reg;
  if (!reg.OpenKey(GlobalRegistryKey(), false)) return false;
  bool ok = true;
  for (TRegistryData& e : entries_) ok = LoadEntry(reg, e) && ok;
  return ok;
}

void TGlobalRegSave::Save() const {
  TRegistry2 reg;
  if (!reg.OpenKey(GlobalRegistryKey(), true)) return;
  for (const TRegistryData& e : entries_) SaveEntry(reg, e);
}
