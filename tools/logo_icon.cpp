#include "tools/logo_icon.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include <QImage>

namespace {

// Geometry in icon pixels (256 x 256), shared by the PNG and the SVG so both show one picture.
constexpr double kSize = 256;
constexpr double kFrame0 = 12, kFrame1 = 244, kFrameRadius = 44, kRimWidth = 8;
constexpr double kSunX = 176, kSunY = 86, kSunRadius = 34, kSunRimWidth = 5;
constexpr double kHillX = 150, kHillY = 430, kHillRadius = 240;
constexpr double kWipeX0 = 76, kWipeY0 = 180, kWipeX1 = 180, kWipeY1 = 86, kWipeRadius = 44;
constexpr double kIceAlpha = 0.9;
constexpr double kFlakes[][3] = {{66, 70, 26}, {196, 198, 18}};  // centre x, y, arm length

struct Rgba {
  double r = 0, g = 0, b = 0, a = 0;  // straight colour, 0..255, alpha 0..1
};
constexpr Rgba kRim{22, 38, 92, 1}, kSkyTop{64, 150, 232, 1}, kSkyBottom{190, 228, 255, 1},
    kHill{78, 176, 64, 1}, kSun{255, 212, 40, 1}, kSunRim{240, 136, 28, 1}, kIce{214, 238, 255, 1},
    kFlake{86, 156, 226, 1};

Rgba Over(Rgba top, Rgba under) {
  const double a = top.a + under.a * (1 - top.a);
  if (a <= 0) return {};
  auto mix = [&](double t, double u) { return (t * top.a + u * under.a * (1 - top.a)) / a; };
  return {mix(top.r, under.r), mix(top.g, under.g), mix(top.b, under.b), a};
}

double SegmentDistance(double x, double y, double x0, double y0, double x1, double y1) {
  const double dx = x1 - x0, dy = y1 - y0;
  const double t = std::clamp(((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
  return std::hypot(x - (x0 + t * dx), y - (y0 + t * dy));
}

// Signed distance to the rounded frame: negative inside.
double FrameDistance(double x, double y) {
  const double half = (kFrame1 - kFrame0) / 2, centre = (kFrame0 + kFrame1) / 2;
  const double qx = std::abs(x - centre) - (half - kFrameRadius);
  const double qy = std::abs(y - centre) - (half - kFrameRadius);
  return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) -
         kFrameRadius;
}

bool OnFlake(double x, double y) {
  for (const auto& flake : kFlakes) {
    for (int arm = 0; arm < 6; ++arm) {
      const double angle = arm * M_PI / 3 + M_PI / 2;
      const double ex = flake[0] + flake[2] * std::cos(angle);
      const double ey = flake[1] - flake[2] * std::sin(angle);
      if (SegmentDistance(x, y, flake[0], flake[1], ex, ey) <= 3) return true;
      // A pair of short barbs two thirds along each arm.
      const double bx = flake[0] + (ex - flake[0]) * 0.62, by = flake[1] + (ey - flake[1]) * 0.62;
      for (const double turn : {M_PI / 4, -M_PI / 4}) {
        const double tx = bx + flake[2] * 0.3 * std::cos(angle + turn);
        const double ty = by - flake[2] * 0.3 * std::sin(angle + turn);
        if (SegmentDistance(x, y, bx, by, tx, ty) <= 2.2) return true;
      }
    }
  }
  return false;
}

// The colour at one point of the picture.
Rgba Sample(double x, double y) {
  const double frame = FrameDistance(x, y);
  if (frame > 0) return {};
  if (frame > -kRimWidth) return kRim;
  // Summer: sky, hill and sun.
  const double t = (y - kFrame0) / (kFrame1 - kFrame0);
  Rgba colour{kSkyTop.r + (kSkyBottom.r - kSkyTop.r) * t,
              kSkyTop.g + (kSkyBottom.g - kSkyTop.g) * t,
              kSkyTop.b + (kSkyBottom.b - kSkyTop.b) * t, 1};
  if (std::hypot(x - kHillX, y - kHillY) <= kHillRadius) colour = kHill;
  const double sun = std::hypot(x - kSunX, y - kSunY);
  if (sun <= kSunRadius) colour = sun > kSunRadius - kSunRimWidth ? kSunRim : kSun;
  // The ice covers everything but the wiped stripe.
  if (SegmentDistance(x, y, kWipeX0, kWipeY0, kWipeX1, kWipeY1) > kWipeRadius) {
    colour = Over({kIce.r, kIce.g, kIce.b, kIceAlpha}, colour);
    if (OnFlake(x, y)) colour = kFlake;
  }
  return colour;
}

std::string Hex(Rgba c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", int(c.r), int(c.g), int(c.b));
  return text;
}

}  // namespace

bool WriteIconPng(const std::string& path) {
  constexpr int kPixels = int(kSize), kSub = 4;  // 4 x 4 samples a pixel smooth the edges
  QImage image(kPixels, kPixels, QImage::Format_ARGB32);
  for (int y = 0; y < kPixels; ++y)
    for (int x = 0; x < kPixels; ++x) {
      double r = 0, g = 0, b = 0, a = 0;  // premultiplied sums
      for (int sy = 0; sy < kSub; ++sy)
        for (int sx = 0; sx < kSub; ++sx) {
          const Rgba c = Sample(x + (sx + 0.5) / kSub, y + (sy + 0.5) / kSub);
          r += c.r * c.a, g += c.g * c.a, b += c.b * c.a, a += c.a;
        }
      if (a <= 0) {
        image.setPixel(x, y, 0);
        continue;
      }
      image.setPixel(x, y,
                     qRgba(int(std::lround(r / a)), int(std::lround(g / a)),
                           int(std::lround(b / a)), int(std::lround(a * 255 / (kSub * kSub)))));
    }
  return image.save(QString::fromStdString(path), "PNG");
}

bool WriteIconSvg(const std::string& path) {
  std::ofstream svg(path);
  auto n = [](double v) { return std::to_string(int(std::lround(v))); };
  const std::string frameSize = n(kFrame1 - kFrame0);
  svg << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
         "viewBox=\"0 0 256 256\">\n"
      << " <defs>\n"
      << "  <linearGradient id=\"sky\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\n"
      << "   <stop offset=\"0\" stop-color=\"" << Hex(kSkyTop) << "\"/>\n"
      << "   <stop offset=\"1\" stop-color=\"" << Hex(kSkyBottom) << "\"/>\n"
      << "  </linearGradient>\n"
      << "  <clipPath id=\"window\"><rect x=\"" << n(kFrame0) << "\" y=\"" << n(kFrame0)
      << "\" width=\"" << frameSize << "\" height=\"" << frameSize << "\" rx=\"" << n(kFrameRadius)
      << "\"/></clipPath>\n"
      << "  <mask id=\"wiped\"><rect width=\"256\" height=\"256\" fill=\"#fff\"/>"
      << "<line x1=\"" << n(kWipeX0) << "\" y1=\"" << n(kWipeY0) << "\" x2=\"" << n(kWipeX1)
      << "\" y2=\"" << n(kWipeY1) << "\" stroke=\"#000\" stroke-width=\"" << n(2 * kWipeRadius)
      << "\" stroke-linecap=\"round\"/></mask>\n"
      << " </defs>\n"
      << " <g clip-path=\"url(#window)\">\n"
      << "  <rect width=\"256\" height=\"256\" fill=\"url(#sky)\"/>\n"
      << "  <circle cx=\"" << n(kHillX) << "\" cy=\"" << n(kHillY) << "\" r=\"" << n(kHillRadius)
      << "\" fill=\"" << Hex(kHill) << "\"/>\n"
      << "  <circle cx=\"" << n(kSunX) << "\" cy=\"" << n(kSunY) << "\" r=\""
      << kSunRadius - kSunRimWidth / 2 << "\" fill=\"" << Hex(kSun) << "\" stroke=\""
      << Hex(kSunRim) << "\" stroke-width=\"" << kSunRimWidth << "\"/>\n"
      << "  <g mask=\"url(#wiped)\">\n"
      << "   <rect width=\"256\" height=\"256\" fill=\"" << Hex(kIce) << "\" fill-opacity=\""
      << kIceAlpha << "\"/>\n"
      << "   <g stroke=\"" << Hex(kFlake) << "\" stroke-width=\"6\" stroke-linecap=\"round\">\n";
  for (const auto& flake : kFlakes)
    for (int arm = 0; arm < 3; ++arm) {
      const double angle = arm * M_PI / 3 + M_PI / 2;
      const double dx = flake[2] * std::cos(angle), dy = flake[2] * std::sin(angle);
      svg << "    <line x1=\"" << n(flake[0] - dx) << "\" y1=\"" << n(flake[1] + dy) << "\" x2=\""
          << n(flake[0] + dx) << "\" y2=\"" << n(flake[1] - dy) << "\"/>\n";
    }
  svg << "   </g>\n  </g>\n </g>\n"
      << " <rect x=\"" << n(kFrame0 + kRimWidth / 2) << "\" y=\"" << n(kFrame0 + kRimWidth / 2)
      << "\" width=\"" << n(kFrame1 - kFrame0 - kRimWidth) << "\" height=\""
      << n(kFrame1 - kFrame0 - kRimWidth) << "\" rx=\"" << n(kFrameRadius - kRimWidth / 2)
      << "\" fill=\"none\" stroke=\"" << Hex(kRim) << "\" stroke-width=\"" << n(kRimWidth)
      << "\"/>\n"
      << "</svg>\n";
  return bool(svg);
}
