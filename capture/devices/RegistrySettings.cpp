#include "capture/devices/RegistrySettings.h"

#include <algorithm>

#include "capture/devices/Registry2.h"

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

bool SaveEntry(TRegistry2& reg, const TRegistryData& entry) {
  switch (entry.Kind) {
    case rk_Integer:
      return reg.WriteInteger(entry.Name, entry.IntValue);
    case rk_String:
      return reg.WriteString(entry.Name, entry.StrValue);
    case rk_Boolean:
      return reg.WriteBool(entry.Name, entry.BoolValue);
    case rk_Float:
      return reg.WriteFloat(entry.Name, entry.FloatValue);
    case rk_Binary: {
      const std::int32_t size = std::min(entry.DataSize, entry.Capacity);
      if (!entry.Data || size < 0) return true;
      const bool data =
          reg.WriteBinaryData(entry.Name, entry.Data, static_cast<std::uint32_t>(size));
      return reg.WriteInteger(entry.Name + QStringLiteral("Size"), size) && data;
    }
    case rk_None:
      break;
  }
  return true;
}

namespace {

// Writes the entries and closes the key. The first failed write ends the save: each write would
// otherwise wait again for a store held by another program, and the caller writes the whole
// table again later.
template <typename Entries>
bool SaveEntries(TRegistry2& reg, const Entries& entries) {
  bool ok = true;
  for (const TRegistryData& e : entries)
    if (!(ok = SaveEntry(reg, e))) break;
  return reg.CloseKey() && ok;
}

}  // namespace

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

bool TGlobalRegSave::Save() const {
  TRegistry2 reg;
  if (!reg.OpenKey(GlobalRegistryKey(), true)) return false;
  return SaveEntries(reg, entries_);
}

// ---- device tables ----

TRegistryData* TDeviceRegTable::Find(const QString& name) {
  for (TRegistryData& e : entries_)
    if (e.Name == name) return &e;
  return nullptr;
}

bool TDeviceRegTable::LoadRange(TRegistry2& reg, int last, bool stopAtFailure) {
  bool ok = true;
  for (int i = 0; i <= last && i < Count(); ++i) {
    if (LoadEntry(reg, (*this)[i])) continue;
    ok = false;
    if (stopAtFailure) break;
  }
  return ok;
}

bool TDeviceRegTable::SaveAll(TRegistry2& reg) const {
  return SaveEntries(reg, entries_);
}

void TDeviceRegTable::Define(int index, const char* name, TRegistryKind kind) {
  TRegistryData& e = (*this)[index];
  e.Name = QString::fromLatin1(name);
  e.Kind = kind;
}

void TDeviceRegTable::DefineInt(int index, const char* name, std::int32_t value) {
  Define(index, name, rk_Integer);
  (*this)[index].IntValue = value;
}

void TDeviceRegTable::DefineBool(int index, const char* name, bool value) {
  Define(index, name, rk_Boolean);
  (*this)[index].BoolValue = value;
}

void TDeviceRegTable::DefineBinary(int index, const char* name, std::uint8_t* block, int size) {
  Define(index, name, rk_Binary);
  std::fill(block, block + size, std::uint8_t{0});
  (*this)[index].Data = block;
  (*this)[index].DataSize = size;
  (*this)[index].Capacity = size;
}

namespace {
constexpr std::int32_t kNotSet = 2147483647;
}

