#include "platform/media/virtual/DemoScene.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/media/virtual/TouchScene.h"

namespace {

constexpr float kTwoPi = 6.2831853f;
constexpr double kFramesPerSecond = 30.0;

struct Rgb {
  float r, g, b;
};

constexpr Rgb kSleeve{186.0f, 62.0f, 50.0f};
constexpr Rgb kSkin{236.0f, 188.0f, 150.0f};

// Shoulder joints of the person drawn into the background, as fractions of the picture.
constexpr float kShoulderX[2] = {0.385f, 0.615f};
constexpr float kShoulderY = 0.575f;

inline std::uint32_t Pack(float r, float g, float b) {
  auto c = [](float v) { return static_cast<std::uint32_t>(std::clamp(v, 0.0f, 255.0f)); };
  return 0xFF000000u | (c(r) << 16) | (c(g) << 8) | c(b);
}

inline std::uint32_t Mix(std::uint32_t under, float r, float g, float b, float alpha) {
  const float ur = static_cast<float>((under >> 16) & 0xFF);
  const float ug = static_cast<float>((under >> 8) & 0xFF);
  const float ub = static_cast<float>(under & 0xFF);
  return Pack(ur + (r - ur) * alpha, ug + (g - ug) * alpha, ub + (b - ub) * alpha);
}

// Narrows [lo, hi] to the x where low <= (x - ax) * coef + k <= high on one row.
inline void Constrain(float coef, float k, float low, float high, float ax, float& lo, float& hi) {
  if (std::fabs(coef) < 1e-6f) {
    if (k < low || k > high) {
      lo = 1.0f;
      hi = 0.0f;
    }
    return;
  }
  float x1 = ax + (low - k) / coef;
  float x2 = ax + (high - k) / coef;
  if (coef < 0) std::swap(x1, x2);
  lo = std::max(lo, x1);
  hi = std::min(hi, x2);
}

// Fills a capsule (the segment a-b thickened by radius) shaded like a cylinder lit from the
// upper left, with edges smoothed over one pixel. Each row visits only the span the capsule
// covers, so the cost follows its area rather than its bounding box.
void FillCapsule(std::uint32_t* pixels, std::ptrdiff_t stride, int width, int height, float ax,
                 float ay, float bx, float by, float radius, Rgb colour) {
  const float reach = radius + 1.0f;
  const int y0 = std::max(0, static_cast<int>(std::floor(std::min(ay, by) - reach)));
  const int y1 = std::min(height - 1, static_cast<int>(std::ceil(std::max(ay, by) + reach)));
  const float dx = bx - ax;
  const float dy = by - ay;
  const float len2 = dx * dx + dy * dy;
  const float len = std::sqrt(len2);
  const float ux = len > 0 ? dx / len : 1.0f;
  const float uy = len > 0 ? dy / len : 0.0f;
  const float outer2 = (radius + 0.5f) * (radius + 0.5f);
  for (int y = y0; y <= y1; ++y) {
    const float py = static_cast<float>(y) + 0.5f;
    float lo = 1e9f;
    float hi = -1e9f;
    for (const auto& [cx, cy] : {std::pair{ax, ay}, std::pair{bx, by}}) {
      const float d = py - cy;
      if (std::fabs(d) <= reach) {
        const float s = std::sqrt(reach * reach - d * d);
        lo = std::min(lo, cx - s);
        hi = std::max(hi, cx + s);
      }
    }
    if (len > 0) {
      float blo = -1e9f;
      float bhi = 1e9f;
      Constrain(ux, (py - ay) * uy, 0.0f, len, ax, blo, bhi);
      Constrain(-uy, (py - ay) * ux, -reach, reach, ax, blo, bhi);
      if (blo <= bhi) {
        lo = std::min(lo, blo);
        hi = std::max(hi, bhi);
      }
    }
    if (lo > hi) continue;
    const int x0 = std::max(0, static_cast<int>(std::floor(lo)));
    const int x1 = std::min(width - 1, static_cast<int>(std::ceil(hi)));
    std::uint32_t* row = pixels + y * stride;
    for (int x = x0; x <= x1; ++x) {
      const float px = static_cast<float>(x) + 0.5f;
      float t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0.0f;
      t = std::clamp(t, 0.0f, 1.0f);
      const float ox = px - (ax + t * dx);
      const float oy = py - (ay + t * dy);
      const float d2 = ox * ox + oy * oy;
      if (d2 >= outer2) continue;
      const float d = std::sqrt(d2);
      const float cover = std::min(1.0f, radius + 0.5f - d);
      const float rel = std::min(1.0f, d / radius);
      // Light from the upper left: the side of the limb facing it is brighter, the rim darker.
      const float facing = d > 1e-3f ? (-0.6f * ox - 0.8f * oy) / d : 0.0f;
      const float light = 0.92f + 0.22f * facing * rel - 0.28f * rel * rel;
      row[x] = Mix(row[x], colour.r * light, colour.g * light, colour.b * light, cover);
    }
  }
}

inline float Wave(double seconds, double period, double phase) {
  return static_cast<float>(std::sin(kTwoPi * seconds / period + phase));
}

// Picture-independent hand motion: an angle around the shoulder and a reach, both in units of
// the picture width. The angle swings quickly (the wave) around a direction that drifts slowly,
// and the reach breathes in and out, so the hand sweeps arcs that over time fill its side.
void HandPolar(int hand, std::int64_t frameNumber, float* angle, float* reach) {
  // The motion starts a second into the wave, so the first frames already show both hands.
  const double t = static_cast<double>(frameNumber) / kFramesPerSecond + 1.0;
  if (hand == 0) {
    const float centre = kTwoPi / 2 + 1.25f * Wave(t, 11.3, 0.4);
    *angle = centre + 0.95f * Wave(t, 1.7, 0.0);
    *reach = 0.30f + 0.24f * (0.5f + 0.5f * Wave(t, 4.3, 1.0));
  } else {
    const float centre = 1.25f * Wave(t, 12.7, 2.1);
    *angle = centre - 0.95f * Wave(t, 1.9, 0.7);
    *reach = 0.30f + 0.24f * (0.5f + 0.5f * Wave(t, 5.1, 2.5));
  }
}

}  // namespace

