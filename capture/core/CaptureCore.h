// Implementation object of the capture control: settings, capture state, queues, worker and
// frame records, and the operations behind the control's members.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include <QEvent>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include "capture/CaptureSettings.h"
#include "capture/CaptureTypes.h"
#include "capture/core/CommandQueue.h"
#include "capture/devices/RegistrySettings.h"
#include "capture/display/DisplayWindow.h"
#include "capture/display/FrameHandOver.h"
#include "capture/graph/FilterLibrary.h"
#include "platform/com/Types.h"
#include "platform/media/ControlInterfaces.h"
#include "platform/media/DeviceInterfaces.h"
#include "platform/media/MediaType.h"
#include "platform/media/VideoWindow.h"

class QImage;
class QTimer;
class TCaptureControl;
class QWidget;
class TDeviceGraph;
class TTaskThread;

enum TCaptureState : int {
  cs_Idle = 0,
  cs_Previewing = 1,
  cs_Recording = 2,
  cs_Playing = 3,
  cs_Reencoding = 4
};
enum TGraphState : int { gs_Stopped = 0, gs_Paused = 1, gs_Running = 2 };

// A set of capture states: bit n stands for state n.
using TCaptureStates = unsigned;
inline constexpr TCaptureStates StateBit(TCaptureState s) {
  return 1u << static_cast<unsigned>(s);
}

// Command codes of RunCommand / QueueCommand.
enum TCaptureCommand : std::uint32_t {
  cmd_DeviceLost = 0,
  cmd_PlayerGoToPosition = 1,
  cmd_PlayerPause = 2,
  cmd_PlayerPauseEnd = 3,
  cmd_Notifications = 4,
  cmd_PlayerTrackBar = 5,
  cmd_TVScanStart = 6,
  cmd_TVScanStep = 7,
  cmd_Stop = 8,
  cmd_StartPreview = 9,
  cmd_Player = 10,
  cmd_StartRecording = 11,
  cmd_StartReencoding = 12,
  cmd_OpenPlayer = 13,
};

// Graph event codes the notification message acts on, beside those of the media framework.
inline constexpr long EC_PLAYER_BUFFERING = 67;

// Thread: UI, created first thing by its TCaptureControl and destroyed with it. The worker pass
// runs on the UI thread (nm_Timer) or the worker thread (nm_Thread); the frame callback on a
// streaming thread. Fields read across threads are atomics; the frame records are guarded by
// HandOver.FrameLock; the queues guard themselves.
class TCaptureCore {
 public:
  explicit TCaptureCore(TCaptureControl* owner);
  ~TCaptureCore();
  TCaptureCore(const TCaptureCore&) = delete;
  // The run-time part of construction: manager, component list, worker; then Initialized.
  void InitializeRunTime();
  TCaptureCore& operator=(const TCaptureCore&) = delete;

  // Operations of the control (UI thread).
  bool StartPreview();
  void StopPreview();
  bool CaptureFrameTo(TFrameCaptureDest dest, const QString& fileName);
  void SetBurstMode(bool on);
  void SetVideoDevice(int index);
  // Opens VideoDevice (the video selection); raises OnNoVideoDevices for an empty list.
  bool SelectVideoDevice();
  void SetVideoSize(int index);
  QString VideoSizes() const;
  QString VideoSubtypes() const;
  int VideoInputIndex(const QString& pattern) const;
  void UseNearestVideoSize(int width, int height, bool exactDisplay);
  // Opens Settings.AudioDevice: its table saved, reset, loaded and saved again.
  void SelectAudioDevice();

  // Format lists of the opened device: loaded from its registry key, or discovered once.
  bool LoadVideoFormats();
  bool DiscoverVideoFormats();
  // Adds a size entry (the first one also as the default entry unless withDefault is false).
  void AddVideoSize(int width, int height, bool withDefault = true);
  void AddVideoSubtype(REFGUID subtype);
  // The halving and doubling series of one seed within the minimum and maximum sizes.
  void AddSizeSeries(int x, int y, int minX, int minY, int maxX, int maxY);
  void FinishFormatLists();

