#include "platform/media/virtual/ScriptedDevices.h"

#include <cstdlib>

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
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    *error = file.errorString();
    return E_INVALIDARG;
  }
  std::vector<ScriptedDeviceEntry> entries;
  if (!ParseScriptedDevices(file.readAll(), &entries, error)) return E_INVALIDARG;
  for (ScriptedDeviceEntry& entry : entries) {
    const QString name = QString::fromStdU16String(entry.config.friendlyName);
    if (FAILED(AddDevice(std::move(entry.config), entry.plugged, nullptr))) {
      *error = QStringLiteral("device \"%1\": display name used twice").arg(name);
      return E_INVALIDARG;
    }
  }
  return S_OK;
}

ScriptedDevices::Entry* ScriptedDevices::FindLocked(const std::u16string& displayName) {
  for (Entry& e : devices_)
    if (SameName(e.config.displayName, displayName)) return &e;
  return nullptr;
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
    if (config.displayName.empty()) {
      const std::u16string n = QString::number(++generatedNames_).toStdU16String();
      config.displayName =
          config.driver == DriverKind::Vfw
              ? u"@device:cm:{860BB310-5D01-11D0-BD3B-00A0C911CE86}\\frostwipe" + n + u"video"
              : u"@device:pnp:\\\\?\\frostwipe-scripted#" + n +
                    u"#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\\global";
    }
    if (FindLocked(config.displayName)) return E_INVALIDARG;
    name = config.displayName;
    if (displayName) *displayName = name;
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
