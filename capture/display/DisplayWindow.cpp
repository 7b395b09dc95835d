// The displays of the capture control: settings by index with the twin rule and the change
// handler, assigning renderer records to displays, laying out embedded, floating and full-screen
// forms, monitors, and the forms' mouse and key events.
#include "capture/display/DisplayWindow.h"

#include <cmath>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMouseEvent>
#include <QMoveEvent>
#include <QPalette>
#include <QScreen>

#include "capture/CaptureCtl.h"
#include "capture/core/CaptureCore.h"
#include "platform/media/UiThread.h"
#include "platform/media/WindowTypes.h"
#include "platform/toolkit/Graphics.h"

namespace {

// Rounds halves to even, as the size rules ask.
int RoundEven(double v) {
  return static_cast<int>(std::nearbyint(v));
}

bool* FlagField(TCaptureSettings& s, int display, TVideoWindowSetting setting) {
  const bool first = display == 0;
  switch (setting) {
    case vw_Active:
      return first ? &s.Display_Active : &s.DualDisplay_Active;
    case vw_AutoSize:
      return first ? &s.Display_AutoSize : &s.DualDisplay_AutoSize;
    case vw_Embedded:
      return first ? &s.Display_Embedded : &s.DualDisplay_Embedded;
    case vw_FullScreen:
      return first ? &s.Display_FullScreen : &s.DualDisplay_FullScreen;
    case vw_KeepAspectRatio:
      return first ? &s.Display_KeepAspectRatio : &s.DualDisplay_KeepAspectRatio;
    case vw_StayOnTop:
      return first ? &s.Display_StayOnTop : &s.DualDisplay_StayOnTop;
    case vw_MouseMovesWindow:
      return first ? &s.Display_MouseMovesWindow : &s.DualDisplay_MouseMovesWindow;
    case vw_VideoPortEnabled:
      return first ? &s.Display_VideoPortEnabled : &s.DualDisplay_VideoPortEnabled;
    default:
      return nullptr;
  }
}

int* ValueField(TCaptureSettings& s, int display, TVideoWindowSetting setting) {
  const bool first = display == 0;
  switch (setting) {
    case vw_Monitor:
      return first ? &s.Display_Monitor : &s.DualDisplay_Monitor;
    case vw_Width:
      return first ? &s.Display_Width : &s.DualDisplay_Width;
    case vw_Height:
      return first ? &s.Display_Height : &s.DualDisplay_Height;
    case vw_Left:
      return first ? &s.Display_Left : &s.DualDisplay_Left;
    case vw_Top:
      return first ? &s.Display_Top : &s.DualDisplay_Top;
    default:
      return nullptr;
  }
}

// The shift state of the control's events: shift, alt, ctrl, then the left, right and middle
// buttons held, then a double click.
TShiftState ShiftState(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons, bool dbl) {
  TShiftState s = 0;
  if (modifiers & Qt::ShiftModifier) s |= 1u << 0;
  if (modifiers & Qt::AltModifier) s |= 1u << 1;
  if (modifiers & Qt::ControlModifier) s |= 1u << 2;
  if (buttons & Qt::LeftButton) s |= 1u << 3;
  if (buttons & Qt::RightButton) s |= 1u << 4;
  if (buttons & Qt::MiddleButton) s |= 1u << 5;
  if (dbl) s |= 1u << 6;
  return s;
}

TMouseButton ToMouseButton(Qt::MouseButton button) {
  if (button == Qt::RightButton) return mbRight;
  if (button == Qt::MiddleButton) return mbMiddle;
  return mbLeft;
}

}  // namespace

QRect VideoRectangle(const QSize& area, int videoWidth, int videoHeight, bool keepAspect) {
  if (!keepAspect || videoWidth <= 0 || videoHeight <= 0) return QRect(QPoint(0, 0), area);
  const double r = static_cast<double>(videoWidth) / videoHeight;
  const int h = RoundEven(area.width() / r);
  if (area.height() < h) {
    const int w = RoundEven(r * area.height());
    const int left = (area.width() - w) >> 1;
    return QRect(left, 0, w, area.height());
  }
  const int top = (area.height() - h) >> 1;
  return QRect(0, top, area.width(), h);
}

// ---- the form ----

TDisplayForm::TDisplayForm(QWidget* owner, TCaptureCore* core, int record)
    : QWidget(owner), core_(core), record_(record) {
  setObjectName(QStringLiteral("TDisplayForm"));
  setAutoFillBackground(true);
  setFocusPolicy(Qt::ClickFocus);
  setMouseTracking(true);
  hide();
  setGeometry(10, 10, core->VideoWidth, core->VideoHeight);
  owner->installEventFilter(this);
}

