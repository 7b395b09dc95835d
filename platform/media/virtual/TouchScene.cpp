#include "platform/media/virtual/TouchScene.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Fills the capsule around segment a-b of the given radius with one colour. Each row visits
// only the span the segment's points within reach of the row can cover.
void FillStroke(std::uint32_t* pixels, int width, int height, float ax, float ay, float bx,
                float by, float radius, std::uint32_t colour) {
  const float r2 = radius * radius;
  const int y0 = std::max(0, static_cast<int>(std::floor(std::min(ay, by) - radius)));
  const int y1 = std::min(height - 1, static_cast<int>(std::ceil(std::max(ay, by) + radius)));
  const float dx = bx - ax;
  const float dy = by - ay;
  const float len2 = dx * dx + dy * dy;
  for (int y = y0; y <= y1; ++y) {
    const float py = static_cast<float>(y) + 0.5f;
    // The part of the segment within radius of this row, as a range of t.
    float t0 = 0.0f;
    float t1 = 1.0f;
    if (std::fabs(dy) > 1e-6f) {
      t0 = std::max(0.0f, std::min((py - radius - ay) / dy, (py + radius - ay) / dy));
      t1 = std::min(1.0f, std::max((py - radius - ay) / dy, (py + radius - ay) / dy));
      if (t0 > t1) continue;
    }
    const float xa = ax + t0 * dx;
    const float xb = ax + t1 * dx;
    const int x0 = std::max(0, static_cast<int>(std::floor(std::min(xa, xb) - radius)));
    const int x1 = std::min(width - 1, static_cast<int>(std::ceil(std::max(xa, xb) + radius)));
    std::uint32_t* row = pixels + static_cast<std::ptrdiff_t>(y) * width;
    for (int x = x0; x <= x1; ++x) {
      const float px = static_cast<float>(x) + 0.5f;
      float t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0.0f;
      t = std::clamp(t, 0.0f, 1.0f);
      const float ox = px - (ax + t * dx);
      const float oy = py - (ay + t * dy);
      if (ox * ox + oy * oy <= r2) row[x] = colour;
    }
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

void TouchScene::Render(std::int64_t, int width, int height, std::uint32_t* pixels) {
  if (width <= 0 || height <= 0) return;
  TakeInput();
  if (width != backgroundWidth_ || height != backgroundHeight_) DrawBackground(width, height);
  std::memcpy(pixels, background_.data(), background_.size() * sizeof(std::uint32_t));
  const std::uint32_t colour = frames_++ % 2 == 0 ? kBright : kDark;
  const float w = static_cast<float>(width);
  const float h = static_cast<float>(height);
  for (const Stroke& s : strokes_)
    FillStroke(pixels, width, height, s.ax * w, s.ay * h, s.bx * w, s.by * h, s.radius * w, colour);
}
