// The main window: game state, picture pairs, the window-cleaning engine and the handlers.
#pragma once

#include <cstdint>
#include <memory>

#include <QString>

#include "capture/CaptureTypes.h"
#include "game/CleaningWalk.h"
#include "platform/toolkit/Controls.h"
#include "platform/toolkit/Forms.h"

class QAction;
class QComboBox;
class QPushButton;
class QSlider;
class TBitmap;
class TCaptureControl;
class TPlayerMessage;
class TTouchWipe;

// The five bitmaps shared by the engine, the picture loader and InitGameBuffers. They exist,
// empty, from module initialisation on and are released by the main window's teardown.
extern TBitmap* FrameBitmap;
extern TBitmap* SummerBitmap;
extern TBitmap* SummerWorkBitmap;
extern TBitmap* IceBitmap;
extern TBitmap* OutputBitmap;

// Main window and owner of the game state. Thread: UI (every member, the engine included).
class TVideoCaptureForm : public TForm {
  Q_OBJECT

 public:
  TVideoCaptureForm();
  ~TVideoCaptureForm() override;

  // Controls, built from the window description.
  TCaptureControl* CaptureControl1 = nullptr;
  TImage* OutputImage = nullptr;
  TLabel* CameraSensitivityLabel = nullptr;
  QSlider* CameraSensitivityTrackBar = nullptr;
  QPushButton* StartStopButton = nullptr;
  TLabel* PictureNumberLabel = nullptr;
  TUpDown* ImageSelectUpDown = nullptr;
  TLabel* FreezingSpeedLabel = nullptr;
  QSlider* FreezingSpeedTrackBar = nullptr;
  TLabel* VideoDeviceLabel = nullptr;
  QComboBox* VideoDeviceComboBox = nullptr;
  TLabel* VideoSizeLabel = nullptr;
  QComboBox* VideoSizesComboBox = nullptr;
  QPushButton* DeviceButton = nullptr;
  QPushButton* StreamButton = nullptr;
  QAction* MenuExit = nullptr;
  QAction* MenuVideoOptions = nullptr;
  QAction* MenuAbout = nullptr;
  // Wiping by hand through the touch camera; a child of the window.
  TTouchWipe* TouchWipe = nullptr;
  // What the player is told, over the bottom of the live picture; a child of CaptureControl1.
  TPlayerMessage* PlayerMessage = nullptr;

  // Game state. Everything reads 0, false or empty until FormCreate sets it.
  const std::uint8_t* FramePixel = nullptr;
  std::uint8_t* WorkPixel = nullptr;
  std::int32_t IcedCount = 0;
  double CleanedPercent = 0.0;
  double WinPercent = 0.0;
  QString SummerResourceName;
  QString IceResourceName;
  std::int32_t PictureNumber = 0;
  std::int32_t FreezeStep = 0;
  std::int32_t MotionThreshold = 0;
  std::int32_t FrameWidth = 0;
  std::int32_t FrameHeight = 0;
  std::int32_t PixelCount = 0;
  // Per-pixel arrays, column-major: index = x * FrameHeight + y, rows counted from the top.
  std::unique_ptr<std::int32_t[]> GrayLevels;
  std::unique_ptr<std::int32_t[]> PreviousGrayLevels;
  std::unique_ptr<std::int32_t[]> CleanLevels;
  std::int32_t PixelIndex = 0;
  std::int32_t Difference = 0;
  bool Stopped = false;
  // Instruction set of the engine's pixel walk; tests pin each one, results never depend on it.
  TWalkPath WalkPath = TWalkPath::Automatic;

  void FormCreate();
  // Sizes the working bitmaps and arrays after the video size and ices the whole window.
  void InitGameBuffers();
  void FreeGameBuffers();
  // The sizing half of InitGameBuffers for a given frame size (steps after reading the size).
  void SizeGameBuffers(int width, int height);
  // Loads picture pair PictureNumber into the four picture bitmaps.
  void LoadPicturePair();

  // The engine: one camera frame in, the composed picture out.
  void CaptureControl1FrameCaptureCompleted(TObject* Sender, const TFrameData& FrameData,
                                            TFrameCaptureDest DestType, const QString& FileName,
                                            bool Success);
  void CaptureControl1FrameOverlayUsingDC(TObject* Sender, const TFrameInfo& FrameInfo, HDC Dc);
  void CaptureControl1VideoDeviceSelected(TObject* Sender);

  void StartStopButtonClick();
  void CameraSensitivityTrackBarChange();
  void FreezingSpeedTrackBarChange();
  void ImageSelectUpDownChangingEx(bool& AllowChange, short NewValue, TUpDownDirection Direction);
  void DeviceButtonClick();
  void StreamButtonClick();
  void VideoDeviceComboBoxChange();
  void VideoSizesComboBoxChange();
  void MenuExitClick();
  void MenuVideoOptionsClick();
  void MenuAboutClick();

 protected:
  void FormShow() override;
  void FormClose() override;

 private:
  void BindControls();
  // Names and descriptions for screen readers.
  void DescribeControls();
  void UpdatePictureLabel();
  void ProcessPixels(const TBitmap& frame);
  void FitPicturesToFrame();

  QString congratulations_;  // the closing message, translated
  QString windowCleaned_;
};

extern TVideoCaptureForm* VideoCaptureForm;

// The dialogs the main window opens and fills. The dialogs live in a higher library and
// register themselves here when created; either may be absent (tests).
extern TForm* VideoSettingsWindow;
extern TForm* AboutWindow;
