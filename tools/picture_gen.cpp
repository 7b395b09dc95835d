// picture_gen: renders Frostwipe's built-in picture set.
//
//   picture_gen [--ppm <preview-dir>] <output-dir>
//
// Writes eight summer scenes (ID_SUMMER_00n.dib) and their frosted twins
// (ID_SUMMER_00n_ICE.dib) as 320x240, 24-bit, bottom-up DIBs without the
// BITMAPFILEHEADER. With --ppm, each picture is also written as a top-down
// binary PPM for previewing.
//
// Output is deterministic: a fixed-seed PCG32 drives all random detail, and
// trigonometry uses a local polynomial sine, so only IEEE arithmetic, floor
// and sqrt (all exactly rounded) are involved. Targets that fuse multiply-adds
// by default (e.g. GCC on AArch64) need -ffp-contract=off for identical bytes.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int W = 320;
constexpr int H = 240;
constexpr double PI = 3.14159265358979323846;

// ---------------------------------------------------------------- basics

struct Col {
  double r, g, b;
};

Col rgb(int r, int g, int b) {
  return {double(r), double(g), double(b)};
}
Col mix(Col a, Col b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
Col scale(Col a, double k) {
  return {a.r * k, a.g * k, a.b * k};
}
Col add(Col a, double v) {
  return {a.r + v, a.g + v, a.b + v};
}
const Col WHITE = {255, 255, 255};

double clamp01(double v) {
  return v < 0 ? 0 : (v > 1 ? 1 : v);
}
double smooth(double e0, double e1, double x) {
  double t = clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

// Sine by range reduction and a Taylor polynomial; accurate to ~1e-6, which
// is plenty for drawing and keeps results independent of the C library.
double fsin(double x) {
  x -= 2 * PI * std::floor(x / (2 * PI) + 0.5);
  if (x > PI / 2) x = PI - x;
  if (x < -PI / 2) x = -PI - x;
  double x2 = x * x;
  return x * (1 - x2 / 6 * (1 - x2 / 20 * (1 - x2 / 42 * (1 - x2 / 72 * (1 - x2 / 110)))));
}
double fcos(double x) {
  return fsin(x + PI / 2);
}

// PCG32 (XSH-RR).
struct Rng {
  uint64_t state;
  explicit Rng(uint64_t seed) : state(seed * 2862933555777941757ULL + 3037000493ULL) { next(); }
  uint32_t next() {
    uint64_t old = state;
    state = old * 6364136223846793005ULL + 1442695040888963407ULL;
    auto xs = uint32_t(((old >> 18) ^ old) >> 27);
    auto rot = uint32_t(old >> 59);
    return (xs >> rot) | (xs << ((32 - rot) & 31));
  }
  double uni() { return next() / 4294967296.0; }
  double range(double a, double b) { return a + (b - a) * uni(); }
  int pick(int n) { return int(next() % uint32_t(n)); }
};

uint32_t hash2(int x, int y, uint32_t seed) {
  uint32_t h = seed * 0x9E3779B1u ^ uint32_t(x) * 0x85EBCA77u ^ uint32_t(y) * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

// Smooth value noise in [0,1].
double vnoise(double x, double y, uint32_t seed) {
  double fx = std::floor(x), fy = std::floor(y);
  int ix = int(fx), iy = int(fy);
  double tx = x - fx, ty = y - fy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  auto v = [&](int dx, int dy) { return hash2(ix + dx, iy + dy, seed) / 4294967295.0; };
  double a = v(0, 0) + (v(1, 0) - v(0, 0)) * tx;
  double b = v(0, 1) + (v(1, 1) - v(0, 1)) * tx;
  return a + (b - a) * ty;
}

double fbm(double x, double y, uint32_t seed, int octaves = 4) {
  double sum = 0, amp = 0.5, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * vnoise(x, y, seed + uint32_t(o) * 101u);
    norm += amp;
    x *= 2.03;
    y *= 2.03;
    amp *= 0.5;
  }
  return sum / norm;
}

// ---------------------------------------------------------------- canvas

struct Canvas {
  std::vector<Col> p = std::vector<Col>(W * H, Col{0, 0, 0});
  Col& at(int x, int y) { return p[size_t(y) * W + size_t(x)]; }
  Col get(int x, int y) const {
    x = std::clamp(x, 0, W - 1);
    y = std::clamp(y, 0, H - 1);
    return p[size_t(y) * W + size_t(x)];
  }
  void blend(int x, int y, Col c, double a) {
    if (x < 0 || y < 0 || x >= W || y >= H || a <= 0) return;
    Col& d = at(x, y);
    d = mix(d, c, a > 1 ? 1 : a);
  }
};

struct Pt {
  double x, y;
};

void vgradient(Canvas& c, int y0, int y1, Col top, Col bottom) {
  for (int y = std::max(0, y0); y < std::min(H, y1); ++y) {
    Col k = mix(top, bottom, double(y - y0) / std::max(1, y1 - y0 - 1));
    for (int x = 0; x < W; ++x) c.at(x, y) = k;
  }
}

// Core rasteriser: 4x4 supersampled coverage of an arbitrary shape, coloured
// by a function evaluated at the pixel centre.
template <class In, class Cf>
void fillFn(Canvas& cv, double x0, double y0, double x1, double y1, In inside, Cf color,
            double alpha = 1.0) {
  int ix0 = std::max(0, int(std::floor(x0))), iy0 = std::max(0, int(std::floor(y0)));
  int ix1 = std::min(W - 1, int(std::floor(x1))), iy1 = std::min(H - 1, int(std::floor(y1)));
  for (int y = iy0; y <= iy1; ++y)
    for (int x = ix0; x <= ix1; ++x) {
      int n = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx)
          if (inside(x + (sx + 0.5) * 0.25, y + (sy + 0.5) * 0.25)) ++n;
      if (n) cv.blend(x, y, color(x + 0.5, y + 0.5), alpha * n / 16.0);
    }
}

auto solid(Col k) {
  return [k](double, double) { return k; };
}

bool inPoly(const std::vector<Pt>& p, double x, double y) {
  bool in = false;
  for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++)
    if ((p[i].y > y) != (p[j].y > y) &&
        x < (p[j].x - p[i].x) * (y - p[i].y) / (p[j].y - p[i].y) + p[i].x)
      in = !in;
  return in;
}

template <class Cf>
void polygonFn(Canvas& c, const std::vector<Pt>& pts, Cf color, double a = 1) {
  double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
  for (const Pt& q : pts) {
    x0 = std::min(x0, q.x), y0 = std::min(y0, q.y);
    x1 = std::max(x1, q.x), y1 = std::max(y1, q.y);
  }
  fillFn(
      c, x0 - 1, y0 - 1, x1 + 1, y1 + 1, [&](double x, double y) { return inPoly(pts, x, y); },
      color, a);
}
void polygon(Canvas& c, const std::vector<Pt>& pts, Col k, double a = 1) {
  polygonFn(c, pts, solid(k), a);
}

void rect(Canvas& c, double x0, double y0, double x1, double y1, Col k, double a = 1) {
  polygon(c, {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, k, a);
}

template <class Cf>
void ellipseFn(Canvas& c, double cx, double cy, double rx, double ry, Cf color, double a = 1,
               double rot = 0) {
  double cs = fcos(rot), sn = fsin(rot), R = std::max(rx, ry);
  fillFn(
      c, cx - R - 1, cy - R - 1, cx + R + 1, cy + R + 1,
      [=](double x, double y) {
        double dx = x - cx, dy = y - cy, u = dx * cs + dy * sn, v = -dx * sn + dy * cs;
        return u * u / (rx * rx) + v * v / (ry * ry) <= 1;
      },
      color, a);
}
void ellipse(Canvas& c, double cx, double cy, double rx, double ry, Col k, double a = 1,
             double rot = 0) {
  ellipseFn(c, cx, cy, rx, ry, solid(k), a, rot);
}
void circle(Canvas& c, double cx, double cy, double r, Col k, double a = 1) {
  ellipse(c, cx, cy, r, r, k, a);
}

// Rounded, lit-from-top-left body (fruit, balls, beetles).
void ball(Canvas& c, double cx, double cy, double rx, double ry, Col k) {
  ellipseFn(c, cx, cy, rx, ry, [=](double x, double y) {
    double dx = (x - cx + rx * 0.35) / rx, dy = (y - cy + ry * 0.35) / ry;
    double t = clamp01(std::sqrt(dx * dx + dy * dy) / 1.6);
    return t < 0.18 ? mix(WHITE, k, 0.35 + t * 3) : mix(k, scale(k, 0.62), t);
  });
}

void line(Canvas& c, double x0, double y0, double x1, double y1, double w, Col k, double a = 1) {
  double dx = x1 - x0, dy = y1 - y0, len2 = std::max(1e-9, dx * dx + dy * dy), hw = w / 2;
  fillFn(
      c, std::min(x0, x1) - hw - 1, std::min(y0, y1) - hw - 1, std::max(x0, x1) + hw + 1,
      std::max(y0, y1) + hw + 1,
      [=](double x, double y) {
        double t = std::clamp(((x - x0) * dx + (y - y0) * dy) / len2, 0.0, 1.0);
        double ex = x - x0 - t * dx, ey = y - y0 - t * dy;
        return ex * ex + ey * ey <= hw * hw;
      },
      solid(k), a);
}

void glow(Canvas& c, double cx, double cy, double r, Col k, double strength) {
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      double dx = (x + 0.5 - cx) / r, dy = (y + 0.5 - cy) / r;
      c.blend(x, y, k, strength / (1 + dx * dx + dy * dy));
    }
}

