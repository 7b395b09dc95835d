#include "platform/media/pipewire/PipeWireProvider.h"

#include <chrono>
#include <sstream>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QString>
#include <QThread>
#include <QTimer>

#include "platform/media/pipewire/PipeWireCaptureFilter.h"
#include "platform/media/pipewire/PipeWireConnection.h"
#include "platform/media/pipewire/PipeWireFormats.h"

namespace {

// How long a listing for the command line waits for the camera portal and the daemon.
constexpr std::chrono::seconds kSettleWait{5};

}  // namespace

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
  const std::shared_ptr<PipeWireConnection> connection = provider->Connection();
  // The camera portal answers through the application's event loop: it runs here until the
  // cameras are known.
  QCoreApplication* app = QCoreApplication::instance();
  if (app && QThread::currentThread() == app->thread()) {
    QEventLoop loop;
    QTimer poll;
    const QDeadlineTimer deadline(kSettleWait);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (connection->Settled() || deadline.hasExpired()) loop.quit();
    });
    poll.start(20);
    if (!connection->Settled()) loop.exec();
    QCoreApplication::processEvents();  // what the answer posted, such as a player's message
  }
  std::ostringstream out;
  for (const PipeWireCamera& c : connection->Cameras()) {
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
