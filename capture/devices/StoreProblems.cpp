#include "capture/devices/StoreProblems.h"

#include <utility>

#include <QCoreApplication>
#include <QStringList>

#include "capture/CaptureCtl.h"
#include "capture/core/CaptureCore.h"
#include "capture/core/Diagnostics.h"
#include "platform/registry/Registry.h"
#include "platform/toolkit/Dialogs.h"
#include "platform/toolkit/PlayerMessageHook.h"

namespace {

// Logs the store's pending problems; returns those where settings were not kept.
QStringList LogStoreProblems(TCaptureCore* core) {
  QStringList lost;
  for (const RegStoreProblem& problem : RegTakeStoreProblems()) {
    const QString text = QString::fromStdString(problem.message);
    ReportResult(core, E_FAIL, problem.settingsNotKept ? sv_Warning : sv_Info, w_information, text);
    if (problem.settingsNotKept) lost << text;
  }
  return lost;
}

}  // namespace

void ReportStoreProblems(TCaptureCore* core) {
  const QStringList lost = LogStoreProblems(core);
  if (lost.isEmpty()) return;
  ShowPlayerMessage(
      QCoreApplication::translate("TCaptureCore", "Your settings could not be kept:") +
      QStringLiteral("\n\n") + lost.join(QStringLiteral("\n\n")));
}

void ReportSaveFailure(TCaptureCore* core) {
  RegNoteSaveFailure();
  core->ScheduleSaveRetry();  // marks the save pending; no timer once destroying
  if (!core->Destroying.load()) {
    ReportStoreProblems(core);
    return;
  }
  // The final save: the window is going away and the event loop has ended, so a posted message
  // would never be shown and nothing retries. Said at once, in a box that closes by itself.
  if (LogStoreProblems(core).isEmpty()) return;
  ShowMessageFor(QCoreApplication::translate(
                     "TCaptureCore",
                     "Your settings could not be saved as the game closed, so they will not be "
                     "remembered next time. Another program may be using the settings file, or "
                     "the disk may be full:") +
                     QStringLiteral("\n\n") + QString::fromStdString(RegStorePath()),
                 kClosingMessageMs);
}

namespace {

TPlayerMessageSink& PlayerMessageSink() {
  static TPlayerMessageSink sink;
  return sink;
}

void Deliver(const QString& text) {
  if (const TPlayerMessageSink& sink = PlayerMessageSink())
    sink(text);
  else
    ShowMessage(text);
}

}  // namespace

void SetPlayerMessageSink(TPlayerMessageSink sink) {
  PlayerMessageSink() = std::move(sink);
  // Messages raised below the capture layer (a camera the desktop refused) go the same way.
  SetPlatformPlayerMessageHook(PlayerMessageSink() ? TPlatformPlayerMessageHook(ShowPlayerMessage)
                                                   : TPlatformPlayerMessageHook());
}

void ShowPlayerMessage(const QString& text) {
  // Not in the middle of building a window or a graph: the event loop delivers it, to the sink
  // in place when it runs (a window made after the message was posted still gets it).
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(
        app, [text] { Deliver(text); }, Qt::QueuedConnection);
  else
    Deliver(text);
}