void DemoScene::HandPosition(int hand, std::int64_t frameNumber, int width, int height, float* x,
                             float* y) {
  float angle = 0;
  float reach = 0;
  HandPolar(hand, frameNumber, &angle, &reach);
  const float w = static_cast<float>(width);
  *x = kShoulderX[hand] * w + std::cos(angle) * reach * w;
  *y = kShoulderY * static_cast<float>(height) + std::sin(angle) * reach * w;
}

void DemoScene::RenderRows(std::int64_t frameNumber, int width, int height, std::uint32_t* pixels,
                           std::ptrdiff_t stride) {
  if (width <= 0 || height <= 0) return;
  if (width != backgroundWidth_ || height != backgroundHeight_) DrawBackground(width, height);
  for (int y = 0; y < height; ++y)
    std::memcpy(pixels + y * stride, background_.data() + static_cast<std::ptrdiff_t>(y) * width,
                static_cast<std::size_t>(width) * sizeof(std::uint32_t));

  const float w = static_cast<float>(width);
  const float h = static_cast<float>(height);
  const double t = static_cast<double>(frameNumber) / kFramesPerSecond;
  const float armLength = 0.56f * w;
  for (int hand = 0; hand < 2; ++hand) {
    const float sx = kShoulderX[hand] * w;
    const float sy = kShoulderY * h;
    float hx = 0;
    float hy = 0;
    HandPosition(hand, frameNumber, width, height, &hx, &hy);
    // The elbow bends downwards, as far as the two arm halves need to reach the hand.
    const float dx = hx - sx;
    const float dy = hy - sy;
    const float dist = std::max(1.0f, std::sqrt(dx * dx + dy * dy));
    const float half = armLength / 2;
    const float bend = std::sqrt(std::max(0.0f, half * half - dist * dist / 4));
    float nx = -dy / dist;
    float ny = dx / dist;
    if (ny < 0) {
      nx = -nx;
      ny = -ny;
    }
    const float ex = sx + dx / 2 + nx * bend * 0.6f;
    const float ey = sy + dy / 2 + ny * bend * 0.6f;
    FillCapsule(pixels, stride, width, height, sx, sy, ex, ey, 0.036f * w, kSleeve);
    FillCapsule(pixels, stride, width, height, ex, ey, hx, hy, 0.031f * w, kSleeve);

    // The hand: palm, four fingers that spread and close as it waves, and the thumb.
    const float palm = 0.038f * w;
    const float fx = hx - ex;
    const float fy = hy - ey;
    const float heading = std::atan2(fy, fx);
    const float spread = 0.85f + 0.3f * Wave(t, 0.9, hand * 1.3);
    const float side = hand == 0 ? -1.0f : 1.0f;
    FillCapsule(pixels, stride, width, height, hx, hy, hx, hy, palm, kSkin);
    const float fingerAngle[4] = {-0.48f, -0.16f, 0.16f, 0.48f};
    const float fingerLength[4] = {0.95f, 1.15f, 1.1f, 0.85f};
    for (int f = 0; f < 4; ++f) {
      const float a = heading + fingerAngle[f] * spread;
      const float bx = hx + std::cos(a) * palm * 0.55f;
      const float by = hy + std::sin(a) * palm * 0.55f;
      const float len = palm * fingerLength[f];
      FillCapsule(pixels, stride, width, height, bx, by, bx + std::cos(a) * len,
                  by + std::sin(a) * len, palm * 0.27f, kSkin);
    }
    const float ta = heading + side * (1.15f + 0.15f * spread);
    const float tx = hx + std::cos(ta) * palm * 0.5f;
    const float ty = hy + std::sin(ta) * palm * 0.5f;
    FillCapsule(pixels, stride, width, height, tx, ty, tx + std::cos(ta) * palm * 0.8f,
                ty + std::sin(ta) * palm * 0.8f, palm * 0.3f, kSkin);
  }
}

