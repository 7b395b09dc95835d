#include "game/Video_capture_form.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include "capture/CaptureCtl.h"
#include "game/PlayerMessage.h"
#include "game/TouchWipe.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Bitmap.h"

TBitmap* FrameBitmap = nullptr;
TBitmap* SummerBitmap = nullptr;
TBitmap* SummerWorkBitmap = nullptr;
TBitmap* IceBitmap = nullptr;
TBitmap* OutputBitmap = nullptr;
TVideoCaptureForm* VideoCaptureForm = nullptr;
TForm* VideoSettingsWindow = nullptr;
TForm* AboutWindow = nullptr;

namespace {

// Creates whichever module bitmaps are absent: at module initialisation, and again for a main
// window created after an earlier one released them (tests create several in one process).
void CreateModuleBitmaps() {
  for (TBitmap** bitmap :
       {&FrameBitmap, &SummerBitmap, &SummerWorkBitmap, &IceBitmap, &OutputBitmap})
    if (!*bitmap) *bitmap = new TBitmap();
}

void ReleaseModuleBitmaps() {
  for (TBitmap** bitmap :
       {&FrameBitmap, &SummerBitmap, &SummerWorkBitmap, &IceBitmap, &OutputBitmap}) {
    delete *bitmap;
    *bitmap = nullptr;
  }
}

const bool moduleInitialized = (CreateModuleBitmaps(), true);

constexpr double kBarColourSwitch = 50.0;
constexpr TColor kBarGreen = RGB(0, 128, 0);
constexpr TColor kBarRed = RGB(255, 0, 0);

}  // namespace

TVideoCaptureForm::TVideoCaptureForm() {
  CreateModuleBitmaps();
  VideoCaptureForm = this;
  LoadDescription(QStringLiteral("Video_capture_form"));
  BindControls();
  FormCreate();
}

TVideoCaptureForm::~TVideoCaptureForm() {
  if (VideoCaptureForm == this) SetPlayerMessageSink({});
  // Teardown: the preview stops before any bitmap or array goes.
  CaptureControl1->StopPreview();
  CaptureControl1->UseNearestVideoSize(0, 0, false);
  CaptureControl1->SetVideoProcessing_FlipHorizontal(false);
  OutputImage->Picture().SetSize(0, 0);  // holds no reference to the released pixels
  ReleaseModuleBitmaps();
  FreeGameBuffers();
  SummerResourceName.clear();
  IceResourceName.clear();
  if (VideoCaptureForm == this) VideoCaptureForm = nullptr;
}

