#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sqlite3.h>

#include <QAction>
#include <QApplication>
#include <QStringList>

#include "GameTestSupport.h"
#include "platform/registry/Registry.h"
#include "platform/toolkit/Dialogs.h"

namespace {

bool SameBitmap(const TBitmap& a, const TBitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height() || a.PixelFormat() != b.PixelFormat())
    return false;
  for (int y = 0; y < a.Height(); ++y)
    if (std::memcmp(a.ScanLine(y), b.ScanLine(y), static_cast<size_t>(a.Width()) * 3) != 0)
      return false;
  return true;
}

std::unique_ptr<TBitmap> Loaded(const char* name) {
  auto b = std::make_unique<TBitmap>();
  b->LoadFromResourceName(QString::fromLatin1(name));
  return b;
}

}  // namespace

// Catches: start-up leaving any part of the game state other than the design's defaults.
TEST_F(GameTest, StateRightAfterStartUp) {
  EXPECT_TRUE(form->Stopped);
  EXPECT_EQ(form->FreezeStep, 5);
  EXPECT_EQ(form->MotionThreshold, 20);
  EXPECT_EQ(form->WinPercent, 95.0);
  EXPECT_EQ(form->PictureNumber, 1);
  EXPECT_EQ(form->SummerResourceName, QStringLiteral("ID_SUMMER_001"));
  EXPECT_EQ(form->IceResourceName, QStringLiteral("ID_SUMMER_001_ICE"));
  EXPECT_EQ(form->FrameWidth, 320);
  EXPECT_EQ(form->FrameHeight, 240);
  EXPECT_EQ(form->PixelCount, 76800);
  EXPECT_EQ(form->PictureNumberLabel->text(), QStringLiteral("Picture 1"));
  EXPECT_EQ(form->FreezingSpeedTrackBar->value(), 5);
  EXPECT_EQ(form->CameraSensitivityTrackBar->value(), 235);
  EXPECT_EQ(form->ImageSelectUpDown->Position(), 1);
  EXPECT_EQ(form->StartStopButton->text(), QStringLiteral("Start"));
  for (int i = 0; i < form->PixelCount; ++i) {
    ASSERT_EQ(form->CleanLevels[i], 0) << i;
    ASSERT_EQ(form->PreviousGrayLevels[i], 0) << i;
  }
  EXPECT_EQ(form->OutputImage->size(), QSize(320, 240));
  EXPECT_TRUE(SameBitmap(form->OutputImage->Picture(), *Loaded("ID_SUMMER_001_ICE")));
  EXPECT_TRUE(form->CaptureControl1->VideoProcessing_FlipHorizontal());
  EXPECT_EQ(form->CaptureControl1->BurstCount(), 0);
  EXPECT_EQ(form->CaptureControl1->BurstInterval(), 0);
  // The window description puts the two pictures where the player expects them.
  // The control sizes itself so that its client area holds the 320 x 240 picture exactly.
  EXPECT_EQ(form->CaptureControl1->pos(), QPoint(8, 8));
  EXPECT_EQ(form->CaptureControl1->contentsRect().size(), QSize(320, 240));
  EXPECT_EQ(form->OutputImage->pos(), QPoint(352, 8));
  EXPECT_EQ(form->centralWidget()->size(), QSize(689, 316));
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Frostwipe"));
}

// Catches: InitGameBuffers that depends on its previous run (leaks, stale sizes, levels kept).
TEST_F(GameTest, InitGameBuffersTwiceEqualsOnce) {
  form->CleanLevels[17] = 200;
  form->PreviousGrayLevels[17] = 99;
  form->InitGameBuffers();
  const int width = form->FrameWidth, count = form->PixelCount;
  const QString label = form->PictureNumberLabel->text();
  form->InitGameBuffers();
  EXPECT_EQ(form->FrameWidth, width);
  EXPECT_EQ(form->PixelCount, count);
  EXPECT_EQ(form->PictureNumberLabel->text(), label);
  EXPECT_EQ(form->CleanLevels[17], 0);
  EXPECT_EQ(form->PreviousGrayLevels[17], 0);
  EXPECT_EQ(OutputBitmap->Canvas().Font.Name, QStringLiteral("Courier New"));
  EXPECT_EQ(OutputBitmap->Canvas().Font.Size, 15);
  EXPECT_EQ(OutputBitmap->Canvas().Font.Style, TFontStyles(fsBold));
  EXPECT_EQ(OutputBitmap->Canvas().Font.Color, clRed);
  EXPECT_EQ(OutputBitmap->Canvas().Brush.Color, clWhite);
  EXPECT_TRUE(form->Stopped);
  EXPECT_EQ(form->PictureNumber, 1);
}