namespace {

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kHair{66, 40, 26};

// Simple shapes for the background, drawn into a top-down 0xFFRRGGBB picture. Everything is
// computed here rather than with QPainter, whose raster engine would spread large fills over a
// thread pool that the camera's streaming thread must not start.
class Canvas {
 public:
  Canvas(std::uint32_t* pixels, int width, int height) : px_(pixels), w_(width), h_(height) {}

  // Blends colour over the rows y0..y1 and columns x0..x1 (fractions cover partly), with
  // shade(x, y) in 0..1 mixing from colour a to colour b.
  template <class Shade>
  void Rect(float x0, float y0, float x1, float y1, Rgb a, Rgb b, Shade shade, float alpha = 1) {
    const int iy0 = std::max(0, static_cast<int>(std::floor(y0)));
    const int iy1 = std::min(h_ - 1, static_cast<int>(std::ceil(y1)) - 1);
    const int ix0 = std::max(0, static_cast<int>(std::floor(x0)));
    const int ix1 = std::min(w_ - 1, static_cast<int>(std::ceil(x1)) - 1);
    for (int y = iy0; y <= iy1; ++y) {
      const float cy = std::min(1.0f, std::min(y + 1 - y0, y1 - y));
      for (int x = ix0; x <= ix1; ++x) {
        const float cx = std::min(1.0f, std::min(x + 1 - x0, x1 - x));
        const float t = std::clamp(shade(x + 0.5f, y + 0.5f), 0.0f, 1.0f);
        Put(x, y, Lerp(a, b, t), alpha * cx * cy);
      }
    }
  }
  void Rect(float x0, float y0, float x1, float y1, Rgb c, float alpha = 1) {
    Rect(
        x0, y0, x1, y1, c, c, [](float, float) { return 0.0f; }, alpha);
  }