// Region below a horizon curve, graded top to bottom with a grainy texture.
template <class Curve>
void hill(Canvas& c, Curve curve, Col top, Col bottom, uint32_t seed, double tex = 0.12) {
  double ymin = H;
  for (int x = 0; x <= W; ++x) ymin = std::min(ymin, curve(double(x)));
  fillFn(
      c, 0, ymin - 1, W, H, [&](double x, double y) { return y >= curve(x); },
      [&](double x, double y) {
        Col k = mix(top, bottom, clamp01((y - ymin) / (H - ymin)));
        return scale(k, 1 - tex / 2 + tex * fbm(x * 0.09, y * 0.18, seed, 3));
      });
}

// ---------------------------------------------------------------- motifs

void sun(Canvas& c, double cx, double cy, double r) {
  glow(c, cx, cy, r * 2.2, rgb(255, 248, 205), 0.55);
  for (int i = 0; i < 12; ++i) {
    double a = i * PI / 6 + 0.13, w = 0.13;
    polygon(c,
            {{cx + fcos(a - w) * r * 1.15, cy + fsin(a - w) * r * 1.15},
             {cx + fcos(a) * r * 1.75, cy + fsin(a) * r * 1.75},
             {cx + fcos(a + w) * r * 1.15, cy + fsin(a + w) * r * 1.15}},
            rgb(255, 225, 90), 0.8);
  }
  ellipseFn(c, cx, cy, r, r, [=](double x, double y) {
    double d = std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) / r;
    return mix(rgb(255, 252, 190), rgb(255, 200, 40), d * d);
  });
}

void cloud(Canvas& c, double cx, double cy, double s) {
  static const double puffs[][3] = {{-1.05, 0.12, 0.5}, {-0.5, -0.22, 0.68}, {0.15, -0.38, 0.8},
                                    {0.8, -0.08, 0.62}, {1.25, 0.16, 0.44},  {0.1, 0.1, 0.7}};
  auto inside = [&](double x, double y) {
    if (y > cy + s * 0.45) return false;
    for (const auto& p : puffs) {
      double dx = x - cx - p[0] * s, dy = y - cy - p[1] * s;
      if (dx * dx + dy * dy <= p[2] * p[2] * s * s) return true;
    }
    return false;
  };
  fillFn(
      c, cx - 1.6 * s, cy - 1.3 * s, cx + 1.8 * s, cy + 0.6 * s, inside,
      [=](double, double y) {
        return mix(WHITE, rgb(205, 220, 240), smooth(cy - 0.5 * s, cy + 0.5 * s, y));
      },
      0.97);
}

void flower(Canvas& c, double x, double y, double r, Col petal, Col centre, int n = 6) {
  if (r < 1.6) {
    circle(c, x, y, std::max(0.8, r), petal);
    return;
  }
  for (int i = 0; i < n; ++i) {
    double a = i * 2 * PI / n + r;
    ellipse(c, x + fcos(a) * r * 0.62, y + fsin(a) * r * 0.62, r * 0.55, r * 0.3, petal, 1, a);
  }
  ball(c, x, y, r * 0.38, r * 0.38, centre);
}

void butterfly(Canvas& c, double x, double y, double s, Col w1, Col w2) {
  for (int side = -1; side <= 1; side += 2) {
    ellipse(c, x + side * s * 0.75, y - s * 0.45, s * 0.85, s * 0.6, w1, 1, side * 0.5);
    ellipse(c, x + side * s * 0.6, y + s * 0.5, s * 0.55, s * 0.42, w2, 1, -side * 0.6);
    circle(c, x + side * s * 0.9, y - s * 0.55, s * 0.22, WHITE);
    line(c, x, y - s * 0.7, x + side * s * 0.5, y - s * 1.5, std::max(0.5, s * 0.08),
         rgb(70, 45, 40));
  }
  ellipse(c, x, y, s * 0.16, s * 0.75, rgb(80, 50, 40));
}

// Ladybird facing up; spot centres become pure black pixels.
void ladybird(std::vector<std::pair<int, int>>& blacks, Canvas& c, int ix, int iy, double s,
              int spots) {
  double x = ix + 0.5, y = iy + 0.5;
  for (int k = -1; k <= 1; ++k)
    for (int side = -1; side <= 1; side += 2)
      line(c, x, y + k * s * 0.45, x + side * s * 1.2, y + k * s * 0.6, 0.8, rgb(40, 30, 30));
  ellipse(c, x, y - s * 0.85, s * 0.5, s * 0.4, rgb(35, 30, 32));
  circle(c, x - s * 0.22, y - s * 0.95, s * 0.13, WHITE);
  circle(c, x + s * 0.22, y - s * 0.95, s * 0.13, WHITE);
  ball(c, x, y, s, s * 0.88, rgb(225, 35, 30));
  line(c, x, y - s * 0.8, x, y + s * 0.86, 0.7, rgb(70, 15, 15));
  static const Pt off[] = {{-0.5, -0.38}, {0.5, -0.38},  {-0.55, 0.3},
                           {0.55, 0.3},   {-0.22, 0.66}, {0.22, 0.66}};
  for (int i = 0; i < spots; ++i) {
    int px = ix + int(std::floor(off[i].x * s + 0.5)),
        py = iy + int(std::floor(off[i].y * s + 0.5));
    circle(c, px + 0.5, py + 0.5, std::max(1.1, s * 0.2), rgb(30, 22, 22));
    blacks.push_back({px, py});
  }
}

void roundTree(Canvas& c, double x, double base, double s, uint32_t seed,
               Col leaf = rgb(70, 160, 60)) {
  polygon(c,
          {{x - s * 0.12, base},
           {x + s * 0.12, base},
           {x + s * 0.08, base - s * 1.1},
           {x - s * 0.08, base - s * 1.1}},
          rgb(120, 80, 45));
  Rng r(seed);
  double cy = base - s * 1.45;
  for (int i = 0; i < 7; ++i) {
    double a = i * 2 * PI / 7 + r.range(0, 0.6), d = i == 6 ? 0 : s * 0.45;
    double px = x + fcos(a) * d, py = cy + fsin(a) * d * 0.8, pr = s * r.range(0.45, 0.6);
    ellipseFn(c, px, py, pr, pr, [=](double qx, double qy) {
      double t = clamp01(((qx - x) + (qy - cy)) / (s * 2.4) + 0.5);
      Col k = mix(mix(leaf, rgb(190, 230, 110), 0.45), scale(leaf, 0.65), t);
      return scale(k, 0.9 + 0.2 * vnoise(qx * 0.5, qy * 0.5, seed));
    });
  }
}

void pine(Canvas& c, double x, double base, double h, Col k = rgb(35, 110, 60)) {
  rect(c, x - h * 0.05, base - h * 0.2, x + h * 0.05, base, rgb(100, 65, 40));
  for (int i = 0; i < 3; ++i) {
    double top = base - h * (1.0 - i * 0.18), bot = base - h * (0.45 - i * 0.15),
           w = h * (0.22 + i * 0.07);
    polygon(c, {{x, top}, {x + w, bot}, {x - w, bot}}, k);
    polygon(c, {{x, top}, {x - w, bot}, {x - w * 0.3, bot}}, mix(k, rgb(120, 190, 90), 0.35));
  }
}

void sailboat(Canvas& c, double x, double wl, double s, Col sail, Col hull, double sgn = -1,
              double a = 1) {
  auto Y = [=](double d) { return wl + sgn * d; };
  polygon(
      c,
      {{x - s, Y(s * 0.32)}, {x + s * 1.1, Y(s * 0.32)}, {x + s * 0.75, Y(0)}, {x - s * 0.7, Y(0)}},
      hull, a);
  line(c, x, Y(s * 0.3), x, Y(s * 2.4), std::max(0.6, s * 0.07), rgb(120, 80, 50), a);
  polygon(c, {{x + s * 0.1, Y(s * 2.3)}, {x + s * 0.1, Y(s * 0.45)}, {x + s * 1.0, Y(s * 0.45)}},
          sail, a);
  polygon(c, {{x - s * 0.1, Y(s * 2.0)}, {x - s * 0.1, Y(s * 0.45)}, {x - s * 0.75, Y(s * 0.45)}},
          mix(sail, WHITE, 0.5), a);
}

void grassBlades(Canvas& c, Rng& r, int n, double y0, double y1, Col base) {
  for (int i = 0; i < n; ++i) {
    double y = y0 + (y1 - y0) * (i + r.uni()) / n, x = r.range(-2, W + 2);
    double h = 3 + (y - y0) / (y1 - y0) * 9 * r.range(0.6, 1.2), lean = r.range(-3, 3);
    polygon(c, {{x - 0.8, y}, {x + 0.8, y}, {x + lean, y - h}}, scale(base, r.range(0.75, 1.3)));
  }
}

// ---------------------------------------------------------------- scenes

struct Scene {
  Canvas c;
  Rng rng;
  std::vector<std::pair<int, int>> blacks;
  explicit Scene(uint64_t seed) : rng(seed) {}
};

const Col BLOOMS[] = {rgb(235, 55, 70),   rgb(255, 140, 195), rgb(255, 215, 40), rgb(250, 250, 250),
                      rgb(170, 100, 235), rgb(255, 145, 40),  rgb(90, 150, 255)};

