// Tests of reference counting: ComPtr ownership and UnknownImpl lifetime.
#include "platform/com/ComPtr.h"

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct ICounter : IUnknown {
  static constexpr IID kIid = MakeGuid("{7C1D0C2E-1B5B-4B6D-9C44-2B7E7F6E0A01}");
  using BaseInterface = IUnknown;
  virtual int Value() = 0;
};

struct INamed : IUnknown {
  static constexpr IID kIid = MakeGuid("{7C1D0C2E-1B5B-4B6D-9C44-2B7E7F6E0A02}");
  using BaseInterface = IUnknown;
  virtual const char* Name() = 0;
};

class Counter final : public ICounter, public INamed, public UnknownImpl {
 public:
  explicit Counter(std::atomic<int>* destroyed) : destroyed_(destroyed) {}
  ~Counter() override { destroyed_->fetch_add(1); }
  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    if (MatchInterface<ICounter>(this, iid, object)) return S_OK;
    if (MatchInterface<INamed>(this, iid, object)) return S_OK;
    return UnknownImpl::NonDelegatingQueryInterface(iid, object);
  }
  int Value() override { return 42; }
  const char* Name() override { return "counter"; }

 private:
  std::atomic<int>* destroyed_;
};

// Catches: Attach adding a reference (a leak) or copies not adding one (a double free).
TEST(ComPtr, AttachAdoptsAndCopyShares) {
  std::atomic<int> destroyed{0};
  auto* raw = new Counter(&destroyed);  // one reference, owned by the code below
  {
    ComPtr<ICounter> a;
    a.Attach(raw);
    EXPECT_EQ(raw->RefCount(), 1u);
    ComPtr<ICounter> b = a;
    EXPECT_EQ(raw->RefCount(), 2u);
    ComPtr<ICounter> c = std::move(b);
    EXPECT_EQ(raw->RefCount(), 2u);
    EXPECT_FALSE(b);
    c.Reset();
    EXPECT_EQ(raw->RefCount(), 1u);
    EXPECT_EQ(destroyed.load(), 0);
  }
  EXPECT_EQ(destroyed.load(), 1);
}

// Catches: Detach releasing the object, or CopyTo handing out a reference it does not count.
TEST(ComPtr, DetachAndCopyToTransferOwnership) {
  std::atomic<int> destroyed{0};
  ComPtr<Counter> p = MakeComObject<Counter>(&destroyed);
  ICounter* out = nullptr;
  ASSERT_EQ(ComPtr<ICounter>(p).CopyTo(&out), S_OK);
  EXPECT_EQ(p->RefCount(), 2u);
  Counter* detached = p.Detach();
  EXPECT_EQ(detached->RefCount(), 2u);
  out->Release();
  EXPECT_EQ(destroyed.load(), 0);
  detached->Release();
  EXPECT_EQ(destroyed.load(), 1);
}

// Catches: QueryInterface answering unknown interfaces, or answering IUnknown inconsistently.
TEST(ComPtr, QueryInterfaceIdentityAndRefusal) {
  std::atomic<int> destroyed{0};
  ComPtr<Counter> p = MakeComObject<Counter>(&destroyed);
  ComPtr<INamed> named;
  ASSERT_EQ(ComPtr<ICounter>(p).As(&named), S_OK);
  EXPECT_STREQ(named->Name(), "counter");
  ComPtr<IUnknown> u1 = ComQuery<IUnknown>(static_cast<ICounter*>(p.Get()));
  ComPtr<IUnknown> u2 = ComQuery<IUnknown>(named.Get());
  EXPECT_EQ(u1.Get(), u2.Get());
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(p->QueryInterface(MakeGuid("{7C1D0C2E-1B5B-4B6D-9C44-2B7E7F6E0A03}"), &other),
            E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(p->RefCount(), 4u);  // p, named, u1, u2
}

// Catches: a reference count that is not atomic (lost updates free the object early or never).
TEST(ComPtr, ConcurrentCopiesKeepCountExact) {
  std::atomic<int> destroyed{0};
  ComPtr<Counter> p = MakeComObject<Counter>(&destroyed);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        ComPtr<Counter> copy = p;
        ComPtr<Counter> again = copy;
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(p->RefCount(), 1u);
  p.Reset();
  EXPECT_EQ(destroyed.load(), 1);
}

// Catches: self-assignment releasing the only reference.
TEST(ComPtr, SelfAssignmentKeepsObject) {
  std::atomic<int> destroyed{0};
  ComPtr<Counter> p = MakeComObject<Counter>(&destroyed);
  ComPtr<Counter>& alias = p;
  p = alias;
  EXPECT_EQ(destroyed.load(), 0);
  EXPECT_EQ(p->RefCount(), 1u);
}

}  // namespace
