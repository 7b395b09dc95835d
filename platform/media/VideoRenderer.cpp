#include "platform/media/VideoRenderer.h"

#include <cstdlib>
#include <cstring>

#include <QApplication>
#include <QThread>

namespace {

constexpr long kDefaultStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;

QImage::Format ImageFormat(int bitCount, bool rgb565) {
  switch (bitCount) {
    case 32:
      return QImage::Format_RGB32;  // B, G, R, X in memory
    case 24:
      return QImage::Format_BGR888;
    case 16:
      return rgb565 ? QImage::Format_RGB16 : QImage::Format_RGB555;
    default:
      return QImage::Format_Invalid;
  }
}

long OaBool(bool value) {
  return value ? OATRUE : OAFALSE;
}

}  // namespace

VideoRenderer::VideoRenderer()
    : RendererBase(CLSID_VideoRenderer, u"Video Renderer"),
      slot_(std::make_shared<VideoFrameSlot>()),
      window_(new VideoWindow(slot_)),
      style_(kDefaultStyle) {
  window_->setWindowTitle(QStringLiteral("Video Renderer"));
  window_->resize(320, 240);
}

VideoRenderer::~VideoRenderer() {
  Stop();
  if (VideoWindow* window = window_.data()) {
    if (window->thread() == QThread::currentThread())
      delete window;
    else
      window->deleteLater();
  }
}

HRESULT VideoRenderer::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (!(iid == IID_IUnknown) && MatchInterface<IVideoWindow>(this, iid, object)) return S_OK;
  if (!(iid == IID_IUnknown) && MatchInterface<IDirectDrawVideo>(this, iid, object)) return S_OK;
  return RendererBase::NonDelegatingQueryInterface(iid, object);
}

