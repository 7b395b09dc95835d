#include "capture/devices/Registry2.h"

#include <cstring>
#include <vector>

#include "capture/core/Diagnostics.h"

namespace {

QByteArray Bytes(const QString& text) {
  return text.toLocal8Bit();
}

}  // namespace

QString RegistryBasePath() {
  return QString::fromLatin1(kRegistryBasePath);
}

TRegistry2::TRegistry2() = default;
TRegistry2::~TRegistry2() {
  CloseKey();
}

QString TRegistry2::Absolute(const QString& key) const {
  if (key.startsWith(QLatin1Char('\\'))) return key;
  QString base = currentPath_;
  if (!base.isEmpty() && !base.endsWith(QLatin1Char('\\'))) base += QLatin1Char('\\');
  return base + key;
}

bool TRegistry2::OpenKey(const QString& key, bool canCreate) {
  const QString path = Absolute(key);
  HKEY opened = nullptr;
  LONG err;
  if (canCreate) {
    DWORD disposition = 0;
    err = RegCreateKeyEx(HKEY_CURRENT_USER, Bytes(path).constData(), 0, nullptr,
                         REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &opened, &disposition);
  } else {
    err = RegOpenKeyEx(HKEY_CURRENT_USER, Bytes(path).constData(), 0, KEY_ALL_ACCESS, &opened);
  }
  if (err != ERROR_SUCCESS) return false;
  CloseKey();
  current_ = opened;
  currentPath_ = path;
  return true;
}

bool TRegistry2::CloseKey() {
  const bool ok = !current_ || RegCloseKey(current_) == ERROR_SUCCESS;
  current_ = nullptr;
  currentPath_.clear();
  return ok;
}

bool TRegistry2::CreateKey(const QString& key) {
  HKEY created = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyEx(HKEY_CURRENT_USER, Bytes(Absolute(key)).constData(), 0, nullptr, 0,
                     KEY_ALL_ACCESS, nullptr, &created, &disposition) != ERROR_SUCCESS)
    return false;
  RegCloseKey(created);
  return true;
}

bool TRegistry2::DeleteKey(const QString& key) {
  const QByteArray path = Bytes(Absolute(key));
  // Deleting the root itself is refused, as the platform does.
  if (QString::fromLocal8Bit(path).remove(QLatin1Char('\\')).isEmpty()) return false;
  return RegDeleteTree(HKEY_CURRENT_USER, path.constData()) == ERROR_SUCCESS;
}

bool TRegistry2::KeyExists(const QString& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyEx(HKEY_CURRENT_USER, Bytes(Absolute(key)).constData(), 0, KEY_READ, &opened) !=
      ERROR_SUCCESS)
    return false;
  RegCloseKey(opened);
  return true;
}

bool TRegistry2::ValueExists(const QString& name) {
  DWORD type = 0, size = 0;
  return GetDataInfo(name, type, size);
}

bool TRegistry2::GetDataInfo(const QString& name, DWORD& type, DWORD& size) {
  if (!current_) return false;
  DWORD t = 0, s = 0;
  if (RegQueryValueEx(current_, Bytes(name).constData(), nullptr, &t, nullptr, &s) != ERROR_SUCCESS)
    return false;
  type = t;
  size = s;
  return true;
}

bool TRegistry2::WriteString(const QString& name, const QString& value) {
  if (!current_) return false;
  QByteArray data = Bytes(value);
  data.append('\0');
  return RegSetValueEx(current_, Bytes(name).constData(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(data.constData()),
                       static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

bool TRegistry2::WriteInteger(const QString& name, std::int32_t value) {
  if (!current_) return false;
  const DWORD v = static_cast<DWORD>(value);
  return RegSetValueEx(current_, Bytes(name).constData(), 0, REG_DWORD,
                       reinterpret_cast<const BYTE*>(&v), sizeof v) == ERROR_SUCCESS;
}

bool TRegistry2::WriteBool(const QString& name, bool value) {
  return WriteInteger(name, value ? 1 : 0);
}

bool TRegistry2::WriteFloat(const QString& name, double value) {
  return WriteBinaryData(name, &value, sizeof value);
}

bool TRegistry2::WriteBinaryData(const QString& name, const void* data, std::uint32_t size) {
  if (!current_ || (!data && size)) return false;
  return RegSetValueEx(current_, Bytes(name).constData(), 0, REG_BINARY,
                       static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

bool TRegistry2::ReadString(const QString& name, QString& value) {
  DWORD type = 0, size = 0;
  if (!GetDataInfo(name, type, size)) return false;
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || size < 1) return false;
  std::vector<char> buffer(size + 1, '\0');
  DWORD got = size;
  if (RegQueryValueEx(current_, Bytes(name).constData(), nullptr, &type,
                      reinterpret_cast<BYTE*>(buffer.data()), &got) != ERROR_SUCCESS)
    return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  value =
      QString::fromLocal8Bit(buffer.data(), static_cast<qsizetype>(strnlen(buffer.data(), got)));
  return true;
}

bool TRegistry2::ReadInteger(const QString& name, std::int32_t& value) {
  if (!current_) return false;
  DWORD type = 0, v = 0, size = sizeof v;
  if (RegQueryValueEx(current_, Bytes(name).constData(), nullptr, &type,
                      reinterpret_cast<BYTE*>(&v), &size) != ERROR_SUCCESS)
    return false;
  if (type != REG_DWORD || size != sizeof v) return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

bool TRegistry2::ReadBool(const QString& name, bool& value) {
  std::int32_t v = 0;
  if (!ReadInteger(name, v)) return false;
  value = v != 0;
  return true;
}

bool TRegistry2::ReadFloat(const QString& name, double& value) {
  DWORD type = 0, size = 0;
  if (!GetDataInfo(name, type, size) || type != REG_BINARY || size != sizeof(double)) return false;
  double v = 0;
  if (!ReadBinaryData(name, &v, sizeof v)) return false;
  value = v;
  return true;
}

bool TRegistry2::ReadBinaryData(const QString& name, void* buffer, std::uint32_t size) {
  if (!current_ || (!buffer && size)) return false;
  DWORD type = 0, got = 0;
  if (!GetDataInfo(name, type, got)) return false;
  if ((type != REG_BINARY && type != REG_NONE) || got != size) return false;
  // Read into a block of our own: the value may have changed since its size was asked, and the
  // caller's block must never take more than size bytes.
  std::vector<BYTE> block(size);
  DWORD capacity = size;
  if (RegQueryValueEx(current_, Bytes(name).constData(), nullptr, &type, block.data(), &capacity) !=
      ERROR_SUCCESS)
    return false;
  if ((type != REG_BINARY && type != REG_NONE) || capacity != size) return false;
  if (size) std::memcpy(buffer, block.data(), size);
  return true;
}

void CheckRegistryVersion() {
  TRegistry2 reg;
  const QString marker = RegistryBasePath() + QLatin1String(kComponentVersion);
  if (reg.OpenKey(marker, false)) return;
  reg.DeleteKey(RegistryBasePath());
  reg.CreateKey(marker);
}