  // Size selection. The size of entry index (-1: the current choice); false when none is known.
  bool CurrentVideoSize(int index, int* width, int* height);
  int NearestVideoSizeIndex(int width, int height);
  // Applies the chosen size, subtype and frame rate to the device's pin; true on success.
  bool ApplyVideoSize(TDeviceGraph& graph);
  void ReadBackFormat(TDeviceGraph& graph);
  void UpdateDisplaySize();

  // Stored device settings.
  bool LoadVideoSettings();
  void SaveVideoSettings();
  // The opened audio device's table, once its discovery has run.
  void SaveAudioSettings();
  // A save failed: what is unsaved is written again on a timer, after kFirstSaveRetryMs and
  // then at doubling intervals up to kMaxSaveRetryMs, until it lands. Attempts never wait for
  // another program's write lock and say nothing more; the first that lands clears the failure.
  void ScheduleSaveRetry();
  static constexpr int kFirstSaveRetryMs = 500;
  static constexpr int kMaxSaveRetryMs = 60000;
  void CaptureDeviceState(TDeviceGraph& graph);
  void ApplyVideoQuality(TDeviceGraph& graph);
  void ApplyCameraControl(TDeviceGraph& graph);
  bool ShowDialog(unsigned index);
  void SetFrameGrabber(TFrameGrabber value);
  void SetFrameGrabberRGBFormat(TFrameGrabberRGBFormat value);
  void SetVideoRenderer(TVideoRenderer value);
  void SetFlipHorizontal(bool on);
  void SetDeinterlacing(TVideoDeinterlacing value);
  void SetRotation(TVideoRotation value);
  void SetNotificationMethod(TNotificationMethod method);
  void SetNotificationSleepTime(int value);
  void SetNotificationPriority(TThreadPriority priority);
  void SetASFMediaServerPublishingPoint(const QString& value);
  void SetAutoFilePrefix(const QString& value);

  // Six checks of the capture state against the allowed set; each failing one is reported with
  // severity. True when none failed. Fails silently before Initialized.
  bool CheckPreconditions(TCaptureStates allowed, int severity, bool deviceCheck);
  // Restarts a running (or wanted) preview after a setting that shapes the graph changed.
  void RefreshPreview(const QString& code);
  void BeginBusy();
  void EndBusy();
  bool Busy() const { return busy_; }

  // Commands and events.
  void QueueCommand(std::uint32_t code);
  void RunCommand(std::uint32_t code);
  template <class H>
  void PostEvent(const H& handler) {
    PostEventRecord(THandlerId::Of(handler));
  }
  void PostEventRecord(const THandlerId& code);
  // One worker pass; timerMode dispatches the event before the command.
  void WorkerPass(bool timerMode);
  void PeriodicTask();
  // A frame was handed over (streaming thread): asks the worker to deliver it at once rather
  // than at its next tick. One request at a time; it dies with the control.
  void FrameTaken();
  // The graph's notification message: one graph event and its parameter.
  void HandleGraphEvent(long code, long param1);

  // The frame callback of the grabber (streaming thread).
  void FrameCallback(QImage& picture, std::int64_t sampleTime) {
    HandOver.TakeFrame(*this, picture, sampleTime);
  }

