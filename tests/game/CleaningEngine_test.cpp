#include <cmath>

#include "GameTestSupport.h"

namespace {

constexpr TColor kGreen = RGB(0, 128, 0);
constexpr TColor kRed = RGB(255, 0, 0);

// Sets every clean level so that exactly `iced` pixels are below 100, with a still scene so the
// next frame changes nothing but the decay (FreezeStep 0 keeps the levels as set).
void PrepareIcedCount(TVideoCaptureForm& form, int iced) {
  form.FreezeStep = 0;
  for (int i = 0; i < form.PixelCount; ++i) form.CleanLevels[i] = i < iced ? 0 : 255;
}

}  // namespace

// Catches: the first frame compared against anything but all-zero previous levels, and the
// wipe rule's threshold and iced boundary misplaced.
TEST_F(GameTest, FirstFrameGainsItsGrayLevelWhereAboveTheThreshold) {
  // Columns carry different grays so a row/column mix-up shows.
  const auto frame = MakeFrame(320, 240, pf24bit, [](int x, int) {
    const int g = x == 0 ? 150 : x == 1 ? 20 : x == 2 ? 21 : x == 3 ? 99 : 100;
    return std::array<int, 3>{g, g, g};
  });
  Deliver(*frame);
  for (int y : {0, 120, 239}) {
    SCOPED_TRACE(y);
    EXPECT_EQ(Clean(0, y), 150);
    EXPECT_EQ(Clean(1, y), 0) << "a difference equal to the threshold is no motion";
    EXPECT_EQ(Clean(2, y), 21);
    EXPECT_EQ(Clean(3, y), 99);
    EXPECT_EQ(Clean(4, y), 100);
    EXPECT_EQ(form->PreviousGrayLevels[2 * 240 + y], 21);
  }
  // Pixels (3, y) are iced at 99, (4, y) clean at 100.
  const TBitmap& out = form->OutputImage->Picture();
  EXPECT_EQ(Pixel(out, 0, 10), Pixel(*SummerBitmap, 0, 10));
  EXPECT_EQ(Pixel(out, 3, 10), Pixel(*IceBitmap, 3, 10));
  EXPECT_EQ(Pixel(out, 4, 10), Pixel(*SummerBitmap, 4, 10));
  EXPECT_EQ(form->IcedCount, 0) << "reset after every frame";
}

// Catches: gray level from the wrong bytes, a division before the sum, or rows taken bottom-up.
TEST_F(GameTest, GrayLevelIsTheIntegerMeanAndRowsCountFromTheTop) {
  const auto frame = MakeFrame(320, 240, pf24bit, [](int x, int y) {
    if (x == 7 && y == 3) return std::array<int, 3>{1, 2, 255};  // (1 + 2 + 255) div 3 = 86
    if (x == 8 && y == 3) return std::array<int, 3>{0, 0, 2};    // 2 div 3 = 0
    return std::array<int, 3>{0, 0, 0};
  });
  form->MotionThreshold = 0;
  Deliver(*frame);
  EXPECT_EQ(form->GrayLevels[7 * 240 + 3], 86);
  EXPECT_EQ(Clean(7, 3), 86);
  EXPECT_EQ(form->GrayLevels[8 * 240 + 3], 0);
  EXPECT_EQ(Clean(7, 236), 0);
}

// Catches: decay that goes below zero or applies at or below FreezeStep, and the ceiling.
TEST_F(GameTest, StillSceneDecaysByFreezeStepAndCeilingHolds) {
  const auto bright = GrayFrame(255);
  Deliver(*bright);
  EXPECT_EQ(Clean(10, 10), 255);
  form->CleanLevels[0] = 3;
  for (int frame = 1; frame <= 31; ++frame) Deliver(*bright);
  EXPECT_EQ(Clean(10, 10), 100) << "255 reads 100 after 31 still frames";
  EXPECT_EQ(Clean(0, 0), 3) << "a level at or below FreezeStep does not fall";
  Deliver(*bright);
  EXPECT_EQ(Clean(10, 10), 95);
  // Motion on top of a high level stops at 255.
  form->CleanLevels[5] = 250;
  Deliver(*GrayFrame(0));
  EXPECT_EQ(form->CleanLevels[5], 255);
}

