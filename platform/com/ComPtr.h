// ComPtr: one counted reference to a component object.
#pragma once

#include <type_traits>
#include <utility>

#include "platform/com/Unknown.h"

// Copying shares (AddRef); Attach adopts a reference the caller already owns (no AddRef);
// Detach hands the reference back out. Thread: as the object; a ComPtr itself is not shared.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Shares p: takes a reference of its own.
  ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  // Shares an object held through a derived type (ComPtr<Impl> to ComPtr<IInterface>).
  template <class U>
  requires std::is_convertible_v<U*, T*> ComPtr(const ComPtr<U>& other)
      : ComPtr(static_cast<T*>(other.Get())) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& other) {
    ComPtr(other).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    ComPtr(std::move(other)).Swap(*this);
    return *this;
  }
  ComPtr& operator=(T* p) {
    ComPtr(p).Swap(*this);
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // Releases what is held and returns the slot for an out parameter (T** of a call).
  T** ReleaseAndGetAddressOf() {
    Reset();
    return &p_;
  }
  // For calls that take T** as input only; the slot must be empty when used as output.
  T** GetAddressOf() { return &p_; }
  // As ReleaseAndGetAddressOf, typed for QueryInterface-style void** out parameters.
  void** ReleaseAndGetVoidAddress() { return reinterpret_cast<void**>(ReleaseAndGetAddressOf()); }

  // Adopts p without AddRef (p's reference now belongs to this ComPtr).
  void Attach(T* p) {
    Reset();
    p_ = p;
  }
  // Gives up the reference without Release; the caller owns it.
  [[nodiscard]] T* Detach() { return std::exchange(p_, nullptr); }
  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  void Swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

  // Hands out a new reference through an out parameter.
  HRESULT CopyTo(T** out) const {
    if (!out) return E_POINTER;
    *out = p_;
    if (p_) p_->AddRef();
    return S_OK;
  }
  // Queries another interface of the same object.
  template <class U>
  HRESULT As(ComPtr<U>* out) const {
    if (!out) return E_POINTER;
    if (!p_) {
      out->Reset();
      return E_POINTER;
    }
    return p_->QueryInterface(IidOf<U>(), out->ReleaseAndGetVoidAddress());
  }

  friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.p_ == b.p_; }
  friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.p_ == nullptr; }

 private:
  T* p_ = nullptr;
};

// Creates an object whose constructor leaves one reference, and adopts that reference.
template <class Impl, class... Args>
ComPtr<Impl> MakeComObject(Args&&... args) {
  ComPtr<Impl> p;
  p.Attach(new Impl(std::forward<Args>(args)...));
  return p;
}

// Queries interface U of any object; empty on failure.
template <class U, class T>
ComPtr<U> ComQuery(T* object) {
  ComPtr<U> out;
  if (object) object->QueryInterface(IidOf<U>(), out.ReleaseAndGetVoidAddress());
  return out;
}
