// Drawing types of the window toolkit: colours, rectangles, fonts, brushes and the bitmap canvas.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include <QFont>
#include <QImage>
#include <QString>

class QColor;
class TBitmap;

// A colour as 0x00BBGGRR; values with the top bit set name a system colour of the desktop theme.
using TColor = std::int32_t;

inline constexpr TColor RGB(int r, int g, int b) {
  return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
inline constexpr int GetRValue(TColor c) {
  return c & 0xFF;
}
inline constexpr int GetGValue(TColor c) {
  return (c >> 8) & 0xFF;
}
inline constexpr int GetBValue(TColor c) {
  return (c >> 16) & 0xFF;
}

inline constexpr TColor clBlack = RGB(0, 0, 0);
inline constexpr TColor clWhite = RGB(255, 255, 255);
inline constexpr TColor clRed = RGB(255, 0, 0);
inline constexpr TColor clGreen = RGB(0, 128, 0);
inline constexpr TColor clBlue = RGB(0, 0, 255);
inline constexpr TColor clNone = 0x1FFFFFFF;
// System colours resolve through the application palette.
inline constexpr TColor clBtnFace = static_cast<TColor>(0x8000000F);
inline constexpr TColor clWindow = static_cast<TColor>(0x80000005);
inline constexpr TColor clWindowText = static_cast<TColor>(0x80000008);

// Resolves system colours to their current RGB value.
TColor ColorToRGB(TColor color);
QColor ToQColor(TColor color);
TColor FromQColor(const QColor& color);

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TRect&) const = default;
};
inline TRect Rect(int left, int top, int right, int bottom) {
  return {left, top, right, bottom};
}

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

struct TFont {
  QString Name = QStringLiteral("MS Sans Serif");
  int Size = 8;  // points
  TFontStyles Style = 0;
  TColor Color = clWindowText;

  // The Qt font, with the desktop's stand-ins for Windows face names.
  QFont ToQFont() const;
  bool operator==(const TFont&) const = default;
};

enum TBrushStyle { bsSolid, bsClear };

struct TBrush {
  TBrushStyle Style = bsSolid;
  TColor Color = clWhite;
};

// Face name substitutions: Windows names to the metric-compatible faces fontconfig offers.
QString ResolveFontFamily(const QString& name);

// The drawing surface of a TBitmap. Thread: that of its bitmap's owner.
class TCanvas {
 public:
  explicit TCanvas(TBitmap& owner) : owner_(owner) {}
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TFont Font;
  TBrush Brush;

  // Fills with the brush; the right and bottom edges are excluded, the rest is clipped.
  void FillRect(const TRect& rect);
  // Writes text with its top-left corner at (x, y) in the font; with a solid brush the text's
  // whole extent is first filled with the brush colour.
  void TextOut(int x, int y, const QString& text);
  int TextWidth(const QString& text) const;
  int TextHeight(const QString& text) const;
  // Draws another bitmap with its top-left corner at (x, y), honouring its transparent colour.
  void Draw(int x, int y, const TBitmap& source);
  // Draws the bitmaps one over the other, the first lowest: the same pixels as drawing them in
  // turn, in one pass over the rows.
  void Draw(int x, int y, std::span<const TBitmap* const> layers);

 private:
  struct TextImage {
    QString text;
    TFont font;
    TColor background = clNone;
    QImage image;
  };

  TBitmap& owner_;
  std::array<TextImage, 4> textCache_;  // recently written texts on opaque backgrounds
  std::size_t nextTextSlot_ = 0;
};
