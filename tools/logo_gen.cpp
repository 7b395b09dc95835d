// logo_gen: renders the Frostwipe logo shown in the about dialog.
//
//   logo_gen [--ppm <preview-file>] <output-file>
//   logo_gen --icon-png <icon.png> [--icon-svg <icon.svg>]
//
// Writes a 200x69, 16-colour (4 bits per pixel), bottom-up DIB without the
// BITMAPFILEHEADER. The word "Frostwipe" is drawn from hand-made block glyphs
// as frosted ice letters, with snowflakes and a sun peeking in from a corner.
// The dialog keys transparency on the bottom-left pixel, so the background
// uses a palette entry that nothing else uses. With --ppm, a top-down binary
// PPM preview is written too. Only integer arithmetic is used, so the output
// is identical on every platform.
//
// With --icon-png and --icon-svg, the application icon is written instead (logo_icon.cpp).

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/logo_icon.h"

namespace {

constexpr int W = 200;
constexpr int H = 69;

// Palette indices.
enum : uint8_t {
  BG,        // transparent key colour, used for nothing else
  OUTLINE,   // dark navy rim around the letters
  DEEP,      // shaded ice
  ICE,       // main ice
  LIGHT,     // lit ice
  FROST,     // pale frost highlight
  SNOW,      // white snow and sparkles
  SUN_RIM,   // orange
  SUN,       // yellow
  SUN_GLOW,  // pale yellow
  FLAKE,     // blue-grey snowflake arms
  SHADOW,    // soft drop shadow
  RAY,       // sun rays
  FACE,      // sun's eyes and smile; the last two entries are unused
};

constexpr std::array<std::array<uint8_t, 3>, 16> PALETTE = {{
    {192, 192, 192},
    {22, 38, 92},
    {44, 98, 178},
    {86, 156, 226},
    {150, 204, 246},
    {212, 238, 255},
    {255, 255, 255},
    {240, 136, 28},
    {255, 212, 40},
    {255, 240, 150},
    {112, 146, 200},
    {156, 160, 176},
    {252, 186, 52},
    {150, 70, 20},
    {0, 0, 0},
    {128, 128, 128},
}};

// Glyph rows: 0-2 ascender, 3-10 x-height, 11-12 descender. Each '#' is a
// CELL x CELL block of ice; '|' separates letters.
constexpr int ROWS = 13;
constexpr int CELL = 3;
constexpr const char* WORD[ROWS] = {
    "######|.....|......|......|.....|..........|##|......|......",
    "######|.....|......|......|##...|..........|##|......|......",
    "##....|.....|......|......|##...|..........|..|......|......",
    "##....|##.##|.####.|.#####|#####|##......##|##|#####.|.####.",
    "#####.|#####|######|######|#####|##......##|##|######|######",
    "#####.|###..|##..##|##....|##...|##..##..##|##|##..##|##..##",
    "##....|##...|##..##|#####.|##...|##..##..##|##|##..##|######",
    "##....|##...|##..##|.#####|##...|##..##..##|##|##..##|######",
    "##....|##...|##..##|....##|##...|##..##..##|##|##..##|##....",
    "##....|##...|######|######|#####|##########|##|######|######",
    "##....|##...|.####.|#####.|.####|.###..###.|##|#####.|.#####",
    "......|.....|......|......|.....|..........|..|##....|......",
    "......|.....|......|......|.....|..........|..|##....|......",
};
// Small vertical offsets give the word a hand-made bounce.
constexpr int BOUNCE[] = {0, 1, 0, -1, 0, 1, -1, 0, 1};
constexpr int TEXT_X = 7;
constexpr int TEXT_Y = 12;
constexpr int TEXT_H = ROWS * CELL;

struct Canvas {
  std::vector<uint8_t> px = std::vector<uint8_t>(size_t(W) * H, BG);
  uint8_t get(int x, int y) const { return inside(x, y) ? px[size_t(y) * W + x] : uint8_t(BG); }
  void set(int x, int y, uint8_t c) {
    if (inside(x, y)) px[size_t(y) * W + x] = c;
  }
  static bool inside(int x, int y) { return x >= 0 && y >= 0 && x < W && y < H; }
};

struct Mask {
  std::vector<uint8_t> m = std::vector<uint8_t>(size_t(W) * H, 0);
  bool operator()(int x, int y) const { return Canvas::inside(x, y) && m[size_t(y) * W + x]; }
  void set(int x, int y) {
    if (Canvas::inside(x, y)) m[size_t(y) * W + x] = 1;
  }
};

uint32_t hash(uint32_t v) {
  v ^= v >> 16;
  v *= 0x7feb352dU;
  v ^= v >> 15;
  v *= 0x846ca68bU;
  return v ^ (v >> 16);
}

// Rasterises the glyph cells, trimming the outer pixel of convex corners so
// the blocks read as rounded, friendly shapes.
Mask letterMask() {
  Mask mask;
  std::string rows[ROWS];
  for (int r = 0; r < ROWS; ++r) rows[r] = WORD[r];
  const int cols = int(rows[0].size());
  auto filled = [&](int r, int c) {
    return r >= 0 && r < ROWS && c >= 0 && c < cols && rows[r][size_t(c)] == '#';
  };
  int x0 = TEXT_X, letter = 0;
  for (int c = 0; c < cols; ++c) {
    if (rows[0][size_t(c)] == '|') {
      ++letter;
      x0 += CELL;  // one empty cell between letters
      continue;
    }
    for (int r = 0; r < ROWS; ++r) {
      if (!filled(r, c)) continue;
      const int bx = x0, by = TEXT_Y + r * CELL + BOUNCE[letter];
      for (int dy = 0; dy < CELL; ++dy)
        for (int dx = 0; dx < CELL; ++dx) {
          const int sx = dx == 0 ? -1 : (dx == CELL - 1 ? 1 : 0);
          const int sy = dy == 0 ? -1 : (dy == CELL - 1 ? 1 : 0);
          if (sx && sy && !filled(r, c + sx) && !filled(r + sy, c)) continue;
          mask.set(bx + dx, by + dy);
        }
    }
    x0 += CELL;
  }
  return mask;
}

bool nearMask(const Mask& m, int x, int y, int radius) {
  for (int dy = -radius; dy <= radius; ++dy)
    for (int dx = -radius; dx <= radius; ++dx)
      if (m(x + dx, y + dy)) return true;
  return false;
}

// A smiling sun peeking in from the top-right corner: summer behind the ice.
void drawSun(Canvas& cv) {
  constexpr int CX = 190, CY = 6, R = 12;
  // Ray directions as integer vectors fanning out of the corner; long and
  // short rays alternate.
  constexpr int RAYS[][2] = {{-16, 0}, {-15, 6}, {-11, 11}, {-6, 15}, {0, 16},
                             {6, 15},  {11, 11}, {-15, -6}, {15, 6}};
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const int dx = x - CX, dy = y - CY;
      const int d2 = dx * dx + dy * dy;
      if (d2 <= R * R) {
        uint8_t c = SUN;
        if (d2 > (R - 2) * (R - 2))
          c = SUN_RIM;
        else if ((dx + 3) * (dx + 3) + (dy + 3) * (dy + 3) <= 10)
          c = SUN_GLOW;
        cv.set(x, y, c);
        continue;
      }
      for (size_t i = 0; i < std::size(RAYS); ++i) {
        const int vx = RAYS[i][0], vy = RAYS[i][1];
        const int len2 = vx * vx + vy * vy;
        const int along = dx * vx + dy * vy;   // projection * |v|
        const int across = dx * vy - dy * vx;  // distance * |v|
        const int reach = i % 2 ? 20 * 20 : 25 * 25;
        const int width = d2 <= 15 * 15 ? 5 : (d2 <= 19 * 19 ? 3 : 1);  // tapering
        if (along > 0 && d2 <= reach && across * across * 4 <= len2 * width * width)
          cv.set(x, y, RAY);
      }
    }
  // Eyes and smile.
  for (int x : {CX - 6, CX - 5, CX + 1, CX + 2})
    for (int y : {CY + 1, CY + 2}) cv.set(x, y, FACE);
  for (int x = CX - 6; x <= CX + 2; ++x) {
    const int off = x - (CX - 2);
    cv.set(x, CY + 7 - (off * off >= 9 ? 1 : 0) - (off * off >= 16 ? 1 : 0), FACE);
  }
}