// Catches: FreezeStep 0 still melting, threshold 255 still cleaning, threshold 0 ignoring a
// change of one level.
TEST_F(GameTest, SettingExtremes) {
  form->FreezeStep = 0;
  Deliver(*GrayFrame(200));
  for (int i = 0; i < 5; ++i) Deliver(*GrayFrame(200));
  EXPECT_EQ(Clean(100, 100), 200);

  form->InitGameBuffers();
  form->MotionThreshold = 255;
  Deliver(*GrayFrame(255));
  Deliver(*GrayFrame(0));
  EXPECT_EQ(Clean(100, 100), 0);
  EXPECT_EQ(form->CleanedPercent, 0.0);

  form->InitGameBuffers();
  form->MotionThreshold = 0;
  form->FreezeStep = 0;
  Deliver(*GrayFrame(0));
  Deliver(*GrayFrame(1));
  EXPECT_EQ(Clean(100, 100), 1);
}

// Catches: percentage computed in a way that misjudges the exact boundaries (bar colour at 50,
// message at 95, 42,240 iced pixels giving 45 and not 44.999…).
TEST_F(GameTest, PercentDecisionsAreExactAtTheBoundaries) {
  const auto still = GrayFrame(0);
  Deliver(*still);
  struct Case {
    int iced;
    double percent;
    TColor bar;
    bool message;
  } cases[] = {
      {76800, 0.0, kRed, false},  {38400, 50.0, kRed, false},  {38399, 0, kGreen, false},
      {42240, 45.0, kRed, false}, {3840, 95.0, kGreen, false}, {3839, 0, kGreen, true},
      {0, 100.0, kGreen, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.iced);
    PrepareIcedCount(*form, c.iced);
    Deliver(*still);
    const double exact = 100.0 * (76800 - c.iced) / 76800;
    if (c.percent != 0 || c.iced == 76800) {
      EXPECT_EQ(form->CleanedPercent, c.percent);
    }
    EXPECT_EQ(std::floor(form->CleanedPercent), std::floor(exact));
    const TBitmap& out = form->OutputImage->Picture();
    const int right = 10 + 3 * static_cast<int>(std::floor(exact));
    if (right > 10) {
      EXPECT_EQ(Pixel(out, right - 1, 209), c.bar);
      EXPECT_EQ(Pixel(out, 10, 200), c.bar);
    }
    if (right < 310) {
      EXPECT_NE(Pixel(out, right, 205), c.bar);
    }
    EXPECT_NE(Pixel(out, 10, 210), c.bar) << "the bottom edge is excluded";
    // The message's opaque white background starts at (50, 90).
    EXPECT_EQ(Pixel(out, 50, 90) == clWhite, c.message);
  }
  // 45 percent: the bar ends at x 144 (10 + 135 pixels), exactly.
  PrepareIcedCount(*form, 42240);
  Deliver(*still);
  EXPECT_EQ(form->CleanedPercent, 45.0);
  EXPECT_EQ(Pixel(form->OutputImage->Picture(), 144, 205), kRed);
  EXPECT_NE(Pixel(form->OutputImage->Picture(), 145, 205), kRed);
}

// Catches: the message staying once the share drops to 95 or below.
TEST_F(GameTest, MessageDisappearsFromTheFirstFrameAtOrBelowWinPercent) {
  const auto still = GrayFrame(0);
  PrepareIcedCount(*form, 0);
  Deliver(*still);
  EXPECT_EQ(Pixel(form->OutputImage->Picture(), 50, 90), clWhite);
  PrepareIcedCount(*form, 3840);
  Deliver(*still);
  EXPECT_NE(Pixel(form->OutputImage->Picture(), 50, 90), clWhite);
}

// Catches: the fourth byte of 32-bit frames changing the clean levels, and 16-bit frames read
// as if they had three bytes per pixel.
TEST_F(GameTest, FrameDepthsGiveTheSameCleanLevels) {
  auto pattern = [](int x, int y) {
    return std::array<int, 3>{(x * 7) & 0xFF, (y * 5) & 0xFF, (x + y) & 0xFF};
  };
  std::vector<std::int32_t> levels[3];
  int k = 0;
  for (TPixelFormat format : {pf24bit, pf32bit, pf16bit}) {
    form->InitGameBuffers();
    Deliver(*MakeFrame(320, 240, format, pattern));
    levels[k++].assign(form->CleanLevels.get(), form->CleanLevels.get() + 76800);
  }
  EXPECT_EQ(levels[1], levels[0]);
  // 5-6-5 pixels lose low bits: each level stays within that rounding of the 24-bit one.
  for (int i = 0; i < 76800; ++i)
    if (levels[0][i] > 40) {
      ASSERT_NEAR(levels[2][i], levels[0][i], 8) << i;
    }
}

