// Interfaces that control a graph: running, events, video windows, quality, capture building.
#pragma once

#include "platform/com/Variant.h"
#include "platform/media/EventCodes.h"
#include "platform/media/FilterInterfaces.h"
#include "platform/media/WindowTypes.h"

using OAFilterState = long;
using OAEVENT = LONG_PTR;

struct IMediaControl : IUnknown {
  static constexpr IID kIid = MakeGuid("{56A868B1-0AD4-11CE-B03A-0020AF0BA770}");
  using BaseInterface = IUnknown;
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT GetState(long msTimeout, OAFilterState* state) = 0;
  virtual HRESULT RenderFile(BSTR fileName) = 0;
  virtual HRESULT StopWhenReady() = 0;
};
inline constexpr const IID& IID_IMediaControl = IMediaControl::kIid;

struct IMediaEvent : IUnknown {
  static constexpr IID kIid = MakeGuid("{56A868B6-0AD4-11CE-B03A-0020AF0BA770}");
  using BaseInterface = IUnknown;
  virtual HRESULT GetEventHandle(OAEVENT* handle) = 0;
  // Takes the oldest event; E_ABORT when none arrives within msTimeout (0: do not wait).
  virtual HRESULT GetEvent(long* eventCode, LONG_PTR* param1, LONG_PTR* param2, long msTimeout) = 0;
  virtual HRESULT WaitForCompletion(long msTimeout, long* eventCode) = 0;
  virtual HRESULT CancelDefaultHandling(long eventCode) = 0;
  virtual HRESULT RestoreDefaultHandling(long eventCode) = 0;
  virtual HRESULT FreeEventParams(long eventCode, LONG_PTR param1, LONG_PTR param2) = 0;
};
inline constexpr const IID& IID_IMediaEvent = IMediaEvent::kIid;

struct IMediaEventEx : IMediaEvent {
  static constexpr IID kIid = MakeGuid("{56A868C0-0AD4-11CE-B03A-0020AF0BA770}");
  using BaseInterface = IMediaEvent;
  // Each queued event posts a GraphNotifyEvent(message, instanceData) to window; nullptr stops it.
  virtual HRESULT SetNotifyWindow(OAHWND window, long message, LONG_PTR instanceData) = 0;
  virtual HRESULT SetNotifyFlags(long flags) = 0;
  virtual HRESULT GetNotifyFlags(long* flags) = 0;
};
inline constexpr const IID& IID_IMediaEventEx = IMediaEventEx::kIid;

struct IVideoWindow : IUnknown {
  static constexpr IID kIid = MakeGuid("{56A868B4-0AD4-11CE-B03A-0020AF0BA770}");
  using BaseInterface = IUnknown;
  virtual HRESULT put_Caption(BSTR caption) = 0;
  virtual HRESULT get_Caption(BSTR* caption) = 0;
  virtual HRESULT put_WindowStyle(long style) = 0;
  virtual HRESULT get_WindowStyle(long* style) = 0;
  virtual HRESULT put_WindowStyleEx(long style) = 0;
  virtual HRESULT get_WindowStyleEx(long* style) = 0;
  virtual HRESULT put_AutoShow(long autoShow) = 0;
  virtual HRESULT get_AutoShow(long* autoShow) = 0;
  virtual HRESULT put_WindowState(long state) = 0;
  virtual HRESULT get_WindowState(long* state) = 0;
  virtual HRESULT put_BackgroundPalette(long value) = 0;
  virtual HRESULT get_BackgroundPalette(long* value) = 0;
  virtual HRESULT put_Visible(long visible) = 0;
  virtual HRESULT get_Visible(long* visible) = 0;
  virtual HRESULT put_Left(long left) = 0;
  virtual HRESULT get_Left(long* left) = 0;
  virtual HRESULT put_Width(long width) = 0;
  virtual HRESULT get_Width(long* width) = 0;
  virtual HRESULT put_Top(long top) = 0;
  virtual HRESULT get_Top(long* top) = 0;
  virtual HRESULT put_Height(long height) = 0;
  virtual HRESULT get_Height(long* height) = 0;
  virtual HRESULT put_Owner(OAHWND owner) = 0;
  virtual HRESULT get_Owner(OAHWND* owner) = 0;
  virtual HRESULT put_MessageDrain(OAHWND drain) = 0;
  virtual HRESULT get_MessageDrain(OAHWND* drain) = 0;
  virtual HRESULT get_BorderColor(long* color) = 0;
  virtual HRESULT put_BorderColor(long color) = 0;
  virtual HRESULT get_FullScreenMode(long* mode) = 0;
  virtual HRESULT put_FullScreenMode(long mode) = 0;
  virtual HRESULT SetWindowForeground(long focus) = 0;
  virtual HRESULT NotifyOwnerMessage(OAHWND window, long message, LONG_PTR wParam,
                                     LONG_PTR lParam) = 0;
  virtual HRESULT SetWindowPosition(long left, long top, long width, long height) = 0;
  virtual HRESULT GetWindowPosition(long* left, long* top, long* width, long* height) = 0;
  virtual HRESULT GetMinIdealImageSize(long* width, long* height) = 0;
  virtual HRESULT GetMaxIdealImageSize(long* width, long* height) = 0;
  virtual HRESULT GetRestorePosition(long* left, long* top, long* width, long* height) = 0;
  virtual HRESULT HideCursor(long hide) = 0;
  virtual HRESULT IsCursorHidden(long* hidden) = 0;
};
inline constexpr const IID& IID_IVideoWindow = IVideoWindow::kIid;

