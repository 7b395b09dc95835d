#include "platform/media/UiThread.h"

#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

#include <QCoreApplication>
#include <QThread>

bool IsUiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return !app || QThread::currentThread() == app->thread();
}

void RunOnUiThread(const std::function<void()>& work) {
  if (IsUiThread()) {
    work();
    return;
  }
  // The hand-back goes through our own lock rather than a blocking queued call, whose
  // synchronisation inside Qt the thread sanitizer cannot see; the queued functor is made,
  // run and destroyed on the user-interface thread alone.
  struct Completion {
    std::mutex mutex;  // guards done and failure
    std::condition_variable doneChanged;
    bool done = false;
    std::exception_ptr failure;
  };
  auto completion = std::make_shared<Completion>();
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [completion, &work] {
        std::exception_ptr failure;
        try {
          work();
        } catch (...) {
          failure = std::current_exception();
        }
        std::lock_guard lock(completion->mutex);
        completion->failure = failure;
        completion->done = true;
        completion->doneChanged.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(completion->mutex);
  completion->doneChanged.wait(lock, [&] { return completion->done; });
  if (completion->failure) std::rethrow_exception(completion->failure);
}
