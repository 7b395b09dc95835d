#include "platform/media/v4l2/V4l2Provider.h"

#include <cerrno>
#include <cstring>
#include <linux/videodev2.h>

#include <QString>

#include "platform/media/DeviceNotify.h"
#include "platform/media/v4l2/V4l2CaptureFilter.h"
#include "platform/media/v4l2/V4l2Formats.h"
#include "platform/media/v4l2/V4l2Log.h"
#include "platform/media/virtual/VirtualDeviceConfig.h"

Q_LOGGING_CATEGORY(lcV4l2, "frostwipe.media.v4l2")

namespace {

std::u16string U16(const std::string& text) {
  return QString::fromUtf8(text.c_str()).toStdU16String();
}

std::string Text(const std::uint8_t* field, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(field),
                     strnlen(reinterpret_cast<const char*>(field), size));
}

}  // namespace

V4l2Provider::V4l2Provider(std::shared_ptr<V4l2Io> io)
    : io_(std::move(io)), ioChosen_(io_ != nullptr) {}

V4l2Provider::~V4l2Provider() {
  std::shared_ptr<V4l2Io> io;
  {
    std::lock_guard lock(mutex_);
    if (!watching_) return;
    io = io_;
    watching_ = false;
  }
  if (io) io->StopWatching();
}

std::shared_ptr<V4l2Io> V4l2Provider::Io() {
  std::lock_guard lock(mutex_);
  if (!ioChosen_) {
    io_ = DefaultV4l2Io();
    ioChosen_ = true;
  }
  return io_;
}

