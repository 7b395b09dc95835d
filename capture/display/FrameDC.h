#pragma once
// The device context an overlay handler draws on: a frame's picture, addressed from its top row.
// Owned by the thread that runs the overlay pass (the streaming thread), for one call.
#include <memory>

class QImage;
class QPainter;

class TFrameDC {
 public:
  TFrameDC(QImage& picture, bool bottomUp);
  ~TFrameDC();
  TFrameDC(const TFrameDC&) = delete;
  TFrameDC& operator=(const TFrameDC&) = delete;

  // The painter begins on the first drawing call: a handler that draws nothing costs no
  // painter, which is most of the overlay pass.
  QPainter& Painter();

 private:
  QImage& picture_;
  bool bottomUp_;
  std::unique_ptr<QPainter> painter_;
};
