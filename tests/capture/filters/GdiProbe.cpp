#include "GdiProbe.h"

#include "platform/toolkit/Gdi.h"

bool BitmapIsOverPicture(void* bitmap, void* dc, const void* bits) {
  auto* handle = static_cast<HBITMAP>(bitmap);
  DIBSECTION ds{};
  return GetObject(handle, sizeof ds, &ds) == sizeof ds && ds.dsBm.bmBits == bits &&
         static_cast<HDC>(dc)->SelectedBitmap() == handle;
}