constexpr int BAYER[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

void drawLetters(Canvas& cv, const Mask& m) {
  // Drop shadow, then the dark outline, then the ice itself.
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      if (!nearMask(m, x, y, 1) && nearMask(m, x - 2, y - 2, 1)) cv.set(x, y, SHADOW);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      if (!m(x, y) && nearMask(m, x, y, 1)) cv.set(x, y, OUTLINE);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      if (!m(x, y)) continue;
      // Snow settles on every upward-facing edge, deeper in a few columns.
      const uint32_t h = hash(uint32_t(x) * 7919u);
      const int depth = 2 + (h % 5 == 0 ? 2 : (h % 3 == 0 ? 1 : 0));
      int above = 0;
      while (above < depth && m(x, y - above - 1)) ++above;
      uint8_t c;
      if (above < depth) {
        c = above + 1 == depth && above > 0 ? FROST : SNOW;
      } else if (!m(x - 1, y)) {
        c = FROST;
      } else if (!m(x, y + 1) || !m(x + 1, y)) {
        c = DEEP;
      } else {
        // Dithered gradient from lit ice at the top to deep ice at the bottom.
        const int p = (y - TEXT_Y) * 40 / TEXT_H;  // 0..40 across the word
        const int level = p / 16, frac = p % 16;
        const uint8_t shades[] = {LIGHT, ICE, DEEP, DEEP};
        c = shades[level + (frac > BAYER[y & 3][x & 3] ? 1 : 0)];
      }
      // A diagonal glint across the ice.
      if (c != SNOW && (x + y) % 29 == 0 && m(x - 1, y - 1)) c = FROST;
      cv.set(x, y, c);
    }
}

