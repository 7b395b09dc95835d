// Fuzz harness of what a V4L2 driver hands back: format, frame size and frame interval
// enumerations, the row layout TRY_FMT answers, control ranges, menus and values. A fake node
// answers every ioctl from the input; the real enumeration and control code reads it.
//
// Input: a stream of answers, taken in the order the code asks. Each answer starts with a byte
// whose low bit says whether the call succeeds (an odd byte) or fails with EINVAL; a successful
// answer then fills the fields the driver would fill from the following bytes. An empty input
// fails every call, so each enumeration ends.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <linux/videodev2.h>
#include <memory>
#include <string>
#include <vector>

#include "platform/media/DeviceInterfaces.h"
#include "platform/media/v4l2/V4l2Controls.h"
#include "platform/media/v4l2/V4l2Formats.h"
#include "platform/media/v4l2/V4l2Io.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

// The pixel formats a driver may name, with an arbitrary one for the last slot.
constexpr std::uint32_t kFormats[] = {V4L2_PIX_FMT_YUYV,   V4L2_PIX_FMT_UYVY,  V4L2_PIX_FMT_NV12,
                                      V4L2_PIX_FMT_YUV420, V4L2_PIX_FMT_RGB24, V4L2_PIX_FMT_BGR24,
                                      V4L2_PIX_FMT_MJPEG,  V4L2_PIX_FMT_H264,  0};

