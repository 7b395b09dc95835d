#include "game/PlayerMessage.h"

#include <algorithm>

#include <QEvent>
#include <QImage>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>

#include "capture/CaptureCtl.h"
#include "game/TouchWipe.h"
#include "platform/media/virtual/VirtualDeviceConfig.h"
#include "platform/toolkit/PaintTarget.h"

namespace {

// The strip lies over the live picture, so it is painted again with every frame. Laying out
// wrapped text and drawing the style sheet's veil each time costs more than a third of the
// engine's time per frame: the label draws itself once into a picture, through a hidden twin
// that inherits its style, font and palette, and paints that picture until its text, size or
// look changes.
class TMessageLabel : public QLabel {
 public:
  explicit TMessageLabel(QWidget* parent) : QLabel(parent), twin_(new QLabel(this)) {
    twin_->hide();
    // The remembered picture holds the styled background too: it is not painted twice.
    setAttribute(Qt::WA_NoSystemBackground);
  }

  // Call after setText: the remembered picture shows the old text.
  void MessageChanged() {
    stale_ = true;
    update();
  }

 protected:
  bool event(QEvent* event) override {
    switch (event->type()) {
      case QEvent::Resize:
      case QEvent::StyleChange:
      case QEvent::PaletteChange:
      case QEvent::FontChange:
      case QEvent::LayoutDirectionChange:
      case QEvent::Polish:
        stale_ = true;
        break;
      default:
        break;
    }
    return QLabel::event(event);
  }

  void paintEvent(QPaintEvent* event) override {
    const qreal ratio = devicePixelRatioF();
    if (stale_ || picture_.devicePixelRatio() != ratio) Remember(ratio);
    if (picture_.isNull()) return QLabel::paintEvent(event);
    QPoint redirection;
    QPaintDevice* device = redirected(&redirection);
    QPoint origin;
    QImage* target = StraightPaintTarget(*this, device, redirection, sharedPainter(), &origin);
    if (target && target->format() != QImage::Format_ARGB32 && picture_.size() == size()) {
      BlendStraight(picture_, *target, origin, event->region());
      return;
    }
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), picture_);
  }

 private:
  void Remember(qreal ratio) {
    stale_ = false;
    twin_->setText(text());
    twin_->setWordWrap(wordWrap());
    twin_->setAlignment(alignment());
    twin_->resize(size());
    picture_ = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    if (picture_.isNull()) return;
    picture_.setDevicePixelRatio(ratio);
    picture_.fill(Qt::transparent);
    twin_->render(&picture_, QPoint(), QRegion(), QWidget::DrawWindowBackground);
  }

  QLabel* twin_;
  QImage picture_;
  bool stale_ = true;
};

}  // namespace

TPlayerMessage::TPlayerMessage(TCaptureControl* capture)
    : QObject(capture), capture_(capture), label_(new TMessageLabel(capture)) {
  label_->setObjectName(QStringLiteral("PlayerMessageLabel"));
  label_->setWordWrap(true);
  label_->setAlignment(Qt::AlignCenter);
  // Light text on a dark veil reads over a black area and over any camera picture alike.
  label_->setStyleSheet(QStringLiteral(
      "QLabel { color: white; background-color: rgba(0, 0, 0, 170); padding: 3px 6px; }"));
  // Wiping by hand goes on through the strip, to the picture under it.
  label_->setAttribute(Qt::WA_TransparentForMouseEvents);
  label_->hide();
  capture_->installEventFilter(this);
}

void TPlayerMessage::ShowProblem(const QString& text) {
  problem_ = text;
  problemDevice_ = capture_->VideoDevice();
  Update(stopped_);
}

void TPlayerMessage::Started() {
  problem_.clear();
}

void TPlayerMessage::Update(bool stopped) {
  stopped_ = stopped;
  if (!problem_.isEmpty() && problemDevice_ != capture_->VideoDevice()) problem_.clear();
  if (!problem_.isEmpty()) return Show(problem_);

  const QStringList names = VideoDevices().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  const int index = capture_->VideoDevice();
  const QString name = index >= 0 && index < names.size() ? names[index] : QString();
  const bool touch = name.startsWith(QString::fromUtf16(kTouchCameraName));
  const bool demo = name.startsWith(QString::fromUtf16(kDemoCameraName));
  // A camera this user may not open is not listed: without it the game falls back on the
  // built-in cameras, and the player should learn why.
  const bool fallback = names.isEmpty() || touch || demo;
  if (stopped && fallback && CamerasWithoutPermission() > 0) {
    Show(
        tr("A camera is connected, but Frostwipe may not use it. Ask whoever looks after this "
           "computer to give you access to the camera (the \"video\" group), then log in "
           "again."));
  } else if (names.isEmpty()) {
    Show(tr("No camera was found. Connect a webcam, then press Start."));
  } else if (stopped) {
    if (touch)
      Show(tr("Press Start, then wipe the window with your finger or the mouse."));
    else if (demo)
      Show(tr("Press Start: the demo camera's moving picture wipes the ice."));
    else
      Show(tr("Press Start, then wave your hands in front of the camera."));
  } else if (touch) {
    Show(TTouchWipe::Hint());
  } else if (demo) {
    Show(tr("Demo camera: no real camera is in use."));
  } else {
    Show(QString());
  }
}

QString TPlayerMessage::Text() const {
  return label_->isHidden() ? QString() : label_->text();
}

void TPlayerMessage::Show(const QString& text) {
  if (label_->text() != text) {
    label_->setText(text);
    static_cast<TMessageLabel*>(label_)->MessageChanged();
  }
  label_->setAccessibleName(text);
  label_->setVisible(!text.isEmpty());
  Place();
}

void TPlayerMessage::Place() {
  if (label_->isHidden()) return;
  const QRect area = capture_->contentsRect();
  const int height = std::min(area.height(), label_->heightForWidth(area.width()));
  label_->setGeometry(area.left(), area.bottom() + 1 - height, area.width(), height);
  label_->raise();
}

bool TPlayerMessage::eventFilter(QObject* watched, QEvent* event) {
  if (watched == capture_) {
    if (event->type() == QEvent::Resize) {
      Place();
    } else if (event->type() == QEvent::ChildAdded &&
               static_cast<QChildEvent*>(event)->child() != label_) {
      // The picture's display is made on the first start: the strip stays above it.
      label_->raise();
      QTimer::singleShot(0, label_, [label = label_] { label->raise(); });
    }
  }
  return false;
}