void TVideoRegSave::Reset() {
  entries_.assign(vrs_Count, TRegistryData{});
  Define(0, "_AudioDeviceAssociated", rk_String);
  DefineInt(1, "_AudioInputAssociated", 0);
  DefineInt(2, "_AudioInputBalanceAssociated", 0);
  DefineInt(3, "_AudioInputLevelAssociated", 50000);
  DefineBool(4, "_AudioInputMonoAssociated", false);
  Define(5, "_AudioInputNameAssociated", rk_String);
  DefineInt(6, "_SpeakerVolumeAssociated", 50000);
  DefineInt(7, "_SpeakerBalanceAssociated", 0);
  static constexpr const char* kFlags[] = {"_DeviceDiscovered",
                                           "_IsVfw",
                                           "_IsDigitalVideoIn",
                                           "_IsDVPal",
                                           "_IsVideoPortAvailable",
                                           "_IsVideoInterlaced",
                                           "_IsTVTunerAvail",
                                           "_IsTVAudioAvail",
                                           "_IsAnalogVideoDecoderAvail",
                                           "_IsVCRHorizontalLockingAvail",
                                           "_IsAudioCrossbarAvail",
                                           "_IsVideoCrossbarAvail",
                                           "_IsVideoQualityAvail",
                                           "_IsCameraControlAvail",
                                           "_IsVideoControlAvail",
                                           "_IsMpegStream"};
  for (int i = 0; i < 16; ++i) DefineBool(8 + i, kFlags[i], false);
  DefineInt(24, "_VideoControlCaps", 0);
  DefineBool(25, "_VfwCaptureDialogFormat", false);
  DefineBool(26, "_VfwCaptureDialogSource", false);
  DefineBool(27, "_VfwCaptureDialogDisplay", false);
  Define(28, "VideoInputs", rk_String);
  DefineBool(29, "ExtTransportAvail", false);
  DefineBool(30, "TimeCodeReaderAvail", false);
  DefineInt(31, "ANTVFormats", 0);
  DefineBool(32, "VIDEOCROSSBARAVAIL", false);
  DefineBool(33, "AUDIOCROSSBARAVAIL", false);
  DefineInt(34, "DummyMAYNOTBESAVED", kNotSet);
  static constexpr const char* kInts[] = {"VideoSize",     "VideoInput",    "VideoInputName",
                                          "VideoRenderer", "VideoSubtype",  "_VideoControlMode",
                                          "TVChannel",     "TVChannelFreq", "TVInputType"};
  for (int i = 0; i < 9; ++i) DefineInt(35 + i, kInts[i], 0);
  DefineInt(44, "TVConnectInput", kNotSet);
  DefineInt(45, "TVTuningSpace", 0);
  DefineInt(46, "TVCountryCode", 0);
  DefineInt(47, "TVMode", 0);
  DefineInt(48, "ANTVFormat", 0);
  DefineInt(49, "ANVVCRHorzLocking", 0);
  DefineInt(50, "ANVOutputEnable", kNotSet);
  Define(51, "AMVideoCrossbar", rk_String);
  Define(52, "AMAudioCrossbar", rk_String);
  DefineBool(53, "VideoQualityAuto", true);
  DefineBinary(54, "VideoQualityValues", videoQuality_.data(),
               static_cast<int>(videoQuality_.size()));
  DefineBool(55, "CameraControlAuto", true);
  DefineBinary(56, "CameraControlValues", cameraControl_.data(),
               static_cast<int>(cameraControl_.size()));
}

void TAudioRegSave::Reset() {
  entries_.assign(13, TRegistryData{});
  DefineBool(0, "_DeviceDiscovered", false);
  Define(1, "AudioInputs", rk_String);
  DefineInt(2, "AudioInput", 0);
  DefineInt(3, "AudioInputBalance", 0);
  DefineInt(4, "AudioInputLevel", 50000);
  DefineBool(5, "AudioInputMono", false);
  Define(6, "AudioInputName", rk_String);
  DefineInt(7, "SpeakerVolume", 50000);
  DefineInt(8, "SpeakerBalance", 0);
  DefineBool(9, "AudioMute", false);
  DefineBool(10, "AIsSoundCard", false);
  DefineInt(11, "DummyMAYNOTBESAVED", kNotSet);
  DefineBool(12, "AIsAudioCrossbarAvail", false);
}

TControlRecord ReadControlRecord(const std::uint8_t* block, int index) {
  const std::uint8_t* p = block + index * kControlRecordBytes;
  auto read32 = [p](int offset) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[offset]) |
                                     static_cast<std::uint32_t>(p[offset + 1]) << 8 |
                                     static_cast<std::uint32_t>(p[offset + 2]) << 16 |
                                     static_cast<std::uint32_t>(p[offset + 3]) << 24);
  };
  return {p[0] != 0, read32(4), read32(8), read32(12), read32(16), read32(20), p[1] == 1};
}

void WriteControlRecord(std::uint8_t* block, int index, const TControlRecord& r) {
  std::uint8_t* p = block + index * kControlRecordBytes;
  auto write32 = [p](int offset, std::int32_t value) {
    const auto u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) p[offset + i] = static_cast<std::uint8_t>(u >> (8 * i));
  };
  p[0] = r.Available ? 1 : 0;
  p[1] = r.Automatic ? 1 : 0;
  p[2] = p[3] = 0;
  write32(4, r.Value);
  write32(8, r.Min);
  write32(12, r.Max);
  write32(16, r.Step);
  write32(20, r.Default);
}
