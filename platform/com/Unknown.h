// IUnknown, interface identities, and the shared reference count of objects implementing them.
#pragma once

#include <atomic>
#include <type_traits>

#include "platform/com/Guid.h"
#include "platform/com/Result.h"

// Every interface is an abstract class derived from IUnknown. It names its identity as kIid and
// the interface it extends as BaseInterface, so that lookups can answer for the whole chain.
struct IUnknown {
  static constexpr IID kIid = MakeGuid("{00000000-0000-0000-C000-000000000046}");
  using BaseInterface = void;

  virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};
inline constexpr const IID& IID_IUnknown = IUnknown::kIid;

template <class I>
constexpr const IID& IidOf() {
  return I::kIid;
}

// Answers iid if it names I or one of the interfaces I extends; *object gets an added reference.
template <class I>
bool MatchInterface(I* self, REFIID iid, void** object) {
  if (iid == I::kIid) {
    self->AddRef();
    *object = self;
    return true;
  }
  if constexpr (!std::is_void_v<typename I::BaseInterface>)
    return MatchInterface<typename I::BaseInterface>(self, iid, object);
  else
    return false;
}

// Reference count and interface lookup for objects that implement one or more interfaces.
// A part object (a pin of a filter) passes its owner: its references then count on the owner,
// so the part lives exactly as long as the whole. Thread: any; the count is atomic.
class UnknownImpl {
 public:
  explicit UnknownImpl(UnknownImpl* owner = nullptr) : owner_(owner) {}
  UnknownImpl(const UnknownImpl&) = delete;
  UnknownImpl& operator=(const UnknownImpl&) = delete;

  // Answers the interfaces of the concrete object. Overrides handle their own interfaces and
  // call the base for the rest; the base answers nothing, so *object is set to nullptr.
  virtual HRESULT NonDelegatingQueryInterface(REFIID iid, void** object);

  ULONG AddRefImpl();
  ULONG ReleaseImpl();
  // References currently held (for tests and for recycling objects nobody else holds).
  ULONG RefCount() const;

 protected:
  virtual ~UnknownImpl() = default;

 private:
  UnknownImpl* owner_;
  std::atomic<ULONG> refs_{1};  // a new object starts with the creator's reference
};

// The three IUnknown members of a class deriving from UnknownImpl and one or more interfaces.
#define COM_DECLARE_IUNKNOWN                                   \
  HRESULT QueryInterface(REFIID iid, void** object) override { \
    return NonDelegatingQueryInterface(iid, object);           \
  }                                                            \
  ULONG AddRef() override {                                    \
    return AddRefImpl();                                       \
  }                                                            \
  ULONG Release() override {                                   \
    return ReleaseImpl();                                      \
  }