  // An ellipse with smoothed edge; shade(x, y) mixes colour a to b as for Rect.
  template <class Shade>
  void Ellipse(float cx, float cy, float rx, float ry, Rgb a, Rgb b, Shade shade, float alpha = 1) {
    const float r = std::min(rx, ry);
    Scan(cx - rx - 1, cy - ry - 1, cx + rx + 1, cy + ry + 1, [&](float x, float y) {
      const float dx = (x - cx) / rx;
      const float dy = (y - cy) / ry;
      const float cover = std::clamp((1.0f - std::sqrt(dx * dx + dy * dy)) * r + 0.5f, 0.0f, 1.0f);
      if (cover > 0)
        Put(static_cast<int>(x), static_cast<int>(y),
            Lerp(a, b, std::clamp(shade(x, y), 0.0f, 1.0f)), alpha * cover);
    });
  }
  void Ellipse(float cx, float cy, float rx, float ry, Rgb c, float alpha = 1) {
    Ellipse(
        cx, cy, rx, ry, c, c, [](float, float) { return 0.0f; }, alpha);
  }

  // Light fading from alpha at the centre to nothing at radius.
  void Glow(float cx, float cy, float radius, Rgb c, float alpha) {
    Scan(cx - radius, cy - radius, cx + radius, cy + radius, [&](float x, float y) {
      const float d = std::hypot(x - cx, y - cy) / radius;
      if (d < 1) Put(static_cast<int>(x), static_cast<int>(y), c, alpha * (1 - d) * (1 - d));
    });
  }

  // A convex polygon (points in order) with smoothed edges, shaded as for Rect.
  template <class Shade>
  void Convex(const std::vector<std::pair<float, float>>& pts, Rgb a, Rgb b, Shade shade) {
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    for (auto [x, y] : pts) {
      x0 = std::min(x0, x);
      y0 = std::min(y0, y);
      x1 = std::max(x1, x);
      y1 = std::max(y1, y);
    }
    // Orientation, so that "inside" is on the same side of every edge.
    float area = 0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
      const auto [ax, ay] = pts[i];
      const auto [bx, by] = pts[(i + 1) % pts.size()];
      area += ax * by - bx * ay;
    }
    const float sign = area > 0 ? 1.0f : -1.0f;
    Scan(x0 - 1, y0 - 1, x1 + 1, y1 + 1, [&](float x, float y) {
      float inside = 1e9f;
      for (std::size_t i = 0; i < pts.size(); ++i) {
        const auto [ax, ay] = pts[i];
        const auto [bx, by] = pts[(i + 1) % pts.size()];
        const float len = std::hypot(bx - ax, by - ay);
        if (len <= 0) continue;
        inside = std::min(inside, sign * ((bx - ax) * (y - ay) - (by - ay) * (x - ax)) / len);
      }
      const float cover = std::clamp(inside + 0.5f, 0.0f, 1.0f);
      if (cover > 0)
        Put(static_cast<int>(x), static_cast<int>(y),
            Lerp(a, b, std::clamp(shade(x, y), 0.0f, 1.0f)), cover);
    });
  }

  // Darkens towards the corners: nothing inside `inner` of the half diagonal, `strength` at it.
  void Vignette(float inner, float strength) {
    const float cx = w_ / 2.0f;
    const float cy = h_ / 2.0f;
    const float half = std::hypot(cx, cy);
    Scan(0, 0, static_cast<float>(w_), static_cast<float>(h_), [&](float x, float y) {
      const float d = (std::hypot(x - cx, y - cy) / half - inner) / (1 - inner);
      if (d > 0)
        Put(static_cast<int>(x), static_cast<int>(y), kBlack, strength * std::min(1.0f, d));
    });
  }

  // Later shapes only touch pixels inside this rectangle, until ResetClip.
  void Clip(float x0, float y0, float x1, float y1) {
    clipX0_ = x0;
    clipY0_ = y0;
    clipX1_ = x1;
    clipY1_ = y1;
  }
  void ResetClip() { Clip(-1e9f, -1e9f, 1e9f, 1e9f); }

  std::uint32_t* Pixels() { return px_; }

