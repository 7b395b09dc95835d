#include "platform/media/UiThread.h"

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
  QMetaObject::invokeMethod(QCoreApplication::instance(), work, Qt::BlockingQueuedConnection);
}
