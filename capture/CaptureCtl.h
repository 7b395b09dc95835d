// The capture control: a panel that shows the live picture and hands frames to its owner.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QFrame>
#include <QImage>
#include <QString>

#include "capture/CaptureTypes.h"
#include "platform/toolkit/Forms.h"

class TCaptureCore;

// Façade of the video capture component. All state and work sit in TCaptureCore; this widget
// carries the published settings (a Qt property each, so a window description can store them)
// and the event handlers, and offers the operations.
// Thread: UI (every member). Owned by its parent window; owns its TCaptureCore.
class TCaptureControl : public QFrame, public TLoadable {
  Q_OBJECT
  Q_PROPERTY(CaptureTypes::TVideoSource VideoSource READ VideoSource WRITE SetVideoSource)
  Q_PROPERTY(int VideoDevice READ VideoDevice WRITE SetVideoDevice)
  Q_PROPERTY(int VideoSize READ VideoSize WRITE SetVideoSize)
  Q_PROPERTY(CaptureTypes::TFrameGrabber FrameGrabber READ FrameGrabber WRITE SetFrameGrabber)
  Q_PROPERTY(CaptureTypes::TFrameGrabberRGBFormat FrameGrabberRGBFormat READ FrameGrabberRGBFormat
                 WRITE SetFrameGrabberRGBFormat)
  Q_PROPERTY(int FrameCaptureZoomSize READ FrameCaptureZoomSize WRITE SetFrameCaptureZoomSize)
  Q_PROPERTY(bool FrameCaptureWithoutOverlay READ FrameCaptureWithoutOverlay WRITE
                 SetFrameCaptureWithoutOverlay)
  Q_PROPERTY(bool BurstMode READ BurstMode WRITE SetBurstMode)
  Q_PROPERTY(int BurstCount READ BurstCount WRITE SetBurstCount)
  Q_PROPERTY(int BurstInterval READ BurstInterval WRITE SetBurstInterval)
  Q_PROPERTY(CaptureTypes::TFrameCaptureDest BurstType READ BurstType WRITE SetBurstType)
  Q_PROPERTY(bool EventNotificationSynchrone READ EventNotificationSynchrone WRITE
                 SetEventNotificationSynchrone)
  Q_PROPERTY(CaptureTypes::TNotificationMethod NotificationMethod READ NotificationMethod WRITE
                 SetNotificationMethod)
  Q_PROPERTY(int NotificationSleepTime READ NotificationSleepTime WRITE SetNotificationSleepTime)
  Q_PROPERTY(CaptureTypes::TThreadPriority NotificationPriority READ NotificationPriority WRITE
                 SetNotificationPriority)
  Q_PROPERTY(bool AutoStartPreview READ AutoStartPreview WRITE SetAutoStartPreview)
  Q_PROPERTY(bool AutoRefreshPreview READ AutoRefreshPreview WRITE SetAutoRefreshPreview)
  Q_PROPERTY(bool StoreDeviceSettingsInRegistry READ StoreDeviceSettingsInRegistry WRITE
                 SetStoreDeviceSettingsInRegistry)
  Q_PROPERTY(bool VideoControlSettings READ VideoControlSettings WRITE SetVideoControlSettings)
  Q_PROPERTY(bool VideoQualitySettings READ VideoQualitySettings WRITE SetVideoQualitySettings)
  Q_PROPERTY(bool CameraControlSettings READ CameraControlSettings WRITE SetCameraControlSettings)
  Q_PROPERTY(bool VideoProcessing_FlipHorizontal READ VideoProcessing_FlipHorizontal WRITE
                 SetVideoProcessing_FlipHorizontal)
  Q_PROPERTY(int VideoProcessing_Brightness READ VideoProcessing_Brightness WRITE
                 SetVideoProcessing_Brightness)
  Q_PROPERTY(
      int VideoProcessing_Contrast READ VideoProcessing_Contrast WRITE SetVideoProcessing_Contrast)
  Q_PROPERTY(int VideoProcessing_Saturation READ VideoProcessing_Saturation WRITE
                 SetVideoProcessing_Saturation)
  Q_PROPERTY(int VideoProcessing_Hue READ VideoProcessing_Hue WRITE SetVideoProcessing_Hue)
  Q_PROPERTY(bool VideoProcessing_GrayScale READ VideoProcessing_GrayScale WRITE
                 SetVideoProcessing_GrayScale)
  Q_PROPERTY(bool VideoProcessing_InvertColors READ VideoProcessing_InvertColors WRITE
                 SetVideoProcessing_InvertColors)
  Q_PROPERTY(bool VideoProcessing_FlipVertical READ VideoProcessing_FlipVertical WRITE
                 SetVideoProcessing_FlipVertical)
  Q_PROPERTY(CaptureTypes::TVideoDeinterlacing VideoProcessing_Deinterlacing READ
                 VideoProcessing_Deinterlacing WRITE SetVideoProcessing_Deinterlacing)
  Q_PROPERTY(CaptureTypes::TVideoRotation VideoProcessing_Rotation READ VideoProcessing_Rotation
                 WRITE SetVideoProcessing_Rotation)
  Q_PROPERTY(CaptureTypes::TVideoRenderer VideoRenderer READ VideoRenderer WRITE SetVideoRenderer)
  Q_PROPERTY(bool Display_Active READ Display_Active WRITE SetDisplay_Active)
  Q_PROPERTY(bool Display_AutoSize READ Display_AutoSize WRITE SetDisplay_AutoSize)
  Q_PROPERTY(
      bool Display_KeepAspectRatio READ Display_KeepAspectRatio WRITE SetDisplay_KeepAspectRatio)
  Q_PROPERTY(bool Display_Embedded READ Display_Embedded WRITE SetDisplay_Embedded)
  Q_PROPERTY(
      bool Display_MouseMovesWindow READ Display_MouseMovesWindow WRITE SetDisplay_MouseMovesWindow)
  Q_PROPERTY(
      bool Display_VideoPortEnabled READ Display_VideoPortEnabled WRITE SetDisplay_VideoPortEnabled)
  Q_PROPERTY(bool Display_FullScreen READ Display_FullScreen WRITE SetDisplay_FullScreen)
  Q_PROPERTY(bool Display_StayOnTop READ Display_StayOnTop WRITE SetDisplay_StayOnTop)
  Q_PROPERTY(int Display_Left READ Display_Left WRITE SetDisplay_Left)
  Q_PROPERTY(int Display_Top READ Display_Top WRITE SetDisplay_Top)
  Q_PROPERTY(int Display_Width READ Display_Width WRITE SetDisplay_Width)
  Q_PROPERTY(int Display_Height READ Display_Height WRITE SetDisplay_Height)
  Q_PROPERTY(int Display_Monitor READ Display_Monitor WRITE SetDisplay_Monitor)
  Q_PROPERTY(int PreviewZoomSize READ PreviewZoomSize WRITE SetPreviewZoomSize)
  Q_PROPERTY(int BackgroundColor READ BackgroundColor WRITE SetBackgroundColor)
  Q_PROPERTY(CaptureTypes::TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
  Q_PROPERTY(int BusyCursor READ BusyCursor WRITE SetBusyCursor)
  Q_PROPERTY(int NormalCursor READ NormalCursor WRITE SetNormalCursor)
  Q_PROPERTY(bool LogoDisplayed READ LogoDisplayed WRITE SetLogoDisplayed)
  Q_PROPERTY(CaptureTypes::TLogoLayout LogoLayout READ LogoLayout WRITE SetLogoLayout)
  Q_PROPERTY(QString Version READ Version WRITE SetVersion)
  Q_PROPERTY(int UniqueID READ UniqueID WRITE SetUniqueID)
  Q_PROPERTY(int ASFAudioBitRate READ ASFAudioBitRate WRITE SetASFAudioBitRate)
  Q_PROPERTY(int ASFAudioChannels READ ASFAudioChannels WRITE SetASFAudioChannels)
  Q_PROPERTY(int ASFDeinterlaceMode READ ASFDeinterlaceMode WRITE SetASFDeinterlaceMode)
  Q_PROPERTY(bool ASFFixedFrameRate READ ASFFixedFrameRate WRITE SetASFFixedFrameRate)
  Q_PROPERTY(QString ASFMediaServerPublishingPoint READ ASFMediaServerPublishingPoint WRITE
                 SetASFMediaServerPublishingPoint)
  Q_PROPERTY(int ASFNetworkPort READ ASFNetworkPort WRITE SetASFNetworkPort)
  Q_PROPERTY(int ASFNetworkMaxUsers READ ASFNetworkMaxUsers WRITE SetASFNetworkMaxUsers)
  Q_PROPERTY(int ASFProfile READ ASFProfile WRITE SetASFProfile)
  Q_PROPERTY(QString ASFProfileFromCustomFile READ ASFProfileFromCustomFile WRITE
                 SetASFProfileFromCustomFile)
  Q_PROPERTY(int ASFVideoBitRate READ ASFVideoBitRate WRITE SetASFVideoBitRate)
  Q_PROPERTY(int ASFVideoHeight READ ASFVideoHeight WRITE SetASFVideoHeight)
  Q_PROPERTY(int ASFVideoMaxKeyFrameSpacing READ ASFVideoMaxKeyFrameSpacing WRITE
                 SetASFVideoMaxKeyFrameSpacing)
  Q_PROPERTY(int ASFVideoQuality READ ASFVideoQuality WRITE SetASFVideoQuality)
  Q_PROPERTY(int ASFVideoWidth READ ASFVideoWidth WRITE SetASFVideoWidth)
  Q_PROPERTY(int NetworkStreaming READ NetworkStreaming WRITE SetNetworkStreaming)
  Q_PROPERTY(bool AssociateAudioAndVideoDevices READ AssociateAudioAndVideoDevices WRITE
                 SetAssociateAudioAndVideoDevices)
  Q_PROPERTY(int AudioDevice READ AudioDevice WRITE SetAudioDevice)
  Q_PROPERTY(int AudioFormat READ AudioFormat WRITE SetAudioFormat)
  Q_PROPERTY(bool AudioDeviceRendering READ AudioDeviceRendering WRITE SetAudioDeviceRendering)
  Q_PROPERTY(bool AudioRecording READ AudioRecording WRITE SetAudioRecording)
  Q_PROPERTY(
      bool AutoConnectRelatedPins READ AutoConnectRelatedPins WRITE SetAutoConnectRelatedPins)
  Q_PROPERTY(int AutoFileName READ AutoFileName WRITE SetAutoFileName)
  Q_PROPERTY(QString AutoFilePrefix READ AutoFilePrefix WRITE SetAutoFilePrefix)
  Q_PROPERTY(bool AutoStartPlayer READ AutoStartPlayer WRITE SetAutoStartPlayer)
  Q_PROPERTY(bool AVIFormatOpenDML READ AVIFormatOpenDML WRITE SetAVIFormatOpenDML)
  Q_PROPERTY(QString CaptureFileExt READ CaptureFileExt WRITE SetCaptureFileExt)
  Q_PROPERTY(bool ColorKeyEnabled READ ColorKeyEnabled WRITE SetColorKeyEnabled)
  Q_PROPERTY(int CompressionMode READ CompressionMode WRITE SetCompressionMode)
  Q_PROPERTY(int CompressionType READ CompressionType WRITE SetCompressionType)
  Q_PROPERTY(bool DualDisplay_Active READ DualDisplay_Active WRITE SetDualDisplay_Active)
  Q_PROPERTY(bool DualDisplay_AutoSize READ DualDisplay_AutoSize WRITE SetDualDisplay_AutoSize)
  Q_PROPERTY(bool DualDisplay_KeepAspectRatio READ DualDisplay_KeepAspectRatio WRITE
                 SetDualDisplay_KeepAspectRatio)
  Q_PROPERTY(bool DualDisplay_Embedded READ DualDisplay_Embedded WRITE SetDualDisplay_Embedded)
  Q_PROPERTY(bool DualDisplay_MouseMovesWindow READ DualDisplay_MouseMovesWindow WRITE
                 SetDualDisplay_MouseMovesWindow)
  Q_PROPERTY(bool DualDisplay_VideoPortEnabled READ DualDisplay_VideoPortEnabled WRITE
                 SetDualDisplay_VideoPortEnabled)
  Q_PROPERTY(
      bool DualDisplay_FullScreen READ DualDisplay_FullScreen WRITE SetDualDisplay_FullScreen)
  Q_PROPERTY(bool DualDisplay_StayOnTop READ DualDisplay_StayOnTop WRITE SetDualDisplay_StayOnTop)
  Q_PROPERTY(int DualDisplay_Left READ DualDisplay_Left WRITE SetDualDisplay_Left)
  Q_PROPERTY(int DualDisplay_Top READ DualDisplay_Top WRITE SetDualDisplay_Top)
  Q_PROPERTY(int DualDisplay_Width READ DualDisplay_Width WRITE SetDualDisplay_Width)
  Q_PROPERTY(int DualDisplay_Height READ DualDisplay_Height WRITE SetDualDisplay_Height)
  Q_PROPERTY(int DualDisplay_Monitor READ DualDisplay_Monitor WRITE SetDualDisplay_Monitor)
  Q_PROPERTY(bool DVRgb219 READ DVRgb219 WRITE SetDVRgb219)
  Q_PROPERTY(bool DVReduceFrameRate READ DVReduceFrameRate WRITE SetDVReduceFrameRate)
  Q_PROPERTY(bool HoldRecording READ HoldRecording WRITE SetHoldRecording)
  Q_PROPERTY(int JPEGPerformance READ JPEGPerformance WRITE SetJPEGPerformance)
  Q_PROPERTY(
      bool JPEGProgressiveDisplay READ JPEGProgressiveDisplay WRITE SetJPEGProgressiveDisplay)
  Q_PROPERTY(int JPEGQuality READ JPEGQuality WRITE SetJPEGQuality)
  Q_PROPERTY(bool MotionDetector_CompareBlue READ MotionDetector_CompareBlue WRITE
                 SetMotionDetector_CompareBlue)
  Q_PROPERTY(bool MotionDetector_CompareGreen READ MotionDetector_CompareGreen WRITE
                 SetMotionDetector_CompareGreen)
  Q_PROPERTY(bool MotionDetector_CompareRed READ MotionDetector_CompareRed WRITE
                 SetMotionDetector_CompareRed)
  Q_PROPERTY(
      bool MotionDetector_GreyScale READ MotionDetector_GreyScale WRITE SetMotionDetector_GreyScale)
  Q_PROPERTY(
      bool MotionDetector_Enabled READ MotionDetector_Enabled WRITE SetMotionDetector_Enabled)
  Q_PROPERTY(QString MotionDetector_Grid READ MotionDetector_Grid WRITE SetMotionDetector_Grid)
  Q_PROPERTY(double MotionDetector_MaxDetectionsPerSecond READ MotionDetector_MaxDetectionsPerSecond
                 WRITE SetMotionDetector_MaxDetectionsPerSecond)
  Q_PROPERTY(int MotionDetector_ReduceCPULoad READ MotionDetector_ReduceCPULoad WRITE
                 SetMotionDetector_ReduceCPULoad)
  Q_PROPERTY(bool MotionDetector_ReduceVideoNoise READ MotionDetector_ReduceVideoNoise WRITE
                 SetMotionDetector_ReduceVideoNoise)
  Q_PROPERTY(
      CaptureTypes::TMultiplexedRole MultiplexedRole READ MultiplexedRole WRITE SetMultiplexedRole)
  Q_PROPERTY(double MultiplexedSlaveFrameRate READ MultiplexedSlaveFrameRate WRITE
                 SetMultiplexedSlaveFrameRate)
  Q_PROPERTY(int MultiplexedSlave1ID READ MultiplexedSlave1ID WRITE SetMultiplexedSlave1ID)
  Q_PROPERTY(int MultiplexedSlave2ID READ MultiplexedSlave2ID WRITE SetMultiplexedSlave2ID)
  Q_PROPERTY(int MultiplexedSlave3ID READ MultiplexedSlave3ID WRITE SetMultiplexedSlave3ID)
  Q_PROPERTY(int MultiplexedSlave4ID READ MultiplexedSlave4ID WRITE SetMultiplexedSlave4ID)
  Q_PROPERTY(bool MuteAudioRendering READ MuteAudioRendering WRITE SetMuteAudioRendering)
  Q_PROPERTY(bool PlayerAudioRendering READ PlayerAudioRendering WRITE SetPlayerAudioRendering)
  Q_PROPERTY(int PlayerDVSize READ PlayerDVSize WRITE SetPlayerDVSize)
  Q_PROPERTY(
      int PlayerFastSeekSpeedRatio READ PlayerFastSeekSpeedRatio WRITE SetPlayerFastSeekSpeedRatio)
  Q_PROPERTY(QString PlayerFileName READ PlayerFileName WRITE SetPlayerFileName)
  Q_PROPERTY(QString PlayerForcedCodec READ PlayerForcedCodec WRITE SetPlayerForcedCodec)
  Q_PROPERTY(bool PlayerRefreshPausedDisplay READ PlayerRefreshPausedDisplay WRITE
                 SetPlayerRefreshPausedDisplay)
  Q_PROPERTY(double PlayerSpeedRatio READ PlayerSpeedRatio WRITE SetPlayerSpeedRatio)
  Q_PROPERTY(QString PlayerTrackBar READ PlayerTrackBar WRITE SetPlayerTrackBar)
  Q_PROPERTY(bool PreallocCapFileCopiedAfterRecording READ PreallocCapFileCopiedAfterRecording WRITE
                 SetPreallocCapFileCopiedAfterRecording)
  Q_PROPERTY(
      bool PreallocCapFileEnabled READ PreallocCapFileEnabled WRITE SetPreallocCapFileEnabled)
  Q_PROPERTY(QString PreallocCapFileName READ PreallocCapFileName WRITE SetPreallocCapFileName)
  Q_PROPERTY(
      int PreallocCapFileSizeInMB READ PreallocCapFileSizeInMB WRITE SetPreallocCapFileSizeInMB)
  Q_PROPERTY(QString PropertyPageSaver READ PropertyPageSaver WRITE SetPropertyPageSaver)
  Q_PROPERTY(QString RecordingFileName READ RecordingFileName WRITE SetRecordingFileName)
  Q_PROPERTY(
      bool RecordingInNativeFormat READ RecordingInNativeFormat WRITE SetRecordingInNativeFormat)
  Q_PROPERTY(int RecordingMethod READ RecordingMethod WRITE SetRecordingMethod)
  Q_PROPERTY(bool RecordingOnMotion_Enabled READ RecordingOnMotion_Enabled WRITE
                 SetRecordingOnMotion_Enabled)
  Q_PROPERTY(double RecordingOnMotion_MotionThreshold READ RecordingOnMotion_MotionThreshold WRITE
                 SetRecordingOnMotion_MotionThreshold)
  Q_PROPERTY(int RecordingOnMotion_NoMotionPauseDelayMs READ RecordingOnMotion_NoMotionPauseDelayMs
                 WRITE SetRecordingOnMotion_NoMotionPauseDelayMs)
  Q_PROPERTY(bool Reencoding_IncludeAudioStream READ Reencoding_IncludeAudioStream WRITE
                 SetReencoding_IncludeAudioStream)
  Q_PROPERTY(bool Reencoding_IncludeVideoStream READ Reencoding_IncludeVideoStream WRITE
                 SetReencoding_IncludeVideoStream)
  Q_PROPERTY(int Reencoding_Method READ Reencoding_Method WRITE SetReencoding_Method)
  Q_PROPERTY(
      QString Reencoding_NewVideoClip READ Reencoding_NewVideoClip WRITE SetReencoding_NewVideoClip)
  Q_PROPERTY(QString Reencoding_SourceVideoClip READ Reencoding_SourceVideoClip WRITE
                 SetReencoding_SourceVideoClip)
  Q_PROPERTY(int Reencoding_StartTime READ Reencoding_StartTime WRITE SetReencoding_StartTime)
  Q_PROPERTY(int Reencoding_StopTime READ Reencoding_StopTime WRITE SetReencoding_StopTime)
  Q_PROPERTY(bool Reencoding_UseAudioCompressor READ Reencoding_UseAudioCompressor WRITE
                 SetReencoding_UseAudioCompressor)
  Q_PROPERTY(bool Reencoding_UseFrameGrabber READ Reencoding_UseFrameGrabber WRITE
                 SetReencoding_UseFrameGrabber)
  Q_PROPERTY(bool Reencoding_UseVideoCompressor READ Reencoding_UseVideoCompressor WRITE
                 SetReencoding_UseVideoCompressor)
  Q_PROPERTY(bool Reencoding_WMVOutput READ Reencoding_WMVOutput WRITE SetReencoding_WMVOutput)
  Q_PROPERTY(bool SampleCapture_Audio READ SampleCapture_Audio WRITE SetSampleCapture_Audio)
  Q_PROPERTY(bool SampleCapture_Video READ SampleCapture_Video WRITE SetSampleCapture_Video)
  Q_PROPERTY(
      bool SampleCaptureAsyncEvent READ SampleCaptureAsyncEvent WRITE SetSampleCaptureAsyncEvent)
  Q_PROPERTY(QString ShapeOverlay READ ShapeOverlay WRITE SetShapeOverlay)
  Q_PROPERTY(bool ShapeOverlayEnabled READ ShapeOverlayEnabled WRITE SetShapeOverlayEnabled)
  Q_PROPERTY(bool SpeakerControl READ SpeakerControl WRITE SetSpeakerControl)
  Q_PROPERTY(QString StoragePath READ StoragePath WRITE SetStoragePath)
  Q_PROPERTY(bool Synchronized READ Synchronized WRITE SetSynchronized)
  Q_PROPERTY(bool TextOverlay_Enabled READ TextOverlay_Enabled WRITE SetTextOverlay_Enabled)
  Q_PROPERTY(QString TextOverlay_String READ TextOverlay_String WRITE SetTextOverlay_String)
  Q_PROPERTY(int TextOverlay_Left READ TextOverlay_Left WRITE SetTextOverlay_Left)
  Q_PROPERTY(int TextOverlay_Top READ TextOverlay_Top WRITE SetTextOverlay_Top)
  Q_PROPERTY(int TextOverlay_Right READ TextOverlay_Right WRITE SetTextOverlay_Right)
  Q_PROPERTY(int TextOverlay_Align READ TextOverlay_Align WRITE SetTextOverlay_Align)
  Q_PROPERTY(QString TextOverlay_FontName READ TextOverlay_FontName WRITE SetTextOverlay_FontName)
  Q_PROPERTY(int TextOverlay_FontSize READ TextOverlay_FontSize WRITE SetTextOverlay_FontSize)
  Q_PROPERTY(int TextOverlay_FontColor READ TextOverlay_FontColor WRITE SetTextOverlay_FontColor)
  Q_PROPERTY(int TextOverlay_BkColor READ TextOverlay_BkColor WRITE SetTextOverlay_BkColor)
  Q_PROPERTY(
      bool TextOverlay_Transparent READ TextOverlay_Transparent WRITE SetTextOverlay_Transparent)
  Q_PROPERTY(bool TextOverlay_Shadow READ TextOverlay_Shadow WRITE SetTextOverlay_Shadow)
  Q_PROPERTY(
      int TextOverlay_ShadowColor READ TextOverlay_ShadowColor WRITE SetTextOverlay_ShadowColor)
  Q_PROPERTY(bool TextOverlay_Scrolling READ TextOverlay_Scrolling WRITE SetTextOverlay_Scrolling)
  Q_PROPERTY(int TextOverlay_ScrollingSpeed READ TextOverlay_ScrollingSpeed WRITE
                 SetTextOverlay_ScrollingSpeed)
  Q_PROPERTY(bool TranslateMouseCoordinates READ TranslateMouseCoordinates WRITE
                 SetTranslateMouseCoordinates)
  Q_PROPERTY(
      bool TVUseFrequencyOverrides READ TVUseFrequencyOverrides WRITE SetTVUseFrequencyOverrides)
  Q_PROPERTY(int VideoCompression_DataRate READ VideoCompression_DataRate WRITE
                 SetVideoCompression_DataRate)
  Q_PROPERTY(int VideoCompression_KeyFrameRate READ VideoCompression_KeyFrameRate WRITE
                 SetVideoCompression_KeyFrameRate)
  Q_PROPERTY(int VideoCompression_PFramesPerKeyFrame READ VideoCompression_PFramesPerKeyFrame WRITE
                 SetVideoCompression_PFramesPerKeyFrame)
  Q_PROPERTY(double VideoCompression_Quality READ VideoCompression_Quality WRITE
                 SetVideoCompression_Quality)
  Q_PROPERTY(int VideoCompression_WindowSize READ VideoCompression_WindowSize WRITE
                 SetVideoCompression_WindowSize)
  Q_PROPERTY(int VideoFromImages_BitmapsSortedBy READ VideoFromImages_BitmapsSortedBy WRITE
                 SetVideoFromImages_BitmapsSortedBy)
  Q_PROPERTY(double VideoFromImages_FrameRate READ VideoFromImages_FrameRate WRITE
                 SetVideoFromImages_FrameRate)
  Q_PROPERTY(bool VideoFromImages_RepeatIndefinitely READ VideoFromImages_RepeatIndefinitely WRITE
                 SetVideoFromImages_RepeatIndefinitely)
  Q_PROPERTY(QString VideoFromImages_SourceDirectory READ VideoFromImages_SourceDirectory WRITE
                 SetVideoFromImages_SourceDirectory)
  Q_PROPERTY(QString VideoFromImages_TemporaryFile READ VideoFromImages_TemporaryFile WRITE
                 SetVideoFromImages_TemporaryFile)
  Q_PROPERTY(
      QString VideoSource_FileOrURL READ VideoSource_FileOrURL WRITE SetVideoSource_FileOrURL)
  Q_PROPERTY(int VideoSource_FileOrURL_StartTime READ VideoSource_FileOrURL_StartTime WRITE
                 SetVideoSource_FileOrURL_StartTime)
  Q_PROPERTY(int VideoSource_FileOrURL_StopTime READ VideoSource_FileOrURL_StopTime WRITE
                 SetVideoSource_FileOrURL_StopTime)
  Q_PROPERTY(QString VideoSizes READ VideoSizes STORED false)
  Q_PROPERTY(int VideoWidth READ VideoWidth STORED false)
  Q_PROPERTY(int VideoHeight READ VideoHeight STORED false)

 public:
  explicit TCaptureControl(QWidget* parent = nullptr);
  ~TCaptureControl() override;

  // Builds and runs the preview of the selected device; true when it runs.
  bool StartPreview();
  // Stops the preview; no frame event follows once it returns.
  void StopPreview();
  // Requests the next frame through OnFrameCaptureCompleted; false without a running preview or
  // with a request already waiting.
  bool CaptureFrameTo(TFrameCaptureDest dest, const QString& fileName);
  // The opened device's sizes: "default" first, then "WxH", each line ended by CR LF.
  QString VideoSizes() const;
  int VideoInputIndex(const QString& pattern) const;
  void UseNearestVideoSize(int width, int height, bool enabled);
  int VideoWidth() const;
  int VideoHeight() const;
  // Shows dialog number index modally (0 device properties, 3 stream format); true if shown.
  bool ShowDialog(unsigned index);

  // Published settings. Writes out of range keep the old value; "Version" ignores writes.
  CaptureTypes::TVideoSource VideoSource() const;
  void SetVideoSource(CaptureTypes::TVideoSource value);
  int VideoDevice() const;
  void SetVideoDevice(int value);
  int VideoSize() const;
  void SetVideoSize(int value);
  CaptureTypes::TFrameGrabber FrameGrabber() const;
  void SetFrameGrabber(CaptureTypes::TFrameGrabber value);
  CaptureTypes::TFrameGrabberRGBFormat FrameGrabberRGBFormat() const;
  void SetFrameGrabberRGBFormat(CaptureTypes::TFrameGrabberRGBFormat value);
  int FrameCaptureZoomSize() const;
  void SetFrameCaptureZoomSize(int value);
  bool FrameCaptureWithoutOverlay() const;
  void SetFrameCaptureWithoutOverlay(bool value);
  bool BurstMode() const;
  void SetBurstMode(bool value);
  int BurstCount() const;
  void SetBurstCount(int value);
  int BurstInterval() const;
  void SetBurstInterval(int value);
  CaptureTypes::TFrameCaptureDest BurstType() const;
  void SetBurstType(CaptureTypes::TFrameCaptureDest value);
  bool EventNotificationSynchrone() const;
  void SetEventNotificationSynchrone(bool value);
  CaptureTypes::TNotificationMethod NotificationMethod() const;
  void SetNotificationMethod(CaptureTypes::TNotificationMethod value);
  int NotificationSleepTime() const;
  void SetNotificationSleepTime(int value);
  CaptureTypes::TThreadPriority NotificationPriority() const;
  void SetNotificationPriority(CaptureTypes::TThreadPriority value);
  bool AutoStartPreview() const;
  void SetAutoStartPreview(bool value);
  bool AutoRefreshPreview() const;
  void SetAutoRefreshPreview(bool value);
  bool StoreDeviceSettingsInRegistry() const;
  void SetStoreDeviceSettingsInRegistry(bool value);
  bool VideoControlSettings() const;
  void SetVideoControlSettings(bool value);
  bool VideoQualitySettings() const;
  void SetVideoQualitySettings(bool value);
  bool CameraControlSettings() const;
  void SetCameraControlSettings(bool value);
  bool VideoProcessing_FlipHorizontal() const;
  void SetVideoProcessing_FlipHorizontal(bool value);
  int VideoProcessing_Brightness() const;
  void SetVideoProcessing_Brightness(int value);
  int VideoProcessing_Contrast() const;
  void SetVideoProcessing_Contrast(int value);
  int VideoProcessing_Saturation() const;
  void SetVideoProcessing_Saturation(int value);
  int VideoProcessing_Hue() const;
  void SetVideoProcessing_Hue(int value);
  bool VideoProcessing_GrayScale() const;
  void SetVideoProcessing_GrayScale(bool value);
  bool VideoProcessing_InvertColors() const;
  void SetVideoProcessing_InvertColors(bool value);
  bool VideoProcessing_FlipVertical() const;
  void SetVideoProcessing_FlipVertical(bool value);
  CaptureTypes::TVideoDeinterlacing VideoProcessing_Deinterlacing() const;
  void SetVideoProcessing_Deinterlacing(CaptureTypes::TVideoDeinterlacing value);
  CaptureTypes::TVideoRotation VideoProcessing_Rotation() const;
  void SetVideoProcessing_Rotation(CaptureTypes::TVideoRotation value);
  CaptureTypes::TVideoRenderer VideoRenderer() const;
  void SetVideoRenderer(CaptureTypes::TVideoRenderer value);
  bool Display_Active() const;
  void SetDisplay_Active(bool value);
  bool Display_AutoSize() const;
  void SetDisplay_AutoSize(bool value);
  bool Display_KeepAspectRatio() const;
  void SetDisplay_KeepAspectRatio(bool value);
  bool Display_Embedded() const;
  void SetDisplay_Embedded(bool value);
  bool Display_MouseMovesWindow() const;
  void SetDisplay_MouseMovesWindow(bool value);
  bool Display_VideoPortEnabled() const;
  void SetDisplay_VideoPortEnabled(bool value);
  bool Display_FullScreen() const;
  void SetDisplay_FullScreen(bool value);
  bool Display_StayOnTop() const;
  void SetDisplay_StayOnTop(bool value);
  int Display_Left() const;
  void SetDisplay_Left(int value);
  int Display_Top() const;
  void SetDisplay_Top(int value);
  int Display_Width() const;
  void SetDisplay_Width(int value);
  int Display_Height() const;
  void SetDisplay_Height(int value);
  int Display_Monitor() const;
  void SetDisplay_Monitor(int value);
  int PreviewZoomSize() const;
  void SetPreviewZoomSize(int value);
  int BackgroundColor() const;
  void SetBackgroundColor(int value);
  CaptureTypes::TBorderStyle BorderStyle() const;
  void SetBorderStyle(CaptureTypes::TBorderStyle value);
  int BusyCursor() const;
  void SetBusyCursor(int value);
  int NormalCursor() const;
  void SetNormalCursor(int value);
  bool LogoDisplayed() const;
  void SetLogoDisplayed(bool value);
  CaptureTypes::TLogoLayout LogoLayout() const;
  void SetLogoLayout(CaptureTypes::TLogoLayout value);
  QString Version() const;
  void SetVersion(const QString& value);
  int UniqueID() const;
  void SetUniqueID(int value);
  int ASFAudioBitRate() const;
  void SetASFAudioBitRate(int value);
  int ASFAudioChannels() const;
  void SetASFAudioChannels(int value);
  int ASFDeinterlaceMode() const;
  void SetASFDeinterlaceMode(int value);
  bool ASFFixedFrameRate() const;
  void SetASFFixedFrameRate(bool value);
  QString ASFMediaServerPublishingPoint() const;
  void SetASFMediaServerPublishingPoint(const QString& value);
  int ASFNetworkPort() const;
  void SetASFNetworkPort(int value);
  int ASFNetworkMaxUsers() const;
  void SetASFNetworkMaxUsers(int value);
  int ASFProfile() const;
  void SetASFProfile(int value);
  QString ASFProfileFromCustomFile() const;
  void SetASFProfileFromCustomFile(const QString& value);
  int ASFVideoBitRate() const;
  void SetASFVideoBitRate(int value);
  int ASFVideoHeight() const;
  void SetASFVideoHeight(int value);
  int ASFVideoMaxKeyFrameSpacing() const;
  void SetASFVideoMaxKeyFrameSpacing(int value);
  int ASFVideoQuality() const;
  void SetASFVideoQuality(int value);
  int ASFVideoWidth() const;
  void SetASFVideoWidth(int value);
  int NetworkStreaming() const;
  void SetNetworkStreaming(int value);
  bool AssociateAudioAndVideoDevices() const;
  void SetAssociateAudioAndVideoDevices(bool value);
  int AudioDevice() const;
  void SetAudioDevice(int value);
  int AudioFormat() const;
  void SetAudioFormat(int value);
  bool AudioDeviceRendering() const;
  void SetAudioDeviceRendering(bool value);
  bool AudioRecording() const;
  void SetAudioRecording(bool value);
  bool AutoConnectRelatedPins() const;
  void SetAutoConnectRelatedPins(bool value);
  int AutoFileName() const;
  void SetAutoFileName(int value);
  QString AutoFilePrefix() const;
  void SetAutoFilePrefix(const QString& value);
  bool AutoStartPlayer() const;
  void SetAutoStartPlayer(bool value);
  bool AVIFormatOpenDML() const;
  void SetAVIFormatOpenDML(bool value);
  QString CaptureFileExt() const;
  void SetCaptureFileExt(const QString& value);
  bool ColorKeyEnabled() const;
  void SetColorKeyEnabled(bool value);
  int CompressionMode() const;
  void SetCompressionMode(int value);
  int CompressionType() const;
  void SetCompressionType(int value);
  bool DualDisplay_Active() const;
  void SetDualDisplay_Active(bool value);
  bool DualDisplay_AutoSize() const;
  void SetDualDisplay_AutoSize(bool value);
  bool DualDisplay_KeepAspectRatio() const;
  void SetDualDisplay_KeepAspectRatio(bool value);
  bool DualDisplay_Embedded() const;
  void SetDualDisplay_Embedded(bool value);
  bool DualDisplay_MouseMovesWindow() const;
  void SetDualDisplay_MouseMovesWindow(bool value);
  bool DualDisplay_VideoPortEnabled() const;
  void SetDualDisplay_VideoPortEnabled(bool value);
  bool DualDisplay_FullScreen() const;
  void SetDualDisplay_FullScreen(bool value);
  bool DualDisplay_StayOnTop() const;
  void SetDualDisplay_StayOnTop(bool value);
  int DualDisplay_Left() const;
  void SetDualDisplay_Left(int value);
  int DualDisplay_Top() const;
  void SetDualDisplay_Top(int value);
  int DualDisplay_Width() const;
  void SetDualDisplay_Width(int value);
  int DualDisplay_Height() const;
  void SetDualDisplay_Height(int value);
  int DualDisplay_Monitor() const;
  void SetDualDisplay_Monitor(int value);
  bool DVRgb219() const;
  void SetDVRgb219(bool value);
  bool DVReduceFrameRate() const;
  void SetDVReduceFrameRate(bool value);
  bool HoldRecording() const;
  void SetHoldRecording(bool value);
  int JPEGPerformance() const;
  void SetJPEGPerformance(int value);
  bool JPEGProgressiveDisplay() const;
  void SetJPEGProgressiveDisplay(bool value);
  int JPEGQuality() const;
  void SetJPEGQuality(int value);
  bool MotionDetector_CompareBlue() const;
  void SetMotionDetector_CompareBlue(bool value);
  bool MotionDetector_CompareGreen() const;
  void SetMotionDetector_CompareGreen(bool value);
  bool MotionDetector_CompareRed() const;
  void SetMotionDetector_CompareRed(bool value);
  bool MotionDetector_GreyScale() const;
  void SetMotionDetector_GreyScale(bool value);
  bool MotionDetector_Enabled() const;
  void SetMotionDetector_Enabled(bool value);
  QString MotionDetector_Grid() const;
  void SetMotionDetector_Grid(const QString& value);
  double MotionDetector_MaxDetectionsPerSecond() const;
  void SetMotionDetector_MaxDetectionsPerSecond(double value);
  int MotionDetector_ReduceCPULoad() const;
  void SetMotionDetector_ReduceCPULoad(int value);
  bool MotionDetector_ReduceVideoNoise() const;
  void SetMotionDetector_ReduceVideoNoise(bool value);
  CaptureTypes::TMultiplexedRole MultiplexedRole() const;
  void SetMultiplexedRole(CaptureTypes::TMultiplexedRole value);
  double MultiplexedSlaveFrameRate() const;
  void SetMultiplexedSlaveFrameRate(double value);
  int MultiplexedSlave1ID() const;
  void SetMultiplexedSlave1ID(int value);
  int MultiplexedSlave2ID() const;
  void SetMultiplexedSlave2ID(int value);
  int MultiplexedSlave3ID() const;
  void SetMultiplexedSlave3ID(int value);
  int MultiplexedSlave4ID() const;
  void SetMultiplexedSlave4ID(int value);
  bool MuteAudioRendering() const;
  void SetMuteAudioRendering(bool value);
  bool PlayerAudioRendering() const;
  void SetPlayerAudioRendering(bool value);
  int PlayerDVSize() const;
  void SetPlayerDVSize(int value);
  int PlayerFastSeekSpeedRatio() const;
  void SetPlayerFastSeekSpeedRatio(int value);
  QString PlayerFileName() const;
  void SetPlayerFileName(const QString& value);
  QString PlayerForcedCodec() const;
  void SetPlayerForcedCodec(const QString& value);
  bool PlayerRefreshPausedDisplay() const;
  void SetPlayerRefreshPausedDisplay(bool value);
  double PlayerSpeedRatio() const;
  void SetPlayerSpeedRatio(double value);
  QString PlayerTrackBar() const;
  void SetPlayerTrackBar(const QString& value);
  bool PreallocCapFileCopiedAfterRecording() const;
  void SetPreallocCapFileCopiedAfterRecording(bool value);
  bool PreallocCapFileEnabled() const;
  void SetPreallocCapFileEnabled(bool value);
  QString PreallocCapFileName() const;
  void SetPreallocCapFileName(const QString& value);
  int PreallocCapFileSizeInMB() const;
  void SetPreallocCapFileSizeInMB(int value);
  QString PropertyPageSaver() const;
  void SetPropertyPageSaver(const QString& value);
  QString RecordingFileName() const;
  void SetRecordingFileName(const QString& value);
  bool RecordingInNativeFormat() const;
  void SetRecordingInNativeFormat(bool value);
  int RecordingMethod() const;
  void SetRecordingMethod(int value);
  bool RecordingOnMotion_Enabled() const;
  void SetRecordingOnMotion_Enabled(bool value);
  double RecordingOnMotion_MotionThreshold() const;
  void SetRecordingOnMotion_MotionThreshold(double value);
  int RecordingOnMotion_NoMotionPauseDelayMs() const;
  void SetRecordingOnMotion_NoMotionPauseDelayMs(int value);
  bool Reencoding_IncludeAudioStream() const;
  void SetReencoding_IncludeAudioStream(bool value);
  bool Reencoding_IncludeVideoStream() const;
  void SetReencoding_IncludeVideoStream(bool value);
  int Reencoding_Method() const;
  void SetReencoding_Method(int value);
  QString Reencoding_NewVideoClip() const;
  void SetReencoding_NewVideoClip(const QString& value);
  QString Reencoding_SourceVideoClip() const;
  void SetReencoding_SourceVideoClip(const QString& value);
  int Reencoding_StartTime() const;
  void SetReencoding_StartTime(int value);
  int Reencoding_StopTime() const;
  void SetReencoding_StopTime(int value);
  bool Reencoding_UseAudioCompressor() const;
  void SetReencoding_UseAudioCompressor(bool value);
  bool Reencoding_UseFrameGrabber() const;
  void SetReencoding_UseFrameGrabber(bool value);
  bool Reencoding_UseVideoCompressor() const;
  void SetReencoding_UseVideoCompressor(bool value);
  bool Reencoding_WMVOutput() const;
  void SetReencoding_WMVOutput(bool value);
  bool SampleCapture_Audio() const;
  void SetSampleCapture_Audio(bool value);
  bool SampleCapture_Video() const;
  void SetSampleCapture_Video(bool value);
  bool SampleCaptureAsyncEvent() const;
  void SetSampleCaptureAsyncEvent(bool value);
  QString ShapeOverlay() const;
  void SetShapeOverlay(const QString& value);
  bool ShapeOverlayEnabled() const;
  void SetShapeOverlayEnabled(bool value);
  bool SpeakerControl() const;
  void SetSpeakerControl(bool value);
  QString StoragePath() const;
  void SetStoragePath(const QString& value);
  bool Synchronized() const;
  void SetSynchronized(bool value);
  bool TextOverlay_Enabled() const;
  void SetTextOverlay_Enabled(bool value);
  QString TextOverlay_String() const;
  void SetTextOverlay_String(const QString& value);
  int TextOverlay_Left() const;
  void SetTextOverlay_Left(int value);
  int TextOverlay_Top() const;
  void SetTextOverlay_Top(int value);
  int TextOverlay_Right() const;
  void SetTextOverlay_Right(int value);
  int TextOverlay_Align() const;
  void SetTextOverlay_Align(int value);
  QString TextOverlay_FontName() const;
  void SetTextOverlay_FontName(const QString& value);
  int TextOverlay_FontSize() const;
  void SetTextOverlay_FontSize(int value);
  int TextOverlay_FontColor() const;
  void SetTextOverlay_FontColor(int value);
  int TextOverlay_BkColor() const;
  void SetTextOverlay_BkColor(int value);
  bool TextOverlay_Transparent() const;
  void SetTextOverlay_Transparent(bool value);
  bool TextOverlay_Shadow() const;
  void SetTextOverlay_Shadow(bool value);
  int TextOverlay_ShadowColor() const;
  void SetTextOverlay_ShadowColor(int value);
  bool TextOverlay_Scrolling() const;
  void SetTextOverlay_Scrolling(bool value);
  int TextOverlay_ScrollingSpeed() const;
  void SetTextOverlay_ScrollingSpeed(int value);
  bool TranslateMouseCoordinates() const;
  void SetTranslateMouseCoordinates(bool value);
  bool TVUseFrequencyOverrides() const;
  void SetTVUseFrequencyOverrides(bool value);
  int VideoCompression_DataRate() const;
  void SetVideoCompression_DataRate(int value);
  int VideoCompression_KeyFrameRate() const;
  void SetVideoCompression_KeyFrameRate(int value);
  int VideoCompression_PFramesPerKeyFrame() const;
  void SetVideoCompression_PFramesPerKeyFrame(int value);
  double VideoCompression_Quality() const;
  void SetVideoCompression_Quality(double value);
  int VideoCompression_WindowSize() const;
  void SetVideoCompression_WindowSize(int value);
  int VideoFromImages_BitmapsSortedBy() const;
  void SetVideoFromImages_BitmapsSortedBy(int value);
  double VideoFromImages_FrameRate() const;
  void SetVideoFromImages_FrameRate(double value);
  bool VideoFromImages_RepeatIndefinitely() const;
  void SetVideoFromImages_RepeatIndefinitely(bool value);
  QString VideoFromImages_SourceDirectory() const;
  void SetVideoFromImages_SourceDirectory(const QString& value);
  QString VideoFromImages_TemporaryFile() const;
  void SetVideoFromImages_TemporaryFile(const QString& value);
  QString VideoSource_FileOrURL() const;
  void SetVideoSource_FileOrURL(const QString& value);
  int VideoSource_FileOrURL_StartTime() const;
  void SetVideoSource_FileOrURL_StartTime(int value);
  int VideoSource_FileOrURL_StopTime() const;
  void SetVideoSource_FileOrURL_StopTime(int value);

  // Event handlers. Sender is always this control.
  TOnFrameCaptureCompleted OnFrameCaptureCompleted;
  TEventNotification OnVideoDeviceSelected;
  TOnFrameOverlayUsingDC OnFrameOverlayUsingDC() const { return onFrameOverlayUsingDC_; }
  // Besides storing the handler, makes the frame callback run its overlay pass when assigned.
  void SetOnFrameOverlayUsingDC(TOnFrameOverlayUsingDC handler);
  TOnFrameProgress OnFrameProgress;
  TEventNotification OnPreviewStarted;
  TEventNotification OnInactive;
  TEventNotification OnDeviceLost;
  TEventNotification OnNoVideoDevices;
  TEventNotification OnReinitializing;
  TOnLog OnLog;
  TOnDeviceArrivalOrRemoval OnDeviceArrivalOrRemoval;
  TEventNotification OnAudioDeviceSelected;
  TEventNotification OnBacktimedFramesCountReached;
  TEventNotification OnClick;
  TEventNotification OnDblClick;
  TEventNotification OnDiskFull;
  TEventNotification OnPlayerEndOfStream;
  TEventNotification OnPlayerOpened;
  TEventNotification OnRecordingReadyToStart;
  TEventNotification OnTVChannelScanCompleted;
  TOnProgress OnBitmapsLoadingProgress;
  TOnProgress OnCopyPreallocDataProgress;
  TOnProgress OnCreatePreallocFileProgress;
  TOnProgress OnReencodingProgress;
  TOnColorKeyChange OnColorKeyChange;
  TOnSourceFileToDestFileStarted OnCopyPreallocDataStarted;
  TOnSourceFileToDestFileStarted OnReencodingStarted;
  TOnSourceFileToDestFileCompleted OnCopyPreallocDataCompleted;
  TOnSourceFileToDestFileCompleted OnReencodingCompleted;
  TOnFileNotification OnCreatePreallocFileStarted;
  TOnFileNotification OnRecordingStarted;
  TOnCreatePreallocatedFileCompleted OnCreatePreallocFileCompleted;
  TOnRecordingCompleted OnRecordingCompleted;
  TOnDirectNetworkStreamingHostUrl OnDirectNetworkStreamingHostUrl;
  TOnDVCommandCompleted OnDVCommandCompleted;
  TOnFrameOverlayUsingDIB OnFrameOverlayUsingDIB;
  TOnFrameOverlayUsingVIDEOHDR OnFrameOverlayUsingVIDEOHDR;
  TOnKeyPress OnKeyPress;
  TOnMouseDownUp OnMouseDown;
  TOnMouseDownUp OnMouseUp;
  TOnMouseMove OnMouseMove;
  TOnMotionDetected OnMotionDetected;
  TOnMotionNotDetected OnMotionNotDetected;
  TOnPlayerBufferingData OnPlayerBufferingData;
  TOnResizeVideo OnResizeVideo;
  TOnSampleCapture OnSampleCapture_Audio;
  TOnSampleCapture OnSampleCapture_Video;
  TOnThirdPartyFilterConnected OnThirdPartyFilterConnected;
  TOnTVChannelScanStarted OnTVChannelScanStarted;
  TOnTVChannelSelected OnTVChannelSelected;
  TOnVideoCompressionSettings OnVideoCompressionSettings;
  TOnBitmapFormatNeeded OnVideoFromBitmaps_FormatNeeded;
  TOnBitmapNextFrameNeeded OnVideoFromBitmaps_NextFrameNeeded;

  // The handler tests: assigned and the component not being destroyed; EventReady also needs
  // the control's window.
  template <class H>
  bool EventAssigned(const H& handler) const {
    return static_cast<bool>(handler) && !DestroyingNow();
  }
  template <class H>
  bool EventReady(const H& handler) const {
    return EventAssigned(handler) && HandleAllocated();
  }
  // The control has a window: a parent window, or a window of its own that exists.
  bool HandleAllocated() const;
  // Gives up the control's window handle (as when a window is recreated); events that need a
  // window are not raised until it has one again.
  void DestroyHandle() { handleAllocated_.store(false); }

  // The logo that Paint shows with LogoDisplayed.
  void SetLogo(const QImage& logo);
  const QImage& Logo() const { return logo_; }
  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption) { caption_ = caption; }

  TCaptureCore& Core() { return *core_; }
  const TCaptureCore& Core() const { return *core_; }
  void Loaded() override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  // Takes the graph's notification message; every other event goes to the panel.
  bool event(QEvent* event) override;

 private:
  bool DestroyingNow() const;
  void DetachHandlers();

  std::unique_ptr<TCaptureCore> core_;
  // Whether the control has a window, kept on the UI thread for the other threads' handler tests.
  std::atomic<bool> handleAllocated_{false};
  bool ready_ = false;  // false until construction ends and again from the start of destruction
  TOnFrameOverlayUsingDC onFrameOverlayUsingDC_;
  QImage logo_;
  QString caption_;
};

// The names of the video capture devices in index order, each followed by CR LF.
QString VideoDevices();
// Cameras present that this user has no permission to open, so not among VideoDevices.
int CamerasWithoutPermission();

// Messages for the player (a camera that cannot be opened or started, no usable picture,
// settings not kept) reach sink on the UI thread, from the event loop, so never in the middle of
// the caller's work; without a sink each opens a message box. An empty function removes the
// sink. Thread: UI.
using TPlayerMessageSink = std::function<void(const QString& text)>;
void SetPlayerMessageSink(TPlayerMessageSink sink);