Scene meadow() {
  Scene s(101);
  Canvas& c = s.c;
  Rng& r = s.rng;
  vgradient(c, 0, 180, rgb(55, 135, 230), rgb(185, 225, 252));
  sun(c, 262, 46, 19);
  cloud(c, 72, 44, 24);
  cloud(c, 178, 74, 15);
  auto far = [](double x) { return 128 + 7 * fsin(x * 0.021 + 1.0) + 3 * fsin(x * 0.05); };
  hill(c, far, rgb(150, 205, 150), rgb(120, 185, 115), 11, 0.10);
  for (int i = 0; i < 6; ++i) {
    double x = 20 + i * 58 + r.range(-12, 12);
    roundTree(c, x, far(x) + 4, 6.5, 500 + i);
  }
  auto mid = [](double x) { return 150 + 9 * fsin(x * 0.016 + 2.4) + 2 * fsin(x * 0.07); };
  hill(c, mid, rgb(135, 210, 85), rgb(100, 185, 60), 12, 0.12);
  auto front = [](double x) { return 174 + 6 * fsin(x * 0.024 + 0.3); };
  hill(c, front, rgb(110, 200, 65), rgb(60, 155, 42), 13, 0.18);
  grassBlades(c, r, 420, 176, 242, rgb(70, 165, 50));
  const int N = 120;
  for (int i = 0; i < N; ++i) {
    double t = (i + r.uni()) / N, y = 156 + t * 84, x = r.range(0, W), sz = 0.9 + t * t * 7;
    if (y < mid(x) + 3) continue;
    if (sz > 2)
      line(c, x, y, x + r.range(-1, 1), y + sz * 2.2, std::max(0.8, sz * 0.15), rgb(50, 130, 40));
    flower(c, x, y, sz, BLOOMS[r.pick(7)], rgb(255, 200, 40), 5 + r.pick(3));
  }
  ellipse(c, 255, 214, 16, 7, rgb(80, 175, 55), 1, -0.35);
  line(c, 241, 219, 269, 209, 0.8, rgb(50, 120, 40));
  ladybird(s.blacks, c, 254, 211, 6.5, 6);
  butterfly(c, 122, 112, 7, rgb(255, 150, 30), rgb(255, 215, 60));
  butterfly(c, 215, 150, 6, rgb(60, 140, 255), rgb(140, 200, 255));
  butterfly(c, 42, 138, 5, rgb(240, 90, 180), rgb(180, 110, 240));
  return s;
}

Scene lake() {
  Scene s(202);
  Canvas& c = s.c;
  Rng& r = s.rng;
  const int shore = 128;
  vgradient(c, 0, shore, rgb(60, 140, 232), rgb(195, 228, 252));
  sun(c, 68, 42, 17);
  cloud(c, 190, 34, 21);
  cloud(c, 288, 66, 13);
  polygon(c,
          {{0, 130},
           {0, 96},
           {38, 74},
           {70, 90},
           {118, 58},
           {160, 88},
           {198, 76},
           {236, 98},
           {278, 64},
           {320, 88},
           {320, 130}},
          rgb(140, 150, 210));
  for (Pt p : {Pt{38, 74}, Pt{118, 58}, Pt{198, 76}, Pt{278, 64}})
    polygon(c,
            {{p.x, p.y},
             {p.x + 11, p.y + 8},
             {p.x + 4, p.y + 6},
             {p.x - 2, p.y + 10},
             {p.x - 9, p.y + 7}},
            rgb(245, 248, 255));
  auto ridge = [](double x) { return 112 + 5 * fsin(x * 0.03 + 0.5) + 2 * fsin(x * 0.11); };
  hill(c, ridge, rgb(70, 150, 80), rgb(50, 125, 65), 21, 0.16);
  for (int i = 0; i < 34; ++i) {
    double x = i * 9.7 + r.range(-3, 3);
    pine(c, x, ridge(x) + 8, r.range(12, 19), rgb(40, 115, 65));
  }
  rect(c, 0, shore - 2, W, shore, rgb(60, 120, 70));
  // Water: mirrored landscape, rippled and tinted.
  Canvas above = c;
  for (int y = shore; y < H; ++y) {
    double t = double(y - shore) / (H - shore);
    Col water = mix(rgb(95, 170, 225), rgb(35, 110, 190), t);
    for (int x = 0; x < W; ++x) {
      double wob = 2.2 * fsin(y * 0.9 + x * 0.05) * (0.3 + t);
      int sy = 2 * shore - y + int(std::floor(fsin(x * 0.12 + y * 0.7) * 1.5 * t));
      Col refl = above.get(int(x + wob), std::max(0, sy));
      Col k = mix(water, refl, 0.55 * clamp01(1 - t * 1.6));
      double ripple = vnoise(x * 0.08, y * 0.9, 23);
      if (ripple > 0.8) k = mix(k, WHITE, (ripple - 0.8) * 1.8);
      c.at(x, y) = k;
    }
  }
  for (int i = 0; i < 50; ++i) {
    double y = r.range(shore + 4, 200), x = 68 + r.range(-18, 18) * (1 + (y - shore) / 40);
    line(c, x - 2, y, x + 2, y, 0.8, rgb(255, 250, 220), 0.8);
  }
  sailboat(c, 150, 158, 9, rgb(235, 60, 55), rgb(250, 250, 245), 1, 0.3);
  sailboat(c, 150, 158, 9, rgb(235, 60, 55), rgb(250, 250, 245));
  sailboat(c, 252, 146, 6, rgb(255, 210, 50), rgb(150, 90, 60), 1, 0.3);
  sailboat(c, 252, 146, 6, rgb(255, 210, 50), rgb(150, 90, 60));
  sailboat(c, 40, 142, 4, rgb(250, 250, 250), rgb(60, 110, 200), 1, 0.3);
  sailboat(c, 40, 142, 4, rgb(250, 250, 250), rgb(60, 110, 200));
  // Ducks: mother and three ducklings.
  for (int i = 0; i < 4; ++i) {
    double x = 205 + i * 14 + (i ? 6 : 0), y = 190 + i * 2, k = i ? 0.6 : 1.0;
    ellipse(c, x, y + 4 * k, 9 * k, 2 * k, rgb(150, 200, 240), 0.7);
    ellipse(c, x, y, 8 * k, 4.5 * k, i ? rgb(255, 220, 60) : rgb(240, 240, 235));
    circle(c, x - 6 * k, y - 5 * k, 3.4 * k, i ? rgb(255, 225, 70) : rgb(70, 150, 90));
    polygon(c, {{x - 9 * k, y - 6 * k}, {x - 13 * k, y - 4.5 * k}, {x - 9 * k, y - 3.5 * k}},
            rgb(255, 150, 30));
    circle(c, x - 7 * k, y - 5.8 * k, 0.8, rgb(30, 30, 45));
  }
  auto bank = [](double x) { return 212 + 6 * fsin(x * 0.03 + 2) + 3 * fsin(x * 0.09); };
  hill(c, bank, rgb(110, 195, 70), rgb(70, 160, 45), 24, 0.2);
  grassBlades(c, r, 200, 212, 242, rgb(80, 170, 55));
  for (int i = 0; i < 12; ++i) {
    double x = 8 + i * 9 + r.range(-3, 3), top = r.range(180, 196);
    line(c, x, bank(x) + 4, x + 1, top, 1, rgb(70, 140, 50));
    ellipse(c, x + 1, top + 5, 1.8, 5, rgb(130, 80, 45));
  }
  for (int i = 0; i < 14; ++i)
    flower(c, r.range(130, 315), r.range(222, 238), r.range(2.2, 3.8), BLOOMS[r.pick(7)],
           rgb(255, 200, 40));
  return s;
}

// Umbrella/ball stripes: horizontal position normalised across the dome at
// the sample's height, which gives convincing curved segment lines.
double domeParam(double dx, double dy, double rx, double ry) {
  double q = 1 - (dy * dy) / (ry * ry);
  return q <= 0 ? 0 : dx / (rx * std::sqrt(q));
}

