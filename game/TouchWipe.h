// Wiping by hand: pointer, pen, touch and keyboard input over the iced window and the live
// picture, forwarded to the touch camera through TouchInput.
#pragma once

#include <cstdint>

#include <QCursor>
#include <QObject>
#include <QPointF>

#include "platform/media/TouchInput.h"

class QEvent;
class QWidget;
class TCaptureControl;
class TImage;

// Forwards every press, drag and release of the mouse (left button), a pen and each touch point
// over the iced window and the live picture as a point of the camera picture, mirrored as the
// picture is, so the touch camera's stroke and so the cleared ice land under the finger at any
// capture size. With the iced window focused, the arrow keys move a keyboard brush and Space
// starts or stops wiping with it. While the touch camera is the device, the iced window shows
// the sponge cursor and carries the hint to wipe as its tool tip.
// Thread: UI.
class TTouchWipe : public QObject {
  Q_OBJECT

 public:
  // Brush width of a finger, and the keyboard brush's step as a share of the window width.
  static constexpr double kFingerMillimetres = 12.0;
  static constexpr double kKeyStep = 0.04;

  TTouchWipe(TImage* output, TCaptureControl* capture, QObject* parent = nullptr);

  // Shows the sponge cursor and the hint while the touch camera is the opened device, the
  // normal arrow otherwise. Call after every device selection.
  void DeviceSelected();
  bool TouchCameraSelected() const { return touchCamera_; }

  // The hint the player sees while the touch camera is the device.
  static QString Hint();
  // How to wipe by hand and by keyboard, for the iced window's accessible description.
  static QString KeyboardHelp();
  // The sponge cursor, hotspot at its centre.
  static QCursor SpongeCursor();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Watch(QWidget* widget);
  void Forward(QWidget* over, std::int64_t pointer, TouchPoint::Phase phase, QPointF position,
               double diameterPixels);
  bool KeyPressed(QEvent* event);

  TImage* output_;
  TCaptureControl* capture_;
  bool touchCamera_ = false;
  bool keyWiping_ = false;
  QPointF keyBrush_{0.5, 0.5};  // the keyboard brush on the iced window, 0..1 each way
};
