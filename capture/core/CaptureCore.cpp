#include "capture/core/CaptureCore.h"

#include <algorithm>
#include <chrono>

#include <QCoreApplication>
#include <QImage>
#include <QPointer>
#include <QTimer>

#include "capture/CaptureCtl.h"
#include "capture/core/CaptureThread.h"
#include "capture/core/Diagnostics.h"
#include "capture/core/SyncManager.h"
#include "capture/devices/DeviceList.h"
#include "capture/devices/Registry2.h"
#include "capture/devices/StoreProblems.h"
#include "capture/graph/DeviceGraph.h"
#include "platform/media/UiThread.h"
#include "platform/registry/Registry.h"
#include "platform/toolkit/Screen.h"

namespace {

int g_busyCount = 0;  // UI thread only

const QString kVideoCaptureDevice = QStringLiteral("video capture device");

constexpr int kDefaultPeriodMs = 15;
constexpr int kMaxSleepTimeMs = 10000;
// How long the final saves wait for a store that another program holds.
constexpr int kFinalSaveWaitMs = 2000;

}  // namespace

int BusyCount() {
  return g_busyCount;
}

TCaptureCore::TCaptureCore(TCaptureControl* owner) : Owner(owner) {
  GlobalRegSave.Reset();
  UpdateVideoProcessing();
}

void TCaptureCore::InitializeRunTime() {
  // The manager checks the stored version first; the global table is read after that check,
  // so values of a wiped store never come back.
  TSyncManager* manager = EnsureSyncManager();
  GlobalRegSave.Load();
  CaptureState.store(cs_Idle);
  GraphState.store(gs_Stopped);
  GraphActive.store(false);
  TraceWrite(QStringLiteral("+"), kMarkGray, QStringLiteral("component initialized"));
  Settings.UniqueID = manager->Components.Add(this);
  worker_ = std::make_unique<TTaskThread>(Owner, this, QStringLiteral("task"), true, tpNormal,
                                          static_cast<int>(Settings.NotificationMethod),
                                          effectivePeriod_);
  worker_->Unpause();
  Initialized = true;
}

TCaptureCore::~TCaptureCore() {
  Destroying.store(true);
  StopGraph();
  CaptureState.store(cs_Idle);
  if (Initialized) {
    // Closing waits a little for another program's write lock, and not again once a save failed.
    const int previousWait = RegSetBusyWait(0);
    RegSetBusyWait(std::min(previousWait, kFinalSaveWaitMs));
    savePending_ = false;
    if (!GlobalRegSave.Save()) ReportSaveFailure(this);
    if (savePending_) RegSetBusyWait(0);
    SaveVideoSettings();
    if (savePending_) RegSetBusyWait(0);
    SaveAudioSettings();
    RegSetBusyWait(previousWait);
  }
  saveRetry_.reset();
  // The worker reads the queues and the frame records: it ends before they are released.
  EndWorker();
  Queue.ReleaseAll();
  HandOver.Clear();
  // The display forms belong to the control but call into this object: they go first.
  for (TDisplayRecord& r : records_) delete r.Form.data();
}

bool TCaptureCore::HasParentWindow() const {
  return Owner->HandleAllocated();
}

// ---- precondition check, refresh, busy cursor ----

bool TCaptureCore::CheckPreconditions(TCaptureStates allowed, int severity, bool deviceCheck) {
  const TCaptureState s = CaptureState.load();
  const bool captureDevice = Settings.VideoSource == vs_VideoCaptureDevice &&
                             Settings.MultiplexedRole != mr_MultiplexedSlave;
  bool ok = true;
  auto check = [&](bool failing, TLogType code, const char* message) {
    if (ReportIf(this, failing, severity, code, QString::fromLatin1(message))) ok = false;
  };
  check(
      VideoDevice == -1 && ((allowed & StateBit(cs_Recording)) ||
                            (deviceCheck && captureDevice && (allowed & StateBit(cs_Previewing)))),
      e_no_video_device_selected, "no video device selected");
  check(s == cs_Recording && !(allowed & StateBit(cs_Recording)), e_stop_recording_first,
        "first stop recording");
  check(s == cs_Reencoding && !(allowed & StateBit(cs_Reencoding)), e_reencoding,
        "first stop reencoding");
  check(s == cs_Playing && !(allowed & StateBit(cs_Playing)), e_stop_player_first,
        "first close player");
  check(s == cs_Previewing && !(allowed & StateBit(cs_Previewing)), e_stop_preview_first,
        "first stop preview");
  check(s == cs_Idle && allowed == StateBit(cs_Previewing), e_start_preview_first,
        "first start preview");
  return ok;
}

