#include "capture/core/Diagnostics.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QLocale>
#include <QStringList>

#include "capture/CaptureCtl.h"
#include "capture/core/CaptureCore.h"
#include "platform/com/ComApi.h"
#include "platform/toolkit/Screen.h"

namespace {

std::atomic<bool> g_traceEnabled{false};

constexpr int kSeparatorWidth = 70;

// The trace file's lines, with the tick count of the previous line. Thread: any; mutex guards
// everything, and is held from the addition of a line until the file has been written.
struct TLog {
  std::recursive_mutex mutex;
  QStringList lines;
  std::uint32_t previousTick = 0;
  bool hasPrevious = false;
  bool refusalSaid = false;  // why the file cannot be written was said once
};

std::unique_ptr<TLog> g_log;
std::once_flag g_logCreated;
std::mutex g_logPointerMutex;  // guards g_log against TraceRelease

// The trace is read in Windows-1252: Latin-1 plus the printable characters of 0x80..0x9F.
QByteArray ToCp1252(const QString& text) {
  static const char16_t kHigh[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  QByteArray out;
  out.reserve(text.size());
  for (QChar c : text) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
      out.append(static_cast<char>(u));
      continue;
    }
    char byte = '?';
    for (int i = 0; i < 32; ++i)
      if (kHigh[i] == u && u != 0) byte = static_cast<char>(0x80 + i);
    out.append(byte);
  }
  return out;
}

// Opens the trace file for replacing its contents, never through a symbolic link (the link
// would have another file replaced) and never anything but a regular file. -1 with errno set.
int OpenTraceFile(const QByteArray& name) {
  const int fd =
      ::open(name.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::ftruncate(fd, 0) != 0) {
    const int saved = S_ISREG(st.st_mode) ? errno : EINVAL;
    ::close(fd);
    errno = saved;
    return -1;
  }
  return fd;
}

bool SaveLocked(TLog& log) {
  const QByteArray name = QFile::encodeName(TraceFileName());
  const int fd = OpenTraceFile(name);
  if (fd < 0) {
    // The trace itself cannot say it, so standard error does, once.
    if (!log.refusalSaid) {
      log.refusalSaid = true;
      const char* why = errno == ELOOP ? "it is a symbolic link" : std::strerror(errno);
      qWarning("frostwipe: trace file %s not written: %s", name.constData(), why);
    }
    return false;
  }
  log.lines.append(QStringLiteral("}"));
  QFile file;
  bool ok = file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
  for (const QString& line : log.lines) {
    ok = ok && file.write(ToCp1252(line)) >= 0;
    ok = ok && file.write("\r\n", 2) == 2;
  }
  ok = file.flush() && ok;
  file.close();
  log.lines.removeLast();
  return ok;
}

TLog* Log() {
  std::lock_guard lock(g_logPointerMutex);
  return g_log.get();
}

}  // namespace

QString SeverityText(int severity) {
  switch (severity) {
    case sv_Info:
      return QStringLiteral("INFO");
    case sv_Warning:
      return QStringLiteral("WARNING");
    default:
      return QStringLiteral("ERROR");
  }
}

bool ReportResult(TCaptureCore* core, HRESULT status, int severity, TLogType code,
                  const QString& text) {
  if (!core || !core->Owner || !core->Initialized) return false;
  const bool success = SUCCEEDED(status);
  const QString severityText = success ? QString() : SeverityText(severity);
  if (TraceEnabled()) {
    const char* marker = (success || severity == sv_Info) ? kMarkDefault : kMarkRed;
    TraceWrite({}, marker,
               QString::number(static_cast<int>(code)) + " " + severityText + ": " + text);
  }
  if (!success && severity >= sv_Info && severity <= sv_Error) {
    TCaptureControl* control = core->Owner;
    const TOnLog handler = control->OnLog;
    if (handler && control->HandleAllocated() && !core->Destroying.load())
      handler(control, code, severityText, text);
  }
  return success;
}

