#include "platform/toolkit/Gdi.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

QImage::Format SectionFormat(const BITMAPINFOHEADER& h) {
  if (h.biCompression == BI_RGB) {
    switch (h.biBitCount) {
      case 32:
        return QImage::Format_RGB32;  // B, G, R, X in memory
      case 24:
        return QImage::Format_BGR888;
      case 16:
        return QImage::Format_RGB555;
      default:
        return QImage::Format_Invalid;
    }
  }
  if (h.biCompression == BI_BITFIELDS && h.biBitCount == 16) return QImage::Format_RGB16;
  return QImage::Format_Invalid;
}

BITMAPINFOHEADER DefaultHeader() {
  BITMAPINFOHEADER h{};
  h.biSize = sizeof h;
  h.biWidth = 1;
  h.biHeight = 1;
  h.biPlanes = 1;
  h.biBitCount = 32;
  h.biCompression = BI_RGB;
  return h;
}

}  // namespace

GdiBitmap::GdiBitmap(const BITMAPINFOHEADER& header, QImage storage)
    : header_(header), storage_(std::move(storage)), bits_(storage_.bits()) {}

QImage GdiBitmap::Image() const {
  if (BottomUp()) return storage_.mirrored(false, true);
  // A view, not a copy of storage_: sharing storage_ would make the next write through a
  // QImage detach it and leave bits_ pointing at pixels nobody shows.
  return QImage(static_cast<const uchar*>(bits_), storage_.width(), storage_.height(),
                storage_.bytesPerLine(), storage_.format());
}

GdiDeviceContext::GdiDeviceContext()
    : default_(std::make_unique<GdiBitmap>(DefaultHeader(), QImage(1, 1, QImage::Format_RGB32))),
      selected_(default_.get()) {
  default_->selectedInto = this;
}

GdiDeviceContext::~GdiDeviceContext() {
  if (selected_) selected_->selectedInto = nullptr;
}

HGDIOBJ GdiDeviceContext::Select(HGDIOBJ object) {
  auto* bitmap = dynamic_cast<GdiBitmap*>(object);
  if (!bitmap) return nullptr;
  if (bitmap->selectedInto && bitmap->selectedInto != this) return nullptr;
  GdiBitmap* previous = selected_;
  previous->selectedInto = nullptr;
  selected_ = bitmap;
  bitmap->selectedInto = this;
  return previous;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, unsigned usage, void** bits, void*,
                         std::uint32_t) {
  if (bits) *bits = nullptr;
  if (!info || usage != DIB_RGB_COLORS) return nullptr;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  const QImage::Format format = SectionFormat(h);
  if (format == QImage::Format_Invalid || h.biWidth <= 0 || h.biHeight == 0) return nullptr;
  QImage storage(h.biWidth, std::abs(h.biHeight), format);
  if (storage.isNull()) return nullptr;
  // QImage pads rows to 4 bytes, as device-independent bitmaps do.
  if (storage.bytesPerLine() != DibRowBytes(h.biWidth, h.biBitCount)) return nullptr;
  storage.fill(0);
  auto* bitmap = new GdiBitmap(h, std::move(storage));
  if (bits) *bits = bitmap->Bits();
  return bitmap;
}

HDC CreateCompatibleDC(HDC) {
  return new GdiDeviceContext;
}

int DeleteDC(HDC hdc) {
  if (!hdc) return 0;
  delete hdc;
  return 1;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
  if (!hdc || !object) return nullptr;
  return hdc->Select(object);
}

int DeleteObject(HGDIOBJ object) {
  auto* bitmap = dynamic_cast<GdiBitmap*>(object);
  if (!bitmap || bitmap->selectedInto) return 0;
  delete bitmap;
  return 1;
}

int GetObject(HGDIOBJ object, int size, void* out) {
  auto* bitmap = dynamic_cast<GdiBitmap*>(object);
  if (!bitmap || !out || size < static_cast<int>(sizeof(BITMAP))) return 0;
  DIBSECTION ds{};
  const BITMAPINFOHEADER& h = bitmap->Header();
  ds.dsBm.bmWidth = h.biWidth;
  ds.dsBm.bmHeight = std::abs(h.biHeight);
  ds.dsBm.bmWidthBytes = bitmap->StrideBytes();
  ds.dsBm.bmPlanes = 1;
  ds.dsBm.bmBitsPixel = h.biBitCount;
  ds.dsBm.bmBits = bitmap->Bits();
  ds.dsBmih = h;
  ds.dsBmih.biSizeImage = static_cast<std::uint32_t>(bitmap->StrideBytes()) * ds.dsBm.bmHeight;
  if (h.biCompression == BI_BITFIELDS) {
    ds.dsBitfields[0] = 0xF800;  // RGB565 masks
    ds.dsBitfields[1] = 0x07E0;
    ds.dsBitfields[2] = 0x001F;
  }
  const int written = size >= static_cast<int>(sizeof(DIBSECTION))
                          ? static_cast<int>(sizeof(DIBSECTION))
                          : static_cast<int>(sizeof(BITMAP));
  std::memcpy(out, &ds, written);
  return written;
}
