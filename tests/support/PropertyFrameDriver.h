// Drives a modal property frame from inside its own event loop, as a person would.
#pragma once

#include <functional>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "platform/media/PropertyFrame.h"

// Runs `inside` on the next property frame once it is open (from the frame's own event loop).
// A test that expects no frame deletes the returned watch, so it cannot act on a later one.
inline QPointer<QTimer> WhenFrameOpens(std::function<void(QDialog*)> inside) {
  auto* poll = new QTimer(qApp);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, inside] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || dialog->objectName() != kPropertyFrameObjectName) return;
    poll->deleteLater();
    inside(dialog);
  });
  poll->start(10);
  return poll;
}

inline void Press(QDialog* dialog, QDialogButtonBox::StandardButton which) {
  dialog->findChild<QDialogButtonBox*>()->button(which)->click();
}
