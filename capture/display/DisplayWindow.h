// Displays of the capture control: the settings of a display window by index, the records that
// put a renderer's window into a display, the forms that hold them, and the monitor slots.
#pragma once

#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

#include "platform/com/ComPtr.h"
#include "platform/media/ControlInterfaces.h"
#include "platform/media/FilterInterfaces.h"

class QScreen;
class TCaptureCore;
struct TDisplayRecord;

// Index of a display setting, as the published Display_ and DualDisplay_ properties use it.
enum TVideoWindowSetting : int {
  vw_Active = 0,
  vw_AutoSize = 1,
  vw_Embedded = 2,
  vw_FullScreen = 3,
  vw_KeepAspectRatio = 4,
  vw_StayOnTop = 5,
  vw_MouseMovesWindow = 6,
  vw_VideoPortEnabled = 7,
  vw_Monitor = 8,
  vw_Width = 11,
  vw_Height = 12,
  vw_Left = 13,
  vw_Top = 14
};

// The state of one display beyond its published settings (which live in TCaptureSettings): its
// number (0 the display, 1 the second display), the record it serves and the mouse drag. The
// other display is its twin.
// Thread: UI.
struct TVideoWindow {
  explicit TVideoWindow(int number) : Number(number) {}
  int Number;
  QSize DisplaySize;
  TDisplayRecord* Record = nullptr;
  bool InUse = false;
  // A drag of a floating display with the mouse: the press point in the form.
  bool Dragging = false;
  QPoint DragOffset;
  // A hidden window that holds the renderer's video window while its form changes parent.
  QPointer<QWidget> Utility;
};

class TDisplayForm;

// One renderer and where it is shown. Records 0 and 1 serve the display renderer and the second
// renderer; record 2 the video port, which no device here has. Thread: UI.
struct TDisplayRecord {
  TVideoWindow* Display = nullptr;
  QPointer<TDisplayForm> Form;
  QRect Bounds;     // the form's last bounds (global for a window, else in the control)
  QRect VideoRect;  // the part of the form the video covers
  ComPtr<IBaseFilter> Renderer;
  ComPtr<IVideoWindow> Window;
  bool Added = false;  // the renderer was added to the graph
  QPointer<QWidget> RendererWindow;
};

// One of the ten monitor slots, filled from the screens Qt reports, in its order.
struct TMonitorInfo {
  int Slot = 0;
  bool Found = false;
  QScreen* Monitor = nullptr;
  QRect Rect;
};

// The form that holds a record's renderer window: no caption, no frame, owned by the control.
// It lays the displays out again when it is resized, and raises the control's mouse and key
// events with its display's number. Thread: UI.
class TDisplayForm final : public QWidget {
 public:
  TDisplayForm(QWidget* owner, TCaptureCore* core, int record);

  int RecordIndex() const { return record_; }

 protected:
  // An embedded form fills the control's client area: a resize of the control resizes it.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  TCaptureCore* core_;
  int record_;
};

// The video's rectangle in an area: the whole area, or with the aspect ratio kept the largest
// centred rectangle of the video's shape (pillar- or letter-boxed).
QRect VideoRectangle(const QSize& area, int videoWidth, int videoHeight, bool keepAspect);
