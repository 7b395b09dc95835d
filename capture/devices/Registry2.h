// TRegistry2: the current user's registry with reads that succeed only for the exact value type,
// the capture control's base path and its version marker.
#pragma once

#include <cstdint>

#include <QString>

#include "platform/registry/Registry.h"

// Where the capture control keeps its data, below HKEY_CURRENT_USER.
inline constexpr char kRegistryBasePath[] = "\\Software\\TCaptureControl\\";
QString RegistryBasePath();

// Thread: any, one object per operation (never shared). Key paths starting with a backslash are
// absolute; others are relative to the open key. Writes answer whether they reached the store;
// they become durable when the key is closed, whose result says whether that worked.
class TRegistry2 {
 public:
  TRegistry2();
  ~TRegistry2();
  TRegistry2(const TRegistry2&) = delete;
  TRegistry2& operator=(const TRegistry2&) = delete;

  bool OpenKey(const QString& key, bool canCreate);
  // False when committing what was written through the key failed.
  bool CloseKey();
  bool CreateKey(const QString& key);
  // Deletes the key with everything below it.
  bool DeleteKey(const QString& key);
  bool KeyExists(const QString& key);
  bool ValueExists(const QString& name);
  // The stored type and size of a value.
  bool GetDataInfo(const QString& name, DWORD& type, DWORD& size);
  QString CurrentPath() const { return currentPath_; }

  bool WriteString(const QString& name, const QString& value);
  bool WriteInteger(const QString& name, std::int32_t value);
  bool WriteBool(const QString& name, bool value);
  bool WriteFloat(const QString& name, double value);
  bool WriteBinaryData(const QString& name, const void* data, std::uint32_t size);

  // Each read answers false, and leaves value as it was, unless the value has the exact type.
  // A string (or expandable string) of at least one byte; the text ends at the first NUL.
  bool ReadString(const QString& name, QString& value);
  bool ReadInteger(const QString& name, std::int32_t& value);
  bool ReadBool(const QString& name, bool& value);
  // A binary value of exactly 8 bytes.
  bool ReadFloat(const QString& name, double& value);
  // A binary (or untyped) value of exactly size bytes; never touches more of buffer than size,
  // whatever size the store reports.
  bool ReadBinaryData(const QString& name, void* buffer, std::uint32_t size);

 private:
  QString Absolute(const QString& key) const;

  HKEY current_ = nullptr;
  QString currentPath_;
};

// Once per process, at the first run-time construction: when the marker key of this component
// version is missing, the whole base key is deleted and the marker created.
void CheckRegistryVersion();
