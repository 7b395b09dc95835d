#include "platform/media/VideoWindow.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

VideoWindow::VideoWindow(std::shared_ptr<VideoFrameSlot> slot) : slot_(std::move(slot)) {
  setObjectName(QStringLiteral("VideoRenderer"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  std::lock_guard lock(slot_->mutex);
  slot_->window = this;
}

VideoWindow::~VideoWindow() {
  // From here on the streaming thread posts nothing more to this window.
  std::lock_guard lock(slot_->mutex);
  slot_->window = nullptr;
}

void VideoWindow::TakeFrame() {
  QImage image;
  {
    std::lock_guard lock(slot_->mutex);
    image = std::move(slot_->image);
    slot_->image = QImage();
    slot_->postPending.store(false, std::memory_order_release);
  }
  if (image.isNull()) return;  // stop raced the post
  current_ = std::move(image);
  update();
}

void VideoWindow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (current_.isNull()) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  painter.drawImage(rect(), current_);
}

bool VideoWindow::event(QEvent* e) {
  QWidget* drain = drain_.data();
  if (!drain) return QWidget::event(e);
  switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: {
      auto* m = static_cast<QMouseEvent*>(e);
      const QPointF global = m->globalPosition();
      QMouseEvent copy(m->type(), drain->mapFromGlobal(global), global, m->button(), m->buttons(),
                       m->modifiers());
      QCoreApplication::sendEvent(drain, &copy);
      return true;
    }
    case QEvent::Wheel: {
      auto* w = static_cast<QWheelEvent*>(e);
      const QPointF global = w->globalPosition();
      QWheelEvent copy(drain->mapFromGlobal(global), global, w->pixelDelta(), w->angleDelta(),
                       w->buttons(), w->modifiers(), w->phase(), w->inverted());
      QCoreApplication::sendEvent(drain, &copy);
      return true;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      auto* k = static_cast<QKeyEvent*>(e);
      QKeyEvent copy(k->type(), k->key(), k->modifiers(), k->text(), k->isAutoRepeat(),
                     static_cast<ushort>(k->count()));
      QCoreApplication::sendEvent(drain, &copy);
      return true;
    }
    default:
      return QWidget::event(e);
  }
}

void OfferFrame(const std::shared_ptr<VideoFrameSlot>& slot, QImage image) {
  std::lock_guard lock(slot->mutex);
  QWidget* window = slot->window;
  if (!window) return;
  slot->image = std::move(image);
  // One post at a time: frames arriving before it runs just replace the waiting image. The
  // window cannot go away meanwhile: its destructor takes the lock held here.
  if (!slot->postPending.exchange(true, std::memory_order_acq_rel))
    QMetaObject::invokeMethod(
        window, [window] { static_cast<VideoWindow*>(window)->TakeFrame(); }, Qt::QueuedConnection);
}