// Icicles hang from some downward-facing ice edges.
void drawIcicles(Canvas& cv, const Mask& m) {
  int lastX = -10;
  for (int x = 1; x < W - 1; ++x)
    for (int y = 0; y < H - 1; ++y) {
      if (!(m(x, y) && m(x - 1, y) && m(x + 1, y)) || x - lastX < 6 ||
          hash(uint32_t(x * 131 + y)) % 3 != 0)
        continue;
      // Only hang into open air, never into a letter's counter.
      const int len = 3 + int(hash(uint32_t(x + y * 977)) % 3);
      bool clear = true;
      for (int i = 1; i <= len + 3 && clear; ++i)
        clear = !m(x - 1, y + i) && !m(x, y + i) && !m(x + 1, y + i);
      if (!clear) continue;
      for (int i = 1; i <= len; ++i) {
        cv.set(x, y + i, i + 1 < len ? LIGHT : FROST);
        if (i < len - 1) cv.set(x - 1, y + i, i == 1 ? ICE : OUTLINE);
        if (i < len - 1) cv.set(x + 1, y + i, i == 1 ? DEEP : OUTLINE);
      }
      cv.set(x, y + len + 1, OUTLINE);
      lastX = x;
    }
}

// Stamps a small pattern onto background pixels only.
void stamp(Canvas& cv, int cx, int cy, const char* const* rows, int n, bool onIce = false) {
  for (int r = 0; r < n; ++r)
    for (int c = 0; rows[r][c]; ++c) {
      const int x = cx + c - int(std::string(rows[r]).size()) / 2, y = cy + r - n / 2;
      const char ch = rows[r][c];
      const uint8_t under = cv.get(x, y);
      if (ch == '.' || (onIce ? under < DEEP || under > LIGHT : under != BG) ||
          (x == 0 && y == H - 1))
        continue;
      cv.set(x, y, ch == 'o' ? SNOW : (ch == '+' ? FROST : FLAKE));
    }
}

void drawSnow(Canvas& cv) {
  static const char* const FLAKE_BIG[] = {
      "....#....", ".#..#..#.", "..#.+.#..", "...+o+...", "##+ooo+##",
      "...+o+...", "..#.+.#..", ".#..#..#.", "....#....",
  };
  static const char* const FLAKE_SMALL[] = {
      "#.#.#", ".+o+.", "#ooo#", ".+o+.", "#.#.#",
  };
  static const char* const SPARKLE[] = {
      "..+..", "..o..", "+ooo+", "..o..", "..+..",
  };
  stamp(cv, 76, 6, FLAKE_BIG, 9);
  stamp(cv, 146, 7, FLAKE_BIG, 9);
  stamp(cv, 24, 60, FLAKE_BIG, 9);
  stamp(cv, 118, 61, FLAKE_BIG, 9);
  stamp(cv, 41, 5, FLAKE_SMALL, 5);
  stamp(cv, 110, 10, FLAKE_SMALL, 5);
  stamp(cv, 70, 62, FLAKE_SMALL, 5);
  stamp(cv, 168, 62, FLAKE_SMALL, 5);
  stamp(cv, 56, 12, SPARKLE, 5);
  stamp(cv, 128, 4, SPARKLE, 5);
  stamp(cv, 95, 59, SPARKLE, 5);
  stamp(cv, 150, 58, SPARKLE, 5);
  stamp(cv, 192, 36, SPARKLE, 5);
  // Glints twinkling on the ice itself.
  stamp(cv, 11, 33, SPARKLE, 5, true);
  stamp(cv, 164, 34, SPARKLE, 5, true);
}

