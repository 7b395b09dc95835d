// Tests of the filter graph: membership, names, and connections with and without converters.
#include "platform/media/FilterGraph.h"

#include <gtest/gtest.h>

#include "TestFilters.h"
#include "TestSupport.h"

namespace {

SourceOptions OneType(REFGUID subtype, int w = 320, int h = 240) {
  SourceOptions o;
  o.types = {MediaType::Video(subtype, w, h, UNITS / 30)};
  return o;
}

// Catches: duplicate names accepted silently, lookups by name failing, removal leaving a filter.
TEST(FilterGraphMembers, AddFindRemove) {
  ComPtr<IGraphBuilder> graph = NewGraph();
  ASSERT_TRUE(graph);
  ComPtr<RecordingSink> a = MakeComObject<RecordingSink>();
  ComPtr<RecordingSink> b = MakeComObject<RecordingSink>();
  EXPECT_EQ(graph->AddFilter(a.Get(), u"rndr"), S_OK);
  EXPECT_EQ(graph->AddFilter(b.Get(), u"rndr"), VFW_S_DUPLICATE_NAME);
  EXPECT_EQ(graph->AddFilter(a.Get(), u"again"), VFW_E_DUPLICATE_NAME);
  ComPtr<IBaseFilter> found;
  ASSERT_EQ(graph->FindFilterByName(u"rndr", found.ReleaseAndGetAddressOf()), S_OK);
  EXPECT_EQ(found.Get(), static_cast<IBaseFilter*>(a.Get()));
  FILTER_INFO info{};
  b->QueryFilterInfo(&info);
  EXPECT_EQ(std::u16string(info.achName), u"rndr 0001");
  EXPECT_EQ(info.pGraph, static_cast<IFilterGraph*>(graph.Get()));
  info.pGraph->Release();
  EXPECT_EQ(graph->FindFilterByName(u"nothing", found.ReleaseAndGetAddressOf()), VFW_E_NOT_FOUND);
  EXPECT_EQ(graph->RemoveFilter(a.Get()), S_OK);
  EXPECT_EQ(graph->RemoveFilter(a.Get()), VFW_E_NOT_FOUND);
  EXPECT_EQ(FilterClasses(graph.Get()).size(), 1u);
  EXPECT_EQ(a->Graph(), nullptr);
}

// Catches: ConnectDirect joining pins of filters outside the graph or inserting anything.
TEST(FilterGraphConnect, DirectNeedsBothInGraphAndMatchingTypes) {
  ComPtr<IGraphBuilder> graph = NewGraph();
  ComPtr<SyntheticSource> source = MakeComObject<SyntheticSource>(OneType(MEDIASUBTYPE_YUY2));
  ComPtr<RecordingSink> rgbSink =
      MakeComObject<RecordingSink>(std::vector<GUID>{MEDIASUBTYPE_RGB32});
  graph->AddFilter(source.Get(), u"src");
  ComPtr<IPin> out = PinOf(source.Get(), PINDIR_OUTPUT);
  ComPtr<IPin> in = PinOf(rgbSink.Get(), PINDIR_INPUT);
  EXPECT_EQ(graph->ConnectDirect(out.Get(), in.Get(), nullptr), VFW_E_NOT_IN_GRAPH);
  graph->AddFilter(rgbSink.Get(), u"sink");
  EXPECT_EQ(graph->ConnectDirect(in.Get(), out.Get(), nullptr), VFW_E_INVALID_DIRECTION);
  EXPECT_TRUE(FAILED(graph->ConnectDirect(out.Get(), in.Get(), nullptr)));
  EXPECT_EQ(FilterClasses(graph.Get()).size(), 2u);
}

struct ConverterCase {
  const char* name;
  GUID sourceSubtype;
  GUID sinkSubtype;
  std::vector<CLSID> inserted;  // converters expected in the graph afterwards
};

class ConnectThroughConverters : public testing::TestWithParam<ConverterCase> {};

// Catches: Connect failing where a converter would do, inserting the wrong one, or inserting
// one where a direct connection works.
TEST_P(ConnectThroughConverters, InsertsWhatIsNeeded) {
  const ConverterCase& c = GetParam();
  ComPtr<IGraphBuilder> graph = NewGraph();
  ComPtr<SyntheticSource> source = MakeComObject<SyntheticSource>(OneType(c.sourceSubtype));
  ComPtr<RecordingSink> sink = MakeComObject<RecordingSink>(std::vector<GUID>{c.sinkSubtype});
  graph->AddFilter(source.Get(), u"src");
  graph->AddFilter(sink.Get(), u"sink");
  ASSERT_EQ(graph->Connect(PinOf(source.Get(), PINDIR_OUTPUT).Get(),
                           PinOf(sink.Get(), PINDIR_INPUT).Get()),
            S_OK);
  const std::vector<CLSID> classes = FilterClasses(graph.Get());
  EXPECT_EQ(classes.size(), 2 + c.inserted.size());
  for (const CLSID& converter : c.inserted)
    EXPECT_TRUE(HasClass(graph.Get(), converter)) << GuidToString(converter);
  MediaType mt;
  ASSERT_EQ(PinOf(sink.Get(), PINDIR_INPUT)->ConnectionMediaType(mt.Get()), S_OK);
  EXPECT_TRUE(mt->subtype == c.sinkSubtype);
  EXPECT_EQ(mt.Width(), 320);
  EXPECT_EQ(mt.Height(), 240);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConnectThroughConverters,
    testing::Values(
        ConverterCase{"Rgb32Direct", MEDIASUBTYPE_RGB32, MEDIASUBTYPE_RGB32, {}},
        ConverterCase{"Yuy2ToRgb32", MEDIASUBTYPE_YUY2, MEDIASUBTYPE_RGB32, {CLSID_Colour}},
        ConverterCase{"UyvyToRgb24", MEDIASUBTYPE_UYVY, MEDIASUBTYPE_RGB24, {CLSID_Colour}},
        ConverterCase{"I420ToRgb565", MEDIASUBTYPE_I420, MEDIASUBTYPE_RGB565, {CLSID_Colour}},
        ConverterCase{"Nv12ToRgb555", MEDIASUBTYPE_NV12, MEDIASUBTYPE_RGB555, {CLSID_Colour}},
        ConverterCase{"Rgb24ToRgb32", MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB32, {CLSID_Colour}},
        ConverterCase{"MjpgToRgb24", MEDIASUBTYPE_MJPG, MEDIASUBTYPE_RGB24, {CLSID_MjpegDec}},
        ConverterCase{"MjpgToRgb565",
                      MEDIASUBTYPE_MJPG,
                      MEDIASUBTYPE_RGB565,
                      {CLSID_MjpegDec, CLSID_Colour}}),
    [](const testing::TestParamInfo<ConverterCase>& info) { return info.param.name; });

// Catches: a failed Connect leaving half-inserted converters behind.
TEST(FilterGraphConnect, FailureLeavesGraphAsItWas) {
  ComPtr<IGraphBuilder> graph = NewGraph();
  ComPtr<SyntheticSource> source = MakeComObject<SyntheticSource>(OneType(MEDIASUBTYPE_dvsd));
  ComPtr<RecordingSink> sink = MakeComObject<RecordingSink>(std::vector<GUID>{MEDIASUBTYPE_RGB32});
  graph->AddFilter(source.Get(), u"src");
  graph->AddFilter(sink.Get(), u"sink");
  EXPECT_EQ(graph->Connect(PinOf(source.Get(), PINDIR_OUTPUT).Get(),
                           PinOf(sink.Get(), PINDIR_INPUT).Get()),
            VFW_E_CANNOT_CONNECT);
  EXPECT_EQ(FilterClasses(graph.Get()).size(), 2u);
  ComPtr<IPin> peer;
  EXPECT_EQ(PinOf(source.Get(), PINDIR_OUTPUT)->ConnectedTo(peer.ReleaseAndGetAddressOf()),
            VFW_E_NOT_CONNECTED);
}

// Catches: Render ending a video pin anywhere but in a video renderer, or rendering twice.
TEST(FilterGraphConnect, RenderAddsVideoRendererThroughConverter) {
  ComPtr<IGraphBuilder> graph = NewGraph();
  ComPtr<SyntheticSource> source = MakeComObject<SyntheticSource>(OneType(MEDIASUBTYPE_YUY2));
  graph->AddFilter(source.Get(), u"src");
  ComPtr<IPin> out = PinOf(source.Get(), PINDIR_OUTPUT);
  ASSERT_EQ(graph->Render(out.Get()), S_OK);
  EXPECT_TRUE(HasClass(graph.Get(), CLSID_VideoRenderer));
  EXPECT_TRUE(HasClass(graph.Get(), CLSID_Colour));
  EXPECT_EQ(graph->Render(out.Get()), VFW_E_ALREADY_CONNECTED);
}

// Catches: the graph answering only some of the interfaces the capture control queries.
TEST(FilterGraphMembers, AnswersControlInterfaces) {
  ComPtr<IGraphBuilder> graph = NewGraph();
  EXPECT_TRUE(ComQuery<IFilterGraph2>(graph.Get()));
  EXPECT_TRUE(ComQuery<IMediaControl>(graph.Get()));
  EXPECT_TRUE(ComQuery<IMediaEventEx>(graph.Get()));
  EXPECT_TRUE(ComQuery<IMediaEvent>(graph.Get()));
  EXPECT_TRUE(ComQuery<IMediaFilter>(graph.Get()));
  ComPtr<IVideoWindow> window = ComQuery<IVideoWindow>(graph.Get());
  ASSERT_TRUE(window);
  // Identity: the video window part answers the graph's IUnknown.
  EXPECT_EQ(ComQuery<IUnknown>(window.Get()).Get(), ComQuery<IUnknown>(graph.Get()).Get());
  // Without a renderer there is no window to talk to.
  EXPECT_EQ(window->put_AutoShow(OAFALSE), E_NOINTERFACE);
  ComPtr<IMediaFilter> mf = ComQuery<IMediaFilter>(graph.Get());
  ComPtr<IReferenceClock> clock;
  EXPECT_EQ(ComQuery<IFilterGraph>(graph.Get())->SetDefaultSyncSource(), S_OK);
  ASSERT_EQ(mf->GetSyncSource(clock.ReleaseAndGetAddressOf()), S_OK);
  ASSERT_TRUE(clock);
  REFERENCE_TIME t1 = 0, t2 = 0;
  clock->GetTime(&t1);
  clock->GetTime(&t2);
  EXPECT_GE(t2, t1);
}

}  // namespace
