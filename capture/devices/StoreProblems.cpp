#include "capture/devices/StoreProblems.h"

#include <utility>

#include <QCoreApplication>
#include <QStringList>

#include "capture/CaptureCtl.h"
#include "capture/core/CaptureCore.h"
#include "capture/core/Diagnostics.h"
#include "platform/registry/Registry.h"
#include "platform/toolkit/Dialogs.h"

void ReportStoreProblems(TCaptureCore* core) {
  QStringList lost;
  for (const RegStoreProblem& problem : RegTakeStoreProblems()) {
    const QString text = QString::fromStdString(problem.message);
    ReportResult(core, E_FAIL, problem.settingsNotKept ? sv_Warning : sv_Info, w_information, text);
    if (problem.settingsNotKept) lost << text;
  }
  if (lost.isEmpty()) return;
  ShowPlayerMessage(
      QCoreApplication::translate("TCaptureCore", "Your settings could not be kept:") +
      QStringLiteral("\n\n") + lost.join(QStringLiteral("\n\n")));
}

void ReportSaveFailure(TCaptureCore* core) {
  RegNoteSaveFailure();
  ReportStoreProblems(core);
  core->ScheduleSaveRetry();
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
