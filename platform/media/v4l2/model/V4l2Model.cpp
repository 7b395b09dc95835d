#include "platform/media/v4l2/model/V4l2Model.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <linux/videodev2.h>
#include <poll.h>
#include <sstream>

#include "platform/media/Guids.h"
#include "platform/media/virtual/FrameGenerator.h"
#include "platform/media/virtual/FramePacker.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr std::uint32_t kMaxBuffers = 8;
constexpr off_t kOffsetStep = 1 << 20;  // the mmap cookie of buffer i is i * kOffsetStep

void CopyText(std::uint8_t* target, std::size_t size, const std::string& text) {
  std::memset(target, 0, size);
  std::memcpy(target, text.data(), std::min(size - 1, text.size()));
}

GUID SubtypeOf(std::uint32_t pixelformat) {
  switch (pixelformat) {
    case V4L2_PIX_FMT_YUYV:
      return MEDIASUBTYPE_YUY2;
    case V4L2_PIX_FMT_NV12:
      return MEDIASUBTYPE_NV12;
    case V4L2_PIX_FMT_MJPEG:
      return MEDIASUBTYPE_MJPG;
    case V4L2_PIX_FMT_BGR24:
    case V4L2_PIX_FMT_RGB24:
      return MEDIASUBTYPE_RGB24;  // packed as a bitmap, then turned into the driver's rows
    default:
      return GUID_NULL;
  }
}

ModelControl Control(std::uint32_t id, const char* name, std::int32_t min, std::int32_t max,
                     std::int32_t step, std::int32_t def,
                     std::uint32_t type = V4L2_CTRL_TYPE_INTEGER) {
  ModelControl c;
  c.id = id;
  c.type = type;
  c.name = name;
  c.minimum = min;
  c.maximum = max;
  c.step = step;
  c.defaultValue = def;
  return c;
}

}  // namespace

struct V4l2Model::Camera {
  ModelCameraSpec spec;
  std::string node, metadataNode;
  bool present = true;
  bool busy = false;
  bool denied = false;
  ModelDamage damage = ModelDamage::None;
  int damageEvery = 0;
  bool stalled = false;

  v4l2_pix_format format{};
  v4l2_fract interval{1, 30};
  std::map<std::uint32_t, std::int32_t> values;

  struct Buffer {
    std::vector<std::uint8_t> memory;
    enum class State { User, Queued, Done } state = State::User;
    int mapped = 0;
    std::uint32_t bytesUsed = 0, flags = 0, sequence = 0;
    timeval timestamp{};
  };
  int owner = -1;  // the file that allocated the buffers
  std::vector<Buffer> buffers;
  std::vector<std::vector<Buffer>> released;  // freed by their owner while still mapped
  std::deque<int> queued, done;
  bool streaming = false;
  std::uint32_t sequence = 0;
  Clock::time_point nextDue;
  std::unique_ptr<FrameGenerator> generator;
  std::vector<std::uint32_t> pixels;
  std::vector<std::uint8_t> packed;

  const ModelFormat* Format(std::uint32_t pixelformat) const {
    for (const ModelFormat& f : spec.formats)
      if (f.pixelformat == pixelformat) return &f;
    return nullptr;
  }
  const ModelControl* Control(std::uint32_t id) const {
    for (const ModelControl& c : spec.controls)
      if (c.id == id) return &c;
    return nullptr;
  }
  bool Inactive(const ModelControl& c) const {
    if (!c.autoId) return false;
    const ModelControl* automatic = Control(c.autoId);
    return automatic && values.at(c.autoId) != automatic->manualValue;
  }

  bool SizeListed(const ModelFormat& f, int w, int h) const {
    if (f.stepwise)
      return w >= f.minSize.width && w <= f.maxSize.width && h >= f.minSize.height &&
             h <= f.maxSize.height && (w - f.minSize.width) % f.step.width == 0 &&
             (h - f.minSize.height) % f.step.height == 0;
    return std::any_of(f.sizes.begin(), f.sizes.end(),
                       [&](const ModelFrameSize& s) { return s.width == w && s.height == h; });
  }

