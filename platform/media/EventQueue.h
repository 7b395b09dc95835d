// Graph events: a queue read with GetEvent, and the notification posted to a window per event.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <set>

#include <QPointer>

#include "platform/media/ControlInterfaces.h"

class QObject;

// Thread: Add from any thread (streaming threads report there); Get and the settings from the
// control thread, which may be the user-interface thread or a worker. queueMutex_ guards the
// queue and settings; it is released before a notification is posted. Notifications reach the
// window on the user-interface thread.
class EventQueue {
 public:
  EventQueue();
  ~EventQueue();
  EventQueue(const EventQueue&) = delete;
  EventQueue& operator=(const EventQueue&) = delete;

  // Queues an event and posts one notification if a window is set; dropped with NONOTIFY.
  void Add(long code, LONG_PTR param1, LONG_PTR param2);
  // E_ABORT if no event arrives within msTimeout (negative: wait without limit).
  HRESULT Get(long* code, LONG_PTR* param1, LONG_PTR* param2, long msTimeout);
  void SetNotifyWindow(OAHWND window, long message, LONG_PTR instanceData);
  // AM_MEDIAEVENT_NONOTIFY empties the queue and stops queueing and posting until cleared.
  void SetNotifyFlags(long flags);
  long NotifyFlags() const;
  void Clear();

  // Default handling: the graph consumes these codes itself unless the application cancelled it.
  bool IsDefaultHandled(long code) const;
  HRESULT CancelDefaultHandling(long code);
  HRESULT RestoreDefaultHandling(long code);

  static HRESULT FreeParams(long code, LONG_PTR param1, LONG_PTR param2);

 private:
  struct Event {
    long code;
    LONG_PTR param1;
    LONG_PTR param2;
  };
  // Where notifications go; shared with posted calls so they never outlive what they read.
  struct Target {
    std::mutex mutex;  // guards the fields
    QPointer<QWidget> window;
    long message = 0;
    LONG_PTR instanceData = 0;
  };

  mutable std::mutex queueMutex_;  // guards events_, flags_, cancelled_
  std::condition_variable arrived_;
  std::deque<Event> events_;
  long flags_ = 0;
  std::set<long> cancelled_;
  std::shared_ptr<Target> target_;
};
