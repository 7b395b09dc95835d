// The connection to the PipeWire daemon: its thread loop, the camera nodes it announces, and
// reconnection when the daemon goes away and comes back.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/media/DeviceEnumerator.h"
#include "platform/media/v4l2/V4l2Formats.h"

struct pw_thread_loop;
struct pw_core;
struct pw_context;
enum class CameraPortalAnswer;

// A property of a camera node (SPA_PARAM_PropInfo) with its value when listed (SPA_PARAM_Props).
struct PipeWireControl {
  std::uint32_t id = 0;  // SPA_PROP_*
  std::string name;
  bool isFloat = false;
  double min = 0, max = 0, step = 1, defaultValue = 0, value = 0;
};

// One camera node as the daemon announced it, with its formats and properties.
struct PipeWireCamera {
  std::uint32_t id = 0;      // changes at every start of the node
  std::uint64_t serial = 0;  // the stream's target
  std::string nodeName;      // node.name: stable for the same camera in the same port
  std::string objectPath;    // object.path, empty if none
  std::vector<V4l2Capability> caps;
  std::vector<std::string> skipped;  // formats offered that cannot be converted
  std::vector<PipeWireControl> controls;
  DeviceDescription description;
};

// A core the streams are made on. It outlives the connection's own use of it while a stream
// still holds it, and is disconnected by whoever drops the last reference, on the loop thread
// or with the loop locked.
struct PipeWireCore {
  pw_core* core = nullptr;
  ~PipeWireCore();
};

// Connects to the daemon named by PIPEWIRE_REMOTE, else "pipewire-0" under XDG_RUNTIME_DIR,
// lists every node of media class "Video/Source" that is a camera (role "Camera", or made by a
// camera monitor: api.v4l2 / api.libcamera), and keeps the list current. A node made for a
// /dev/video* camera ("api.v4l2.path") is listed under the V4L2 provider's identity of that
// camera, so the device enumerator lists it once (see SystemDeviceEnum). Without a daemon it
// lists nothing, logs one line, and tries again every second until one answers; a daemon that
// goes away removes its cameras and is waited for the same way. Cameras added or removed after
// the first complete listing are broadcast through DeviceNotify. A node that changes the formats
// it offers is listed with the new ones once they are all enumerated.
// Thread: any for the public calls; the PipeWire callbacks run on the loop's own thread
// ("pw-frostwipe"). mutex_ guards cameras_, watchers_ and the state flags; it is never held while
// the loop lock is taken.
class PipeWireConnection {
 public:
  PipeWireConnection();
  ~PipeWireConnection();
  PipeWireConnection(const PipeWireConnection&) = delete;
  PipeWireConnection& operator=(const PipeWireConnection&) = delete;

  // The cameras present now. Waits (at most two seconds) for the first complete listing of
  // a connection in progress.
  std::vector<PipeWireCamera> Cameras();
  bool Connected();
  // True once the cameras are known: no portal answer is awaited and the listing of the
  // connection (if any) is complete. The portal answers through the application's event loop.
  bool Settled();

  pw_thread_loop* Loop() const { return loop_; }
  // With the loop locked: the current core, nullptr while there is no daemon.
  std::shared_ptr<PipeWireCore> Core();

  // Sets property prop of node id (SPA_PARAM_Props); false if the node is not present.
  bool SetControl(std::uint32_t id, const PipeWireControl& control, double value);

  // gone runs on the loop thread once when node id is removed or the daemon goes away.
  // Returns a token for Unwatch; 0 (and no call) if the node is not present now.
  int Watch(std::uint32_t id, std::function<void()> gone);
  void Unwatch(int token);

 private:
  struct Node;
  struct PortalLink;
  static void OnTimer(void* data, std::uint64_t expirations);
  static void OnGlobal(void* data, std::uint32_t id, std::uint32_t permissions, const char* type,
                       std::uint32_t version, const struct spa_dict* props);
  static void OnGlobalRemove(void* data, std::uint32_t id);
  static void OnCoreDone(void* data, std::uint32_t id, int seq);
  static void OnCoreError(void* data, std::uint32_t id, int seq, int res, const char* message);
  static void OnNodeParam(void* data, int seq, std::uint32_t id, std::uint32_t index,
                          std::uint32_t next, const struct spa_pod* param);

  // Loop thread.
  void TryConnect();
  void Disconnect();
  void RemoveNode(std::uint32_t id);
  // The node's EnumFormat parameter info, with flags; enumerates its formats again on a change.
  void FormatsChanged(Node* node, std::uint32_t flags);
  void CheckComplete();
  void AskPortal();
  void OnPortalAnswer(CameraPortalAnswer answer, int fd, const std::string& why);

  pw_thread_loop* loop_ = nullptr;
  pw_context* context_ = nullptr;
  struct spa_source* timer_ = nullptr;

  // Loop thread only.
  std::shared_ptr<PipeWireCore> core_;
  struct pw_registry* registry_ = nullptr;
  std::unique_ptr<struct spa_hook> coreListener_, registryListener_;
  std::map<std::uint32_t, std::unique_ptr<Node>> nodes_;
  int initialSeq_ = -1;
  bool initialDone_ = false;
  bool lostLogged_ = false;
  bool failing_ = false;        // the core reported a broken connection
  bool closing_ = false;        // the connection is being destroyed
  const bool portal_;           // connects through the camera portal
  bool portalAsked_ = false;    // a portal request is under way
  bool portalRefused_ = false;  // the portal denied access or did not answer
  bool announceFirst_ = false;  // the first listing's cameras are broadcast as arrivals
  int portalFd_ = -1;           // the remote the portal handed out, not yet connected
  std::shared_ptr<PortalLink> portalLink_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<PipeWireCamera> cameras_;
  bool complete_ = false;       // the current connection's first listing is complete
  bool attempted_ = false;      // a first connection attempt has been made
  bool portalPending_ = false;  // a portal answer is awaited
  struct Watcher {
    std::uint32_t id;
    std::function<void()> gone;
  };
  std::map<int, Watcher> watchers_;
  int nextToken_ = 1;
};
