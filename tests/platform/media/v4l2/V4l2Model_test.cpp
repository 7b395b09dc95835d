// Tests of the model cameras: they must keep the V4L2 contract the back-end is tested against.
#include "platform/media/v4l2/model/V4l2Model.h"

#include <cerrno>
#include <linux/videodev2.h>
#include <poll.h>
#include <thread>

#include <gtest/gtest.h>

namespace {

v4l2_buffer Buffer(std::uint32_t index = 0) {
  v4l2_buffer b{};
  b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  b.memory = V4L2_MEMORY_MMAP;
  b.index = index;
  return b;
}

int RequestBuffers(V4l2Model& model, int fd, std::uint32_t count) {
  v4l2_requestbuffers r{};
  r.count = count;
  r.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  r.memory = V4L2_MEMORY_MMAP;
  const int result = model.Ioctl(fd, VIDIOC_REQBUFS, &r);
  return result < 0 ? result : static_cast<int>(r.count);
}

// Waits for a filled buffer and dequeues it.
int Dequeue(V4l2Model& model, int fd, v4l2_buffer* b) {
  bool woken = false;
  model.Poll(fd, -1, 1000, &woken);
  *b = Buffer();
  return model.Ioctl(fd, VIDIOC_DQBUF, b);
}

}  // namespace

// Catches: enumerations that do not end with EINVAL, or a metadata node that claims video
// capture (the provider would list every UVC camera twice).
TEST(V4l2ModelTest, EnumerationsEndWithEinvalAndMetadataNodesSayWhatTheyAre) {
  V4l2Model model;
  const std::string node = model.Plug(UsbCameraSpec());
  EXPECT_EQ(node, "/dev/video0");
  EXPECT_EQ(model.ListNodes(), (std::vector<std::string>{"/dev/video0", "/dev/video1"}));
  const int fd = model.Open(node);
  ASSERT_GE(fd, 0);
  v4l2_fmtdesc desc{};
  desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  for (desc.index = 0; model.Ioctl(fd, VIDIOC_ENUM_FMT, &desc) == 0; ++desc.index) {
  }
  EXPECT_EQ(desc.index, 2u);
  EXPECT_EQ(model.Ioctl(fd, VIDIOC_ENUM_FMT, &desc), -EINVAL);
  v4l2_frmsizeenum size{};
  size.pixel_format = V4L2_PIX_FMT_MJPEG;
  size.index = 3;
  EXPECT_EQ(model.Ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &size), -EINVAL);
  v4l2_frmivalenum interval{};
  interval.pixel_format = V4L2_PIX_FMT_YUYV;
  interval.width = 1280;  // YUYV has no 1280x720
  interval.height = 720;
  EXPECT_EQ(model.Ioctl(fd, VIDIOC_ENUM_FRAMEINTERVALS, &interval), -EINVAL);

  const int meta = model.Open("/dev/video1");
  v4l2_capability cap{};
  ASSERT_EQ(model.Ioctl(meta, VIDIOC_QUERYCAP, &cap), 0);
  EXPECT_FALSE(cap.device_caps & V4L2_CAP_VIDEO_CAPTURE);
  EXPECT_TRUE(cap.device_caps & V4L2_CAP_META_CAPTURE);
  desc.index = 0;
  EXPECT_LT(model.Ioctl(meta, VIDIOC_ENUM_FMT, &desc), 0);
  model.Close(meta);
  model.Close(fd);
  EXPECT_EQ(model.OpenFiles(), 0);
}

// Catches: a model that accepts any size as asked (the back-end's refusal of adjusted formats
// would go untested), or padded rows the laptop camera does not report.
TEST(V4l2ModelTest, FormatsAreAdjustedAsDriversDo) {
  V4l2Model model;
  const int usb = model.Open(model.Plug(UsbCameraSpec()));
  v4l2_format f{};
  f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  f.fmt.pix = {};
  f.fmt.pix.pixelformat = V4L2_PIX_FMT_YUYV;
  f.fmt.pix.width = 1280;
  f.fmt.pix.height = 720;
  ASSERT_EQ(model.Ioctl(usb, VIDIOC_TRY_FMT, &f), 0);
  EXPECT_EQ(f.fmt.pix.width, 640u);
  EXPECT_EQ(f.fmt.pix.height, 480u);
  f.fmt.pix.pixelformat = v4l2_fourcc('H', '2', '6', '4');
  f.fmt.pix.width = 320;
  f.fmt.pix.height = 240;
  ASSERT_EQ(model.Ioctl(usb, VIDIOC_S_FMT, &f), 0);
  EXPECT_EQ(f.fmt.pix.pixelformat, static_cast<std::uint32_t>(V4L2_PIX_FMT_YUYV));
  EXPECT_EQ(f.fmt.pix.bytesperline, 640u);

  const int laptop = model.Open(model.Plug(LaptopCameraSpec()));
  f.fmt.pix = {};
  f.fmt.pix.pixelformat = V4L2_PIX_FMT_NV12;
  f.fmt.pix.width = 330;  // off the 16-pixel grid
  f.fmt.pix.height = 240;
  ASSERT_EQ(model.Ioctl(laptop, VIDIOC_S_FMT, &f), 0);
  EXPECT_EQ(f.fmt.pix.width, 320u);
  EXPECT_EQ(f.fmt.pix.bytesperline, 384u);
  EXPECT_EQ(f.fmt.pix.sizeimage, 384u * 240 * 3 / 2);
  model.Close(usb);
  model.Close(laptop);
}

