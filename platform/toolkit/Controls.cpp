#include "platform/toolkit/Controls.h"

#include <algorithm>
#include <libyuv.h>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QToolButton>

#include "platform/toolkit/PaintTarget.h"

namespace {

// Screen readers see a picture as a graphic; one that carries a value (SetAccessibleValue, a
// number from 0 to 100) offers it through the value interface.
class TImageAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit TImageAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Graphic) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface && Image()->HasAccessibleValue())
      return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value && Image()->HasAccessibleValue())
      return QString::number(Image()->AccessibleValue());
    return QAccessibleWidget::text(t);
  }
  QVariant currentValue() const override { return Image()->AccessibleValue(); }
  void setCurrentValue(const QVariant&) override {}
  QVariant maximumValue() const override { return 100; }
  QVariant minimumValue() const override { return 0; }
  QVariant minimumStepSize() const override { return 1; }

 private:
  const TImage* Image() const { return static_cast<const TImage*>(widget()); }
};

// The up-down reads as a spin box whose value is its position.
class TUpDownAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit TUpDownAccessible(TUpDown* upDown)
      : QAccessibleWidget(upDown, QAccessible::SpinBox), upDown_(upDown) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) return QString::number(upDown_->Position());
    return QAccessibleWidget::text(t);
  }
  QVariant currentValue() const override { return upDown_->Position(); }
  void setCurrentValue(const QVariant&) override {}
  QVariant maximumValue() const override { return upDown_->Max(); }
  QVariant minimumValue() const override { return upDown_->Min(); }
  QVariant minimumStepSize() const override { return 1; }

 private:
  TUpDown* upDown_;
};

QAccessibleInterface* ToolkitAccessible(const QString& className, QObject* object) {
  if (className == QLatin1String("TImage") && object->isWidgetType())
    return new TImageAccessible(static_cast<QWidget*>(object));
  if (className == QLatin1String("TUpDown"))
    if (auto* upDown = qobject_cast<TUpDown*>(object)) return new TUpDownAccessible(upDown);
  return nullptr;
}

}  // namespace

void InstallAccessibleControls() {
  static const bool installed = (QAccessible::installFactory(ToolkitAccessible), true);
  (void)installed;
}

TImage::TImage(QWidget* parent) : QWidget(parent), picture_(std::make_unique<TBitmap>()) {
  InstallAccessibleControls();
}

void TImage::SetAccessibleValue(double value) {
  // Called once a frame: no allocation, and an event only for a change.
  if (hasAccessibleValue_ && accessibleValue_ == value) return;
  hasAccessibleValue_ = true;
  accessibleValue_ = value;
  if (QAccessible::isActive()) {
    QAccessibleValueChangeEvent event(this, value);
    QAccessible::updateAccessibility(&event);
  }
}
TImage::~TImage() = default;

void TImage::Assign(const TBitmap& bitmap) {
  picture_->Assign(bitmap);
  Changed();
}

void TImage::Changed() {
  // The display copy is rebuilt when painted: frames that arrive faster than the screen
  // repaints cost no conversion.
  displayStale_ = true;
  UpdateOpaque();
  update();
}

void TImage::RebuildDisplay() {
  displayStale_ = false;
  const QImage& source = picture_->Image();
  if (source.isNull()) {
    display_ = QImage();
  } else if (transparent_) {
    display_ = source.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = display_.pixel(0, display_.height() - 1);
    for (int y = 0; y < display_.height(); ++y) {
      auto* row = reinterpret_cast<QRgb*>(display_.scanLine(y));
      for (int x = 0; x < display_.width(); ++x)
        if (row[x] == key) row[x] = 0;
    }
  } else if (display_.size() == source.size() && display_.format() == QImage::Format_RGB32 &&
             source.format() == QImage::Format_BGR888) {
    // Per-frame path: widen 24-bit pixels into the existing display buffer (vectorised).
    libyuv::RGB24ToARGB(source.constBits(), static_cast<int>(source.bytesPerLine()),
                        display_.bits(), static_cast<int>(display_.bytesPerLine()), source.width(),
                        source.height());
  } else {
    display_ = source.convertToFormat(QImage::Format_RGB32);
  }
}

void TImage::UpdateOpaque() {
  // A picture that covers the whole control paints every pixel of it: the parent need not
  // paint behind it first.
  const QImage& source = picture_->Image();
  const bool covers =
      !transparent_ && !source.isNull() && source.width() >= width() && source.height() >= height();
  if (testAttribute(Qt::WA_OpaquePaintEvent) != covers)
    setAttribute(Qt::WA_OpaquePaintEvent, covers);
}

void TImage::SetTransparent(bool transparent) {
  transparent_ = transparent;
  display_ = QImage();
  Changed();
}

void TImage::SetStretch(bool stretch) {
  stretch_ = stretch;
  update();
}

