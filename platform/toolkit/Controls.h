// Project controls that Qt lacks as such: an image showing a bitmap, an up-down with arrows.
#pragma once

#include <functional>
#include <memory>

#include <QLabel>
#include <QWidget>

#include "platform/toolkit/Bitmap.h"
#include "platform/toolkit/Forms.h"

class QToolButton;

// Registers the accessibility of the project controls with Qt (idempotent).
void InstallAccessibleControls();

// Shows a copy of a bitmap at its top-left corner. With Transparent set, pixels of the
// bitmap's bottom-left colour are not drawn. Thread: UI.
class TImage : public QWidget {
  Q_OBJECT
  Q_PROPERTY(bool Transparent READ Transparent WRITE SetTransparent)
  Q_PROPERTY(bool Stretch READ Stretch WRITE SetStretch)
  Q_PROPERTY(QString PictureResource READ PictureResource WRITE SetPictureResource)

 public:
  explicit TImage(QWidget* parent = nullptr);
  ~TImage() override;

  // The picture shown; call Changed() after drawing on it directly.
  TBitmap& Picture() { return *picture_; }
  // Takes a copy of the bitmap and shows it.
  void Assign(const TBitmap& bitmap);
  void Changed();
  // The number screen readers read as this picture's value (0 to 100); an event tells them of
  // a change.
  void SetAccessibleValue(double value);
  bool HasAccessibleValue() const { return hasAccessibleValue_; }
  double AccessibleValue() const { return accessibleValue_; }

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);
  // Draws the picture scaled to the control's size rather than at its own size.
  bool Stretch() const { return stretch_; }
  void SetStretch(bool stretch);
  // Loads a named bitmap resource as the picture (stored in window descriptions).
  QString PictureResource() const { return resource_; }
  void SetPictureResource(const QString& name);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::unique_ptr<TBitmap> picture_;
  void RebuildDisplay();
  // Widens the 24-bit picture straight into the 32-bit image being painted; false when the
  // picture needs the painter (transparency, stretching, another format).
  bool PaintStraight(QImage& target, const QPoint& origin, const QRegion& region);
  void UpdateOpaque();

  QImage display_;  // the picture as the paint engine's native format, rebuilt when painted
  bool displayStale_ = false;
  bool transparent_ = false;
  bool stretch_ = false;
  QString resource_;
  bool hasAccessibleValue_ = false;
  double accessibleValue_ = 0;
};

// A label that sizes itself to its caption (AutoSize, the default), keeping its top-left corner,
// so texts are never clipped whatever the font metrics of the desktop. Thread: UI.
class TLabel : public QLabel, public TLoadable {
  Q_OBJECT
  Q_PROPERTY(bool AutoSize READ AutoSize WRITE SetAutoSize)

 public:
  explicit TLabel(QWidget* parent = nullptr) : QLabel(parent) {}
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool on);
  QString Caption() const { return text(); }
  void SetCaption(const QString& caption);
  void Loaded() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Fit();
  bool autoSize_ = true;
  bool fitPending_ = false;
};

enum TUDBtnType { btNext, btPrev };
enum TUpDownDirection { updNone, updUp, updDown };

// Up-down control with horizontal arrows and no buddy. A click offers Position ± 1 to
// OnChangingEx, which may refuse it; the position never leaves Min..Max (no wrap-around).
// Thread: UI.
class TUpDown : public QWidget {
  Q_OBJECT
  Q_PROPERTY(int Min READ Min WRITE SetMin)
  Q_PROPERTY(int Max READ Max WRITE SetMax)
  Q_PROPERTY(int Position READ Position WRITE SetPosition)

 public:
  using TChangingEx =
      std::function<void(bool& allowChange, short newValue, TUpDownDirection direction)>;

  explicit TUpDown(QWidget* parent = nullptr);

  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  void SetMin(int value) { min_ = value; }
  void SetMax(int value) { max_ = value; }
  void SetPosition(int value);

  TChangingEx OnChangingEx;

  // What a click on an arrow does (also used by tests).
  void Click(TUDBtnType button);
  QToolButton* Arrow(TUDBtnType button) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QToolButton* prev_;
  QToolButton* next_;
  int min_ = 0;
  int max_ = 100;
  int position_ = 0;
};