  // What S_FMT and TRY_FMT make of a request: a known format, the nearest size, the layout.
  v4l2_pix_format Adjust(const v4l2_pix_format& asked) const {
    const ModelFormat* f = Format(asked.pixelformat);
    if (!f) f = &spec.formats.front();
    int w = static_cast<int>(asked.width), h = static_cast<int>(asked.height);
    if (f->stepwise) {
      w = std::clamp(w, f->minSize.width, f->maxSize.width);
      h = std::clamp(h, f->minSize.height, f->maxSize.height);
      w -= (w - f->minSize.width) % f->step.width;
      h -= (h - f->minSize.height) % f->step.height;
    } else {
      const long askedW = w, askedH = h;
      long best = -1;
      for (const ModelFrameSize& s : f->sizes) {
        const long d = std::labs(static_cast<long>(s.width) * s.height - askedW * askedH) +
                       std::labs(s.width - askedW);
        if (best < 0 || d < best) {
          best = d;
          w = s.width, h = s.height;
        }
      }
    }
    if (w == spec.quirkFrom.width && h == spec.quirkFrom.height)
      w = spec.quirkTo.width, h = spec.quirkTo.height;
    v4l2_pix_format out{};
    out.pixelformat = f->pixelformat;
    out.width = static_cast<std::uint32_t>(w);
    out.height = static_cast<std::uint32_t>(h);
    out.field = V4L2_FIELD_NONE;
    out.colorspace =
        f->pixelformat == V4L2_PIX_FMT_MJPEG ? V4L2_COLORSPACE_JPEG : V4L2_COLORSPACE_SRGB;
    const unsigned align = std::max(1u, spec.strideAlign);
    if (f->pixelformat == V4L2_PIX_FMT_YUYV) {
      out.bytesperline = (2 * out.width + align - 1) / align * align;
      out.sizeimage = out.bytesperline * out.height;
    } else if (f->pixelformat == V4L2_PIX_FMT_NV12) {
      out.bytesperline = (out.width + align - 1) / align * align;
      out.sizeimage = out.bytesperline * out.height * 3 / 2;
    } else if (f->pixelformat == V4L2_PIX_FMT_BGR24 || f->pixelformat == V4L2_PIX_FMT_RGB24) {
      out.bytesperline = (3 * out.width + align - 1) / align * align;
      out.sizeimage = out.bytesperline * out.height;
    } else {
      out.bytesperline = 0;
      out.sizeimage = out.width * out.height * 2;  // room for any JPEG of the picture
    }
    return out;
  }

  std::vector<int> Rates() const {
    const ModelFormat* f = Format(format.pixelformat);
    return f ? f->framesPerSecond : std::vector<int>{30};
  }

  Clock::duration IntervalDuration() const {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
        static_cast<double>(interval.numerator) / std::max(1u, interval.denominator)));
  }

  // Draws frame `sequence` into buffer b as the format lays it out.
  void Capture(Buffer& b) {
    const int w = static_cast<int>(format.width), h = static_cast<int>(format.height);
    if (!generator) generator = MakeFrameGenerator("demo");
    pixels.resize(static_cast<std::size_t>(w) * h);
    generator->Render(sequence, w, h, pixels.data());
    PictureAdjust adjust;
    // Brightness moves the picture from the control's default, over its whole range.
    if (const ModelControl* b = Control(V4L2_CID_BRIGHTNESS); b && b->maximum > b->minimum)
      adjust.brightness = std::clamp<long>(
          200L * (values[V4L2_CID_BRIGHTNESS] - b->defaultValue) / (b->maximum - b->minimum), -100,
          100);
    packed.resize(static_cast<std::size_t>(w) * h * 3 + 4096);
    const long bytes = PackFrame(pixels.data(), w, h, SubtypeOf(format.pixelformat), adjust,
                                 packed.data(), static_cast<long>(packed.size()));
    std::uint32_t used = 0;
    if (format.pixelformat == V4L2_PIX_FMT_MJPEG) {
      used = static_cast<std::uint32_t>(std::min<long>(bytes, static_cast<long>(b.memory.size())));
      std::memcpy(b.memory.data(), packed.data(), used);
      if (spec.padMjpeg) {
        std::fill(b.memory.begin() + used, b.memory.end(), 0);
        used = static_cast<std::uint32_t>(b.memory.size());
      }
    } else if (SubtypeOf(format.pixelformat) == MEDIASUBTYPE_RGB24) {
      // The bitmap's bottom-up rows into top-down ones, red first for RGB24.
      const std::size_t dibRow = (3u * w + 3) / 4 * 4;
      for (int r = 0; r < h; ++r) {
        std::uint8_t* dst = b.memory.data() + static_cast<std::size_t>(r) * format.bytesperline;
        std::memcpy(dst, packed.data() + (h - 1 - r) * dibRow, 3u * w);
        if (format.pixelformat == V4L2_PIX_FMT_RGB24)
          for (int x = 0; x < w; ++x) std::swap(dst[3 * x], dst[3 * x + 2]);
      }
      used = format.sizeimage;
    } else {
      // Packed rows into the driver's padded ones: NV12 has h luma rows then h/2 chroma rows.
      const std::size_t row =
          format.pixelformat == V4L2_PIX_FMT_YUYV ? 2u * w : static_cast<std::size_t>(w);
      const int rows = format.pixelformat == V4L2_PIX_FMT_NV12 ? h + h / 2 : h;
      for (int r = 0; r < rows; ++r)
        std::memcpy(b.memory.data() + static_cast<std::size_t>(r) * format.bytesperline,
                    packed.data() + r * row, row);
      used = format.sizeimage;
    }
    b.flags = V4L2_BUF_FLAG_MAPPED | V4L2_BUF_FLAG_DONE | V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC |
              V4L2_BUF_FLAG_TSTAMP_SRC_SOE;
    if (damageEvery > 0 && (sequence + 1) % static_cast<unsigned>(damageEvery) == 0) {
      if (damage == ModelDamage::ErrorFlag) b.flags |= V4L2_BUF_FLAG_ERROR;
      if (damage == ModelDamage::Truncated) used /= 2;
    }
    b.bytesUsed = used;
    b.sequence = sequence;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    b.timestamp = {now.tv_sec, now.tv_nsec / 1000};
  }

  // Captures every frame that has become due into queued buffers; a due frame without a
  // queued buffer is lost.
  void Advance() {
    if (!streaming || !present) return;
    const Clock::time_point now = Clock::now();
    const Clock::duration interval = IntervalDuration();
    if (stalled) {
      nextDue = now + interval;
      return;
    }
    while (nextDue <= now) {
      if (queued.empty()) {
        // Every frame due until now is lost: nowhere to put it.
        const auto missed = (now - nextDue) / interval + 1;
        sequence += static_cast<std::uint32_t>(missed);
        nextDue += interval * missed;
        break;
      }
      const int index = queued.front();
      queued.pop_front();
      Capture(buffers[static_cast<std::size_t>(index)]);
      buffers[static_cast<std::size_t>(index)].state = Buffer::State::Done;
      done.push_back(index);
      ++sequence;
      nextDue += interval;
    }
  }

  void StopStreaming() {
    streaming = false;
    queued.clear();
    done.clear();
    for (Buffer& b : buffers) b.state = Buffer::State::User;
  }

  void FreeBuffers() {
    StopStreaming();
    if (std::any_of(buffers.begin(), buffers.end(), [](const Buffer& b) { return b.mapped > 0; }))
      released.push_back(std::move(buffers));
    buffers.clear();
    owner = -1;
  }
};

