// A fake of the desktop's camera portal for the portal tests.
#pragma once

#include <string>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QVariantMap>

// org.freedesktop.portal.Camera as a desktop offers it, answering every request the same way.
// Thread: the test's.
class FakeCameraPortal : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Camera")

 public:
  FakeCameraPortal(const std::string& busAddress, std::string daemonSocket, bool grant);
  ~FakeCameraPortal() override;
  bool Registered() const { return registered_; }
  int remotesHandedOut = 0;

 public slots:
  QDBusObjectPath AccessCamera(const QVariantMap& options, const QDBusMessage& message);
  QDBusUnixFileDescriptor OpenPipeWireRemote(const QVariantMap&);

 private:
  QDBusConnection bus_;
  std::string socket_;
  bool grant_;
  bool registered_ = false;
};
