// Published settings of the capture control: most are stored, range-checked or refresh the
// preview; the display settings go to the displays' change handler.
#include "capture/CaptureCtl.h"
#include "capture/core/CaptureCore.h"

CaptureTypes::TVideoSource TCaptureControl::VideoSource() const {
  return core_->Settings.VideoSource;
}
void TCaptureControl::SetVideoSource(CaptureTypes::TVideoSource value) {
  core_->Settings.VideoSource = value;
}
int TCaptureControl::FrameCaptureZoomSize() const {
  return core_->Settings.FrameCaptureZoomSize;
}
void TCaptureControl::SetFrameCaptureZoomSize(int value) {
  core_->Settings.FrameCaptureZoomSize = value;
}
bool TCaptureControl::FrameCaptureWithoutOverlay() const {
  return core_->Settings.FrameCaptureWithoutOverlay;
}
void TCaptureControl::SetFrameCaptureWithoutOverlay(bool value) {
  if (core_->Settings.FrameCaptureWithoutOverlay == value) return;
  core_->Settings.FrameCaptureWithoutOverlay = value;
  core_->RefreshPreview(QStringLiteral("sfwo"));
}
bool TCaptureControl::EventNotificationSynchrone() const {
  return core_->Settings.EventNotificationSynchrone;
}
void TCaptureControl::SetEventNotificationSynchrone(bool value) {
  core_->Settings.EventNotificationSynchrone = value;
}
bool TCaptureControl::AutoStartPreview() const {
  return core_->Settings.AutoStartPreview;
}
void TCaptureControl::SetAutoStartPreview(bool value) {
  core_->Settings.AutoStartPreview = value;
}
bool TCaptureControl::AutoRefreshPreview() const {
  return core_->Settings.AutoRefreshPreview;
}
void TCaptureControl::SetAutoRefreshPreview(bool value) {
  core_->Settings.AutoRefreshPreview = value;
}
bool TCaptureControl::StoreDeviceSettingsInRegistry() const {
  return core_->Settings.StoreDeviceSettingsInRegistry;
}
void TCaptureControl::SetStoreDeviceSettingsInRegistry(bool value) {
  core_->Settings.StoreDeviceSettingsInRegistry = value;
}
bool TCaptureControl::VideoControlSettings() const {
  return core_->Settings.VideoControlSettings;
}
void TCaptureControl::SetVideoControlSettings(bool value) {
  core_->Settings.VideoControlSettings = value;
}
bool TCaptureControl::VideoQualitySettings() const {
  return core_->Settings.VideoQualitySettings;
}
void TCaptureControl::SetVideoQualitySettings(bool value) {
  core_->Settings.VideoQualitySettings = value;
}
bool TCaptureControl::CameraControlSettings() const {
  return core_->Settings.CameraControlSettings;
}
void TCaptureControl::SetCameraControlSettings(bool value) {
  core_->Settings.CameraControlSettings = value;
}
int TCaptureControl::VideoProcessing_Brightness() const {
  return core_->Settings.VideoProcessing_Brightness;
}
void TCaptureControl::SetVideoProcessing_Brightness(int value) {
  core_->Settings.VideoProcessing_Brightness = value;
  core_->UpdateVideoProcessing();
}
int TCaptureControl::VideoProcessing_Contrast() const {
  return core_->Settings.VideoProcessing_Contrast;
}
void TCaptureControl::SetVideoProcessing_Contrast(int value) {
  core_->Settings.VideoProcessing_Contrast = value;
  core_->UpdateVideoProcessing();
}
int TCaptureControl::VideoProcessing_Saturation() const {
  return core_->Settings.VideoProcessing_Saturation;
}
void TCaptureControl::SetVideoProcessing_Saturation(int value) {
  core_->Settings.VideoProcessing_Saturation = value;
  core_->UpdateVideoProcessing();
}
int TCaptureControl::VideoProcessing_Hue() const {
  return core_->Settings.VideoProcessing_Hue;
}
void TCaptureControl::SetVideoProcessing_Hue(int value) {
  core_->Settings.VideoProcessing_Hue = value;
  core_->UpdateVideoProcessing();
}
bool TCaptureControl::VideoProcessing_GrayScale() const {
  return core_->Settings.VideoProcessing_GrayScale;
}
void TCaptureControl::SetVideoProcessing_GrayScale(bool value) {
  core_->Settings.VideoProcessing_GrayScale = value;
  core_->UpdateVideoProcessing();
}
bool TCaptureControl::VideoProcessing_InvertColors() const {
  return core_->Settings.VideoProcessing_InvertColors;
}
void TCaptureControl::SetVideoProcessing_InvertColors(bool value) {
  core_->Settings.VideoProcessing_InvertColors = value;
  core_->UpdateVideoProcessing();
}
bool TCaptureControl::VideoProcessing_FlipVertical() const {
  return core_->Settings.VideoProcessing_FlipVertical;
}
void TCaptureControl::SetVideoProcessing_FlipVertical(bool value) {
  core_->Settings.VideoProcessing_FlipVertical = value;
  core_->UpdateVideoProcessing();
}
bool TCaptureControl::Display_Active() const {
  return core_->Settings.Display_Active;
}
void TCaptureControl::SetDisplay_Active(bool value) {
  core_->SetDisplayFlag(0, vw_Active, value);
}
bool TCaptureControl::Display_AutoSize() const {
  return core_->Settings.Display_AutoSize;
}
void TCaptureControl::SetDisplay_AutoSize(bool value) {
  core_->SetDisplayFlag(0, vw_AutoSize, value);
}
bool TCaptureControl::Display_KeepAspectRatio() const {
  return core_->Settings.Display_KeepAspectRatio;
}
void TCaptureControl::SetDisplay_KeepAspectRatio(bool value) {
  core_->SetDisplayFlag(0, vw_KeepAspectRatio, value);
}
bool TCaptureControl::Display_Embedded() const {
  return core_->Settings.Display_Embedded;
}
void TCaptureControl::SetDisplay_Embedded(bool value) {
  core_->SetDisplayFlag(0, vw_Embedded, value);
}
bool TCaptureControl::Display_MouseMovesWindow() const {
  return core_->Settings.Display_MouseMovesWindow;
}
void TCaptureControl::SetDisplay_MouseMovesWindow(bool value) {
  core_->SetDisplayFlag(0, vw_MouseMovesWindow, value);
}
bool TCaptureControl::Display_VideoPortEnabled() const {
  return core_->Settings.Display_VideoPortEnabled;
}
void TCaptureControl::SetDisplay_VideoPortEnabled(bool value) {
  core_->SetDisplayFlag(0, vw_VideoPortEnabled, value);
}
bool TCaptureControl::Display_FullScreen() const {
  return core_->Settings.Display_FullScreen;
}
void TCaptureControl::SetDisplay_FullScreen(bool value) {
  core_->SetDisplayFlag(0, vw_FullScreen, value);
}
bool TCaptureControl::Display_StayOnTop() const {
  return core_->Settings.Display_StayOnTop;
}
void TCaptureControl::SetDisplay_StayOnTop(bool value) {
  core_->SetDisplayFlag(0, vw_StayOnTop, value);
}
int TCaptureControl::Display_Left() const {
  return core_->Settings.Display_Left;
}
void TCaptureControl::SetDisplay_Left(int value) {
  core_->SetDisplayValue(0, vw_Left, value);
}
int TCaptureControl::Display_Top() const {
  return core_->Settings.Display_Top;
}
void TCaptureControl::SetDisplay_Top(int value) {
  core_->SetDisplayValue(0, vw_Top, value);
}
int TCaptureControl::Display_Width() const {
  return core_->Settings.Display_Width;
}
void TCaptureControl::SetDisplay_Width(int value) {
  core_->SetDisplayValue(0, vw_Width, value);
}
int TCaptureControl::Display_Height() const {
  return core_->Settings.Display_Height;
}
void TCaptureControl::SetDisplay_Height(int value) {
  core_->SetDisplayValue(0, vw_Height, value);
}
int TCaptureControl::Display_Monitor() const {
  return core_->Settings.Display_Monitor;
}
void TCaptureControl::SetDisplay_Monitor(int value) {
  core_->SetDisplayValue(0, vw_Monitor, value);
}
int TCaptureControl::PreviewZoomSize() const {
  return core_->Settings.PreviewZoomSize;
}
void TCaptureControl::SetPreviewZoomSize(int value) {
  core_->SetPreviewZoomSize(value);
}
int TCaptureControl::BackgroundColor() const {
  return core_->Settings.BackgroundColor;
}
void TCaptureControl::SetBackgroundColor(int value) {
  core_->SetBackgroundColor(value);
}
CaptureTypes::TBorderStyle TCaptureControl::BorderStyle() const {
  return core_->Settings.BorderStyle;
}
void TCaptureControl::SetBorderStyle(CaptureTypes::TBorderStyle value) {
  core_->SetBorderStyle(value);
}
int TCaptureControl::BusyCursor() const {
  return core_->Settings.BusyCursor;
}
void TCaptureControl::SetBusyCursor(int value) {
  core_->Settings.BusyCursor = static_cast<TCursor>(value);
}
int TCaptureControl::NormalCursor() const {
  return core_->Settings.NormalCursor;
}
void TCaptureControl::SetNormalCursor(int value) {
  core_->Settings.NormalCursor = static_cast<TCursor>(value);
}
bool TCaptureControl::LogoDisplayed() const {
  return core_->Settings.LogoDisplayed;
}
void TCaptureControl::SetLogoDisplayed(bool value) {
  core_->Settings.LogoDisplayed = value;
  update();
}
CaptureTypes::TLogoLayout TCaptureControl::LogoLayout() const {
  return core_->Settings.LogoLayout;
}
void TCaptureControl::SetLogoLayout(CaptureTypes::TLogoLayout value) {
  core_->Settings.LogoLayout = value;
  update();
}
int TCaptureControl::UniqueID() const {
  return core_->Settings.UniqueID;
}
void TCaptureControl::SetUniqueID(int value) {
  core_->Settings.UniqueID = value;
}
int TCaptureControl::ASFAudioBitRate() const {
  return core_->Settings.ASFAudioBitRate;
}
void TCaptureControl::SetASFAudioBitRate(int value) {
  core_->Settings.ASFAudioBitRate = value;
}
int TCaptureControl::ASFAudioChannels() const {
  return core_->Settings.ASFAudioChannels;
}
void TCaptureControl::SetASFAudioChannels(int value) {
  core_->Settings.ASFAudioChannels = value;
}
int TCaptureControl::ASFDeinterlaceMode() const {
  return core_->Settings.ASFDeinterlaceMode;
}
void TCaptureControl::SetASFDeinterlaceMode(int value) {
  core_->Settings.ASFDeinterlaceMode = value;
}
bool TCaptureControl::ASFFixedFrameRate() const {
  return core_->Settings.ASFFixedFrameRate;
}
void TCaptureControl::SetASFFixedFrameRate(bool value) {
  core_->Settings.ASFFixedFrameRate = value;
}
int TCaptureControl::ASFNetworkPort() const {
  return core_->Settings.ASFNetworkPort;
}
void TCaptureControl::SetASFNetworkPort(int value) {
  core_->Settings.ASFNetworkPort = value;
}
int TCaptureControl::ASFNetworkMaxUsers() const {
  return core_->Settings.ASFNetworkMaxUsers;
}
void TCaptureControl::SetASFNetworkMaxUsers(int value) {
  core_->Settings.ASFNetworkMaxUsers = value;
}
int TCaptureControl::ASFProfile() const {
  return core_->Settings.ASFProfile;
}
void TCaptureControl::SetASFProfile(int value) {
  core_->Settings.ASFProfile = value;
}
QString TCaptureControl::ASFProfileFromCustomFile() const {
  return core_->Settings.ASFProfileFromCustomFile;
}
void TCaptureControl::SetASFProfileFromCustomFile(const QString& value) {
  core_->Settings.ASFProfileFromCustomFile = value;
}
int TCaptureControl::ASFVideoBitRate() const {
  return core_->Settings.ASFVideoBitRate;
}
void TCaptureControl::SetASFVideoBitRate(int value) {
  core_->Settings.ASFVideoBitRate = value;
}
int TCaptureControl::ASFVideoHeight() const {
  return core_->Settings.ASFVideoHeight;
}
void TCaptureControl::SetASFVideoHeight(int value) {
  core_->Settings.ASFVideoHeight = value;
}
int TCaptureControl::ASFVideoMaxKeyFrameSpacing() const {
  return core_->Settings.ASFVideoMaxKeyFrameSpacing;
}
void TCaptureControl::SetASFVideoMaxKeyFrameSpacing(int value) {
  core_->Settings.ASFVideoMaxKeyFrameSpacing = value;
}
int TCaptureControl::ASFVideoQuality() const {
  return core_->Settings.ASFVideoQuality;
}
void TCaptureControl::SetASFVideoQuality(int value) {
  core_->Settings.ASFVideoQuality = value;
}
int TCaptureControl::ASFVideoWidth() const {
  return core_->Settings.ASFVideoWidth;
}
void TCaptureControl::SetASFVideoWidth(int value) {
  core_->Settings.ASFVideoWidth = value;
}
int TCaptureControl::NetworkStreaming() const {
  return core_->Settings.NetworkStreaming;
}
void TCaptureControl::SetNetworkStreaming(int value) {
  if (core_->Settings.NetworkStreaming == value) return;
  core_->Settings.NetworkStreaming = value;
  core_->RefreshPreview(QStringLiteral("snstr"));
}
bool TCaptureControl::AssociateAudioAndVideoDevices() const {
  return core_->Settings.AssociateAudioAndVideoDevices;
}
void TCaptureControl::SetAssociateAudioAndVideoDevices(bool value) {
  core_->Settings.AssociateAudioAndVideoDevices = value;
}
int TCaptureControl::AudioDevice() const {
  return core_->Settings.AudioDevice;
}
void TCaptureControl::SetAudioDevice(int value) {
  core_->Settings.AudioDevice = value;
}
int TCaptureControl::AudioFormat() const {
  return core_->Settings.AudioFormat;
}
void TCaptureControl::SetAudioFormat(int value) {
  core_->Settings.AudioFormat = value;
}
bool TCaptureControl::AudioDeviceRendering() const {
  return core_->Settings.AudioDeviceRendering;
}
void TCaptureControl::SetAudioDeviceRendering(bool value) {
  core_->Settings.AudioDeviceRendering = value;
}
bool TCaptureControl::AudioRecording() const {
  return core_->Settings.AudioRecording;
}
void TCaptureControl::SetAudioRecording(bool value) {
  core_->Settings.AudioRecording = value;
}
bool TCaptureControl::AutoConnectRelatedPins() const {
  return core_->Settings.AutoConnectRelatedPins;
}
void TCaptureControl::SetAutoConnectRelatedPins(bool value) {
  core_->Settings.AutoConnectRelatedPins = value;
}
int TCaptureControl::AutoFileName() const {
  return core_->Settings.AutoFileName;
}
void TCaptureControl::SetAutoFileName(int value) {
  core_->Settings.AutoFileName = value;
}
bool TCaptureControl::AutoStartPlayer() const {
  return core_->Settings.AutoStartPlayer;
}
void TCaptureControl::SetAutoStartPlayer(bool value) {
  core_->Settings.AutoStartPlayer = value;
}
bool TCaptureControl::AVIFormatOpenDML() const {
  return core_->Settings.AVIFormatOpenDML;
}
void TCaptureControl::SetAVIFormatOpenDML(bool value) {
  core_->Settings.AVIFormatOpenDML = value;
}
QString TCaptureControl::CaptureFileExt() const {
  return core_->Settings.CaptureFileExt;
}
void TCaptureControl::SetCaptureFileExt(const QString& value) {
  core_->Settings.CaptureFileExt = value;
}
bool TCaptureControl::ColorKeyEnabled() const {
  return core_->Settings.ColorKeyEnabled;
}
void TCaptureControl::SetColorKeyEnabled(bool value) {
  if (core_->Settings.ColorKeyEnabled == value) return;
  core_->Settings.ColorKeyEnabled = value;
  core_->RefreshPreview(QStringLiteral("scke"));
}
int TCaptureControl::CompressionMode() const {
  return core_->Settings.CompressionMode;
}
void TCaptureControl::SetCompressionMode(int value) {
  core_->Settings.CompressionMode = value;
}
int TCaptureControl::CompressionType() const {
  return core_->Settings.CompressionType;
}
void TCaptureControl::SetCompressionType(int value) {
  core_->Settings.CompressionType = value;
}
bool TCaptureControl::DualDisplay_Active() const {
  return core_->Settings.DualDisplay_Active;
}
void TCaptureControl::SetDualDisplay_Active(bool value) {
  core_->SetDisplayFlag(1, vw_Active, value);
}
bool TCaptureControl::DualDisplay_AutoSize() const {
  return core_->Settings.DualDisplay_AutoSize;
}
void TCaptureControl::SetDualDisplay_AutoSize(bool value) {
  core_->SetDisplayFlag(1, vw_AutoSize, value);
}
bool TCaptureControl::DualDisplay_KeepAspectRatio() const {
  return core_->Settings.DualDisplay_KeepAspectRatio;
}
void TCaptureControl::SetDualDisplay_KeepAspectRatio(bool value) {
  core_->SetDisplayFlag(1, vw_KeepAspectRatio, value);
}
bool TCaptureControl::DualDisplay_Embedded() const {
  return core_->Settings.DualDisplay_Embedded;
}
void TCaptureControl::SetDualDisplay_Embedded(bool value) {
  core_->SetDisplayFlag(1, vw_Embedded, value);
}
bool TCaptureControl::DualDisplay_MouseMovesWindow() const {
  return core_->Settings.DualDisplay_MouseMovesWindow;
}
void TCaptureControl::SetDualDisplay_MouseMovesWindow(bool value) {
  core_->SetDisplayFlag(1, vw_MouseMovesWindow, value);
}
bool TCaptureControl::DualDisplay_VideoPortEnabled() const {
  return core_->Settings.DualDisplay_VideoPortEnabled;
}
void TCaptureControl::SetDualDisplay_VideoPortEnabled(bool value) {
  core_->SetDisplayFlag(1, vw_VideoPortEnabled, value);
}
bool TCaptureControl::DualDisplay_FullScreen() const {
  return core_->Settings.DualDisplay_FullScreen;
}
void TCaptureControl::SetDualDisplay_FullScreen(bool value) {
  core_->SetDisplayFlag(1, vw_FullScreen, value);
}
bool TCaptureControl::DualDisplay_StayOnTop() const {
  return core_->Settings.DualDisplay_StayOnTop;
}
void TCaptureControl::SetDualDisplay_StayOnTop(bool value) {
  core_->SetDisplayFlag(1, vw_StayOnTop, value);
}
int TCaptureControl::DualDisplay_Left() const {
  return core_->Settings.DualDisplay_Left;
}
void TCaptureControl::SetDualDisplay_Left(int value) {
  core_->SetDisplayValue(1, vw_Left, value);
}
int TCaptureControl::DualDisplay_Top() const {
  return core_->Settings.DualDisplay_Top;
}
void TCaptureControl::SetDualDisplay_Top(int value) {
  core_->SetDisplayValue(1, vw_Top, value);
}
int TCaptureControl::DualDisplay_Width() const {
  return core_->Settings.DualDisplay_Width;
}
void TCaptureControl::SetDualDisplay_Width(int value) {
  core_->SetDisplayValue(1, vw_Width, value);
}
int TCaptureControl::DualDisplay_Height() const {
  return core_->Settings.DualDisplay_Height;
}
void TCaptureControl::SetDualDisplay_Height(int value) {
  core_->SetDisplayValue(1, vw_Height, value);
}
int TCaptureControl::DualDisplay_Monitor() const {
  return core_->Settings.DualDisplay_Monitor;
}
void TCaptureControl::SetDualDisplay_Monitor(int value) {
  core_->SetDisplayValue(1, vw_Monitor, value);
}
bool TCaptureControl::DVRgb219() const {
  return core_->Settings.DVRgb219;
}
void TCaptureControl::SetDVRgb219(bool value) {
  core_->Settings.DVRgb219 = value;
}
bool TCaptureControl::DVReduceFrameRate() const {
  return core_->Settings.DVReduceFrameRate;
}
void TCaptureControl::SetDVReduceFrameRate(bool value) {
  if (core_->Settings.DVReduceFrameRate == value) return;
  core_->Settings.DVReduceFrameRate = value;
  core_->RefreshPreview(QStringLiteral("dvrfr"));
}
bool TCaptureControl::HoldRecording() const {
  return core_->Settings.HoldRecording;
}
void TCaptureControl::SetHoldRecording(bool value) {
  core_->Settings.HoldRecording = value;
}
int TCaptureControl::JPEGPerformance() const {
  return core_->Settings.JPEGPerformance;
}
void TCaptureControl::SetJPEGPerformance(int value) {
  core_->Settings.JPEGPerformance = value;
}
bool TCaptureControl::JPEGProgressiveDisplay() const {
  return core_->Settings.JPEGProgressiveDisplay;
}
void TCaptureControl::SetJPEGProgressiveDisplay(bool value) {
  core_->Settings.JPEGProgressiveDisplay = value;
}
int TCaptureControl::JPEGQuality() const {
  return core_->Settings.JPEGQuality;
}
void TCaptureControl::SetJPEGQuality(int value) {
  core_->Settings.JPEGQuality = value;
}
bool TCaptureControl::MotionDetector_CompareBlue() const {
  return core_->Settings.MotionDetector_CompareBlue;
}
void TCaptureControl::SetMotionDetector_CompareBlue(bool value) {
  core_->Settings.MotionDetector_CompareBlue = value;
}
bool TCaptureControl::MotionDetector_CompareGreen() const {
  return core_->Settings.MotionDetector_CompareGreen;
}
void TCaptureControl::SetMotionDetector_CompareGreen(bool value) {
  core_->Settings.MotionDetector_CompareGreen = value;
}
bool TCaptureControl::MotionDetector_CompareRed() const {
  return core_->Settings.MotionDetector_CompareRed;
}
void TCaptureControl::SetMotionDetector_CompareRed(bool value) {
  core_->Settings.MotionDetector_CompareRed = value;
}
bool TCaptureControl::MotionDetector_GreyScale() const {
  return core_->Settings.MotionDetector_GreyScale;
}
void TCaptureControl::SetMotionDetector_GreyScale(bool value) {
  core_->Settings.MotionDetector_GreyScale = value;
}
bool TCaptureControl::MotionDetector_Enabled() const {
  return core_->Settings.MotionDetector_Enabled;
}
void TCaptureControl::SetMotionDetector_Enabled(bool value) {
  core_->Settings.MotionDetector_Enabled = value;
}
QString TCaptureControl::MotionDetector_Grid() const {
  return core_->Settings.MotionDetector_Grid;
}
void TCaptureControl::SetMotionDetector_Grid(const QString& value) {
  core_->Settings.MotionDetector_Grid = value;
}
double TCaptureControl::MotionDetector_MaxDetectionsPerSecond() const {
  return core_->Settings.MotionDetector_MaxDetectionsPerSecond;
}
void TCaptureControl::SetMotionDetector_MaxDetectionsPerSecond(double value) {
  core_->Settings.MotionDetector_MaxDetectionsPerSecond = value;
}
int TCaptureControl::MotionDetector_ReduceCPULoad() const {
  return core_->Settings.MotionDetector_ReduceCPULoad;
}
void TCaptureControl::SetMotionDetector_ReduceCPULoad(int value) {
  core_->Settings.MotionDetector_ReduceCPULoad = value;
}
bool TCaptureControl::MotionDetector_ReduceVideoNoise() const {
  return core_->Settings.MotionDetector_ReduceVideoNoise;
}
void TCaptureControl::SetMotionDetector_ReduceVideoNoise(bool value) {
  core_->Settings.MotionDetector_ReduceVideoNoise = value;
}
CaptureTypes::TMultiplexedRole TCaptureControl::MultiplexedRole() const {
  return core_->Settings.MultiplexedRole;
}
void TCaptureControl::SetMultiplexedRole(CaptureTypes::TMultiplexedRole value) {
  core_->Settings.MultiplexedRole = value;
}
double TCaptureControl::MultiplexedSlaveFrameRate() const {
  return core_->Settings.MultiplexedSlaveFrameRate;
}
void TCaptureControl::SetMultiplexedSlaveFrameRate(double value) {
  core_->Settings.MultiplexedSlaveFrameRate = value;
}
int TCaptureControl::MultiplexedSlave1ID() const {
  return core_->Settings.MultiplexedSlave1ID;
}
void TCaptureControl::SetMultiplexedSlave1ID(int value) {
  core_->Settings.MultiplexedSlave1ID = value;
}
int TCaptureControl::MultiplexedSlave2ID() const {
  return core_->Settings.MultiplexedSlave2ID;
}
void TCaptureControl::SetMultiplexedSlave2ID(int value) {
  core_->Settings.MultiplexedSlave2ID = value;
}
int TCaptureControl::MultiplexedSlave3ID() const {
  return core_->Settings.MultiplexedSlave3ID;
}
void TCaptureControl::SetMultiplexedSlave3ID(int value) {
  core_->Settings.MultiplexedSlave3ID = value;
}
int TCaptureControl::MultiplexedSlave4ID() const {
  return core_->Settings.MultiplexedSlave4ID;
}
void TCaptureControl::SetMultiplexedSlave4ID(int value) {
  core_->Settings.MultiplexedSlave4ID = value;
}
bool TCaptureControl::MuteAudioRendering() const {
  return core_->Settings.MuteAudioRendering;
}
void TCaptureControl::SetMuteAudioRendering(bool value) {
  core_->Settings.MuteAudioRendering = value;
}
bool TCaptureControl::PlayerAudioRendering() const {
  return core_->Settings.PlayerAudioRendering;
}
void TCaptureControl::SetPlayerAudioRendering(bool value) {
  core_->Settings.PlayerAudioRendering = value;
}
int TCaptureControl::PlayerDVSize() const {
  return core_->Settings.PlayerDVSize;
}
void TCaptureControl::SetPlayerDVSize(int value) {
  core_->Settings.PlayerDVSize = value;
}
int TCaptureControl::PlayerFastSeekSpeedRatio() const {
  return core_->Settings.PlayerFastSeekSpeedRatio;
}
void TCaptureControl::SetPlayerFastSeekSpeedRatio(int value) {
  core_->Settings.PlayerFastSeekSpeedRatio = value;
}
QString TCaptureControl::PlayerFileName() const {
  return core_->Settings.PlayerFileName;
}
void TCaptureControl::SetPlayerFileName(const QString& value) {
  core_->Settings.PlayerFileName = value;
}
QString TCaptureControl::PlayerForcedCodec() const {
  return core_->Settings.PlayerForcedCodec;
}
void TCaptureControl::SetPlayerForcedCodec(const QString& value) {
  core_->Settings.PlayerForcedCodec = value;
}
bool TCaptureControl::PlayerRefreshPausedDisplay() const {
  return core_->Settings.PlayerRefreshPausedDisplay;
}
void TCaptureControl::SetPlayerRefreshPausedDisplay(bool value) {
  core_->Settings.PlayerRefreshPausedDisplay = value;
}
double TCaptureControl::PlayerSpeedRatio() const {
  return core_->Settings.PlayerSpeedRatio;
}
void TCaptureControl::SetPlayerSpeedRatio(double value) {
  core_->Settings.PlayerSpeedRatio = value;
}
QString TCaptureControl::PlayerTrackBar() const {
  return core_->Settings.PlayerTrackBar;
}
void TCaptureControl::SetPlayerTrackBar(const QString& value) {
  core_->Settings.PlayerTrackBar = value;
}
bool TCaptureControl::PreallocCapFileCopiedAfterRecording() const {
  return core_->Settings.PreallocCapFileCopiedAfterRecording;
}
void TCaptureControl::SetPreallocCapFileCopiedAfterRecording(bool value) {
  core_->Settings.PreallocCapFileCopiedAfterRecording = value;
}
bool TCaptureControl::PreallocCapFileEnabled() const {
  return core_->Settings.PreallocCapFileEnabled;
}
void TCaptureControl::SetPreallocCapFileEnabled(bool value) {
  core_->Settings.PreallocCapFileEnabled = value;
}
QString TCaptureControl::PreallocCapFileName() const {
  return core_->Settings.PreallocCapFileName;
}
void TCaptureControl::SetPreallocCapFileName(const QString& value) {
  core_->Settings.PreallocCapFileName = value;
}
int TCaptureControl::PreallocCapFileSizeInMB() const {
  return core_->Settings.PreallocCapFileSizeInMB;
}
void TCaptureControl::SetPreallocCapFileSizeInMB(int value) {
  core_->Settings.PreallocCapFileSizeInMB = value;
}
QString TCaptureControl::PropertyPageSaver() const {
  return core_->Settings.PropertyPageSaver;
}
void TCaptureControl::SetPropertyPageSaver(const QString& value) {
  core_->Settings.PropertyPageSaver = value;
}
QString TCaptureControl::RecordingFileName() const {
  return core_->Settings.RecordingFileName;
}
void TCaptureControl::SetRecordingFileName(const QString& value) {
  core_->Settings.RecordingFileName = value;
}
bool TCaptureControl::RecordingInNativeFormat() const {
  return core_->Settings.RecordingInNativeFormat;
}
void TCaptureControl::SetRecordingInNativeFormat(bool value) {
  core_->Settings.RecordingInNativeFormat = value;
}
int TCaptureControl::RecordingMethod() const {
  return core_->Settings.RecordingMethod;
}
void TCaptureControl::SetRecordingMethod(int value) {
  core_->Settings.RecordingMethod = value;
}
bool TCaptureControl::RecordingOnMotion_Enabled() const {
  return core_->Settings.RecordingOnMotion_Enabled;
}
void TCaptureControl::SetRecordingOnMotion_Enabled(bool value) {
  core_->Settings.RecordingOnMotion_Enabled = value;
}
double TCaptureControl::RecordingOnMotion_MotionThreshold() const {
  return core_->Settings.RecordingOnMotion_MotionThreshold;
}
void TCaptureControl::SetRecordingOnMotion_MotionThreshold(double value) {
  core_->Settings.RecordingOnMotion_MotionThreshold = value;
}
int TCaptureControl::RecordingOnMotion_NoMotionPauseDelayMs() const {
  return core_->Settings.RecordingOnMotion_NoMotionPauseDelayMs;
}
void TCaptureControl::SetRecordingOnMotion_NoMotionPauseDelayMs(int value) {
  core_->Settings.RecordingOnMotion_NoMotionPauseDelayMs = value;
}
bool TCaptureControl::Reencoding_IncludeAudioStream() const {
  return core_->Settings.Reencoding_IncludeAudioStream;
}
void TCaptureControl::SetReencoding_IncludeAudioStream(bool value) {
  core_->Settings.Reencoding_IncludeAudioStream = value;
}
bool TCaptureControl::Reencoding_IncludeVideoStream() const {
  return core_->Settings.Reencoding_IncludeVideoStream;
}
void TCaptureControl::SetReencoding_IncludeVideoStream(bool value) {
  core_->Settings.Reencoding_IncludeVideoStream = value;
}
int TCaptureControl::Reencoding_Method() const {
  return core_->Settings.Reencoding_Method;
}
void TCaptureControl::SetReencoding_Method(int value) {
  core_->Settings.Reencoding_Method = value;
}
QString TCaptureControl::Reencoding_NewVideoClip() const {
  return core_->Settings.Reencoding_NewVideoClip;
}
void TCaptureControl::SetReencoding_NewVideoClip(const QString& value) {
  core_->Settings.Reencoding_NewVideoClip = value;
}
QString TCaptureControl::Reencoding_SourceVideoClip() const {
  return core_->Settings.Reencoding_SourceVideoClip;
}
void TCaptureControl::SetReencoding_SourceVideoClip(const QString& value) {
  core_->Settings.Reencoding_SourceVideoClip = value;
}
int TCaptureControl::Reencoding_StartTime() const {
  return core_->Settings.Reencoding_StartTime;
}
void TCaptureControl::SetReencoding_StartTime(int value) {
  core_->Settings.Reencoding_StartTime = value;
}
int TCaptureControl::Reencoding_StopTime() const {
  return core_->Settings.Reencoding_StopTime;
}
void TCaptureControl::SetReencoding_StopTime(int value) {
  core_->Settings.Reencoding_StopTime = value;
}
bool TCaptureControl::Reencoding_UseAudioCompressor() const {
  return core_->Settings.Reencoding_UseAudioCompressor;
}
void TCaptureControl::SetReencoding_UseAudioCompressor(bool value) {
  core_->Settings.Reencoding_UseAudioCompressor = value;
}
bool TCaptureControl::Reencoding_UseFrameGrabber() const {
  return core_->Settings.Reencoding_UseFrameGrabber;
}
void TCaptureControl::SetReencoding_UseFrameGrabber(bool value) {
  core_->Settings.Reencoding_UseFrameGrabber = value;
}
bool TCaptureControl::Reencoding_UseVideoCompressor() const {
  return core_->Settings.Reencoding_UseVideoCompressor;
}
void TCaptureControl::SetReencoding_UseVideoCompressor(bool value) {
  core_->Settings.Reencoding_UseVideoCompressor = value;
}
bool TCaptureControl::Reencoding_WMVOutput() const {
  return core_->Settings.Reencoding_WMVOutput;
}
void TCaptureControl::SetReencoding_WMVOutput(bool value) {
  core_->Settings.Reencoding_WMVOutput = value;
}
bool TCaptureControl::SampleCapture_Audio() const {
  return core_->Settings.SampleCapture_Audio;
}
void TCaptureControl::SetSampleCapture_Audio(bool value) {
  core_->Settings.SampleCapture_Audio = value;
}
bool TCaptureControl::SampleCapture_Video() const {
  return core_->Settings.SampleCapture_Video;
}
void TCaptureControl::SetSampleCapture_Video(bool value) {
  core_->Settings.SampleCapture_Video = value;
}
bool TCaptureControl::SampleCaptureAsyncEvent() const {
  return core_->Settings.SampleCaptureAsyncEvent;
}
void TCaptureControl::SetSampleCaptureAsyncEvent(bool value) {
  core_->Settings.SampleCaptureAsyncEvent = value;
}
QString TCaptureControl::ShapeOverlay() const {
  return core_->Settings.ShapeOverlay;
}
void TCaptureControl::SetShapeOverlay(const QString& value) {
  core_->Settings.ShapeOverlay = value;
}
bool TCaptureControl::ShapeOverlayEnabled() const {
  return core_->Settings.ShapeOverlayEnabled;
}
void TCaptureControl::SetShapeOverlayEnabled(bool value) {
  core_->Settings.ShapeOverlayEnabled = value;
  core_->UpdateOverlayNeeded();
}
bool TCaptureControl::SpeakerControl() const {
  return core_->Settings.SpeakerControl;
}
void TCaptureControl::SetSpeakerControl(bool value) {
  core_->Settings.SpeakerControl = value;
}
QString TCaptureControl::StoragePath() const {
  return core_->Settings.StoragePath;
}
void TCaptureControl::SetStoragePath(const QString& value) {
  core_->Settings.StoragePath = value;
}
bool TCaptureControl::Synchronized() const {
  return core_->Settings.Synchronized;
}
void TCaptureControl::SetSynchronized(bool value) {
  core_->Settings.Synchronized = value;
}
bool TCaptureControl::TextOverlay_Enabled() const {
  return core_->Settings.TextOverlay_Enabled;
}
void TCaptureControl::SetTextOverlay_Enabled(bool value) {
  core_->Settings.TextOverlay_Enabled = value;
  core_->UpdateOverlayNeeded();
}
QString TCaptureControl::TextOverlay_String() const {
  return core_->Settings.TextOverlay_String;
}
void TCaptureControl::SetTextOverlay_String(const QString& value) {
  core_->Settings.TextOverlay_String = value;
}
int TCaptureControl::TextOverlay_Left() const {
  return core_->Settings.TextOverlay_Left;
}
void TCaptureControl::SetTextOverlay_Left(int value) {
  core_->Settings.TextOverlay_Left = value;
}
int TCaptureControl::TextOverlay_Top() const {
  return core_->Settings.TextOverlay_Top;
}
void TCaptureControl::SetTextOverlay_Top(int value) {
  core_->Settings.TextOverlay_Top = value;
}
int TCaptureControl::TextOverlay_Right() const {
  return core_->Settings.TextOverlay_Right;
}
void TCaptureControl::SetTextOverlay_Right(int value) {
  core_->Settings.TextOverlay_Right = value;
}
int TCaptureControl::TextOverlay_Align() const {
  return core_->Settings.TextOverlay_Align;
}
void TCaptureControl::SetTextOverlay_Align(int value) {
  core_->Settings.TextOverlay_Align = value;
}
QString TCaptureControl::TextOverlay_FontName() const {
  return core_->Settings.TextOverlay_FontName;
}
void TCaptureControl::SetTextOverlay_FontName(const QString& value) {
  core_->Settings.TextOverlay_FontName = value;
}
int TCaptureControl::TextOverlay_FontSize() const {
  return core_->Settings.TextOverlay_FontSize;
}
void TCaptureControl::SetTextOverlay_FontSize(int value) {
  core_->Settings.TextOverlay_FontSize = value;
}
int TCaptureControl::TextOverlay_FontColor() const {
  return core_->Settings.TextOverlay_FontColor;
}
void TCaptureControl::SetTextOverlay_FontColor(int value) {
  core_->Settings.TextOverlay_FontColor = value;
}
int TCaptureControl::TextOverlay_BkColor() const {
  return core_->Settings.TextOverlay_BkColor;
}
void TCaptureControl::SetTextOverlay_BkColor(int value) {
  core_->Settings.TextOverlay_BkColor = value;
}
bool TCaptureControl::TextOverlay_Transparent() const {
  return core_->Settings.TextOverlay_Transparent;
}
void TCaptureControl::SetTextOverlay_Transparent(bool value) {
  core_->Settings.TextOverlay_Transparent = value;
}
bool TCaptureControl::TextOverlay_Shadow() const {
  return core_->Settings.TextOverlay_Shadow;
}
void TCaptureControl::SetTextOverlay_Shadow(bool value) {
  core_->Settings.TextOverlay_Shadow = value;
}
int TCaptureControl::TextOverlay_ShadowColor() const {
  return core_->Settings.TextOverlay_ShadowColor;
}
void TCaptureControl::SetTextOverlay_ShadowColor(int value) {
  core_->Settings.TextOverlay_ShadowColor = value;
}
bool TCaptureControl::TextOverlay_Scrolling() const {
  return core_->Settings.TextOverlay_Scrolling;
}
void TCaptureControl::SetTextOverlay_Scrolling(bool value) {
  core_->Settings.TextOverlay_Scrolling = value;
}
int TCaptureControl::TextOverlay_ScrollingSpeed() const {
  return core_->Settings.TextOverlay_ScrollingSpeed;
}
void TCaptureControl::SetTextOverlay_ScrollingSpeed(int value) {
  core_->Settings.TextOverlay_ScrollingSpeed = value;
}
bool TCaptureControl::TranslateMouseCoordinates() const {
  return core_->Settings.TranslateMouseCoordinates;
}
void TCaptureControl::SetTranslateMouseCoordinates(bool value) {
  core_->Settings.TranslateMouseCoordinates = value;
}
bool TCaptureControl::TVUseFrequencyOverrides() const {
  return core_->Settings.TVUseFrequencyOverrides;
}
void TCaptureControl::SetTVUseFrequencyOverrides(bool value) {
  core_->Settings.TVUseFrequencyOverrides = value;
}
int TCaptureControl::VideoCompression_DataRate() const {
  return core_->Settings.VideoCompression_DataRate;
}
void TCaptureControl::SetVideoCompression_DataRate(int value) {
  core_->Settings.VideoCompression_DataRate = value;
}
int TCaptureControl::VideoCompression_KeyFrameRate() const {
  return core_->Settings.VideoCompression_KeyFrameRate;
}
void TCaptureControl::SetVideoCompression_KeyFrameRate(int value) {
  core_->Settings.VideoCompression_KeyFrameRate = value;
}
int TCaptureControl::VideoCompression_PFramesPerKeyFrame() const {
  return core_->Settings.VideoCompression_PFramesPerKeyFrame;
}
void TCaptureControl::SetVideoCompression_PFramesPerKeyFrame(int value) {
  core_->Settings.VideoCompression_PFramesPerKeyFrame = value;
}
double TCaptureControl::VideoCompression_Quality() const {
  return core_->Settings.VideoCompression_Quality;
}
void TCaptureControl::SetVideoCompression_Quality(double value) {
  core_->Settings.VideoCompression_Quality = value;
}
int TCaptureControl::VideoCompression_WindowSize() const {
  return core_->Settings.VideoCompression_WindowSize;
}
void TCaptureControl::SetVideoCompression_WindowSize(int value) {
  core_->Settings.VideoCompression_WindowSize = value;
}
int TCaptureControl::VideoFromImages_BitmapsSortedBy() const {
  return core_->Settings.VideoFromImages_BitmapsSortedBy;
}
void TCaptureControl::SetVideoFromImages_BitmapsSortedBy(int value) {
  core_->Settings.VideoFromImages_BitmapsSortedBy = value;
}
double TCaptureControl::VideoFromImages_FrameRate() const {
  return core_->Settings.VideoFromImages_FrameRate;
}
void TCaptureControl::SetVideoFromImages_FrameRate(double value) {
  core_->Settings.VideoFromImages_FrameRate = value;
}
bool TCaptureControl::VideoFromImages_RepeatIndefinitely() const {
  return core_->Settings.VideoFromImages_RepeatIndefinitely;
}
void TCaptureControl::SetVideoFromImages_RepeatIndefinitely(bool value) {
  core_->Settings.VideoFromImages_RepeatIndefinitely = value;
}
QString TCaptureControl::VideoFromImages_SourceDirectory() const {
  return core_->Settings.VideoFromImages_SourceDirectory;
}
void TCaptureControl::SetVideoFromImages_SourceDirectory(const QString& value) {
  core_->Settings.VideoFromImages_SourceDirectory = value;
}
QString TCaptureControl::VideoFromImages_TemporaryFile() const {
  return core_->Settings.VideoFromImages_TemporaryFile;
}
void TCaptureControl::SetVideoFromImages_TemporaryFile(const QString& value) {
  core_->Settings.VideoFromImages_TemporaryFile = value;
}
QString TCaptureControl::VideoSource_FileOrURL() const {
  return core_->Settings.VideoSource_FileOrURL;
}
void TCaptureControl::SetVideoSource_FileOrURL(const QString& value) {
  core_->Settings.VideoSource_FileOrURL = value;
}
int TCaptureControl::VideoSource_FileOrURL_StartTime() const {
  return core_->Settings.VideoSource_FileOrURL_StartTime;
}
void TCaptureControl::SetVideoSource_FileOrURL_StartTime(int value) {
  core_->Settings.VideoSource_FileOrURL_StartTime = value;
}
int TCaptureControl::VideoSource_FileOrURL_StopTime() const {
  return core_->Settings.VideoSource_FileOrURL_StopTime;
}
void TCaptureControl::SetVideoSource_FileOrURL_StopTime(int value) {
  core_->Settings.VideoSource_FileOrURL_StopTime = value;
}
