// Screen size, the screen cursor and the millisecond tick count.
#pragma once

#include <cstdint>
#include <optional>

#include <QSize>

int ScreenWidth();
int ScreenHeight();
// The part of the screen windows may use (without panels); the override's size when one is set.
QSize AvailableScreenSize();
// Pretends the screen has this size (tests of centring); nullopt restores the real one.
void SetScreenSizeOverride(std::optional<QSize> size);

enum TCursor : int { crDefault = 0, crArrow = -2, crHourGlass = -11, crHandPoint = -21 };
// The cursor shown over the whole application; crDefault shows each window's own cursor.
void SetScreenCursor(TCursor cursor);
TCursor ScreenCursor();
Qt::CursorShape ToCursorShape(TCursor cursor);

// Milliseconds since an arbitrary start, wrapping at 2^32 like the system tick count.
std::uint32_t GetTickCount();
