// Built without the thread sanitizer's instrumentation: the fake stands for a service of another
// process, and Qt's D-Bus thread reads its meta-object after hand-overs inside Qt that the
// sanitizer cannot see.
#include "FakeCameraPortal.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QTimer>

FakeCameraPortal::FakeCameraPortal(const std::string& busAddress, std::string daemonSocket,
                                   bool grant)
    : bus_(QDBusConnection::connectToBus(QString::fromStdString(busAddress),
                                         QStringLiteral("fake-camera-portal"))),
      socket_(std::move(daemonSocket)),
      grant_(grant) {
  registered_ = bus_.registerService(QStringLiteral("org.freedesktop.portal.Desktop")) &&
                bus_.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), this,
                                    QDBusConnection::ExportAllSlots);
}

FakeCameraPortal::~FakeCameraPortal() {
  bus_.unregisterObject(QStringLiteral("/org/freedesktop/portal/desktop"));
  bus_.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
  bus_ = QDBusConnection(QString());
  QDBusConnection::disconnectFromBus(QStringLiteral("fake-camera-portal"));
}

QDBusObjectPath FakeCameraPortal::AccessCamera(const QVariantMap& options,
                                               const QDBusMessage& message) {
  QString sender = message.service().mid(1);
  sender.replace(u'.', u'_');
  const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/") + sender + u'/' +
                       options.value(QStringLiteral("handle_token")).toString();
  // The answer comes later, as the user's click would.
  QTimer::singleShot(10, this, [this, path] {
    QDBusMessage response = QDBusMessage::createSignal(
        path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
    response << static_cast<uint>(grant_ ? 0 : 1) << QVariantMap();
    bus_.send(response);
  });
  return QDBusObjectPath(path);
}
QDBusUnixFileDescriptor FakeCameraPortal::OpenPipeWireRemote(const QVariantMap&) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  socket_.copy(address.sun_path, sizeof address.sun_path - 1);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return {};
  ++remotesHandedOut;
  QDBusUnixFileDescriptor remote(fd);  // a copy of it
  close(fd);
  return remote;
}

#include "moc_FakeCameraPortal.cpp"