// ---- camera descriptions

ModelCameraSpec UsbCameraSpec() {
  ModelCameraSpec s;
  s.card = "USB Camera";
  s.busInfo = "usb-0000:00:14.0-1";
  s.byPath = "pci-0000:00:14.0-usb-0:1:1.0-video-index0";
  ModelFormat yuyv;
  yuyv.pixelformat = V4L2_PIX_FMT_YUYV;
  yuyv.description = "YUYV 4:2:2";
  yuyv.sizes = {{640, 480}, {352, 288}, {320, 240}, {176, 144}, {160, 120}};
  yuyv.framesPerSecond = {30, 15};
  ModelFormat mjpeg;
  mjpeg.pixelformat = V4L2_PIX_FMT_MJPEG;
  mjpeg.description = "Motion-JPEG";
  mjpeg.sizes = {{1280, 720}, {640, 480}, {320, 240}};
  mjpeg.framesPerSecond = {30, 15};
  s.formats = {yuyv, mjpeg};
  ModelControl whiteBalanceAuto = Control(V4L2_CID_AUTO_WHITE_BALANCE, "White Balance, Automatic",
                                          0, 1, 1, 1, V4L2_CTRL_TYPE_BOOLEAN);
  ModelControl whiteBalance = Control(V4L2_CID_WHITE_BALANCE_TEMPERATURE,
                                      "White Balance Temperature", 2800, 6500, 10, 4600);
  whiteBalance.autoId = V4L2_CID_AUTO_WHITE_BALANCE;
  ModelControl powerLine = Control(V4L2_CID_POWER_LINE_FREQUENCY, "Power Line Frequency", 0, 2, 1,
                                   1, V4L2_CTRL_TYPE_MENU);
  powerLine.menu = {0, 1, 2};
  ModelControl exposureAuto =
      Control(V4L2_CID_EXPOSURE_AUTO, "Auto Exposure", 0, 3, 1, 3, V4L2_CTRL_TYPE_MENU);
  exposureAuto.menu = {V4L2_EXPOSURE_MANUAL, V4L2_EXPOSURE_APERTURE_PRIORITY};
  exposureAuto.manualValue = V4L2_EXPOSURE_MANUAL;
  ModelControl exposure =
      Control(V4L2_CID_EXPOSURE_ABSOLUTE, "Exposure Time, Absolute", 3, 2047, 1, 250);
  exposure.autoId = V4L2_CID_EXPOSURE_AUTO;
  s.controls = {Control(V4L2_CID_BRIGHTNESS, "Brightness", -64, 64, 1, 0),
                Control(V4L2_CID_CONTRAST, "Contrast", 0, 64, 1, 32),
                Control(V4L2_CID_SATURATION, "Saturation", 0, 128, 1, 64),
                Control(V4L2_CID_HUE, "Hue", -40, 40, 1, 0),
                whiteBalanceAuto,
                Control(V4L2_CID_GAMMA, "Gamma", 72, 500, 1, 100),
                Control(V4L2_CID_GAIN, "Gain", 0, 100, 1, 0),
                powerLine,
                whiteBalance,
                Control(V4L2_CID_SHARPNESS, "Sharpness", 0, 6, 1, 3),
                Control(V4L2_CID_BACKLIGHT_COMPENSATION, "Backlight Compensation", 0, 2, 1, 1),
                exposureAuto,
                exposure};
  return s;
}

