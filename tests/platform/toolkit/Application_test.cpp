#include "platform/toolkit/Application.h"

#include <stdexcept>

#include <QEventLoop>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "platform/toolkit/Dialogs.h"

namespace {

// Records the message boxes shown while it lives.
class BoxRecorder {
 public:
  BoxRecorder() {
    SetMessageBoxHook([this](const QString& text, const QString& caption) {
      texts.push_back(text);
      captions.push_back(caption);
      return int(IDOK);
    });
  }
  ~BoxRecorder() { SetMessageBoxHook({}); }
  QStringList texts;
  QStringList captions;
};

class Thrower : public QObject {
 public:
  void Throw() { throw std::runtime_error("handler failed"); }
  void ThrowOther() { throw 42; }
};

}  // namespace

// Catches: an exception escaping a handler ending the loop (or the process) instead of being
// shown in a message box while the loop goes on.
TEST(ApplicationTest, ExceptionInHandlerIsShownAndTheLoopGoesOn) {
  BoxRecorder boxes;
  Application()->SetTitle(QStringLiteral("Frostwipe"));
  Thrower thrower;
  QPushButton button;
  QObject::connect(&button, &QPushButton::clicked, &thrower, Handler(&thrower, &Thrower::Throw));
  QObject::connect(&button, &QPushButton::pressed, &thrower,
                   Handler(&thrower, &Thrower::ThrowOther));
  QEventLoop loop;
  bool afterwards = false;
  QTimer::singleShot(0, &button, [&] { button.click(); });
  // An exception thrown straight out of a timer callback reaches the loop itself.
  QTimer::singleShot(0, &button, [] { throw std::logic_error("timer failed"); });
  QTimer::singleShot(10, &loop, [&] {
    afterwards = true;
    loop.quit();
  });
  loop.exec();
  EXPECT_TRUE(afterwards);
  // click() presses (non-exception object: empty message), then releases (clicked).
  ASSERT_EQ(boxes.texts.size(), 3);
  EXPECT_EQ(boxes.texts[0], QString());
  EXPECT_EQ(boxes.texts[1], QStringLiteral("handler failed"));
  EXPECT_EQ(boxes.texts[2], QStringLiteral("timer failed"));
  EXPECT_EQ(boxes.captions[1], QStringLiteral("Frostwipe"));
}

// Catches: idle handlers that never run, or a handler leaving done=false not being called again.
TEST(ApplicationTest, IdleHandlersRunWhenTheLoopIsAboutToWait) {
  int calls = 0;
  const int id = Application()->AddIdleHandler([&](bool& done) {
    ++calls;
    done = calls >= 3;  // ask to be called again twice without waiting
  });
  QEventLoop loop;
  QTimer::singleShot(50, &loop, &QEventLoop::quit);
  loop.exec();
  Application()->RemoveIdleHandler(id);
  EXPECT_GE(calls, 3);
  const int after = calls;
  QTimer::singleShot(20, &loop, &QEventLoop::quit);
  loop.exec();
  EXPECT_EQ(calls, after) << "a removed handler still ran";
}

// Catches: work at the first idle moment (opening the camera) running between showing the main
// window and its first picture, which delays the picture.
TEST(ApplicationTest, IdleHandlersWaitForTheHeldWindowsFirstPaint) {
  QWidget window;
  window.resize(200, 100);
  bool painted = false;
  struct PaintSpy : QObject {
    bool* painted;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) *painted = true;
      return false;
    }
  } spy;
  spy.painted = &painted;
  window.installEventFilter(&spy);
  int calls = 0;
  bool paintedAtFirstIdle = false;
  const int id = Application()->AddIdleHandler([&](bool&) {
    if (calls++ == 0) paintedAtFirstIdle = painted;
  });
  Application()->HoldIdleUntilPainted(&window);
  window.show();
  QEventLoop loop;
  QTimer::singleShot(200, &loop, &QEventLoop::quit);
  loop.exec();
  Application()->RemoveIdleHandler(id);
  EXPECT_GT(calls, 0);
  EXPECT_TRUE(paintedAtFirstIdle);
}