bool TDisplayForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize && watched == parent() && !isWindow() && isVisible())
    core_->LayoutDisplay();
  return false;
}

void TDisplayForm::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  core_->LayoutDisplay();
}

void TDisplayForm::mousePressEvent(QMouseEvent* e) {
  core_->DisplayMouse(record_, e->type(), e->button(), e->modifiers(), e->position().toPoint(),
                      e->globalPosition().toPoint());
}
void TDisplayForm::mouseReleaseEvent(QMouseEvent* e) {
  core_->DisplayMouse(record_, e->type(), e->button(), e->modifiers(), e->position().toPoint(),
                      e->globalPosition().toPoint());
}
void TDisplayForm::mouseDoubleClickEvent(QMouseEvent* e) {
  core_->DisplayMouse(record_, e->type(), e->button(), e->modifiers(), e->position().toPoint(),
                      e->globalPosition().toPoint());
}
void TDisplayForm::mouseMoveEvent(QMouseEvent* e) {
  core_->DisplayMouse(record_, e->type(), e->button(), e->modifiers(), e->position().toPoint(),
                      e->globalPosition().toPoint());
}
void TDisplayForm::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  core_->DisplayMoved();
}
void TDisplayForm::paintEvent(QPaintEvent* event) {
  QWidget::paintEvent(event);
  core_->DisplayPainted(record_);
}

void TDisplayForm::keyPressEvent(QKeyEvent* e) {
  if (e->text().isEmpty()) return QWidget::keyPressEvent(e);
  core_->DisplayKey(record_, e->text().at(0), e->modifiers());
}

// ---- settings ----

bool TCaptureCore::DisplayFlag(int display, TVideoWindowSetting setting) const {
  const bool* field = FlagField(const_cast<TCaptureSettings&>(Settings), display, setting);
  return field && *field;
}

int TCaptureCore::DisplayValue(int display, TVideoWindowSetting setting) const {
  const int* field = ValueField(const_cast<TCaptureSettings&>(Settings), display, setting);
  return field ? *field : 0;
}

void TCaptureCore::SetDisplayFlag(int display, TVideoWindowSetting setting, bool value) {
  bool* field = FlagField(Settings, display, setting);
  if (!field || *field == value) return;
  *field = value;
  // One display at a time is embedded, full screen or on the video port; the twin gives it up
  // without its own handler.
  if (value &&
      (setting == vw_Embedded || setting == vw_FullScreen || setting == vw_VideoPortEnabled))
    *FlagField(Settings, 1 - display, setting) = false;
  if (setting == vw_Embedded || setting == vw_FullScreen) displays_[display].Dragging = false;
  DisplayChanged(display, setting, value);
}

void TCaptureCore::SetDisplayValue(int display, TVideoWindowSetting setting, int value) {
  int* field = ValueField(Settings, display, setting);
  if (!field || *field == value) return;
  *field = value;
  DisplayChanged(display, setting, false);
}

void TCaptureCore::DisplayChanged(int display, TVideoWindowSetting setting, bool turnedOn) {
  // Values written while the window description loads are only stored; the first graph
  // assigns and lays out.
  if (!Initialized || Owner->Loading()) return;
  TVideoWindow& window = displays_[display];
  switch (setting) {
    case vw_Active:
      if (turnedOn && !window.InUse) RefreshPreview(QStringLiteral("vwn"));
      break;
    case vw_MouseMovesWindow:
      if (turnedOn) window.Dragging = false;
      [[fallthrough]];
    case vw_AutoSize:
    case vw_Embedded: {
      const TCaptureState state = CaptureState.load();
      if (DisplayFlag(display, vw_FullScreen) && state != cs_Idle && state != cs_Reencoding) return;
      break;
    }
    case vw_VideoPortEnabled:
      // Only a device with a video port pin uses it; no device here has one.
      return;
    default:
      break;
  }
  AssignDisplays();
  ShowDisplay();
}

int TCaptureCore::BorderWidth() const {
  return Owner->width() - Owner->contentsRect().width();
}

void TCaptureCore::SetBorderStyle(CaptureTypes::TBorderStyle value) {
  if (value != bsNone && value != bsSingle) return;
  DetachDisplays();
  Settings.BorderStyle = value;
  Owner->setFrameStyle(value == bsSingle ? (QFrame::Box | QFrame::Plain) : QFrame::NoFrame);
  Owner->setLineWidth(value == bsSingle ? 1 : 0);
  if (Initialized && !Owner->Loading()) {
    AssignDisplays();
    ShowDisplay();
  }
  Owner->update();
}