  // The frame grabber's callback (streaming thread): one sample's picture as the grabber
  // describes it.
  void GrabberFrame(GrabberControlBlock& block, std::int64_t sampleTime, std::int32_t length,
                    const GrabberFrameDescription& description);
  // The graph's notification message: drains the graph's events (UI thread).
  void HandleGraphNotify();
  // The picture settings the grabbers apply, as last set (any thread).
  VideoProcessingBlock ProcessingBlock() const;
  // Displays (capture/display): the settings of display 0 or 1 by index; a write runs the
  // change handler (the twin rule, then assign, lay out and show).
  bool DisplayFlag(int display, TVideoWindowSetting setting) const;
  int DisplayValue(int display, TVideoWindowSetting setting) const;
  void SetDisplayFlag(int display, TVideoWindowSetting setting, bool value);
  void SetDisplayValue(int display, TVideoWindowSetting setting, int value);
  void SetBorderStyle(CaptureTypes::TBorderStyle value);
  void SetPreviewZoomSize(int value);
  void SetBackgroundColor(int value);
  // The video's size on screen in a display.
  QSize DisplayVideoSize() const;
  // Gives the renderers' records to the displays and embeds their video windows.
  void AssignDisplays();
  // Lays out every record (or, while idle, sizes the control to the video).
  void LayoutDisplay();
  // Shows the forms of the assigned records, then lays out.
  void ShowDisplay();
  void HideDisplay();
  // The form of record 0 (the display renderer) or 1 (the second renderer); nullptr before
  // the first graph.
  QWidget* DisplayForm(int record = 0) const;
  const TVideoWindow& Display(int display) const { return displays_[display]; }
  // The rectangle of monitor slot index; empty for an index outside 0 to 9 or without a screen.
  QRect MonitorRect(int index) const;
  // Input on a display form (record index), raised as the control's events.
  void DisplayMouse(int record, QEvent::Type type, Qt::MouseButton button,
                    Qt::KeyboardModifiers modifiers, QPoint position, QPoint global);
  void DisplayKey(int record, QChar key, Qt::KeyboardModifiers modifiers);
  // A display form painted: its renderer's window repaints after it.
  void DisplayPainted(int record);
  // A display form moved: the renderer windows of all three records repaint (not while the
  // control is being destroyed).
  void DisplayMoved();
  // The current graph's base (device filter and its interfaces), or nullptr.
  TDeviceGraph* Graph() const { return graph_.get(); }

  void UpdateOverlayNeeded();
  void UpdateVideoProcessing();
  TTaskThread* Worker() const { return worker_.get(); }
  // Ends the worker thread (before the control detaches its handlers).
  void EndWorker();
  // The stop procedure: ends the current activity (a no-op unless a graph is active). The
  // streaming threads have ended when it returns.
  void StopGraph();
  int EffectivePeriod() const { return effectivePeriod_; }

  TCaptureControl* const Owner;
  TCaptureSettings Settings;

  // Capture state.
  std::atomic<TCaptureState> CaptureState{cs_Idle};
  bool Initialized = false;
  std::atomic<bool> Destroying{false};
  // Written by command 0 (worker thread in thread mode), read on the UI thread.
  std::atomic<bool> PreviewWanted{false};
  std::atomic<int> GraphState{gs_Stopped};
  std::atomic<bool> GraphActive{false};
  int OpenedVideoDevice = -1;
  bool VideoSelectionDone = false;
  int NearestWidth = 0;
  int NearestHeight = 0;
  bool UseNearest = false;
  int VideoWidth = 320;
  int VideoHeight = 240;
  int VideoDevice = 0;
  int VideoSize = 0;
  int VideoSubtype = 0;
  // Frame rate in hundredths of a frame per second, applied with a size.
  int CaptureFrameRate = 2997;
  int OpenedAudioDevice = -1;
  // A selection is running (guards re-entry on its own thread).
  bool Selecting = false;
  // The sizes and formats of the opened device are known.
  bool DeviceDiscovered = false;
  // A one-time discovery is running: binding the device logs nothing.
  bool Discovering = false;
  // What the last attempt to open the video device answered (in use, no permission, gone).
  HRESULT DeviceOpenResult = S_OK;
  QStringList VideoSizeList;
  QStringList VideoSubtypeList;
  // One line per video input of the device's crossbar, each ended by CR LF.
  QString VideoInputs;
  TVideoRegSave VideoRegSave;
  TAudioRegSave AudioRegSave;
  // The FrameGrabber value in force for the current run, taken at the last preview start.
  TFrameGrabber RunFrameGrabber = fg_Disabled;

