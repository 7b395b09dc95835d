// Hot-plug of video nodes through a libudev monitor on the "video4linux" subsystem.
#pragma once

#include <functional>
#include <memory>
#include <thread>

#include "platform/media/v4l2/V4l2Io.h"

struct udev;
struct udev_monitor;

// Owns the monitor thread "v4l2-udev": it waits in poll on the netlink socket and a wake
// eventfd, and calls the handler for every "add" and "remove" of a node. The destructor
// requests the stop, wakes the thread and joins it.
// Thread: created and destroyed on any one thread; the handler runs on the monitor thread.
class UdevMonitor {
 public:
  // nullptr (with a log line) when udev cannot be reached.
  static std::unique_ptr<UdevMonitor> Start(std::function<void(const V4l2NodeEvent&)> handler);
  ~UdevMonitor();

 private:
  UdevMonitor() = default;
  void Run();

  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  std::function<void(const V4l2NodeEvent&)> handler_;
  WakeEvent wake_;
  std::atomic<bool> stopRequested_{false};
  std::thread thread_;
};
