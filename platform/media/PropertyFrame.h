// Property frames: a modal dialog with the property pages of an object.
#pragma once

#include "platform/com/Unknown.h"
#include "platform/media/WindowTypes.h"

// Shows the pages (CLSIDs of PropertyPages.h) for the objects in a modal dialog owned by owner,
// at x, y inside it, titled after caption (or the object's own name) and " Properties".
// Returns when the user closes it: OK applies every changed page, Cancel undoes the changes the
// pages made while open. The dialog runs its own event loop, so timers and posted events keep
// working meanwhile. Pages that are unknown or do not fit the objects are left out; E_FAIL if
// none is left, RPC_E_WRONG_THREAD off the user-interface thread.
HRESULT OleCreatePropertyFrame(HWND owner, UINT x, UINT y, LPCOLESTR caption, ULONG objectCount,
                               IUnknown** objects, ULONG pageCount, const CLSID* pages, LCID locale,
                               DWORD reserved, void* reservedPointer);

// The object name of the frame's dialog, by which tests and tools find it.
inline constexpr const char* kPropertyFrameObjectName = "PropertyFrame";