Scene beach() {
  Scene s(303);
  Canvas& c = s.c;
  Rng& r = s.rng;
  vgradient(c, 0, 108, rgb(40, 135, 235), rgb(175, 225, 252));
  sun(c, 58, 38, 18);
  cloud(c, 168, 34, 19);
  cloud(c, 278, 62, 13);
  for (int i = 0; i < 3; ++i) {
    double x = 200 + i * 17, y = 72 + (i % 2) * 9;
    line(c, x - 5, y - 2, x, y + 1, 1, rgb(90, 95, 110));
    line(c, x, y + 1, x + 5, y - 2, 1, rgb(90, 95, 110));
  }
  const int horizon = 106;
  auto shoreY = [](double x) { return 160 + 6 * fsin(x * 0.028 + 1.0); };
  for (int y = horizon; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      double t = clamp01((y - horizon) / (shoreY(x) - horizon));
      Col k = mix(rgb(25, 105, 200), rgb(60, 205, 210), t);
      double w = vnoise(x * 0.06, y * 0.7, 31);
      if (w > 0.7) k = mix(k, WHITE, (w - 0.7) * 1.5);
      c.at(x, y) = k;
    }
  polygon(c, {{0, horizon}, {0, 98}, {14, 94}, {30, 96}, {46, horizon}}, rgb(80, 160, 90));
  sailboat(c, 240, horizon + 1, 5, rgb(255, 90, 60), rgb(250, 250, 250));
  hill(
      c, [&](double x) { return shoreY(x) - 3; }, rgb(250, 252, 255), rgb(250, 252, 255), 32, 0.04);
  hill(c, shoreY, rgb(215, 185, 130), rgb(220, 190, 135), 33, 0.1);
  hill(
      c, [&](double x) { return shoreY(x) + 7; }, rgb(245, 222, 165), rgb(236, 205, 145), 34, 0.1);
  for (int i = 0; i < 900; ++i)
    c.blend(r.pick(W), int(r.range(172, H)),
            r.uni() < 0.5 ? rgb(255, 240, 200) : rgb(200, 165, 110), 0.6);
  // Palm tree.
  std::vector<Pt> trunk;
  for (int i = 0; i <= 10; ++i) {
    double t = i / 10.0;
    trunk.push_back({285 - 30 * t * t, 215 - 120 * t});
  }
  for (int i = 0; i < 10; ++i)
    line(c, trunk[i].x, trunk[i].y, trunk[i + 1].x, trunk[i + 1].y, 9 - i * 0.4,
         i % 2 ? rgb(150, 100, 55) : rgb(175, 120, 70));
  Pt top = trunk.back();
  for (int i = 0; i < 7; ++i) {
    double a = -PI + i * PI / 6 + 0.1, L = 46;
    std::vector<Pt> side1, side2, rib;
    for (int k = 0; k <= 40; ++k) {
      double t = k / 40.0, x = top.x + fcos(a) * L * t,
             y = top.y + fsin(a) * L * t * 0.6 + 34 * t * t;
      double hw = 7 * fsin(PI * t) * (0.5 + 0.5 * std::fabs(fsin(t * 45)));
      side1.push_back({x, y - hw});
      side2.push_back({x, y + hw});
      rib.push_back({x, y});
    }
    side1.insert(side1.end(), side2.rbegin(), side2.rend());
    polygon(c, side1, i % 2 ? rgb(50, 160, 60) : rgb(70, 180, 70));
    for (size_t k = 0; k + 4 < rib.size(); k += 4)
      line(c, rib[k].x, rib[k].y, rib[k + 4].x, rib[k + 4].y, 1, rgb(40, 120, 45));
  }
  for (int i = 0; i < 3; ++i)
    ball(c, top.x - 4 + i * 4, top.y + 5 + (i % 2) * 2, 3.2, 3.2, rgb(130, 85, 40));
  // Umbrella and towel.
  polygon(c, {{60, 212}, {140, 200}, {150, 222}, {70, 236}}, rgb(60, 160, 230));
  for (int i = 0; i < 4; ++i) {
    double u = 0.15 + i * 0.22;
    polygon(c,
            {{60 + 80 * u, 212 - 12 * u},
             {66 + 80 * u, 211 - 12 * u},
             {76 + 80 * u, 235 - 14 * u},
             {70 + 80 * u, 236 - 14 * u}},
            rgb(255, 255, 255));
  }
  line(c, 103, 140, 108, 212, 2.2, rgb(240, 240, 240));
  const double ux = 102, uy = 142, urx = 44, ury = 24;
  fillFn(
      c, ux - urx, uy - ury, ux + urx, uy + 4,
      [=](double x, double y) {
        double dx = (x - ux) / urx, dy = (y - uy) / ury;
        double scallop = 3 * std::fabs(fsin((x - ux) / urx * PI * 3));
        return dx * dx + dy * dy <= 1 && y <= uy + scallop;
      },
      [=](double x, double y) {
        double t = domeParam(x - ux, std::min(0.0, y - uy), urx, ury);
        int seg = int(std::floor((t + 1) * 3));
        Col k = seg % 2 ? WHITE : rgb(235, 50, 60);
        return scale(k, 1 - 0.2 * t * t);
      });
  // Beach ball.
  const double bx = 178, by = 208, br = 11;
  ellipseFn(c, bx, by, br, br, [=](double x, double y) {
    double t = domeParam(x - bx, y - by, br, br);
    static const Col seg[] = {rgb(240, 50, 50),   rgb(255, 255, 255), rgb(255, 210, 30),
                              rgb(255, 255, 255), rgb(40, 120, 240),  rgb(255, 255, 255)};
    Col k = seg[std::clamp(int(std::floor((t + 1) * 3)), 0, 5)];
    double dx = x - bx + 4, dy = y - by + 4;
    return scale(k, 1.05 - 0.25 * clamp01(std::sqrt(dx * dx + dy * dy) / 18));
  });
  // Sandcastle with flag.
  Col sandC = rgb(222, 180, 110), sandS = rgb(195, 150, 85);
  rect(c, 215, 200, 255, 222, sandC);
  rect(c, 212, 184, 226, 222, sandS);
  rect(c, 244, 184, 258, 222, sandS);
  rect(c, 227, 178, 243, 200, sandC);
  for (double x : {212.0, 219.0, 244.0, 251.0, 227.0, 236.0})
    rect(c, x, x < 227 || x > 243 ? 180 : 174, x + 4, x < 227 || x > 243 ? 185 : 179,
         x == 227 || x == 236 ? sandC : sandS);
  rect(c, 232, 208, 238, 222, rgb(140, 100, 60));
  line(c, 235, 174, 235, 160, 1, rgb(110, 80, 50));
  polygon(c, {{235.5, 160}, {246, 163.5}, {235.5, 167}}, rgb(240, 60, 160));
  // Starfish and shells.
  std::vector<Pt> star;
  for (int i = 0; i < 10; ++i) {
    double a = -PI / 2 + i * PI / 5, rr = i % 2 ? 3 : 8;
    star.push_back({150 + fcos(a) * rr, 228 + fsin(a) * rr});
  }
  polygon(c, star, rgb(255, 130, 60));
  ellipse(c, 30, 190, 3.5, 2.5, rgb(255, 200, 210));
  ellipse(c, 196, 232, 3, 2.2, rgb(250, 235, 220));
  // Crabs with black eyes.
  for (auto [cx, cy] : {std::pair<int, int>{44, 222}, std::pair<int, int>{292, 230}}) {
    double x = cx + 0.5, y = cy + 0.5;
    for (int k = 0; k < 3; ++k)
      for (int side = -1; side <= 1; side += 2)
        line(c, x + side * 6, y + 7 + k * 1.5, x + side * 12, y + 10 + k * 2, 1.2,
             rgb(220, 70, 40));
    for (int side = -1; side <= 1; side += 2) {
      line(c, x + side * 6, y + 4, x + side * 11, y - 1, 1.6, rgb(230, 80, 45));
      ball(c, x + side * 12.5, y - 2.5, 3.2, 2.6, rgb(240, 90, 50));
      line(c, x + side * 3, y + 3, x + side * 3, y - 1, 1, rgb(220, 70, 40));
      circle(c, x + side * 3, y - 1.5, 1.9, WHITE);
      s.blacks.push_back({cx + side * 3, cy - 2});
    }
    ball(c, x, y + 6, 8, 5, rgb(240, 85, 45));
    line(c, x - 2.5, y + 8, x + 2.5, y + 8, 0.9, rgb(150, 40, 25));
  }
  return s;
}

void balloon(Canvas& c, double x, double y, double r, Col a, Col b) {
  auto hw = [=](double dy) {
    if (dy < 0.65 * r) return std::sqrt(std::max(0.0, r * r - dy * dy));
    return 0.76 * r + (0.3 * r - 0.76 * r) * (dy - 0.65 * r) / (0.65 * r);
  };
  double by = y + r * 1.65;
  line(c, x - 0.3 * r, y + 1.3 * r, x - 0.2 * r, by, 0.7, rgb(110, 80, 60));
  line(c, x + 0.3 * r, y + 1.3 * r, x + 0.2 * r, by, 0.7, rgb(110, 80, 60));
  rect(c, x - 0.22 * r, by, x + 0.22 * r, by + 0.3 * r, rgb(150, 95, 50));
  fillFn(
      c, x - r, y - r, x + r, y + 1.3 * r,
      [=](double px, double py) { return py - y <= 1.3 * r && std::fabs(px - x) <= hw(py - y); },
      [=](double px, double py) {
        double t = (px - x) / std::max(0.5, hw(py - y));
        Col k = int(std::floor((t + 1) * 3.5)) % 2 ? a : b;
        return scale(k, 1.05 - 0.35 * t * t);
      });
}

void peak(Canvas& c, double px, double py, double l, double rr, double base, Col lit, Col shade) {
  polygon(c, {{l, base}, {px, py}, {px + (rr - px) * 0.15, base}}, lit);
  polygon(c, {{px, py}, {rr, base}, {px + (rr - px) * 0.15, base}}, shade);
  double h = (base - py) * 0.3, sl = l + (px - l) * 0.7, sr = rr + (px - rr) * 0.7;
  std::vector<Pt> snow = {{px, py}, {sr, py + h}};
  for (int i = 1; i < 6; ++i)
    snow.push_back({sr + (sl - sr) * i / 6.0, py + h * (i % 2 ? 0.55 : 1.05)});
  snow.push_back({sl, py + h});
  polygon(c, snow, rgb(250, 252, 255));
  polygon(c, {{px, py}, {sr, py + h}, {px + (sr - px) * 0.4, py + h * 0.8}}, rgb(200, 215, 240));
}