void TCaptureCore::SetPreviewZoomSize(int value) {
  if (value < 1 || value == Settings.PreviewZoomSize) return;
  Settings.PreviewZoomSize = value;
  if (!Owner->Loading()) LayoutDisplay();
}

void TCaptureCore::SetBackgroundColor(int value) {
  Settings.BackgroundColor = value;
  for (TDisplayRecord& r : records_) {
    if (!r.Form) continue;
    QPalette palette = r.Form->palette();
    palette.setColor(QPalette::Window, ToQColor(value));
    r.Form->setPalette(palette);
  }
  Owner->update();
}

// ---- monitors ----

QRect TCaptureCore::MonitorRect(int index) const {
  if (!monitorsFilled_) {
    auto& table = monitors_;
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (std::size_t i = 0; i < table.size(); ++i) {
      table[i].Slot = static_cast<int>(i);
      table[i].Found = i < static_cast<std::size_t>(screens.size());
      table[i].Monitor = table[i].Found ? screens[static_cast<qsizetype>(i)] : nullptr;
      table[i].Rect = table[i].Found ? table[i].Monitor->geometry() : QRect();
    }
    monitorsFilled_ = true;
  }
  if (index < 0 || index >= static_cast<int>(monitors_.size())) return {};
  return monitors_[static_cast<std::size_t>(index)].Rect;
}

// ---- assigning, laying out, showing ----

QWidget* TCaptureCore::DisplayForm(int record) const {
  return records_[static_cast<std::size_t>(record)].Form.data();
}

QSize TCaptureCore::DisplayVideoSize() const {
  int w = VideoWidth, h = VideoHeight;
  if (UseNearest && NearestWidth > 0 && NearestHeight > 0) {
    w = NearestWidth;
    h = NearestHeight;
  }
  const int zoom = Settings.PreviewZoomSize;
  if (zoom != 100) {
    w = RoundEven(w * zoom / 100.0);
    h = RoundEven(h * zoom / 100.0);
  }
  return {w, h};
}

void TCaptureCore::AssignDisplays() {
  if (!Initialized || Destroying.load()) return;
  RunOnUiThread([this] {
    for (TDisplayRecord& r : records_) r.Display = nullptr;
    for (TVideoWindow& d : displays_) {
      d.Record = nullptr;
      d.InUse = false;
    }
    // The display renderer's record, then the second renderer's, each to the first display
    // that is active and still free, the display first. (The video-port record never has a
    // renderer here.)
    for (std::size_t i = 0; i < 2; ++i) {
      TDisplayRecord& r = records_[i];
      if (!r.Renderer) continue;
      for (TVideoWindow& d : displays_) {
        if (d.Record || !DisplayFlag(d.Number, vw_Active)) continue;
        d.Record = &r;
        r.Display = &d;
        break;
      }
    }
    for (TVideoWindow& d : displays_) {
      if (!d.Record) continue;
      AttachRecord(*d.Record);
      d.InUse = true;
    }
  });
}

void TCaptureCore::AttachRecord(TDisplayRecord& r) {
  TDisplayForm* form = r.Form.data();
  if (!form || !r.Display) return;
  const int n = r.Display->Number;
  const bool fullScreen = DisplayFlag(n, vw_FullScreen);
  if (!fullScreen) form->hide();
  if (r.Window) {
    // The video window waits in the display's hidden utility window while its form changes
    // parent, so it is never destroyed or shown with the form on the way.
    TVideoWindow& display = *r.Display;
    if (!display.Utility) {
      display.Utility = new QWidget(Owner, Qt::Tool);
      display.Utility->setObjectName(QStringLiteral("DisplayUtilityWindow"));
      display.Utility->hide();
    }
    r.Window->put_Visible(OAFALSE);
    r.Window->put_Owner(display.Utility.data());
  }
  if (DisplayFlag(n, vw_Embedded) && !fullScreen) {
    form->setParent(Owner, Qt::Widget);
  } else {
    // A window of its own, still owned by the control.
    Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint;
    if (DisplayFlag(n, vw_StayOnTop)) flags |= Qt::WindowStaysOnTopHint;
    form->setParent(Owner, flags);
  }
  if (r.Window) {
    r.Window->put_Visible(OAFALSE);
    r.Window->put_Owner(form);
    r.Window->put_WindowStyle(WS_CHILD);
    r.Window->put_MessageDrain(form);
    r.Window->put_Visible(OATRUE);
  }
  QPalette palette = form->palette();
  palette.setColor(QPalette::Window, ToQColor(Settings.BackgroundColor));
  form->setPalette(palette);
}

