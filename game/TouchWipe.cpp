#include "game/TouchWipe.h"

#include <algorithm>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QTabletEvent>
#include <QThread>
#include <QTouchEvent>

#include "capture/CaptureCtl.h"
#include "platform/media/TouchInput.h"
#include "platform/media/virtual/VirtualDeviceConfig.h"
#include "platform/toolkit/Controls.h"

namespace {

// Pointer numbers: the mouse, the keyboard brush, pens by their id, touch points by theirs.
constexpr std::int64_t kMousePointer = 1;
constexpr std::int64_t kKeyboardPointer = 2;
constexpr std::int64_t kPenPointers = std::int64_t{1} << 32;
constexpr std::int64_t kTouchPointers = std::int64_t{2} << 32;

TouchPoint::Phase PhaseOf(QEventPoint::State state) {
  switch (state) {
    case QEventPoint::State::Pressed:
      return TouchPoint::Phase::Press;
    case QEventPoint::State::Released:
      return TouchPoint::Phase::Release;
    default:
      return TouchPoint::Phase::Move;
  }
}

}  // namespace

TTouchWipe::TTouchWipe(TImage* output, TCaptureControl* capture, QObject* parent)
    : QObject(parent), output_(output), capture_(capture) {
  Watch(output_);
  Watch(capture_);
  for (QWidget* child : capture_->findChildren<QWidget*>()) Watch(child);
  output_->setFocusPolicy(Qt::StrongFocus);
}

QString TTouchWipe::KeyboardHelp() {
  return QCoreApplication::translate(
      "TTouchWipe",
      "Wipe the window with your finger or the mouse. Keyboard: the arrow keys move the sponge, "
      "Space starts or stops wiping.");
}

QCursor TTouchWipe::SpongeCursor() {
  const QPixmap sponge(QStringLiteral(":/cursors/sponge.png"));
  return QCursor(sponge, sponge.width() / 2, sponge.height() / 2);
}

QString TTouchWipe::Hint() {
  return QCoreApplication::translate("TTouchWipe", "Wipe the window with your finger or the mouse");
}

void TTouchWipe::Watch(QWidget* widget) {
  widget->setAttribute(Qt::WA_AcceptTouchEvents);
  widget->installEventFilter(this);
}

void TTouchWipe::DeviceSelected() {
  const QStringList names = VideoDevices().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  const int index = capture_->VideoDevice();
  touchCamera_ = index >= 0 && index < names.size() &&
                 names[index].startsWith(QString::fromUtf16(kTouchCameraName));
  output_->setToolTip(touchCamera_ ? Hint() : QString());
  output_->setStatusTip(touchCamera_ ? Hint() : QString());
  if (touchCamera_)
    output_->setCursor(SpongeCursor());
  else
    output_->unsetCursor();
}

void TTouchWipe::Forward(QWidget* over, std::int64_t pointer, TouchPoint::Phase phase,
                         QPointF position, double diameterPixels) {
  Q_ASSERT(QThread::currentThread() == qApp->thread());
  const double width = std::max(1, over->width());
  const double height = std::max(1, over->height());
  double u = position.x() / width;
  const double v = position.y() / height;
  // The engine sees the picture after the mirror; the camera draws before it.
  if (capture_->VideoProcessing_FlipHorizontal()) u = 1.0 - u;
  if (diameterPixels <= 0) diameterPixels = kFingerMillimetres / 25.4 * over->logicalDpiX();
  TouchPoint point;
  point.pointer = pointer;
  point.phase = phase;
  point.x = static_cast<float>(std::clamp(u, -0.1, 1.1));
  point.y = static_cast<float>(std::clamp(v, -0.1, 1.1));
  point.radius = static_cast<float>(diameterPixels / 2 / width);
  TouchInput::Instance().Push(point);
}

