// What the player is told in the main window: a strip over the bottom of the live picture.
#pragma once

#include <QObject>
#include <QString>

class QLabel;
class TCaptureControl;

// The one place in the main window that tells the player what to do or what went wrong. It
// shows, most important first: a problem the capture control reported (a camera in use, no
// permission, no usable picture, settings not kept) until the next Start or another camera is
// chosen; while stopped, what to do (or, playing with a built-in camera, that a camera is there
// but closed to this user); while playing, that the picture comes from the demo camera
// or how to wipe with the touch camera. Nothing while a real camera plays. The strip is a child
// of the capture control, above its picture, and lets the mouse through to it.
// Thread: UI. A child of the capture control, as its label is: both go with the control.
class TPlayerMessage : public QObject {
  Q_OBJECT

 public:
  explicit TPlayerMessage(TCaptureControl* capture);

  // A problem to show until the next Start or another camera; the newest replaces an older one.
  void ShowProblem(const QString& text);
  // Shows what fits the game's state and the opened camera. Call after Start and Stop and after
  // every device selection.
  void Update(bool stopped);
  // Start was pressed: an earlier problem is over (a new one arrives if the start fails).
  void Started();

  QString Text() const;
  QLabel* Label() const { return label_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Show(const QString& text);
  void Place();

  TCaptureControl* capture_;
  QLabel* label_;
  QString problem_;
  int problemDevice_ = -1;  // the camera the problem belongs to
  bool stopped_ = true;
};