Scene mountains() {
  Scene s(404);
  Canvas& c = s.c;
  Rng& r = s.rng;
  vgradient(c, 0, 150, rgb(35, 115, 225), rgb(180, 220, 250));
  sun(c, 285, 36, 16);
  cloud(c, 60, 30, 16);
  cloud(c, 175, 52, 12);
  peak(c, 40, 75, -40, 120, 150, rgb(160, 165, 205), rgb(120, 125, 175));
  peak(c, 250, 70, 170, 340, 150, rgb(160, 165, 205), rgb(120, 125, 175));
  peak(c, 145, 42, 60, 235, 150, rgb(140, 140, 180), rgb(100, 100, 150));
  balloon(c, 232, 48, 14, rgb(240, 60, 60), rgb(255, 210, 50));
  balloon(c, 92, 78, 7, rgb(60, 150, 240), rgb(255, 255, 255));
  auto slope1 = [](double x) { return 132 + 14 * fsin(x * 0.018 + 3.6); };
  hill(c, slope1, rgb(130, 200, 90), rgb(90, 170, 70), 41, 0.15);
  for (int i = 0; i < 14; ++i) {
    double x = r.range(0, W);
    pine(c, x, slope1(x) + r.range(6, 14), r.range(14, 22));
  }
  auto slope2 = [](double x) { return 168 + 10 * fsin(x * 0.02 + 0.8); };
  hill(c, slope2, rgb(120, 205, 75), rgb(80, 170, 50), 42, 0.15);
  // Mountain lake in the valley, reflecting the sky.
  ellipseFn(c, 150, 186, 62, 10, [](double, double y) {
    return mix(rgb(150, 210, 245), rgb(60, 160, 215), (y - 176) / 20);
  });
  ellipse(c, 150, 183, 40, 2, WHITE, 0.35);
  // Chalet.
  rect(c, 246, 168, 276, 186, rgb(190, 120, 70));
  polygon(c, {{240, 170}, {261, 152}, {282, 170}}, rgb(200, 55, 45));
  rect(c, 251, 173, 258, 180, rgb(190, 230, 250));
  rect(c, 264, 176, 270, 186, rgb(120, 70, 40));
  auto slope3 = [](double x) { return 205 + 6 * fsin(x * 0.035 + 2.2); };
  hill(c, slope3, rgb(105, 195, 60), rgb(60, 150, 40), 43, 0.18);
  for (int i = 0; i < 7; ++i) {
    double x = i < 4 ? 6 + i * 14 : 248 + (i - 4) * 24;
    pine(c, x + r.range(-4, 4), r.range(212, 224), r.range(30, 44), rgb(30, 105, 55));
  }
  grassBlades(c, r, 200, 206, 242, rgb(80, 170, 50));
  for (int i = 0; i < 60; ++i) {
    double y = r.range(176, 238), x = r.range(60, 240);
    if (y > 176 && y < 197 && std::fabs(x - 150) < 66) continue;
    flower(c, x, y, 1 + (y - 170) / 25, BLOOMS[r.pick(7)], rgb(255, 210, 60), 5);
  }
  for (int i = 0; i < 3; ++i) {
    double x = 110 + i * 12, y = 100 + (i % 2) * 6;
    line(c, x - 4, y - 2, x, y, 0.9, rgb(60, 60, 80));
    line(c, x, y, x + 4, y - 2, 0.9, rgb(60, 60, 80));
  }
  return s;
}

Scene orchard() {
  Scene s(505);
  Canvas& c = s.c;
  Rng& r = s.rng;
  vgradient(c, 0, 150, rgb(60, 145, 235), rgb(190, 228, 252));
  sun(c, 160, 34, 16);
  cloud(c, 50, 40, 17);
  cloud(c, 265, 50, 19);
  auto far = [](double x) { return 125 + 6 * fsin(x * 0.025 + 0.4); };
  hill(c, far, rgb(150, 205, 120), rgb(120, 190, 95), 51, 0.1);
  hill(
      c, [](double) { return 148.0; }, rgb(120, 205, 80), rgb(80, 170, 55), 52, 0.2);
  auto appleTree = [&](double x, double base, double sz, uint32_t seed) {
    roundTree(c, x, base, sz, seed, rgb(60, 155, 55));
    Rng ar(seed * 7);
    for (int i = 0; i < int(sz * 0.9); ++i) {
      double a = ar.range(0, 2 * PI), d = std::sqrt(ar.uni()) * sz * 0.8;
      double ax = x + fcos(a) * d, ay = base - sz * 1.45 + fsin(a) * d * 0.8;
      ball(c, ax, ay, sz * 0.1 + 0.6, sz * 0.1 + 0.6,
           ar.uni() < 0.8 ? rgb(230, 40, 35) : rgb(250, 200, 40));
    }
  };
  for (int i = 0; i < 9; ++i) appleTree(8 + i * 38, 146, 10, 520 + i);
  // Fence.
  for (int i = 0; i <= 16; ++i) rect(c, i * 20 + 2, 150, i * 20 + 5, 166, rgb(245, 240, 230));
  rect(c, 0, 153, W, 155.5, rgb(245, 240, 230));
  rect(c, 0, 160, W, 162.5, rgb(245, 240, 230));
  for (int i = 0; i < 5; ++i) appleTree(30 + i * 66, 190, 19, 540 + i);
  grassBlades(c, r, 260, 170, 242, rgb(75, 170, 50));
  appleTree(-6, 246, 44, 560);
  appleTree(330, 246, 44, 561);
  // Ladder against the middle tree.
  line(c, 150, 200, 160, 150, 1.6, rgb(160, 110, 60));
  line(c, 162, 201, 170, 151, 1.6, rgb(160, 110, 60));
  for (int i = 1; i < 6; ++i)
    line(c, 150 + i * 1.7, 200 - i * 8.5, 162 + i * 1.4, 201 - i * 8.5, 1.2, rgb(160, 110, 60));
  // Basket of apples.
  for (int i = 0; i < 9; ++i)
    ball(c, 140 + (i % 5) * 8 + (i / 5) * 4, 205 - (i / 5) * 6, 5, 5,
         i % 4 == 3 ? rgb(250, 200, 40) : rgb(225, 40, 35));
  polygonFn(c, {{128, 206}, {182, 206}, {176, 230}, {134, 230}}, [](double x, double y) {
    return scale(rgb(190, 130, 70), 0.8 + 0.3 * (int(x / 4 + y / 3) % 2));
  });
  rect(c, 127, 205, 183, 208, rgb(150, 95, 50));
  for (Pt p : {Pt{95, 222}, Pt{205, 228}, Pt{230, 214}})
    ball(c, p.x, p.y, 4.5, 4.5, rgb(230, 45, 35));
  ladybird(s.blacks, c, 156, 221, 4.5, 4);
  // Robin on a fence post.
  ellipse(c, 263, 144, 6, 4.5, rgb(150, 110, 80));
  ellipse(c, 260, 146, 3.5, 3, rgb(240, 110, 50));
  circle(c, 259, 140, 3.2, rgb(150, 110, 80));
  polygon(c, {{256, 139}, {252.5, 140.5}, {256, 141.5}}, rgb(240, 190, 60));
  line(c, 268, 144, 273, 141, 2, rgb(130, 95, 70));
  s.blacks.push_back({258, 139});
  for (int i = 0; i < 40; ++i)
    flower(c, r.range(0, W), r.range(212, 239), 2.5, BLOOMS[r.pick(7)], rgb(255, 200, 40));
  butterfly(c, 96, 112, 6, rgb(255, 120, 190), rgb(255, 200, 230));
  return s;
}

void sunflower(Canvas& c, double x, double y, double r, double stem, Rng& rng) {
  line(c, x, y, x + r * 0.1, y + stem, std::max(1.0, r * 0.16), rgb(60, 140, 40));
  if (r > 4) {
    ellipse(c, x - r * 0.55, y + stem * 0.45, r * 0.6, r * 0.26, rgb(70, 160, 50), 1, 0.5);
    ellipse(c, x + r * 0.65, y + stem * 0.6, r * 0.6, r * 0.26, rgb(55, 145, 45), 1, -0.5);
  }
  if (r < 3.5) {
    circle(c, x, y, r, rgb(255, 205, 30));
    circle(c, x, y, r * 0.4, rgb(120, 70, 25));
    return;
  }
  double off = rng.range(0, 1);
  for (int layer = 0; layer < 2; ++layer)
    for (int i = 0; i < 16; ++i) {
      double a = (i + layer * 0.5) * 2 * PI / 16 + off;
      Col k = layer ? rgb(255, 215, 40) : rgb(245, 165, 20);
      ellipse(c, x + fcos(a) * r * 0.68, y + fsin(a) * r * 0.68, r * 0.4, r * 0.14, k, 1, a);
    }
  circle(c, x, y, r * 0.45, rgb(115, 65, 25));
  for (int i = 0; i < int(r * 5); ++i) {
    double a = i * 2.39996, d = r * 0.42 * std::sqrt(i / (r * 5));
    circle(c, x + fcos(a) * d, y + fsin(a) * d, std::max(0.35, r * 0.04), rgb(70, 40, 15), 0.8);
  }
}

void bee(std::vector<std::pair<int, int>>& blacks, Canvas& c, int ix, int iy, double s) {
  double x = ix + 0.5, y = iy + 0.5;
  ellipse(c, x + s * 0.2, y - s * 0.9, s * 0.55, s * 0.8, rgb(240, 250, 255), 0.75, 0.4);
  ellipse(c, x + s * 0.9, y - s * 0.7, s * 0.45, s * 0.65, rgb(240, 250, 255), 0.75, 0.9);
  ellipseFn(c, x + s * 0.6, y, s, s * 0.7, [=](double px, double) {
    return int(std::floor((px - x) / (s * 0.36))) % 2 ? rgb(45, 35, 15) : rgb(255, 205, 30);
  });
  circle(c, x, y, s * 0.55, rgb(50, 40, 20));
  blacks.push_back({ix - int(std::floor(s * 0.25 + 0.5)), iy - int(std::floor(s * 0.15 + 0.5))});
}

