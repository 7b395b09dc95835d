// Helpers shared by the media graph benchmarks.
#pragma once

#include <ctime>

// FirstPin and the other graph helpers of the device tests.
#include "tests/platform/media/virtual/DeviceTestSupport.h"

// Processor time of the whole process (every thread), in seconds.
inline double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}