ModelCameraSpec LaptopCameraSpec() {
  ModelCameraSpec s;
  s.card = "Integrated Camera";
  s.busInfo = "usb-0000:00:14.0-6";
  s.byPath = "pci-0000:00:14.0-usb-0:6:1.0-video-index0";
  s.strideAlign = 128;
  ModelFormat nv12;
  nv12.pixelformat = V4L2_PIX_FMT_NV12;
  nv12.description = "Y/CbCr 4:2:0";
  nv12.stepwise = true;
  nv12.minSize = {160, 120};
  nv12.maxSize = {1280, 720};
  nv12.step = {16, 8};
  nv12.framesPerSecond = {30, 15};
  s.formats = {nv12};
  ModelControl focusAuto = Control(V4L2_CID_FOCUS_AUTO, "Focus, Automatic Continuous", 0, 1, 1, 1,
                                   V4L2_CTRL_TYPE_BOOLEAN);
  ModelControl focus = Control(V4L2_CID_FOCUS_ABSOLUTE, "Focus, Absolute", 0, 250, 5, 0);
  focus.autoId = V4L2_CID_FOCUS_AUTO;
  s.controls = {Control(V4L2_CID_BRIGHTNESS, "Brightness", 0, 255, 1, 128),
                Control(V4L2_CID_CONTRAST, "Contrast", 0, 100, 1, 50),
                focusAuto,
                focus,
                Control(V4L2_CID_ZOOM_ABSOLUTE, "Zoom, Absolute", 100, 400, 10, 100),
                Control(V4L2_CID_PAN_ABSOLUTE, "Pan, Absolute", -36000, 36000, 3600, 0),
                Control(V4L2_CID_TILT_ABSOLUTE, "Tilt, Absolute", -36000, 36000, 3600, 0)};
  return s;
}

// ---- the model

V4l2Model::V4l2Model() = default;
V4l2Model::~V4l2Model() = default;

std::string V4l2Model::Plug(const ModelCameraSpec& spec) {
  std::string node, metadataNode;
  {
    std::lock_guard lock(mutex_);
    auto taken = [&](const std::string& name) {
      return std::any_of(cameras_.begin(), cameras_.end(), [&](const auto& c) {
        return c->present && (c->node == name || c->metadataNode == name);
      });
    };
    auto freeNode = [&] {
      for (int n = 0;; ++n)
        if (!taken("/dev/video" + std::to_string(n))) return "/dev/video" + std::to_string(n);
    };
    auto camera = std::make_shared<Camera>();
    camera->spec = spec;
    camera->node = node = freeNode();
    cameras_.push_back(camera);
    if (spec.metadataNode) camera->metadataNode = metadataNode = freeNode();
    for (const ModelControl& c : spec.controls) camera->values[c.id] = c.defaultValue;
    const ModelFormat& first = spec.formats.front();
    v4l2_pix_format asked{};
    asked.pixelformat = first.pixelformat;
    asked.width =
        static_cast<std::uint32_t>(first.stepwise ? first.maxSize.width : first.sizes[0].width);
    asked.height =
        static_cast<std::uint32_t>(first.stepwise ? first.maxSize.height : first.sizes[0].height);
    camera->format = camera->Adjust(asked);
    camera->interval = {1, static_cast<std::uint32_t>(first.framesPerSecond.front())};
  }
  Notify(V4l2NodeEvent::Action::Added, node);
  if (!metadataNode.empty()) Notify(V4l2NodeEvent::Action::Added, metadataNode);
  return node;
}

void V4l2Model::Unplug(const std::string& node) {
  std::string metadataNode;
  {
    std::lock_guard lock(mutex_);
    auto it = std::find_if(cameras_.begin(), cameras_.end(),
                           [&](const auto& c) { return c->present && c->node == node; });
    if (it == cameras_.end()) return;
    (*it)->present = false;
    metadataNode = (*it)->metadataNode;
    // Open files keep the camera object; the list forgets it.
    cameras_.erase(it);
  }
  Notify(V4l2NodeEvent::Action::Removed, node);
  if (!metadataNode.empty()) Notify(V4l2NodeEvent::Action::Removed, metadataNode);
}

void V4l2Model::SetBusy(const std::string& node, bool busy) {
  std::lock_guard lock(mutex_);
  for (auto& c : cameras_)
    if (c->node == node) c->busy = busy;
}

void V4l2Model::SetDenied(const std::string& node, bool denied) {
  std::lock_guard lock(mutex_);
  for (auto& c : cameras_)
    if (c->node == node) c->denied = denied;
}

