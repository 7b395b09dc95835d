// Device-change broadcast: providers announce devices added or removed; listeners hear it on
// the user-interface thread.
#pragma once

#include <functional>
#include <string>

#include <QObject>

#include "platform/com/Guid.h"
#include "platform/com/Types.h"

// The window message and its two codes on the original platform, for code that keeps their names.
inline constexpr UINT WM_DEVICECHANGE = 0x0219;
inline constexpr UINT DBT_DEVICEARRIVAL = 0x8000;
inline constexpr UINT DBT_DEVICEREMOVECOMPLETE = 0x8004;

enum class DeviceChangeKind { None, Arrival, Removal };

struct DeviceChange {
  DeviceChangeKind kind = DeviceChangeKind::None;
  GUID category = GUID_NULL;
  std::u16string displayName;
  std::u16string friendlyName;
  // DBT_DEVICEARRIVAL or DBT_DEVICEREMOVECOMPLETE.
  UINT EventType() const {
    return kind == DeviceChangeKind::Arrival ? DBT_DEVICEARRIVAL : DBT_DEVICEREMOVECOMPLETE;
  }
};
Q_DECLARE_METATYPE(DeviceChange)

// The process-wide broadcaster. It lives on the user-interface thread; Broadcast may be called
// from any thread (a udev monitor thread, a test) and always queues, so DeviceChanged is emitted
// later on the user-interface thread, never inside the caller.
// Thread: Broadcast any; the signal is emitted on the user-interface thread.
class DeviceNotify final : public QObject {
  Q_OBJECT
 public:
  // The broadcaster (made on first use, never destroyed); nullptr before the application
  // object exists.
  static DeviceNotify* Instance();
  // Announces a change to every listener. Dropped when there is no application object.
  static void Broadcast(const DeviceChange& change);
  // Calls handler on the user-interface thread for every change until context is destroyed.
  static QMetaObject::Connection Listen(QObject* context,
                                        std::function<void(const DeviceChange&)> handler);

 signals:
  void DeviceChanged(const DeviceChange& change);

 private:
  DeviceNotify() = default;
};
