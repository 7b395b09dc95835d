// Tests of the system side of the kernel seam that need no camera: node listing, errors as
// negative errno, and the poll that Stop must be able to wake.
#include "platform/media/v4l2/V4l2Io.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

// Catches: failures reported as -1 instead of -errno, or nodes that are not /dev/videoN listed.
TEST(SystemV4l2IoTest, ErrorsAreNegativeErrnoAndNodesAreVideoNodes) {
  const std::shared_ptr<V4l2Io> io = MakeSystemV4l2Io();
  EXPECT_EQ(io->Open("/nonexistent/video0"), -ENOENT);
  EXPECT_EQ(io->Close(-1), -EBADF);
  int arg = 0;
  EXPECT_EQ(io->Ioctl(-1, 0, &arg), -EBADF);
  int error = 0;
  EXPECT_EQ(io->Mmap(-1, 4096, 0, &error), nullptr);
  EXPECT_EQ(error, EBADF);
  for (const std::string& node : io->ListNodes()) {
    SCOPED_TRACE(node);
    EXPECT_TRUE(node.starts_with("/dev/video"));
    EXPECT_EQ(node.find_first_not_of("0123456789", 10), std::string::npos);
  }
  EXPECT_EQ(io->StablePath("/nonexistent/video0"), "");
}

// Catches: a poll that the wake event cannot end (Stop would wait for the timeout), one that
// reports a wake after Drain, or a timeout reported as readiness.
TEST(SystemV4l2IoTest, PollEndsOnDataWakeOrTimeout) {
  const std::shared_ptr<V4l2Io> io = MakeSystemV4l2Io();
  // An eventfd stands in for the device: readable when "a buffer is done".
  const int device = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  ASSERT_GE(device, 0);
  WakeEvent wake;
  ASSERT_GE(wake.Fd(), 0);
  bool woken = true;
  EXPECT_EQ(io->Poll(device, wake.Fd(), 20, &woken), 0);
  EXPECT_FALSE(woken);

  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    wake.Signal();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(io->Poll(device, wake.Fd(), 5000, &woken), 0);
  EXPECT_TRUE(woken);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  stopper.join();
  wake.Drain();
  EXPECT_EQ(io->Poll(device, wake.Fd(), 10, &woken), 0);
  EXPECT_FALSE(woken) << "a drained wake event fired again";

  const std::uint64_t one = 1;
  ASSERT_EQ(write(device, &one, sizeof one), static_cast<ssize_t>(sizeof one));
  EXPECT_TRUE(io->Poll(device, wake.Fd(), 1000, &woken) & POLLIN);
  EXPECT_FALSE(woken);
  close(device);
}
