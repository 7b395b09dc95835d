#include "platform/media/pipewire/PipeWireProvider.h"

#include <sstream>

#include <QString>

#include "platform/media/pipewire/PipeWireCaptureFilter.h"
#include "platform/media/pipewire/PipeWireConnection.h"
#include "platform/media/pipewire/PipeWireFormats.h"

PipeWireProvider::PipeWireProvider() = default;
PipeWireProvider::~PipeWireProvider() = default;

std::shared_ptr<PipeWireConnection> PipeWireProvider::Connection() {
  std::lock_guard lock(mutex_);
  if (!connection_) connection_ = std::make_shared<PipeWireConnection>();
  return connection_;
}

std::vector<DeviceDescription> PipeWireProvider::ListDevices(REFGUID category) {
  if (!(category == CLSID_VideoInputDeviceCategory)) return {};
  std::vector<DeviceDescription> devices;
  for (const PipeWireCamera& camera : Connection()->Cameras())
    devices.push_back(camera.description);
  return devices;
}

HRESULT PipeWireProvider::CreateFilter(REFGUID category, const std::u16string& displayName,
                                       IBaseFilter** filter) {
  if (!filter) return E_POINTER;
  *filter = nullptr;
  if (!(category == CLSID_VideoInputDeviceCategory)) return VFW_E_NOT_FOUND;
  const std::shared_ptr<PipeWireConnection> connection = Connection();
  const QString wanted = QString::fromStdU16String(displayName);
  for (PipeWireCamera& camera : connection->Cameras())
    if (QString::fromStdU16String(camera.description.displayName)
            .compare(wanted, Qt::CaseInsensitive) == 0)
      return PipeWireCaptureFilter::Create(connection, std::move(camera), filter);
  return VFW_E_NOT_FOUND;
}

void RegisterPipeWireProvider(DeviceProviderRegistry& registry) {
  registry.Register("pipewire", std::make_shared<PipeWireProvider>());
}

std::string DescribePipeWireCameras() {
  auto provider = std::dynamic_pointer_cast<PipeWireProvider>(
      DeviceProviderRegistry::Instance().Find("pipewire"));
  if (!provider) return {};
  std::ostringstream out;
  for (const PipeWireCamera& c : provider->Connection()->Cameras()) {
    out << QString::fromStdU16String(c.description.friendlyName).toStdString()
        << " (PipeWire)\n  node: " << c.nodeName
        << "\n  identity: " << QString::fromStdU16String(c.description.displayName).toStdString()
        << "\n  formats:\n";
    for (const V4l2Capability& cap : c.caps) {
      out << "    " << PipeWireFormatName(cap.pixelformat) << " " << cap.width << "x" << cap.height
          << ":";
      for (std::size_t i = 0; i < cap.intervals.size(); ++i)
        out << (i ? ", " : " ")
            << QString::number(static_cast<double>(UNITS) / cap.intervals[i], 'g', 4).toStdString();
      out << " fps\n";
    }
    for (const std::string& s : c.skipped) out << "    " << s << " (cannot be converted)\n";
    out << "  controls:" << (c.controls.empty() ? " none" : "") << "\n";
    for (const PipeWireControl& k : c.controls)
      out << "    " << k.name << ": " << k.min << " to " << k.max << ", default " << k.defaultValue
          << "\n";
    out << "\n";
  }
  return out.str();
}
