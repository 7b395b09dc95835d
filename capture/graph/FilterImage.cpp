#include "capture/graph/FilterImage.h"

#include <algorithm>

namespace {

void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8)
    out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::uint32_t GetLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Length of the run of equal bytes starting at from, capped at the largest repeat count.
std::size_t EqualRun(std::span<const std::uint8_t> data, std::size_t from) {
  constexpr std::size_t kMaxRun = 0x7FFFFFFF;
  std::size_t end = from + 1;
  while (end < data.size() && data[end] == data[from] && end - from < kMaxRun) ++end;
  return end - from;
}

bool Fail(std::vector<std::uint8_t>* out, std::string* why, const char* reason) {
  out->clear();
  if (why) *why = reason;
  return false;
}

}  // namespace

std::vector<std::uint8_t> PackFilterImage(std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> out;
  out.reserve(data.size() / 2 + 16);
  PutLe32(out, static_cast<std::uint32_t>(data.size()));
  std::size_t literalStart = 0;
  auto flushLiteral = [&](std::size_t end) {
    if (end > literalStart) {
      PutLe32(out, static_cast<std::uint32_t>(end - literalStart));
      out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(literalStart),
                 data.begin() + static_cast<std::ptrdiff_t>(end));
    }
  };
  std::size_t pos = 0;
  while (pos < data.size()) {
    const std::size_t run = EqualRun(data, pos);
    if (run < kMinRepeatRun) {
      pos += run;
      continue;
    }
    flushLiteral(pos);
    PutLe32(out, static_cast<std::uint32_t>(-static_cast<std::int64_t>(run)));
    out.push_back(data[pos]);
    pos += run;
    literalStart = pos;
  }
  flushLiteral(pos);
  return out;
}

bool ExpandFilterImage(std::span<const std::uint8_t> image, std::vector<std::uint8_t>* out,
                       std::string* why) {
  out->clear();
  if (image.size() < 4) return Fail(out, why, "image shorter than its size field");
  const std::size_t total = GetLe32(image.data());
  if (total > kMaxFilterImageBytes) return Fail(out, why, "stated size too large");
  // Grown as runs prove the size, so a small hostile image cannot make us reserve the bound.
  out->reserve(std::min(total, image.size() * 4));
  std::size_t pos = 4;
  while (pos < image.size()) {
    if (image.size() - pos < 4) return Fail(out, why, "run count cut off");
    const auto count = static_cast<std::int32_t>(GetLe32(image.data() + pos));
    pos += 4;
    const std::size_t room = total - out->size();
    if (count >= 1) {
      const auto length = static_cast<std::size_t>(count);
      if (image.size() - pos < length) return Fail(out, why, "literal run cut off");
      if (length > room) return Fail(out, why, "runs exceed the stated size");
      out->insert(out->end(), image.begin() + static_cast<std::ptrdiff_t>(pos),
                  image.begin() + static_cast<std::ptrdiff_t>(pos + length));
      pos += length;
    } else {
      if (pos >= image.size()) return Fail(out, why, "repeat byte cut off");
      // -count as 64 bits: -INT32_MIN does not fit 32.
      const auto length = static_cast<std::size_t>(-static_cast<std::int64_t>(count));
      if (length > room) return Fail(out, why, "runs exceed the stated size");
      out->insert(out->end(), length, image[pos]);
      ++pos;
    }
  }
  if (out->size() != total) return Fail(out, why, "runs fall short of the stated size");
  return true;
}
