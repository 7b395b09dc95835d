// Helpers of the filter-library tests: a control whose core reports, graphs of the media tests'
// source and sink around a filter from the packed library.
#pragma once

#include <cstring>

#include "capture/graph/FilterLibrary.h"
#include "platform/com/ComApi.h"
#include "tests/capture/TestSupport.h"
#include "tests/platform/media/TestFilters.h"
#include "tests/platform/media/TestSupport.h"

// A control (so a synchronisation manager and a reporting core) and the component-object
// runtime for the test's graphs. Slots are released before the manager goes.
class FilterLibraryTest : public CaptureTest {
 protected:
  void SetUp() override {
    CaptureTest::SetUp();
    CoInitialize(nullptr);
    control_ = MakeControl();
    control_->OnLog = {&rec_, &Recorder::Log};
  }
  void TearDown() override {
    slot_.Release();
    control_.reset();
    CoUninitialize();
    CaptureTest::TearDown();
  }
  TCaptureCore* Core() { return &control_->Core(); }

  std::unique_ptr<TCaptureControl> control_;
  Recorder rec_;
  FilterSlot slot_;
};

// source -> filter [-> after] -> sink, connected through the graph's Connect.
struct FilterChain {
  ComPtr<IGraphBuilder> graph = NewGraph();
  ComPtr<SyntheticSource> source;
  ComPtr<RecordingSink> sink = MakeComObject<RecordingSink>();

  FilterChain(const SourceOptions& options, IBaseFilter* filter, IBaseFilter* after = nullptr)
      : source(MakeComObject<SyntheticSource>(options)) {
    graph->AddFilter(source.Get(), u"src");
    graph->AddFilter(filter, u"filter");
    if (after) graph->AddFilter(after, u"after");
    graph->AddFilter(sink.Get(), u"sink");
    IBaseFilter* last = after ? after : filter;
    connected = graph->Connect(PinOf(source.Get(), PINDIR_OUTPUT).Get(),
                               PinOf(filter, PINDIR_INPUT).Get()) == S_OK &&
                (!after || graph->Connect(PinOf(filter, PINDIR_OUTPUT).Get(),
                                          PinOf(after, PINDIR_INPUT).Get()) == S_OK) &&
                graph->Connect(PinOf(last, PINDIR_OUTPUT).Get(),
                               PinOf(sink.Get(), PINDIR_INPUT).Get()) == S_OK;
  }
  ~FilterChain() { Stop(); }
  bool Run() { return ComQuery<IMediaControl>(graph.Get())->Run() == S_OK; }
  void Stop() {
    if (graph) ComQuery<IMediaControl>(graph.Get())->Stop();
  }
  bool connected = false;
};
