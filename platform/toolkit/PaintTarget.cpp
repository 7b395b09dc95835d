#include "platform/toolkit/PaintTarget.h"

#include <libyuv.h>

#include <QImage>
#include <QPaintDevice>
#include <QRegion>
#include <QWidget>

QImage* StraightPaintTarget(const QWidget& widget, QPaintDevice* redirected,
                            const QPoint& redirection, const QPainter* shared, QPoint* origin) {
  if (shared || widget.graphicsEffect() || !redirected || redirected->devType() != QInternal::Image)
    return nullptr;
  auto* image = static_cast<QImage*>(redirected);
  const QImage::Format format = image->format();
  if (image->devicePixelRatio() != 1.0 ||
      (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32 &&
       format != QImage::Format_ARGB32_Premultiplied))
    return nullptr;
  // Painting redirects the widget with the negated offset of its origin in the image.
  *origin = -redirection;
  return image;
}

namespace {

template <class RowsOp>
void ForEachPart(const QImage& picture, QImage& target, const QPoint& origin, const QRegion& region,
                 RowsOp rows) {
  const QRect visible = picture.rect() & target.rect().translated(-origin);
  const auto pictureStride = static_cast<int>(picture.bytesPerLine());
  const auto targetStride = static_cast<int>(target.bytesPerLine());
  uchar* const bits = target.bits();
  for (const QRect& rect : region) {
    const QRect part = rect & visible;
    if (part.isEmpty()) continue;
    uchar* to = bits + static_cast<qsizetype>(part.top() + origin.y()) * targetStride +
                4 * static_cast<qsizetype>(part.left() + origin.x());
    rows(picture.constScanLine(part.top()) + picture.depth() / 8 * part.left(), pictureStride, to,
         targetStride, part.width(), part.height());
  }
}

}  // namespace

void CopyStraight(const QImage& picture, QImage& target, const QPoint& origin,
                  const QRegion& region) {
  ForEachPart(picture, target, origin, region,
              [](const uchar* from, int fromStride, uchar* to, int toStride, int w, int h) {
                libyuv::ARGBCopy(from, fromStride, to, toStride, w, h);
              });
}

void BlendStraight(const QImage& picture, QImage& target, const QPoint& origin,
                   const QRegion& region) {
  ForEachPart(picture, target, origin, region,
              [](const uchar* from, int fromStride, uchar* to, int toStride, int w, int h) {
                libyuv::ARGBBlend(from, fromStride, to, toStride, to, toStride, w, h);
              });
}

void WidenStraight(const QImage& picture, QImage& target, const QPoint& origin,
                   const QRegion& region) {
  ForEachPart(picture, target, origin, region,
              [](const uchar* from, int fromStride, uchar* to, int toStride, int w, int h) {
                libyuv::RGB24ToARGB(from, fromStride, to, toStride, w, h);
              });
}
