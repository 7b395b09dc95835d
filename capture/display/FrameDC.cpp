#include "capture/display/FrameDC.h"

#include <QImage>
#include <QPainter>

TFrameDC::TFrameDC(QImage& picture, bool bottomUp) : picture_(picture), bottomUp_(bottomUp) {}

TFrameDC::~TFrameDC() = default;

QPainter& TFrameDC::Painter() {
  if (!painter_) {
    painter_ = std::make_unique<QPainter>(&picture_);
    if (bottomUp_) {
      // Bottom-up rows: row 0 of the drawing is the picture's last row.
      painter_->translate(0, picture_.height());
      painter_->scale(1, -1);
    }
  }
  return *painter_;
}
