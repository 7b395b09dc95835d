#include "platform/media/VideoRenderer.h"

#include <cstdint>
#include <cstdlib>
#include <libyuv.h>

#include <QApplication>

#include "platform/media/UiThread.h"

namespace {

constexpr long kDefaultStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;

// Widens rows of the connected format into a 32-bit picture, turning a bottom-up sample upright
// in the same pass. src points at the top row of the picture; srcStride may be negative.
void WidenTo32(const BYTE* src, int srcStride, int bitCount, bool rgb565, QImage& image) {
  uchar* dst = image.bits();
  const int dstStride = static_cast<int>(image.bytesPerLine());
  const int width = image.width();
  const int height = image.height();
  switch (bitCount) {
    case 32:
      libyuv::ARGBCopy(src, srcStride, dst, dstStride, width, height);
      return;
    case 24:
      libyuv::RGB24ToARGB(src, srcStride, dst, dstStride, width, height);
      return;
    default:
      if (rgb565) {
        libyuv::RGB565ToARGB(src, srcStride, dst, dstStride, width, height);
        return;
      }
      // 5-5-5 has no alpha bit: the widened pixels are opaque whatever the sample's top bit.
      libyuv::ARGB1555ToARGB(src, srcStride, dst, dstStride, width, height);
      for (int y = 0; y < height; ++y) {
        auto* row =
            reinterpret_cast<std::uint32_t*>(dst + static_cast<std::ptrdiff_t>(y) * dstStride);
        for (int x = 0; x < width; ++x) row[x] |= 0xFF000000u;
      }
  }
}

long OaBool(bool value) {
  return value ? OATRUE : OAFALSE;
}

}  // namespace

VideoRenderer::VideoRenderer()
    : RendererBase(CLSID_VideoRenderer, u"Video Renderer"),
      slot_(std::make_shared<VideoFrameSlot>()),
      style_(kDefaultStyle) {
  // The widget belongs to the user-interface thread, whichever thread builds the graph.
  RunOnUiThread([this] {
    window_ = new VideoWindow(slot_);
    window_->setWindowTitle(QStringLiteral("Video Renderer"));
    window_->resize(320, 240);
  });
}

VideoRenderer::~VideoRenderer() {
  Stop();
  RunOnUiThread([this] { delete window_.data(); });
}

template <class Work>
HRESULT VideoRenderer::WithWindow(Work work) {
  HRESULT hr = E_UNEXPECTED;  // the owner destroyed the window
  RunOnUiThread([&] {
    if (VideoWindow* window = window_.data()) hr = work(window);
  });
  return hr;
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
  // Every picture is widened to 32 bits here, once per frame: the window then paints it
  // without a conversion. Steady state reuses a picture the window has finished with; a new one
  // only at the start and after a change of size.
  QImage image = TakeSpareImage(slot_, QSize(width_, height_), QImage::Format_RGB32);
  if (image.isNull()) image = QImage(width_, height_, QImage::Format_RGB32);
  if (image.isNull()) return E_OUTOFMEMORY;
  const BYTE* top = bottomUp_ ? data + static_cast<long>(stride) * (height_ - 1) : data;
  WidenTo32(top, bottomUp_ ? -stride : stride, bitCount_, rgb565_, image);
  const long size = (static_cast<long>(height_) << 16) | (width_ & 0xFFFF);
  if (announcedSize_.exchange(size) != size)
    NotifyEvent(EC_VIDEO_SIZE_CHANGED, (height_ << 16) | (width_ & 0xFFFF), 0);
  OfferFrame(slot_, std::move(image));
  return S_OK;
}

HRESULT VideoRenderer::OnRun(REFERENCE_TIME start) {
  if (HRESULT hr = RendererBase::OnRun(start); FAILED(hr)) return hr;
  if (autoShow_.load(std::memory_order_relaxed))
    WithWindow([](VideoWindow* window) {
      window->show();
      return S_OK;
    });
  return S_OK;
}

void VideoRenderer::ApplyParent(VideoWindow* window) {
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
  return WithWindow([&](VideoWindow* window) {
    window->setWindowTitle(caption ? QString::fromUtf16(caption) : QString());
    return S_OK;
  });
}

HRESULT VideoRenderer::get_Caption(BSTR* caption) {
  if (!caption) return E_POINTER;
  return WithWindow([&](VideoWindow* window) {
    *caption = SysAllocString(reinterpret_cast<LPCOLESTR>(window->windowTitle().utf16()));
    return S_OK;
  });
}

HRESULT VideoRenderer::put_WindowStyle(long style) {
  return WithWindow([&](VideoWindow* window) {
    style_ = style;
    ApplyParent(window);
    return S_OK;
  });
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
  autoShow_.store(autoShow != OAFALSE, std::memory_order_relaxed);
  return S_OK;
}

