// The receiver of a portal request's Response signal.
#pragma once

#include <QObject>
#include <QVariantMap>

// Passes the Response signal on to its owner. Qt's D-Bus binding reads a receiver's meta-object
// on its own thread, after a hand-over inside Qt that the thread sanitizer cannot see; this relay
// holds nothing of ours, and under that sanitizer it is built uninstrumented like the binding
// itself, so its owner (which holds the request's state) never needs to be the receiver.
// Thread: the application's.
class PortalResponseRelay : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

 signals:
  void Received(uint response, const QVariantMap& results);

 public slots:
  void OnResponse(uint response, const QVariantMap& results);
};