void V4l2Model::SetDamage(const std::string& node, ModelDamage damage, int everyNth) {
  std::lock_guard lock(mutex_);
  for (auto& c : cameras_)
    if (c->node == node) {
      c->damage = damage;
      c->damageEvery = everyNth;
    }
}

void V4l2Model::SetStalled(const std::string& node, bool stalled) {
  std::lock_guard lock(mutex_);
  for (auto& c : cameras_)
    if (c->node == node) c->stalled = stalled;
}

int V4l2Model::OpenFiles() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(files_.size());
}

int V4l2Model::MappedBuffers() const {
  std::lock_guard lock(mutex_);
  int mapped = 0;
  std::vector<const Camera*> seen;
  auto count = [&](const Camera& c) {
    if (std::find(seen.begin(), seen.end(), &c) != seen.end()) return;
    seen.push_back(&c);
    for (const auto& b : c.buffers) mapped += b.mapped;
    for (const auto& list : c.released)
      for (const auto& b : list) mapped += b.mapped;
  };
  for (const auto& c : cameras_) count(*c);
  for (const auto& [fd, file] : files_) count(*file.camera);
  return mapped;
}

std::int32_t V4l2Model::ControlValue(const std::string& node, std::uint32_t id) const {
  std::lock_guard lock(mutex_);
  for (const auto& c : cameras_)
    if (c->node == node && c->values.count(id)) return c->values.at(id);
  return 0;
}

std::vector<std::string> V4l2Model::ListNodes() {
  std::lock_guard lock(mutex_);
  std::vector<std::pair<int, std::string>> nodes;
  for (const auto& c : cameras_) {
    nodes.emplace_back(std::atoi(c->node.c_str() + 10), c->node);
    if (!c->metadataNode.empty())
      nodes.emplace_back(std::atoi(c->metadataNode.c_str() + 10), c->metadataNode);
  }
  std::sort(nodes.begin(), nodes.end());
  std::vector<std::string> result;
  for (auto& [n, name] : nodes) result.push_back(std::move(name));
  return result;
}

std::string V4l2Model::StablePath(const std::string& node) {
  std::lock_guard lock(mutex_);
  for (const auto& c : cameras_) {
    if (c->node == node) return "/dev/v4l/by-path/" + c->spec.byPath;
    if (c->metadataNode == node) {
      std::string name = c->spec.byPath;
      if (name.ends_with("index0")) name.back() = '1';
      return "/dev/v4l/by-path/" + name;
    }
  }
  return {};
}

int V4l2Model::Open(const std::string& node) {
  std::lock_guard lock(mutex_);
  for (const auto& c : cameras_)
    if (c->node == node || c->metadataNode == node) {
      if (c->denied) return -EACCES;
      const int fd = nextFd_++;
      files_[fd] = {c, c->metadataNode == node};
      return fd;
    }
  return -ENOENT;
}

int V4l2Model::Close(int fd) {
  std::lock_guard lock(mutex_);
  auto it = files_.find(fd);
  if (it == files_.end()) return -EBADF;
  Camera& camera = *it->second.camera;
  if (camera.owner == fd) camera.FreeBuffers();
  files_.erase(it);
  return 0;
}

V4l2Model::File* V4l2Model::FindFile(int fd) {
  auto it = files_.find(fd);
  return it == files_.end() ? nullptr : &it->second;
}

int V4l2Model::Ioctl(int fd, unsigned long request, void* arg) {
  std::lock_guard lock(mutex_);
  File* file = FindFile(fd);
  if (!file) return -EBADF;
  if (!arg) return -EFAULT;
  Camera& camera = *file->camera;
  if (!camera.present) return -ENODEV;
  if (request == VIDIOC_QUERYCAP) {
    auto* cap = static_cast<v4l2_capability*>(arg);
    std::memset(cap, 0, sizeof *cap);
    CopyText(cap->driver, sizeof cap->driver, camera.spec.driver);
    CopyText(cap->card, sizeof cap->card, camera.spec.card);
    CopyText(cap->bus_info, sizeof cap->bus_info, camera.spec.busInfo);
    cap->version = (6u << 16) | (1u << 8);  // 6.1.0
    cap->capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING |
                        V4L2_CAP_EXT_PIX_FORMAT | V4L2_CAP_DEVICE_CAPS;
    cap->device_caps = (file->metadata ? V4L2_CAP_META_CAPTURE : V4L2_CAP_VIDEO_CAPTURE) |
                       V4L2_CAP_STREAMING | V4L2_CAP_EXT_PIX_FORMAT;
    return 0;
  }
  if (file->metadata) return -ENOTTY;
  return CameraIoctl(fd, camera, request, arg);
}

