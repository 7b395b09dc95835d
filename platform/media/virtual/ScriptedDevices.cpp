#include "platform/media/virtual/ScriptedDevices.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

#include <QFile>
#include <QLoggingCategory>

#include "platform/media/DeviceNotify.h"
#include "platform/media/virtual/ScriptedDeviceFile.h"
#include "platform/media/virtual/VirtualAnalog.h"

Q_LOGGING_CATEGORY(lcVirtual, "frostwipe.media.virtual")

namespace {

constexpr std::u16string_view kCrossbarSuffix = u"#crossbar";
constexpr std::u16string_view kTunerSuffix = u"#tvtuner";

bool SameName(const std::u16string& a, const std::u16string& b) {
  return QString::fromStdU16String(a).compare(QString::fromStdU16String(b), Qt::CaseInsensitive) ==
         0;
}

// A display name as names compare (Qt's case-insensitive comparison folds case).
std::u16string Folded(const std::u16string& name) {
  return QString::fromStdU16String(name).toCaseFolded().toStdU16String();
}

// Reads a device file: a regular file only, opened without waiting (a FIFO would wait for a
// writer for ever), of at most maxBytes (a device node such as /dev/zero never ends).
bool ReadDeviceFile(const QString& path, qint64 maxBytes, QByteArray* text, QString* error) {
  const QByteArray name = QFile::encodeName(path);
  const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = QString::fromLocal8Bit(std::strerror(errno));
    return false;
  }
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0;
  if (!ok) {
    *error = QString::fromLocal8Bit(std::strerror(errno));
  } else if (!S_ISREG(st.st_mode)) {
    *error = QStringLiteral("not a regular file");
    ok = false;
  }
  qint64 got = 0;
  if (ok && st.st_size <= maxBytes) {
    text->resize(maxBytes + 1);  // one more byte tells a file that grew past the limit
    while (got <= maxBytes) {
      const ssize_t n =
          ::read(fd, text->data() + got, static_cast<std::size_t>(maxBytes + 1 - got));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        ok = false;
      }
      if (n <= 0) break;
      got += n;
    }
  }
  ::close(fd);
  if (ok && (st.st_size > maxBytes || got > maxBytes)) {
    *error = QStringLiteral("larger than %1 bytes").arg(maxBytes);
    ok = false;
  }
  text->resize(ok ? got : 0);
  return ok;
}

void Announce(DeviceChangeKind kind, const VirtualDeviceConfig& config) {
  DeviceChange change;
  change.kind = kind;
  change.category = config.category;
  change.displayName = config.displayName;
  change.friendlyName = config.friendlyName;
  DeviceNotify::Broadcast(change);
}

}  // namespace

std::shared_ptr<ScriptedDevices> ScriptedDevices::Instance() {
  static const std::shared_ptr<ScriptedDevices> instance(new ScriptedDevices);
  return instance;
}

void ScriptedDevices::LoadEnvironmentFileOnce() {
  std::call_once(fileOnce_, [this] {
    const char* path = std::getenv("FROSTWIPE_VIRTUAL_DEVICES");
    if (!path || !*path) return;
    QString error;
    if (FAILED(LoadFile(QString::fromLocal8Bit(path), &error)))
      qCWarning(lcVirtual, "FROSTWIPE_VIRTUAL_DEVICES: %s: %s", path, qUtf8Printable(error));
  });
}

HRESULT ScriptedDevices::LoadFile(const QString& path, QString* error) {
  QString ignored;
  if (!error) error = &ignored;
  QByteArray text;
  if (!ReadDeviceFile(path, kMaxFileBytes, &text, error)) return E_INVALIDARG;
  std::vector<ScriptedDeviceEntry> entries;
  if (!ParseScriptedDevices(text, &entries, error)) return E_INVALIDARG;
  return AddAll(std::move(entries), error);
}

HRESULT ScriptedDevices::AddAll(std::vector<ScriptedDeviceEntry> entries, QString* error) {
  std::vector<std::u16string> toPlug;
  {
    std::lock_guard lock(mutex_);
    const int generatedBefore = generatedNames_;
    std::unordered_set<std::u16string> names;
    for (ScriptedDeviceEntry& entry : entries) {
      NameLocked(entry.config);
      const std::u16string key = Folded(entry.config.displayName);
      if (entry.config.friendlyName.empty() || byName_.count(key) || !names.insert(key).second) {
        generatedNames_ = generatedBefore;
        *error = QStringLiteral("device \"%1\": display name used twice")
                     .arg(QString::fromStdU16String(entry.config.friendlyName));
        return E_INVALIDARG;
      }
    }
    for (ScriptedDeviceEntry& entry : entries) {
      if (entry.plugged) toPlug.push_back(entry.config.displayName);
      byName_[Folded(entry.config.displayName)] = devices_.size();
      Entry added;
      added.config = std::move(entry.config);
      added.presence = std::make_shared<std::atomic<bool>>(false);
      devices_.push_back(std::move(added));
    }
  }
  for (const std::u16string& name : toPlug) SetPlugged(name, true);
  return S_OK;
}

void ScriptedDevices::NameLocked(VirtualDeviceConfig& config) {
  if (!config.displayName.empty()) return;
  const std::u16string n = QString::number(++generatedNames_).toStdU16String();
  config.displayName =
      config.driver == DriverKind::Vfw
          ? u"@device:cm:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\frostwipe" + n + u"video"
          : u"@device:pnp:\\\\?\\frostwipe-scripted#" + n +
                u"#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
}

