// Tests of the capture graph builder: FindPin, FindInterface and RenderStream.
#include "platform/media/CaptureGraphBuilder.h"

#include <gtest/gtest.h>

#include "TestFilters.h"
#include "TestSupport.h"
#include "platform/media/NullRenderer.h"

namespace {

SourceOptions Device(REFGUID category) {
  SourceOptions o;
  o.types = {MediaType::Video(MEDIASUBTYPE_RGB32, 32, 24, UNITS / 30)};
  o.category = category;
  o.frameIntervalMs = 2;
  return o;
}

struct Builder {
  ComPtr<IGraphBuilder> graph = NewGraph();
  ComPtr<ICaptureGraphBuilder2> builder;
  Builder() {
    CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                     IID_ICaptureGraphBuilder2, builder.ReleaseAndGetVoidAddress());
    builder->SetFiltergraph(graph.Get());
  }
  HRESULT Find(IUnknown* source, PIN_DIRECTION dir, const GUID* category, const GUID* type,
               BOOL unconnected, int index, ComPtr<IPin>* pin) {
    return builder->FindPin(source, dir, category, type, unconnected, index,
                            pin->ReleaseAndGetAddressOf());
  }
};

// Catches: FindPin matching the wrong category, so capture-only and preview-only devices pick no
// pin.
TEST(CaptureGraphBuilderFindPin, ByCategoryDirectionTypeAndIndex) {
  Builder b;
  ComPtr<SyntheticSource> captureOnly =
      MakeComObject<SyntheticSource>(Device(PIN_CATEGORY_CAPTURE));
  ComPtr<SyntheticSource> previewOnly =
      MakeComObject<SyntheticSource>(Device(PIN_CATEGORY_PREVIEW));
  ComPtr<SyntheticSource> noCategory = MakeComObject<SyntheticSource>(Device(GUID_NULL));
  IBaseFilter* cap = captureOnly.Get();
  IBaseFilter* pre = previewOnly.Get();
  ComPtr<IPin> pin;
  EXPECT_EQ(b.Find(cap, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, TRUE, 0, &pin),
            S_OK);
  EXPECT_EQ(b.Find(cap, PINDIR_OUTPUT, &PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, TRUE, 0, &pin),
            E_FAIL);
  EXPECT_FALSE(pin);
  EXPECT_EQ(b.Find(pre, PINDIR_OUTPUT, &PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, TRUE, 0, &pin),
            S_OK);
  EXPECT_EQ(b.Find(pre, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, nullptr, TRUE, 0, &pin), E_FAIL);
  EXPECT_EQ(b.Find(noCategory.Get(), PINDIR_OUTPUT, nullptr, &MEDIATYPE_Video, TRUE, 0, &pin),
            S_OK);
  EXPECT_EQ(b.Find(cap, PINDIR_OUTPUT, nullptr, &MEDIATYPE_Stream, TRUE, 0, &pin), E_FAIL);
  EXPECT_EQ(b.Find(cap, PINDIR_INPUT, nullptr, nullptr, FALSE, 0, &pin), E_FAIL);
  EXPECT_EQ(b.Find(cap, PINDIR_OUTPUT, nullptr, nullptr, FALSE, 1, &pin), E_FAIL);
  // A pin given as the source is tested itself.
  ComPtr<IPin> out = PinOf(cap, PINDIR_OUTPUT);
  EXPECT_EQ(b.Find(out.Get(), PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, nullptr, TRUE, 0, &pin), S_OK);
  EXPECT_EQ(pin.Get(), out.Get());
  // Connected pins are skipped when unconnected ones are asked for.
  ComPtr<NullRenderer> sink = MakeComObject<NullRenderer>();
  b.graph->AddFilter(cap, u"cap");
  b.graph->AddFilter(sink.Get(), u"sink");
  ASSERT_EQ(b.graph->ConnectDirect(out.Get(), PinOf(sink.Get(), PINDIR_INPUT).Get(), nullptr),
            S_OK);
  EXPECT_EQ(b.Find(cap, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, nullptr, TRUE, 0, &pin), E_FAIL);
  EXPECT_EQ(b.Find(cap, PINDIR_OUTPUT, &PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, FALSE, 0, &pin),
            S_OK);
}