bool TTouchWipe::eventFilter(QObject* watched, QEvent* event) {
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget) return false;
  switch (event->type()) {
    case QEvent::ChildAdded:
      if (auto* child = qobject_cast<QWidget*>(static_cast<QChildEvent*>(event)->child()))
        Watch(child);
      return false;
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      // Touch and pen input arrive on their own; the mouse events made from them would draw
      // the same path twice.
      if (mouse->source() != Qt::MouseEventNotSynthesized) return false;
      if (event->type() == QEvent::MouseMove && !(mouse->buttons() & Qt::LeftButton)) return false;
      if (event->type() != QEvent::MouseMove && mouse->button() != Qt::LeftButton) return false;
      const TouchPoint::Phase phase =
          event->type() == QEvent::MouseButtonPress ? TouchPoint::Phase::Press
          : event->type() == QEvent::MouseMove      ? TouchPoint::Phase::Move
                                                    : TouchPoint::Phase::Release;
      Forward(widget, kMousePointer, phase, mouse->position(), 0);
      return false;
    }
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease: {
      auto* tablet = static_cast<QTabletEvent*>(event);
      // A pen hovering over the window moves without wiping.
      if (event->type() == QEvent::TabletMove && tablet->buttons() == Qt::NoButton) return false;
      const TouchPoint::Phase phase =
          event->type() == QEvent::TabletPress  ? TouchPoint::Phase::Press
          : event->type() == QEvent::TabletMove ? TouchPoint::Phase::Move
                                                : TouchPoint::Phase::Release;
      for (const QEventPoint& p : tablet->points())
        Forward(widget, kPenPointers + p.id(), phase, p.position(), 0);
      event->accept();
      return true;
    }
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel: {
      auto* touch = static_cast<QTouchEvent*>(event);
      for (const QEventPoint& p : touch->points()) {
        const QSizeF contact = p.ellipseDiameters();
        const TouchPoint::Phase phase =
            event->type() == QEvent::TouchCancel ? TouchPoint::Phase::Release : PhaseOf(p.state());
        Forward(widget, kTouchPointers + p.id(), phase, p.position(),
                std::max(contact.width(), contact.height()));
      }
      event->accept();
      return true;
    }
    case QEvent::KeyPress:
      return widget == output_ && KeyPressed(event);
    case QEvent::FocusOut:
      if (widget == output_ && keyWiping_) {
        keyWiping_ = false;
        Forward(output_, kKeyboardPointer, TouchPoint::Phase::Release,
                {keyBrush_.x() * output_->width(), keyBrush_.y() * output_->height()}, 0);
      }
      return false;
    default:
      return false;
  }
}

bool TTouchWipe::KeyPressed(QEvent* event) {
  auto* key = static_cast<QKeyEvent*>(event);
  QPointF step;
  const double aspect =
      static_cast<double>(std::max(1, output_->width())) / std::max(1, output_->height());
  switch (key->key()) {
    case Qt::Key_Left:
      step = {-kKeyStep, 0};
      break;
    case Qt::Key_Right:
      step = {kKeyStep, 0};
      break;
    case Qt::Key_Up:
      step = {0, -kKeyStep * aspect};
      break;
    case Qt::Key_Down:
      step = {0, kKeyStep * aspect};
      break;
    case Qt::Key_Space:
      keyWiping_ = !keyWiping_;
      break;
    default:
      return false;
  }
  TouchPoint::Phase phase = TouchPoint::Phase::Move;
  if (key->key() == Qt::Key_Space)
    phase = keyWiping_ ? TouchPoint::Phase::Press : TouchPoint::Phase::Release;
  keyBrush_ = {std::clamp(keyBrush_.x() + step.x(), 0.0, 1.0),
               std::clamp(keyBrush_.y() + step.y(), 0.0, 1.0)};
  if (keyWiping_ || key->key() == Qt::Key_Space)
    Forward(output_, kKeyboardPointer, phase,
            {keyBrush_.x() * output_->width(), keyBrush_.y() * output_->height()}, 0);
  return true;
}