int V4l2Model::CameraIoctl(int fd, Camera& camera, unsigned long request, void* arg) {
  using Buffer = Camera::Buffer;
  switch (request) {
    case VIDIOC_ENUM_FMT: {
      auto* f = static_cast<v4l2_fmtdesc*>(arg);
      if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || f->index >= camera.spec.formats.size())
        return -EINVAL;
      const ModelFormat& format = camera.spec.formats[f->index];
      const std::uint32_t index = f->index;
      std::memset(f, 0, sizeof *f);
      f->index = index;
      f->type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      f->pixelformat = format.pixelformat;
      f->flags = format.pixelformat == V4L2_PIX_FMT_MJPEG ? V4L2_FMT_FLAG_COMPRESSED : 0;
      CopyText(f->description, sizeof f->description, format.description);
      return 0;
    }
    case VIDIOC_ENUM_FRAMESIZES: {
      if (camera.spec.noSizeEnumeration) return -ENOTTY;
      auto* s = static_cast<v4l2_frmsizeenum*>(arg);
      const ModelFormat* format = camera.Format(s->pixel_format);
      if (!format) return -EINVAL;
      if (format->stepwise) {
        if (s->index != 0) return -EINVAL;
        const bool continuous = format->step.width == 1 && format->step.height == 1;
        s->type = continuous ? V4L2_FRMSIZE_TYPE_CONTINUOUS : V4L2_FRMSIZE_TYPE_STEPWISE;
        s->stepwise = {static_cast<std::uint32_t>(format->minSize.width),
                       static_cast<std::uint32_t>(format->maxSize.width),
                       static_cast<std::uint32_t>(format->step.width),
                       static_cast<std::uint32_t>(format->minSize.height),
                       static_cast<std::uint32_t>(format->maxSize.height),
                       static_cast<std::uint32_t>(format->step.height)};
        return 0;
      }
      if (s->index >= format->sizes.size()) return -EINVAL;
      s->type = V4L2_FRMSIZE_TYPE_DISCRETE;
      s->discrete = {static_cast<std::uint32_t>(format->sizes[s->index].width),
                     static_cast<std::uint32_t>(format->sizes[s->index].height)};
      return 0;
    }
    case VIDIOC_ENUM_FRAMEINTERVALS: {
      auto* i = static_cast<v4l2_frmivalenum*>(arg);
      const ModelFormat* format = camera.Format(i->pixel_format);
      if (!format ||
          !camera.SizeListed(*format, static_cast<int>(i->width), static_cast<int>(i->height)))
        return -EINVAL;
      if (format->minFramesPerSecond > 0) {
        if (i->index != 0) return -EINVAL;
        i->type = V4L2_FRMIVAL_TYPE_CONTINUOUS;
        i->stepwise.min = {1, static_cast<std::uint32_t>(format->maxFramesPerSecond)};
        i->stepwise.max = {1, static_cast<std::uint32_t>(format->minFramesPerSecond)};
        i->stepwise.step = {1, 1000000};
        return 0;
      }
      if (i->index >= format->framesPerSecond.size()) return -EINVAL;
      i->type = V4L2_FRMIVAL_TYPE_DISCRETE;
      i->discrete = {1, static_cast<std::uint32_t>(format->framesPerSecond[i->index])};
      return 0;
    }
    case VIDIOC_G_FMT:
    case VIDIOC_S_FMT:
    case VIDIOC_TRY_FMT: {
      auto* f = static_cast<v4l2_format*>(arg);
      if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return -EINVAL;
      if (request == VIDIOC_G_FMT) {
        f->fmt.pix = camera.format;
        return 0;
      }
      const v4l2_pix_format adjusted = camera.Adjust(f->fmt.pix);
      if (request == VIDIOC_S_FMT) {
        if (camera.busy || camera.streaming || (camera.owner >= 0 && camera.owner != fd) ||
            !camera.buffers.empty())
          return -EBUSY;
        if (camera.format.pixelformat != adjusted.pixelformat) {
          // A new format starts at its own default rate.
          camera.interval = {1, static_cast<std::uint32_t>(
                                    camera.Format(adjusted.pixelformat)->framesPerSecond.front())};
        }
        camera.format = adjusted;
      }
      f->fmt.pix = adjusted;
      return 0;
    }
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM: {
      auto* p = static_cast<v4l2_streamparm*>(arg);
      if (p->type != V4L2_BUF_TYPE_VIDEO_CAPTURE) return -EINVAL;
      if (request == VIDIOC_S_PARM) {
        if (camera.streaming || (camera.owner >= 0 && camera.owner != fd)) return -EBUSY;
        const v4l2_fract asked = p->parm.capture.timeperframe;
        const double fps =
            asked.numerator ? static_cast<double>(asked.denominator) / asked.numerator : 0;
        int best = camera.Rates().front();
        for (int rate : camera.Rates())
          if (fps > 0 && std::abs(rate - fps) < std::abs(best - fps)) best = rate;
        camera.interval = {1, static_cast<std::uint32_t>(best)};
      }
      std::memset(&p->parm, 0, sizeof p->parm);
      p->parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
      p->parm.capture.timeperframe = camera.interval;
      p->parm.capture.readbuffers = 0;
      return 0;
    }
    case VIDIOC_REQBUFS: {
      auto* r = static_cast<v4l2_requestbuffers*>(arg);
      if (r->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || r->memory != V4L2_MEMORY_MMAP) return -EINVAL;
      if (camera.busy || (camera.owner >= 0 && camera.owner != fd)) return -EBUSY;
      if (camera.streaming) return -EBUSY;
      if (std::any_of(camera.buffers.begin(), camera.buffers.end(),
                      [](const Buffer& b) { return b.mapped > 0; }))
        return -EBUSY;
      camera.FreeBuffers();
      if (r->count == 0) return 0;
      r->count = std::clamp<std::uint32_t>(r->count, 2, kMaxBuffers);
      camera.buffers.resize(r->count);
      for (Buffer& b : camera.buffers) b.memory.assign(camera.format.sizeimage, 0);
      camera.owner = fd;
      r->capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP;
      return 0;
    }
    case VIDIOC_QUERYBUF:
    case VIDIOC_QBUF:
    case VIDIOC_DQBUF: {
      auto* b = static_cast<v4l2_buffer*>(arg);
      if (b->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || b->memory != V4L2_MEMORY_MMAP) return -EINVAL;
      if (camera.owner != fd) return camera.owner < 0 ? -EINVAL : -EBUSY;
      if (request == VIDIOC_DQBUF) {
        camera.Advance();
        if (camera.done.empty()) return camera.streaming ? -EAGAIN : -EINVAL;
        b->index = static_cast<std::uint32_t>(camera.done.front());
        camera.done.pop_front();
        camera.buffers[b->index].state = Buffer::State::User;
      } else if (b->index >= camera.buffers.size()) {
        return -EINVAL;
      }
      Buffer& buffer = camera.buffers[b->index];
      if (request == VIDIOC_QBUF) {
        if (buffer.state != Buffer::State::User) return -EINVAL;
        buffer.state = Buffer::State::Queued;
        camera.queued.push_back(static_cast<int>(b->index));
      }
      b->length = static_cast<std::uint32_t>(buffer.memory.size());
      b->m.offset = static_cast<std::uint32_t>(b->index * kOffsetStep);
      b->field = V4L2_FIELD_NONE;
      b->bytesused = request == VIDIOC_QBUF ? 0 : buffer.bytesUsed;
      b->flags = buffer.flags | (buffer.mapped ? V4L2_BUF_FLAG_MAPPED : 0);
      if (buffer.state == Buffer::State::Queued) b->flags |= V4L2_BUF_FLAG_QUEUED;
      b->sequence = buffer.sequence;
      b->timestamp = buffer.timestamp;
      return 0;
    }
    case VIDIOC_STREAMON:
    case VIDIOC_STREAMOFF: {
      if (*static_cast<int*>(arg) != V4L2_BUF_TYPE_VIDEO_CAPTURE) return -EINVAL;
      if (camera.owner != fd) return camera.owner < 0 ? -EINVAL : -EBUSY;
      if (request == VIDIOC_STREAMOFF) {
        camera.StopStreaming();
        return 0;
      }
      if (camera.busy) return -EBUSY;
      if (camera.streaming) return 0;
      camera.streaming = true;
      camera.sequence = 0;
      camera.nextDue = Clock::now() + camera.IntervalDuration();
      return 0;
    }
    case VIDIOC_QUERYCTRL: {
      auto* q = static_cast<v4l2_queryctrl*>(arg);
      const bool next = q->id & V4L2_CTRL_FLAG_NEXT_CTRL;
      const std::uint32_t id = q->id & ~(V4L2_CTRL_FLAG_NEXT_CTRL | V4L2_CTRL_FLAG_NEXT_COMPOUND);
      const ModelControl* found = nullptr;
      for (const ModelControl& c : camera.spec.controls)
        if (next ? c.id > id && (!found || c.id < found->id) : c.id == id) found = &c;
      if (!found) return -EINVAL;
      std::memset(q, 0, sizeof *q);
      q->id = found->id;
      q->type = found->type;
      CopyText(q->name, sizeof q->name, found->name);
      q->minimum = found->minimum;
      q->maximum = found->maximum;
      q->step = found->step;
      q->default_value = found->defaultValue;
      q->flags = camera.Inactive(*found) ? V4L2_CTRL_FLAG_INACTIVE : 0;
      return 0;
    }
    case VIDIOC_QUERYMENU: {
      auto* m = static_cast<v4l2_querymenu*>(arg);
      const ModelControl* c = camera.Control(m->id);
      if (!c || c->type != V4L2_CTRL_TYPE_MENU ||
          std::find(c->menu.begin(), c->menu.end(), static_cast<std::int32_t>(m->index)) ==
              c->menu.end())
        return -EINVAL;
      std::snprintf(reinterpret_cast<char*>(m->name), sizeof m->name, "Item %u", m->index);
      return 0;
    }
    case VIDIOC_G_CTRL:
    case VIDIOC_S_CTRL: {
      auto* v = static_cast<v4l2_control*>(arg);
      const ModelControl* c = camera.Control(v->id);
      if (!c) return -EINVAL;
      if (request == VIDIOC_G_CTRL) {
        v->value = camera.values[v->id];
        return 0;
      }
      if (v->value < c->minimum || v->value > c->maximum) return -ERANGE;
      if (c->type == V4L2_CTRL_TYPE_MENU &&
          std::find(c->menu.begin(), c->menu.end(), v->value) == c->menu.end())
        return -EINVAL;
      if (camera.Inactive(*c)) return -EACCES;
      // Drivers round to the control's step.
      const std::int32_t step = std::max(1, c->step);
      camera.values[v->id] = c->minimum + (v->value - c->minimum + step / 2) / step * step;
      return 0;
    }
    default:
      return -ENOTTY;
  }
}

