// Stored settings records (TRegistryData), loading and saving one record, and the global table.
#pragma once

#include <array>
#include <cstdint>

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
void SaveEntry(TRegistry2& reg, const TRegistryData& entry);

// The two process-wide values, kept below base + "Global\". Thread: UI.
class TGlobalRegSave {
 public:
  static constexpr int kCount = 2;
  void Reset();
  // Loads from the global key without creating it; false when the key or a value is missing.
  bool Load();
  void Save() const;
  TRegistryData& operator[](int i) { return entries_[static_cast<std::size_t>(i)]; }
  const TRegistryData& operator[](int i) const { return entries_[static_cast<std::size_t>(i)]; }

 private:
  std::array<TRegistryData, kCount> entries_;
};

QString GlobalRegistryKey();