 private:
  static Rgb Lerp(Rgb a, Rgb b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
  }
  void Put(int x, int y, Rgb c, float alpha) {
    if (x + 0.5f < clipX0_ || x + 0.5f > clipX1_ || y + 0.5f < clipY0_ || y + 0.5f > clipY1_)
      return;
    std::uint32_t& p = px_[static_cast<std::ptrdiff_t>(y) * w_ + x];
    p = Mix(p, c.r, c.g, c.b, std::min(1.0f, alpha));
  }
  // Calls f with the centre of every pixel in the box (clipped to the picture).
  template <class F>
  void Scan(float x0, float y0, float x1, float y1, F f) {
    const int iy0 = std::max(0, static_cast<int>(std::floor(y0)));
    const int iy1 = std::min(h_ - 1, static_cast<int>(std::ceil(y1)));
    const int ix0 = std::max(0, static_cast<int>(std::floor(x0)));
    const int ix1 = std::min(w_ - 1, static_cast<int>(std::ceil(x1)));
    for (int y = iy0; y <= iy1; ++y)
      for (int x = ix0; x <= ix1; ++x) f(x + 0.5f, y + 0.5f);
  }

  std::uint32_t* px_;
  int w_;
  int h_;
  float clipX0_ = -1e9f, clipY0_ = -1e9f, clipX1_ = 1e9f, clipY1_ = 1e9f;
};

