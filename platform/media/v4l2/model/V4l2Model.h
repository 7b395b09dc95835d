// Model cameras behind the V4L2 seam: drivers that follow the kernel's API contract, for tests
// and for running the program without a webcam (FROSTWIPE_V4L2_MODEL).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/media/v4l2/V4l2Io.h"

struct ModelFrameSize {
  int width = 0;
  int height = 0;
};

// One pixel format of a model camera: discrete sizes, or a stepwise range (continuous when both
// steps are 1); every size runs at the listed rates, the first being the default.
struct ModelFormat {
  std::uint32_t pixelformat = 0;
  std::string description;
  std::vector<ModelFrameSize> sizes;
  bool stepwise = false;
  ModelFrameSize minSize, maxSize, step;
  std::vector<int> framesPerSecond = {30};
  // Rates as a continuous range from the slowest to the fastest instead (both above 0).
  int minFramesPerSecond = 0, maxFramesPerSecond = 0;
};

// One control; a control with autoId is inactive while that control is not at its manual
// value (0 for a boolean, V4L2_EXPOSURE_MANUAL for the exposure menu).
struct ModelControl {
  std::uint32_t id = 0;
  std::uint32_t type = 0;  // V4L2_CTRL_TYPE_*
  std::string name;
  std::int32_t minimum = 0, maximum = 0, step = 1, defaultValue = 0;
  std::vector<std::int32_t> menu;  // valid menu indexes of a menu control
  std::uint32_t autoId = 0;
  std::int32_t manualValue = 0;  // of an automatic control: the value that means manual
};

// Frames the model delivers damaged, every nth one.
enum class ModelDamage { None, ErrorFlag, Truncated };

struct ModelCameraSpec {
  std::string driver = "uvcvideo";
  std::string card;
  std::string busInfo;
  std::string byPath;        // /dev/v4l/by-path name of the capture node
  bool metadataNode = true;  // a second node with metadata capture only, as UVC has
  unsigned strideAlign = 1;  // bytesperline is the row rounded up to this
  std::vector<ModelFormat> formats;
  std::vector<ModelControl> controls;
  // VIDIOC_ENUM_FRAMESIZES answers ENOTTY (older drivers).
  bool noSizeEnumeration = false;
  // MJPEG frames fill the whole buffer, zeros after the picture (as some cameras send them).
  bool padMjpeg = false;
  // A size the driver lists but S_FMT turns into another (a driver quirk).
  ModelFrameSize quirkFrom, quirkTo;
};

// A USB camera: YUYV at 640x480 and below, MJPEG up to 1280x720, at 30 and 15 fps, with image
// controls and automatic white balance and exposure.
ModelCameraSpec UsbCameraSpec();
// A laptop camera: NV12 in a stepwise range with padded rows, focus, zoom, pan and tilt.
ModelCameraSpec LaptopCameraSpec();

// The model kernel: nodes, open files, buffers, streaming on a schedule of the frame interval.
// Frames are drawn from the demo scene when they are due (MJPEG encoded with libjpeg-turbo);
// a frame due while no buffer is queued is lost, which the sequence numbers show.
// Thread: any; mutex_ guards everything, and Poll sleeps without it.
class V4l2Model final : public V4l2Io {
 public:
  V4l2Model();
  ~V4l2Model() override;

  // Plugs a camera in: its capture node (the lowest free number) and, after it, its metadata
  // node; reports both to a watcher. Returns the capture node.
  std::string Plug(const ModelCameraSpec& spec);
  // Unplugs the camera of a capture node: open files get ENODEV and POLLERR, the nodes go.
  void Unplug(const std::string& node);
  // Another program streams from the camera: S_FMT, REQBUFS and STREAMON answer EBUSY.
  void SetBusy(const std::string& node, bool busy);
  // The node's permissions keep this user out: open answers EACCES.
  void SetDenied(const std::string& node, bool denied);
  void SetDamage(const std::string& node, ModelDamage damage, int everyNth);
  // The camera streams but sends no frames (a sensor that hangs).
  void SetStalled(const std::string& node, bool stalled);
  // Files open on the model, and buffers mapped.
  int OpenFiles() const;
  int MappedBuffers() const;
  std::int32_t ControlValue(const std::string& node, std::uint32_t id) const;

  std::vector<std::string> ListNodes() override;
  std::string StablePath(const std::string& node) override;
  int Open(const std::string& node) override;
  int Close(int fd) override;
  int Ioctl(int fd, unsigned long request, void* arg) override;
  void* Mmap(int fd, std::size_t length, off_t offset, int* error) override;
  int Munmap(void* address, std::size_t length) override;
  int Poll(int fd, int wakeFd, int timeoutMs, bool* woken) override;
  bool WatchNodes(std::function<void(const V4l2NodeEvent&)> handler) override;
  void StopWatching() override;

  struct Camera;

 private:
  struct File {
    std::shared_ptr<Camera> camera;
    bool metadata = false;
  };
  // mutex_ held.
  File* FindFile(int fd);
  int CameraIoctl(int fd, Camera& camera, unsigned long request, void* arg);
  void Notify(V4l2NodeEvent::Action action, const std::string& node);

  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<Camera>> cameras_;
  std::map<int, File> files_;
  int nextFd_ = 1000;
  std::mutex watchMutex_;  // guards watcher_; taken without mutex_ held
  std::function<void(const V4l2NodeEvent&)> watcher_;
};

// "usb", "laptop" or both comma-separated: a model with those cameras plugged in.
std::shared_ptr<V4l2Io> MakeV4l2Model(const std::string& description);
