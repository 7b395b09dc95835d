// Stored settings records (TRegistryData), loading and saving one record, and the global table.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <QString>

class TRegistry2;

enum TRegistryKind : int {
  rk_None = 0,
  rk_Integer = 1,
  rk_String = 2,
  rk_Boolean = 3,
  rk_Float = 4,
  rk_Binary = 5
};

// One stored setting. Data points to a fixed block owned by the component; DataSize is the size
// stored with it, never trusted beyond the block's own capacity.
struct TRegistryData {
  QString Name;
  TRegistryKind Kind = rk_None;
  std::int32_t IntValue = 0;
  QString StrValue;
  bool BoolValue = false;
  double FloatValue = 0;
  void* Data = nullptr;
  std::int32_t DataSize = 0;
  std::int32_t Capacity = 0;  // size of the block behind Data
};

// Reads the record with the read of its kind; the value changes only on success.
bool LoadEntry(TRegistry2& reg, TRegistryData& entry);
// Writes the record with the write of its kind; a binary record also writes Name + "Size".
bool SaveEntry(TRegistry2& reg, const TRegistryData& entry);

// The two process-wide values, kept below base + "Global\". Thread: UI.
class TGlobalRegSave {
 public:
  static constexpr int kCount = 2;
  void Reset();
  // Loads from the global key without creating it; false when the key or a value is missing.
  bool Load();
  // False when the key could not be opened or a write or the commit failed.
  bool Save() const;
  TRegistryData& operator[](int i) { return entries_[static_cast<std::size_t>(i)]; }
  const TRegistryData& operator[](int i) const { return entries_[static_cast<std::size_t>(i)]; }

 private:
  std::array<TRegistryData, kCount> entries_;
};

QString GlobalRegistryKey();

// A fixed table of stored settings of one device: a discovery part (always restored) followed
// by a settings part (restored only when the control stores device settings). Binary records
// point to blocks owned by the table. Thread: whichever runs the selection (UI in the game).
class TDeviceRegTable {
 public:
  int Count() const { return static_cast<int>(entries_.size()); }
  TRegistryData& operator[](int i) { return entries_[static_cast<std::size_t>(i)]; }
  const TRegistryData& operator[](int i) const { return entries_[static_cast<std::size_t>(i)]; }
  // The record named name, or nullptr.
  TRegistryData* Find(const QString& name);
  // Loads entries 0 .. last from the open key; stopAtFailure keeps what was read before a
  // failing entry, otherwise every entry is tried. False when any load failed.
  bool LoadRange(TRegistry2& reg, int last, bool stopAtFailure);
  // Writes every entry to the open key and closes it, which commits. False when any write or
  // the commit failed.
  bool SaveAll(TRegistry2& reg) const;

 protected:
  void Define(int index, const char* name, TRegistryKind kind);
  void DefineInt(int index, const char* name, std::int32_t value);
  void DefineBool(int index, const char* name, bool value);
  void DefineBinary(int index, const char* name, std::uint8_t* block, int size);
  std::vector<TRegistryData> entries_;
};

// Indexes of the video table's records that the control reads and writes by name.
enum TVideoRegIndex : int {
  vrs_DeviceDiscovered = 8,
  vrs_IsVfw = 9,
  vrs_IsDigitalVideoIn = 10,
  vrs_IsDVPal = 11,
  vrs_IsVideoPortAvailable = 12,
  vrs_IsTVTunerAvail = 14,
  vrs_IsAnalogVideoDecoderAvail = 16,
  vrs_IsAudioCrossbarAvail = 18,
  vrs_IsVideoCrossbarAvail = 19,
  vrs_IsVideoQualityAvail = 20,
  vrs_IsCameraControlAvail = 21,
  vrs_IsMpegStream = 23,
  vrs_VfwCaptureDialogFormat = 25,
  vrs_VfwCaptureDialogSource = 26,
  vrs_VfwCaptureDialogDisplay = 27,
  vrs_VideoInputs = 28,
  vrs_ANTVFormats = 31,
  vrs_VIDEOCROSSBARAVAIL = 32,
  vrs_AUDIOCROSSBARAVAIL = 33,
  vrs_FirstSetting = 34,
  vrs_VideoSize = 35,
  vrs_VideoInput = 36,
  vrs_VideoSubtype = 39,
  vrs_TVChannel = 41,
  vrs_TVInputType = 43,
  vrs_TVConnectInput = 44,
  vrs_TVTuningSpace = 45,
  vrs_TVCountryCode = 46,
  vrs_TVMode = 47,
  vrs_ANTVFormat = 48,
  vrs_ANVVCRHorzLocking = 49,
  vrs_ANVOutputEnable = 50,
  vrs_AMVideoCrossbar = 51,
  vrs_AMAudioCrossbar = 52,
  vrs_VideoQualityAuto = 53,
  vrs_VideoQualityValues = 54,
  vrs_CameraControlAuto = 55,
  vrs_CameraControlValues = 56,
  vrs_Count = 57
};

inline constexpr int kVideoQualityRecords = 10;
inline constexpr int kCameraControlRecords = 7;
inline constexpr int kControlRecordBytes = 24;

// One image-quality or camera-control record of the stored blocks (24 bytes, little-endian):
// byte 0 available, byte 1 the property was in automatic mode, then value, minimum, maximum,
// step and default. Records written before the automatic byte existed read as manual.
struct TControlRecord {
  bool Available = false;
  std::int32_t Value = 0, Min = 0, Max = 0, Step = 0, Default = 0;
  bool Automatic = false;
};
TControlRecord ReadControlRecord(const std::uint8_t* block, int index);
void WriteControlRecord(std::uint8_t* block, int index, const TControlRecord& record);

// The 57 stored settings of the opened video device.
class TVideoRegSave : public TDeviceRegTable {
 public:
  TVideoRegSave() { Reset(); }
  TVideoRegSave(const TVideoRegSave&) = delete;
  TVideoRegSave& operator=(const TVideoRegSave&) = delete;
  void Reset();
  std::int32_t Int(int i) const { return (*this)[i].IntValue; }
  bool Bool(int i) const { return (*this)[i].BoolValue; }
  void SetInt(int i, std::int32_t v) { (*this)[i].IntValue = v; }
  void SetBool(int i, bool v) { (*this)[i].BoolValue = v; }
  std::uint8_t* VideoQualityBlock() { return videoQuality_.data(); }
  std::uint8_t* CameraControlBlock() { return cameraControl_.data(); }

 private:
  std::array<std::uint8_t, kVideoQualityRecords * kControlRecordBytes> videoQuality_{};
  std::array<std::uint8_t, kCameraControlRecords * kControlRecordBytes> cameraControl_{};
};

// The 13 stored settings of the opened audio device.
class TAudioRegSave : public TDeviceRegTable {
 public:
  static constexpr int kFirstSetting = 11;
  TAudioRegSave() { Reset(); }
  void Reset();
};
