#include "platform/toolkit/Dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>

#include "platform/toolkit/Application.h"

namespace {

TMessageBoxHook& BoxHook() {
  static TMessageBoxHook hook;
  return hook;
}

TShellHook& ShellHook() {
  static TShellHook hook;
  return hook;
}

}  // namespace

void SetMessageBoxHook(TMessageBoxHook hook) {
  BoxHook() = std::move(hook);
}
void SetShellHook(TShellHook hook) {
  ShellHook() = std::move(hook);
}

int MessageBox(const QString& text, const QString& caption, int buttons) {
  const QString title =
      !caption.isEmpty() ? caption : (Application() ? Application()->Title() : QString());
  if (BoxHook()) return BoxHook()(text, title);
  QMessageBox box(QMessageBox::NoIcon, title, text);
  if (buttons == MB_OKCANCEL) {
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
  } else if (buttons == MB_YESNO) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  switch (box.exec()) {
    case QMessageBox::Cancel:
      return IDCANCEL;
    case QMessageBox::Yes:
      return IDYES;
    case QMessageBox::No:
      return IDNO;
    default:
      return IDOK;
  }
}

void ShowMessage(const QString& text) {
  MessageBox(text);
}

void ShowMessageFor(const QString& text, int timeoutMs) {
  const QString title = Application() ? Application()->Title() : QString();
  if (BoxHook()) {
    BoxHook()(text, title);
    return;
  }
  if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok);
  QTimer::singleShot(timeoutMs, &box, &QMessageBox::accept);
  box.exec();
}

int ShellExecuteOpen(const QString& target) {
  if (ShellHook()) return ShellHook()(target);
  // 42 is an arbitrary success value above the failure range; 2 is "file not found".
  return QDesktopServices::openUrl(QUrl(target)) ? 42 : 2;
}
