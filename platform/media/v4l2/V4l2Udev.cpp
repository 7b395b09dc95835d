#include "platform/media/v4l2/V4l2Udev.h"

#include <cstring>
#include <libudev.h>
#include <poll.h>
#include <pthread.h>

#include "platform/media/v4l2/V4l2Log.h"

std::unique_ptr<UdevMonitor> UdevMonitor::Start(std::function<void(const V4l2NodeEvent&)> handler) {
  std::unique_ptr<UdevMonitor> self(new UdevMonitor);
  self->handler_ = std::move(handler);
  self->udev_ = udev_new();
  if (self->udev_) self->monitor_ = udev_monitor_new_from_netlink(self->udev_, "udev");
  if (!self->monitor_ ||
      udev_monitor_filter_add_match_subsystem_devtype(self->monitor_, "video4linux", nullptr) < 0 ||
      udev_monitor_enable_receiving(self->monitor_) < 0 || self->wake_.Fd() < 0) {
    qCInfo(lcV4l2, "udev monitor unavailable: cameras plugged in later are not noticed");
    return nullptr;
  }
  self->thread_ = std::thread([raw = self.get()] { raw->Run(); });
  return self;
}

UdevMonitor::~UdevMonitor() {
  stopRequested_.store(true, std::memory_order_release);
  wake_.Signal();
  if (thread_.joinable()) thread_.join();
  if (monitor_) udev_monitor_unref(monitor_);
  if (udev_) udev_unref(udev_);
}

void UdevMonitor::Run() {
  pthread_setname_np(pthread_self(), "v4l2-udev");
  const int netlink = udev_monitor_get_fd(monitor_);
  while (!stopRequested_.load(std::memory_order_acquire)) {
    pollfd fds[2] = {{netlink, POLLIN, 0}, {wake_.Fd(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents & POLLIN) break;
    if (!(fds[0].revents & POLLIN)) continue;
    udev_device* device = udev_monitor_receive_device(monitor_);
    if (!device) continue;
    const char* action = udev_device_get_action(device);
    const char* node = udev_device_get_devnode(device);
    V4l2NodeEvent event;
    if (action && std::strcmp(action, "add") == 0) event.action = V4l2NodeEvent::Action::Added;
    if (action && std::strcmp(action, "remove") == 0) event.action = V4l2NodeEvent::Action::Removed;
    if (node && event.action != V4l2NodeEvent::Action::None) {
      event.node = node;
      handler_(event);
    }
    udev_device_unref(device);
  }
}
