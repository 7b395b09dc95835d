#include "capture/graph/FilterLibrary.h"

#include <cerrno>
#include <cstring>
#include <span>
#include <string>
#include <unistd.h>
#include <vector>

#include <QCoreApplication>
#include <QFile>

#include "capture/core/Diagnostics.h"
#include "capture/core/SyncManager.h"
#include "capture/devices/StoreProblems.h"
#include "capture/graph/FilterImage.h"

namespace {

bool WriteAll(int fd, const std::vector<std::uint8_t>& data, QString* why) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *why = QString::fromLocal8Bit(std::strerror(n < 0 ? errno : EIO));
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Expands the image into a new file of the private directory, whose descriptor stays open under
// the key, and answers its path; empty, with *why, on failure (and then nothing stays listed
// under the key).
QString ExtractLibrary(TTempFiles& files, QString* why) {
  const QByteArray image = FilterLibraryImage();
  std::vector<std::uint8_t> library;
  std::string reason;
  if (!ExpandFilterImage(std::span(reinterpret_cast<const std::uint8_t*>(image.constData()),
                                   static_cast<std::size_t>(image.size())),
                         &library, &reason)) {
    *why = QStringLiteral("corrupt filter library image: %1").arg(QString::fromStdString(reason));
    return {};
  }
  QString path;
  const int fd = files.Create(kFilterLibraryKey, kFilterLibraryFileName, &path, why);
  if (fd < 0) return {};
  const bool written = WriteAll(fd, library, why);
  const bool synced = written && fdatasync(fd) == 0;
  if (!synced) {
    if (written) *why = QString::fromLocal8Bit(std::strerror(errno));
    *why = QStringLiteral("cannot write %1: %2").arg(path, *why);
    close(fd);
    files.Remove(kFilterLibraryKey);
    return {};
  }
  files.KeepOpen(kFilterLibraryKey, fd);
  return path;
}

bool Fail(TCaptureCore* core, const QString& name, const QString& detail) {
  TraceWrite(QString(), kMarkRed, QStringLiteral("filter %1: %2").arg(name, detail));
  ReportIf(core, true, sv_Error, e_load_filter, QStringLiteral("cannot load filter ") + name);
  return false;
}

}  // namespace

void FilterSlot::Release() {
  Block = nullptr;
  Transform.Reset();
  Grabber.Reset();
  Filter.Reset();
  if (Module) FreeLibrary(Module);
  Module = nullptr;
}

bool CreateLibraryFilter(TCaptureCore* core, const QString& name, const char* exportName,
                         FilterSlot& slot) {
  TSyncManager* manager = SyncManager();
  if (!manager) return Fail(core, name, QStringLiteral("no synchronisation manager"));
  TTempFiles& files = manager->TempFiles();
  QString path = files.Find(kFilterLibraryKey);
  if (path.isEmpty()) {
    QString why;
    path = ExtractLibrary(files, &why);
    if (path.isEmpty()) {
      // Without its filters the camera picture stays black: the player learns why.
      ShowPlayerMessage(QCoreApplication::translate(
                            "FilterLibrary",
                            "The camera picture cannot be shown: the video filters could not be "
                            "prepared.\n\n%1")
                            .arg(why));
      return Fail(core, name, why);
    }
  }
  // Only the file this process wrote is loaded, through the descriptor kept open since it was
  // written: a file put in its place under the same name is never used.
  const int fd = files.Descriptor(kFilterLibraryKey);
  if (fd < 0)
    return Fail(core, name, QStringLiteral("%1 was not written by this process").arg(path));
  if (!slot.Module) {
    const QByteArray own = "/proc/self/fd/" + QByteArray::number(fd);
    slot.Module = LoadLibraryA(own.constData());
    if (!slot.Module)
      return Fail(core, name, QString::fromStdString("load: " + LastLibraryError()));
  }
  const auto create =
      reinterpret_cast<FilterCreateFunction>(GetProcAddress(slot.Module, exportName));
  if (!create)
    return Fail(core, name, QStringLiteral("no export %1").arg(QString::fromLatin1(exportName)));
  slot.Filter.Reset();
  const HRESULT hr = create(slot.Filter.ReleaseAndGetAddressOf());
  if (FAILED(hr) || !slot.Filter) {
    slot.Filter.Reset();
    return Fail(core, name,
                QStringLiteral("%1 failed: 0x%2")
                    .arg(QString::fromLatin1(exportName))
                    .arg(static_cast<std::uint32_t>(hr), 8, 16, QLatin1Char('0')));
  }
  // The private interfaces the filter has; the grabber's block comes with its Setup.
  slot.Grabber = ComQuery<IGrabberSetup>(slot.Filter.Get());
  slot.Transform = ComQuery<ITransformSetup>(slot.Filter.Get());
  slot.Block = nullptr;
  return true;
}