void* V4l2Model::Mmap(int fd, std::size_t length, off_t offset, int* error) {
  std::lock_guard lock(mutex_);
  File* file = FindFile(fd);
  Camera* camera = file ? file->camera.get() : nullptr;
  const std::size_t index = static_cast<std::size_t>(offset / kOffsetStep);
  if (!camera || file->metadata) {
    *error = EBADF;
    return nullptr;
  }
  if (!camera->present) {
    *error = ENODEV;
    return nullptr;
  }
  if (offset % kOffsetStep != 0 || index >= camera->buffers.size() ||
      length > camera->buffers[index].memory.size()) {
    *error = EINVAL;
    return nullptr;
  }
  ++camera->buffers[index].mapped;
  return camera->buffers[index].memory.data();
}

int V4l2Model::Munmap(void* address, std::size_t) {
  std::lock_guard lock(mutex_);
  auto unmap = [&](std::vector<Camera::Buffer>& list) {
    for (auto& b : list)
      if (b.memory.data() == address && b.mapped > 0) {
        --b.mapped;
        return true;
      }
    return false;
  };
  for (auto& [fd, file] : files_) {
    if (unmap(file.camera->buffers)) return 0;
    for (auto& list : file.camera->released)
      if (unmap(list)) return 0;
  }
  for (auto& camera : cameras_) {
    if (unmap(camera->buffers)) return 0;
    for (auto& list : camera->released)
      if (unmap(list)) return 0;
  }
  return -EINVAL;
}

