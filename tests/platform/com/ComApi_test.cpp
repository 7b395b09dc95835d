// Tests of the runtime: thread initialisation, the class registry, task memory.
#include "platform/com/ComApi.h"

#include <thread>

#include <gtest/gtest.h>

#include "platform/com/ComPtr.h"

namespace {

struct IProbe : IUnknown {
  static constexpr IID kIid = MakeGuid("{5A0B5E61-7A2F-4C1E-8D6B-1E2F3A4B5C01}");
  using BaseInterface = IUnknown;
  virtual int Kind() = 0;
};

class Probe final : public IProbe, public UnknownImpl {
 public:
  explicit Probe(int kind) : kind_(kind) {}
  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (MatchInterface<IProbe>(this, iid, object)) return S_OK;
    return UnknownImpl::NonDelegatingQueryInterface(iid, object);
  }
  int Kind() override { return kind_; }

 private:
  int kind_;
};

constexpr CLSID kProbeClass = MakeGuid("{5A0B5E61-7A2F-4C1E-8D6B-1E2F3A4B5C02}");

ClassFactoryFunction ProbeFactory(int kind) {
  return [kind](REFIID iid, void** object) {
    ComPtr<Probe> p = MakeComObject<Probe>(kind);
    return p->QueryInterface(iid, object);
  };
}

class ComApiTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr))); }
  void TearDown() override { CoUninitialize(); }
};

// Catches: initialisation not counted per thread (a second thread sharing the first's count).
TEST(ComInit, CountsPerThread) {
  EXPECT_EQ(CoInitializeCount(), 0);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
  int otherThreadCount = -1;
  std::thread([&] { otherThreadCount = CoInitializeCount(); }).join();
  EXPECT_EQ(otherThreadCount, 0);
  CoUninitialize();
  EXPECT_EQ(CoInitializeCount(), 1);
  CoUninitialize();
  CoUninitialize();  // one too many: must not go negative
  EXPECT_EQ(CoInitializeCount(), 0);
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  CoUninitialize();
}

// Catches: objects created on a thread that never initialised (the platform refuses this).
TEST(ComInit, CreateRequiresInitialisation) {
  ScopedClassRegistration reg(kProbeClass, ProbeFactory(1));
  ComPtr<IProbe> probe;
  EXPECT_EQ(CoCreateInstance(kProbeClass, nullptr, CLSCTX_INPROC_SERVER, IProbe::kIid,
                             probe.ReleaseAndGetVoidAddress()),
            CO_E_NOTINITIALIZED);
  EXPECT_FALSE(probe);
}

// Catches: unknown classes, unsupported contexts or aggregation reported as success.
TEST_F(ComApiTest, CreateInstanceRefusals) {
  ComPtr<IProbe> probe;
  const CLSID unknown = MakeGuid("{5A0B5E61-7A2F-4C1E-8D6B-1E2F3A4B5CFF}");
  EXPECT_EQ(CoCreateInstance(unknown, nullptr, CLSCTX_ALL, IProbe::kIid,
                             probe.ReleaseAndGetVoidAddress()),
            REGDB_E_CLASSNOTREG);
  ScopedClassRegistration reg(kProbeClass, ProbeFactory(1));
  EXPECT_EQ(CoCreateInstance(kProbeClass, nullptr, CLSCTX_INPROC_HANDLER, IProbe::kIid,
                             probe.ReleaseAndGetVoidAddress()),
            REGDB_E_CLASSNOTREG);
  ComPtr<IProbe> outer = MakeComObject<Probe>(9);
  EXPECT_EQ(CoCreateInstance(kProbeClass, outer.Get(), CLSCTX_INPROC_SERVER, IProbe::kIid,
                             probe.ReleaseAndGetVoidAddress()),
            CLASS_E_NOAGGREGATION);
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(kProbeClass, nullptr, CLSCTX_INPROC_SERVER,
                             MakeGuid("{5A0B5E61-7A2F-4C1E-8D6B-1E2F3A4B5CFE}"), &none),
            E_NOINTERFACE);
  EXPECT_EQ(none, nullptr);
  // In process or local server (context 5), as the capture control asks.
  EXPECT_EQ(
      CoCreateInstance(kProbeClass, nullptr, 5, IProbe::kIid, probe.ReleaseAndGetVoidAddress()),
      S_OK);
  EXPECT_EQ(probe->Kind(), 1);
}

// Catches: a stand-in registration not shadowing the real class, or its revocation losing the real
// one.
TEST_F(ComApiTest, LaterRegistrationShadowsUntilRevoked) {
  ScopedClassRegistration real(kProbeClass, ProbeFactory(1));
  auto kindNow = [] {
    ComPtr<IProbe> probe;
    if (FAILED(CoCreateInstance(kProbeClass, nullptr, CLSCTX_INPROC_SERVER, IProbe::kIid,
                                probe.ReleaseAndGetVoidAddress())))
      return -1;
    return probe->Kind();
  };
  EXPECT_EQ(kindNow(), 1);
  {
    ScopedClassRegistration standIn(kProbeClass, ProbeFactory(2));
    EXPECT_EQ(kindNow(), 2);
  }
  EXPECT_EQ(kindNow(), 1);
  EXPECT_EQ(CoRevokeInprocClass(0), E_INVALIDARG);
}

// Catches: task memory helpers mishandling nullptr or cutting strings.
TEST(TaskMemory, AllocFreeAndStrings) {
  CoTaskMemFree(nullptr);
  void* block = CoTaskMemAlloc(0);
  EXPECT_NE(block, nullptr);
  block = CoTaskMemRealloc(block, 64);
  ASSERT_NE(block, nullptr);
  CoTaskMemFree(block);
  LPOLESTR s = CoTaskMemDupString(u"Frostwipe Demo Camera");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(OleStrLen(s), 21u);
  EXPECT_EQ(std::u16string(s), u"Frostwipe Demo Camera");
  CoTaskMemFree(s);
}

}  // namespace