// Catches: composition showing summer through a pure black summer pixel, or ice where clean.
TEST_F(GameTest, PureBlackSummerPixelsAlwaysShowIce) {
  int bx = -1, by = -1;
  for (int y = 0; y < 240 && bx < 0; ++y)
    for (int x = 0; x < 320; ++x)
      if (Pixel(*SummerBitmap, x, y) == clBlack && (y < 200 || y >= 210 || x >= 310)) {
        bx = x;
        by = y;
        break;
      }
  ASSERT_GE(bx, 0) << "picture 1 has pure black pixels";
  Deliver(*GrayFrame(255));  // every pixel clean
  EXPECT_EQ(form->CleanedPercent, 100.0);
  const TBitmap& out = form->OutputImage->Picture();
  EXPECT_EQ(Pixel(out, bx, by), Pixel(*IceBitmap, bx, by));
  const int cx = bx < 300 ? bx + 15 : bx - 15;
  EXPECT_EQ(Pixel(out, cx, 20), Pixel(*SummerBitmap, cx, 20));
}

// Catches: frames of an unexpected size read or written beyond the buffers, and a zero-sized
// game dividing by zero.
TEST_F(GameTest, FramesOfAnotherSizeAreScaledAndZeroSizeIsSafe) {
  Deliver(*MakeFrame(64, 48, pf24bit, [](int, int) { return std::array<int, 3>{255, 255, 255}; }));
  EXPECT_EQ(Clean(319, 239), 255);
  EXPECT_EQ(form->OutputImage->Picture().Width(), 320);
  Deliver(*MakeFrame(1000, 20, pf32bit, [](int, int) {
    return std::array<int, 3>{255, 255, 255};
  }));
  EXPECT_EQ(Clean(319, 239), 255 - 5);
  form->PixelCount = 0;
  Deliver(*GrayFrame(100));
  TFrameData empty;
  form->CaptureControl1FrameCaptureCompleted(form->CaptureControl1, empty, fc_TBitmap, {}, true);
  SUCCEED();
}

// Catches: a game that, once started, never gets the window clean, the bar green or the message
// shown, whatever the player does.
TEST_F(GameTest, WavingAfterStartCleansTheWindowUntilTheMessageShows) {
  form->StartStopButton->click();
  ASSERT_FALSE(form->Stopped);
  const auto dark = GrayFrame(10), bright = GrayFrame(240);
  double last = -1;
  bool rose = false;
  for (int frame = 0; frame < 4; ++frame) {
    Deliver(frame % 2 ? *dark : *bright);
    rose = rose || form->CleanedPercent > last;
    last = form->CleanedPercent;
  }
  EXPECT_TRUE(rose);
  EXPECT_EQ(form->CleanedPercent, 100.0);
  const TBitmap& shown = form->OutputImage->Picture();
  EXPECT_EQ(Pixel(shown, 200, 205), kGreen);
  EXPECT_EQ(Pixel(shown, 50, 90), clWhite);
  // Red glyphs of the message are on its white background.
  int red = 0;
  for (int x = 50; x < 200; ++x)
    if (Pixel(shown, x, 98) == clRed || Pixel(shown, x, 100) == clRed) ++red;
  EXPECT_GT(red, 5);
  // Standing still, the frost comes back and the message goes.
  for (int frame = 0; frame < 40; ++frame) Deliver(*dark);
  EXPECT_EQ(form->CleanedPercent, 0.0);
  EXPECT_NE(Pixel(form->OutputImage->Picture(), 50, 90), clWhite);
  EXPECT_NE(Pixel(form->OutputImage->Picture(), 200, 205), kGreen);
}

// Catches: the Difference scratch field taken after the previous gray level was overwritten
// (always 0), or from a pixel other than the last one walked (bottom row, rightmost column).
TEST_F(GameTest, DifferenceHoldsTheLastPixelsChange) {
  const auto withLast = [](int last, int rest) {
    return MakeFrame(320, 240, pf24bit, [=](int x, int y) {
      const int g = x == 319 && y == 239 ? last : rest;
      return std::array<int, 3>{g, g, g};
    });
  };
  Deliver(*withLast(90, 10));
  EXPECT_EQ(form->PixelIndex, 319 * 240 + 239);
  EXPECT_EQ(form->Difference, 90) << "the first frame compares against 0";
  Deliver(*withLast(30, 200));
  EXPECT_EQ(form->Difference, 60);
  Deliver(*withLast(30, 0));
  EXPECT_EQ(form->Difference, 0);
  Deliver(*withLast(255, 0));
  EXPECT_EQ(form->Difference, 225);
}
