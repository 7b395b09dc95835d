#include "capture/core/SyncManager.h"

#include <cstdlib>
#include <ctime>

#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include "capture/CaptureCtl.h"
#include "capture/core/CaptureCore.h"
#include "capture/core/Diagnostics.h"
#include "capture/devices/DeviceList.h"
#include "capture/devices/Registry2.h"
#include "platform/com/ComApi.h"
#include "platform/media/DeviceNotify.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/Screen.h"

namespace {

TSyncManager* g_manager = nullptr;
bool g_idleDone = false;
bool g_postRoutineAdded = false;

constexpr int kTimerIntervalMs = 300;
constexpr std::uint32_t kRescanDelayMs = 2000;

}  // namespace

TSyncManager* SyncManager() {
  return g_manager;
}

TSyncManager* EnsureSyncManager() {
  if (!g_manager) {
    g_manager = new TSyncManager();
    if (!g_postRoutineAdded && QCoreApplication::instance()) {
      g_postRoutineAdded = true;
      qAddPostRoutine(FinalizeCaptureUnit);
    }
  }
  return g_manager;
}

void FinalizeCaptureUnit() {
  // Events posted from now on find no manager and are dropped.
  TSyncManager* manager = g_manager;
  g_manager = nullptr;
  delete manager;
  TraceRelease();
  g_idleDone = false;
}

TSyncManager::TSyncManager() {
  CheckRegistryVersion();
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  // The device lists enumerate through component objects on this (the UI) thread.
  comInitialized_ = SUCCEEDED(CoInitialize(nullptr));
  CreateDeviceLists();
  tempFiles_ = std::make_unique<TTempFiles>();
  hidden_ = std::make_unique<QWidget>();
  hidden_->setObjectName(QStringLiteral("TSyncGlobalMessages"));
  // Created without a description. Its native window is made only if something asks for it:
  // nothing shows it, and making one costs a round trip to the display at start-up.
  // The media framework's device-change broadcast stands in for the platform's message.
  if (QCoreApplication::instance())
    deviceNotify_ =
        DeviceNotify::Listen(hidden_.get(), [this](const DeviceChange&) { DeviceChanged(); });
  timer_ = std::make_unique<QTimer>();
  timer_->setInterval(kTimerIntervalMs);
  QObject::connect(timer_.get(), &QTimer::timeout, [this] { TimerTick(); });
  if (TApplication* app = Application())
    idleHandlerId_ = app->AddIdleHandler([this](bool& done) { OnIdle(done); });
  timer_->start();
}

TSyncManager::~TSyncManager() {
  TraceWrite({}, kMarkDefault, QStringLiteral("freeing global resources"));
  if (idleHandlerId_ && Application()) Application()->RemoveIdleHandler(idleHandlerId_);
  timer_.reset();
  QObject::disconnect(deviceNotify_);
  hidden_.reset();
  TraceWrite(
      QStringLiteral("="), kMarkDefault,
      QStringLiteral("END TCaptureControl v%1 process log").arg(QLatin1String(kComponentVersion)));
  FreeDeviceLists();
  if (comInitialized_) CoUninitialize();
  tempFiles_.reset();
}

void TSyncManager::DeviceChanged() {
  if (rescanState_ == 2) return;
  rescanDue_ = GetTickCount() + kRescanDelayMs;
  rescanState_ = 1;
}

void TSyncManager::OnIdle(bool& done) {
  done = true;
  if (g_idleDone) return;
  g_idleDone = true;
  FirstIdleStep();
}

void TSyncManager::FirstIdleStep() {
  if (busy_) return;
  busy_ = true;
  int cursor = 0;
  for (TCaptureCore* core = Components.WalkFirst(cursor); core;
       core = Components.WalkNext(cursor)) {
    TCaptureControl* control = core->Owner;
    control->SetCaption(QString());
    if (core->OpenedVideoDevice != core->VideoDevice) {
      core->SelectAudioDevice();
      core->SelectVideoDevice();
    }
    if (core->Settings.AutoStartPreview && core->Settings.VideoSource == vs_VideoCaptureDevice &&
        core->Settings.MultiplexedRole != mr_MultiplexedSlave &&
        core->CaptureState.load() == cs_Idle)
      core->StartPreview();
  }
  busy_ = false;
}

void TSyncManager::TimerTick() {
  if (timerBusy_) return;
  timerBusy_ = true;
  TCaptureCore* core = Components.WalkNext(rescanCursor_);
  if (!core)
    rescanCursor_ = 0;
  else if (rescanState_ == 1)
    Rescan();
  timerBusy_ = false;
}

void TSyncManager::Rescan() {
  if (static_cast<std::uint32_t>(GetTickCount()) < rescanDue_) return;
  rescanState_ = 2;
  for (TDeviceListKind kind : {dk_VideoDevices, dk_AudioDevices})
    if (TDevices* list = DeviceList(kind)) list->Rebuild();
  AnnounceChanges(true);
  AnnounceChanges(false);
  rescanState_ = 0;
}

void TSyncManager::AnnounceChanges(bool video) {
  TDevices* list = DeviceList(video ? dk_VideoDevices : dk_AudioDevices);
  if (!list) return;
  for (int i = 0; i < list->Count(); ++i) {
    const TCapDeviceInfo* info = list->InfoAt(i);
    const bool arrived = !info->WasPresent && info->Present;
    const bool removed = info->WasPresent && !info->Present;
    if (!arrived && !removed) continue;
    const QString name = list->NameAt(i);
    int cursor = 0;
    for (TCaptureCore* core = Components.WalkFirst(cursor); core;
         core = Components.WalkNext(cursor)) {
      if (core->Destroying.load()) continue;
      if (arrived) {
        if (video)
          core->SelectVideoDevice();
        else
          core->SelectAudioDevice();
      }
      TCaptureControl* control = core->Owner;
      const TOnDeviceArrivalOrRemoval handler = control->OnDeviceArrivalOrRemoval;
      if (control->HandleAllocated() && !core->Destroying.load() && control->EventAssigned(handler))
        handler(control, arrived, video, name, i);
    }
  }
}