  // Burst and capture requests; written by the UI and the streaming thread.
  std::atomic<bool> BurstMode{false};
  std::atomic<int> BurstCount{3};
  std::atomic<int> BurstInterval{0};
  TFrameCaptureDest BurstType = fc_TBitmap;
  std::atomic<int> BurstRemaining{0};
  std::atomic<int> BurstCountdown{0};
  std::atomic<bool> CapturePending{false};
  TFrameCaptureDest CaptureDest = fc_TBitmap;
  QString CaptureFileName;
  std::atomic<bool> OverlayNeeded{false};

  // Notification flags: set by the graph message or the frame callback, cleared by command 4.
  std::atomic<bool> NotifyDeviceLost{false};
  std::atomic<bool> NotifyAbort{false};
  std::atomic<bool> NotifyComplete{false};
  std::atomic<bool> NotifyStreamStopped{false};
  std::atomic<bool> NotifyBufferingOn{false};
  std::atomic<bool> NotifyBufferingOff{false};
  std::atomic<bool> NotifyBacktimed{false};
  bool PlayerBuffering = false;

  // Video processing flags derived from the VideoProcessing_ settings.
  bool ColorAdjustment = false;
  bool HalfSizeDeinterlacing = false;
  bool FullSizeDeinterlacing = false;
  bool SwappedDimensions = false;
  bool TransformNeeded = false;

  // Values handed to the handlers of the facilities the game does not use.
  TProgressInfo Progress;
  TTVChannelInfo TVChannel;
  int TVScanMin = 0;
  int TVScanMax = 0;
  bool LastOperationSucceeded = false;
  QString HostUrl;
  QString HostName;
  int HostPort = 0;

  TCommandQueue Queue;
  TFrameHandOver HandOver;
  TGlobalRegSave GlobalRegSave;

 private:
  bool RestartGraph(TCaptureState mode);
  // Stops and tears the graph down; resetState also returns to Idle.
  void ClearGraph(bool resetState);
  bool BuildPreview(TGrabberRgbFormat format);
  // The device part of every graph: the bound device with its stored size, image and camera
  // settings and crossbar routing applied (graph_ must exist).
  bool BuildBaseGraph();

  // Property dialogs. Each runs modally on the UI thread; a graph built for one is torn down
  // before it returns.
  bool ShowDevicePages();
  bool DialogPreconditions();
  // The device graph of a dialog, in graph_; a WDM device runs it with a renderer so the
  // control shows the effect of the pages.
  bool BuildDialogGraph();
  bool DeviceDialogProcedure(unsigned dialog);
  bool StreamDialogProcedure();
  bool ShowCompressorDialog(bool audio);
  bool ShowAudioDevicePages();
  TGrabberRgbFormat ChooseGrabberFormat();
  static int ScreenDepth();
  bool ConnectPins(IPin* out, IPin* in);
  bool InsertGrabber(int slot, TGrabberMode mode, TGrabberRgbFormat format, bool delivery,
                     ComPtr<IPin>& upstream);
  void InsertTransforms(ComPtr<IPin>& upstream);
  // A camera sending MJPEG larger than the display size asked for (UseNearestVideoSize) gets
  // the MJPEG decoder here, its output then connected at that size, so that frames are decoded
  // at a reduced scale instead of full size; upstream becomes the decoder's output.
  void InsertScalingDecoder(ComPtr<IPin>& upstream);
  bool InsertRenderer(ComPtr<IPin>& upstream);
  void ReadGrabberMediaType();
  void FreeGrabberMediaType();
  // The result of the last media control call (Run for gs_Running).
  HRESULT ChangeGraphState(TGraphState target, const QString& tag);
  // Ends a start whose graph would not run: Idle, logged, the player told (UI thread).
  void ActivationFailed(TCaptureState mode, HRESULT hr);
  void HandleNotificationFlags();
  bool HasParentWindow() const;
  void AddSeedSeries(int width, int height, const SIZE& minSize, const SIZE& maxSize);
  void WalkCapabilities(TDeviceGraph& graph);
  void ProbeVfwFormats(TDeviceGraph& graph);
  void AddFixedMpegEntries();
  void AddDvDecoderSubtypes();
  REFERENCE_TIME FrameDuration() const;
  QString ChosenSubtype();

