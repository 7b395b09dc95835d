// The video display inside the control: the form that holds the renderer's window, its place
// and size, and the control's size following the video.
#include <algorithm>
#include <cmath>

#include <QPalette>
#include <QWidget>

#include "capture/CaptureCtl.h"
#include "capture/core/CaptureCore.h"
#include "platform/media/UiThread.h"
#include "platform/media/VideoWindow.h"
#include "platform/media/WindowTypes.h"

namespace {

// Rounds halves to even, as the size rules ask.
int RoundEven(double v) {
  return static_cast<int>(std::nearbyint(v));
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

void TCaptureCore::LayoutDisplay() {
  if (!Initialized || layingOut_ || Destroying.load()) return;
  layingOut_ = true;
  RunOnUiThread([this] {
    TCaptureControl* c = Owner;
    const int border = c->width() - c->contentsRect().width();
    const bool autoSize =
        Settings.Display_Embedded && !Settings.Display_FullScreen && Settings.Display_AutoSize;
    const QSize video = DisplayVideoSize();
    if (autoSize && video.isValid()) c->resize(video.width() + border, video.height() + border);
    if (displayForm_ && videoWindow_ && CaptureState.load() != cs_Idle) {
      QSize area;
      if (Settings.Display_Embedded && !Settings.Display_FullScreen) {
        displayForm_->move(c->contentsRect().topLeft());
        area = autoSize ? video : c->contentsRect().size();
      } else {
        area = Settings.Display_AutoSize ? video
                                         : QSize(Settings.Display_Width, Settings.Display_Height);
        displayForm_->move(Settings.Display_Left, Settings.Display_Top);
      }
      displayForm_->resize(area);
      const QRect r =
          VideoRectangle(area, VideoWidth, VideoHeight, Settings.Display_KeepAspectRatio);
      videoWindow_->SetWindowPosition(r.left(), r.top(), r.width(), r.height());
    }
    const TOnResizeVideo resized = c->OnResizeVideo;
    if (c->EventReady(resized)) resized(c, VideoWidth, VideoHeight);
    c->update();
  });
  layingOut_ = false;
}

void TCaptureCore::ShowDisplay() {
  if (!Initialized || Destroying.load()) return;
  RunOnUiThread([this] {
    TCaptureControl* c = Owner;
    if (!displayForm_) {
      // Made once, owned by the control, reused by every later graph.
      displayForm_ = new QWidget(c);
      displayForm_->setObjectName(QStringLiteral("TDisplayForm"));
      displayForm_->setAutoFillBackground(true);
      displayForm_->hide();
    }
    QPalette palette = displayForm_->palette();
    palette.setColor(QPalette::Window, ToQColor(Settings.BackgroundColor));
    displayForm_->setPalette(palette);
    if (Settings.Display_Embedded && !Settings.Display_FullScreen) {
      displayForm_->setParent(c);
    } else {
      displayForm_->setParent(nullptr);
      displayForm_->setWindowFlag(Qt::WindowStaysOnTopHint, Settings.Display_StayOnTop);
    }
    if (videoWindow_) {
      videoWindow_->put_Visible(OAFALSE);
      videoWindow_->put_Owner(displayForm_);
      videoWindow_->put_WindowStyle(WS_CHILD);
      videoWindow_->put_MessageDrain(displayForm_);
      videoWindow_->put_Visible(OATRUE);
    }
    displayForm_->setVisible(videoWindow_ && Settings.Display_Active);
  });
  LayoutDisplay();
}

void TCaptureCore::HideDisplay() {
  RunOnUiThread([this] {
    if (displayForm_) displayForm_->hide();
    if (videoWindow_) {
      videoWindow_->put_Visible(OAFALSE);
      videoWindow_->put_Owner(nullptr);
    }
  });
}

void TCaptureCore::UpdateDisplaySize() {
  // While idle the control takes the selected size; a running graph lays its window out too.
  LayoutDisplay();
}
