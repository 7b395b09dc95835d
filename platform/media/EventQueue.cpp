#include "platform/media/EventQueue.h"

#include <chrono>

#include <QCoreApplication>
#include <QObject>
#include <QThread>
#include <QWidget>

#include "platform/media/UiThread.h"

EventQueue::EventQueue() : target_(std::make_shared<Target>()) {}

EventQueue::~EventQueue() {
  Clear();
  // Notifications still on their way find no window.
  std::lock_guard lock(target_->mutex);
  target_->window.clear();
}

void EventQueue::Add(long code, LONG_PTR param1, LONG_PTR param2) {
  {
    std::lock_guard lock(queueMutex_);
    if (flags_ & AM_MEDIAEVENT_NONOTIFY) {
      FreeParams(code, param1, param2);
      return;
    }
    events_.push_back({code, param1, param2});
  }
  arrived_.notify_all();
  // One notification per event, posted to the user-interface thread; the window is looked up
  // there, when the work runs, so a window destroyed meanwhile is never touched.
  std::shared_ptr<Target> target = target_;
  PostToUiThread([target] {
    QWidget* window = nullptr;
    long message = 0;
    LONG_PTR instanceData = 0;
    {
      std::lock_guard lock(target->mutex);
      window = target->window.data();
      message = target->message;
      instanceData = target->instanceData;
    }
    if (!window) return;
    GraphNotifyEvent notification(message, instanceData);
    QCoreApplication::sendEvent(window, &notification);
  });
}

HRESULT EventQueue::Get(long* code, LONG_PTR* param1, LONG_PTR* param2, long msTimeout) {
  if (!code || !param1 || !param2) return E_POINTER;
  std::unique_lock lock(queueMutex_);
  auto ready = [this] { return !events_.empty(); };
  if (msTimeout < 0)
    arrived_.wait(lock, ready);
  else if (msTimeout > 0)
    arrived_.wait_for(lock, std::chrono::milliseconds(msTimeout), ready);
  if (events_.empty()) {
    *code = 0;
    *param1 = *param2 = 0;
    return E_ABORT;
  }
  const Event e = events_.front();
  events_.pop_front();
  *code = e.code;
  *param1 = e.param1;
  *param2 = e.param2;
  return S_OK;
}

void EventQueue::SetNotifyWindow(OAHWND window, long message, LONG_PTR instanceData) {
  std::lock_guard lock(target_->mutex);
  target_->window = window;
  target_->message = message;
  target_->instanceData = instanceData;
}

void EventQueue::SetNotifyFlags(long flags) {
  std::deque<Event> dropped;
  {
    std::lock_guard lock(queueMutex_);
    flags_ = flags;
    if (flags & AM_MEDIAEVENT_NONOTIFY) dropped.swap(events_);
  }
  for (const Event& e : dropped) FreeParams(e.code, e.param1, e.param2);
}

long EventQueue::NotifyFlags() const {
  std::lock_guard lock(queueMutex_);
  return flags_;
}

void EventQueue::Clear() {
  std::deque<Event> dropped;
  {
    std::lock_guard lock(queueMutex_);
    dropped.swap(events_);
  }
  for (const Event& e : dropped) FreeParams(e.code, e.param1, e.param2);
}

bool EventQueue::IsDefaultHandled(long code) const {
  if (code != EC_COMPLETE && code != EC_REPAINT) return false;
  std::lock_guard lock(queueMutex_);
  return cancelled_.count(code) == 0;
}

HRESULT EventQueue::CancelDefaultHandling(long code) {
  if (code != EC_COMPLETE && code != EC_REPAINT) return S_FALSE;
  std::lock_guard lock(queueMutex_);
  cancelled_.insert(code);
  return S_OK;
}

HRESULT EventQueue::RestoreDefaultHandling(long code) {
  if (code != EC_COMPLETE && code != EC_REPAINT) return S_FALSE;
  std::lock_guard lock(queueMutex_);
  cancelled_.erase(code);
  return S_OK;
}

HRESULT EventQueue::FreeParams(long code, LONG_PTR param1, LONG_PTR param2) {
  if (code == EC_OLE_EVENT) {
    SysFreeString(reinterpret_cast<BSTR>(param1));
    SysFreeString(reinterpret_cast<BSTR>(param2));
  }
  return S_OK;
}