void TCaptureCore::RefreshPreview(const QString& code) {
  if (!Settings.AutoRefreshPreview || VideoDevice == -1) return;
  CheckPreconditions(StateBit(cs_Idle) | StateBit(cs_Previewing), sv_Error, true);
  const TCaptureState s = CaptureState.load();
  if (s == cs_Previewing || (s == cs_Idle && PreviewWanted)) {
    TraceWrite({}, kMarkDefault, QStringLiteral("REFRESHING PREVIEW FROM ") + code);
    StartPreview();
  }
}

void TCaptureCore::BeginBusy() {
  ++g_busyCount;
  TraceWrite({}, kMarkGray, QStringLiteral("cursor + ") + QString::number(g_busyCount));
  if (Settings.BusyCursor != crDefault) SetScreenCursor(Settings.BusyCursor);
  busy_ = true;
}

void TCaptureCore::EndBusy() {
  if (g_busyCount > 0) --g_busyCount;
  TraceWrite({}, kMarkGray, QStringLiteral("cursor - ") + QString::number(g_busyCount));
  if (g_busyCount == 0) {
    if (Settings.BusyCursor != crDefault) SetScreenCursor(Settings.NormalCursor);
    busy_ = false;
  }
}

// ---- operations ----

bool TCaptureCore::StartPreview() {
  if (Settings.VideoSource == vs_VideoCaptureDevice &&
      Settings.MultiplexedRole != mr_MultiplexedSlave) {
    CreateDeviceLists();
    if (CheckDeviceIndex(this, *DeviceList(dk_VideoDevices), VideoDevice, kVideoCaptureDevice))
      return false;
    if (!VideoSelectionDone) SelectVideoDevice();
  }
  if (!CheckPreconditions(StateBit(cs_Idle) | StateBit(cs_Previewing) | StateBit(cs_Playing),
                          sv_Error, true))
    return false;
  RunCommand(cmd_StartPreview);
  return CaptureState.load() == cs_Previewing;
}

void TCaptureCore::StopPreview() {
  PreviewWanted = false;
  if (!CheckPreconditions(StateBit(cs_Previewing), sv_Error, true)) return;
  if (CaptureState.load() != cs_Idle) RunCommand(cmd_Stop);
}

bool TCaptureCore::CaptureFrameTo(TFrameCaptureDest dest, const QString& fileName) {
  if (RunFrameGrabber == fg_Disabled || !GraphActive.load() || CapturePending.load()) return false;
  CaptureDest = dest;
  CaptureFileName = fileName;
  if (GraphState.load() == gs_Paused)
    HandOver.CaptureDelivered(*this, dest, fileName);
  else
    CapturePending.store(true);
  return true;
}

void TCaptureCore::SetBurstMode(bool on) {
  if (on) {
    BurstRemaining.store(BurstCount.load());
    BurstCountdown.store(0);
  }
  BurstMode.store(on);
}

// ---- settings with behaviour ----

void TCaptureCore::SetFrameGrabber(TFrameGrabber value) {
  if (static_cast<unsigned>(value) > fg_BothStreams || value == Settings.FrameGrabber) return;
  Settings.FrameGrabber = value;
  RefreshPreview(QStringLiteral("dsfg"));
}

void TCaptureCore::SetFrameGrabberRGBFormat(TFrameGrabberRGBFormat value) {
  if (static_cast<unsigned>(value) > fgf_RGB8 || value == Settings.FrameGrabberRGBFormat) return;
  Settings.FrameGrabberRGBFormat = value;
  if (Settings.FrameGrabber != fg_Disabled) RefreshPreview(QStringLiteral("dsfgf"));
}

void TCaptureCore::SetVideoRenderer(TVideoRenderer value) {
  if (static_cast<unsigned>(value) > vr_None || value == Settings.VideoRenderer) return;
  Settings.VideoRenderer = value;
  RefreshPreview(QStringLiteral("prvpr"));
}

void TCaptureCore::SetFlipHorizontal(bool on) {
  // Applied to the grabber with the next sample; no restart.
  Settings.VideoProcessing_FlipHorizontal = on;
  UpdateVideoProcessing();
}

void TCaptureCore::SetDeinterlacing(TVideoDeinterlacing value) {
  const bool halfBefore = HalfSizeDeinterlacing;
  switch (value) {
    case di_Disabled:
      HalfSizeDeinterlacing = FullSizeDeinterlacing = false;
      break;
    case di_HalfSize:
      HalfSizeDeinterlacing = true;
      FullSizeDeinterlacing = false;
      break;
    case di_FullSize:
      HalfSizeDeinterlacing = false;
      FullSizeDeinterlacing = true;
      break;
    default:
      return;
  }
  Settings.VideoProcessing_Deinterlacing = value;
  UpdateVideoProcessing();
  if (HalfSizeDeinterlacing != halfBefore) RefreshPreview(QStringLiteral("spdi"));
}