int V4l2Model::Poll(int fd, int wakeFd, int timeoutMs, bool* woken) {
  *woken = false;
  const Clock::time_point deadline = timeoutMs < 0
                                         ? Clock::time_point::max()
                                         : Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    Clock::duration wait;
    {
      std::lock_guard lock(mutex_);
      File* file = FindFile(fd);
      if (!file) return POLLNVAL;
      Camera& camera = *file->camera;
      if (!camera.present) return POLLERR | POLLHUP;
      if (file->metadata || !camera.streaming || camera.owner != fd) return POLLERR;
      camera.Advance();
      if (!camera.done.empty()) return POLLIN | POLLRDNORM;
      // Sleep in short slices so that an unplug is noticed soon.
      wait =
          std::min<Clock::duration>(camera.nextDue - Clock::now(), std::chrono::milliseconds(20));
    }
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return 0;
    wait = std::max<Clock::duration>(std::min(wait, deadline - now), std::chrono::milliseconds(1));
    pollfd p{wakeFd, POLLIN, 0};
    const int waitMs = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count());
    if (::poll(&p, wakeFd >= 0 ? 1 : 0, waitMs) > 0 && (p.revents & POLLIN)) {
      *woken = true;
      return 0;
    }
  }
}

bool V4l2Model::WatchNodes(std::function<void(const V4l2NodeEvent&)> handler) {
  std::lock_guard lock(watchMutex_);
  watcher_ = std::move(handler);
  return true;
}

void V4l2Model::StopWatching() {
  std::lock_guard lock(watchMutex_);
  watcher_ = nullptr;
}

void V4l2Model::Notify(V4l2NodeEvent::Action action, const std::string& node) {
  std::lock_guard lock(watchMutex_);
  if (watcher_) watcher_({action, node});
}

std::shared_ptr<V4l2Io> MakeV4l2Model(const std::string& description) {
  auto model = std::make_shared<V4l2Model>();
  std::stringstream list(description);
  std::string name;
  while (std::getline(list, name, ',')) {
    name.erase(0, name.find_first_not_of(' '));
    name.erase(name.find_last_not_of(' ') + 1);
    if (name == "usb")
      model->Plug(UsbCameraSpec());
    else if (name == "laptop")
      model->Plug(LaptopCameraSpec());
    else if (!name.empty())
      return nullptr;
  }
  return model;
}

// The program that links the model offers it through FROSTWIPE_V4L2_MODEL.
extern "C" {
int frostwipe_v4l2_model_anchor = 0;
}

namespace {
const bool registered = (RegisterV4l2ModelFactory(&MakeV4l2Model), true);
}  // namespace
