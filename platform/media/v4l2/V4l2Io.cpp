#include "platform/media/v4l2/V4l2Io.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include "platform/media/v4l2/V4l2Log.h"
#include "platform/media/v4l2/V4l2Udev.h"

namespace {

// The node number of "/dev/videoN", or -1.
int NodeNumber(const std::string& name) {
  if (!name.starts_with("video")) return -1;
  const std::string digits = name.substr(5);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::atoi(digits.c_str());
}

// The first link in dir that resolves to node, as a full path.
std::string LinkTo(const char* dir, const std::string& node) {
  std::error_code ec;
  const std::filesystem::path target = std::filesystem::canonical(node, ec);
  if (ec) return {};
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    std::error_code linkError;
    if (std::filesystem::canonical(entry.path(), linkError) == target && !linkError)
      return entry.path().string();
  }
  return {};
}

class SystemV4l2Io final : public V4l2Io {
 public:
  ~SystemV4l2Io() override { StopWatching(); }

  std::vector<std::string> ListNodes() override {
    std::vector<std::pair<int, std::string>> found;
    if (DIR* dir = opendir("/dev")) {
      while (dirent* entry = readdir(dir)) {
        const int number = NodeNumber(entry->d_name);
        if (number >= 0) found.emplace_back(number, std::string("/dev/") + entry->d_name);
      }
      closedir(dir);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> nodes;
    for (auto& [number, node] : found) nodes.push_back(std::move(node));
    return nodes;
  }

  std::string StablePath(const std::string& node) override {
    std::string path = LinkTo("/dev/v4l/by-path", node);
    if (path.empty()) path = LinkTo("/dev/v4l/by-id", node);
    return path;
  }

  int Open(const std::string& node) override {
    const int fd = ::open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    return fd >= 0 ? fd : -errno;
  }

  int Close(int fd) override { return ::close(fd) == 0 ? 0 : -errno; }

  int Ioctl(int fd, unsigned long request, void* arg) override {
    int r;
    do {
      r = ::ioctl(fd, request, arg);
    } while (r == -1 && errno == EINTR);
    return r == -1 ? -errno : r;
  }

  void* Mmap(int fd, std::size_t length, off_t offset, int* error) override {
    void* address = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, offset);
    if (address == MAP_FAILED) {
      *error = errno;
      return nullptr;
    }
    return address;
  }

  int Munmap(void* address, std::size_t length) override {
    return ::munmap(address, length) == 0 ? 0 : -errno;
  }

  int Poll(int fd, int wakeFd, int timeoutMs, bool* woken) override {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const int r = ::poll(fds, wakeFd >= 0 ? 2 : 1, timeoutMs);
    if (r < 0) return errno == EINTR ? 0 : -errno;
    *woken = wakeFd >= 0 && (fds[1].revents & POLLIN);
    return fds[0].revents;
  }

  bool WatchNodes(std::function<void(const V4l2NodeEvent&)> handler) override {
    std::lock_guard lock(mutex_);
    if (monitor_) return true;
    monitor_ = UdevMonitor::Start(std::move(handler));
    return monitor_ != nullptr;
  }

  void StopWatching() override {
    std::unique_ptr<UdevMonitor> monitor;
    {
      std::lock_guard lock(mutex_);
      monitor = std::move(monitor_);
    }
  }

 private:
  std::mutex mutex_;  // guards monitor_
  std::unique_ptr<UdevMonitor> monitor_;
};

std::atomic<V4l2ModelFactory> gModelFactory{nullptr};

}  // namespace

std::shared_ptr<V4l2Io> MakeSystemV4l2Io() {
  return std::make_shared<SystemV4l2Io>();
}

void RegisterV4l2ModelFactory(V4l2ModelFactory factory) {
  gModelFactory.store(factory);
}

std::shared_ptr<V4l2Io> DefaultV4l2Io() {
  static const std::shared_ptr<V4l2Io> io = []() -> std::shared_ptr<V4l2Io> {
    const char* model = std::getenv("FROSTWIPE_V4L2_MODEL");
    if (!model) return MakeSystemV4l2Io();
    const V4l2ModelFactory factory = gModelFactory.load();
    if (!factory) {
      qCWarning(lcV4l2, "FROSTWIPE_V4L2_MODEL is set but this program has no model cameras");
      return nullptr;
    }
    std::shared_ptr<V4l2Io> io = factory(model);
    if (!io) qCWarning(lcV4l2, "FROSTWIPE_V4L2_MODEL=\"%s\": no such model cameras", model);
    return io;
  }();
  return io;
}

WakeEvent::WakeEvent() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeEvent::~WakeEvent() {
  if (fd_ >= 0) ::close(fd_);
}

void WakeEvent::Signal() {
  const std::uint64_t one = 1;
  if (fd_ >= 0) [[maybe_unused]]
    ssize_t n = ::write(fd_, &one, sizeof one);
}

void WakeEvent::Drain() {
  std::uint64_t count = 0;
  if (fd_ >= 0) [[maybe_unused]]
    ssize_t n = ::read(fd_, &count, sizeof count);
}
