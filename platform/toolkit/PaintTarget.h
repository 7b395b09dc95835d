// Painting a picture 1:1 without a QPainter, for widgets that show a new picture every frame.
#pragma once

#include <QPoint>

class QRegion;

class QImage;
class QPaintDevice;
class QPainter;
class QWidget;

// The 32-bit image a widget's paint event draws into when it can be written straight: the
// window's backing store (or an image the widget is rendered into) at scale 1, with no painter
// shared from a parent and no graphics effect. The caller passes what its protected redirected()
// and sharedPainter() give; origin receives the widget's top-left corner in the image. Null
// means: paint with a QPainter. A QPainter costs more to set up than a small picture costs to
// copy. Thread: UI, inside the widget's paint event.
QImage* StraightPaintTarget(const QWidget& widget, QPaintDevice* redirected,
                            const QPoint& redirection, const QPainter* shared, QPoint* origin);

// Puts a picture, placed at the widget's origin in target, into target inside region (widget
// coordinates): copied as it is (an opaque RGB32 picture), blended over what target holds (a
// premultiplied ARGB32 picture; the result is opaque), or widened (a 24-bit Format_BGR888
// picture).
void CopyStraight(const QImage& picture, QImage& target, const QPoint& origin,
                  const QRegion& region);
void BlendStraight(const QImage& picture, QImage& target, const QPoint& origin,
                   const QRegion& region);
void WidenStraight(const QImage& picture, QImage& target, const QPoint& origin,
                   const QRegion& region);
