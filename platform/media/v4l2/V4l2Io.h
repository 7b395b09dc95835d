// Kernel seam of the V4L2 back-end: the few system calls it makes, swappable for a model camera.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

// A video node that appeared or went away (udev "add" / "remove", or a model camera plugged).
struct V4l2NodeEvent {
  enum class Action { None, Added, Removed };
  Action action = Action::None;
  std::string node;  // "/dev/video0"
};

// Every call returns a negative errno on failure and never logs: the caller logs with the node
// and the operation. Thread: any; implementations guard their own state.
class V4l2Io {
 public:
  virtual ~V4l2Io() = default;
  // The /dev/video* nodes present now, in node-number order.
  virtual std::vector<std::string> ListNodes() = 0;
  // The node's identity that survives replugging into the same port: its /dev/v4l/by-path
  // link (else its /dev/v4l/by-id link), as a full path; empty when it has none.
  virtual std::string StablePath(const std::string& node) = 0;
  // Opens read-write, non-blocking, close-on-exec: a file descriptor or -errno.
  virtual int Open(const std::string& node) = 0;
  virtual int Close(int fd) = 0;
  virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;
  // A shared mapping of a driver buffer; nullptr with *error = errno on failure.
  virtual void* Mmap(int fd, std::size_t length, off_t offset, int* error) = 0;
  virtual int Munmap(void* address, std::size_t length) = 0;
  // Waits for fd (a buffer to dequeue, or an error) or wakeFd (an eventfd), at most timeoutMs.
  // Returns fd's poll events (0 when it timed out or was woken), *woken when wakeFd fired.
  virtual int Poll(int fd, int wakeFd, int timeoutMs, bool* woken) = 0;
  // Reports nodes coming and going to handler, from a thread of the implementation's own,
  // until StopWatching. False when nodes cannot be watched (no udev).
  virtual bool WatchNodes(std::function<void(const V4l2NodeEvent&)> handler) = 0;
  virtual void StopWatching() = 0;
};

// The real kernel, with a libudev monitor on "video4linux" for WatchNodes.
std::shared_ptr<V4l2Io> MakeSystemV4l2Io();

// A model camera set made from a description such as "usb,laptop"; nullptr for a bad one.
using V4l2ModelFactory = std::shared_ptr<V4l2Io> (*)(const std::string& description);
// Programs and tests that link the model register it; only FROSTWIPE_V4L2_MODEL selects it.
void RegisterV4l2ModelFactory(V4l2ModelFactory factory);

// The seam the V4L2 provider uses: the model cameras FROSTWIPE_V4L2_MODEL describes when it is
// set (a warning and no cameras if no model is linked or the description is bad), else the
// system. Made once per process.
std::shared_ptr<V4l2Io> DefaultV4l2Io();

// The eventfd that wakes a streaming thread out of Poll: it stays readable from Signal until
// Drain. Thread: Signal from any thread; Drain while no thread waits on it.
class WakeEvent {
 public:
  WakeEvent();
  ~WakeEvent();
  WakeEvent(const WakeEvent&) = delete;
  WakeEvent& operator=(const WakeEvent&) = delete;
  int Fd() const { return fd_; }
  void Signal();
  void Drain();

 private:
  int fd_;
};