// Catches: RenderStream failing where converters are needed, or adding a tee when a preview pin
// exists.
TEST(CaptureGraphBuilderRender, ToGivenRendererAndPreviewThroughSmartTee) {
  Builder b;
  ComPtr<SyntheticSource> previewDevice =
      MakeComObject<SyntheticSource>(Device(PIN_CATEGORY_PREVIEW));
  ComPtr<RecordingSink> sink = MakeComObject<RecordingSink>(std::vector<GUID>{MEDIASUBTYPE_RGB24});
  b.graph->AddFilter(previewDevice.Get(), u"dev");
  b.graph->AddFilter(sink.Get(), u"sink");
  EXPECT_EQ(
      b.builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video,
                              static_cast<IBaseFilter*>(previewDevice.Get()), nullptr, sink.Get()),
      S_OK);
  EXPECT_TRUE(HasClass(b.graph.Get(), CLSID_Colour));
  EXPECT_FALSE(HasClass(b.graph.Get(), CLSID_SmartTee));

  Builder c;
  ComPtr<SyntheticSource> captureDevice =
      MakeComObject<SyntheticSource>(Device(PIN_CATEGORY_CAPTURE));
  ComPtr<RecordingSink> sink2 = MakeComObject<RecordingSink>();
  c.graph->AddFilter(captureDevice.Get(), u"dev");
  c.graph->AddFilter(sink2.Get(), u"sink");
  EXPECT_EQ(
      c.builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video,
                              static_cast<IBaseFilter*>(captureDevice.Get()), nullptr, sink2.Get()),
      VFW_S_NOPREVIEWPIN);
  EXPECT_TRUE(HasClass(c.graph.Get(), CLSID_SmartTee));
  ComPtr<IMediaControl> control = ComQuery<IMediaControl>(c.graph.Get());
  ASSERT_EQ(control->Run(), S_OK);
  EXPECT_TRUE(PumpUntil([&] { return sink2->Count() >= 2; }));
  control->Stop();
  // Nothing left to render from: a defined failure.
  EXPECT_EQ(
      c.builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video,
                              static_cast<IBaseFilter*>(captureDevice.Get()), nullptr, sink2.Get()),
      E_FAIL);
}

// Catches: RenderStream not pulling in the crossbar wired to an analog input, pulling in one that
// is not wired to it, or adding a second one on the next call.
TEST(CaptureGraphBuilderRender, AddsUpstreamCrossbarByMedium) {
  FakeDeviceEnumRegistration devices({{u"Other Crossbar", TestMedium(99), REGPINMEDIUM{}},
                                      {u"Card Crossbar", TestMedium(7), REGPINMEDIUM{}}});
  Builder b;
  ComPtr<SyntheticSource> device = MakeComObject<SyntheticSource>(Device(PIN_CATEGORY_CAPTURE));
  InputPin* analog = device->AddAnalogInput(TestMedium(7));
  b.graph->AddFilter(device.Get(), u"0 TV Card");
  ComPtr<IPin> capture = PinOf(device.Get(), PINDIR_OUTPUT);
  // As the capture control does: render the pin alone, which ends in the default renderer.
  ASSERT_EQ(b.builder->RenderStream(nullptr, nullptr, capture.Get(), nullptr, nullptr), S_OK);
  ComPtr<IBaseFilter> crossbar;
  ASSERT_EQ(b.graph->FindFilterByName(u"Card Crossbar", crossbar.ReleaseAndGetAddressOf()), S_OK);
  ComPtr<IBaseFilter> other;
  EXPECT_EQ(b.graph->FindFilterByName(u"Other Crossbar", other.ReleaseAndGetAddressOf()),
            VFW_E_NOT_FOUND);
  EXPECT_TRUE(analog->IsConnected());
  EXPECT_TRUE(HasClass(b.graph.Get(), CLSID_VideoRenderer));
  // Found again upstream of the device, as the control looks for it.
  ComPtr<IAMCrossbar> xbar;
  EXPECT_EQ(b.builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, device.Get(), IID_IAMCrossbar,
                                     xbar.ReleaseAndGetVoidAddress()),
            S_OK);
  long outs = 0, ins = 0;
  ASSERT_TRUE(xbar);
  xbar->get_PinCounts(&outs, &ins);
  EXPECT_EQ(outs, 1);

  // Tear down what lies downstream of the pin, then render again: the crossbar is reused.
  ComPtr<IPin> rendererIn;
  capture->ConnectedTo(rendererIn.ReleaseAndGetAddressOf());
  PIN_INFO info{};
  rendererIn->QueryPinInfo(&info);
  b.graph->RemoveFilter(info.pFilter);
  info.pFilter->Release();
  const int binds = devices.BindCount();
  ASSERT_EQ(b.builder->RenderStream(nullptr, nullptr, capture.Get(), nullptr, nullptr), S_OK);
  EXPECT_EQ(devices.BindCount(), binds);
  int crossbars = 0;
  for (const CLSID& c : FilterClasses(b.graph.Get()))
    if (c == MakeGuid("{71F96460-78F3-11D0-A18C-00A0C9118956}")) ++crossbars;
  EXPECT_EQ(crossbars, 1);
}

