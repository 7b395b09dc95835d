#include "platform/media/virtual/TouchScene.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Narrows [lo, hi] to the x where low <= (x - ax) * coef + k <= high.
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

// Fills the capsule around segment a-b of the given radius with one colour. The capsule is
// convex, so each row is one span: the union of the rows of its two end discs and its band,
// filled without a test per pixel.
void FillStroke(std::uint32_t* pixels, std::ptrdiff_t stride, int width, int height, float ax,
                float ay, float bx, float by, float radius, std::uint32_t colour) {
  const int y0 = std::max(0, static_cast<int>(std::floor(std::min(ay, by) - radius)));
  const int y1 = std::min(height - 1, static_cast<int>(std::ceil(std::max(ay, by) + radius)));
  const float dx = bx - ax;
  const float dy = by - ay;
  const float len = std::sqrt(dx * dx + dy * dy);
  const float ux = len > 0 ? dx / len : 1.0f;
  const float uy = len > 0 ? dy / len : 0.0f;
  for (int y = y0; y <= y1; ++y) {
    const float py = static_cast<float>(y) + 0.5f;
    float lo = 1e9f;
    float hi = -1e9f;
    for (const auto& [cx, cy] : {std::pair{ax, ay}, std::pair{bx, by}}) {
      const float d = py - cy;
      if (std::fabs(d) <= radius) {
        const float s = std::sqrt(radius * radius - d * d);
        lo = std::min(lo, cx - s);
        hi = std::max(hi, cx + s);
      }
    }
    if (len > 0) {
      float blo = -1e9f;
      float bhi = 1e9f;
      Constrain(ux, (py - ay) * uy, 0.0f, len, ax, blo, bhi);
      Constrain(uy, -(py - ay) * ux, -radius, radius, ax, blo, bhi);
      if (blo <= bhi) {
        lo = std::min(lo, blo);
        hi = std::max(hi, bhi);
      }
    }
    // Pixels whose centre lies in [lo, hi].
    const int x0 = std::max(0, static_cast<int>(std::ceil(lo - 0.5f)));
    const int x1 = std::min(width - 1, static_cast<int>(std::floor(hi - 0.5f)));
    if (x0 > x1) continue;
    std::uint32_t* row = pixels + y * stride;
    std::fill(row + x0, row + x1 + 1, colour);
  }
}

}  // namespace

TouchScene::TouchScene(TouchInput& input) : input_(input), cursor_(input.Cursor()) {}

std::uint32_t TouchScene::BackgroundAt(int x, int y, int width, int height) {
  // A soft dusk from grey blue at the top to a warmer grey below, with a faint glow at the
  // left. Every gray level stays below the engine's clean mark (100), so the first frame, which
  // the engine compares with black, leaves the window iced; both stroke colours stand out
  // from it by far more than the default sensitivity needs.
  const float v = height > 1 ? static_cast<float>(y) / static_cast<float>(height - 1) : 0.0f;
  const float u = width > 1 ? static_cast<float>(x) / static_cast<float>(width - 1) : 0.0f;
  const float glow = 4.0f * (1.0f - u) * (1.0f - u);
  const auto c = [](float value) {
    return static_cast<std::uint32_t>(std::clamp(value, 0.0f, 255.0f));
  };
  const std::uint32_t r = c(68.0f + 20.0f * v + glow);
  const std::uint32_t g = c(80.0f + 8.0f * v + glow);
  const std::uint32_t b = c(104.0f - 16.0f * v + glow);
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

void TouchScene::DrawBackground(int width, int height) {
  background_.resize(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      background_[static_cast<std::size_t>(y) * width + x] = BackgroundAt(x, y, width, height);
  backgroundWidth_ = width;
  backgroundHeight_ = height;
}

void TouchScene::TakeInput() {
  fresh_.clear();
  input_.Read(&cursor_, &fresh_);
  const auto now = std::chrono::steady_clock::now();
  std::vector<Stroke> added;
  for (const TouchPoint& p : fresh_) {
    const float radius = std::clamp(p.radius, 0.002f, 0.25f);
    const bool stale = now - p.time > kStale;
    auto last = last_.find(p.pointer);
    if (p.phase == TouchPoint::Phase::Press || last == last_.end()) {
      // A press lands the brush where the hand arrives; a move whose press was lost starts a
      // path there too.
      if (!stale && p.phase != TouchPoint::Phase::Release)
        added.push_back({p.x, p.y, p.x, p.y, radius, 0});
    } else if (!stale) {
      const float dx = p.x - last->second.x;
      const float dy = p.y - last->second.y;
      // Moves shorter than a fifth of the brush join the next one, so a fine-grained device
      // gives as many strokes as a coarse one.
      if (p.phase == TouchPoint::Phase::Move && dx * dx + dy * dy < radius * radius / 25) continue;
      added.push_back({last->second.x, last->second.y, p.x, p.y, radius, 0});
    }
    if (p.phase == TouchPoint::Phase::Release)
      last_.erase(p.pointer);
    else
      last_[p.pointer] = p;
  }
  if (added.size() > kMaxNewStrokes)
    added.erase(added.begin(), added.end() - static_cast<std::ptrdiff_t>(kMaxNewStrokes));
  std::erase_if(strokes_, [](Stroke& s) { return ++s.age >= kLife; });
  strokes_.insert(strokes_.end(), added.begin(), added.end());
}

void TouchScene::RenderRows(std::int64_t, int width, int height, std::uint32_t* pixels,
                            std::ptrdiff_t stride) {
  if (width <= 0 || height <= 0) return;
  TakeInput();
  if (width != backgroundWidth_ || height != backgroundHeight_) DrawBackground(width, height);
  for (int y = 0; y < height; ++y)
    std::memcpy(pixels + y * stride, background_.data() + static_cast<std::ptrdiff_t>(y) * width,
                static_cast<std::size_t>(width) * sizeof(std::uint32_t));
  const std::uint32_t colour = frames_++ % 2 == 0 ? kBright : kDark;
  const float w = static_cast<float>(width);
  const float h = static_cast<float>(height);
  for (const Stroke& s : strokes_)
    FillStroke(pixels, stride, width, height, s.ax * w, s.ay * h, s.bx * w, s.by * h, s.radius * w,
               colour);
}
