#include "platform/media/pipewire/PipeWireConnection.h"

#include <cerrno>
#include <cstring>
#include <pipewire/pipewire.h>
#include <spa/param/props.h>
#include <spa/pod/builder.h>
#include <spa/utils/result.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QString>

#include "platform/media/DeviceNotify.h"
#include "platform/media/UiThread.h"
#include "platform/media/pipewire/PipeWireFormats.h"
#include "platform/media/pipewire/PipeWireLog.h"
#include "platform/media/pipewire/PipeWirePortal.h"
#include "platform/media/v4l2/V4l2Provider.h"
#include "platform/media/virtual/VirtualDeviceConfig.h"
#include "platform/toolkit/PlayerMessageHook.h"

Q_LOGGING_CATEGORY(lcPipeWire, "frostwipe.media.pipewire")

namespace {

// How often a missing daemon is looked for.
constexpr timespec kRetry{1, 0};

// Arms the timer: first after value, then every interval.
void ArmTimer(pw_loop* loop, spa_source* timer, timespec value, timespec interval) {
  pw_loop_update_timer(loop, timer, &value, &interval, false);
}
constexpr auto kListingWait = std::chrono::seconds(2);

std::string Lookup(const spa_dict* props, const char* key) {
  const char* value = props ? spa_dict_lookup(props, key) : nullptr;
  return value ? value : "";
}

std::u16string U16(const std::string& text) {
  return QString::fromUtf8(text.c_str()).toStdU16String();
}

std::string RemoteName(bool portal) {
  if (portal) return "the camera portal's remote";
  const char* remote = std::getenv("PIPEWIRE_REMOTE");
  if (remote && *remote) return remote;
  const char* runtime = std::getenv("PIPEWIRE_RUNTIME_DIR");
  if (!runtime || !*runtime) runtime = std::getenv("XDG_RUNTIME_DIR");
  return std::string(runtime ? runtime : "") + "/pipewire-0";
}

// A node the v4l2 monitor made for a /dev/video* camera gets the identity the V4L2 provider
// gives that camera (display name, friendly name, "DevicePath"): it is listed once, and its
// stored settings follow it whichever path lists it. False for other nodes.
bool TakeV4l2Identity(const spa_dict* props, DeviceDescription* d) {
  const std::string node = Lookup(props, "api.v4l2.path");
  if (node.empty()) return false;
  auto v4l2 =
      std::dynamic_pointer_cast<V4l2Provider>(DeviceProviderRegistry::Instance().Find("v4l2"));
  const std::shared_ptr<V4l2Io> io = v4l2 ? v4l2->Io() : nullptr;
  const std::string stablePath = io ? io->StablePath(node) : std::string();
  const std::string stableName = stablePath.substr(stablePath.find_last_of('/') + 1);
  const std::string card = Lookup(props, "api.v4l2.cap.card");
  const std::string identity =
      stableName.empty() ? Lookup(props, "api.v4l2.cap.bus_info") + ":" + card : stableName;
  d->friendlyName = U16(card.empty() ? node : card);
  d->displayName = U16("@device:v4l2:" + identity);
  d->devicePath = U16(stablePath.empty() ? node : stablePath);
  return true;
}

// Tells the player why no camera of the desktop is listed, through the application's event
// loop: in the window's message strip once the capture layer shows one, else in a message box.
void TellPlayer(const QString& text) {
  if (QCoreApplication::instance()) PostToUiThread([text] { PlatformPlayerMessage(text); });
}

// A number pod (int or float) as a double; false for other pods.
bool NumberOf(const spa_pod* pod, double* value, bool* isFloat) {
  std::int32_t i = 0;
  float f = 0;
  if (spa_pod_get_int(pod, &i) == 0) {
    *value = i;
    *isFloat = false;
    return true;
  }
  if (spa_pod_get_float(pod, &f) == 0) {
    *value = f;
    *isFloat = true;
    return true;
  }
  return false;
}

// A numeric property's description: its id, name and range (a step or range choice, or a plain
// value). Boolean and enumerated properties are left out.
void AddPropInfo(const spa_pod* param, std::vector<PipeWireControl>* controls) {
  if (!spa_pod_is_object_type(param, SPA_TYPE_OBJECT_PropInfo)) return;
  std::uint32_t id = 0;
  const char* name = nullptr;
  const spa_pod* type = nullptr;
  const spa_pod_prop* prop;
  SPA_POD_OBJECT_FOREACH(reinterpret_cast<const spa_pod_object*>(param), prop) {
    if (prop->key == SPA_PROP_INFO_id) spa_pod_get_id(&prop->value, &id);
    if (prop->key == SPA_PROP_INFO_description) spa_pod_get_string(&prop->value, &name);
    if (prop->key == SPA_PROP_INFO_type) type = &prop->value;
  }
  if (id == 0 || !type) return;
  std::uint32_t count = 0, choice = 0;
  const spa_pod* values = spa_pod_get_values(type, &count, &choice);
  if (values->type != SPA_TYPE_Int && values->type != SPA_TYPE_Float) return;
  const bool isFloat = values->type == SPA_TYPE_Float;
  auto at = [&](std::uint32_t i) -> double {
    const void* body = SPA_POD_BODY_CONST(values);
    return isFloat ? static_cast<const float*>(body)[i] : static_cast<const std::int32_t*>(body)[i];
  };
  PipeWireControl c;
  c.id = id;
  c.name = name ? name : "";
  c.isFloat = isFloat;
  c.defaultValue = c.value = at(0);
  if ((choice == SPA_CHOICE_Range || choice == SPA_CHOICE_Step) && count >= 3) {
    c.min = at(1);
    c.max = at(2);
    c.step = choice == SPA_CHOICE_Step && count >= 4 ? at(3) : (isFloat ? 0 : 1);
  } else if (choice == SPA_CHOICE_None) {
    c.min = c.max = at(0);
  } else {
    return;
  }
  std::erase_if(*controls, [&](const PipeWireControl& k) { return k.id == id; });
  controls->push_back(c);
}

// The current values of the described properties.
void ReadProps(const spa_pod* param, std::vector<PipeWireControl>* controls) {
  if (!spa_pod_is_object_type(param, SPA_TYPE_OBJECT_Props)) return;
  const spa_pod_prop* prop;
  SPA_POD_OBJECT_FOREACH(reinterpret_cast<const spa_pod_object*>(param), prop) {
    for (PipeWireControl& c : *controls) {
      double value = 0;
      bool isFloat = false;
      if (c.id == prop->key && NumberOf(&prop->value, &value, &isFloat)) c.value = value;
    }
  }
}

}  // namespace

