// The process-wide synchronisation manager: the list of capture controls, the hidden window,
// the first-idle device opening, the rescan timer and the temporary files.
#pragma once

#include <cstdint>
#include <memory>

#include <QMetaObject>
#include <QString>
#include <QStringList>

#include "capture/core/CSList.h"
#include "capture/graph/TempFiles.h"

class QTimer;
class QWidget;
class TCaptureCore;

// Thread: UI (created by the first control constructed, destroyed at the end of the process).
// Components is a TCSList and guards itself.
class TSyncManager {
 public:
  TSyncManager();
  ~TSyncManager();
  TSyncManager(const TSyncManager&) = delete;
  TSyncManager& operator=(const TSyncManager&) = delete;

  TCSList<TCaptureCore> Components;
  // The parent of controls that have no parent window.
  QWidget* HiddenWindow() const { return hidden_.get(); }
  // A device was added or removed: the rescan runs 2000 ms after the last such notice.
  void DeviceChanged();
  // Files in the process's private directory, deleted when the manager goes, each listed
  // under a short key.
  TTempFiles& TempFiles() { return *tempFiles_; }

  // One call of the application's idle hook.
  void OnIdle(bool& done);
  // One tick of the 300 ms timer.
  void TimerTick();
  int RescanState() const { return rescanState_; }

 private:
  void FirstIdleStep();
  void Rescan();
  void AnnounceChanges(bool video);

  std::unique_ptr<QTimer> timer_;
  std::unique_ptr<QWidget> hidden_;
  bool busy_ = false;
  bool timerBusy_ = false;
  int rescanCursor_ = 0;
  std::uint32_t rescanDue_ = 0;
  int rescanState_ = 0;  // none 0, scheduled 1, running 2
  int idleHandlerId_ = 0;
  std::unique_ptr<TTempFiles> tempFiles_;
  QMetaObject::Connection deviceNotify_;
  bool comInitialized_ = false;
};

// The manager, or nullptr when none exists (before the first control, and during finalisation).
TSyncManager* SyncManager();
// Creates the manager if none exists (at the first run-time construction).
TSyncManager* EnsureSyncManager();
// The end of the capture unit: the manager goes (tracing "freeing global resources" and the
// closing banner), then the trace. Runs when the application object is destroyed.
void FinalizeCaptureUnit();
