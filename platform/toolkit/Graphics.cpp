#include "platform/toolkit/Graphics.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <QColor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>

#include "platform/toolkit/Bitmap.h"

TColor ColorToRGB(TColor color) {
  if (color >= 0) return color & 0xFFFFFF;
  QPalette palette = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                         ? QGuiApplication::palette()
                         : QPalette();
  switch (color & 0xFF) {
    case 0x05:
      return FromQColor(palette.color(QPalette::Base));
    case 0x08:
      return FromQColor(palette.color(QPalette::Text));
    case 0x0F:
      return FromQColor(palette.color(QPalette::Button));
    default:
      return FromQColor(palette.color(QPalette::Window));
  }
}

QColor ToQColor(TColor color) {
  const TColor c = ColorToRGB(color);
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

TColor FromQColor(const QColor& color) {
  return RGB(color.red(), color.green(), color.blue());
}

QString ResolveFontFamily(const QString& name) {
  // Windows faces the game's windows name, mapped to what a Linux desktop has. Liberation is
  // metric-compatible with the first two; the old bitmap dialog font becomes the sans default.
  if (name.compare(QLatin1String("Courier New"), Qt::CaseInsensitive) == 0)
    return QStringLiteral("Liberation Mono");
  if (name.compare(QLatin1String("Arial"), Qt::CaseInsensitive) == 0)
    return QStringLiteral("Liberation Sans");
  if (name.compare(QLatin1String("MS Sans Serif"), Qt::CaseInsensitive) == 0)
    return QStringLiteral("Liberation Sans");
  return name;
}

QFont TFont::ToQFont() const {
  QFont font(ResolveFontFamily(Name));
  font.setPointSize(Size > 0 ? Size : 8);
  font.setBold(Style & fsBold);
  font.setItalic(Style & fsItalic);
  font.setUnderline(Style & fsUnderline);
  font.setStrikeOut(Style & fsStrikeOut);
  return font;
}

namespace {

// Writes one pixel of colour c in the bitmap's format; returns its size in bytes.
int EncodePixel(TColor c, TPixelFormat format, std::uint8_t out[4]) {
  const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
  switch (format) {
    case pf15bit: {
      const auto v = static_cast<std::uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
      std::memcpy(out, &v, 2);
      return 2;
    }
    case pf16bit: {
      const auto v = static_cast<std::uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
      std::memcpy(out, &v, 2);
      return 2;
    }
    case pf24bit:
      out[0] = static_cast<std::uint8_t>(b);
      out[1] = static_cast<std::uint8_t>(g);
      out[2] = static_cast<std::uint8_t>(r);
      return 3;
    case pf32bit:
      out[0] = static_cast<std::uint8_t>(b);
      out[1] = static_cast<std::uint8_t>(g);
      out[2] = static_cast<std::uint8_t>(r);
      out[3] = 0xFF;
      return 4;
  }
  return 3;
}

// Copies n 24-bit pixels except those equal to key. This runs once per frame over the whole
// picture in the game, where ice and summer pixels alternate unpredictably: it works on byte
// masks, five pixels at a time with SSE2, instead of branching per pixel.
void DrawTransparent24(std::uint8_t* d, const std::uint8_t* s, int n, const std::uint8_t key[4]) {
  int i = 0;
#if defined(__SSE2__)
  alignas(16) std::uint8_t pattern[16], select[16], lastByte[16] = {};
  for (int b = 0; b < 16; ++b) {
    pattern[b] = key[b % 3];
    select[b] = (b % 3 == 0 && b < 15) ? 0xFF : 0x00;
  }
  lastByte[15] = 0xFF;
  const __m128i keyv = _mm_load_si128(reinterpret_cast<const __m128i*>(pattern));
  const __m128i sel = _mm_load_si128(reinterpret_cast<const __m128i*>(select));
  const __m128i keepLast = _mm_load_si128(reinterpret_cast<const __m128i*>(lastByte));
  // Each step reads and writes 16 bytes and consumes 15 (five pixels); the sixteenth is written
  // back unchanged. The next block's destination bytes are loaded before this block is stored,
  // so no load waits on the overlapping store.
  const auto blend = [&](__m128i sv, __m128i dv) {
    const __m128i eq = _mm_cmpeq_epi8(sv, keyv);
    __m128i pixelEq =
        _mm_and_si128(eq, _mm_and_si128(_mm_srli_si128(eq, 1), _mm_srli_si128(eq, 2)));
    pixelEq = _mm_and_si128(pixelEq, sel);
    __m128i keep =
        _mm_or_si128(pixelEq, _mm_or_si128(_mm_slli_si128(pixelEq, 1), _mm_slli_si128(pixelEq, 2)));
    keep = _mm_or_si128(keep, keepLast);
    return _mm_or_si128(_mm_and_si128(keep, dv), _mm_andnot_si128(keep, sv));
  };
  if (i + 6 <= n) {
    __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
    for (; i + 11 <= n; i += 5) {
      const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * i));
      const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 3 * i + 15));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * i), blend(sv, dv));
      dv = next;
    }
    const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * i), blend(sv, dv));
    i += 5;
  }
