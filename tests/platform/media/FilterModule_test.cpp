// Tests of a filter module loaded with dlopen: it must share the program's process-wide tables
// and its filters must run in the program's graphs.
#include <cstring>
#include <dlfcn.h>

#include <gtest/gtest.h>

#include "TestFilters.h"
#include "TestSupport.h"
#include "platform/com/ComApi.h"

namespace {

using CreateFilterFn = HRESULT (*)(IBaseFilter**);
using ModuleCreateInstanceFn = HRESULT (*)(const CLSID*, const IID*, void**);
using ModuleCountFn = int (*)();
using ModuleIidFn = const IID* (*)();

constexpr CLSID kClsidProgramOnly = MakeGuid("{8E1D2C4B-7A60-4F3E-B1D9-0C5A3E7F2B16}");

// The test module, loaded for one test and unloaded after it.
class LoadedModule {
 public:
  LoadedModule() : handle_(dlopen(FROSTWIPE_TEST_FILTER_MODULE, RTLD_NOW | RTLD_LOCAL)) {}
  ~LoadedModule() {
    if (handle_) dlclose(handle_);
  }
  bool Loaded() const { return handle_ != nullptr; }
  template <class Fn>
  Fn Find(const char* name) const {
    return reinterpret_cast<Fn>(dlsym(handle_, name));
  }

 private:
  void* handle_;
};

// A class only the program registers: a recording sink, remembered for identity checks.
IBaseFilter* gLastProgramSink = nullptr;
HRESULT MakeProgramSink(REFIID iid, void** object) {
  ComPtr<RecordingSink> sink = MakeComObject<RecordingSink>();
  gLastProgramSink = sink.Get();
  return sink->QueryInterface(iid, object);
}

}  // namespace

// Catches: the module carrying its own copy of the class registry, the per-thread initialisation
// counts or interface identities, so that classes registered by the program are unknown to it.
TEST(FilterModule, SharesProcessWideTables) {
  LoadedModule module;
  ASSERT_TRUE(module.Loaded()) << dlerror();
  auto createInstance = module.Find<ModuleCreateInstanceFn>("ModuleCreateInstance");
  auto initCount = module.Find<ModuleCountFn>("ModuleCoInitializeCount");
  auto iidOfBaseFilter = module.Find<ModuleIidFn>("ModuleIidOfBaseFilter");
  ASSERT_TRUE(createInstance && initCount && iidOfBaseFilter);

  EXPECT_EQ(initCount(), CoInitializeCount());
  CoInitialize(nullptr);
  EXPECT_EQ(initCount(), CoInitializeCount()) << "initialisation made in the program";
  CoUninitialize();

  ScopedClassRegistration registration(kClsidProgramOnly, MakeProgramSink);
  ComPtr<IBaseFilter> fromModule;
  ASSERT_EQ(
      createInstance(&kClsidProgramOnly, &IID_IBaseFilter, fromModule.ReleaseAndGetVoidAddress()),
      S_OK);
  EXPECT_EQ(fromModule.Get(), gLastProgramSink) << "the module created another object";

  EXPECT_EQ(*iidOfBaseFilter(), IID_IBaseFilter);
}

// Catches: a filter made by the module failing to connect or stream between the program's own
// filters (base classes or sample pools differing across the module boundary).
TEST(FilterModule, ModuleTransformStreamsInProgramGraph) {
  LoadedModule module;
  ASSERT_TRUE(module.Loaded()) << dlerror();
  auto create = module.Find<CreateFilterFn>("CreateInvertTransformInstance");
  ASSERT_TRUE(create);
  {
    ComPtr<IBaseFilter> transform;
    ASSERT_EQ(create(transform.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IUnknown> identity = ComQuery<IUnknown>(transform.Get());
    EXPECT_TRUE(identity) << "IID_IUnknown of the program not answered by the module's filter";

    SourceOptions options;
    options.types = {MediaType::Video(MEDIASUBTYPE_RGB32, 16, 8, UNITS / 30)};
    options.frameIntervalMs = 2;
    options.fill = [](const AM_MEDIA_TYPE&, BYTE* data, long bytes, long) {
      std::memset(data, 0x0F, static_cast<std::size_t>(bytes));
    };
    ComPtr<IGraphBuilder> graph = NewGraph();
    ComPtr<SyntheticSource> source = MakeComObject<SyntheticSource>(options);
    ComPtr<RecordingSink> sink = MakeComObject<RecordingSink>();
    graph->AddFilter(source.Get(), u"src");
    graph->AddFilter(transform.Get(), u"invert");
    graph->AddFilter(sink.Get(), u"sink");
    ASSERT_EQ(graph->ConnectDirect(PinOf(source.Get(), PINDIR_OUTPUT).Get(),
                                   PinOf(transform.Get(), PINDIR_INPUT).Get(), nullptr),
              S_OK);
    ASSERT_EQ(graph->ConnectDirect(PinOf(transform.Get(), PINDIR_OUTPUT).Get(),
                                   PinOf(sink.Get(), PINDIR_INPUT).Get(), nullptr),
              S_OK);
    ComPtr<IMediaControl> control = ComQuery<IMediaControl>(graph.Get());
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_TRUE(PumpUntil([&] { return sink->Count() >= 5; }));
    EXPECT_EQ(control->Stop(), S_OK);
    const std::vector<BYTE> last = sink->LastFrame();
    ASSERT_EQ(last.size(), 16u * 8u * 4u);
    EXPECT_EQ(last.front(), 0xF0);
    EXPECT_EQ(last.back(), 0xF0);
    graph->RemoveFilter(transform.Get());
  }
  // Every object of the module is gone before it unloads (the scope above).
}
