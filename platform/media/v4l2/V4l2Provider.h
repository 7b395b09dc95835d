// The V4L2 device provider: real cameras in the video input category, with hot-plug.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/media/DeviceEnumerator.h"
#include "platform/media/v4l2/V4l2Io.h"

// A video capture node as the provider found it.
struct V4l2Camera {
  std::string node;        // "/dev/video0"
  std::string stablePath;  // its /dev/v4l/by-path (or by-id) link; empty if none
  std::string stableName;  // the link's own name
  std::string card, driver, busInfo;
  bool multiplanar = false;
  bool denied = false;  // the node could not be opened for want of permission
  DeviceDescription description;
};

// Lists every /dev/video* node with single-planar video capture and streaming, skipping
// metadata and output nodes. The friendly name is the driver's card name; the display name
// "@device:v4l2:<by-path link name>" (by-id when there is no by-path link, the bus info with
// the card when there is neither) stays the same when the camera is replugged into the same
// port. "DevicePath" is that link, or the node. Filters are made for the node that has the display
// name now. With a user-interface thread, the first listing starts watching nodes; a camera added
// or removed is broadcast through DeviceNotify (the broadcast reaches listeners on that thread).
// Thread: any; mutex_ guards io_, known_ and watching_, and is not held during io calls that
// may block.
class V4l2Provider final : public DeviceProvider {
 public:
  // io nullptr: DefaultV4l2Io() at first use.
  explicit V4l2Provider(std::shared_ptr<V4l2Io> io = nullptr);
  ~V4l2Provider() override;

  std::vector<DeviceDescription> ListDevices(REFGUID category) override;
  HRESULT CreateFilter(REFGUID category, const std::u16string& displayName,
                       IBaseFilter** filter) override;

  // The cameras present now.
  std::vector<V4l2Camera> Scan();
  // Video nodes the last Scan could not open for want of permission.
  int DevicesWithoutPermission() const override { return denied_.load(); }
  // A node event as the watcher reports it: broadcasts the camera's arrival or removal.
  void HandleNodeEvent(const V4l2NodeEvent& event);
  std::shared_ptr<V4l2Io> Io();

 private:
  // Opens the node and describes it; false for a node that is no video capture camera.
  bool Describe(V4l2Io& io, const std::string& node, V4l2Camera* camera);
  void StartWatching(const std::shared_ptr<V4l2Io>& io);

  std::mutex mutex_;
  std::shared_ptr<V4l2Io> io_;
  bool ioChosen_ = false;
  std::vector<V4l2Camera> known_;  // as last listed or announced, for removal names
  bool watching_ = false;
  std::atomic<int> denied_{0};
};

// Registers a V4l2Provider under "v4l2".
void RegisterV4l2Provider(DeviceProviderRegistry& registry);