#endif
  for (; i < n; ++i) {
    const std::uint8_t* p = s + 3 * i;
    if (p[0] != key[0] || p[1] != key[1] || p[2] != key[2]) {
      d[3 * i] = p[0];
      d[3 * i + 1] = p[1];
      d[3 * i + 2] = p[2];
    }
  }
}

}  // namespace

void TCanvas::FillRect(const TRect& rect) {
  if (Brush.Style == bsClear || owner_.Empty()) return;
  const int left = std::max(rect.Left, 0), top = std::max(rect.Top, 0);
  const int right = std::min(rect.Right, owner_.Width());
  const int bottom = std::min(rect.Bottom, owner_.Height());
  if (left >= right || top >= bottom) return;
  std::uint8_t pixel[4];
  const int size = EncodePixel(ColorToRGB(Brush.Color), owner_.PixelFormat(), pixel);
  for (int y = top; y < bottom; ++y) {
    std::uint8_t* p = owner_.ScanLine(y) + left * size;
    for (int x = left; x < right; ++x, p += size) std::memcpy(p, pixel, static_cast<size_t>(size));
  }
}

int TCanvas::TextWidth(const QString& text) const {
  return QFontMetrics(Font.ToQFont(), &owner_.Image()).horizontalAdvance(text);
}

int TCanvas::TextHeight(const QString& /*text*/) const {
  return QFontMetrics(Font.ToQFont(), &owner_.Image()).height();
}

void TCanvas::TextOut(int x, int y, const QString& text) {
  if (owner_.Empty() || text.isEmpty()) return;
  const QImage::Format format = ToQImageFormat(owner_.PixelFormat());

  // Text on an opaque background looks the same wherever it goes: it is rendered once and kept,
  // so a message written every frame costs a copy and no allocation.
  const bool opaque = Brush.Style == bsSolid;
  const QImage* rendered = nullptr;
  if (opaque)
    for (const TextImage& entry : textCache_)
      if (entry.text == text && entry.font == Font && entry.background == Brush.Color &&
          entry.image.format() == format)
        rendered = &entry.image;

  QImage fresh;
  if (!rendered) {
    // Paint on a 32-bit image: the raster engine has no 16/24-bit text path on every Qt build,
    // and only the text's extent of the bitmap changes.
    const QRect extent(x, y, TextWidth(text), TextHeight(text));
    QImage area(extent.size(), QImage::Format_RGB32);
    if (area.isNull()) return;
    area.setDotsPerMeterX(owner_.Image().dotsPerMeterX());
    area.setDotsPerMeterY(owner_.Image().dotsPerMeterY());
    {
      QPainter painter(&area);
      if (opaque) {
        painter.fillRect(area.rect(), ToQColor(Brush.Color));
      } else {
        painter.drawImage(0, 0, owner_.Image().copy(extent).convertToFormat(QImage::Format_RGB32));
      }
      painter.setFont(Font.ToQFont());
      painter.setPen(ToQColor(Font.Color));
      painter.drawText(area.rect(), Qt::AlignLeft | Qt::AlignTop, text);
    }
    fresh = area.convertToFormat(format);
    if (opaque) {
      textCache_[nextTextSlot_] = {text, Font, Brush.Color, fresh};
      nextTextSlot_ = (nextTextSlot_ + 1) % textCache_.size();
    }
    rendered = &fresh;
  }
  const QRect target = QRect(QPoint(x, y), rendered->size()) & owner_.Image().rect();
  if (target.isEmpty()) return;
  const int bytesPerPixel = rendered->depth() / 8;
  for (int row = target.top(); row <= target.bottom(); ++row)
    std::memcpy(owner_.ScanLine(row) + target.left() * bytesPerPixel,
                rendered->constScanLine(row - y) + (target.left() - x) * bytesPerPixel,
                static_cast<size_t>(target.width()) * bytesPerPixel);
}

