// Checks of the grabber's drawing handles, kept apart from the capture headers, which give
// HBITMAP and HDC other meanings than the toolkit's drawing handles.
#pragma once

// Whether bitmap is a DIB section over bits that is selected into dc.
bool BitmapIsOverPicture(void* bitmap, void* dc, const void* bits);
