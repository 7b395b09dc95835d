// The video renderer: draws RGB samples in its window and controls that window (IVideoWindow).
#pragma once

#include <memory>

#include <QPointer>

#include "platform/media/ControlInterfaces.h"
#include "platform/media/RendererBase.h"
#include "platform/media/VideoWindow.h"

// Accepts RGB32, RGB24, RGB565 and RGB555 (other formats are converted by the graph on Connect).
// The window is created with the renderer; RGB samples become 32-bit images (upright) on the
// streaming thread, so painting never converts, and are shown without blocking the stream.
// Without an owner the window is a top-level window, shown by Run while AutoShow is on.
// Thread: the control thread (the user-interface thread or a worker) for construction,
// IVideoWindow and state changes; the window itself lives on the user-interface thread and is
// touched only there, through blocking calls when the control thread is another one (the UI
// thread must then be processing events). DoRenderSample on the streaming thread.
class VideoRenderer final : public RendererBase, public IVideoWindow, public IDirectDrawVideo {
 public:
  VideoRenderer();
  ~VideoRenderer() override;

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

  HRESULT CheckMediaType(const AM_MEDIA_TYPE& mt) override;
  HRESULT OnConnected(const AM_MEDIA_TYPE& mt) override;
  HRESULT DoRenderSample(IMediaSample* sample) override;

  // IVideoWindow.
  HRESULT put_Caption(BSTR caption) override;
  HRESULT get_Caption(BSTR* caption) override;
  HRESULT put_WindowStyle(long style) override;
  HRESULT get_WindowStyle(long* style) override;
  HRESULT put_WindowStyleEx(long style) override;
  HRESULT get_WindowStyleEx(long* style) override;
  HRESULT put_AutoShow(long autoShow) override;
  HRESULT get_AutoShow(long* autoShow) override;
  HRESULT put_WindowState(long state) override;
  HRESULT get_WindowState(long* state) override;
  HRESULT put_BackgroundPalette(long value) override;
  HRESULT get_BackgroundPalette(long* value) override;
  HRESULT put_Visible(long visible) override;
  HRESULT get_Visible(long* visible) override;
  HRESULT put_Left(long left) override;
  HRESULT get_Left(long* left) override;
  HRESULT put_Width(long width) override;
  HRESULT get_Width(long* width) override;
  HRESULT put_Top(long top) override;
  HRESULT get_Top(long* top) override;
  HRESULT put_Height(long height) override;
  HRESULT get_Height(long* height) override;
  HRESULT put_Owner(OAHWND owner) override;
  HRESULT get_Owner(OAHWND* owner) override;
  HRESULT put_MessageDrain(OAHWND drain) override;
  HRESULT get_MessageDrain(OAHWND* drain) override;
  HRESULT get_BorderColor(long* color) override;
  HRESULT put_BorderColor(long color) override;
  HRESULT get_FullScreenMode(long* mode) override;
  HRESULT put_FullScreenMode(long mode) override;
  HRESULT SetWindowForeground(long focus) override;
  HRESULT NotifyOwnerMessage(OAHWND window, long message, LONG_PTR wParam,
                             LONG_PTR lParam) override;
  HRESULT SetWindowPosition(long left, long top, long width, long height) override;
  HRESULT GetWindowPosition(long* left, long* top, long* width, long* height) override;
  HRESULT GetMinIdealImageSize(long* width, long* height) override;
  HRESULT GetMaxIdealImageSize(long* width, long* height) override;
  HRESULT GetRestorePosition(long* left, long* top, long* width, long* height) override;
  HRESULT HideCursor(long hide) override;
  HRESULT IsCursorHidden(long* hidden) override;

  // IDirectDrawVideo: switches are kept and read back; drawing is always to RGB surfaces.
  HRESULT GetSwitches(DWORD* switches) override;
  HRESULT SetSwitches(DWORD switches) override;
  HRESULT CanUseScanLine(long* useScanLine) override;
  HRESULT UseScanLine(long useScanLine) override;
  HRESULT CanUseOverlayStretch(long* useOverlayStretch) override;
  HRESULT UseOverlayStretch(long useOverlayStretch) override;
  HRESULT UseWhenFullScreen(long useWhenFullScreen) override;
  HRESULT WillUseFullScreen(long* useWhenFullScreen) override;

  // The renderer's window, nullptr once its owner destroyed it. User-interface thread only.
  VideoWindow* Window() const { return window_.data(); }

 protected:
  HRESULT OnRun(REFERENCE_TIME start) override;

 private:
  // Runs work(window) on the user-interface thread; E_UNEXPECTED once the window is gone.
  template <class Work>
  HRESULT WithWindow(Work work);
  void ApplyParent(VideoWindow* window);

  std::shared_ptr<VideoFrameSlot> slot_;
  QPointer<VideoWindow> window_;  // user-interface thread only
  QPointer<QWidget> owner_;       // user-interface thread only
  long style_;
  long styleEx_ = 0;
  std::atomic<bool> autoShow_{true};
  long borderColor_ = 0;
  DWORD switches_ = AMDDS_ALL;
  bool cursorHidden_ = false;
  // Format of the connection, read by the streaming thread (set while stopped).
  int width_ = 0;
  int height_ = 0;
  int bitCount_ = 0;
  bool bottomUp_ = true;
  bool rgb565_ = false;
  std::atomic<long> announcedSize_{0};  // last size sent with EC_VIDEO_SIZE_CHANGED
};