void TImage::SetPictureResource(const QString& name) {
  resource_ = name;
  if (name.isEmpty()) return;
  picture_->LoadFromResourceName(name);
  display_ = QImage();
  Changed();
}

void TImage::resizeEvent(QResizeEvent*) {
  UpdateOpaque();
}

// A 24-bit picture drawn 1:1 into the window's 32-bit backing store is widened straight into
// it: one pass over the pixels instead of a conversion into the display copy and a copy of that.
// A transparent or stretched picture, or another format, answers false and takes the display
// copy.
bool TImage::PaintStraight(QImage& target, const QPoint& origin, const QRegion& region) {
  const QImage& source = picture_->Image();
  if (transparent_ || source.format() != QImage::Format_BGR888 ||
      (stretch_ && source.size() != size()))
    return false;
  WidenStraight(source, target, origin, region);
  return true;
}

void TImage::paintEvent(QPaintEvent* event) {
  QPoint redirection;
  QPaintDevice* device = redirected(&redirection);
  QPoint origin;
  if (QImage* target = StraightPaintTarget(*this, device, redirection, sharedPainter(), &origin);
      target && PaintStraight(*target, origin, event->region()))
    return;
  QPainter painter(this);
  if (displayStale_) RebuildDisplay();
  if (display_.isNull()) return;
  if (stretch_ && display_.size() != size()) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), display_);
  } else {
    painter.drawImage(0, 0, display_);
  }
}

void TLabel::SetAutoSize(bool on) {
  autoSize_ = on;
  Fit();
}

void TLabel::SetCaption(const QString& caption) {
  setText(caption);
  Fit();
}

void TLabel::Loaded() {
  TLoadable::Loaded();
  Fit();
}

void TLabel::Fit() {
  if (!autoSize_ || Loading()) return;
  const auto* form = qobject_cast<const TForm*>(window());
  fitPending_ = form && form->LabelsFittedWhenShown() && !isVisible();
  if (!fitPending_) resize(sizeHint().expandedTo(QSize(1, height())));
}

void TLabel::showEvent(QShowEvent* event) {
  if (fitPending_) Fit();
  QLabel::showEvent(event);
}

TUpDown::TUpDown(QWidget* parent)
    : QWidget(parent), prev_(new QToolButton(this)), next_(new QToolButton(this)) {
  InstallAccessibleControls();
  prev_->setArrowType(Qt::LeftArrow);
  next_->setArrowType(Qt::RightArrow);
  prev_->setAutoRepeat(true);
  next_->setAutoRepeat(true);
  connect(prev_, &QToolButton::clicked, this, [this] { Click(btPrev); });
  connect(next_, &QToolButton::clicked, this, [this] { Click(btNext); });
  // One tab stop for the pair: the arrow keys step it, as with a spin box.
  setFocusPolicy(Qt::StrongFocus);
  for (QToolButton* arrow : {prev_, next_}) {
    arrow->setFocusPolicy(Qt::NoFocus);
    arrow->setFocusProxy(this);
  }
}

QToolButton* TUpDown::Arrow(TUDBtnType button) const {
  return button == btNext ? next_ : prev_;
}

void TUpDown::keyPressEvent(QKeyEvent* event) {
  const bool rtl = layoutDirection() == Qt::RightToLeft;
  switch (event->key()) {
    case Qt::Key_Left:
      Click(rtl ? btNext : btPrev);
      break;
    case Qt::Key_Right:
      Click(rtl ? btPrev : btNext);
      break;
    case Qt::Key_Down:
    case Qt::Key_PageDown:
      Click(btPrev);
      break;
    case Qt::Key_Up:
    case Qt::Key_PageUp:
      Click(btNext);
      break;
    default:
      QWidget::keyPressEvent(event);
  }
}

void TUpDown::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  if (!hasFocus()) return;
  // The arrows take no focus themselves, so the pair shows it with a frame around both.
  QPainter painter(this);
  QStyleOptionFocusRect option;
  option.initFrom(this);
  option.backgroundColor = palette().color(QPalette::Window);
  style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void TUpDown::SetPosition(int value) {
  const int old = position_;
  position_ = std::clamp(value, min_, max_);
  if (position_ != old && QAccessible::isActive()) {
    QAccessibleValueChangeEvent event(this, position_);
    QAccessible::updateAccessibility(&event);
  }
}

void TUpDown::Click(TUDBtnType button) {
  const int offered = position_ + (button == btNext ? 1 : -1);
  bool allow = true;
  if (OnChangingEx)
    OnChangingEx(allow, static_cast<short>(offered), button == btNext ? updUp : updDown);
  if (allow) SetPosition(offered);
}

void TUpDown::resizeEvent(QResizeEvent*) {
  const int half = width() / 2;
  prev_->setGeometry(0, 0, half, height());
  next_->setGeometry(half, 0, width() - half, height());
}
