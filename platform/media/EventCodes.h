// Graph event codes, free of Qt so that filter base classes and modules can report events.
#pragma once

// Event codes of IMediaEvent::GetEvent.
inline constexpr long EC_COMPLETE = 0x01;
inline constexpr long EC_USERABORT = 0x02;
inline constexpr long EC_ERRORABORT = 0x03;  // param1: the failure code
inline constexpr long EC_TIME = 0x04;
inline constexpr long EC_REPAINT = 0x05;
inline constexpr long EC_STREAM_ERROR_STOPPED = 0x06;
inline constexpr long EC_STREAM_ERROR_STILLPLAYING = 0x07;
inline constexpr long EC_ERROR_STILLPLAYING = 0x08;
inline constexpr long EC_PALETTE_CHANGED = 0x09;
inline constexpr long EC_VIDEO_SIZE_CHANGED =
    0x0A;  // param1: width in the low, height in the high 16 bits
inline constexpr long EC_QUALITY_CHANGE = 0x0B;
inline constexpr long EC_SHUTTING_DOWN = 0x0C;
inline constexpr long EC_CLOCK_CHANGED = 0x0D;
inline constexpr long EC_PAUSED = 0x0E;
inline constexpr long EC_OPENING_FILE = 0x10;
inline constexpr long EC_BUFFERING_DATA = 0x11;
inline constexpr long EC_FULLSCREEN_LOST = 0x12;
inline constexpr long EC_ACTIVATE = 0x13;
inline constexpr long EC_NEED_RESTART = 0x14;
inline constexpr long EC_WINDOW_DESTROYED = 0x15;
inline constexpr long EC_DISPLAY_CHANGED = 0x16;
inline constexpr long EC_STARVATION = 0x17;
inline constexpr long EC_OLE_EVENT = 0x18;  // both parameters are BSTRs freed by FreeEventParams
inline constexpr long EC_NOTIFY_WINDOW = 0x19;
inline constexpr long EC_STREAM_CONTROL_STOPPED = 0x1A;
inline constexpr long EC_STREAM_CONTROL_STARTED = 0x1B;
inline constexpr long EC_END_OF_SEGMENT = 0x1C;
inline constexpr long EC_SEGMENT_STARTED = 0x1D;
inline constexpr long EC_LENGTH_CHANGED = 0x1E;
inline constexpr long EC_DEVICE_LOST =
    0x1F;  // param1: the filter's IUnknown, param2: 0 removed, 1 back

// IMediaEventEx::SetNotifyFlags: no queueing and no notification at all.
inline constexpr long AM_MEDIAEVENT_NONOTIFY = 0x01;
