// Drawing handles of the original platform: DIB sections, memory device contexts, selection.
#pragma once

#include <cstdint>
#include <memory>

#include <QImage>

#include "platform/toolkit/DibTypes.h"

class GdiObject;
class GdiBitmap;
class GdiDeviceContext;
using HGDIOBJ = GdiObject*;
using HBITMAP = GdiBitmap*;
using HDC = GdiDeviceContext*;

inline constexpr unsigned DIB_RGB_COLORS = 0;

// Base of every drawing handle. Thread: any; one object is used by one thread at a time.
class GdiObject {
 public:
  virtual ~GdiObject() = default;
};

// A DIB section: pixels in device-independent layout (rows padded to 4 bytes, bottom row first
// for a positive header height, top row first for a negative one) in memory a QImage owns.
// Thread: any; one thread at a time.
class GdiBitmap final : public GdiObject {
 public:
  GdiBitmap(const BITMAPINFOHEADER& header, QImage storage);

  // The pixels; the address stays the same for the bitmap's life.
  void* Bits() const { return bits_; }
  const BITMAPINFOHEADER& Header() const { return header_; }
  bool BottomUp() const { return header_.biHeight > 0; }
  int StrideBytes() const { return static_cast<int>(storage_.bytesPerLine()); }
  // The picture top row first: a view of the pixels, valid while the bitmap lives, when the
  // section is top-down; a flipped copy when it is bottom-up.
  QImage Image() const;

  GdiDeviceContext* selectedInto = nullptr;  // the context it is selected into, if any

 private:
  BITMAPINFOHEADER header_;
  QImage storage_;  // rows in DIB order; never shared, so never detached from bits_
  void* bits_;
};

// A memory device context. It starts with its own 1 x 1 default bitmap selected, which
// SelectObject hands back as the previous object, as the original platform's stock bitmap.
// Thread: any; one thread at a time.
class GdiDeviceContext final : public GdiObject {
 public:
  GdiDeviceContext();
  ~GdiDeviceContext() override;

  HGDIOBJ Selected() const { return selected_; }
  HGDIOBJ Select(HGDIOBJ object);
  // The bitmap selected now (the default one if none was selected).
  GdiBitmap* SelectedBitmap() const { return selected_; }

 private:
  std::unique_ptr<GdiBitmap> default_;
  GdiBitmap* selected_;
};

// Makes a DIB section of 16, 24 or 32 bits per pixel (BI_RGB, or BI_BITFIELDS at 16 bits for
// RGB565) and sets *bits to its pixels. The sign of biHeight chooses bottom-up (positive) or
// top-down (negative) rows. Returns nullptr (and *bits nullptr) for another format, a zero size
// or another usage than DIB_RGB_COLORS. The context is not used, as on the original platform.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, unsigned usage, void** bits,
                         void* section, std::uint32_t offset);
// A memory device context; the compatible context is not used.
HDC CreateCompatibleDC(HDC hdc);
// Frees the context; the bitmap selected into it is deselected, not freed.
int DeleteDC(HDC hdc);
// Selects a bitmap into the context and returns the object selected before; nullptr for a
// bitmap already selected into another context.
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
// Frees a bitmap. FALSE (0) while it is selected into a context, or for a null handle.
int DeleteObject(HGDIOBJ object);
// Fills a BITMAP (or a DIBSECTION when size allows) for a bitmap; answers the bytes written,
// 0 for anything else.
int GetObject(HGDIOBJ object, int size, void* out);
// Drawing is never batched here: nothing to flush.
inline int GdiFlush() {
  return 1;
}