// Catches: FindInterface missing interfaces on pins, downstream filters, or across a pin category.
TEST(CaptureGraphBuilderFindInterface, FilterPinsDownstreamUpstream) {
  Builder b;
  ComPtr<SyntheticSource> device = MakeComObject<SyntheticSource>(Device(PIN_CATEGORY_CAPTURE));
  ComPtr<NullRenderer> sink = MakeComObject<NullRenderer>();
  b.graph->AddFilter(device.Get(), u"dev");
  b.graph->AddFilter(sink.Get(), u"sink");
  ASSERT_EQ(b.builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video,
                                    static_cast<IBaseFilter*>(device.Get()), nullptr, sink.Get()),
            S_OK);
  ComPtr<IUnknown> found;
  // On a pin of the filter.
  EXPECT_EQ(b.builder->FindInterface(nullptr, nullptr, device.Get(), IID_IKsPropertySet,
                                     found.ReleaseAndGetVoidAddress()),
            S_OK);
  // Downstream: the renderer's quality interface.
  EXPECT_EQ(b.builder->FindInterface(nullptr, nullptr, device.Get(), IID_IQualProp,
                                     found.ReleaseAndGetVoidAddress()),
            S_OK);
  EXPECT_EQ(b.builder->FindInterface(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, device.Get(),
                                     IID_IQualProp, found.ReleaseAndGetVoidAddress()),
            S_OK);
  EXPECT_EQ(b.builder->FindInterface(&PIN_CATEGORY_PREVIEW, nullptr, device.Get(), IID_IQualProp,
                                     found.ReleaseAndGetVoidAddress()),
            E_NOINTERFACE);
  // Upstream only, from the renderer: the device's pin; not the renderer itself.
  EXPECT_EQ(b.builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, sink.Get(), IID_IKsPropertySet,
                                     found.ReleaseAndGetVoidAddress()),
            S_OK);
  EXPECT_EQ(b.builder->FindInterface(&LOOK_UPSTREAM_ONLY, nullptr, sink.Get(), IID_IQualProp,
                                     found.ReleaseAndGetVoidAddress()),
            E_NOINTERFACE);
  EXPECT_EQ(b.builder->FindInterface(&LOOK_DOWNSTREAM_ONLY, nullptr, sink.Get(), IID_IQualProp,
                                     found.ReleaseAndGetVoidAddress()),
            E_NOINTERFACE);
  EXPECT_EQ(b.builder->FindInterface(nullptr, nullptr, device.Get(), IID_IAMDroppedFrames,
                                     found.ReleaseAndGetVoidAddress()),
            E_NOINTERFACE);
  EXPECT_FALSE(found);
}

// Catches: a builder that silently switches graphs or has none to give out.
TEST(CaptureGraphBuilderGraph, OneGraphPerBuilder) {
  ComPtr<ICaptureGraphBuilder2> builder;
  ASSERT_EQ(CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                             IID_ICaptureGraphBuilder2, builder.ReleaseAndGetVoidAddress()),
            S_OK);
  ComPtr<IGraphBuilder> own;
  ASSERT_EQ(builder->GetFiltergraph(own.ReleaseAndGetAddressOf()), S_OK);
  ASSERT_TRUE(own);
  ComPtr<IGraphBuilder> other = NewGraph();
  EXPECT_EQ(builder->SetFiltergraph(other.Get()), E_UNEXPECTED);
  EXPECT_EQ(builder->SetFiltergraph(nullptr), E_POINTER);
}

}  // namespace
