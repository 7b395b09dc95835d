// Tests of running graphs: samples flowing on streaming threads, start/stop cycles, failures.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "TestFilters.h"
#include "TestSupport.h"
#include "platform/media/NullRenderer.h"

namespace {

struct Chain {
  ComPtr<IGraphBuilder> graph;
  ComPtr<SyntheticSource> source;
  ComPtr<RecordingSink> sink;
  ComPtr<IMediaControl> control;
  ComPtr<IMediaEventEx> events;
};

Chain MakeChain(SourceOptions options, std::vector<GUID> sinkTypes = {MEDIASUBTYPE_RGB32}) {
  Chain c;
  c.graph = NewGraph();
  c.source = MakeComObject<SyntheticSource>(std::move(options));
  c.sink = MakeComObject<RecordingSink>(std::move(sinkTypes));
  c.graph->AddFilter(c.source.Get(), u"src");
  c.graph->AddFilter(c.sink.Get(), u"sink");
  EXPECT_EQ(c.graph->Connect(PinOf(c.source.Get(), PINDIR_OUTPUT).Get(),
                             PinOf(c.sink.Get(), PINDIR_INPUT).Get()),
            S_OK);
  c.control = ComQuery<IMediaControl>(c.graph.Get());
  c.events = ComQuery<IMediaEventEx>(c.graph.Get());
  return c;
}

SourceOptions Yuy2(int intervalMs) {
  SourceOptions o;
  o.types = {MediaType::Video(MEDIASUBTYPE_YUY2, 64, 48, UNITS / 30)};
  o.frameIntervalMs = intervalMs;
  return o;
}

// Catches: samples not flowing after Run, or flowing on the caller's thread instead of a stream.
TEST(Streaming, RunDeliversThroughConverter) {
  Chain c = MakeChain(Yuy2(2));
  ASSERT_EQ(c.control->Run(), S_OK);
  OAFilterState state;
  c.control->GetState(0, &state);
  EXPECT_EQ(state, State_Running);
  EXPECT_TRUE(PumpUntil([&] { return c.sink->Count() >= 5; }));
  EXPECT_EQ(c.control->Stop(), S_OK);
  const long after = c.sink->Count();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(c.sink->Count(), after) << "samples arrived after Stop returned";
  EXPECT_EQ(c.sink->LastFrame().size(), 64u * 48u * 4u);
}

// Catches: deadlocks or leaked threads over many start/stop cycles.
TEST(Streaming, FiveHundredStartStopCycles) {
  Chain c = MakeChain(Yuy2(1));
  for (int i = 0; i < 500; ++i) {
    ASSERT_EQ(c.control->Run(), S_OK) << "cycle " << i;
    if (i % 50 == 0) PumpUntil([&] { return c.source->Stream()->DeliveredCount() > 0; }, 1000);
    ASSERT_EQ(c.control->Stop(), S_OK) << "cycle " << i;
  }
  EXPECT_GT(c.sink->Count(), 0);
  EXPECT_TRUE(DrainEvents(c.events.Get()).empty()) << "a clean stop posts no error";
}

// Catches: Stop hanging or crashing while a slow downstream filter still holds a frame.
TEST(Streaming, StopWithFramesInFlight) {
  Chain c = MakeChain(Yuy2(0));
  c.sink->SetRenderDelayMs(20);
  ASSERT_EQ(c.control->Run(), S_OK);
  ASSERT_TRUE(PumpUntil([&] { return c.sink->Count() >= 1; }));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(c.control->Stop(), S_OK);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
  // Pause then run again from paused: no frames while paused, frames again when running.
  c.sink->SetRenderDelayMs(0);
  ASSERT_EQ(c.control->Pause(), S_OK);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const long paused = c.sink->Count();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(c.sink->Count(), paused) << "a paused source must not deliver";
  ASSERT_EQ(c.control->Run(), S_OK);
  EXPECT_TRUE(PumpUntil([&] { return c.sink->Count() > paused; }));
  c.control->Stop();
}

// Catches: a failing streaming thread ending silently, or its failure code lost on the way.
TEST(Streaming, FailingSourcePostsErrorAbortWithCode) {
  SourceOptions o = Yuy2(1);
  o.failAtFrame = 3;
  o.failCode = VFW_E_DEVICE_LOST;
  Chain c = MakeChain(o);
  ASSERT_EQ(c.control->Run(), S_OK);
  long code = 0;
  LONG_PTR p1 = 0, p2 = 0;
  ASSERT_EQ(c.events->GetEvent(&code, &p1, &p2, 2000), S_OK);
  EXPECT_EQ(code, EC_ERRORABORT);
  EXPECT_EQ(static_cast<HRESULT>(p1), VFW_E_DEVICE_LOST);
  c.events->FreeEventParams(code, p1, p2);
  EXPECT_EQ(c.sink->Count(), 3);
  EXPECT_EQ(c.control->Stop(), S_OK);
}

// Catches: a Run that fails on one filter leaving the others running (threads never joined).
TEST(Streaming, RunFailureStopsEverything) {
  ComPtr<IGraphBuilder> graph = NewGraph();
  SourceOptions good = Yuy2(1);
  SourceOptions bad = Yuy2(1);
  bad.pauseResult = VFW_E_DEVICE_LOST;
  ComPtr<SyntheticSource> a = MakeComObject<SyntheticSource>(good, u"good");
  ComPtr<SyntheticSource> b = MakeComObject<SyntheticSource>(bad, u"bad");
  ComPtr<RecordingSink> sa = MakeComObject<RecordingSink>(std::vector<GUID>{MEDIASUBTYPE_YUY2});
  ComPtr<RecordingSink> sb = MakeComObject<RecordingSink>(std::vector<GUID>{MEDIASUBTYPE_YUY2});
  for (IBaseFilter* f : {static_cast<IBaseFilter*>(a.Get()), static_cast<IBaseFilter*>(b.Get()),
                         static_cast<IBaseFilter*>(sa.Get()), static_cast<IBaseFilter*>(sb.Get())})
    graph->AddFilter(f, nullptr);
  ASSERT_EQ(graph->ConnectDirect(PinOf(a.Get(), PINDIR_OUTPUT).Get(),
                                 PinOf(sa.Get(), PINDIR_INPUT).Get(), nullptr),
            S_OK);
  ASSERT_EQ(graph->ConnectDirect(PinOf(b.Get(), PINDIR_OUTPUT).Get(),
                                 PinOf(sb.Get(), PINDIR_INPUT).Get(), nullptr),
            S_OK);
  ComPtr<IMediaControl> control = ComQuery<IMediaControl>(graph.Get());
  EXPECT_EQ(control->Run(), VFW_E_DEVICE_LOST);
  OAFilterState state;
  control->GetState(0, &state);
  EXPECT_EQ(state, State_Stopped);
  for (FilterBase* f : {static_cast<FilterBase*>(a.Get()), static_cast<FilterBase*>(b.Get()),
                        static_cast<FilterBase*>(sa.Get()), static_cast<FilterBase*>(sb.Get())})
    EXPECT_TRUE(f->IsStopped());
  const long delivered = sa->Count();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(sa->Count(), delivered);
}

// Catches: a streaming thread stopping its own graph, which would wait for itself forever.
TEST(Streaming, StopFromStreamingThreadIsRefused) {
  SourceOptions o = Yuy2(1);
  std::atomic<HRESULT> fromStream{S_OK};
  std::atomic<IMediaControl*> control{nullptr};
  o.fill = [&](const AM_MEDIA_TYPE&, BYTE*, long, long frame) {
    if (frame == 2 && control.load()) fromStream = control.load()->Stop();
  };
  Chain c = MakeChain(o, {MEDIASUBTYPE_YUY2});
  control = c.control.Get();
  ASSERT_EQ(c.control->Run(), S_OK);
  ASSERT_TRUE(PumpUntil([&] { return c.sink->Count() >= 4; }));
  EXPECT_EQ(fromStream.load(), RPC_E_WRONG_THREAD);
  EXPECT_EQ(c.control->Stop(), S_OK);
}

// Catches: a graph released while running leaving its threads behind (use after free).
TEST(Streaming, ReleasingRunningGraphStopsIt) {
  std::atomic<long> filled{0};
  SourceOptions o = Yuy2(1);
  o.fill = [&](const AM_MEDIA_TYPE&, BYTE*, long, long) { filled.fetch_add(1); };
  {
    Chain c = MakeChain(o);
    ASSERT_EQ(c.control->Run(), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return filled.load() >= 2; }));
  }
  const long after = filled.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(filled.load(), after);
}

// Catches: an end of stream not reported as one EC_COMPLETE after all renderers completed.
TEST(Streaming, EndOfStreamCompletesOnce) {
  SourceOptions o = Yuy2(1);
  o.endAtFrame = 3;
  Chain c = MakeChain(o);
  ASSERT_EQ(c.control->Run(), S_OK);
  long code = 0;
  LONG_PTR p1 = 0, p2 = 0;
  ASSERT_EQ(c.events->GetEvent(&code, &p1, &p2, 2000), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(c.sink->Count(), 3);
  EXPECT_EQ(c.events->GetEvent(&code, &p1, &p2, 50), E_ABORT);
  c.control->Stop();
}

}  // namespace
