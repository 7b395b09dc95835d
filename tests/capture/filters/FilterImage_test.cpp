// Tests of the run layout the filter library is packed in.
#include "capture/graph/FilterImage.h"

#include <cstring>
#include <random>

#include <gtest/gtest.h>

namespace {

std::vector<std::uint8_t> Le32(std::int32_t value) {
  const auto u = static_cast<std::uint32_t>(value);
  return {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
          static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 24)};
}

std::vector<std::uint8_t> Join(std::initializer_list<std::vector<std::uint8_t>> parts) {
  std::vector<std::uint8_t> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

}  // namespace

// Catches: packing that loses or reorders bytes at run boundaries, long repeats cut wrong, or
// repeats not used for long runs (the image growing instead of shrinking).
TEST(FilterImage, PackExpandRoundTrip) {
  std::mt19937 random(7);
  std::vector<std::vector<std::uint8_t>> cases;
  cases.push_back({});
  cases.push_back({42});
  cases.push_back(std::vector<std::uint8_t>(7, 0));  // just below a repeat
  cases.push_back(std::vector<std::uint8_t>(8, 0));  // just a repeat
  std::vector<std::uint8_t> mixed;
  for (int block = 0; block < 50; ++block) {
    const int literal = static_cast<int>(random() % 40);
    for (int i = 0; i < literal; ++i) mixed.push_back(static_cast<std::uint8_t>(random()));
    mixed.insert(mixed.end(), random() % 3000, static_cast<std::uint8_t>(random()));
  }
  cases.push_back(mixed);
  cases.push_back(std::vector<std::uint8_t>(5'000'000, 0xAB));  // one very long repeat
  for (const auto& data : cases) {
    SCOPED_TRACE(data.size());
    const std::vector<std::uint8_t> packed = PackFilterImage(data);
    std::vector<std::uint8_t> expanded;
    std::string why;
    ASSERT_TRUE(ExpandFilterImage(packed, &expanded, &why)) << why;
    EXPECT_EQ(expanded, data);
  }
  EXPECT_EQ(PackFilterImage(std::vector<std::uint8_t>(5'000'000, 0xAB)).size(), 4u + 4u + 1u);
  EXPECT_LT(PackFilterImage(mixed).size(), mixed.size() / 4);
}

// Catches: a reader that rejects valid hand-made images (repeat count 0, the stated layout).
TEST(FilterImage, ExpandsHandMadeRuns) {
  const auto image = Join({Le32(6), Le32(2), {'a', 'b'}, Le32(0), {'z'}, Le32(-4), {'c'}});
  std::vector<std::uint8_t> out;
  std::string why;
  ASSERT_TRUE(ExpandFilterImage(image, &out, &why)) << why;
  EXPECT_EQ(std::string(out.begin(), out.end()), "abcccc");
}

// Catches: truncated or hostile images read past their end, allocating what a count claims, an
// INT32_MIN repeat overflowing, or half-expanded data handed out as a library.
TEST(FilterImage, RejectsTruncatedAndHostileImages) {
  const auto valid =
      PackFilterImage(std::vector<std::uint8_t>{1, 2, 3, 4, 5, 5, 5, 5, 5, 5, 5, 5, 5, 6});
  struct Case {
    const char* what;
    std::vector<std::uint8_t> image;
  };
  std::vector<Case> cases = {
      {"empty", {}},
      {"size cut", {1, 0}},
      {"runs short of size", Join({Le32(10), Le32(2), {1, 2}})},
      {"runs past size", Join({Le32(1), Le32(2), {1, 2}})},
      {"literal cut", Join({Le32(4), Le32(4), {1, 2}})},
      {"count cut", Join({Le32(2), Le32(1), {1}, {0, 0}})},
      {"repeat byte missing", Join({Le32(3), Le32(-3)})},
      {"huge literal", Join({Le32(4), Le32(0x7FFFFFFF), {1, 2, 3, 4}})},
      {"INT32_MIN repeat", Join({Le32(4), Le32(INT32_MIN), {9}})},
      {"size above bound", Join({Le32(-1), Le32(-2000000000), {0}})},
  };
  for (std::size_t cut = 1; cut < valid.size(); ++cut)
    cases.push_back(
        {"valid image cut", std::vector<std::uint8_t>(valid.begin(), valid.begin() + cut)});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::uint8_t> out{0xEE};
    std::string why;
    EXPECT_FALSE(ExpandFilterImage(c.image, &out, &why));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(why.empty());
  }
}