Scene sunflowers() {
  Scene s(606);
  Canvas& c = s.c;
  Rng& r = s.rng;
  vgradient(c, 0, 140, rgb(30, 110, 225), rgb(175, 220, 252));
  sun(c, 56, 40, 20);
  cloud(c, 170, 38, 22);
  cloud(c, 282, 74, 14);
  auto far = [](double x) { return 118 + 8 * fsin(x * 0.02 + 2.0); };
  hill(c, far, rgb(130, 195, 110), rgb(110, 180, 90), 61, 0.1);
  // Red barn on the hill.
  rect(c, 236, 104, 262, 120, rgb(200, 50, 40));
  polygon(c, {{233, 105}, {249, 94}, {265, 105}}, rgb(120, 60, 50));
  rect(c, 245, 110, 253, 120, rgb(250, 240, 230));
  roundTree(c, 225, 121, 7, 611);
  roundTree(c, 274, 123, 8, 612);
  hill(
      c, [](double x) { return 128 + 2 * fsin(x * 0.05); }, rgb(90, 160, 50), rgb(60, 140, 40), 62,
      0.25);
  // Rows of sunflowers from far to near.
  for (int row = 0; row < 7; ++row) {
    double t = row / 6.0, y = 130 + 90 * t * t, rad = 2 + 20 * t * t, gap = rad * 2.1 + 2;
    for (double x = r.range(-gap, 0); x < W + gap; x += gap * r.range(0.85, 1.15))
      sunflower(c, x, y + r.range(-rad * 0.4, rad * 0.4), rad * r.range(0.85, 1.1), H - y + 10, r);
  }
  ellipse(c, 70, 226, 14, 6, rgb(70, 165, 50), 1, 0.3);
  ladybird(s.blacks, c, 70, 224, 4.5, 4);
  bee(s.blacks, c, 120, 90, 6);
  bee(s.blacks, c, 230, 150, 5);
  bee(s.blacks, c, 30, 160, 4);
  butterfly(c, 295, 118, 6, rgb(255, 255, 255), rgb(255, 180, 220));
  return s;
}

void house(Canvas& c, double x, double base, double w, double h, Col wall, Col roof) {
  rect(c, x + w * 0.2, base - h - w * 0.45, x + w * 0.32, base - h, rgb(150, 80, 60));
  polygonFn(c, {{x - w / 2, base}, {x + w / 2, base}, {x + w / 2, base - h}, {x - w / 2, base - h}},
            [=](double px, double) { return scale(wall, 1.02 - 0.12 * (px - x + w / 2) / w); });
  polygon(c, {{x - w * 0.6, base - h + 1}, {x + w * 0.6, base - h + 1}, {x, base - h - w * 0.5}},
          roof);
  polygon(c, {{x, base - h - w * 0.5}, {x + w * 0.6, base - h + 1}, {x + w * 0.3, base - h + 1}},
          scale(roof, 0.8));
  double ww = w * 0.2, wy = base - h * 0.75;
  for (int side = -1; side <= 1; side += 2) {
    double wx = x + side * w * 0.26;
    rect(c, wx - ww / 2 - 1, wy - 1, wx + ww / 2 + 1, wy + ww + 1, WHITE);
    rect(c, wx - ww / 2, wy, wx + ww / 2, wy + ww, rgb(150, 205, 245));
    line(c, wx, wy, wx, wy + ww, 0.8, WHITE);
    line(c, wx - ww / 2, wy + ww / 2, wx + ww / 2, wy + ww / 2, 0.8, WHITE);
    rect(c, wx - ww / 2 - 1, wy + ww + 1, wx + ww / 2 + 1, wy + ww + 3, rgb(130, 80, 50));
    for (int k = 0; k < 3; ++k)
      circle(c, wx - ww / 3 + k * ww / 3, wy + ww + 1, 1.1,
             k % 2 ? rgb(255, 90, 120) : rgb(240, 40, 50));
  }
  rect(c, x - w * 0.09, base - h * 0.4, x + w * 0.09, base, rgb(140, 85, 50));
}

Scene village() {
  Scene s(707);
  Canvas& c = s.c;
  Rng& r = s.rng;
  vgradient(c, 0, 140, rgb(55, 140, 235), rgb(185, 225, 252));
  sun(c, 40, 36, 17);
  cloud(c, 140, 38, 18);
  cloud(c, 255, 28, 14);
  auto far = [](double x) { return 104 + 10 * fsin(x * 0.017 + 0.5); };
  hill(c, far, rgb(130, 200, 100), rgb(100, 180, 80), 71, 0.1);
  // Patchwork fields on the hillside.
  const Col fields[] = {rgb(240, 210, 90), rgb(170, 215, 90), rgb(215, 185, 70), rgb(120, 190, 80)};
  for (int i = 0; i < 8; ++i) {
    double x = i * 42 + r.range(-6, 6), y = far(x + 20) + 6;
    polygon(c, {{x, y}, {x + 40, y - 3}, {x + 44, y + 14}, {x + 2, y + 16}}, fields[i % 4], 0.8);
  }
  for (int i = 0; i < 3; ++i) {
    double x = 40 + i * 22, y = far(x) + 12;
    ellipse(c, x, y, 5, 3.5, rgb(250, 250, 245));
    ellipse(c, x - 4.5, y - 1, 2, 2.5, rgb(70, 65, 70));
  }
  hill(
      c, [](double x) { return 150 + 4 * fsin(x * 0.03); }, rgb(120, 205, 80), rgb(75, 165, 50), 72,
      0.18);
  // Kite.
  polygon(c, {{260, 50}, {272, 64}, {260, 84}, {248, 64}}, rgb(240, 60, 80));
  polygon(c, {{260, 50}, {272, 64}, {260, 64}}, rgb(255, 210, 40));
  polygon(c, {{260, 64}, {260, 84}, {248, 64}}, rgb(60, 140, 240));
  for (int i = 0; i < 14; ++i) {
    double y0 = 84 + i * 3.5, y1 = y0 + 3.5;
    line(c, 260 + 4 * fsin(i * 0.8), y0, 260 + 4 * fsin((i + 1) * 0.8), y1, 0.8, rgb(90, 60, 50));
    if (i % 4 == 3)
      polygon(c,
              {{257 + 4 * fsin(i * 0.8), y1 - 2},
               {263 + 4 * fsin(i * 0.8), y1 + 2},
               {263 + 4 * fsin(i * 0.8), y1 - 2},
               {257 + 4 * fsin(i * 0.8), y1 + 2}},
              fields[i % 3]);
  }
  line(c, 260, 70, 205, 200, 0.6, rgb(240, 240, 240), 0.8);
  // Church.
  rect(c, 150, 90, 170, 150, rgb(240, 230, 210));
  polygon(c, {{146, 91}, {174, 91}, {160, 58}}, rgb(90, 120, 170));
  line(c, 160, 58, 160, 50, 1.2, rgb(230, 190, 60));
  line(c, 157, 53, 163, 53, 1.2, rgb(230, 190, 60));
  circle(c, 160, 102, 5, WHITE);
  line(c, 160, 102, 160, 98.5, 0.8, rgb(60, 60, 80));
  line(c, 160, 102, 162.5, 102, 0.8, rgb(60, 60, 80));
  polygonFn(c, {{156, 150}, {164, 150}, {164, 138}, {160, 134}, {156, 138}},
            solid(rgb(140, 85, 50)));
  // Houses, back row then front row.
  const Col walls[] = {rgb(255, 240, 200), rgb(255, 200, 200), rgb(190, 220, 250),
                       rgb(255, 230, 120), rgb(210, 240, 200), rgb(250, 215, 170)};
  const Col roofs[] = {rgb(210, 70, 50), rgb(230, 110, 50), rgb(180, 60, 60)};
  for (int i = 0; i < 4; ++i)
    house(c, 40 + i * 80 + (i > 1 ? 0 : 0), 150, 30, 22, walls[i + 2], roofs[i % 3]);
  roundTree(c, 118, 156, 12, 720);
  roundTree(c, 205, 158, 11, 721);
  // Winding road.
  polygonFn(
      c,
      {{130, H}, {200, H}, {178, 200}, {168, 176}, {170, 156}, {162, 156}, {150, 178}, {148, 200}},
      [](double x, double y) {
        return scale(rgb(225, 205, 165), 0.92 + 0.12 * vnoise(x * 0.4, y * 0.4, 73));
      });
  house(c, 62, 212, 56, 40, walls[0], roofs[0]);
  house(c, 265, 214, 60, 44, walls[1], roofs[1]);
  roundTree(c, 8, 222, 16, 722);
  roundTree(c, 318, 226, 14, 723);
  grassBlades(c, r, 150, 200, 242, rgb(80, 170, 50));
  for (int i = 0; i < 30; ++i) {
    double x = r.range(0, W), y = r.range(214, 239);
    if (x > 120 && x < 205) continue;
    flower(c, x, y, 2.6, BLOOMS[r.pick(7)], rgb(255, 200, 40));
  }
  // Bunting between the front houses.
  for (int i = 0; i < 14; ++i) {
    double t0 = i / 14.0, x0 = 90 + 145 * t0, y0 = 178 + 22 * fsin(PI * t0);
    double t1 = (i + 1) / 14.0, x1 = 90 + 145 * t1, y1 = 178 + 22 * fsin(PI * t1);
    line(c, x0, y0, x1, y1, 0.6, rgb(120, 100, 90));
    polygon(c, {{x0 + 1, y0}, {x1 - 1, y1}, {(x0 + x1) / 2, (y0 + y1) / 2 + 6}}, BLOOMS[i % 7]);
  }
  return s;
}

