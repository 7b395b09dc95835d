// The filter graph's IVideoWindow: forwards every call to the graph's video renderer.
#pragma once

#include "platform/com/ComPtr.h"
#include "platform/media/ControlInterfaces.h"

class FilterGraph;

// A part of the graph object (its references count on the graph). Calls go to the first filter
// of the graph that has a video window; E_NOINTERFACE without one.
// Thread: the control thread, as the graph.
class GraphVideoWindow final : public IVideoWindow, public UnknownImpl {
 public:
  explicit GraphVideoWindow(FilterGraph* graph);
  ~GraphVideoWindow() override = default;

  COM_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override;

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

 private:
  template <class Call>
  HRESULT Forward(Call call);

  FilterGraph* graph_;
};