void TVideoCaptureForm::BindControls() {
  CaptureControl1 = Control<TCaptureControl>("CaptureControl1");
  OutputImage = Control<TImage>("OutputImage");
  CameraSensitivityLabel = Control<TLabel>("CameraSensitivityLabel");
  CameraSensitivityTrackBar = Control<QSlider>("CameraSensitivityTrackBar");
  StartStopButton = Control<QPushButton>("StartStopButton");
  PictureNumberLabel = Control<TLabel>("PictureNumberLabel");
  ImageSelectUpDown = Control<TUpDown>("ImageSelectUpDown");
  FreezingSpeedLabel = Control<TLabel>("FreezingSpeedLabel");
  FreezingSpeedTrackBar = Control<QSlider>("FreezingSpeedTrackBar");
  VideoDeviceLabel = Control<TLabel>("VideoDeviceLabel");
  VideoDeviceComboBox = Control<QComboBox>("VideoDeviceComboBox");
  VideoSizeLabel = Control<TLabel>("VideoSizeLabel");
  VideoSizesComboBox = Control<QComboBox>("VideoSizesComboBox");
  DeviceButton = Control<QPushButton>("DeviceButton");
  StreamButton = Control<QPushButton>("StreamButton");
  MenuExit = Control<QAction>("MenuExit");
  MenuVideoOptions = Control<QAction>("MenuVideoOptions");
  MenuAbout = Control<QAction>("MenuAbout");
  TouchWipe = new TTouchWipe(OutputImage, CaptureControl1, this);
  PlayerMessage = new TPlayerMessage(CaptureControl1);
  // A window zoomed out to fit a small screen shows both pictures at its zoom.
  if (LayoutScale() < 1) {
    CaptureControl1->SetPreviewZoomSize(static_cast<int>(std::lround(100 * LayoutScale())));
    OutputImage->SetStretch(true);
  }
  SetPlayerMessageSink([this](const QString& text) { PlayerMessage->ShowProblem(text); });
  // The iced window takes keys for the keyboard brush: its stop comes after the picture arrows.
  QWidget::setTabOrder(ImageSelectUpDown, OutputImage);

  CaptureControl1->OnFrameCaptureCompleted = {
      this, &TVideoCaptureForm::CaptureControl1FrameCaptureCompleted};
  CaptureControl1->SetOnFrameOverlayUsingDC(
      {this, &TVideoCaptureForm::CaptureControl1FrameOverlayUsingDC});
  CaptureControl1->OnVideoDeviceSelected = {this,
                                            &TVideoCaptureForm::CaptureControl1VideoDeviceSelected};
  connect(CameraSensitivityTrackBar, &QSlider::valueChanged, this,
          Handler(this, &TVideoCaptureForm::CameraSensitivityTrackBarChange));
  connect(FreezingSpeedTrackBar, &QSlider::valueChanged, this,
          Handler(this, &TVideoCaptureForm::FreezingSpeedTrackBarChange));
  connect(StartStopButton, &QPushButton::clicked, this,
          Handler(this, &TVideoCaptureForm::StartStopButtonClick));
  ImageSelectUpDown->OnChangingEx = [this](bool& allow, short value, TUpDownDirection direction) {
    TApplication::Guard([&] { ImageSelectUpDownChangingEx(allow, value, direction); });
  };
  connect(DeviceButton, &QPushButton::clicked, this,
          Handler(this, &TVideoCaptureForm::DeviceButtonClick));
  connect(StreamButton, &QPushButton::clicked, this,
          Handler(this, &TVideoCaptureForm::StreamButtonClick));
  connect(VideoDeviceComboBox, &QComboBox::activated, this,
          Handler(this, &TVideoCaptureForm::VideoDeviceComboBoxChange));
  connect(VideoSizesComboBox, &QComboBox::activated, this,
          Handler(this, &TVideoCaptureForm::VideoSizesComboBoxChange));
  connect(MenuExit, &QAction::triggered, this, Handler(this, &TVideoCaptureForm::MenuExitClick));
  connect(MenuVideoOptions, &QAction::triggered, this,
          Handler(this, &TVideoCaptureForm::MenuVideoOptionsClick));
  connect(MenuAbout, &QAction::triggered, this, Handler(this, &TVideoCaptureForm::MenuAboutClick));
  DescribeControls();
}

void TVideoCaptureForm::DescribeControls() {
  // Translated once: the frame handler allocates nothing.
  congratulations_ = tr("Congratulations !");
  windowCleaned_ = tr("Window is cleaned.");
  CaptureControl1->setAccessibleName(tr("Live camera picture"));
  CaptureControl1->setAccessibleDescription(
      tr("What the camera sees; movement in it wipes the ice away"));
  OutputImage->setAccessibleName(tr("Iced window"));
  OutputImage->setAccessibleDescription(tr("How much of the window is clean, in percent") +
                                        QStringLiteral(". ") + TTouchWipe::KeyboardHelp());
  OutputImage->SetAccessibleValue(0);
  CameraSensitivityTrackBar->setAccessibleName(tr("Camera sensitivity"));
  CameraSensitivityTrackBar->setAccessibleDescription(tr("Higher: smaller movements wipe the ice"));
  FreezingSpeedTrackBar->setAccessibleName(tr("Freezing speed"));
  FreezingSpeedTrackBar->setAccessibleDescription(tr("Higher: the ice grows back faster"));
  ImageSelectUpDown->setAccessibleName(tr("Picture"));
  ImageSelectUpDown->setAccessibleDescription(tr("Left and right arrow keys choose the picture"));
  ImageSelectUpDown->Arrow(btPrev)->setAccessibleName(tr("Previous picture"));
  ImageSelectUpDown->Arrow(btNext)->setAccessibleName(tr("Next picture"));
  VideoDeviceComboBox->setAccessibleName(tr("Video device"));
  VideoSizesComboBox->setAccessibleName(tr("Video size"));
}