void TCaptureCore::DetachDisplays() {
  RunOnUiThread([this] {
    for (TDisplayRecord& r : records_) {
      if (!r.Form || !r.Display) continue;
      r.Form->hide();
      if (r.Window) r.Window->put_Visible(OAFALSE);
      r.Form->setParent(Owner, Qt::Window | Qt::FramelessWindowHint);
    }
  });
}

void TCaptureCore::LayoutRecord(TDisplayRecord& r) {
  TDisplayForm* form = r.Form.data();
  if (!r.Display || !form) return;
  TCaptureControl* c = Owner;
  const int n = r.Display->Number;
  const QSize video = DisplayVideoSize();
  const bool autoSize = DisplayFlag(n, vw_AutoSize);
  QRect bounds;
  if (DisplayFlag(n, vw_FullScreen)) {
    bounds = MonitorRect(DisplayValue(n, vw_Monitor));
    if (bounds.isEmpty()) {
      const QScreen* primary = QGuiApplication::primaryScreen();
      bounds = QRect(QPoint(0, 0), primary ? primary->size() : video);
    }
  } else if (DisplayFlag(n, vw_Embedded)) {
    const int border = BorderWidth();
    QSize area;
    if (AutoSizeApplies(n)) {
      area = video;
      c->resize(video.width() + border, video.height() + border);
    } else {
      area = QSize(c->width() - border, c->height() - border);
    }
    // The control's client area begins inside its frame.
    bounds = QRect(c->contentsRect().topLeft(), area);
  } else {
    const QSize area =
        autoSize ? video : QSize(DisplayValue(n, vw_Width), DisplayValue(n, vw_Height));
    QPoint position(DisplayValue(n, vw_Left), DisplayValue(n, vw_Top));
    const QRect monitor = MonitorRect(DisplayValue(n, vw_Monitor));
    if (!monitor.isEmpty()) position += monitor.topLeft();
    bounds = QRect(position, area);
  }
  r.VideoRect =
      VideoRectangle(bounds.size(), VideoWidth, VideoHeight, DisplayFlag(n, vw_KeepAspectRatio));
  form->setGeometry(bounds);
  r.Bounds = bounds;
  r.Display->DisplaySize = bounds.size();
  if (r.Window)
    r.Window->SetWindowPosition(r.VideoRect.left(), r.VideoRect.top(), r.VideoRect.width(),
                                r.VideoRect.height());
}

void TCaptureCore::LayoutDisplay() {
  if (!Initialized || layingOut_ || Destroying.load()) return;
  layingOut_ = true;
  RunOnUiThread([this] {
    TCaptureControl* c = Owner;
    const TCaptureState state = CaptureState.load();
    if (state == cs_Previewing || state == cs_Recording || state == cs_Playing) {
      for (TDisplayRecord& r : records_) LayoutRecord(r);
    } else if (state == cs_Idle && (AutoSizeApplies(0) || AutoSizeApplies(1))) {
      // The selected size afresh: the last graph may have left another (a rotated picture).
      int w = 0, h = 0;
      CurrentVideoSize(-1, &w, &h);
      if (w > 0 && h > 0) {
        VideoWidth = w;
        VideoHeight = h;
      }
      const QSize video = DisplayVideoSize();
      const int border = BorderWidth();
      if (video.isValid()) c->resize(video.width() + border, video.height() + border);
    }
    const TOnResizeVideo resized = c->OnResizeVideo;
    if (c->EventReady(resized)) resized(c, VideoWidth, VideoHeight);
    c->update();
  });
  layingOut_ = false;
}

bool TCaptureCore::AutoSizeApplies(int n) const {
  if (!DisplayFlag(n, vw_Embedded) || DisplayFlag(n, vw_FullScreen) || !DisplayFlag(n, vw_AutoSize))
    return false;
  // A layout of the parent sizes the control as a client-filling control; so do anchors to
  // both opposite edges.
  const QWidget* parent = Owner->parentWidget();
  if (parent && parent->layout() && parent->layout()->indexOf(Owner) >= 0) return false;
  QStringList edges = Owner->property("anchors").toString().toLower().split(u',');
  for (QString& edge : edges) edge = edge.trimmed();
  return !(edges.contains(u"left") && edges.contains(u"right")) &&
         !(edges.contains(u"top") && edges.contains(u"bottom"));
}

void TCaptureCore::DisplayPainted(int record) {
  TDisplayRecord& r = records_[static_cast<std::size_t>(record)];
  if (r.Window && r.Added && r.RendererWindow) r.RendererWindow->update();
}

void TCaptureCore::DisplayMoved() {
  if (Destroying.load()) return;
  for (TDisplayRecord& r : records_)
    if (r.RendererWindow) r.RendererWindow->update();
}