void TCaptureCore::SetRotation(TVideoRotation value) {
  if (static_cast<unsigned>(value) > rt_270_deg_mirror ||
      value == Settings.VideoProcessing_Rotation)
    return;
  Settings.VideoProcessing_Rotation = value;
  SwappedDimensions = (static_cast<int>(value) & 1) != 0;
  UpdateVideoProcessing();
  RefreshPreview(QStringLiteral("spr"));
}

void TCaptureCore::UpdateOverlayNeeded() {
  OverlayNeeded.store(Settings.ShapeOverlayEnabled || Settings.TextOverlay_Enabled ||
                      static_cast<bool>(Owner->OnFrameOverlayUsingDC()));
}

void TCaptureCore::SetNotificationMethod(TNotificationMethod method) {
  Settings.NotificationMethod = method;
  if (worker_) worker_->SetMode(static_cast<int>(method));
}

void TCaptureCore::SetNotificationSleepTime(int value) {
  if (value != -1 && (value < 1 || value > kMaxSleepTimeMs)) return;
  Settings.NotificationSleepTime = value;
  effectivePeriod_ = value == -1 ? kDefaultPeriodMs : value;
  if (worker_)
    worker_->SetPeriod(CaptureState.load() == cs_Playing ? kDefaultPeriodMs : effectivePeriod_);
}

void TCaptureCore::SetNotificationPriority(TThreadPriority priority) {
  Settings.NotificationPriority = priority;
  if (worker_) worker_->SetPriority(priority);
}

void TCaptureCore::SetASFMediaServerPublishingPoint(const QString& value) {
  Settings.ASFMediaServerPublishingPoint = value;
  if (value == QLatin1String(kTraceSwitchText)) EnableTrace();
}

void TCaptureCore::SetAutoFilePrefix(const QString& value) {
  // The switch text turns the trace on and is not taken as a prefix.
  if (value == QLatin1String(kTraceSwitchText)) {
    EnableTrace();
    return;
  }
  Settings.AutoFilePrefix = value;
}

// ---- commands, events and the worker pass ----

void TCaptureCore::QueueCommand(std::uint32_t code) {
  if (code <= cmd_Notifications)
    Queue.AddCommand(code);
  else
    RunCommand(code);
}

void TCaptureCore::RunCommand(std::uint32_t code) {
  if (code >= cmd_StartPreview && !HasParentWindow()) {
    // A control without a parent window gets the manager's hidden window, so it owns a window.
    if (TSyncManager* manager = SyncManager()) Owner->setParent(manager->HiddenWindow());
  }
  switch (code) {
    case cmd_DeviceLost:
      if (GraphActive.load()) StopGraph();
      PreviewWanted = true;
      PostEvent(Owner->OnDeviceLost);
      break;
    case cmd_Notifications:
      HandleNotificationFlags();
      break;
    case cmd_Stop:
      StopGraph();
      break;
    case cmd_StartPreview:
      if (RestartGraph(cs_Previewing)) PostEvent(Owner->OnPreviewStarted);
      break;
    case cmd_StartRecording:
      RestartGraph(cs_Recording);
      break;
    default:
      break;  // player, tuner and re-encoding commands: facilities the game does not use
  }
}

void TCaptureCore::PostEventRecord(const THandlerId& code) {
  if (!SyncManager()) return;  // the process is shutting down
  const TEventRecord record{code, this};
  if (Settings.EventNotificationSynchrone)
    DispatchEvent(record);
  else
    Queue.AddEvent(record);
}

void TCaptureCore::WorkerPass(bool timerMode) {
  if (timerMode) {
    Queue.DispatchOneEvent();
    Queue.RunOneCommand(*this);
  } else {
    Queue.RunOneCommand(*this);
    Queue.DispatchOneEvent();
  }
  if (GraphActive.load()) PeriodicTask();
  CheckPicture();
}