void TVideoCaptureForm::FormCreate() {
  FreezeStep = 5;
  MotionThreshold = 20;
  WinPercent = 95.0;
  PictureNumber = 1;
  CaptureControl1->UseNearestVideoSize(320, 240, true);
  CaptureControl1->SetBurstCount(0);
  CaptureControl1->SetBurstInterval(0);
  InitGameBuffers();
  Stopped = true;
  LoadPicturePair();
  OutputImage->Assign(*IceBitmap);
  CaptureControl1->SetVideoProcessing_FlipHorizontal(true);
}

void TVideoCaptureForm::InitGameBuffers() {
  TCanvas& canvas = OutputBitmap->Canvas();
  canvas.Font.Name = QStringLiteral("Courier New");
  canvas.Font.Size = 15;
  canvas.Brush.Style = bsSolid;
  canvas.Brush.Color = clWhite;
  canvas.Font.Color = clRed;
  canvas.Font.Style = fsBold;

  // The change handlers these raise store the same values back.
  FreezingSpeedTrackBar->setValue(FreezeStep);
  CameraSensitivityTrackBar->setValue(255 - MotionThreshold);
  ImageSelectUpDown->SetPosition(static_cast<std::int16_t>(PictureNumber));
  UpdatePictureLabel();

  SizeGameBuffers(CaptureControl1->VideoWidth(), CaptureControl1->VideoHeight());
}

void TVideoCaptureForm::SizeGameBuffers(int width, int height) {
  FrameWidth = width;
  FrameHeight = height;
  OutputImage->resize(static_cast<int>(std::lround(FrameWidth * LayoutScale())),
                      static_cast<int>(std::lround(FrameHeight * LayoutScale())));
  for (TBitmap* bitmap : {OutputBitmap, SummerBitmap, SummerWorkBitmap, IceBitmap}) {
    bitmap->SetHeight(FrameHeight);
    bitmap->SetWidth(FrameWidth);
    bitmap->SetPixelFormat(pf24bit);
  }
  PixelCount = FrameWidth * FrameHeight;

  FreeGameBuffers();
  const std::size_t count = static_cast<std::size_t>(std::max(PixelCount, 0));
  GrayLevels.reset(new std::int32_t[count]);
  PreviousGrayLevels.reset(new std::int32_t[count]());
  CleanLevels.reset(new std::int32_t[count]());
}

void TVideoCaptureForm::FreeGameBuffers() {
  GrayLevels.reset();
  PreviousGrayLevels.reset();
  CleanLevels.reset();
}

void TVideoCaptureForm::LoadPicturePair() {
  SummerResourceName = QStringLiteral("ID_SUMMER_00") + QString::number(PictureNumber);
  IceResourceName = QStringLiteral("ID_SUMMER_00") + QString::number(PictureNumber) + "_ICE";
  SummerBitmap->LoadFromResourceName(SummerResourceName);
  SummerWorkBitmap->LoadFromResourceName(SummerResourceName);
  IceBitmap->LoadFromResourceName(IceResourceName);
  OutputBitmap->LoadFromResourceName(IceResourceName);
  for (TBitmap* bitmap : {SummerBitmap, SummerWorkBitmap, IceBitmap, OutputBitmap})
    bitmap->SetPixelFormat(pf24bit);
  if (Stopped) OutputImage->Assign(*IceBitmap);
}

void TVideoCaptureForm::UpdatePictureLabel() {
  PictureNumberLabel->SetCaption(tr("Picture ") + QString::number(PictureNumber));
}