void put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v & 0xffff);
  put16(out, v >> 16);
}

std::vector<uint8_t> encodeDib(const Canvas& cv) {
  constexpr uint32_t ROW_BYTES = ((W * 4 + 31) / 32) * 4;
  std::vector<uint8_t> out;
  put32(out, 40);
  put32(out, W);
  put32(out, H);
  put16(out, 1);
  put16(out, 4);
  put32(out, 0);
  put32(out, ROW_BYTES * H);
  put32(out, 3779);
  put32(out, 3779);
  put32(out, 16);
  put32(out, 0);
  for (const auto& c : PALETTE) out.insert(out.end(), {c[2], c[1], c[0], 0});
  for (int y = H - 1; y >= 0; --y) {
    std::vector<uint8_t> row(ROW_BYTES, 0);
    for (int x = 0; x < W; ++x) row[size_t(x) / 2] |= uint8_t(cv.get(x, y) << (x % 2 ? 0 : 4));
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& data) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
  return bool(f);
}

}  // namespace

int main(int argc, char** argv) {
  std::string out, ppm, iconPng, iconSvg;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--ppm" && i + 1 < argc)
      ppm = argv[++i];
    else if (a == "--icon-png" && i + 1 < argc)
      iconPng = argv[++i];
    else if (a == "--icon-svg" && i + 1 < argc)
      iconSvg = argv[++i];
    else if (out.empty() && !a.empty() && a[0] != '-')
      out = a;
    else
      out.clear(), i = argc;
  }
  const bool icon = !iconPng.empty() || !iconSvg.empty();
  if (icon && out.empty() && ppm.empty()) {
    if (!iconPng.empty() && !WriteIconPng(iconPng))
      return std::fprintf(stderr, "cannot write %s\n", iconPng.c_str()), 1;
    if (!iconSvg.empty() && !WriteIconSvg(iconSvg))
      return std::fprintf(stderr, "cannot write %s\n", iconSvg.c_str()), 1;
    return 0;
  }
  if (icon) out.clear();  // the logo and the icon are written by separate runs
  if (out.empty()) {
    std::fprintf(stderr,
                 "usage: %s [--ppm <preview-file>] <output-file>\n"
                 "       %s --icon-png <icon.png> [--icon-svg <icon.svg>]\n",
                 argv[0], argv[0]);
    return 2;
  }
  Canvas cv;
  drawSun(cv);
  const Mask letters = letterMask();
  drawLetters(cv, letters);
  drawIcicles(cv, letters);
  drawSnow(cv);

  // The background colour is the transparency key: it must sit in the
  // bottom-left corner and appear nowhere else in the palette.
  for (size_t i = 1; i < PALETTE.size(); ++i)
    if (PALETTE[i] == PALETTE[BG]) return std::fprintf(stderr, "palette clash\n"), 1;
  if (cv.get(0, H - 1) != BG) return std::fprintf(stderr, "corner is not background\n"), 1;

  if (!writeFile(out, encodeDib(cv))) {
    std::fprintf(stderr, "cannot write %s\n", out.c_str());
    return 1;
  }
  if (!ppm.empty()) {
    std::string header = "P6\n" + std::to_string(W) + " " + std::to_string(H) + "\n255\n";
    std::vector<uint8_t> img(header.begin(), header.end());
    for (uint8_t c : cv.px) img.insert(img.end(), PALETTE[c].begin(), PALETTE[c].end());
    if (!writeFile(ppm, img)) {
      std::fprintf(stderr, "cannot write %s\n", ppm.c_str());
      return 1;
    }
  }
  return 0;
}