// Catches: buffers that change hands outside QBUF/DQBUF, a second file that can take the
// queue, sequence numbers that hide lost frames, or timestamps that go backwards.
TEST(V4l2ModelTest, BuffersSequenceNumbersAndOwnership) {
  V4l2Model model;
  const std::string node = model.Plug(UsbCameraSpec());
  const int fd = model.Open(node);
  const int other = model.Open(node);
  v4l2_buffer b = Buffer();
  EXPECT_EQ(model.Ioctl(fd, VIDIOC_QBUF, &b), -EINVAL);  // no buffers yet
  ASSERT_EQ(RequestBuffers(model, fd, 2), 2);
  EXPECT_EQ(RequestBuffers(model, other, 2), -EBUSY);
  v4l2_format f{};
  f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  EXPECT_EQ(model.Ioctl(other, VIDIOC_S_FMT, &f), -EBUSY);

  for (std::uint32_t i = 0; i < 2; ++i) {
    b = Buffer(i);
    ASSERT_EQ(model.Ioctl(fd, VIDIOC_QUERYBUF, &b), 0);
    int error = 0;
    ASSERT_NE(model.Mmap(fd, b.length, b.m.offset, &error), nullptr);
    ASSERT_EQ(model.Ioctl(fd, VIDIOC_QBUF, &b), 0);
  }
  b = Buffer(0);
  EXPECT_EQ(model.Ioctl(fd, VIDIOC_QBUF, &b), -EINVAL);   // already queued
  EXPECT_EQ(model.Ioctl(fd, VIDIOC_DQBUF, &b), -EINVAL);  // not streaming
  int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  ASSERT_EQ(model.Ioctl(fd, VIDIOC_STREAMON, &type), 0);
  b = Buffer();
  EXPECT_EQ(model.Ioctl(fd, VIDIOC_DQBUF, &b), -EAGAIN);  // non-blocking, nothing due yet

  ASSERT_EQ(Dequeue(model, fd, &b), 0);
  EXPECT_EQ(b.sequence, 0u);
  EXPECT_EQ(b.bytesused, 640u * 480 * 2);
  const long long first = b.timestamp.tv_sec * 1000000LL + b.timestamp.tv_usec;
  const std::uint32_t kept = b.index;
  // With one buffer out and the other filled, further frames have nowhere to go: lost.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ASSERT_EQ(Dequeue(model, fd, &b), 0);
  EXPECT_EQ(b.sequence, 1u);
  b = Buffer(kept);
  ASSERT_EQ(model.Ioctl(fd, VIDIOC_QBUF, &b), 0);
  ASSERT_EQ(Dequeue(model, fd, &b), 0);
  EXPECT_GT(b.sequence, 3u) << "frames lost without a queued buffer must leave a gap";
  EXPECT_GT(b.timestamp.tv_sec * 1000000LL + b.timestamp.tv_usec, first);

  EXPECT_EQ(RequestBuffers(model, fd, 0), -EBUSY);  // streaming, and mapped
  ASSERT_EQ(model.Ioctl(fd, VIDIOC_STREAMOFF, &type), 0);
  EXPECT_EQ(model.MappedBuffers(), 2);
  model.Close(fd);
  EXPECT_EQ(RequestBuffers(model, other, 2), 2) << "closing the owner frees the queue";
  model.Close(other);
}

// Catches: an unplugged camera whose files go on answering (the back-end would never see
// ENODEV), or a poll that keeps sleeping after the unplug.
TEST(V4l2ModelTest, UnplugGivesEnodevAndPollError) {
  V4l2Model model;
  std::vector<V4l2NodeEvent> events;
  model.WatchNodes([&](const V4l2NodeEvent& e) { events.push_back(e); });
  const std::string node = model.Plug(UsbCameraSpec());
  const int fd = model.Open(node);
  ASSERT_EQ(RequestBuffers(model, fd, 2), 2);
  v4l2_buffer b = Buffer();
  model.Ioctl(fd, VIDIOC_QBUF, &b);
  int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  ASSERT_EQ(model.Ioctl(fd, VIDIOC_STREAMON, &type), 0);
  model.SetStalled(node, true);
  std::thread unplug([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    model.Unplug(node);
  });
  bool woken = false;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(model.Poll(fd, -1, 5000, &woken), POLLERR | POLLHUP);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  unplug.join();
  EXPECT_EQ(model.Ioctl(fd, VIDIOC_DQBUF, &b), -ENODEV);
  EXPECT_EQ(model.Open(node), -ENOENT);
  EXPECT_TRUE(model.ListNodes().empty());
  EXPECT_EQ(model.Close(fd), 0);
  ASSERT_EQ(events.size(), 4u);  // capture and metadata node, each added and removed
  EXPECT_EQ(events[2].action, V4l2NodeEvent::Action::Removed);
  EXPECT_EQ(events[2].node, node);
  // The port is free again: a replugged camera gets the lowest node number.
  EXPECT_EQ(model.Plug(UsbCameraSpec()), "/dev/video0");
}
