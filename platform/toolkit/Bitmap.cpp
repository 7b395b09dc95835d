#include "platform/toolkit/Bitmap.h"

#include <algorithm>
#include <cstring>
#include <libyuv.h>

#include <QFile>

#include "platform/toolkit/Dib.h"

namespace {

TPixelFormat FromQImageFormat(QImage::Format f) {
  switch (f) {
    case QImage::Format_RGB555:
      return pf15bit;
    case QImage::Format_RGB16:
      return pf16bit;
    case QImage::Format_BGR888:
      return pf24bit;
    default:
      return pf32bit;
  }
}

}  // namespace

EResNotFound::EResNotFound(const QString& name)
    : std::runtime_error(QStringLiteral("Resource %1 not found").arg(name).toStdString()) {}

QImage::Format ToQImageFormat(TPixelFormat format) {
  switch (format) {
    case pf15bit:
      return QImage::Format_RGB555;
    case pf16bit:
      return QImage::Format_RGB16;
    case pf24bit:
      return QImage::Format_BGR888;
    case pf32bit:
      return QImage::Format_RGB32;
  }
  return QImage::Format_BGR888;
}

int BitsPerPixel(TPixelFormat format) {
  switch (format) {
    case pf15bit:
    case pf16bit:
      return 16;
    case pf24bit:
      return 24;
    case pf32bit:
      return 32;
  }
  return 24;
}

TBitmap::TBitmap() : canvas_(*this) {}
TBitmap::~TBitmap() = default;

void TBitmap::SetWidth(int width) {
  Resize(width, Height());
}
void TBitmap::SetHeight(int height) {
  Resize(Width(), height);
}
void TBitmap::SetSize(int width, int height) {
  Resize(width, height);
}

void TBitmap::Resize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == Width() && height == Height()) return;
  if (width == 0 || height == 0) {
    // Qt has no zero-by-n image; keep the other dimension out of reach of ScanLine.
    image_ = QImage();
    return;
  }
  QImage resized(width, height, ToQImageFormat(format_));
  if (resized.isNull()) throw std::bad_alloc();
  resized.fill(0);
  const int rows = std::min(height, Height());
  const size_t bytes = static_cast<size_t>(std::min(width, Width())) * resized.depth() / 8;
  for (int y = 0; y < rows; ++y) std::memcpy(resized.scanLine(y), image_.constScanLine(y), bytes);
  image_ = std::move(resized);
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
  if (format == format_) return;
  format_ = format;
  if (image_.isNull()) return;
  const QImage::Format target = ToQImageFormat(format);
  if (image_.format() == QImage::Format_RGB32 && target == QImage::Format_BGR888) {
    // The common frame case: drop the fourth byte without a detour through Qt's converters,
    // into the storage kept from the last conversion when it fits.
    QImage converted;
    if (spare_.size() == image_.size() && spare_.format() == target && spare_.isDetached())
      converted = std::move(spare_);
    else
      converted = QImage(image_.width(), image_.height(), target);
    spare_ = QImage();
    if (converted.isNull()) throw std::bad_alloc();
    libyuv::ARGBToRGB24(image_.constBits(), static_cast<int>(image_.bytesPerLine()),
                        converted.bits(), static_cast<int>(converted.bytesPerLine()),
                        image_.width(), image_.height());
    image_ = std::move(converted);
    return;
  }
  image_ = image_.convertToFormat(target);
  if (image_.isNull()) throw std::bad_alloc();
}

std::uint8_t* TBitmap::ScanLine(int y) {
  if (y < 0 || y >= Height()) throw std::out_of_range("Scan line index out of range");
  return image_.scanLine(y);
}

const std::uint8_t* TBitmap::ScanLine(int y) const {
  if (y < 0 || y >= Height()) throw std::out_of_range("Scan line index out of range");
  return image_.constScanLine(y);
}

void TBitmap::Assign(const TBitmap& source) {
  if (&source == this) return;
  format_ = source.format_;
  transparent_ = source.transparent_;
  transparentColor_ = source.transparentColor_;
  // Copy into storage we already own when the shapes agree: a bitmap assigned every frame then
  // never allocates. Otherwise share the source's pixels until either side writes.
  if (!image_.isNull() && image_.isDetached() && image_.size() == source.image_.size() &&
      image_.format() == source.image_.format()) {
    // Rows are padded alike: one copy of the whole block.
    std::memcpy(image_.bits(), source.image_.constBits(),
                static_cast<size_t>(image_.sizeInBytes()));
    return;
  }
  // Keep our own storage for the conversion that usually follows (see SetPixelFormat).
  if (image_.isDetached()) spare_ = std::move(image_);
  image_ = source.image_;
}

void TBitmap::LoadFromResourceName(const QString& name) {
  QFile file(QStringLiteral(":/bitmaps/") + name.toUpper());
  if (name.isEmpty() || !file.open(QIODevice::ReadOnly)) throw EResNotFound(name);
  LoadFromDib(file.readAll());
}

void TBitmap::LoadFromDib(const QByteArray& dib) {
  QString error;
  QImage image = DecodeDib(dib, &error);
  if (image.isNull()) throw EInvalidGraphic(("Invalid bitmap: " + error).toStdString());
  image_ = std::move(image);
  format_ = FromQImageFormat(image_.format());
}

void TBitmap::SetImage(const QImage& image) {
  const TPixelFormat format = FromQImageFormat(image.format());
  image_ = image.format() == ToQImageFormat(format) ? image
                                                    : image.convertToFormat(QImage::Format_RGB32);
  format_ = format;
}
