// Counts heap allocations made while the engine processes frames. Built without sanitizers only:
// it replaces the C allocator's entry points for the whole test program.
#include <atomic>
#include <cstdlib>
#include <malloc.h>

#include "GameTestSupport.h"

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
}

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
void Count() {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" {
void* malloc(size_t n) {
  Count();
  return __libc_malloc(n);
}
void* calloc(size_t n, size_t size) {
  Count();
  return __libc_calloc(n, size);
}
void* realloc(void* p, size_t n) {
  Count();
  return __libc_realloc(p, n);
}
void* memalign(size_t alignment, size_t n) {
  Count();
  return __libc_memalign(alignment, n);
}
int posix_memalign(void** out, size_t alignment, size_t n) {
  Count();
  *out = __libc_memalign(alignment, n);
  return *out ? 0 : ENOMEM;
}
void* aligned_alloc(size_t alignment, size_t n) {
  Count();
  return __libc_memalign(alignment, n);
}
}

// Catches: per-frame allocations creeping into the engine (copies that do not reuse storage,
// conversions, text rendering), which stutter the game on small machines.
TEST_F(GameTest, EngineAllocatesNothingPerFrame) {
  form->StartStopButtonClick();
  for (TPixelFormat format : {pf24bit, pf32bit}) {
    SCOPED_TRACE(format);
    const auto a = MakeFrame(320, 240, format, [](int x, int) {
      const int v = x < 160 ? 250 : 0;
      return std::array<int, 3>{v, v, v};
    });
    const auto b = MakeFrame(320, 240, format, [](int, int) {
      return std::array<int, 3>{0, 0, 0};
    });
    // Warm up: first frames set up reusable storage and render the message once.
    for (int i = 0; i < 4; ++i) Deliver(i % 2 ? *a : *b);
    allocations = 0;
    counting = true;
    for (int i = 0; i < 20; ++i) Deliver(i % 2 ? *a : *b);
    counting = false;
    EXPECT_EQ(allocations.load(), 0);
  }
  // And with the closing message on screen.
  const auto white = GrayFrame(255), black = GrayFrame(0);
  Deliver(*white);
  Deliver(*black);
  ASSERT_GT(form->CleanedPercent, 95.0);
  allocations = 0;
  counting = true;
  for (int i = 0; i < 10; ++i) Deliver(i % 2 ? *white : *black);
  counting = false;
  EXPECT_GT(form->CleanedPercent, 95.0);
  EXPECT_EQ(allocations.load(), 0);
}