  enum TSlot { fs_FrameGrabber = 0, fs_DummyGrabber = 1, fs_PreGrabber = 2, fs_Transform = 3 };
  std::unique_ptr<TDeviceGraph> graph_;
  ComPtr<IMediaControl> mediaControl_;
  ComPtr<IMediaEventEx> mediaEvent_;
  ComPtr<IAMDroppedFrames> droppedFrames_;
  // The output of the decoder InsertScalingDecoder added, and the size it is to deliver.
  ComPtr<IPin> scaledOutput_;
  QSize scaledSize_;
  REFERENCE_TIME scaledInterval_ = 0;
  std::array<FilterSlot, 17> slots_;
  AM_MEDIA_TYPE* grabberMediaType_ = nullptr;
  // Adds a renderer for record index behind upstream; true when it is connected.
  bool AddRenderer(int index, IPin* upstream);
  void AttachRecord(TDisplayRecord& record);
  void DetachDisplays();
  void LayoutRecord(TDisplayRecord& record);
  // Whether display n sizes the control to the video (AutoSize on an embedded, windowed display
  // of a control that no layout or pair of opposite anchors sizes).
  bool AutoSizeApplies(int n) const;
  void DisplayChanged(int display, TVideoWindowSetting setting, bool turnedOn);
  int BorderWidth() const;
  std::array<TVideoWindow, 2> displays_{{TVideoWindow{0}, TVideoWindow{1}}};
  std::array<TDisplayRecord, 3> records_;
  // Filled from the screens at the first use.
  mutable std::array<TMonitorInfo, 10> monitors_;
  mutable bool monitorsFilled_ = false;
  bool building_ = false;
  bool stopping_ = false;
  bool layingOut_ = false;
  int buildStage_ = 0;
  mutable std::mutex processingLock_;  // guards processing_
  VideoProcessingBlock processing_{};

  // A delivery running on another thread finishes before the frame records are freed; one
  // running on this thread (a frame handler that stops the preview) defers the clearing.
  void ReleaseFrameRecords();
  std::atomic<std::thread::id> deliveryThread_{};
  std::atomic<bool> clearDeferred_{false};

  std::unique_ptr<TTaskThread> worker_;
  std::atomic<bool> deliveryRequested_{false};  // a FrameTaken request is on its way
  int effectivePeriod_ = 15;
  // Save retries (UI thread): the timer, the next interval, whether a save failed since the
  // last attempt, whether an attempt is running, and whether the format lists are unsaved.
  void RetrySaves();
  std::unique_ptr<QTimer> saveRetry_;
  int saveRetryDelayMs_ = kFirstSaveRetryMs;
  bool savePending_ = false;
  bool retryingSaves_ = false;
  bool formatListsUnsaved_ = false;
  bool WriteFormatLists();
  bool busy_ = false;
  std::atomic<bool> taskRunning_{false};

  // A running preview whose grabber gets no picture (every frame damaged, or none at all) is
  // said once per start. The frame callback stamps the time of each picture (streaming
  // thread); the worker's pass looks at it.
  void WatchPicture();
  void CheckPicture();
  std::atomic<bool> pictureWatched_{false};
  std::atomic<std::int64_t> lastPictureMs_{0};

  // Views of the sample buffers, one per buffer the allocator cycles through (streaming thread
  // only): a painter on a kept view (the overlay pass) reuses its paint engine rather than
  // building one for every frame.
  QImage& SampleView(uchar* bits, int width, int height, qsizetype stride, QImage::Format format);
  std::array<QImage, 4> sampleViews_;
  std::size_t nextSampleView_ = 0;
};

// The busy cursor's nesting count, shared by every control of the process.
int BusyCount();