// The connection a portal answer is for, cleared when the connection goes.
struct PipeWireConnection::PortalLink {
  std::mutex mutex;
  PipeWireConnection* connection = nullptr;
};

struct PipeWireConnection::Node {
  PipeWireConnection* owner = nullptr;
  pw_proxy* proxy = nullptr;
  spa_hook listener{};
  int syncSeq = -1;
  bool ready = false;
  PipeWireCamera camera;
  // The formats offered again after a change: the info's EnumFormat flags as last seen (the
  // daemon toggles a bit at every change), the enumeration under way (the seq its parameters
  // come with; 0 before the first) and its core sync, and what it has gathered.
  std::uint32_t formatFlags = 0;
  bool formatFlagsSeen = false;
  int formatRound = 0;
  int formatSync = -1;
  std::vector<V4l2Capability> freshCaps;
  std::vector<std::string> freshSkipped;
};

PipeWireCore::~PipeWireCore() {
  if (core) pw_core_disconnect(core);
}

PipeWireConnection::PipeWireConnection() : portal_(CameraPortalWanted()) {
  static const bool initialised = (pw_init(nullptr, nullptr), true);
  (void)initialised;
  loop_ = pw_thread_loop_new("pw-frostwipe", nullptr);
  context_ = pw_context_new(pw_thread_loop_get_loop(loop_), nullptr, 0);
  coreListener_ = std::make_unique<spa_hook>();
  registryListener_ = std::make_unique<spa_hook>();
  timer_ = pw_loop_add_timer(pw_thread_loop_get_loop(loop_), OnTimer, this);
  pw_thread_loop_start(loop_);
  pw_thread_loop_lock(loop_);
  TryConnect();
  pw_thread_loop_unlock(loop_);
}

PipeWireConnection::~PipeWireConnection() {
  if (portalLink_) {
    std::lock_guard lock(portalLink_->mutex);
    portalLink_->connection = nullptr;
  }
  pw_thread_loop_lock(loop_);
  closing_ = true;  // the cameras are not unplugged: nobody hears of them any more
  Disconnect();
  pw_loop_destroy_source(pw_thread_loop_get_loop(loop_), timer_);
  if (portalFd_ >= 0) close(portalFd_);
  pw_thread_loop_unlock(loop_);
  pw_thread_loop_stop(loop_);
  pw_context_destroy(context_);
  pw_thread_loop_destroy(loop_);
}