Scene forest() {
  Scene s(808);
  Canvas& c = s.c;
  Rng& r = s.rng;
  vgradient(c, 0, 140, rgb(70, 150, 235), rgb(200, 235, 250));
  cloud(c, 160, 40, 16);
  // Distant tree line.
  fillFn(
      c, 0, 80, W, 145,
      [](double x, double y) {
        return y > 110 - 14 * std::fabs(fsin(x * 0.09)) - 6 * fsin(x * 0.023);
      },
      [](double x, double y) {
        return scale(rgb(70, 150, 85), 0.8 + 0.35 * fbm(x * 0.08, y * 0.08, 81, 3));
      });
  auto clearing = [](double x) { return 140 + 3 * fsin(x * 0.04); };
  hill(c, clearing, rgb(150, 220, 90), rgb(90, 180, 55), 82, 0.18);
  // Sunbeams.
  for (int i = 0; i < 4; ++i) {
    double x = 120 + i * 30;
    polygon(c, {{x, 0}, {x + 12, 0}, {x + 70 + i * 8, H}, {x + 30 + i * 6, H}}, rgb(255, 250, 200),
            0.16);
  }
  // Framing trees with canopies.
  for (int side = 0; side < 2; ++side)
    for (int k = 0; k < 3; ++k) {
      double x = side ? W - 20 - k * 28 : 20 + k * 28, w = 15 - k * 3, base = 200 - k * 28;
      polygonFn(c, {{x - w, base}, {x + w, base}, {x + w * 0.7, -5}, {x - w * 0.7, -5}},
                [=](double px, double py) {
                  return scale(rgb(125, 85, 55),
                               0.75 + 0.35 * vnoise(px * 0.8, py * 0.06, 83 + k) + 0.1 * side);
                });
    }
  for (int i = 0; i < 40; ++i) {
    double t = i / 39.0, a = PI * t;
    double x = 160 - fcos(a) * 190, y = -14 + fsin(a) * 26 + (1 - fsin(a)) * 95 + r.range(-10, 10);
    double rad = r.range(22, 30) * (1.15 - 0.5 * fsin(a));
    ellipseFn(c, x, y, rad, rad * 0.85, [=](double px, double py) {
      double tt = clamp01(((px - x) * 0.5 + (py - y)) / (rad * 2) + 0.5);
      Col k = mix(rgb(130, 200, 80), rgb(30, 100, 45), tt);
      return scale(k, 0.8 + 0.35 * fbm(px * 0.25, py * 0.25, 84, 2));
    });
  }
  grassBlades(c, r, 380, 150, 242, rgb(90, 180, 60));
  for (int i = 0; i < 40; ++i) {
    double y = r.range(150, 238), x = r.range(40, 280);
    flower(c, x, y, 1 + (y - 150) / 30, BLOOMS[r.pick(7)], rgb(255, 210, 60), 5);
  }
  // Mushrooms.
  for (Pt p : {Pt{70, 214}, Pt{86, 222}, Pt{250, 200}}) {
    double sz = (p.y - 150) / 10;
    rect(c, p.x - sz * 0.4, p.y - sz * 1.3, p.x + sz * 0.4, p.y, rgb(245, 235, 215));
    fillFn(
        c, p.x - sz * 1.5, p.y - sz * 2.6, p.x + sz * 1.5, p.y - sz * 1.2,
        [=](double x, double y) {
          double dx = (x - p.x) / (sz * 1.5), dy = (y - p.y + sz * 1.3) / (sz * 1.3);
          return dy <= 0 && dx * dx + dy * dy <= 1;
        },
        [=](double x, double y) {
          return mix(rgb(250, 70, 50), rgb(190, 30, 30),
                     clamp01((x - p.x) / (sz * 3) + (y - p.y + sz * 2.6) / (sz * 3)));
        });
    for (Pt d : {Pt{-0.7, -1.6}, Pt{0.1, -2.2}, Pt{0.8, -1.6}, Pt{-0.2, -1.6}})
      circle(c, p.x + d.x * sz, p.y + d.y * sz, sz * 0.2, WHITE);
  }
  // Rabbit.
  {
    double x = 170, y = 200;
    ellipse(c, x, y + 14, 14, 3, rgb(60, 140, 40), 0.5);
    ball(c, x, y, 13, 10, rgb(190, 160, 130));
    circle(c, x + 12, y + 3, 3.5, WHITE);
    ball(c, x - 12, y - 8, 7, 6.5, rgb(195, 165, 135));
    ellipse(c, x - 14, y - 20, 2.4, 8, rgb(190, 160, 130), 1, -0.2);
    ellipse(c, x - 14, y - 20, 1.2, 6, rgb(250, 180, 190), 1, -0.2);
    ellipse(c, x - 9, y - 21, 2.4, 8, rgb(190, 160, 130), 1, 0.15);
    ellipse(c, x - 9, y - 21, 1.2, 6, rgb(250, 180, 190), 1, 0.15);
    circle(c, x - 15, y - 9.5, 1.3, rgb(50, 30, 30));
    circle(c, x - 18.5, y - 6.5, 1.1, rgb(240, 130, 150));
    ellipse(c, x - 2, y + 8, 5, 2.5, rgb(180, 150, 120));
  }
  butterfly(c, 120, 150, 6, rgb(255, 220, 40), rgb(255, 170, 40));
  butterfly(c, 220, 120, 5, rgb(130, 90, 230), rgb(90, 170, 250));
  return s;
}

// ---------------------------------------------------------------- frost

Canvas boxBlur(const Canvas& in, int rad) {
  Canvas tmp, out;
  for (int pass = 0; pass < 2; ++pass) {
    const Canvas& src = pass ? tmp : in;
    Canvas& dst = pass ? out : tmp;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        Col s{0, 0, 0};
        for (int k = -rad; k <= rad; ++k) {
          Col v = pass ? src.get(x, y + k) : src.get(x + k, y);
          s = {s.r + v.r, s.g + v.g, s.b + v.b};
        }
        dst.at(x, y) = scale(s, 1.0 / (2 * rad + 1));
      }
  }
  return out;
}

struct FrostMap {
  std::vector<double> a = std::vector<double>(W * H, 0.0);
  void stamp(double x, double y, double r, double v) {
    for (int py = int(std::floor(y - r - 1)); py <= int(y + r + 1); ++py)
      for (int px = int(std::floor(x - r - 1)); px <= int(x + r + 1); ++px) {
        if (px < 0 || py < 0 || px >= W || py >= H) continue;
        double dx = px + 0.5 - x, dy = py + 0.5 - y;
        double cov = clamp01(r + 0.5 - std::sqrt(dx * dx + dy * dy)) * v;
        double& d = a[size_t(py) * W + size_t(px)];
        d = std::max(d, cov);
      }
  }
};

// A frost fern: a wandering stem that sprouts side branches at +-60 degrees,
// shorter towards the tip, recursively.
void fern(FrostMap& m, Rng& r, double x, double y, double ang, double len, double width,
          int depth) {
  const double step = 0.6;
  double next = r.range(2, 4);
  for (double d = 0; d < len; d += step) {
    double t = d / len;
    m.stamp(x, y, width * (1 - 0.6 * t) * 0.5, 0.95 - 0.35 * t);
    x += fcos(ang) * step;
    y += fsin(ang) * step;
    ang += r.range(-0.05, 0.05);
    if (x < -4 || y < -4 || x > W + 4 || y > H + 4) return;
    if (depth > 0 && d >= next) {
      double rem = len - d;
      for (int side = -1; side <= 1; side += 2)
        if (r.uni() < 0.85) {
          double bl = rem * 0.42 * r.range(0.6, 1.1);
          if (bl > 1.5)
            fern(m, r, x, y, ang + side * PI / 3 * r.range(0.85, 1.1), bl, width * 0.65, depth - 1);
        }
      next += r.range(2.5, 5) * (depth > 1 ? 1.4 : 1.0);
    }
  }
}

