#include "game/CleaningWalk.h"

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "GameTestSupport.h"

namespace {

// The rules written out pixel by pixel, rows outer and columns inner, the order the vector
// paths do not follow: what every path must reproduce bit for bit.
struct ReferenceWalk {
  int width, height, freezeStep, motionThreshold;
  std::vector<std::int32_t> gray, previous, clean;
  std::vector<std::uint8_t> work;
  std::ptrdiff_t workStride;

  int Run(const std::uint8_t* frameTop, std::ptrdiff_t frameStride, int bytesPerPixel = 3) {
    int iced = 0;
    for (int y = 0; y < height; ++y) {
      const std::uint8_t* framePixel = frameTop + y * frameStride;
      std::uint8_t* workPixel = work.data() + y * workStride;
      for (int x = 0; x < width; ++x, framePixel += bytesPerPixel, workPixel += 3) {
        const int i = height * x + y;
        gray[i] = (framePixel[2] + framePixel[1] + framePixel[0]) / 3;
        const int difference = std::abs(gray[i] - previous[i]);
        if (clean[i] > freezeStep) clean[i] -= freezeStep;
        if (difference > motionThreshold) {
          clean[i] += difference;
          if (clean[i] > 255) clean[i] = 255;
        }
        previous[i] = gray[i];
        if (clean[i] < 100) {
          ++iced;
          workPixel[0] = workPixel[1] = workPixel[2] = 0;
        }
      }
    }
    return iced;
  }
};

const char* PathName(TWalkPath path) {
  switch (path) {
    case TWalkPath::Automatic:
      return "Automatic";
    case TWalkPath::Scalar:
      return "Scalar";
    case TWalkPath::Sse2:
      return "Sse2";
    case TWalkPath::Avx2:
      return "Avx2";
  }
  return "?";
}

}  // namespace

// Names the path in test failures.
void PrintTo(TWalkPath path, std::ostream* os) {
  *os << PathName(path);
}

namespace {

class CleaningWalkTest : public testing::TestWithParam<TWalkPath> {
 protected:
  void SetUp() override {
    if (!WalkPathAvailable(GetParam()))
      GTEST_SKIP() << PathName(GetParam()) << " is not available on this processor; the "
                   << "paths it has are compared here";
  }
};

// A level near one of the rules' edges, or anywhere in range.
int EdgeLevel(std::mt19937& random, int freezeStep) {
  const int edges[] = {0, 1, 99, 100, 101, 254, 255, freezeStep - 1, freezeStep, freezeStep + 1};
  if (random() % 2) return static_cast<int>(random() % 256);
  return std::clamp(edges[random() % std::size(edges)], 0, 255);
}

}  // namespace

// Catches: a vector path that differs from the rules in any level, count or blacked-out byte:
// lanes out of order in a transpose, a tile edge or tail walked twice or not at all, reads or
// writes past a row (padding bytes) or past the last pixel (sanitizer builds), a division by 3
// off for some byte sums, the threshold, decay or ceiling compared with the wrong strictness,
// the fourth byte of a 4-byte frame pixel read.
TEST_P(CleaningWalkTest, MatchesTheReferenceWalkOnRandomFrames) {
  const std::pair<int, int> sizes[] = {{1, 1},  {3, 2},  {4, 4},     {5, 7},    {8, 8},
                                       {9, 17}, {13, 8}, {16, 15},   {31, 33},  {64, 48},
                                       {7, 40}, {41, 3}, {320, 240}, {321, 239}};
  const int freezeSteps[] = {0, 1, 5, 100};
  const int thresholds[] = {0, 20, 255};
  unsigned seed = 1;
  for (int bytesPerPixel : {3, 4})
    for (const auto& [width, height] : sizes)
      for (int freezeStep : freezeSteps)
        for (int threshold : thresholds) {
          SCOPED_TRACE(testing::Message()
                       << bytesPerPixel << " bytes " << width << "x" << height << " freeze "
                       << freezeStep << " threshold " << threshold << " seed " << seed);
          std::mt19937 random(seed++);
          const int pixels = width * height;
          // Rows padded by 0 to 7 bytes, and no byte after the last pixel, so a walk that leaves
          // its pixels writes padding (compared below) or leaves the buffer (sanitizers).
          const std::ptrdiff_t frameRow = bytesPerPixel * width;
          const std::ptrdiff_t frameStride = frameRow + random() % 8;
          const std::ptrdiff_t workStride = 3 * width + random() % 8;
          std::vector<std::uint8_t> frame(frameStride * (height - 1) + frameRow);
          ReferenceWalk expected{width, height, freezeStep, threshold, {}, {}, {}, {}, workStride};
          expected.gray.assign(pixels, -1);
          expected.previous.resize(pixels);
          expected.clean.resize(pixels);
          expected.work.resize(workStride * (height - 1) + 3 * width);
          for (int i = 0; i < pixels; ++i) {
            expected.previous[i] = static_cast<int>(random() % 256);
            expected.clean[i] = EdgeLevel(random, freezeStep);
          }
          for (auto& byte : expected.work) byte = static_cast<std::uint8_t>(random() | 1);
          std::vector<std::int32_t> gray = expected.gray, previous = expected.previous,
                                    clean = expected.clean;
          std::vector<std::uint8_t> work = expected.work;

          for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(round);
            // Half the pixels gray at a change of exactly the threshold, one more, or none from
            // the previous level; the others any bytes (sums 0 to 765).
            for (int y = 0; y < height; ++y)
              for (int x = 0; x < width; ++x) {
                std::uint8_t* p = frame.data() + y * frameStride + bytesPerPixel * x;
                if (bytesPerPixel == 4) p[3] = static_cast<std::uint8_t>(random());
                if (random() % 2) {
                  for (int k = 0; k < 3; ++k) p[k] = static_cast<std::uint8_t>(random());
                  continue;
                }
                const int steps[] = {0, threshold, -threshold, threshold + 1, -threshold - 1};
                const int level =
                    std::clamp(expected.previous[height * x + y] + steps[random() % 5], 0, 255);
                p[0] = p[1] = p[2] = static_cast<std::uint8_t>(level);
              }
            const int expectedIced = expected.Run(frame.data(), frameStride, bytesPerPixel);

            TCleaningWalk walk;
            walk.width = width;
            walk.height = height;
            walk.freezeStep = freezeStep;
            walk.motionThreshold = threshold;
            walk.gray = gray.data();
            walk.previous = previous.data();
            walk.clean = clean.data();
            walk.frameTop = frame.data();
            walk.frameStride = frameStride;
            walk.frameBytesPerPixel = bytesPerPixel;
            walk.workTop = work.data();
            walk.workStride = workStride;
            ASSERT_EQ(WalkPixels(walk, GetParam()), expectedIced);
            ASSERT_EQ(gray, expected.gray);
            ASSERT_EQ(previous, expected.previous);
            ASSERT_EQ(clean, expected.clean);
            ASSERT_EQ(work, expected.work);
          }
        }
}

