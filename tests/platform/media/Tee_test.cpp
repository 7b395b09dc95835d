// Tests of the tees: every branch gets the samples; outputs appear and carry categories.
#include "platform/media/Tee.h"

#include <gtest/gtest.h>

#include "TestFilters.h"
#include "TestSupport.h"

namespace {

SourceOptions Rgb32Source() {
  SourceOptions o;
  o.types = {MediaType::Video(MEDIASUBTYPE_RGB32, 16, 8, UNITS / 30)};
  o.frameIntervalMs = 1;
  return o;
}

// Catches: the infinite tee running out of free outputs, or feeding only one branch.
TEST(InfTee, GrowsOutputsAndFeedsAllBranches) {
  ComPtr<IGraphBuilder> graph = NewGraph();
  ComPtr<SyntheticSource> source = MakeComObject<SyntheticSource>(Rgb32Source());
  ComPtr<IBaseFilter> tee;
  ASSERT_EQ(CoCreateInstance(CLSID_InfTee, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                             tee.ReleaseAndGetVoidAddress()),
            S_OK);
  ComPtr<RecordingSink> a = MakeComObject<RecordingSink>();
  ComPtr<RecordingSink> b = MakeComObject<RecordingSink>();
  for (IBaseFilter* f : {static_cast<IBaseFilter*>(source.Get()), tee.Get(),
                         static_cast<IBaseFilter*>(a.Get()), static_cast<IBaseFilter*>(b.Get())})
    graph->AddFilter(f, nullptr);
  // An output cannot connect before the input has a type.
  EXPECT_TRUE(FAILED(graph->ConnectDirect(PinOf(tee.Get(), PINDIR_OUTPUT).Get(),
                                          PinOf(a.Get(), PINDIR_INPUT).Get(), nullptr)));
  ASSERT_EQ(graph->ConnectDirect(PinOf(source.Get(), PINDIR_OUTPUT).Get(),
                                 PinOf(tee.Get(), PINDIR_INPUT).Get(), nullptr),
            S_OK);
  ASSERT_EQ(graph->ConnectDirect(PinOf(tee.Get(), PINDIR_OUTPUT, 0).Get(),
                                 PinOf(a.Get(), PINDIR_INPUT).Get(), nullptr),
            S_OK);
  ComPtr<IPin> second = PinOf(tee.Get(), PINDIR_OUTPUT, 1);
  ASSERT_TRUE(second) << "no spare output after the first was connected";
  ASSERT_EQ(graph->ConnectDirect(second.Get(), PinOf(b.Get(), PINDIR_INPUT).Get(), nullptr), S_OK);
  EXPECT_TRUE(PinOf(tee.Get(), PINDIR_OUTPUT, 2));
  ComPtr<IMediaControl> control = ComQuery<IMediaControl>(graph.Get());
  ASSERT_EQ(control->Run(), S_OK);
  EXPECT_TRUE(PumpUntil([&] { return a->Count() >= 3 && b->Count() >= 3; }));
  control->Stop();
}

// Catches: a smart tee whose outputs lack their categories, or a branch left without samples.
TEST(SmartTee, CaptureAndPreviewOutputs) {
  ComPtr<SmartTee> tee = MakeComObject<SmartTee>();
  ComPtr<ICaptureGraphBuilder2> builder;
  ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                             IID_ICaptureGraphBuilder2, builder.ReleaseAndGetVoidAddress()),
            S_OK);
  ComPtr<IPin> preview, capture;
  EXPECT_EQ(
      builder->FindPin(static_cast<IBaseFilter*>(tee.Get()), PINDIR_OUTPUT, &PIN_CATEGORY_PREVIEW,
                       nullptr, FALSE, 0, preview.ReleaseAndGetAddressOf()),
      S_OK);
  EXPECT_EQ(
      builder->FindPin(static_cast<IBaseFilter*>(tee.Get()), PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE,
                       nullptr, FALSE, 0, capture.ReleaseAndGetAddressOf()),
      S_OK);
  EXPECT_NE(preview.Get(), capture.Get());

  ComPtr<IGraphBuilder> graph = NewGraph();
  ComPtr<SyntheticSource> source = MakeComObject<SyntheticSource>(Rgb32Source());
  ComPtr<RecordingSink> cap = MakeComObject<RecordingSink>();
  ComPtr<RecordingSink> pre = MakeComObject<RecordingSink>();
  for (IBaseFilter* f :
       {static_cast<IBaseFilter*>(source.Get()), static_cast<IBaseFilter*>(tee.Get()),
        static_cast<IBaseFilter*>(cap.Get()), static_cast<IBaseFilter*>(pre.Get())})
    graph->AddFilter(f, nullptr);
  ASSERT_EQ(graph->Connect(PinOf(source.Get(), PINDIR_OUTPUT).Get(), tee->Input()), S_OK);
  ASSERT_EQ(graph->Connect(capture.Get(), PinOf(cap.Get(), PINDIR_INPUT).Get()), S_OK);
  ASSERT_EQ(graph->Connect(preview.Get(), PinOf(pre.Get(), PINDIR_INPUT).Get()), S_OK);
  ComPtr<IMediaControl> control = ComQuery<IMediaControl>(graph.Get());
  ASSERT_EQ(control->Run(), S_OK);
  EXPECT_TRUE(PumpUntil([&] { return cap->Count() >= 3 && pre->Count() >= 3; }));
  control->Stop();
  EXPECT_EQ(pre->LastFrame().size(), cap->LastFrame().size());
}

}  // namespace
