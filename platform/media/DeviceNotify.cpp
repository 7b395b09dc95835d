#include "platform/media/DeviceNotify.h"

#include <mutex>

#include <QCoreApplication>
#include <QThread>

#include "platform/media/UiThread.h"

DeviceNotify* DeviceNotify::Instance() {
  static std::mutex mutex;
  static DeviceNotify* instance = nullptr;  // lives as long as the process
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return nullptr;
  std::lock_guard lock(mutex);
  if (!instance) {
    qRegisterMetaType<DeviceChange>();
    // Whichever thread asks first, the broadcaster belongs to the user-interface thread.
    instance = new DeviceNotify;
    instance->moveToThread(app->thread());
  }
  return instance;
}

void DeviceNotify::Broadcast(const DeviceChange& change) {
  DeviceNotify* notify = Instance();
  if (!notify) return;
  PostToUiThread([notify, change] { emit notify->DeviceChanged(change); });
}

QMetaObject::Connection DeviceNotify::Listen(QObject* context,
                                             std::function<void(const DeviceChange&)> handler) {
  DeviceNotify* notify = Instance();
  if (!notify || !context) return {};
  return QObject::connect(
      notify, &DeviceNotify::DeviceChanged, context,
      [handler = std::move(handler)](const DeviceChange& change) { handler(change); });
}