// Catches: a new picture not shown at once while stopped, wrong resource names, or a change of
// picture resetting the cleaned ice.
TEST_F(GameTest, ChoosingAPictureWhileStoppedShowsItsIcedPictureAtOnce) {
  form->CleanLevels[5] = 180;
  bool allow = true;
  form->ImageSelectUpDownChangingEx(allow, 3, updUp);
  EXPECT_EQ(form->SummerResourceName, QStringLiteral("ID_SUMMER_003"));
  EXPECT_EQ(form->IceResourceName, QStringLiteral("ID_SUMMER_003_ICE"));
  EXPECT_EQ(form->PictureNumberLabel->text(), QStringLiteral("Picture 3"));
  EXPECT_TRUE(SameBitmap(form->OutputImage->Picture(), *Loaded("ID_SUMMER_003_ICE")));
  EXPECT_TRUE(SameBitmap(*SummerBitmap, *Loaded("ID_SUMMER_003")));
  EXPECT_EQ(form->CleanLevels[5], 180);
}

// Catches: a picture change while running replacing the shown picture before the next frame.
TEST_F(GameTest, ChoosingAPictureWhileRunningWaitsForTheNextFrame) {
  form->StartStopButtonClick();
  ASSERT_FALSE(form->Stopped);
  const auto frame = GrayFrame(0);
  Deliver(*frame);
  TBitmap shown;
  shown.Assign(form->OutputImage->Picture());
  bool allow = true;
  form->ImageSelectUpDownChangingEx(allow, 2, updUp);
  EXPECT_TRUE(SameBitmap(form->OutputImage->Picture(), shown));
  Deliver(*frame);
  // Everything is iced: the new pair's iced picture shows, with the red empty bar.
  const auto ice2 = Loaded("ID_SUMMER_002_ICE");
  EXPECT_EQ(Pixel(form->OutputImage->Picture(), 100, 50), Pixel(*ice2, 100, 50));
}

// Catches: the picture up-down letting a number outside 1..8 through.
TEST_F(GameTest, PictureNumberStaysWithinOneToEight) {
  form->ImageSelectUpDown->SetPosition(8);
  bool allow = true;
  form->ImageSelectUpDownChangingEx(allow, 8, updUp);
  form->ImageSelectUpDown->Click(btNext);  // offers 9
  EXPECT_EQ(form->PictureNumber, 8);
  EXPECT_EQ(form->ImageSelectUpDown->Position(), 8);
  EXPECT_EQ(form->SummerResourceName, QStringLiteral("ID_SUMMER_008"));
  EXPECT_EQ(form->PictureNumberLabel->text(), QStringLiteral("Picture 8"));
  form->ImageSelectUpDownChangingEx(allow, 0, updDown);
  EXPECT_EQ(form->PictureNumber, 8);
  form->ImageSelectUpDown->SetPosition(1);
  form->ImageSelectUpDown->Click(btPrev);  // offers 0
  EXPECT_EQ(form->PictureNumber, 8);
  form->ImageSelectUpDown->Click(btNext);
  EXPECT_EQ(form->PictureNumber, 2);
}

// Catches: a load that leaves the picture bitmaps at the size InitGameBuffers gave them.
TEST_F(GameTest, LoadingBringsThePicturesBackTo320x240) {
  for (TBitmap* b : {SummerBitmap, SummerWorkBitmap, IceBitmap, OutputBitmap}) b->SetSize(64, 48);
  form->LoadPicturePair();
  for (TBitmap* b : {SummerBitmap, SummerWorkBitmap, IceBitmap, OutputBitmap}) {
    EXPECT_EQ(b->Width(), 320);
    EXPECT_EQ(b->Height(), 240);
    EXPECT_EQ(b->PixelFormat(), pf24bit);
  }
}

// Catches: Start/Stop not toggling, or the button caption out of step with the state.
TEST_F(GameTest, StartThenStopReturnsToTheStoppedState) {
  form->StartStopButton->click();
  EXPECT_FALSE(form->Stopped);
  EXPECT_EQ(form->StartStopButton->text(), QStringLiteral("Stop"));
  EXPECT_TRUE(form->CaptureControl1->BurstMode());
  form->StartStopButton->click();
  EXPECT_TRUE(form->Stopped);
  EXPECT_EQ(form->StartStopButton->text(), QStringLiteral("Start"));
  EXPECT_TRUE(form->CaptureControl1->BurstMode()) << "only Start and closing change it";
}