void TVideoCaptureForm::CaptureControl1FrameCaptureCompleted(TObject*, const TFrameData& FrameData,
                                                             TFrameCaptureDest, const QString&,
                                                             bool) {
  if (!FrameData.Bitmap || PixelCount <= 0 || !CleanLevels) return;

  // 1. The frame as 3 colour bytes a pixel. A 24- or 32-bit frame of the buffers' size is read
  //    where it lies (the walk skips the fourth byte, as the conversion to 24 bits would drop
  //    it); any other frame is copied, converted and scaled to the buffers' size, so the walk
  //    below never leaves a buffer (the control normally delivers that size).
  const TBitmap& frame = *FrameData.Bitmap;
  const QImage::Format frameFormat = frame.Image().format();
  const TBitmap* walked = &frame;
  if (frame.Width() != FrameWidth || frame.Height() != FrameHeight ||
      (frameFormat != QImage::Format_RGB32 && frameFormat != QImage::Format_BGR888)) {
    FrameBitmap->Assign(frame);
    FrameBitmap->SetPixelFormat(pf24bit);
    if (FrameBitmap->Width() != FrameWidth || FrameBitmap->Height() != FrameHeight)
      FrameBitmap->SetImage(FrameBitmap->Image().scaled(FrameWidth, FrameHeight));
    walked = FrameBitmap;
  }

  // 2. A fresh working copy of the summer picture, brought to the frame size if a video size
  //    other than the pictures' own is in use.
  FitPicturesToFrame();
  SummerWorkBitmap->Assign(*SummerBitmap);

  // 3. Clean levels from the change of every pixel since the previous frame.
  ProcessPixels(*walked);

  // 4. Composition: the iced picture, then the summer picture with its black-outs see-through,
  //    in one pass over the rows.
  TCanvas& canvas = OutputBitmap->Canvas();
  SummerWorkBitmap->SetTransparentColor(clBlack);
  SummerWorkBitmap->SetTransparent(true);
  const TBitmap* layers[] = {IceBitmap, SummerWorkBitmap};
  canvas.Draw(0, 0, layers);
  SummerWorkBitmap->SetTransparent(false);

  // 5. One division of exact integers: every decision below then equals that of the exact
  //    rational 100 * (PixelCount - IcedCount) / PixelCount.
  CleanedPercent = static_cast<double>(100LL * (PixelCount - IcedCount)) / PixelCount;

  // 6. Progress bar.
  canvas.Brush.Color = CleanedPercent > kBarColourSwitch ? kBarGreen : kBarRed;
  canvas.FillRect(
      Rect(10, 200, 10 + 3 * static_cast<std::int32_t>(std::floor(CleanedPercent)), 210));

  // 7.
  IcedCount = 0;

  // 8. Closing message.
  if (CleanedPercent > WinPercent) {
    canvas.Brush.Color = clWhite;
    canvas.TextOut(50, 90, congratulations_);
    canvas.TextOut(50, 110, windowCleaned_);
  }

  // 9.
  OutputImage->Assign(*OutputBitmap);
  OutputImage->SetAccessibleValue(std::floor(CleanedPercent));
}

void TVideoCaptureForm::FitPicturesToFrame() {
  if (SummerBitmap->Width() == FrameWidth && SummerBitmap->Height() == FrameHeight &&
      IceBitmap->Width() == FrameWidth && IceBitmap->Height() == FrameHeight &&
      OutputBitmap->Width() == FrameWidth && OutputBitmap->Height() == FrameHeight)
    return;
  for (TBitmap* picture : {SummerBitmap, IceBitmap}) {
    picture->SetImage(picture->Image().scaled(FrameWidth, FrameHeight, Qt::IgnoreAspectRatio,
                                              Qt::SmoothTransformation));
    picture->SetPixelFormat(pf24bit);
  }
  OutputBitmap->SetSize(FrameWidth, FrameHeight);
  OutputBitmap->SetPixelFormat(pf24bit);
}

void TVideoCaptureForm::ProcessPixels(const TBitmap& frame) {
  const int width = FrameWidth;
  const int height = FrameHeight;
  if (width <= 0 || height <= 0) return;
  TCleaningWalk walk;
  walk.width = width;
  walk.height = height;
  walk.freezeStep = FreezeStep;
  walk.motionThreshold = MotionThreshold;
  walk.gray = GrayLevels.get();
  walk.previous = PreviousGrayLevels.get();
  walk.clean = CleanLevels.get();
  // Read through the const rows: the delivered frame is only read, never detached.
  walk.frameTop = frame.ScanLine(0);
  walk.frameStride = frame.BytesPerLine();
  walk.frameBytesPerPixel = frame.Image().depth() / 8;
  walk.workTop = SummerWorkBitmap->ScanLine(0);
  walk.workStride = SummerWorkBitmap->BytesPerLine();

  // The last pixel walked (bottom row, rightmost column) leaves its change in Difference; its
  // previous level is overwritten by the walk, so it is read first.
  const int last = height * (width - 1) + (height - 1);
  const int lastPrevious = walk.previous[last];
  // Every pixel's result depends on that pixel alone, so the walk may take them in any order;
  // only the count of iced pixels is summed.
  IcedCount += WalkPixels(walk, WalkPath);
  PixelIndex = last;
  Difference = std::abs(walk.gray[last] - lastPrevious);
  FramePixel = walk.frameTop + (height - 1) * walk.frameStride + walk.frameBytesPerPixel * width;
  WorkPixel = SummerWorkBitmap->ScanLine(height - 1) + 3 * width;
}