std::vector<PipeWireCamera> PipeWireConnection::Cameras() {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, kListingWait, [&] { return complete_; });
  return cameras_;
}

bool PipeWireConnection::Settled() {
  std::lock_guard lock(mutex_);
  return complete_ && !portalPending_;
}

bool PipeWireConnection::Connected() {
  pw_thread_loop_lock(loop_);
  const bool connected = core_ && !failing_;
  pw_thread_loop_unlock(loop_);
  return connected;
}

std::shared_ptr<PipeWireCore> PipeWireConnection::Core() {
  return failing_ ? nullptr : core_;
}

int PipeWireConnection::Watch(std::uint32_t id, std::function<void()> gone) {
  std::lock_guard lock(mutex_);
  const bool present = std::any_of(cameras_.begin(), cameras_.end(),
                                   [&](const PipeWireCamera& c) { return c.id == id; });
  if (!present) return 0;
  const int token = nextToken_++;
  watchers_[token] = {id, std::move(gone)};
  return token;
}

bool PipeWireConnection::SetControl(std::uint32_t id, const PipeWireControl& control,
                                    double value) {
  pw_thread_loop_lock(loop_);
  const auto node = nodes_.find(id);
  const bool present = node != nodes_.end() && !failing_;
  if (present) {
    std::uint8_t storage[256];
    spa_pod_builder b = SPA_POD_BUILDER_INIT(storage, sizeof storage);
    spa_pod_frame f;
    spa_pod_builder_push_object(&b, &f, SPA_TYPE_OBJECT_Props, SPA_PARAM_Props);
    spa_pod_builder_prop(&b, control.id, 0);
    if (control.isFloat)
      spa_pod_builder_float(&b, static_cast<float>(value));
    else
      spa_pod_builder_int(&b, static_cast<std::int32_t>(value));
    const auto* props = static_cast<const spa_pod*>(spa_pod_builder_pop(&b, &f));
    pw_node_set_param(reinterpret_cast<pw_node*>(node->second->proxy), SPA_PARAM_Props, 0, props);
  }
  pw_thread_loop_unlock(loop_);
  return present;
}

void PipeWireConnection::Unwatch(int token) {
  std::lock_guard lock(mutex_);
  watchers_.erase(token);
}

// ---- connecting (loop thread, or with the loop locked)

void PipeWireConnection::TryConnect() {
  static const pw_core_events kCoreEvents = [] {
    pw_core_events e{};
    e.version = PW_VERSION_CORE_EVENTS;
    e.done = OnCoreDone;
    e.error = OnCoreError;
    return e;
  }();
  static const pw_registry_events kRegistryEvents = [] {
    pw_registry_events e{};
    e.version = PW_VERSION_REGISTRY_EVENTS;
    e.global = OnGlobal;
    e.global_remove = OnGlobalRemove;
    return e;
  }();
  pw_core* core = nullptr;
  if (portal_) {
    if (portalFd_ < 0) return AskPortal();
    core = pw_context_connect_fd(context_, portalFd_, nullptr, 0);  // takes the descriptor
    portalFd_ = -1;
    announceFirst_ = true;  // the cameras come after the first (empty) listing
  } else {
    core = pw_context_connect(context_, nullptr, 0);
  }
  if (!core) {
    const int error = errno;
    if (!lostLogged_)
      qCWarning(lcPipeWire,
                "PipeWire: no daemon answers at %s (%s); PipeWire cameras appear once it runs",
                RemoteName(portal_).c_str(), strerror(error));
    lostLogged_ = true;
    {
      std::lock_guard lock(mutex_);
      complete_ = true;  // nothing to wait for
    }
    changed_.notify_all();
    ArmTimer(pw_thread_loop_get_loop(loop_), timer_, kRetry, kRetry);
    return;
  }
  if (lostLogged_)
    qCInfo(lcPipeWire, "PipeWire: connected to the daemon at %s", RemoteName(portal_).c_str());
  lostLogged_ = false;
  failing_ = false;
  core_ = std::make_shared<PipeWireCore>();
  core_->core = core;
  *coreListener_ = {};
  pw_core_add_listener(core, coreListener_.get(), &kCoreEvents, this);
  registry_ = pw_core_get_registry(core, PW_VERSION_REGISTRY, 0);
  *registryListener_ = {};
  pw_registry_add_listener(registry_, registryListener_.get(), &kRegistryEvents, this);
  initialDone_ = false;
  initialSeq_ = pw_core_sync(core, PW_ID_CORE, 0);
  {
    std::lock_guard lock(mutex_);
    complete_ = false;
  }
  pw_loop_update_timer(pw_thread_loop_get_loop(loop_), timer_, nullptr, nullptr, false);
}

