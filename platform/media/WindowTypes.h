// Window handles of the media framework: widgets of the toolkit, and the window style bits.
#pragma once

#include <QEvent>

#include "platform/com/Types.h"

class QWidget;

// A window is a widget; "no window" is nullptr.
using HWND = QWidget*;
using OAHWND = QWidget*;

using OABOOL = long;
inline constexpr OABOOL OATRUE = -1;
inline constexpr OABOOL OAFALSE = 0;

inline constexpr long WS_OVERLAPPED = 0x00000000;
inline constexpr long WS_POPUP = static_cast<long>(0x80000000u);
inline constexpr long WS_CHILD = 0x40000000;
inline constexpr long WS_VISIBLE = 0x10000000;
inline constexpr long WS_CLIPSIBLINGS = 0x04000000;
inline constexpr long WS_CLIPCHILDREN = 0x02000000;
inline constexpr long WS_CAPTION = 0x00C00000;
inline constexpr long WS_BORDER = 0x00800000;
inline constexpr long WS_THICKFRAME = 0x00040000;
inline constexpr long WS_OVERLAPPEDWINDOW = 0x00CF0000;

// The event a filter graph posts to the window given to IMediaEventEx::SetNotifyWindow. Its type
// is the message number given there (register one with QEvent::registerEventType); it carries
// the instance data given there. Graph events themselves are read with GetEvent.
class GraphNotifyEvent : public QEvent {
 public:
  GraphNotifyEvent(long message, LONG_PTR instanceData)
      : QEvent(static_cast<QEvent::Type>(message)), instanceData_(instanceData) {}
  LONG_PTR InstanceData() const { return instanceData_; }

 private:
  LONG_PTR instanceData_;
};
