#include "platform/media/pipewire/PipeWirePortal.h"

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QVariantMap>

#include "platform/media/pipewire/PortalResponseRelay.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kCamera = QStringLiteral("org.freedesktop.portal.Camera");

// One request to the portal, on its own bus connection (read from the environment now, so a
// bus that changes between requests is followed). Deletes itself once it has answered.
// Thread: the application's.
class PortalRequest : public QObject {
  Q_OBJECT

 public:
  explicit PortalRequest(CameraPortalDone done) : done_(std::move(done)) {
    connect(relay_, &PortalResponseRelay::Received, this, &PortalRequest::OnResponse);
    static std::atomic<int> counter{0};
    const int n = ++counter;
    name_ = QStringLiteral("frostwipe-camera-portal-%1").arg(n);
    token_ = QStringLiteral("frostwipe%1").arg(n);
  }

  void Start() {
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    bus_ = address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, name_)
                             : QDBusConnection::connectToBus(QString::fromUtf8(address), name_);
    if (!bus_.isConnected()) return NoPortal(bus_.lastError().message());
    // The request object's path is known before the call: listen first, so a quick answer is
    // not missed.
    QString sender = bus_.baseService().mid(1);
    sender.replace(u'.', u'_');
    Listen(kPath + QStringLiteral("/request/") + sender + u'/' + token_);
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kCamera, QStringLiteral("AccessCamera"));
    call << QVariantMap{{QStringLiteral("handle_token"), token_}};
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
      w->deleteLater();
      QDBusPendingReply<QDBusObjectPath> reply = *w;
      if (reply.isError()) return NoPortal(reply.error().message());
      // An older portal names the request object otherwise.
      if (reply.value().path() != listened_) Listen(reply.value().path());
    });
  }

 private:
  void OnResponse(uint response, const QVariantMap&) {
    if (response != 0) return Finish(CameraPortalAnswer::Denied, -1, {});
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kCamera,
                                                       QStringLiteral("OpenPipeWireRemote"));
    call << QVariantMap{};
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
      w->deleteLater();
      QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
      const int fd = reply.isError() || !reply.value().isValid()
                         ? -1
                         : fcntl(reply.value().fileDescriptor(), F_DUPFD_CLOEXEC, 3);
      if (fd < 0)
        return Finish(CameraPortalAnswer::NoPortal, -1,
                      "it handed out no PipeWire remote: " + reply.error().message());
      Finish(CameraPortalAnswer::Granted, fd, {});
    });
  }

  void Listen(const QString& path) {
    if (!listened_.isEmpty())
      bus_.disconnect(kService, listened_, QStringLiteral("org.freedesktop.portal.Request"),
                      QStringLiteral("Response"), relay_, SLOT(OnResponse(uint, QVariantMap)));
    listened_ = path;
    bus_.connect(kService, path, QStringLiteral("org.freedesktop.portal.Request"),
                 QStringLiteral("Response"), relay_, SLOT(OnResponse(uint, QVariantMap)));
  }

  void NoPortal(const QString& why) { Finish(CameraPortalAnswer::NoPortal, -1, why); }

  void Finish(CameraPortalAnswer answer, int fd, const QString& why) {
    if (done_) done_(answer, fd, why.toStdString());
    done_ = nullptr;
    bus_ = QDBusConnection(QString());
    QDBusConnection::disconnectFromBus(name_);
    deleteLater();
  }

  PortalResponseRelay* relay_ = new PortalResponseRelay(this);
  CameraPortalDone done_;
  QString name_, token_, listened_;
  QDBusConnection bus_{QString()};
};

}  // namespace

bool CameraPortalWanted() {
  const QByteArray forced = qgetenv("FROSTWIPE_CAMERA_PORTAL");
  if (forced == "1") return true;
  if (forced == "0") return false;
  return QFile::exists(QStringLiteral("/.flatpak-info")) || !qgetenv("SNAP").isEmpty();
}

void RequestCameraPortal(CameraPortalDone done) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) {
    done(CameraPortalAnswer::NoPortal, -1, "no application object to ask it from");
    return;
  }
  QMetaObject::invokeMethod(
      app,
      [done = std::move(done)]() mutable {
        auto* request = new PortalRequest(std::move(done));
        request->Start();
      },
      Qt::QueuedConnection);
}

#include "PipeWirePortal.moc"