Canvas frost(const Canvas& scene, uint32_t seed) {
  Rng r(seed);
  Canvas soft = boxBlur(boxBlur(scene, 2), 2);
  FrostMap fm;
  const Pt corners[] = {{0, 0}, {W, 0}, {0, H}, {W, H}};
  const double inward[] = {PI / 4, 3 * PI / 4, -PI / 4, -3 * PI / 4};
  for (int k = 0; k < 4; ++k)
    for (int i = 0; i < 5; ++i)
      fern(fm, r, corners[k].x, corners[k].y, inward[k] + r.range(-0.75, 0.75), r.range(55, 115),
           2.2, 3);
  for (double t = r.range(8, 30); t < 2 * (W + H); t += r.range(16, 40)) {
    double x, y, a;
    if (t < W)
      x = t, y = 0, a = PI / 2;
    else if (t < W + H)
      x = W, y = t - W, a = PI;
    else if (t < 2 * W + H)
      x = 2 * W + H - t, y = H, a = -PI / 2;
    else
      x = 0, y = 2 * (W + H) - t, a = 0;
    fern(fm, r, x, y, a + r.range(-0.6, 0.6), r.range(18, 60), 1.7, 2);
  }
  // Small six-armed crystals scattered over the pane.
  for (int i = 0; i < 22; ++i) {
    double x = r.range(20, W - 20), y = r.range(20, H - 20), L = r.range(3, 8), a0 = r.range(0, PI);
    for (int k = 0; k < 6; ++k) fern(fm, r, x, y, a0 + k * PI / 3, L, 1.1, 1);
  }
  // Crystal facets: Voronoi cells, each with its own brightness and clarity.
  const int NC = 120;
  std::vector<Pt> cell(NC);
  std::vector<double> shade(NC), clarity(NC), tiltX(NC), tiltY(NC);
  for (int i = 0; i < NC; ++i) {
    cell[i] = {r.range(0, W), r.range(0, H)};
    shade[i] = r.range(-1, 1);
    clarity[i] = r.range(0.8, 1.2);
    tiltX[i] = r.range(-0.06, 0.06);
    tiltY[i] = r.range(-0.06, 0.06);
  }
  // Soft rime around the ferns.
  std::vector<double> halo(W * H, 0.0);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      double sum = 0;
      for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
          int px = std::clamp(x + dx, 0, W - 1), py = std::clamp(y + dy, 0, H - 1);
          sum += fm.a[size_t(py) * W + size_t(px)];
        }
      halo[size_t(y) * W + size_t(x)] = sum / 25;
    }
  Canvas out;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      double d1 = 1e18, d2 = 1e18;
      int c1 = 0;
      for (int i = 0; i < NC; ++i) {
        double dx = x + 0.5 - cell[i].x, dy = y + 0.5 - cell[i].y, d = dx * dx + dy * dy;
        if (d < d1)
          d2 = d1, d1 = d, c1 = i;
        else if (d < d2)
          d2 = d;
      }
      double edgeLine = 1 - smooth(0, 1.0, std::sqrt(d2) - std::sqrt(d1));
      // Each facet is a slightly tilted plate: a per-cell light gradient.
      double facet = shade[c1] + (x - cell[c1].x) * tiltX[c1] + (y - cell[c1].y) * tiltY[c1];
      double ex = std::min(x + 0.5, W - x - 0.5) / (W / 2.0),
             ey = std::min(y + 0.5, H - y - 0.5) / (H / 2.0);
      double edge = 1 - std::min(ex, ey);  // 1 at the border, 0 in the middle
      double density =
          clamp01(0.1 + 0.85 * edge * edge * edge + 0.5 * (fbm(x * 0.03, y * 0.03, seed, 4) - 0.5));
      // Frosted glass refracts: sample the blurred scene slightly displaced.
      int ox = int(std::floor((vnoise(x * 0.15, y * 0.15, seed + 7) - 0.5) * 5));
      int oy = int(std::floor((vnoise(x * 0.15, y * 0.15, seed + 9) - 0.5) * 5));
      Col sc = soft.get(x + ox, y + oy);
      double lum = 0.299 * sc.r + 0.587 * sc.g + 0.114 * sc.b;
      Col k = mix(sc, {lum, lum, lum}, 0.45);
      k = {k.r * 0.85, k.g * 0.95, k.b * 1.02 + 12};
      k = mix(k, rgb(212, 230, 247), clamp01((0.3 + 0.6 * density) * clarity[c1]));
      k = add(k, clamp01(0.3 + density) * 9 * std::clamp(facet, -1.5, 1.5));
      k = mix(k, rgb(240, 248, 255), edgeLine * (0.06 + 0.3 * density));
      size_t idx = size_t(y) * W + size_t(x);
      k = mix(k, rgb(236, 245, 253), clamp01(halo[idx] * 1.3) * 0.5);
      k = mix(k, rgb(250, 253, 255), fm.a[idx] * 0.92);
      // Glittering flecks, clustered where the frost is thick.
      double sp = r.uni(), cluster = vnoise(x * 0.12, y * 0.12, seed + 11);
      if (sp < (0.004 + 0.09 * density) * cluster)
        k = mix(k, WHITE, r.range(0.5, 0.95));
      else if (sp > 0.997)
        k = mix(k, rgb(150, 190, 230), 0.3);
      out.at(x, y) = k;
    }
  return out;
}

// ---------------------------------------------------------------- output

using Img = std::vector<uint8_t>;  // RGB, top row first

Img quantize(const Canvas& c) {
  Img im(size_t(W) * H * 3);
  for (size_t i = 0; i < c.p.size(); ++i) {
    const Col& k = c.p[i];
    for (int ch = 0; ch < 3; ++ch) {
      double v = std::clamp(ch == 0 ? k.r : ch == 1 ? k.g : k.b, 0.0, 255.0);
      im[i * 3 + ch] = uint8_t(v + 0.5);
    }
    // Pure black is reserved for deliberate details.
    if (!im[i * 3] && !im[i * 3 + 1] && !im[i * 3 + 2]) im[i * 3 + 2] = 1;
  }
  return im;
}

Canvas toCanvas(const Img& im) {
  Canvas c;
  for (size_t i = 0; i < c.p.size(); ++i)
    c.p[i] = {double(im[i * 3]), double(im[i * 3 + 1]), double(im[i * 3 + 2])};
  return c;
}

int countBlack(const Img& im) {
  int n = 0;
  for (size_t i = 0; i < im.size(); i += 3) n += !im[i] && !im[i + 1] && !im[i + 2];
  return n;
}

double meanBrightness(const Img& im) {
  double s = 0;
  for (uint8_t v : im) s += v;
  return s / double(im.size());
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(f);
}

// 40-byte BITMAPINFOHEADER followed by bottom-up BGR rows (960 bytes, no padding needed).
bool writeDib(const std::string& path, const Img& im, uint32_t pxPerMetre) {
  std::vector<uint8_t> out(40 + size_t(W) * H * 3, 0);
  auto put = [&](size_t off, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) out[off + i] = uint8_t(v >> (8 * i));
  };
  put(0, 40, 4);
  put(4, W, 4);
  put(8, H, 4);
  put(12, 1, 2);
  put(14, 24, 2);
  put(16, 0, 4);
  put(20, W * H * 3, 4);
  put(24, pxPerMetre, 4);
  put(28, pxPerMetre, 4);
  size_t o = 40;
  for (int row = 0; row < H; ++row) {
    const uint8_t* src = &im[size_t(H - 1 - row) * W * 3];
    for (int x = 0; x < W; ++x, o += 3) {
      out[o] = src[x * 3 + 2];
      out[o + 1] = src[x * 3 + 1];
      out[o + 2] = src[x * 3];
    }
  }
  return writeFile(path, out);
}

bool writePpm(const std::string& path, const Img& im) {
  std::string head = "P6\n" + std::to_string(W) + " " + std::to_string(H) + "\n255\n";
  std::vector<uint8_t> out(head.begin(), head.end());
  out.insert(out.end(), im.begin(), im.end());
  return writeFile(path, out);
}

}  // namespace

int main(int argc, char** argv) {
  std::string outDir, ppmDir;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--ppm" && i + 1 < argc)
      ppmDir = argv[++i];
    else if (outDir.empty() && !a.empty() && a[0] != '-')
      outDir = a;
    else
      outDir.clear(), i = argc;
  }
  if (outDir.empty()) {
    std::fprintf(stderr, "usage: %s [--ppm <preview-dir>] <output-dir>\n", argv[0]);
    return 2;
  }
  Scene (*const scenes[8])() = {meadow,  lake,       beach,   mountains,
                                orchard, sunflowers, village, forest};
  const bool hasBlack[8] = {true, false, true, false, true, true, false, false};
  const uint32_t resolutions[4] = {2834, 3779, 11808, 11811};
  bool ok = true;
  for (int n = 0; n < 8; ++n) {
    Scene s = scenes[n]();
    Img summer = quantize(s.c);
    std::set<std::pair<int, int>> spots(s.blacks.begin(), s.blacks.end());
    for (auto [x, y] : spots) {
      uint8_t* p = &summer[(size_t(y) * W + size_t(x)) * 3];
      p[0] = p[1] = p[2] = 0;
    }
    Img ice = quantize(frost(toCanvas(summer), 9000u + uint32_t(n)));
    int blacks = countBlack(summer);
    double ms = meanBrightness(summer), mi = meanBrightness(ice);
    char name[32];
    std::snprintf(name, sizeof name, "ID_SUMMER_%03d", n + 1);
    std::printf("%s  summer mean %6.2f  ice mean %6.2f  black pixels %d\n", name, ms, mi, blacks);
    if (hasBlack[n] ? (blacks < 3 || blacks > 20 || blacks != int(spots.size())) : blacks != 0) {
      std::fprintf(stderr, "%s: unexpected pure-black pixel count %d\n", name, blacks);
      ok = false;
    }
    if (countBlack(ice) != 0 || !(mi > ms)) {
      std::fprintf(stderr, "%s: iced picture must be brighter and free of pure black\n", name);
      ok = false;
    }
    std::string base = outDir + "/" + name;
    ok = writeDib(base + ".dib", summer, resolutions[n % 4]) && ok;
    ok = writeDib(base + "_ICE.dib", ice, resolutions[(n + 2) % 4]) && ok;
    if (!ppmDir.empty()) {
      ok = writePpm(ppmDir + "/" + name + ".ppm", summer) && ok;
      ok = writePpm(ppmDir + "/" + name + "_ICE.ppm", ice) && ok;
    }
  }
  if (!ok) std::fprintf(stderr, "picture generation failed\n");
  return ok ? 0 : 1;
}
