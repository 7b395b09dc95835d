#include "platform/toolkit/Application.h"

#include <exception>

#include <QAbstractEventDispatcher>
#include <QTimer>
#include <QWidget>

#include "platform/toolkit/Dialogs.h"
#include "platform/toolkit/Forms.h"
#include "platform/toolkit/Graphics.h"

namespace {
TApplication* g_application = nullptr;
}

TApplication* Application() {
  return g_application;
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  g_application = this;
  setQuitOnLastWindowClosed(false);
  // Windows face names in window descriptions resolve to the desktop's metric-compatible faces.
  for (const char* face : {"MS Sans Serif", "Courier New", "Arial"})
    QFont::insertSubstitution(QString::fromLatin1(face),
                              ResolveFontFamily(QString::fromLatin1(face)));
  connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
          &TApplication::OnAboutToBlock);
}

TApplication::~TApplication() {
  for (auto& form : forms_) delete form.data();
  g_application = nullptr;
}

void TApplication::SetTitle(const QString& title) {
  title_ = title;
  setApplicationDisplayName(QString());
  setApplicationName(title);
}

void TApplication::AddForm(TForm* form) {
  forms_.emplace_back(form);
  if (!mainForm_) {
    mainForm_ = form;
    connect(form, &TForm::Closed, this, [] { QApplication::quit(); });
  }
}

void TApplication::Run() {
  if (mainForm_) {
    HoldIdleUntilPainted(mainForm_);
    mainForm_->show();
  }
  exec();
  // Destroy the forms in reverse order of creation while the application still exists.
  for (auto it = forms_.rbegin(); it != forms_.rend(); ++it) delete it->data();
  forms_.clear();
  mainForm_ = nullptr;
}

int TApplication::AddIdleHandler(TIdleEvent handler) {
  idleHandlers_.push_back({nextIdleId_, std::move(handler)});
  return nextIdleId_++;
}

void TApplication::RemoveIdleHandler(int id) {
  std::erase_if(idleHandlers_, [id](const IdleEntry& e) { return e.id == id; });
}

void TApplication::HoldIdleUntilPainted(QWidget* window) {
  idleHeldFor_ = window;
  QTimer::singleShot(kFirstPaintWaitMs, this, [this, held = QPointer<QWidget>(window)] {
    if (idleHeldFor_ == held) idleHeldFor_ = nullptr;
  });
}

void TApplication::OnAboutToBlock() {
  if (inIdle_ || idleHeldFor_ || idleHandlers_.empty()) return;
  inIdle_ = true;
  bool allDone = true;
  const auto handlers = idleHandlers_;  // a handler may add or remove handlers
  for (const auto& entry : handlers) {
    bool done = true;
    Guard([&] { entry.handler(done); });
    allDone = allDone && done;
  }
  inIdle_ = false;
  if (!allDone && !idleAgainPosted_) {
    // Do not wait: wake the loop so the handlers run again after pending messages.
    idleAgainPosted_ = true;
    QTimer::singleShot(0, this, [this] { idleAgainPosted_ = false; });
  }
}

void TApplication::HandleException() {
  QString message;
  try {
    throw;
  } catch (const std::exception& e) {
    message = QString::fromLocal8Bit(e.what());
  } catch (...) {
    // A thrown object that is no exception is shown as an exception with an empty message.
  }
  MessageBox(message, title_);
}

void TApplication::Guard(const std::function<void()>& fn) {
  try {
    fn();
  } catch (...) {
    if (g_application) {
      g_application->HandleException();
    } else {
      throw;
    }
  }
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  // Widgets live on the UI thread, so only that thread reads the held window here. The hold
  // ends once this paint, and the flush to the screen that follows it, are done.
  if (event->type() == QEvent::Paint && receiver->isWidgetType() && idleHeldFor_ &&
      !idleReleasePosted_ && static_cast<QWidget*>(receiver)->window() == idleHeldFor_) {
    idleReleasePosted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
          idleHeldFor_ = nullptr;
          idleReleasePosted_ = false;
        },
        Qt::QueuedConnection);
  }
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    HandleException();
    return false;
  }
}