namespace {

// A camera that has sent no usable picture for this long is reported; cameras take a second
// or two to start, and pause briefly to adjust their exposure.
constexpr std::int64_t kNoPictureMs = 5000;

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

void TCaptureCore::WatchPicture() {
  lastPictureMs_.store(NowMs());
  pictureWatched_.store(RunFrameGrabber != fg_Disabled);
}

void TCaptureCore::CheckPicture() {
  if (!pictureWatched_.load() || !GraphActive.load() || GraphState.load() != gs_Running ||
      CaptureState.load() != cs_Previewing || NowMs() - lastPictureMs_.load() < kNoPictureMs)
    return;
  if (!pictureWatched_.exchange(false)) return;
  ReportIf(this, true, sv_Warning, w_information,
           QStringLiteral("the camera sends no usable picture"));
  ShowPlayerMessage(QCoreApplication::translate("TCaptureCore",
                                                "The camera sends no usable picture. Check "
                                                "that it works in another program, or choose "
                                                "another camera or video size."));
}

void TCaptureCore::PeriodicTask() {
  if (taskRunning_.exchange(true)) return;
  deliveryThread_.store(std::this_thread::get_id());
  // Set running first, then look at GraphActive: a clear on another thread either sees this
  // pass running and waits, or this pass sees the graph inactive.
  const TCaptureState s = CaptureState.load();
  if (GraphActive.load() && (s == cs_Previewing || s == cs_Recording)) HandOver.Deliver(*this);
  deliveryThread_.store(std::thread::id());
  if (clearDeferred_.exchange(false)) HandOver.Clear();
  taskRunning_.store(false);
}

void TCaptureCore::FrameTaken() {
  if (deliveryRequested_.exchange(true)) return;
  // Through the relay, whose lock the thread sanitizer sees: a functor queued through Qt's event
  // queue from this streaming thread would cross unseen. The guard drops the request once the
  // control is gone.
  PostToUiThread([this, owner = QPointer<QObject>(Owner)] {
    if (!owner) return;
    deliveryRequested_.store(false);
    if (TTaskThread* worker = worker_.get(); worker && !Destroying.load()) worker->DeliverNow();
  });
}

void TCaptureCore::ReleaseFrameRecords() {
  if (taskRunning_.load()) {
    if (deliveryThread_.load() == std::this_thread::get_id()) {
      clearDeferred_.store(true);
      return;
    }
    while (taskRunning_.load()) std::this_thread::yield();
  }
  HandOver.Clear();
}

void TCaptureCore::EndWorker() {
  worker_.reset();
}

void TCaptureCore::HandleGraphEvent(long code, long param1) {
  const TCaptureState s = CaptureState.load();
  switch (code) {
    case EC_COMPLETE:
      NotifyComplete.store(true);
      QueueCommand(cmd_Notifications);
      break;
    case EC_ERRORABORT:
    case EC_PAUSED:
      // Only a recording that ran out of disk space is aborted; recording is not built here, so
      // the free-space test has nothing to look at.
      break;
    case EC_BUFFERING_DATA:
      if (param1 != 0) {
        NotifyBufferingOn.store(true);
      } else {
        NotifyBufferingOff.store(true);
        PlayerBuffering = false;
      }
      QueueCommand(cmd_Notifications);
      break;
    case EC_STREAM_CONTROL_STOPPED:
      NotifyStreamStopped.store(true);
      QueueCommand(cmd_Notifications);
      break;
    case EC_DEVICE_LOST:
      if (GraphActive.load()) {
        NotifyDeviceLost.store(true);
        QueueCommand(cmd_Notifications);
      }
      break;
    case EC_PLAYER_BUFFERING:
      PlayerBuffering = true;
      break;
    default:
      break;
  }
  (void)s;
}

void TCaptureCore::HandleNotificationFlags() {
  TCaptureControl* c = Owner;
  if (NotifyDeviceLost.exchange(false)) QueueCommand(cmd_DeviceLost);
  if (NotifyStreamStopped.exchange(false)) NotifyComplete.store(true);
  if (NotifyAbort.exchange(false)) {
    RunCommand(cmd_Stop);
    const TEventNotification handler = c->OnDiskFull;
    if (c->EventReady(handler)) handler(c);
  }
  if (NotifyBacktimed.exchange(false)) {
    const TEventNotification handler = c->OnBacktimedFramesCountReached;
    if (c->EventReady(handler)) handler(c);
  }
  for (bool on : {true, false}) {
    std::atomic<bool>& flag = on ? NotifyBufferingOn : NotifyBufferingOff;
    if (flag.exchange(false)) {
      const TOnPlayerBufferingData handler = c->OnPlayerBufferingData;
      if (c->EventReady(handler)) handler(c, on);
    }
  }
  if (NotifyComplete.exchange(false)) {
    const TCaptureState s = CaptureState.load();
    if (s == cs_Reencoding) {
      RunCommand(cmd_Stop);
    } else if (s == cs_Playing) {
      const TEventNotification handler = c->OnPlayerEndOfStream;
      if (c->EventReady(handler)) handler(c);
    }
  }
}

// ---- graph ----
