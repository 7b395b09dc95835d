#include "capture/devices/StoreProblems.h"

#include <QCoreApplication>
#include <QStringList>

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
  ShowPlayerMessage(QStringLiteral("Your settings could not be kept:\n\n") +
                    lost.join(QStringLiteral("\n\n")));
}

void ReportSaveFailure(TCaptureCore* core) {
  RegNoteSaveFailure();
  ReportStoreProblems(core);
}

void ShowPlayerMessage(const QString& text) {
  // Not a modal box in the middle of building a window or a graph: the event loop shows it.
  if (QCoreApplication* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(
        app, [text] { ShowMessage(text); }, Qt::QueuedConnection);
  else
    ShowMessage(text);
}