HRESULT VideoRenderer::get_AutoShow(long* autoShow) {
  if (!autoShow) return E_POINTER;
  *autoShow = OaBool(autoShow_.load(std::memory_order_relaxed));
  return S_OK;
}

HRESULT VideoRenderer::put_WindowState(long state) {
  return WithWindow([&](VideoWindow* window) {
    window->setVisible(state != 0);  // SW_HIDE is 0; every other state shows the window
    return S_OK;
  });
}

HRESULT VideoRenderer::get_WindowState(long* state) {
  if (!state) return E_POINTER;
  return WithWindow([&](VideoWindow* window) {
    *state = window->isHidden() ? 0 : 1;
    return S_OK;
  });
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
  return WithWindow([&](VideoWindow* window) {
    window->setVisible(visible != OAFALSE);
    return S_OK;
  });
}

HRESULT VideoRenderer::get_Visible(long* visible) {
  if (!visible) return E_POINTER;
  return WithWindow([&](VideoWindow* window) {
    *visible = OaBool(!window->isHidden());
    return S_OK;
  });
}

HRESULT VideoRenderer::put_Left(long left) {
  return WithWindow([&](VideoWindow* window) {
    window->move(left, window->y());
    return S_OK;
  });
}

HRESULT VideoRenderer::get_Left(long* left) {
  if (!left) return E_POINTER;
  return WithWindow([&](VideoWindow* window) {
    *left = window->x();
    return S_OK;
  });
}

HRESULT VideoRenderer::put_Width(long width) {
  return WithWindow([&](VideoWindow* window) {
    window->resize(width, window->height());
    return S_OK;
  });
}

HRESULT VideoRenderer::get_Width(long* width) {
  if (!width) return E_POINTER;
  return WithWindow([&](VideoWindow* window) {
    *width = window->width();
    return S_OK;
  });
}

HRESULT VideoRenderer::put_Top(long top) {
  return WithWindow([&](VideoWindow* window) {
    window->move(window->x(), top);
    return S_OK;
  });
}

HRESULT VideoRenderer::get_Top(long* top) {
  if (!top) return E_POINTER;
  return WithWindow([&](VideoWindow* window) {
    *top = window->y();
    return S_OK;
  });
}

HRESULT VideoRenderer::put_Height(long height) {
  return WithWindow([&](VideoWindow* window) {
    window->resize(window->width(), height);
    return S_OK;
  });
}

HRESULT VideoRenderer::get_Height(long* height) {
  if (!height) return E_POINTER;
  return WithWindow([&](VideoWindow* window) {
    *height = window->height();
    return S_OK;
  });
}

HRESULT VideoRenderer::put_Owner(OAHWND owner) {
  return WithWindow([&](VideoWindow* window) {
    owner_ = owner;
    ApplyParent(window);
    return S_OK;
  });
}

HRESULT VideoRenderer::get_Owner(OAHWND* owner) {
  if (!owner) return E_POINTER;
  RunOnUiThread([&] { *owner = owner_.data(); });
  return S_OK;
}

HRESULT VideoRenderer::put_MessageDrain(OAHWND drain) {
  return WithWindow([&](VideoWindow* window) {
    window->SetMessageDrain(drain);
    return S_OK;
  });
}

HRESULT VideoRenderer::get_MessageDrain(OAHWND* drain) {
  if (!drain) return E_POINTER;
  return WithWindow([&](VideoWindow* window) {
    *drain = window->MessageDrain();
    return S_OK;
  });
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
  return WithWindow([&](VideoWindow* window) {
    window->raise();
    if (focus != OAFALSE) window->activateWindow();
    return S_OK;
  });
}

HRESULT VideoRenderer::NotifyOwnerMessage(OAHWND, long, LONG_PTR, LONG_PTR) {
  return S_OK;
}

HRESULT VideoRenderer::SetWindowPosition(long left, long top, long width, long height) {
  return WithWindow([&](VideoWindow* window) {
    if (width < 0 || height < 0) return E_INVALIDARG;
    window->setGeometry(left, top, width, height);
    return S_OK;
  });
}

HRESULT VideoRenderer::GetWindowPosition(long* left, long* top, long* width, long* height) {
  if (!left || !top || !width || !height) return E_POINTER;
  return WithWindow([&](VideoWindow* window) {
    const QRect g = window->geometry();
    *left = g.x();
    *top = g.y();
    *width = g.width();
    *height = g.height();
    return S_OK;
  });
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
  return WithWindow([&](VideoWindow* window) {
    cursorHidden_ = hide != OAFALSE;
    if (cursorHidden_)
      window->setCursor(Qt::BlankCursor);
    else
      window->unsetCursor();
    return S_OK;
  });
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
