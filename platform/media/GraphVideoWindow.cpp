#include "platform/media/GraphVideoWindow.h"

#include "platform/media/FilterGraph.h"

GraphVideoWindow::GraphVideoWindow(FilterGraph* graph) : UnknownImpl(graph), graph_(graph) {}

HRESULT GraphVideoWindow::NonDelegatingQueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (!(iid == IID_IUnknown) && MatchInterface<IVideoWindow>(this, iid, object)) return S_OK;
  // Every other interface, IUnknown included, is the graph's own.
  return graph_->NonDelegatingQueryInterface(iid, object);
}

template <class Call>
HRESULT GraphVideoWindow::Forward(Call call) {
  for (const ComPtr<IBaseFilter>& filter : graph_->Filters()) {
    if (ComPtr<IVideoWindow> window = ComQuery<IVideoWindow>(filter.Get()))
      return call(window.Get());
  }
  return E_NOINTERFACE;
}

HRESULT GraphVideoWindow::put_Caption(BSTR caption) {
  return Forward([&](IVideoWindow* w) { return w->put_Caption(caption); });
}

HRESULT GraphVideoWindow::get_Caption(BSTR* caption) {
  return Forward([&](IVideoWindow* w) { return w->get_Caption(caption); });
}

HRESULT GraphVideoWindow::put_WindowStyle(long style) {
  return Forward([&](IVideoWindow* w) { return w->put_WindowStyle(style); });
}

HRESULT GraphVideoWindow::get_WindowStyle(long* style) {
  return Forward([&](IVideoWindow* w) { return w->get_WindowStyle(style); });
}

HRESULT GraphVideoWindow::put_WindowStyleEx(long style) {
  return Forward([&](IVideoWindow* w) { return w->put_WindowStyleEx(style); });
}

HRESULT GraphVideoWindow::get_WindowStyleEx(long* style) {
  return Forward([&](IVideoWindow* w) { return w->get_WindowStyleEx(style); });
}

HRESULT GraphVideoWindow::put_AutoShow(long autoShow) {
  return Forward([&](IVideoWindow* w) { return w->put_AutoShow(autoShow); });
}

HRESULT GraphVideoWindow::get_AutoShow(long* autoShow) {
  return Forward([&](IVideoWindow* w) { return w->get_AutoShow(autoShow); });
}

HRESULT GraphVideoWindow::put_WindowState(long state) {
  return Forward([&](IVideoWindow* w) { return w->put_WindowState(state); });
}

HRESULT GraphVideoWindow::get_WindowState(long* state) {
  return Forward([&](IVideoWindow* w) { return w->get_WindowState(state); });
}

HRESULT GraphVideoWindow::put_BackgroundPalette(long value) {
  return Forward([&](IVideoWindow* w) { return w->put_BackgroundPalette(value); });
}

HRESULT GraphVideoWindow::get_BackgroundPalette(long* value) {
  return Forward([&](IVideoWindow* w) { return w->get_BackgroundPalette(value); });
}

HRESULT GraphVideoWindow::put_Visible(long visible) {
  return Forward([&](IVideoWindow* w) { return w->put_Visible(visible); });
}

HRESULT GraphVideoWindow::get_Visible(long* visible) {
  return Forward([&](IVideoWindow* w) { return w->get_Visible(visible); });
}

HRESULT GraphVideoWindow::put_Left(long left) {
  return Forward([&](IVideoWindow* w) { return w->put_Left(left); });
}

HRESULT GraphVideoWindow::get_Left(long* left) {
  return Forward([&](IVideoWindow* w) { return w->get_Left(left); });
}

HRESULT GraphVideoWindow::put_Width(long width) {
  return Forward([&](IVideoWindow* w) { return w->put_Width(width); });
}

HRESULT GraphVideoWindow::get_Width(long* width) {
  return Forward([&](IVideoWindow* w) { return w->get_Width(width); });
}

HRESULT GraphVideoWindow::put_Top(long top) {
  return Forward([&](IVideoWindow* w) { return w->put_Top(top); });
}

HRESULT GraphVideoWindow::get_Top(long* top) {
  return Forward([&](IVideoWindow* w) { return w->get_Top(top); });
}

HRESULT GraphVideoWindow::put_Height(long height) {
  return Forward([&](IVideoWindow* w) { return w->put_Height(height); });
}

HRESULT GraphVideoWindow::get_Height(long* height) {
  return Forward([&](IVideoWindow* w) { return w->get_Height(height); });
}

HRESULT GraphVideoWindow::put_Owner(OAHWND owner) {
  return Forward([&](IVideoWindow* w) { return w->put_Owner(owner); });
}

HRESULT GraphVideoWindow::get_Owner(OAHWND* owner) {
  return Forward([&](IVideoWindow* w) { return w->get_Owner(owner); });
}

HRESULT GraphVideoWindow::put_MessageDrain(OAHWND drain) {
  return Forward([&](IVideoWindow* w) { return w->put_MessageDrain(drain); });
}

HRESULT GraphVideoWindow::get_MessageDrain(OAHWND* drain) {
  return Forward([&](IVideoWindow* w) { return w->get_MessageDrain(drain); });
}

HRESULT GraphVideoWindow::get_BorderColor(long* color) {
  return Forward([&](IVideoWindow* w) { return w->get_BorderColor(color); });
}

HRESULT GraphVideoWindow::put_BorderColor(long color) {
  return Forward([&](IVideoWindow* w) { return w->put_BorderColor(color); });
}

HRESULT GraphVideoWindow::get_FullScreenMode(long* mode) {
  return Forward([&](IVideoWindow* w) { return w->get_FullScreenMode(mode); });
}

HRESULT GraphVideoWindow::put_FullScreenMode(long mode) {
  return Forward([&](IVideoWindow* w) { return w->put_FullScreenMode(mode); });
}

HRESULT GraphVideoWindow::SetWindowForeground(long focus) {
  return Forward([&](IVideoWindow* w) { return w->SetWindowForeground(focus); });
}

HRESULT GraphVideoWindow::NotifyOwnerMessage(OAHWND window, long message, LONG_PTR wParam,
                                             LONG_PTR lParam) {
  return Forward(
      [&](IVideoWindow* w) { return w->NotifyOwnerMessage(window, message, wParam, lParam); });
}

HRESULT GraphVideoWindow::SetWindowPosition(long left, long top, long width, long height) {
  return Forward([&](IVideoWindow* w) { return w->SetWindowPosition(left, top, width, height); });
}

HRESULT GraphVideoWindow::GetWindowPosition(long* left, long* top, long* width, long* height) {
  return Forward([&](IVideoWindow* w) { return w->GetWindowPosition(left, top, width, height); });
}

HRESULT GraphVideoWindow::GetMinIdealImageSize(long* width, long* height) {
  return Forward([&](IVideoWindow* w) { return w->GetMinIdealImageSize(width, height); });
}

HRESULT GraphVideoWindow::GetMaxIdealImageSize(long* width, long* height) {
  return Forward([&](IVideoWindow* w) { return w->GetMaxIdealImageSize(width, height); });
}

HRESULT GraphVideoWindow::GetRestorePosition(long* left, long* top, long* width, long* height) {
  return Forward([&](IVideoWindow* w) { return w->GetRestorePosition(left, top, width, height); });
}

HRESULT GraphVideoWindow::HideCursor(long hide) {
  return Forward([&](IVideoWindow* w) { return w->HideCursor(hide); });
}

HRESULT GraphVideoWindow::IsCursorHidden(long* hidden) {
  return Forward([&](IVideoWindow* w) { return w->IsCursorHidden(hidden); });
}