void TCanvas::Draw(int x, int y, const TBitmap& source) {
  const TBitmap* layers[] = {&source};
  Draw(x, y, layers);
}

void TCanvas::Draw(int x, int y, std::span<const TBitmap* const> layers) {
  if (owner_.Empty()) return;
  // One layer drawn from this very bitmap reads rows the earlier layers wrote: draw in turn.
  constexpr std::size_t kMaxLayers = 4;
  if (layers.size() > kMaxLayers ||
      (layers.size() > 1 && std::find(layers.begin(), layers.end(), &owner_) != layers.end())) {
    for (const TBitmap* layer : layers) Draw(x, y, *layer);
    return;
  }
  struct Layer {
    QRect target;
    QImage pixels;  // the source in our format: shared, not copied, when it already is
    std::uint8_t key[4] = {};
    bool transparent = false;
  };
  std::array<Layer, kMaxLayers> prepared;
  std::size_t count = 0;
  const QImage::Format format = owner_.Image().format();
  int size = 0;
  int top = owner_.Height(), bottom = -1;
  for (const TBitmap* source : layers) {
    if (source->Empty()) continue;
    Layer& layer = prepared[count];
    layer.target = QRect(x, y, source->Width(), source->Height()) & owner_.Image().rect();
    if (layer.target.isEmpty()) continue;
    layer.pixels = source->Image().format() == format ? source->Image()
                                                      : source->Image().convertToFormat(format);
    size = EncodePixel(ColorToRGB(source->TransparentColor()), owner_.PixelFormat(), layer.key);
    layer.transparent = source->Transparent();
    top = std::min(top, layer.target.top());
    bottom = std::max(bottom, layer.target.bottom());
    ++count;
  }
  // Row by row, every layer in turn: each pixel ends as drawing the layers one after another
  // leaves it, and each destination row passes through the cache once.
  for (int row = top; row <= bottom; ++row) {
    std::uint8_t* line = owner_.ScanLine(row);
    for (std::size_t k = 0; k < count; ++k) {
      const Layer& layer = prepared[k];
      if (row < layer.target.top() || row > layer.target.bottom()) continue;
      const int width = layer.target.width();
      std::uint8_t* d = line + layer.target.left() * size;
      const std::uint8_t* s =
          layer.pixels.constScanLine(row - y) + (layer.target.left() - x) * size;
      if (!layer.transparent) {
        std::memcpy(d, s, static_cast<size_t>(width) * size);
      } else if (size == 3) {
        DrawTransparent24(d, s, width, layer.key);
      } else {
        // Compare colour bytes only: the fourth byte of 32-bit pixels is unused.
        const int compared = size == 4 ? 3 : size;
        for (int i = 0; i < width; ++i, d += size, s += size)
          if (std::memcmp(s, layer.key, static_cast<size_t>(compared)) != 0)
            std::memcpy(d, s, static_cast<size_t>(size));
      }
    }
  }
}
