// Event handler references: a method of a target object, comparable like a code-and-data pair.
#pragma once

#include <cstring>
#include <type_traits>

// A method pointer bound to its object, called as handler(args...). Two handlers compare equal
// when they are the same method of the same object, whatever copies were made of them.
// Thread: a plain value; calling it runs the method on the caller's thread.
template <typename... Args>
class TMethod {
 public:
  TMethod() = default;
  TMethod(std::nullptr_t) {}

  template <class C>
  TMethod(C* object, void (C::*method)(Args...)) : data_(object) {
    static_assert(sizeof method <= sizeof code_, "member pointer larger than expected");
    std::memcpy(code_, &method, sizeof method);
    invoke_ = &Invoke<C>;
  }

  explicit operator bool() const { return invoke_ != nullptr; }
  bool operator==(const TMethod& other) const {
    return invoke_ == other.invoke_ && data_ == other.data_ &&
           std::memcmp(code_, other.code_, sizeof code_) == 0;
  }

  // The target object (the handler's "data" half).
  void* Data() const { return data_; }

  void operator()(Args... args) const {
    if (invoke_) invoke_(data_, code_, static_cast<Args>(args)...);
  }

 private:
  template <class C>
  static void Invoke(void* object, const unsigned char* code, Args... args) {
    void (C::*method)(Args...);
    std::memcpy(&method, code, sizeof method);
    (static_cast<C*>(object)->*method)(static_cast<Args>(args)...);
  }

  void (*invoke_)(void*, const unsigned char*, Args...) = nullptr;
  void* data_ = nullptr;
  alignas(void*) unsigned char code_[2 * sizeof(void*)] = {};
};
