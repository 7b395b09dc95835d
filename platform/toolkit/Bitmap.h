// Device-independent bitmap on QImage: sizes, pixel formats, top-down row access, resources.
#pragma once

#include <cstdint>
#include <stdexcept>

#include <QImage>
#include <QString>

#include "platform/toolkit/Graphics.h"

enum TPixelFormat { pf15bit, pf16bit, pf24bit, pf32bit };

// Raised when a named resource is not part of the program.
class EResNotFound : public std::runtime_error {
 public:
  explicit EResNotFound(const QString& name);
};

// Raised for picture data that is not a bitmap this toolkit reads.
class EInvalidGraphic : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// In-memory picture. 15 bits: 5-5-5; 16 bits: 5-6-5; 24 bits: bytes blue, green, red;
// 32 bits: blue, green, red, unused. Rows are 4-byte aligned and row 0 is the top row.
// Thread: any, but one thread at a time.
class TBitmap {
 public:
  TBitmap();
  ~TBitmap();
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  int Width() const { return image_.width(); }
  int Height() const { return image_.height(); }
  TPixelFormat PixelFormat() const { return format_; }
  bool Empty() const { return image_.isNull(); }

  // Resizing keeps the pixels that were there at their place; new areas are black.
  void SetWidth(int width);
  void SetHeight(int height);
  void SetSize(int width, int height);
  // Converts every pixel; 32 to 24 bits drops the fourth byte.
  void SetPixelFormat(TPixelFormat format);

  std::uint8_t* ScanLine(int y);
  const std::uint8_t* ScanLine(int y) const;
  int BytesPerLine() const { return static_cast<int>(image_.bytesPerLine()); }

  // Copies size, format and pixels; reuses this bitmap's storage when the shapes agree.
  void Assign(const TBitmap& source);

  // Replaces size and pixels with those of a named bitmap resource of the program; the drawing
  // settings are kept. Throws EResNotFound or EInvalidGraphic.
  void LoadFromResourceName(const QString& name);
  // The same from a device-independent bitmap held in memory (header and pixel data).
  void LoadFromDib(const QByteArray& dib);

  TCanvas& Canvas() { return canvas_; }

  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent) { transparent_ = transparent; }
  // Fixed transparent colour used by TCanvas::Draw while Transparent() is true.
  TColor TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(TColor color) { transparentColor_ = color; }

  // The pixels as a QImage sharing this bitmap's storage (valid until the next change).
  const QImage& Image() const { return image_; }
  // Takes a QImage; formats other than the four above are converted to 32 bits.
  void SetImage(const QImage& image);

 private:
  void Resize(int width, int height);

  QImage image_;
  QImage spare_;  // storage reused by Assign followed by a format change
  TPixelFormat format_ = pf24bit;
  TCanvas canvas_;
  bool transparent_ = false;
  TColor transparentColor_ = clBlack;
};

QImage::Format ToQImageFormat(TPixelFormat format);
int BitsPerPixel(TPixelFormat format);