// Catches: the track bars mapped the wrong way round.
TEST_F(GameTest, TrackBarsSetThresholdAndFreezeStep) {
  form->CameraSensitivityTrackBar->setValue(255);
  EXPECT_EQ(form->MotionThreshold, 0);
  form->CameraSensitivityTrackBar->setValue(0);
  EXPECT_EQ(form->MotionThreshold, 255);
  form->FreezingSpeedTrackBar->setValue(100);
  EXPECT_EQ(form->FreezeStep, 100);
  form->FreezingSpeedTrackBar->setValue(0);
  EXPECT_EQ(form->FreezeStep, 0);
}

// Catches: closing the window while running leaving the burst on.
TEST_F(GameTest, ClosingWhileRunningEndsTheBurst) {
  form->StartStopButtonClick();
  form->show();
  form->MenuExit->trigger();
  EXPECT_FALSE(form->CaptureControl1->BurstMode());
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(form->DoubleBuffered());
}

// Catches: a save that fails as the window closes (another program holds the settings store)
// told through the event loop, which has ended by then, so the player never learns the settings
// are lost; or the close freezing while it waits for the store.
TEST_F(GameTest, SettingsNotSavedAtCloseAreShown) {
  form.reset();
  char folder[] = "/tmp/fwcloseXXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string path = std::string(folder) + "/registry.db";
  const char* previous = std::getenv("FROSTWIPE_REGISTRY");
  const std::string previousPath = previous ? previous : "";
  setenv("FROSTWIPE_REGISTRY", path.c_str(), 1);
  RegCloseStore();
  QStringList boxes;
  SetMessageBoxHook([&boxes](const QString& text, const QString&) {
    boxes << text;
    return int(IDOK);
  });
  form = std::make_unique<TVideoCaptureForm>();
  form->show();
  QApplication::processEvents();
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  // As the application closes: the menu closes the window, the loop ends, the window goes.
  testing::internal::CaptureStderr();
  const auto start = std::chrono::steady_clock::now();
  form->MenuExit->trigger();
  form.reset();
  const auto closing = std::chrono::steady_clock::now() - start;
  const std::string log = testing::internal::GetCapturedStderr();
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  SetMessageBoxHook({});
  RegCloseStore();
  setenv("FROSTWIPE_REGISTRY", previousPath.c_str(), 1);
  if (!previous) unsetenv("FROSTWIPE_REGISTRY");
  std::filesystem::remove_all(folder);
  ASSERT_EQ(boxes.size(), 1) << boxes.join("|").toStdString();
  EXPECT_TRUE(boxes[0].contains("could not be saved as the game closed")) << boxes[0].toStdString();
  EXPECT_TRUE(boxes[0].contains(QString::fromStdString(path))) << boxes[0].toStdString();
  EXPECT_NE(log.find("settings could not be saved"), std::string::npos) << log;
  EXPECT_LT(closing, std::chrono::seconds(4));
}

// Catches: a control without devices that claims to preview, lists devices or raises events.
TEST_F(GameTest, ControlWithoutDevicesGivesItsDefinedOutcomes) {
  TCaptureControl* c = form->CaptureControl1;
  int events = 0;
  struct Counter {
    int* n;
    void Frame(TObject*, const TFrameData&, TFrameCaptureDest, const QString&, bool) { ++*n; }
    void Selected(TObject*) { ++*n; }
  } counter{&events};
  c->OnFrameCaptureCompleted = {&counter, &Counter::Frame};
  c->OnVideoDeviceSelected = {&counter, &Counter::Selected};
  EXPECT_EQ(VideoDevices(), QString());
  EXPECT_EQ(c->VideoSizes(), QString());
  EXPECT_EQ(c->VideoWidth(), 320);
  EXPECT_EQ(c->VideoHeight(), 240);
  EXPECT_FALSE(c->StartPreview());
  c->StopPreview();
  EXPECT_FALSE(c->CaptureFrameTo(fc_TBitmap, QString()));
  EXPECT_FALSE(c->ShowDialog(0));
  EXPECT_FALSE(c->ShowDialog(3));
  EXPECT_EQ(c->VideoInputIndex(QStringLiteral("Composite")), -1);
  c->SetVideoSize(2);
  EXPECT_EQ(c->VideoSize(), 0);
  c->SetBurstCount(-1);
  c->SetBurstInterval(-5);
  EXPECT_EQ(c->BurstCount(), 0);
  EXPECT_EQ(c->BurstInterval(), 0);
  QApplication::processEvents();
  EXPECT_EQ(events, 0);
}