class Answers {
 public:
  Answers(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Empty() const { return at_ >= size_; }
  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint32_t Word() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(Byte()) << (8 * i);
    return v;
  }
  // A size: mostly small and plausible, sometimes any 32-bit value.
  std::uint32_t Size() {
    const std::uint8_t kind = Byte();
    if (kind & 0x80) return Word();
    return (static_cast<std::uint32_t>(kind) << 4) | (Byte() & 0x0f);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

class FuzzNode final : public V4l2Io {
 public:
  explicit FuzzNode(Answers* answers) : a_(answers) {}
  std::vector<std::string> ListNodes() override { return {"/dev/video0"}; }
  std::string StablePath(const std::string&) override { return {}; }
  int Open(const std::string&) override { return 3; }
  int Close(int) override { return 0; }
  void* Mmap(int, std::size_t, off_t, int* error) override {
    *error = ENODEV;
    return nullptr;
  }
  int Munmap(void*, std::size_t) override { return 0; }
  int Poll(int, int, int, bool* woken) override {
    *woken = false;
    return 0;
  }
  bool WatchNodes(std::function<void(const V4l2NodeEvent&)>) override { return false; }
  void StopWatching() override {}

  int Ioctl(int, unsigned long request, void* arg) override {
    if (a_->Empty() || !(a_->Byte() & 1)) return -EINVAL;
    switch (request) {
      case VIDIOC_ENUM_FMT: {
        auto* d = static_cast<v4l2_fmtdesc*>(arg);
        const std::uint8_t pick = a_->Byte();
        d->pixelformat =
            pick < sizeof kFormats / sizeof kFormats[0] - 1 ? kFormats[pick] : a_->Word();
        d->flags = a_->Byte();
        // A description that is not terminated.
        std::memset(d->description, 'x', sizeof d->description);
        if (a_->Byte() & 1) d->description[sizeof d->description - 1] = 0;
        return 0;
      }
      case VIDIOC_ENUM_FRAMESIZES: {
        auto* e = static_cast<v4l2_frmsizeenum*>(arg);
        e->type = a_->Byte() % 4;  // discrete, continuous, stepwise, or none of them
        if (e->type == V4L2_FRMSIZE_TYPE_DISCRETE) {
          e->discrete.width = a_->Size();
          e->discrete.height = a_->Size();
        } else {
          e->stepwise.min_width = a_->Size();
          e->stepwise.max_width = a_->Size();
          e->stepwise.step_width = a_->Size();
          e->stepwise.min_height = a_->Size();
          e->stepwise.max_height = a_->Size();
          e->stepwise.step_height = a_->Size();
        }
        return 0;
      }
      case VIDIOC_ENUM_FRAMEINTERVALS: {
        auto* e = static_cast<v4l2_frmivalenum*>(arg);
        e->type = a_->Byte() % 4;
        if (e->type == V4L2_FRMIVAL_TYPE_DISCRETE) {
          e->discrete.numerator = a_->Size();
          e->discrete.denominator = a_->Size();
        } else {
          e->stepwise.min = {a_->Size(), a_->Size()};
          e->stepwise.max = {a_->Size(), a_->Size()};
          e->stepwise.step = {a_->Size(), a_->Size()};
        }
        return 0;
      }
      case VIDIOC_G_FMT:
      case VIDIOC_TRY_FMT:
      case VIDIOC_S_FMT: {
        auto* f = static_cast<v4l2_format*>(arg);
        if (a_->Byte() & 1) f->fmt.pix.width = a_->Size();
        if (a_->Byte() & 1) f->fmt.pix.height = a_->Size();
        if (a_->Byte() & 1) f->fmt.pix.pixelformat = a_->Word();
        f->fmt.pix.bytesperline = a_->Size();
        f->fmt.pix.sizeimage = a_->Word();
        return 0;
      }
      case VIDIOC_G_PARM:
      case VIDIOC_S_PARM: {
        auto* p = static_cast<v4l2_streamparm*>(arg);
        p->parm.capture.capability = a_->Byte();
        p->parm.capture.timeperframe = {a_->Size(), a_->Size()};
        return 0;
      }
      case VIDIOC_QUERYCTRL: {
        auto* q = static_cast<v4l2_queryctrl*>(arg);
        q->type = a_->Byte() % 4;  // integer, boolean, menu or button
        q->minimum = static_cast<std::int32_t>(a_->Word());
        q->maximum = static_cast<std::int32_t>(a_->Word());
        q->step = static_cast<std::int32_t>(a_->Word());
        q->default_value = static_cast<std::int32_t>(a_->Word());
        q->flags = a_->Byte() & 0x07;  // disabled, grabbed, read-only
        std::memset(q->name, 'n', sizeof q->name);
        if (a_->Byte() & 1) q->name[sizeof q->name - 1] = 0;
        return 0;
      }
      case VIDIOC_QUERYMENU:
        return 0;
      case VIDIOC_G_CTRL:
      case VIDIOC_S_CTRL: {
        auto* c = static_cast<v4l2_control*>(arg);
        c->value = static_cast<std::int32_t>(a_->Word());
        return 0;
      }
      default:
        return 0;
    }
  }

 private:
  Answers* a_;
};

void Exercise(V4l2Controls& controls, long first, long last) {
  for (long p = first; p <= last; ++p) {
    long min = 0, max = 0, step = 0, def = 0, caps = 0;
    if (SUCCEEDED(controls.GetRange(p, &min, &max, &step, &def, &caps))) {
      FUZZ_CHECK(step > 0);
      long value = 0, flags = 0;
      controls.Get(p, &value, &flags);
      controls.Set(p, def, caps);
      controls.Set(p, max, VideoProcAmp_Flags_Manual);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Answers answers(data, size);
  auto node = std::make_shared<FuzzNode>(&answers);
  std::vector<std::string> skipped;
  const std::vector<V4l2Capability> caps = ReadCapabilities(*node, 3, "/dev/video0", &skipped);
  for (const V4l2Capability& cap : caps) {
    FUZZ_CHECK(cap.width > 0 && cap.height > 0 && cap.width <= 16384 && cap.height <= 16384);
    FUZZ_CHECK(!cap.intervals.empty());
    FUZZ_CHECK(cap.subtype != GUID_NULL);
    for (REFERENCE_TIME interval : cap.intervals) {
      FUZZ_CHECK(interval > 0);
      const MediaType type = CapabilityMediaType(cap, interval);
      FUZZ_CHECK(type.IsValid());
    }
  }
  V4l2Controls image(node, 3, "/dev/video0", V4l2Controls::Interface::VideoProcAmp);
  Exercise(image, VideoProcAmp_Brightness, VideoProcAmp_PowerlineFrequency);
  V4l2Controls camera(node, 3, "/dev/video0", V4l2Controls::Interface::CameraControl);
  Exercise(camera, CameraControl_Pan, CameraControl_Focus);
  return 0;
}