bool ReportIf(TCaptureCore* core, bool condition, int severity, TLogType code,
              const QString& text) {
  return !ReportResult(core, condition ? E_FAIL : S_OK, severity, code, text);
}

bool TraceEnabled() {
  return g_traceEnabled.load(std::memory_order_relaxed);
}
void EnableTrace() {
  g_traceEnabled.store(true, std::memory_order_relaxed);
}

QString TraceFileName() {
  return QString::fromLatin1(kTraceSwitchText) + QStringLiteral(".rtf");
}

namespace {

// Adds one line (framed when separator is given) with its elapsed-time prefix and rewrites the
// file. The caller holds log.mutex.
void AppendLocked(TLog& log, const QString& separator, const char* marker, const QString& text) {
  QString line = text;
  const std::uint32_t now = GetTickCount();
  if (log.hasPrevious) {
    const double seconds = static_cast<std::uint32_t>(now - log.previousTick) / 1000.0;
    QString elapsed = QString::number(seconds, 'f', 3);
    elapsed.replace(QLatin1Char('.'), QLocale::system().decimalPoint());
    line = elapsed + QLatin1Char(' ') + line;
  }
  log.hasPrevious = true;
  log.previousTick = now;
  const QString mark = QLatin1String(marker);
  if (separator.isEmpty()) {
    log.lines << mark + line + QStringLiteral("\\par");
  } else {
    const QString rule = QLatin1String(kMarkYellow) + QString(kSeparatorWidth, separator.at(0)) +
                         QStringLiteral("\\par");
    log.lines << QStringLiteral("\\par") << rule << mark + line + QStringLiteral("\\par") << rule
              << QStringLiteral("\\par");
  }
  SaveLocked(log);  // a failed write is retried with the next line
}

}  // namespace

void TraceWrite(const QString& separator, const char* marker, const QString& text) {
  if (!TraceEnabled()) return;
  // Created once per process with its header and opening banner before any other line, also
  // when two threads race here.
  std::call_once(g_logCreated, [] {
    auto log = std::make_unique<TLog>();
    log->lines
        << QStringLiteral(
               "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1036{\\fonttbl{"
               "\\f0\\fmodern\\fprq1\\fcharset0 "
               "Courier New;}}")
        << QStringLiteral(
               "{\\colortbl "
               ";\\red128\\green128\\blue128;\\red0\\green0\\blue255;\\red0\\green128\\blue0;"
               "\\red255\\green0\\blue0;\\red128\\green0\\blue128;\\red255\\green255\\blue0;}")
        << QStringLiteral("\\viewkind4\\uc1\\pard\\b\\f0\\fs20");
    AppendLocked(*log, QStringLiteral("="), kMarkDefault,
                 QStringLiteral("BEGIN TCaptureControl v%1 process log")
                     .arg(QLatin1String(kComponentVersion)));
    std::lock_guard lock(g_logPointerMutex);
    g_log = std::move(log);
  });
  TLog* log = Log();
  if (!log) return;  // released at the end of the process
  std::lock_guard lock(log->mutex);
  AppendLocked(*log, separator, marker, text);
}

bool TraceFlag(bool value, const char* marker, const QString& text) {
  TraceWrite({}, marker, text + (value ? QStringLiteral(": YES") : QStringLiteral(": no")));
  return value;
}

bool TraceCreateInstance(REFCLSID clsid, REFIID iid, void** object, const QString& name) {
  const HRESULT hr =
      CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, iid, object);
  return TraceFlag(hr == S_OK, kMarkGray, QStringLiteral("instance: ") + name);
}

bool TraceSave() {
  TLog* log = Log();
  if (!log) return true;
  std::lock_guard lock(log->mutex);
  return SaveLocked(*log);
}

void TraceRelease() {
  std::lock_guard lock(g_logPointerMutex);
  g_log.reset();
}
