// Problems of the settings store (a damaged file moved aside, a read-only file, no home folder),
// passed on to the capture control's log and, when settings are not kept, to the player.
#pragma once

class TCaptureCore;

// Thread: UI; called once the component is ready. Takes the store's pending problems and
// reports each through ReportResult with w_information (WARNING when settings could not be
// kept or were moved aside, else INFO). If any settings were not kept, one message box naming
// the file is posted to the event loop, so it appears once start-up has finished. Each problem
// is taken once: later controls find nothing to report.
void ReportStoreProblems(TCaptureCore* core);
