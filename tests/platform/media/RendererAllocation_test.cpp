// Counts picture-sized heap allocations while a graph streams into the video renderer. Built
// without sanitizers only: it replaces the C allocator's entry points for the whole program.
#include <atomic>
#include <cstdlib>
#include <malloc.h>

#include <gtest/gtest.h>

#include "TestFilters.h"
#include "TestSupport.h"

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);
}

namespace {
// Pictures and sample buffers of the test stream are far above this; bookkeeping is below it.
constexpr size_t kPictureBytes = 16 * 1024;
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};
void Count(size_t n) {
  if (n >= kPictureBytes && counting.load(std::memory_order_relaxed))
    allocations.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

extern "C" {
void* malloc(size_t n) {
  Count(n);
  return __libc_malloc(n);
}
void* calloc(size_t n, size_t size) {
  Count(n * size);
  return __libc_calloc(n, size);
}
void* realloc(void* p, size_t n) {
  Count(n);
  return __libc_realloc(p, n);
}
void* memalign(size_t alignment, size_t n) {
  Count(n);
  return __libc_memalign(alignment, n);
}
int posix_memalign(void** out, size_t alignment, size_t n) {
  Count(n);
  *out = __libc_memalign(alignment, n);
  return *out ? 0 : ENOMEM;
}
void* aligned_alloc(size_t alignment, size_t n) {
  Count(n);
  return __libc_memalign(alignment, n);
}
}

namespace {

// Catches: the renderer making a new picture for every frame, or a pool on the way (source,
// converter) allocating sample buffers once the stream is running.
TEST(RendererAllocation, SteadyStreamAllocatesNoPictures) {
  SourceOptions options;
  options.types = {MediaType::Video(MEDIASUBTYPE_YUY2, 160, 120, UNITS / 30)};
  options.frameIntervalMs = 1;
  ComPtr<IGraphBuilder> graph = NewGraph();
  ComPtr<SyntheticSource> source = MakeComObject<SyntheticSource>(options);
  ComPtr<IBaseFilter> renderer;
  ASSERT_EQ(CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                             renderer.ReleaseAndGetVoidAddress()),
            S_OK);
  graph->AddFilter(source.Get(), u"src");
  graph->AddFilter(renderer.Get(), u"rndr");
  ASSERT_EQ(graph->Connect(PinOf(source.Get(), PINDIR_OUTPUT).Get(),
                           PinOf(renderer.Get(), PINDIR_INPUT).Get()),
            S_OK);
  ComQuery<IVideoWindow>(renderer.Get())->put_AutoShow(OAFALSE);
  ComPtr<IMediaControl> control = ComQuery<IMediaControl>(graph.Get());
  ASSERT_EQ(control->Run(), S_OK);
  // Warm-up: the pools and the renderer's pictures are made here.
  ASSERT_TRUE(PumpUntil([&] { return source->Stream()->DeliveredCount() >= 50; }));
  counting = true;
  const long from = source->Stream()->DeliveredCount();
  ASSERT_TRUE(PumpUntil([&] { return source->Stream()->DeliveredCount() >= from + 200; }, 10000));
  counting = false;
  EXPECT_EQ(control->Stop(), S_OK);
  // At most three pictures exist at once (shown, waiting for the window, being filled); the
  // warm-up may not yet have needed the third. Anything more grows with the frame count.
  EXPECT_LE(allocations.load(), 1) << "picture-sized allocations over 200 frames";
}

}  // namespace