struct IQualProp : IUnknown {
  static constexpr IID kIid = MakeGuid("{1BD0ECB0-F8E2-11CE-AAC6-0020AF0B99A3}");
  using BaseInterface = IUnknown;
  virtual HRESULT get_FramesDroppedInRenderer(int* frames) = 0;
  virtual HRESULT get_FramesDrawn(int* frames) = 0;
  virtual HRESULT get_AvgFrameRate(int* hundredthsPerSecond) = 0;
  virtual HRESULT get_Jitter(int* jitterMs) = 0;
  virtual HRESULT get_AvgSyncOffset(int* offsetMs) = 0;
  virtual HRESULT get_DevSyncOffset(int* deviationMs) = 0;
};
inline constexpr const IID& IID_IQualProp = IQualProp::kIid;

// IDirectDrawVideo::SetSwitches bits.
inline constexpr DWORD AMDDS_NONE = 0x00;
inline constexpr DWORD AMDDS_DCIPS = 0x01;
inline constexpr DWORD AMDDS_PS = 0x02;
inline constexpr DWORD AMDDS_RGBOVR = 0x04;
inline constexpr DWORD AMDDS_YUVOVR = 0x08;
inline constexpr DWORD AMDDS_RGBOFF = 0x10;
inline constexpr DWORD AMDDS_YUVOFF = 0x20;
inline constexpr DWORD AMDDS_ALL = 0xFF;

// The renderer's surface choices; here only stored and read back.
struct IDirectDrawVideo : IUnknown {
  static constexpr IID kIid = MakeGuid("{36D39EB0-DD75-11CE-BF0E-00AA0055595A}");
  using BaseInterface = IUnknown;
  virtual HRESULT GetSwitches(DWORD* switches) = 0;
  virtual HRESULT SetSwitches(DWORD switches) = 0;
  virtual HRESULT CanUseScanLine(long* useScanLine) = 0;
  virtual HRESULT UseScanLine(long useScanLine) = 0;
  virtual HRESULT CanUseOverlayStretch(long* useOverlayStretch) = 0;
  virtual HRESULT UseOverlayStretch(long useOverlayStretch) = 0;
  virtual HRESULT UseWhenFullScreen(long useWhenFullScreen) = 0;
  virtual HRESULT WillUseFullScreen(long* useWhenFullScreen) = 0;
};
inline constexpr const IID& IID_IDirectDrawVideo = IDirectDrawVideo::kIid;

struct IFileSinkFilter;
struct IAMCopyCaptureFileProgress;

struct ICaptureGraphBuilder2 : IUnknown {
  static constexpr IID kIid = MakeGuid("{93E5A4E0-2D50-11D2-ABFA-00A0C9C6E38D}");
  using BaseInterface = IUnknown;
  virtual HRESULT SetFiltergraph(IGraphBuilder* graph) = 0;
  // Creates a filter graph of its own when none was set.
  virtual HRESULT GetFiltergraph(IGraphBuilder** graph) = 0;
  virtual HRESULT SetOutputFileName(const GUID* type, LPCOLESTR file, IBaseFilter** multiplexer,
                                    IFileSinkFilter** sink) = 0;
  // Looks on the filter, then its pins, then downstream and upstream of it. category may be
  // LOOK_UPSTREAM_ONLY / LOOK_DOWNSTREAM_ONLY or a pin category (then only that pin's path).
  virtual HRESULT FindInterface(const GUID* category, const GUID* type, IBaseFilter* filter,
                                REFIID iid, void** object) = 0;
  // Connects source (a filter or an output pin) through compressor to renderer. Adds the
  // crossbar and tuner that feed a capture filter's analog inputs. Without renderer the stream
  // ends in the graph's default renderer.
  virtual HRESULT RenderStream(const GUID* category, const GUID* type, IUnknown* source,
                               IBaseFilter* compressor, IBaseFilter* renderer) = 0;
  virtual HRESULT ControlStream(const GUID* category, const GUID* type, IBaseFilter* filter,
                                REFERENCE_TIME* start, REFERENCE_TIME* stop, WORD startCookie,
                                WORD stopCookie) = 0;
  virtual HRESULT AllocCapFile(LPCOLESTR file, ULONGLONG size) = 0;
  virtual HRESULT CopyCaptureFile(LPOLESTR oldFile, LPOLESTR newFile, int allowEscAbort,
                                  IAMCopyCaptureFileProgress* callback) = 0;
  // The index-th pin of source (a filter, or a pin tested itself) with the given direction,
  // category, major type and connection state; nullptr category or type matches any.
  virtual HRESULT FindPin(IUnknown* source, PIN_DIRECTION direction, const GUID* category,
                          const GUID* type, BOOL unconnected, int index, IPin** pin) = 0;
};
inline constexpr const IID& IID_ICaptureGraphBuilder2 = ICaptureGraphBuilder2::kIid;
