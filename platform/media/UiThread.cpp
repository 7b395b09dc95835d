#include "platform/media/UiThread.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>

#include <QCoreApplication>
#include <QMetaMethod>
#include <QObject>
#include <QThread>
#include <QtGlobal>

namespace {

// The works posted to the user-interface thread. Thread: Post from any thread; Drain on the
// user-interface thread. mutex_ guards works_ and wakePending_.
class UiPoster : public QObject {
  Q_OBJECT
 public:
  // Made on the user-interface thread when the application object is constructed, before any
  // streaming thread can post: a thread that posts only reads the pointer, published through
  // the atomic. A poster made elsewhere would be handed over inside Qt, where the thread
  // sanitizer cannot see the synchronisation.
  static void Create() {
    if (!instance_.load(std::memory_order_acquire))
      instance_.store(new UiPoster, std::memory_order_release);
  }
  static UiPoster* Instance() { return instance_.load(std::memory_order_acquire); }

  void Post(std::function<void()> work) {
    {
      std::lock_guard lock(mutex_);
      works_.push_back(std::move(work));
      if (wakePending_) return;
      wakePending_ = true;
    }
    // The method is looked up once: a lookup by name on every frame costs more than the call.
    static const QMetaMethod drain =
        staticMetaObject.method(staticMetaObject.indexOfMethod("Drain()"));
    drain.invoke(this, Qt::QueuedConnection);
  }

  Q_INVOKABLE void Drain() {
    for (;;) {
      std::function<void()> work;
      {
        std::lock_guard lock(mutex_);
        if (works_.empty()) {
          wakePending_ = false;
          return;
        }
        work = std::move(works_.front());
        works_.pop_front();
      }
      try {
        work();
      } catch (const std::exception& e) {
        qWarning("work posted to the user-interface thread failed: %s", e.what());
      } catch (...) {
        qWarning("work posted to the user-interface thread failed");
      }
    }
  }

 private:
  static inline std::atomic<UiPoster*> instance_{nullptr};
  std::mutex mutex_;
  std::deque<std::function<void()>> works_;
  bool wakePending_ = false;
};

void CreateUiPoster() {
  UiPoster::Create();
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(CreateUiPoster)

bool IsUiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return !app || QThread::currentThread() == app->thread();
}

void RunOnUiThread(const std::function<void()>& work) {
  if (IsUiThread()) {
    work();
    return;
  }
  // The work and its hand-back both go through our own locks (the relay's queue, then the
  // completion) rather than a blocking queued call, whose synchronisation inside Qt the thread
  // sanitizer cannot see.
  struct Completion {
    std::mutex mutex;  // guards done and failure
    std::condition_variable doneChanged;
    bool done = false;
    std::exception_ptr failure;
  };
  auto completion = std::make_shared<Completion>();
  PostToUiThread([completion, &work] {
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
  });
  std::unique_lock lock(completion->mutex);
  completion->doneChanged.wait(lock, [&] { return completion->done; });
  if (completion->failure) std::rethrow_exception(completion->failure);
}

void PostToUiThread(std::function<void()> work) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) {
    work();
    return;
  }
  if (UiPoster* poster = UiPoster::Instance()) {
    poster->Post(std::move(work));
    return;
  }
  // Only an application object made before this library was loaded has no poster: its own
  // thread makes one now, and other threads hand the work to that thread through Qt.
  if (IsUiThread()) {
    UiPoster::Create();
    UiPoster::Instance()->Post(std::move(work));
  } else {
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
  }
}

#include "UiThread.moc"