HRESULT VideoRenderer::CheckMediaType(const AM_MEDIA_TYPE& mt) {
  if (!(mt.majortype == MEDIATYPE_Video)) return VFW_E_TYPE_NOT_ACCEPTED;
  if (!(mt.subtype == MEDIASUBTYPE_RGB32 || mt.subtype == MEDIASUBTYPE_ARGB32 ||
        mt.subtype == MEDIASUBTYPE_RGB24 || mt.subtype == MEDIASUBTYPE_RGB565 ||
        mt.subtype == MEDIASUBTYPE_RGB555))
    return VFW_E_TYPE_NOT_ACCEPTED;
  const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(mt);
  if (!bih || bih->biWidth <= 0 || bih->biHeight == 0 ||
      bih->biBitCount != SubtypeBitCount(mt.subtype))
    return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT VideoRenderer::OnConnected(const AM_MEDIA_TYPE& mt) {
  const BITMAPINFOHEADER* bih = GetBitmapInfoHeader(mt);
  width_ = bih->biWidth;
  height_ = std::abs(bih->biHeight);
  bitCount_ = bih->biBitCount;
  bottomUp_ = bih->biHeight > 0;
  rgb565_ = mt.subtype == MEDIASUBTYPE_RGB565;
  return S_OK;
}

HRESULT VideoRenderer::DoRenderSample(IMediaSample* sample) {
  BYTE* data = nullptr;
  sample->GetPointer(&data);
  const int stride = DibRowBytes(width_, bitCount_);
  if (!data || sample->GetActualDataLength() < static_cast<long>(stride) * height_)
    return S_FALSE;  // a short frame is dropped, not drawn
  QImage image(width_, height_, ImageFormat(bitCount_, rgb565_));
  if (image.isNull()) return E_OUTOFMEMORY;
  const int rowBytes = std::min<int>(stride, static_cast<int>(image.bytesPerLine()));
  for (int y = 0; y < height_; ++y) {
    const BYTE* row = data + static_cast<long>(stride) * (bottomUp_ ? height_ - 1 - y : y);
    std::memcpy(image.scanLine(y), row, rowBytes);
  }
  const long size = (static_cast<long>(height_) << 16) | (width_ & 0xFFFF);
  if (announcedSize_.exchange(size) != size)
    NotifyEvent(EC_VIDEO_SIZE_CHANGED, (height_ << 16) | (width_ & 0xFFFF), 0);
  OfferFrame(slot_, std::move(image));
  return S_OK;
}

HRESULT VideoRenderer::OnRun(REFERENCE_TIME start) {
  if (HRESULT hr = RendererBase::OnRun(start); FAILED(hr)) return hr;
  if (autoShow_ && window_) window_->show();
  return S_OK;
}

HRESULT VideoRenderer::CheckWindow() const {
  return window_ ? S_OK : E_UNEXPECTED;
}

void VideoRenderer::ApplyParent() {
  VideoWindow* window = window_.data();
  const bool visible = !window->isHidden();
  const QRect geometry = window->geometry();
  if (owner_ && (style_ & WS_CHILD))
    window->setParent(owner_.data(), Qt::Widget);
  else if (owner_)
    window->setParent(owner_.data(), Qt::Window | Qt::Tool);  // owned, yet its own window
  else
    window->setParent(nullptr, Qt::Window);
  window->setGeometry(geometry);
  window->setVisible(visible);  // setParent hides the widget
}

// ---- IVideoWindow

HRESULT VideoRenderer::put_Caption(BSTR caption) {
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  window_->setWindowTitle(caption ? QString::fromUtf16(caption) : QString());
  return S_OK;
}

HRESULT VideoRenderer::get_Caption(BSTR* caption) {
  if (!caption) return E_POINTER;
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  *caption = SysAllocString(reinterpret_cast<LPCOLESTR>(window_->windowTitle().utf16()));
  return S_OK;
}

HRESULT VideoRenderer::put_WindowStyle(long style) {
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  style_ = style;
  ApplyParent();
  return S_OK;
}

HRESULT VideoRenderer::get_WindowStyle(long* style) {
  if (!style) return E_POINTER;
  *style = style_;
  return S_OK;
}

HRESULT VideoRenderer::put_WindowStyleEx(long style) {
  styleEx_ = style;
  return S_OK;
}

HRESULT VideoRenderer::get_WindowStyleEx(long* style) {
  if (!style) return E_POINTER;
  *style = styleEx_;
  return S_OK;
}

HRESULT VideoRenderer::put_AutoShow(long autoShow) {
  autoShow_ = autoShow != OAFALSE;
  return S_OK;
}

HRESULT VideoRenderer::get_AutoShow(long* autoShow) {
  if (!autoShow) return E_POINTER;
  *autoShow = OaBool(autoShow_);
  return S_OK;
}

HRESULT VideoRenderer::put_WindowState(long state) {
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  window_->setVisible(state != 0);  // SW_HIDE is 0; every other state shows the window
  return S_OK;
}

HRESULT VideoRenderer::get_WindowState(long* state) {
  if (!state) return E_POINTER;
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  *state = window_->isHidden() ? 0 : 1;
  return S_OK;
}

HRESULT VideoRenderer::put_BackgroundPalette(long) {
  return S_OK;
}

HRESULT VideoRenderer::get_BackgroundPalette(long* value) {
  if (!value) return E_POINTER;
  *value = OAFALSE;
  return S_OK;
}

HRESULT VideoRenderer::put_Visible(long visible) {
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  window_->setVisible(visible != OAFALSE);
  return S_OK;
}

HRESULT VideoRenderer::get_Visible(long* visible) {
  if (!visible) return E_POINTER;
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  *visible = OaBool(!window_->isHidden());
  return S_OK;
}

HRESULT VideoRenderer::put_Left(long left) {
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  window_->move(left, window_->y());
  return S_OK;
}

HRESULT VideoRenderer::get_Left(long* left) {
  if (!left) return E_POINTER;
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  *left = window_->x();
  return S_OK;
}

HRESULT VideoRenderer::put_Width(long width) {
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  window_->resize(width, window_->height());
  return S_OK;
}

HRESULT VideoRenderer::get_Width(long* width) {
  if (!width) return E_POINTER;
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  *width = window_->width();
  return S_OK;
}

HRESULT VideoRenderer::put_Top(long top) {
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  window_->move(window_->x(), top);
  return S_OK;
}

HRESULT VideoRenderer::get_Top(long* top) {
  if (!top) return E_POINTER;
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  *top = window_->y();
  return S_OK;
}

HRESULT VideoRenderer::put_Height(long height) {
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  window_->resize(window_->width(), height);
  return S_OK;
}

HRESULT VideoRenderer::get_Height(long* height) {
  if (!height) return E_POINTER;
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  *height = window_->height();
  return S_OK;
}

HRESULT VideoRenderer::put_Owner(OAHWND owner) {
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  owner_ = owner;
  ApplyParent();
  return S_OK;
}

HRESULT VideoRenderer::get_Owner(OAHWND* owner) {
  if (!owner) return E_POINTER;
  *owner = owner_.data();
  return S_OK;
}

HRESULT VideoRenderer::put_MessageDrain(OAHWND drain) {
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  window_->SetMessageDrain(drain);
  return S_OK;
}

HRESULT VideoRenderer::get_MessageDrain(OAHWND* drain) {
  if (!drain) return E_POINTER;
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  *drain = window_->MessageDrain();
  return S_OK;
}

HRESULT VideoRenderer::get_BorderColor(long* color) {
  if (!color) return E_POINTER;
  *color = borderColor_;
  return S_OK;
}

HRESULT VideoRenderer::put_BorderColor(long color) {
  borderColor_ = color;
  return S_OK;
}

HRESULT VideoRenderer::get_FullScreenMode(long* mode) {
  if (!mode) return E_POINTER;
  *mode = OAFALSE;
  return S_OK;
}

HRESULT VideoRenderer::put_FullScreenMode(long mode) {
  return mode == OAFALSE ? S_OK : E_NOTIMPL;
}

HRESULT VideoRenderer::SetWindowForeground(long focus) {
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  window_->raise();
  if (focus != OAFALSE) window_->activateWindow();
  return S_OK;
}

HRESULT VideoRenderer::NotifyOwnerMessage(OAHWND, long, LONG_PTR, LONG_PTR) {
  return S_OK;
}

HRESULT VideoRenderer::SetWindowPosition(long left, long top, long width, long height) {
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  if (width < 0 || height < 0) return E_INVALIDARG;
  window_->setGeometry(left, top, width, height);
  return S_OK;
}

HRESULT VideoRenderer::GetWindowPosition(long* left, long* top, long* width, long* height) {
  if (!left || !top || !width || !height) return E_POINTER;
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  const QRect g = window_->geometry();
  *left = g.x();
  *top = g.y();
  *width = g.width();
  *height = g.height();
  return S_OK;
}

HRESULT VideoRenderer::GetMinIdealImageSize(long* width, long* height) {
  if (!width || !height) return E_POINTER;
  if (!Input()->IsConnected()) return VFW_E_NOT_CONNECTED;
  *width = width_;
  *height = height_;
  return S_OK;
}

HRESULT VideoRenderer::GetMaxIdealImageSize(long* width, long* height) {
  return GetMinIdealImageSize(width, height);
}

HRESULT VideoRenderer::GetRestorePosition(long* left, long* top, long* width, long* height) {
  return GetWindowPosition(left, top, width, height);
}

HRESULT VideoRenderer::HideCursor(long hide) {
  if (HRESULT hr = CheckWindow(); FAILED(hr)) return hr;
  cursorHidden_ = hide != OAFALSE;
  if (cursorHidden_)
    window_->setCursor(Qt::BlankCursor);
  else
    window_->unsetCursor();
  return S_OK;
}

HRESULT VideoRenderer::IsCursorHidden(long* hidden) {
  if (!hidden) return E_POINTER;
  *hidden = OaBool(cursorHidden_);
  return S_OK;
}

// ---- IDirectDrawVideo

HRESULT VideoRenderer::GetSwitches(DWORD* switches) {
  if (!switches) return E_POINTER;
  *switches = switches_;
  return S_OK;
}

HRESULT VideoRenderer::SetSwitches(DWORD switches) {
  switches_ = switches;
  return S_OK;
}

HRESULT VideoRenderer::CanUseScanLine(long* useScanLine) {
  if (!useScanLine) return E_POINTER;
  *useScanLine = OAFALSE;
  return S_OK;
}

HRESULT VideoRenderer::UseScanLine(long) {
  return S_OK;
}

HRESULT VideoRenderer::CanUseOverlayStretch(long* useOverlayStretch) {
  if (!useOverlayStretch) return E_POINTER;
  *useOverlayStretch = OAFALSE;
  return S_OK;
}

HRESULT VideoRenderer::UseOverlayStretch(long) {
  return S_OK;
}
HRESULT VideoRenderer::UseWhenFullScreen(long) {
  return S_OK;
}

HRESULT VideoRenderer::WillUseFullScreen(long* useWhenFullScreen) {
  if (!useWhenFullScreen) return E_POINTER;
  *useWhenFullScreen = OAFALSE;
  return S_OK;
}