bool V4l2Provider::Describe(V4l2Io& io, const std::string& node, V4l2Camera* camera) {
  const int fd = io.Open(node);
  if (fd < 0) {
    camera->denied = fd == -EACCES || fd == -EPERM;
    if (camera->denied)
      qCWarning(lcV4l2,
                "%s: no permission to open the camera; add your user to the \"video\" group "
                "and log in again",
                node.c_str());
    else if (fd != -ENOENT)
      qCInfo(lcV4l2, "%s: cannot open: %s", node.c_str(), strerror(-fd));
    return false;
  }
  v4l2_capability cap{};
  const int r = io.Ioctl(fd, VIDIOC_QUERYCAP, &cap);
  if (r < 0) {
    qCInfo(lcV4l2, "%s: VIDIOC_QUERYCAP failed: %s", node.c_str(), strerror(-r));
    io.Close(fd);
    return false;
  }
  const std::uint32_t caps =
      (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
  camera->node = node;
  camera->card = Text(cap.card, sizeof cap.card);
  camera->driver = Text(cap.driver, sizeof cap.driver);
  camera->busInfo = Text(cap.bus_info, sizeof cap.bus_info);
  camera->multiplanar = !(caps & V4L2_CAP_VIDEO_CAPTURE) && (caps & V4L2_CAP_VIDEO_CAPTURE_MPLANE);
  bool usable = (caps & V4L2_CAP_VIDEO_CAPTURE) && (caps & V4L2_CAP_STREAMING);
  if (camera->multiplanar)
    qCInfo(lcV4l2, "%s (%s): multi-planar capture is not supported; not listed", node.c_str(),
           camera->card.c_str());
  if (usable) {
    std::vector<std::string> skipped;
    if (ReadCapabilities(io, fd, node, &skipped).empty()) {
      std::string names;
      for (const std::string& s : skipped) names += (names.empty() ? "" : " ") + s;
      qCWarning(lcV4l2,
                "%s (%s): offers no format Frostwipe can convert (it has: %s); listed, but it "
                "cannot show a picture",
                node.c_str(), camera->card.c_str(), names.empty() ? "none" : names.c_str());
    }
  }
  io.Close(fd);
  if (!usable) return false;
  camera->stablePath = io.StablePath(node);
  camera->stableName = camera->stablePath.substr(camera->stablePath.find_last_of('/') + 1);
  const std::string identity =
      camera->stableName.empty() ? camera->busInfo + ":" + camera->card : camera->stableName;
  DeviceDescription& d = camera->description;
  d.category = CLSID_VideoInputDeviceCategory;
  d.friendlyName = U16(camera->card.empty() ? node : camera->card);
  d.displayName = U16("@device:v4l2:" + identity);
  d.clsid = CLSID_Proxy;
  d.devicePath = U16(camera->stablePath.empty() ? node : camera->stablePath);
  return true;
}

std::vector<V4l2Camera> V4l2Provider::Scan() {
  const std::shared_ptr<V4l2Io> io = Io();
  std::vector<V4l2Camera> cameras;
  if (!io) return cameras;
  int denied = 0;
  for (const std::string& node : io->ListNodes()) {
    V4l2Camera camera;
    if (Describe(*io, node, &camera))
      cameras.push_back(std::move(camera));
    else
      denied += camera.denied;
  }
  denied_.store(denied);
  return cameras;
}

std::vector<DeviceDescription> V4l2Provider::ListDevices(REFGUID category) {
  if (!(category == CLSID_VideoInputDeviceCategory)) return {};
  const std::shared_ptr<V4l2Io> io = Io();
  if (!io) return {};
  std::vector<V4l2Camera> cameras = Scan();
  std::vector<DeviceDescription> devices;
  for (const V4l2Camera& c : cameras) devices.push_back(c.description);
  {
    std::lock_guard lock(mutex_);
    known_ = std::move(cameras);
  }
  // Watching starts once a first list is out, so a change is always relative to one.
  if (DeviceNotify::Instance()) StartWatching(io);
  return devices;
}

void V4l2Provider::StartWatching(const std::shared_ptr<V4l2Io>& io) {
  {
    std::lock_guard lock(mutex_);
    if (watching_) return;
    watching_ = true;
  }
  if (!io->WatchNodes([this](const V4l2NodeEvent& event) { HandleNodeEvent(event); })) {
    std::lock_guard lock(mutex_);
    watching_ = false;
  }
}

void V4l2Provider::HandleNodeEvent(const V4l2NodeEvent& event) {
  DeviceChange change;
  change.category = CLSID_VideoInputDeviceCategory;
  if (event.action == V4l2NodeEvent::Action::Added) {
    const std::shared_ptr<V4l2Io> io = Io();
    V4l2Camera camera;
    if (!io || !Describe(*io, event.node, &camera)) return;  // metadata and output nodes
    change.kind = DeviceChangeKind::Arrival;
    change.displayName = camera.description.displayName;
    change.friendlyName = camera.description.friendlyName;
    qCInfo(lcV4l2, "%s: camera \"%s\" plugged in", event.node.c_str(), camera.card.c_str());
    std::lock_guard lock(mutex_);
    std::erase_if(known_, [&](const V4l2Camera& c) { return c.node == event.node; });
    known_.push_back(std::move(camera));
  } else if (event.action == V4l2NodeEvent::Action::Removed) {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(known_.begin(), known_.end(),
                           [&](const V4l2Camera& c) { return c.node == event.node; });
    if (it == known_.end()) return;
    change.kind = DeviceChangeKind::Removal;
    change.displayName = it->description.displayName;
    change.friendlyName = it->description.friendlyName;
    qCInfo(lcV4l2, "%s: camera \"%s\" unplugged", event.node.c_str(), it->card.c_str());
    known_.erase(it);
  } else {
    return;
  }
  DeviceNotify::Broadcast(change);
}

HRESULT V4l2Provider::CreateFilter(REFGUID category, const std::u16string& displayName,
                                   IBaseFilter** filter) {
  if (!filter) return E_POINTER;
  *filter = nullptr;
  if (!(category == CLSID_VideoInputDeviceCategory)) return VFW_E_NOT_FOUND;
  const std::shared_ptr<V4l2Io> io = Io();
  if (!io) return VFW_E_NOT_FOUND;
  const QString wanted = QString::fromStdU16String(displayName);
  for (const V4l2Camera& camera : Scan())
    if (QString::fromStdU16String(camera.description.displayName)
            .compare(wanted, Qt::CaseInsensitive) == 0)
      return V4l2CaptureFilter::Create(io, camera.node, camera.description.friendlyName, filter);
  return VFW_E_NOT_FOUND;
}

void RegisterV4l2Provider(DeviceProviderRegistry& registry) {
  registry.Register("v4l2", std::make_shared<V4l2Provider>());
}
