// Diagnostics of the capture control: the reporting routines behind OnLog and the debug trace
// file "trcdiaglog.rtf".
#pragma once

#include <QString>

#include "capture/LogTypes.h"
#include "platform/com/Guid.h"
#include "platform/com/Result.h"

class TCaptureCore;

// Severity of a report. 0 goes to the trace only; 1 to 3 also raise OnLog on failure.
enum TSeverity : int { sv_TraceOnly = 0, sv_Info = 1, sv_Warning = 2, sv_Error = 3 };
QString SeverityText(int severity);

// Thread: whichever runs the component's code; OnLog is called synchronously on that thread.
// True when status is a success. A component that is not ready (no owner, or its run-time
// construction unfinished) reports nothing and gets false.
bool ReportResult(TCaptureCore* core, HRESULT status, int severity, TLogType code,
                  const QString& text);
// Reports E_FAIL when condition holds, else success; true when the condition held (and was
// reported) or the component is not ready: checks stop on true.
bool ReportIf(TCaptureCore* core, bool condition, int severity, TLogType code, const QString& text);

// Colour markers of trace lines: entries of the trace file's colour table.
inline constexpr char kMarkDefault[] = "\\cf0 ";
inline constexpr char kMarkGray[] = "\\cf1 ";
inline constexpr char kMarkBlue[] = "\\cf2 ";
inline constexpr char kMarkGreen[] = "\\cf3 ";
inline constexpr char kMarkRed[] = "\\cf4 ";
inline constexpr char kMarkPurple[] = "\\cf5 ";
inline constexpr char kMarkYellow[] = "\\cf6 ";

inline constexpr char kTraceSwitchText[] = "trcdiaglog";
inline constexpr char kComponentVersion[] = "v1.0 (build 1.0.0)";

// The trace: off until switched on, then on for the rest of the process. Thread: any; lines
// from all threads are serialised by the trace's own lock, held until the file is written.
bool TraceEnabled();
void EnableTrace();
// Appends one line (framed by yellow separator lines made of separator's first character, when
// separator is not empty) and rewrites the whole file. Does nothing while the trace is off.
void TraceWrite(const QString& separator, const char* marker, const QString& text);
// Traces text + ": YES" or ": no"; answers value.
bool TraceFlag(bool value, const char* marker, const QString& text);
// Creates an object in process or in a local server, tracing "instance: <name>: YES" or ": no";
// answers whether the object was created.
bool TraceCreateInstance(REFCLSID clsid, REFIID iid, void** object, const QString& name);
// Writes every line, plus the closing "}", to the trace file in the current directory; false when
// writing failed (the lines stay in memory for the next save).
bool TraceSave();
// Releases the trace's lines at the end of the process (after the closing banner).
void TraceRelease();
QString TraceFileName();