// The room and the person's body.
void PaintRoom(Canvas& c, float w, float h) {
  const float floorY = 0.72f * h;
  const float line = std::max(1.0f, w / 480);
  c.Rect(0, 0, w, floorY, {231, 217, 190}, {203, 180, 143},
         [&](float, float y) { return y / floorY; });

  // Wooden floor: boards running towards a vanishing point above the picture's centre.
  c.Rect(0, floorY, w, h, {140, 94, 56}, {104, 66, 38},
         [&](float, float y) { return (y - floorY) / (h - floorY); });
  const float vx = w / 2;
  const float vy = floorY - 0.9f * h;
  for (int i = -12; i <= 22; ++i) {
    // The board line from where it meets the floor's top edge down to below the picture.
    const float bx = w * static_cast<float>(i) / 10;
    const float by = h * 1.6f;
    const float t = (floorY - vy) / (by - vy);
    FillCapsule(c.Pixels(), static_cast<std::ptrdiff_t>(w), static_cast<int>(w),
                static_cast<int>(h), vx + (bx - vx) * t, floorY, bx, by, line * 0.5f, {82, 52, 30});
  }
  c.Rect(0, floorY - 0.012f * h, w, floorY + 0.004f * h, {236, 229, 214});

  // A frosty window on the left wall.
  const float gx0 = 0.07f * w, gy0 = 0.10f * h, gx1 = 0.33f * w, gy1 = 0.50f * h;
  c.Rect(gx0, gy0, gx1, gy1, {118, 170, 226}, {214, 234, 248},
         [&](float, float y) { return (y - gy0) / (gy1 - gy0); });
  const float gw = gx1 - gx0;
  const float gh = gy1 - gy0;
  // Snowy hills and frost in the corners, seen through the glass only.
  c.Clip(gx0, gy0, gx1, gy1);
  c.Ellipse(gx0 + gw * 0.3f, gy1 + gh * 0.05f, gw * 0.7f, gh * 0.25f, {236, 244, 250});
  c.Ellipse(gx1, gy1, gw * 0.6f, gh * 0.18f, {226, 238, 248});
  for (auto [fx, fy] :
       {std::pair{gx0, gy0}, std::pair{gx1, gy0}, std::pair{gx0, gy1}, std::pair{gx1, gy1}})
    c.Glow(fx, fy, gw * 0.45f, kWhite, 0.9f);
  c.ResetClip();
  const float bar = std::max(1.5f, 0.012f * w);
  const Rgb frame{246, 243, 236};
  c.Rect(gx0 - bar / 2, gy0 - bar / 2, gx1 + bar / 2, gy0 + bar / 2, frame);
  c.Rect(gx0 - bar / 2, gy1 - bar / 2, gx1 + bar / 2, gy1 + bar / 2, frame);
  c.Rect(gx0 - bar / 2, gy0 - bar / 2, gx0 + bar / 2, gy1 + bar / 2, frame);
  c.Rect(gx1 - bar / 2, gy0 - bar / 2, gx1 + bar / 2, gy1 + bar / 2, frame);
  c.Rect((gx0 + gx1) / 2 - bar / 2, gy0, (gx0 + gx1) / 2 + bar / 2, gy1, frame);
  c.Rect(gx0, (gy0 + gy1) / 2 - bar / 2, gx1, (gy0 + gy1) / 2 + bar / 2, frame);
  c.Rect(gx0 - bar * 1.5f, gy1 + bar / 2, gx1 + bar * 1.5f, gy1 + bar * 2, {236, 229, 214});

  // A bookshelf on the right with books of varied heights and colours (fixed sequence).
  const float sx0 = 0.74f * w, sy0 = 0.16f * h, sx1 = 0.96f * w, sy1 = floorY + 0.02f * h;
  c.Rect(sx0, sy0, sx1, sy1, {92, 58, 36});
  const float ix0 = sx0 + 0.012f * w, iy0 = sy0 + 0.012f * w, ix1 = sx1 - 0.012f * w;
  c.Rect(ix0, iy0, ix1, sy1, {64, 40, 25});
  const Rgb books[] = {{170, 57, 57},  {62, 104, 160},  {221, 180, 80}, {72, 132, 90},
                       {150, 90, 150}, {230, 225, 210}, {90, 160, 170}};
  std::uint32_t seed = 12345;
  auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (int s = 0; s < 3; ++s) {
    const float bottom = iy0 + (sy1 - iy0) * static_cast<float>(s + 1) / 3;
    const float room = (sy1 - iy0) / 3 - 0.015f * h;
    float x = ix0 + 0.004f * w;
    while (true) {
      const float bw = w * (0.010f + static_cast<float>(next() % 100) / 100.0f * 0.012f);
      if (x + bw > ix1 - 0.004f * w) break;
      const float bh = room * (0.62f + static_cast<float>(next() % 100) / 100.0f * 0.33f);
      c.Rect(x, bottom - bh, x + bw, bottom, books[next() % 7]);
      x += bw + w * 0.0015f;
    }
    c.Rect(sx0, bottom - 0.004f * h, sx1, bottom + 0.010f * h, {112, 72, 44});
  }

  // A floor lamp with a warm glow.
  const float lx = 0.665f * w, ly = 0.24f * h;
  c.Glow(lx, ly, 0.17f * w, {255, 236, 170}, 0.6f);
  c.Rect(lx - 0.003f * w, ly, lx + 0.003f * w, floorY + 0.06f * h, {60, 60, 60});
  c.Convex({{lx - 0.025f * w, ly - 0.07f * h},
            {lx + 0.025f * w, ly - 0.07f * h},
            {lx + 0.045f * w, ly + 0.01f * h},
            {lx - 0.045f * w, ly + 0.01f * h}},
           {250, 234, 190}, {238, 214, 160},
           [&](float, float y) { return (y - ly + 0.07f * h) / (0.08f * h); });

  // A rug under the person.
  c.Ellipse(0.5f * w, 0.90f * h, 0.34f * w, 0.09f * h, {142, 59, 70});
  c.Ellipse(0.5f * w, 0.90f * h, 0.29f * w, 0.065f * h, {170, 84, 92});

  // The person: a red jumper, neck, head with hair and a smile.
  const auto jumper = [&](float x, float) { return std::fabs(x - 0.47f * w) / (0.2f * w); };
  c.Convex({{0.33f * w, h * 1.02f},
            {0.345f * w, 0.64f * h},
            {0.37f * w, 0.56f * h},
            {0.42f * w, 0.535f * h},
            {0.58f * w, 0.535f * h},
            {0.63f * w, 0.56f * h},
            {0.655f * w, 0.64f * h},
            {0.67f * w, h * 1.02f}},
           {196, 72, 58}, {140, 42, 36}, jumper);
  c.Rect(0.478f * w, 0.45f * h, 0.522f * w, 0.545f * h, {222, 170, 132});
  c.Ellipse(0.5f * w, 0.54f * h, 0.045f * w, 0.018f * h, {160, 50, 42});
  c.Ellipse(0.441f * w, 0.41f * h, 0.011f * w, 0.022f * h, {226, 176, 138});
  c.Ellipse(0.559f * w, 0.41f * h, 0.011f * w, 0.022f * h, {226, 176, 138});
  c.Ellipse(0.5f * w, 0.365f * h, 0.066f * w, 0.085f * h, kHair);
  c.Ellipse(
      0.5f * w, 0.415f * h, 0.057f * w, 0.078f * h, {244, 200, 164}, {222, 168, 130},
      [&](float x, float y) { return std::hypot(x - 0.49f * w, y - 0.39f * h) / (0.075f * w); });
  // The fringe: the hair's lower edge, a band of ellipses over the forehead.
  c.Ellipse(0.5f * w, 0.335f * h, 0.058f * w, 0.03f * h, kHair);
  c.Ellipse(0.47f * w, 0.35f * h, 0.03f * w, 0.02f * h, kHair);
  c.Ellipse(0.53f * w, 0.35f * h, 0.03f * w, 0.02f * h, kHair);
  c.Ellipse(0.479f * w, 0.405f * h, 0.0055f * w, 0.0075f * w, {50, 34, 28});
  c.Ellipse(0.521f * w, 0.405f * h, 0.0055f * w, 0.0075f * w, {50, 34, 28});
  c.Ellipse(0.468f * w, 0.437f * h, 0.011f * w, 0.008f * w, {232, 140, 130}, 0.45f);
  c.Ellipse(0.532f * w, 0.437f * h, 0.011f * w, 0.008f * w, {232, 140, 130}, 0.45f);
  // The smile: short strokes along the lower half of an ellipse.
  const float mx = 0.5f * w, my = 0.44f * h, mrx = 0.02f * w, mry = 0.015f * h;
  for (int i = 0; i < 8; ++i) {
    const float a0 = 0.35f + 2.44f * static_cast<float>(i) / 8;
    const float a1 = 0.35f + 2.44f * static_cast<float>(i + 1) / 8;
    FillCapsule(c.Pixels(), static_cast<std::ptrdiff_t>(w), static_cast<int>(w),
                static_cast<int>(h), mx + std::cos(a0) * mrx, my + std::sin(a0) * mry,
                mx + std::cos(a1) * mrx, my + std::sin(a1) * mry, std::max(0.6f, 0.002f * w),
                {150, 70, 62});
  }

  // Soft vignette, as small camera lenses give.
  c.Vignette(0.6f, 0.35f);
}

}  // namespace

