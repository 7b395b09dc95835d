// The start-up baseline: a minimal Qt Widgets program with one label. Prints "main window shown"
// once the label's window has been painted for the first time and quits, as frostwipe does with
// FROSTWIPE_QUIT_WHEN_SHOWN=1.
#include <cstdio>

#include <QApplication>
#include <QEvent>
#include <QLabel>

namespace {

class QuitWhenShown : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      QMetaObject::invokeMethod(
          this,
          [] {
            std::fputs("main window shown\n", stdout);
            std::fflush(stdout);
            QCoreApplication::quit();
          },
          Qt::QueuedConnection);
    }
    return false;
  }

 private:
  bool seen_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QLabel label(QStringLiteral("Frostwipe"));
  label.installEventFilter(new QuitWhenShown(&application));
  label.show();
  return application.exec();
}