void TCaptureCore::ShowDisplay() {
  if (!Initialized || Destroying.load()) return;
  RunOnUiThread([this] {
    for (TDisplayRecord& r : records_) {
      TDisplayForm* form = r.Form.data();
      if (!form) continue;
      const bool visible = r.Added && r.Display && DisplayFlag(r.Display->Number, vw_Active);
      if (visible && form->isWindow() && r.Bounds.isValid()) form->setGeometry(r.Bounds);
      form->setVisible(visible);
      r.RendererWindow = form->findChild<QWidget*>(QStringLiteral("VideoRenderer"));
    }
  });
  LayoutDisplay();
}

void TCaptureCore::HideDisplay() {
  RunOnUiThread([this] {
    for (TDisplayRecord& r : records_) {
      if (r.Form) r.Form->hide();
      if (r.Window) {
        r.Window->put_Visible(OAFALSE);
        r.Window->put_Owner(nullptr);
      }
    }
  });
}

void TCaptureCore::UpdateDisplaySize() {
  // While idle the control takes the selected size; a running graph lays its window out too.
  LayoutDisplay();
}

// ---- input on the display forms ----

void TCaptureCore::DisplayMouse(int record, QEvent::Type type, Qt::MouseButton button,
                                Qt::KeyboardModifiers modifiers, QPoint position, QPoint global) {
  TDisplayRecord& r = records_[static_cast<std::size_t>(record)];
  if (!r.Display || !r.Form) return;
  const int n = r.Display->Number;
  TVideoWindow& d = displays_[static_cast<std::size_t>(n)];
  // A floating display follows the mouse while the left button is held.
  if (!DisplayFlag(n, vw_Embedded) && !DisplayFlag(n, vw_FullScreen) &&
      DisplayFlag(n, vw_MouseMovesWindow)) {
    if (type == QEvent::MouseButtonPress && button == Qt::LeftButton) {
      d.Dragging = true;
      d.DragOffset = position;
    } else if (type == QEvent::MouseMove && d.Dragging) {
      const QPoint topLeft = global - d.DragOffset;
      r.Form->move(topLeft);
      r.Bounds.moveTopLeft(topLeft);
      // The new place is kept as the display's position, without a new layout.
      QPoint relative = topLeft;
      const QRect monitor = MonitorRect(DisplayValue(n, vw_Monitor));
      if (!monitor.isEmpty()) relative -= monitor.topLeft();
      *ValueField(Settings, n, vw_Left) = relative.x();
      *ValueField(Settings, n, vw_Top) = relative.y();
    } else if (type == QEvent::MouseButtonRelease) {
      d.Dragging = false;
    }
  }
  QPoint p = position;
  if (Settings.TranslateMouseCoordinates) {
    const QRect v = r.VideoRect;
    if (!v.contains(position) || v.width() <= 0 || v.height() <= 0) return;
    p = QPoint((position.x() - v.left()) * VideoWidth / v.width(),
               (position.y() - v.top()) * VideoHeight / v.height());
  }
  TCaptureControl* c = Owner;
  const Qt::MouseButtons held = QGuiApplication::mouseButtons();
  switch (type) {
    case QEvent::MouseButtonPress:
      if (c->EventReady(c->OnMouseDown))
        c->OnMouseDown(c, n, ToMouseButton(button), ShiftState(modifiers, held | button, false),
                       p.x(), p.y());
      break;
    case QEvent::MouseButtonRelease:
      if (c->EventReady(c->OnMouseUp))
        c->OnMouseUp(c, n, ToMouseButton(button), ShiftState(modifiers, held, false), p.x(), p.y());
      if (button == Qt::LeftButton && c->EventReady(c->OnClick)) c->OnClick(c);
      break;
    case QEvent::MouseButtonDblClick:
      if (c->EventReady(c->OnDblClick)) c->OnDblClick(c);
      break;
    case QEvent::MouseMove:
      if (c->EventReady(c->OnMouseMove))
        c->OnMouseMove(c, n, ShiftState(modifiers, held, false), p.x(), p.y());
      break;
    default:
      break;
  }
}

void TCaptureCore::DisplayKey(int record, QChar key, Qt::KeyboardModifiers modifiers) {
  TDisplayRecord& r = records_[static_cast<std::size_t>(record)];
  TCaptureControl* c = Owner;
  if (!r.Display || !c->EventReady(c->OnKeyPress)) return;
  char k = key.toLatin1();
  c->OnKeyPress(c, r.Display->Number, k, key.unicode(), ShiftState(modifiers, {}, false));
}