void DemoScene::DrawBackground(int width, int height) {
  background_.assign(static_cast<std::size_t>(width) * height, 0xFF000000u);
  Canvas canvas(background_.data(), width, height);
  PaintRoom(canvas, static_cast<float>(width), static_cast<float>(height));
  backgroundWidth_ = width;
  backgroundHeight_ = height;
}

void TestPattern::RenderRows(std::int64_t frameNumber, int width, int height, std::uint32_t* pixels,
                             std::ptrdiff_t stride) {
  static constexpr std::uint32_t kBars[] = {0xFFBFBFBF, 0xFFBFBF00, 0xFF00BFBF, 0xFF00BF00,
                                            0xFFBF00BF, 0xFFBF0000, 0xFF0000BF};
  const int cellHeight = std::max(1, height / 12);
  for (int y = 0; y < height; ++y) {
    std::uint32_t* row = pixels + y * stride;
    for (int x = 0; x < width; ++x) {
      if (y < cellHeight) {
        const int bit = 15 - x * 16 / width;
        row[x] = (frameNumber >> bit) & 1 ? 0xFFFFFFFF : 0xFF101010;
      } else if (y >= height - cellHeight) {
        const int cell = x * 16 / width;
        row[x] = cell == frameNumber % 16 ? 0xFFFFFFFF : 0xFF202020;
      } else {
        row[x] = kBars[x * 7 / width];
      }
    }
  }
}

std::unique_ptr<FrameGenerator> MakeFrameGenerator(std::string_view scene) {
  if (scene == "demo") return std::make_unique<DemoScene>();
  if (scene == "touch") return std::make_unique<TouchScene>();
  return std::make_unique<TestPattern>();
}
