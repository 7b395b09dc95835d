#include "platform/toolkit/Controls.h"

#include <algorithm>

#include <QPainter>
#include <QToolButton>

TImage::TImage(QWidget* parent) : QWidget(parent), picture_(std::make_unique<TBitmap>()) {}
TImage::~TImage() = default;

void TImage::Assign(const TBitmap& bitmap) {
  picture_->Assign(bitmap);
  Changed();
}

void TImage::Changed() {
  // The display copy is rebuilt when painted: frames that arrive faster than the screen
  // repaints cost no conversion.
  displayStale_ = true;
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
    // Per-frame path: widen 24-bit pixels into the existing display buffer.
    for (int y = 0; y < source.height(); ++y) {
      const uchar* s = source.constScanLine(y);
      auto* d = reinterpret_cast<QRgb*>(display_.scanLine(y));
      for (int x = 0; x < source.width(); ++x, s += 3) d[x] = qRgb(s[2], s[1], s[0]);
    }
  } else {
    display_ = source.convertToFormat(QImage::Format_RGB32);
  }
}

void TImage::SetTransparent(bool transparent) {
  transparent_ = transparent;
  display_ = QImage();
  Changed();
}

void TImage::SetPictureResource(const QString& name) {
  resource_ = name;
  if (name.isEmpty()) return;
  picture_->LoadFromResourceName(name);
  display_ = QImage();
  Changed();
}

void TImage::paintEvent(QPaintEvent*) {
  if (displayStale_) RebuildDisplay();
  if (display_.isNull()) return;
  QPainter painter(this);
  painter.drawImage(0, 0, display_);
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
  if (autoSize_ && !Loading()) resize(sizeHint().expandedTo(QSize(1, height())));
}

TUpDown::TUpDown(QWidget* parent)
    : QWidget(parent), prev_(new QToolButton(this)), next_(new QToolButton(this)) {
  prev_->setArrowType(Qt::LeftArrow);
  next_->setArrowType(Qt::RightArrow);
  prev_->setAutoRepeat(true);
  next_->setAutoRepeat(true);
  connect(prev_, &QToolButton::clicked, this, [this] { Click(btPrev); });
  connect(next_, &QToolButton::clicked, this, [this] { Click(btNext); });
}

void TUpDown::SetPosition(int value) {
  position_ = std::clamp(value, min_, max_);
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