void PipeWireConnection::AskPortal() {
  {
    std::lock_guard lock(mutex_);
    complete_ = true;  // nothing is listed while the portal is asked
  }
  changed_.notify_all();
  pw_loop_update_timer(pw_thread_loop_get_loop(loop_), timer_, nullptr, nullptr, false);
  if (portalAsked_ || portalRefused_) return;
  portalAsked_ = true;
  {
    std::lock_guard lock(mutex_);
    portalPending_ = true;
  }
  if (!portalLink_) {
    portalLink_ = std::make_shared<PortalLink>();
    portalLink_->connection = this;
  }
  RequestCameraPortal(
      [link = portalLink_](CameraPortalAnswer answer, int fd, const std::string& why) {
        std::lock_guard lock(link->mutex);
        PipeWireConnection* self = link->connection;
        if (!self) {
          if (fd >= 0) close(fd);
          return;
        }
        pw_thread_loop_lock(self->loop_);
        self->OnPortalAnswer(answer, fd, why);
        pw_thread_loop_unlock(self->loop_);
      });
}

void PipeWireConnection::OnPortalAnswer(CameraPortalAnswer answer, int fd, const std::string& why) {
  portalAsked_ = false;
  // Once the connection has begun its listing or the player's message is posted, so no one
  // takes the cameras as known before.
  const auto answered = [this] {
    {
      std::lock_guard lock(mutex_);
      portalPending_ = false;
    }
    changed_.notify_all();
  };
  if (answer == CameraPortalAnswer::Granted) {
    if (portalFd_ >= 0) close(portalFd_);
    portalFd_ = fd;
    if (!core_) TryConnect();
    return answered();
  }
  portalRefused_ = true;
  if (answer == CameraPortalAnswer::Denied) {
    qCWarning(lcPipeWire,
              "PipeWire: the camera portal denied access to the camera; only the "
              "demo camera is listed");
    TellPlayer(QCoreApplication::translate(
        "PipeWireConnection",
        "Frostwipe may not use the camera: access to it was denied.\n\nAllow Frostwipe to use "
        "the camera in your desktop's settings (Privacy, Camera), then start Frostwipe again. "
        "Until then the demo camera plays."));
  } else {
    qCWarning(lcPipeWire,
              "PipeWire: no camera portal answers on the session bus (%s); only the "
              "demo camera is listed",
              why.c_str());
    TellPlayer(QCoreApplication::translate(
        "PipeWireConnection",
        "Frostwipe runs in a sandbox and can reach the camera only through the desktop's camera "
        "portal, which did not answer.\n\nInstall xdg-desktop-portal with the portal of your "
        "desktop, then start Frostwipe again. Until then the demo camera plays."));
  }
  answered();
}

void PipeWireConnection::Disconnect() {
  while (!nodes_.empty()) RemoveNode(nodes_.begin()->first);
  if (registry_) {
    spa_hook_remove(registryListener_.get());
    pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry_));
    registry_ = nullptr;
  }
  if (core_) {
    spa_hook_remove(coreListener_.get());
    core_.reset();  // disconnects now, or when the last stream on it goes
  }
  initialDone_ = false;
  {
    std::lock_guard lock(mutex_);
    complete_ = true;
  }
  changed_.notify_all();
}

void PipeWireConnection::OnTimer(void* data, std::uint64_t) {
  auto* self = static_cast<PipeWireConnection*>(data);
  if (self->failing_) self->Disconnect();
  if (!self->core_) self->TryConnect();
}

void PipeWireConnection::OnCoreError(void* data, std::uint32_t id, int, int res,
                                     const char* message) {
  auto* self = static_cast<PipeWireConnection*>(data);
  if (id != PW_ID_CORE || res != -EPIPE || self->failing_) return;
  qCWarning(lcPipeWire, "PipeWire: the daemon went away (%s); waiting for it to come back",
            message ? message : spa_strerror(res));
  self->failing_ = true;
  self->lostLogged_ = true;
  // The core cannot be torn down inside its own callback: the timer does it at once.
  ArmTimer(pw_thread_loop_get_loop(self->loop_), self->timer_, {0, 1000000}, kRetry);
}