ScriptedDevices::Entry* ScriptedDevices::FindLocked(const std::u16string& displayName) {
  const auto found = byName_.find(Folded(displayName));
  return found == byName_.end() ? nullptr : &devices_[found->second];
}

HRESULT ScriptedDevices::Add(VirtualDeviceConfig config, bool plugged,
                             std::u16string* displayName) {
  LoadEnvironmentFileOnce();
  return AddDevice(std::move(config), plugged, displayName);
}

HRESULT ScriptedDevices::AddDevice(VirtualDeviceConfig config, bool plugged,
                                   std::u16string* displayName) {
  if (config.friendlyName.empty()) return E_INVALIDARG;
  std::u16string name;
  {
    std::lock_guard lock(mutex_);
    NameLocked(config);
    if (FindLocked(config.displayName)) return E_INVALIDARG;
    name = config.displayName;
    if (displayName) *displayName = name;
    byName_[Folded(name)] = devices_.size();
    Entry entry;
    entry.config = std::move(config);
    entry.presence = std::make_shared<std::atomic<bool>>(false);
    devices_.push_back(std::move(entry));
  }
  if (!plugged) return S_OK;
  return SUCCEEDED(SetPlugged(name, true)) ? S_OK : E_UNEXPECTED;
}

HRESULT ScriptedDevices::Plug(const std::u16string& displayName) {
  LoadEnvironmentFileOnce();
  return SetPlugged(displayName, true);
}

HRESULT ScriptedDevices::Unplug(const std::u16string& displayName) {
  LoadEnvironmentFileOnce();
  return SetPlugged(displayName, false);
}

HRESULT ScriptedDevices::SetPlugged(const std::u16string& displayName, bool plugged) {
  VirtualDeviceConfig announced;
  {
    std::lock_guard lock(mutex_);
    Entry* e = FindLocked(displayName);
    if (!e) return VFW_E_NOT_FOUND;
    if (e->plugged == plugged) return S_FALSE;
    e->plugged = plugged;
    if (plugged) {
      // Filters made before an unplug stay dead; new ones get the device's new presence.
      e->presence = std::make_shared<std::atomic<bool>>(true);
    } else {
      e->presence->store(false, std::memory_order_release);
    }
    announced = e->config;
  }
  qCInfo(lcVirtual, "%s: %s", qUtf8Printable(QString::fromStdU16String(announced.displayName)),
         plugged ? "plugged in" : "unplugged");
  Announce(plugged ? DeviceChangeKind::Arrival : DeviceChangeKind::Removal, announced);
  return S_OK;
}

void ScriptedDevices::Clear() {
  std::lock_guard lock(mutex_);
  for (Entry& e : devices_) e.presence->store(false, std::memory_order_release);
  devices_.clear();
  byName_.clear();
  generatedNames_ = 0;
}

std::vector<DeviceDescription> ScriptedDevices::ListDevices(REFGUID category) {
  LoadEnvironmentFileOnce();
  std::vector<DeviceDescription> list;
  std::lock_guard lock(mutex_);
  for (const Entry& e : devices_) {
    if (!e.plugged) continue;
    const VirtualDeviceConfig& c = e.config;
    if (c.category == category) list.push_back(DescribeVirtualDevice(c));
    const bool videoCard = c.category == CLSID_VideoInputDeviceCategory;
    if (videoCard && !c.crossbarInputs.empty() && category == AM_KSCATEGORY_CROSSBAR) {
      DeviceDescription d = DescribeVirtualDevice(c);
      d.category = category;
      d.friendlyName += u" Crossbar";
      d.displayName += kCrossbarSuffix;
      d.devicePath.clear();
      list.push_back(std::move(d));
    }
    if (videoCard && c.tvTuner && category == AM_KSCATEGORY_TVTUNER) {
      DeviceDescription d = DescribeVirtualDevice(c);
      d.category = category;
      d.friendlyName += u" TV Tuner";
      d.displayName += kTunerSuffix;
      d.devicePath.clear();
      list.push_back(std::move(d));
    }
  }
  return list;
}

HRESULT ScriptedDevices::CreateFilter(REFGUID category, const std::u16string& displayName,
                                      IBaseFilter** filter) {
  if (!filter) return E_POINTER;
  *filter = nullptr;
  LoadEnvironmentFileOnce();
  std::lock_guard lock(mutex_);
  for (const Entry& e : devices_) {
    if (!e.plugged) continue;
    const VirtualDeviceConfig& c = e.config;
    if (c.category == category && SameName(c.displayName, displayName)) {
      if (FAILED(c.failures.createResult)) return c.failures.createResult;
      VirtualDeviceConfig made = c;
      // Devices of other categories have no video to stream.
      if (!(c.category == CLSID_VideoInputDeviceCategory))
        made.capturePin = made.previewPin = false;
      *filter = new VirtualCaptureFilter(std::move(made), e.presence);
      return S_OK;
    }
    if (category == AM_KSCATEGORY_CROSSBAR && !c.crossbarInputs.empty() &&
        SameName(c.displayName + std::u16string(kCrossbarSuffix), displayName)) {
      *filter = new VirtualCrossbar(c);
      return S_OK;
    }
    if (category == AM_KSCATEGORY_TVTUNER && c.tvTuner &&
        SameName(c.displayName + std::u16string(kTunerSuffix), displayName)) {
      *filter = new VirtualTvTuner(c);
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}
