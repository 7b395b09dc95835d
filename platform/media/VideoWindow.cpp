#include "platform/media/VideoWindow.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "platform/media/UiThread.h"
#include "platform/toolkit/PaintTarget.h"

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

namespace {

// Keeps a picture for the renderer to fill again; beyond the limit it is freed. Lock held.
void KeepSpare(VideoFrameSlot& slot, QImage&& image) {
  if (image.isNull() || slot.spares.size() >= VideoFrameSlot::kMaxSpares) return;
  slot.spares.push_back(std::move(image));
}

}  // namespace

void VideoWindow::TakeFrame() {
  std::lock_guard lock(slot_->mutex);
  slot_->postPending.store(false, std::memory_order_release);
  if (slot_->image.isNull()) return;  // stop raced the post
  // The picture shown until now is no longer needed here: the renderer may fill it again.
  KeepSpare(*slot_, std::move(current_));
  current_ = std::move(slot_->image);
  slot_->image = QImage();
  update();
}

void VideoWindow::paintEvent(QPaintEvent* event) {
  // A frame at the window's own size is copied row by row into the image being painted: frames
  // are 32-bit already, which is what a painter would do, without the painter's set-up.
  QPoint redirection;
  QPaintDevice* device = redirected(&redirection);
  QPoint origin;
  QImage* target = current_.size() == size()
                       ? StraightPaintTarget(*this, device, redirection, sharedPainter(), &origin)
                       : nullptr;
  if (target && current_.format() == QImage::Format_RGB32 &&
      target->format() != QImage::Format_ARGB32) {
    CopyStraight(current_, *target, origin, event->region());
    return;
  }
  QPainter painter(this);
  if (current_.isNull()) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  if (current_.size() == size())
    painter.drawImage(0, 0, current_);
  else
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
  KeepSpare(*slot, std::move(slot->image));  // replaced before the window showed it
  slot->image = std::move(image);
  // One post at a time: frames arriving before it runs just replace the waiting image. The
  // window is looked up again when the post runs: its destructor clears it under the lock.
  if (!slot->postPending.exchange(true, std::memory_order_acq_rel))
    PostToUiThread([slot] {
      QWidget* target = nullptr;
      {
        std::lock_guard lock(slot->mutex);
        target = slot->window;
        if (!target) slot->postPending.store(false, std::memory_order_release);
      }
      if (target) static_cast<VideoWindow*>(target)->TakeFrame();
    });
}

QImage TakeSpareImage(const std::shared_ptr<VideoFrameSlot>& slot, QSize size,
                      QImage::Format format) {
  std::lock_guard lock(slot->mutex);
  for (auto it = slot->spares.begin(); it != slot->spares.end(); ++it) {
    if (it->size() == size && it->format() == format) {
      QImage spare = std::move(*it);
      slot->spares.erase(it);
      return spare;
    }
  }
  slot->spares.clear();  // another size or format: these will not fit again
  return QImage();
}
