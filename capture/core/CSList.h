// TCSList: a list of pointers guarded by its own lock, walkable step by step.
#pragma once

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

// Thread: any. Each operation holds the lock (a recursive mutex, like a critical section) for its
// own step only; a taker brackets its removal with LockList/UnlockList. The list does not own
// its items. A walk is not atomic: items added behind the cursor are visited, an item removed
// before the cursor shifts the rest.
template <class T>
class TCSList {
 public:
  T* WalkFirst(int& cursor) {
    std::lock_guard lock(mutex_);
    cursor = 0;
    if (items_.empty()) return nullptr;
    cursor = 1;
    return items_[0];
  }

  T* WalkNext(int& cursor) {
    std::lock_guard lock(mutex_);
    if (cursor < 0 || cursor >= static_cast<int>(items_.size())) return nullptr;
    return items_[cursor++];
  }

  void LockList() { mutex_.lock(); }
  void UnlockList() { mutex_.unlock(); }

  int Add(T* item) {
    std::lock_guard lock(mutex_);
    items_.push_back(item);
    count_.store(static_cast<int>(items_.size()), std::memory_order_release);
    return static_cast<int>(items_.size()) - 1;
  }

  // Removes the first occurrence; returns its former index, or -1.
  int Remove(T* item) {
    std::lock_guard lock(mutex_);
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end()) return -1;
    const int index = static_cast<int>(it - items_.begin());
    items_.erase(it);
    count_.store(static_cast<int>(items_.size()), std::memory_order_release);
    return index;
  }

  // Takes the first item out, or nullptr when empty.
  T* TakeFirst() {
    std::lock_guard lock(mutex_);
    if (items_.empty()) return nullptr;
    T* item = items_.front();
    items_.erase(items_.begin());
    count_.store(static_cast<int>(items_.size()), std::memory_order_release);
    return item;
  }

  // Takes every item out, in order.
  std::vector<T*> TakeAll() {
    std::lock_guard lock(mutex_);
    std::vector<T*> all;
    all.swap(items_);
    count_.store(0, std::memory_order_release);
    return all;
  }

  // Read without the lock, as a hint for "is there work".
  int Count() const { return count_.load(std::memory_order_acquire); }

 private:
  std::recursive_mutex mutex_;  // guards items_
  std::vector<T*> items_;
  std::atomic<int> count_{0};
};
