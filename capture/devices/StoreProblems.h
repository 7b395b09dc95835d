// Problems of the settings store (a damaged file moved aside, a read-only file, no home folder),
// passed on to the capture control's log and, when settings are not kept, to the player.
#pragma once

#include <QString>

class TCaptureCore;

// Thread: UI; called once the component is ready. Takes the store's pending problems and
// reports each through ReportResult with w_information (WARNING when settings could not be
// kept or were moved aside, else INFO). If any settings were not kept, one message box naming
// the file is posted to the event loop, so it appears once start-up has finished. Each problem
// is taken once: later controls find nothing to report.
void ReportStoreProblems(TCaptureCore* core);
// Thread: UI. A save of the settings failed: the first failure of the open store is reported as
// above (logged, and one message box); later ones only fail. The caller keeps its table; the
// core writes what is unsaved again on a timer (TCaptureCore::ScheduleSaveRetry) and at the
// next save. A failure of the final save, while the core is destroyed, is shown at once in a
// box that closes by itself after kClosingMessageMs, as no event loop runs any more.
void ReportSaveFailure(TCaptureCore* core);
inline constexpr int kClosingMessageMs = 60000;

// Thread: UI. Tells the player something the game would otherwise keep silent about: posted to
// the event loop, so it never interrupts the caller's work, for the player message sink
// (SetPlayerMessageSink) or, without one, a message box.
void ShowPlayerMessage(const QString& text);
