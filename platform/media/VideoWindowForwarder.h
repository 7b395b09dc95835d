// IVideoWindow written once as forwarding: every method hands its call on to the window that
// does the work.
#pragma once

#include "platform/media/ControlInterfaces.h"

// Derived provides Forward(call), which runs call(IVideoWindow*) on the target window and returns
// its result (or a failure code when there is no target).
// Thread: that of Derived.
template <class Derived>
class VideoWindowForwarder : public IVideoWindow {
 public:
  HRESULT put_Caption(BSTR caption) override {
    return Call([&](IVideoWindow* w) { return w->put_Caption(caption); });
  }
  HRESULT get_Caption(BSTR* caption) override {
    return Call([&](IVideoWindow* w) { return w->get_Caption(caption); });
  }
  HRESULT put_WindowStyle(long style) override {
    return Call([&](IVideoWindow* w) { return w->put_WindowStyle(style); });
  }
  HRESULT get_WindowStyle(long* style) override {
    return Call([&](IVideoWindow* w) { return w->get_WindowStyle(style); });
  }
  HRESULT put_WindowStyleEx(long style) override {
    return Call([&](IVideoWindow* w) { return w->put_WindowStyleEx(style); });
  }
  HRESULT get_WindowStyleEx(long* style) override {
    return Call([&](IVideoWindow* w) { return w->get_WindowStyleEx(style); });
  }
  HRESULT put_AutoShow(long autoShow) override {
    return Call([&](IVideoWindow* w) { return w->put_AutoShow(autoShow); });
  }
  HRESULT get_AutoShow(long* autoShow) override {
    return Call([&](IVideoWindow* w) { return w->get_AutoShow(autoShow); });
  }
  HRESULT put_WindowState(long state) override {
    return Call([&](IVideoWindow* w) { return w->put_WindowState(state); });
  }
  HRESULT get_WindowState(long* state) override {
    return Call([&](IVideoWindow* w) { return w->get_WindowState(state); });
  }
  HRESULT put_BackgroundPalette(long value) override {
    return Call([&](IVideoWindow* w) { return w->put_BackgroundPalette(value); });
  }
  HRESULT get_BackgroundPalette(long* value) override {
    return Call([&](IVideoWindow* w) { return w->get_BackgroundPalette(value); });
  }
  HRESULT put_Visible(long visible) override {
    return Call([&](IVideoWindow* w) { return w->put_Visible(visible); });
  }
  HRESULT get_Visible(long* visible) override {
    return Call([&](IVideoWindow* w) { return w->get_Visible(visible); });
  }
  HRESULT put_Left(long left) override {
    return Call([&](IVideoWindow* w) { return w->put_Left(left); });
  }
  HRESULT get_Left(long* left) override {
    return Call([&](IVideoWindow* w) { return w->get_Left(left); });
  }
  HRESULT put_Width(long width) override {
    return Call([&](IVideoWindow* w) { return w->put_Width(width); });
  }
  HRESULT get_Width(long* width) override {
    return Call([&](IVideoWindow* w) { return w->get_Width(width); });
  }
  HRESULT put_Top(long top) override {
    return Call([&](IVideoWindow* w) { return w->put_Top(top); });
  }
  HRESULT get_Top(long* top) override {
    return Call([&](IVideoWindow* w) { return w->get_Top(top); });
  }
  HRESULT put_Height(long height) override {
    return Call([&](IVideoWindow* w) { return w->put_Height(height); });
  }
  HRESULT get_Height(long* height) override {
    return Call([&](IVideoWindow* w) { return w->get_Height(height); });
  }
  HRESULT put_Owner(OAHWND owner) override {
    return Call([&](IVideoWindow* w) { return w->put_Owner(owner); });
  }
  HRESULT get_Owner(OAHWND* owner) override {
    return Call([&](IVideoWindow* w) { return w->get_Owner(owner); });
  }
  HRESULT put_MessageDrain(OAHWND drain) override {
    return Call([&](IVideoWindow* w) { return w->put_MessageDrain(drain); });
  }
  HRESULT get_MessageDrain(OAHWND* drain) override {
    return Call([&](IVideoWindow* w) { return w->get_MessageDrain(drain); });
  }
  HRESULT get_BorderColor(long* color) override {
    return Call([&](IVideoWindow* w) { return w->get_BorderColor(color); });
  }
  HRESULT put_BorderColor(long color) override {
    return Call([&](IVideoWindow* w) { return w->put_BorderColor(color); });
  }
  HRESULT get_FullScreenMode(long* mode) override {
    return Call([&](IVideoWindow* w) { return w->get_FullScreenMode(mode); });
  }
  HRESULT put_FullScreenMode(long mode) override {
    return Call([&](IVideoWindow* w) { return w->put_FullScreenMode(mode); });
  }
  HRESULT SetWindowForeground(long focus) override {
    return Call([&](IVideoWindow* w) { return w->SetWindowForeground(focus); });
  }
  HRESULT NotifyOwnerMessage(OAHWND window, long message, LONG_PTR wParam,
                             LONG_PTR lParam) override {
    return Call(
        [&](IVideoWindow* w) { return w->NotifyOwnerMessage(window, message, wParam, lParam); });
  }
  HRESULT SetWindowPosition(long left, long top, long width, long height) override {
    return Call([&](IVideoWindow* w) { return w->SetWindowPosition(left, top, width, height); });
  }
  HRESULT GetWindowPosition(long* left, long* top, long* width, long* height) override {
    return Call([&](IVideoWindow* w) { return w->GetWindowPosition(left, top, width, height); });
  }
  HRESULT GetMinIdealImageSize(long* width, long* height) override {
    return Call([&](IVideoWindow* w) { return w->GetMinIdealImageSize(width, height); });
  }
  HRESULT GetMaxIdealImageSize(long* width, long* height) override {
    return Call([&](IVideoWindow* w) { return w->GetMaxIdealImageSize(width, height); });
  }
  HRESULT GetRestorePosition(long* left, long* top, long* width, long* height) override {
    return Call([&](IVideoWindow* w) { return w->GetRestorePosition(left, top, width, height); });
  }
  HRESULT HideCursor(long hide) override {
    return Call([&](IVideoWindow* w) { return w->HideCursor(hide); });
  }
  HRESULT IsCursorHidden(long* hidden) override {
    return Call([&](IVideoWindow* w) { return w->IsCursorHidden(hidden); });
  }

 private:
  template <class Work>
  HRESULT Call(Work work) {
    return static_cast<Derived*>(this)->Forward(work);
  }
};