void TVideoCaptureForm::CaptureControl1FrameOverlayUsingDC(TObject*, const TFrameInfo&, HDC) {}

void TVideoCaptureForm::CaptureControl1VideoDeviceSelected(TObject*) {
  TouchWipe->DeviceSelected();
  PlayerMessage->Update(Stopped);
  if (!VideoSettingsWindow) return;
  auto* sizes = VideoSettingsWindow->findChild<QComboBox*>(QStringLiteral("VideoSizesComboBox"));
  if (!sizes) return;
  sizes->clear();
  sizes->addItems(CaptureControl1->VideoSizes().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts));
  if (sizes->count() > 0) sizes->setCurrentIndex(CaptureControl1->VideoSize());
}

void TVideoCaptureForm::FormShow() {
  CenterOnScreen();
  SetDoubleBuffered(true);
  // The first start's device is opened while the window is built, before any handler is set.
  TouchWipe->DeviceSelected();
  PlayerMessage->Update(Stopped);
  StartStopButton->setFocus(Qt::ActiveWindowFocusReason);
}

void TVideoCaptureForm::FormClose() {
  CaptureControl1->SetBurstMode(false);
  CaptureControl1->StopPreview();
  SetDoubleBuffered(false);
}

void TVideoCaptureForm::StartStopButtonClick() {
  if (Stopped) {
    PlayerMessage->Started();
    CaptureControl1->StartPreview();
    StartStopButton->setText(tr("Stop"));
    CaptureControl1->SetBurstMode(true);
    CaptureControl1->CaptureFrameTo(fc_TBitmap, QString());
  } else {
    CaptureControl1->StopPreview();
    StartStopButton->setText(tr("Start"));
  }
  Stopped = !Stopped;
  PlayerMessage->Update(Stopped);
}

void TVideoCaptureForm::CameraSensitivityTrackBarChange() {
  MotionThreshold = 255 - CameraSensitivityTrackBar->value();
}

void TVideoCaptureForm::FreezingSpeedTrackBarChange() {
  FreezeStep = FreezingSpeedTrackBar->value();
}

void TVideoCaptureForm::ImageSelectUpDownChangingEx(bool&, short NewValue, TUpDownDirection) {
  if (NewValue >= ImageSelectUpDown->Min() && NewValue <= ImageSelectUpDown->Max())
    PictureNumber = NewValue;
  LoadPicturePair();
  UpdatePictureLabel();
}

void TVideoCaptureForm::DeviceButtonClick() {
  CaptureControl1->ShowDialog(0);
}

void TVideoCaptureForm::StreamButtonClick() {
  CaptureControl1->ShowDialog(3);
  CaptureControl1VideoDeviceSelected(this);
}

void TVideoCaptureForm::VideoDeviceComboBoxChange() {
  CaptureControl1->SetVideoDevice(VideoDeviceComboBox->currentIndex());
  InitGameBuffers();
}

void TVideoCaptureForm::VideoSizesComboBoxChange() {
  CaptureControl1->SetVideoSize(VideoSizesComboBox->currentIndex());
  InitGameBuffers();
}

void TVideoCaptureForm::MenuExitClick() {
  Close();
}

void TVideoCaptureForm::MenuVideoOptionsClick() {
  if (VideoSettingsWindow) VideoSettingsWindow->show();
}

void TVideoCaptureForm::MenuAboutClick() {
  if (AboutWindow) AboutWindow->show();
}
