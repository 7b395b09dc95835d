// The application object: title, forms, message loop, idle hook and exception display.
#pragma once

#include <functional>
#include <vector>

#include <QApplication>
#include <QPointer>
#include <QString>
#include <QWidget>

class TForm;

// Thread: UI. One per process, created by main() before any form.
class TApplication : public QApplication {
  Q_OBJECT
 public:
  using TIdleEvent = std::function<void(bool& done)>;

  TApplication(int& argc, char** argv);
  ~TApplication() override;

  void Initialize() {}
  QString Title() const { return title_; }
  void SetTitle(const QString& title);

  // Creates a form; the first one created is the main form, whose closing ends Run().
  template <class F>
  F* CreateForm() {
    auto* form = new F();
    AddForm(form);
    return form;
  }
  TForm* MainForm() const { return mainForm_; }

  // Shows the main form and runs the message loop until it closes; then destroys the forms.
  void Run();

  // Idle handlers run when the loop is about to wait. A handler that leaves done false is
  // called again after pending messages instead of waiting. Returns an id for RemoveIdleHandler.
  int AddIdleHandler(TIdleEvent handler);
  void RemoveIdleHandler(int id);
  // Idle handlers wait until `window` has been painted for the first time, or at most
  // kFirstPaintWaitMs: work done at the first idle moment then comes after the window's first
  // picture instead of delaying it. Run() does this for the main form.
  void HoldIdleUntilPainted(QWidget* window);
  static constexpr int kFirstPaintWaitMs = 1000;

  // Shows the exception being handled in a message box; the loop goes on. Call from a catch.
  void HandleException();
  // Runs fn and shows any exception it throws, as the loop does for event handlers.
  static void Guard(const std::function<void()>& fn);

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  void AddForm(TForm* form);
  void OnAboutToBlock();

  QString title_;
  TForm* mainForm_ = nullptr;
  std::vector<QPointer<TForm>> forms_;
  struct IdleEntry {
    int id;
    TIdleEvent handler;
  };
  std::vector<IdleEntry> idleHandlers_;
  int nextIdleId_ = 1;
  bool inIdle_ = false;
  bool idleAgainPosted_ = false;
  QPointer<QWidget> idleHeldFor_;  // released by its first paint, its end or the wait's end
  bool idleReleasePosted_ = false;
};

// The process's application object, or nullptr before it exists.
TApplication* Application();

// Wraps a member handler so that an exception it throws is shown and the loop goes on.
template <class C, class... Args>
auto Handler(C* object, void (C::*method)(Args...)) {
  return
      [object, method](Args... args) { TApplication::Guard([&] { (object->*method)(args...); }); };
}