// ---- nodes

void PipeWireConnection::OnGlobal(void* data, std::uint32_t id, std::uint32_t, const char* type,
                                  std::uint32_t, const spa_dict* props) {
  static const pw_node_events kNodeEvents = [] {
    pw_node_events e{};
    e.version = PW_VERSION_NODE_EVENTS;
    e.param = OnNodeParam;
    // The node's own properties (the global's are a few): a v4l2 node's device path.
    e.info = [](void* data, const pw_node_info* info) {
      auto* node = static_cast<Node*>(data);
      if (!node->ready && (info->change_mask & PW_NODE_CHANGE_MASK_PROPS))
        TakeV4l2Identity(info->props, &node->camera.description);
      if (info->change_mask & PW_NODE_CHANGE_MASK_PARAMS)
        for (std::uint32_t i = 0; i < info->n_params; ++i)
          if (info->params[i].id == SPA_PARAM_EnumFormat)
            node->owner->FormatsChanged(node, info->params[i].flags);
    };
    return e;
  }();
  auto* self = static_cast<PipeWireConnection*>(data);
  if (std::strcmp(type, PW_TYPE_INTERFACE_Node) != 0) return;
  if (Lookup(props, PW_KEY_MEDIA_CLASS) != "Video/Source") return;
  // Screen-share and other video sources are no cameras.
  const std::string api = Lookup(props, PW_KEY_DEVICE_API);
  if (Lookup(props, PW_KEY_MEDIA_ROLE) != "Camera" && api != "v4l2" && api != "libcamera") return;
  auto node = std::make_unique<Node>();
  node->owner = self;
  PipeWireCamera& c = node->camera;
  c.id = id;
  c.serial = std::strtoull(Lookup(props, PW_KEY_OBJECT_SERIAL).c_str(), nullptr, 10);
  c.nodeName = Lookup(props, PW_KEY_NODE_NAME);
  c.objectPath = Lookup(props, PW_KEY_OBJECT_PATH);
  std::string friendly = Lookup(props, PW_KEY_NODE_DESCRIPTION);
  if (friendly.empty()) friendly = Lookup(props, PW_KEY_NODE_NICK);
  if (friendly.empty()) friendly = c.nodeName;
  const std::string identity = c.nodeName.empty() ? c.objectPath : c.nodeName;
  DeviceDescription& d = c.description;
  d.category = CLSID_VideoInputDeviceCategory;
  d.friendlyName = U16(friendly);
  d.displayName = U16("@device:pipewire:" + identity);
  d.clsid = CLSID_Proxy;
  d.devicePath = U16("pipewire:" + (c.objectPath.empty() ? identity : c.objectPath));
  node->proxy = static_cast<pw_proxy*>(
      pw_registry_bind(self->registry_, id, PW_TYPE_INTERFACE_Node, PW_VERSION_NODE, 0));
  if (!node->proxy) return;
  pw_node_add_listener(reinterpret_cast<pw_node*>(node->proxy), &node->listener, &kNodeEvents,
                       node.get());
  // The descriptions come before the values, so the values find their controls.
  for (const std::uint32_t param : {SPA_PARAM_EnumFormat, SPA_PARAM_PropInfo, SPA_PARAM_Props})
    pw_node_enum_params(reinterpret_cast<pw_node*>(node->proxy), 0, param, 0, UINT32_MAX, nullptr);
  node->syncSeq = pw_core_sync(self->core_->core, PW_ID_CORE, 0);
  self->nodes_[id] = std::move(node);
}

void PipeWireConnection::FormatsChanged(Node* node, std::uint32_t flags) {
  const bool changed = node->formatFlagsSeen && flags != node->formatFlags;
  node->formatFlags = flags;
  node->formatFlagsSeen = true;
  if (!changed || !core_) return;
  // Enumerated afresh; the listing keeps the old formats until the new ones are all in.
  node->freshCaps.clear();
  node->freshSkipped.clear();
  node->formatRound = pw_node_enum_params(reinterpret_cast<pw_node*>(node->proxy), 0,
                                          SPA_PARAM_EnumFormat, 0, UINT32_MAX, nullptr);
  node->formatSync = pw_core_sync(core_->core, PW_ID_CORE, 0);
}