INSTANTIATE_TEST_SUITE_P(Paths, CleaningWalkTest,
                         testing::Values(TWalkPath::Scalar, TWalkPath::Sse2, TWalkPath::Avx2),
                         [](const testing::TestParamInfo<TWalkPath>& info) {
                           return std::string(PathName(info.param));
                         });

// Catches: the engine's automatic choice falling back to a slower path than the processor has,
// or picking one it does not have.
TEST(CleaningWalkChoice, AutomaticIsTheWidestAvailablePath) {
  const TWalkPath fastest = FastestWalkPath();
  EXPECT_TRUE(WalkPathAvailable(fastest));
  if (WalkPathAvailable(TWalkPath::Avx2)) {
    EXPECT_EQ(fastest, TWalkPath::Avx2);
  } else if (WalkPathAvailable(TWalkPath::Sse2)) {
    EXPECT_EQ(fastest, TWalkPath::Sse2);
  }
}

namespace {

class EngineWalkTest : public GameTest, public testing::WithParamInterface<TWalkPath> {
 protected:
  void SetUp() override {
    if (!WalkPathAvailable(GetParam()))
      GTEST_SKIP() << PathName(GetParam()) << " is not available on this processor";
    GameTest::SetUp();
    form->WalkPath = GetParam();
  }
};

}  // namespace

// Catches: the engine walking a 16-, 24- or 32-bit frame otherwise than its 24-bit copy reads
// (strides, sizes, bytes per pixel, the fourth byte of a 32-bit frame read in place), or its
// results (levels, iced count, percentage, black-outs) departing from the rules on the path in
// use.
TEST_P(EngineWalkTest, FramesOfEveryDepthGiveTheReferenceResults) {
  const std::pair<int, int> sizes[] = {{320, 240}, {37, 29}};
  std::mt19937 random(7);
  for (const auto& [width, height] : sizes) {
    form->SizeGameBuffers(width, height);
    form->FreezeStep = 5;
    form->MotionThreshold = 20;
    for (TPixelFormat format : {pf24bit, pf32bit, pf16bit, pf24bit}) {
      SCOPED_TRACE(testing::Message() << width << "x" << height << " depth " << format);
      const int pixels = width * height;
      ReferenceWalk expected{width, height, form->FreezeStep, form->MotionThreshold, {}, {}, {},
                             {},    0};
      expected.gray.resize(pixels);
      expected.previous.assign(form->PreviousGrayLevels.get(),
                               form->PreviousGrayLevels.get() + pixels);
      expected.clean.assign(form->CleanLevels.get(), form->CleanLevels.get() + pixels);
      // Blocks of 3 x 5 pixels share a colour, so some stay still and some move.
      const auto frame = MakeFrame(width, height, format, [&](int x, int y) {
        const unsigned v = static_cast<unsigned>((x / 3) * 7919 + (y / 5) * 104729) ^ random();
        return std::array<int, 3>{int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF)};
      });
      Deliver(*frame);

      TBitmap copy;
      copy.Assign(*frame);
      copy.SetPixelFormat(pf24bit);
      TBitmap summer;
      summer.Assign(*SummerBitmap);
      expected.workStride = summer.BytesPerLine();
      const std::uint8_t* top = summer.ScanLine(0);
      expected.work.assign(top, top + expected.workStride * height);
      const int iced = expected.Run(copy.ScanLine(0), copy.BytesPerLine());

      EXPECT_TRUE(std::equal(expected.gray.begin(), expected.gray.end(), form->GrayLevels.get()));
      EXPECT_TRUE(
          std::equal(expected.clean.begin(), expected.clean.end(), form->CleanLevels.get()));
      EXPECT_TRUE(std::equal(expected.previous.begin(), expected.previous.end(),
                             form->PreviousGrayLevels.get()));
      EXPECT_EQ(form->CleanedPercent, static_cast<double>(100LL * (pixels - iced)) / pixels);
      for (int y = 0; y < height; ++y)
        ASSERT_EQ(std::memcmp(SummerWorkBitmap->ScanLine(y),
                              expected.work.data() + y * expected.workStride, 3 * width),
                  0)
            << "row " << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, EngineWalkTest,
                         testing::Values(TWalkPath::Scalar, TWalkPath::Sse2, TWalkPath::Avx2),
                         [](const testing::TestParamInfo<TWalkPath>& info) {
                           return std::string(PathName(info.param));
                         });