void PipeWireConnection::OnNodeParam(void* data, int seq, std::uint32_t id, std::uint32_t,
                                     std::uint32_t, const spa_pod* param) {
  auto* node = static_cast<Node*>(data);
  if (node->formatRound != 0 && seq == node->formatRound) {
    if (id == SPA_PARAM_EnumFormat) AddEnumFormat(param, &node->freshCaps, &node->freshSkipped);
    return;
  }
  if (node->ready) return;
  if (id == SPA_PARAM_EnumFormat) AddEnumFormat(param, &node->camera.caps, &node->camera.skipped);
  if (id == SPA_PARAM_PropInfo) AddPropInfo(param, &node->camera.controls);
  if (id == SPA_PARAM_Props) ReadProps(param, &node->camera.controls);
}

void PipeWireConnection::OnCoreDone(void* data, std::uint32_t id, int seq) {
  auto* self = static_cast<PipeWireConnection*>(data);
  if (id != PW_ID_CORE) return;
  for (auto& [nodeId, node] : self->nodes_) {
    if (node->formatSync == seq) {
      node->formatSync = -1;
      PipeWireCamera& c = node->camera;
      c.caps = std::move(node->freshCaps);
      c.skipped = std::move(node->freshSkipped);
      qCInfo(lcPipeWire, "%s: now offers %zu formats", c.nodeName.c_str(), c.caps.size());
      std::lock_guard lock(self->mutex_);
      for (PipeWireCamera& listed : self->cameras_)
        if (listed.id == c.id) {
          listed.caps = c.caps;
          listed.skipped = c.skipped;
        }
    }
    if (node->ready || node->syncSeq != seq) continue;
    node->ready = true;
    const PipeWireCamera& c = node->camera;
    if (c.caps.empty())
      qCWarning(lcPipeWire,
                "%s: offers no format Frostwipe can convert; listed, but it cannot "
                "show a picture",
                c.nodeName.c_str());
    {
      std::lock_guard lock(self->mutex_);
      self->cameras_.push_back(c);
    }
    if (self->initialDone_ || self->announceFirst_) {
      qCInfo(lcPipeWire, "%s: camera \"%s\" appeared", c.nodeName.c_str(),
             QString::fromStdU16String(c.description.friendlyName).toUtf8().constData());
      DeviceNotify::Broadcast({DeviceChangeKind::Arrival, CLSID_VideoInputDeviceCategory,
                               c.description.displayName, c.description.friendlyName});
    }
  }
  if (seq == self->initialSeq_) self->initialSeq_ = -2;  // the globals present are announced
  self->CheckComplete();
}

void PipeWireConnection::CheckComplete() {
  if (initialDone_ || initialSeq_ != -2) return;
  for (const auto& [id, node] : nodes_)
    if (!node->ready) return;
  initialDone_ = true;
  announceFirst_ = false;
  {
    std::lock_guard lock(mutex_);
    complete_ = true;
  }
  changed_.notify_all();
}

void PipeWireConnection::OnGlobalRemove(void* data, std::uint32_t id) {
  static_cast<PipeWireConnection*>(data)->RemoveNode(id);
}

void PipeWireConnection::RemoveNode(std::uint32_t id) {
  auto it = nodes_.find(id);
  if (it == nodes_.end()) return;
  std::unique_ptr<Node> node = std::move(it->second);
  nodes_.erase(it);
  spa_hook_remove(&node->listener);
  pw_proxy_destroy(node->proxy);
  std::vector<std::function<void()>> gone;
  {
    std::lock_guard lock(mutex_);
    std::erase_if(cameras_, [&](const PipeWireCamera& c) { return c.id == id; });
    for (auto w = watchers_.begin(); w != watchers_.end();)
      if (w->second.id == id) {
        gone.push_back(std::move(w->second.gone));
        w = watchers_.erase(w);
      } else {
        ++w;
      }
  }
  for (const auto& call : gone) call();
  const PipeWireCamera& c = node->camera;
  if (node->ready && initialDone_ && !closing_) {
    qCInfo(lcPipeWire, "%s: camera \"%s\" went away", c.nodeName.c_str(),
           QString::fromStdU16String(c.description.friendlyName).toUtf8().constData());
    DeviceNotify::Broadcast({DeviceChangeKind::Removal, CLSID_VideoInputDeviceCategory,
                             c.description.displayName, c.description.friendlyName});
  }
  CheckComplete();
}
