#include "capture/graph/TempFiles.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>

namespace {

constexpr char kPrefix[] = "frostwipe-";
constexpr char kLockName[] = ".lock";

bool IsPrivateDirectory(const QByteArray& path) {
  struct stat st {};
  return lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid();
}

// Removes the regular files directly inside dir (links and anything else are left alone and
// keep the directory), then the directory.
void RemoveDirectory(const QByteArray& dir) {
  DIR* d = opendir(dir.constData());
  if (!d) return;
  while (dirent* entry = readdir(d)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    const QByteArray path = dir + '/' + entry->d_name;
    struct stat st {};
    if (lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode)) unlink(path.constData());
  }
  closedir(d);
  rmdir(dir.constData());
}

}  // namespace

QString TTempFiles::Base() {
  for (const char* var : {"XDG_RUNTIME_DIR", "TMPDIR"}) {
    const char* value = std::getenv(var);
    struct stat st {};
    if (value && *value && stat(value, &st) == 0 && S_ISDIR(st.st_mode) &&
        access(value, W_OK | X_OK) == 0)
      return QString::fromLocal8Bit(value);
  }
  return QStringLiteral("/tmp");
}

int TTempFiles::SweepStale(const QString& base) {
  const QByteArray b = QFile::encodeName(base);
  DIR* d = opendir(b.constData());
  if (!d) return 0;
  int removed = 0;
  while (dirent* entry = readdir(d)) {
    if (std::strncmp(entry->d_name, kPrefix, sizeof kPrefix - 1) != 0) continue;
    const QByteArray dir = b + '/' + entry->d_name;
    if (!IsPrivateDirectory(dir)) continue;
    const QByteArray lock = dir + '/' + kLockName;
    const int fd = open(lock.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;  // not (yet) one of ours: leave it
    // A live process holds its lock; a free lock means the owner is gone. A lock file only
    // seconds old may belong to a process between creating and locking it.
    struct stat st {};
    const bool settled = fstat(fd, &st) == 0 && st.st_mtime + 5 < time(nullptr);
    if (settled && flock(fd, LOCK_EX | LOCK_NB) == 0) {
      RemoveDirectory(dir);
      ++removed;
    }
    close(fd);
  }
  closedir(d);
  return removed;
}

bool TTempFiles::EnsureDirectory(QString* error) {
  if (!dir_.isEmpty()) return true;
  const QString base = Base();
  SweepStale(base);
  QByteArray pattern = QFile::encodeName(base) + '/' + kPrefix + "XXXXXX";
  if (!mkdtemp(pattern.data())) {
    *error = QStringLiteral("cannot create a private directory in %1: %2")
                 .arg(base, QString::fromLocal8Bit(std::strerror(errno)));
    return false;
  }
  const QByteArray lock = pattern + '/' + kLockName;
  lockFd_ = open(lock.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (lockFd_ < 0 || flock(lockFd_, LOCK_EX | LOCK_NB) != 0) {
    *error = QStringLiteral("cannot lock %1: %2")
                 .arg(QFile::decodeName(lock), QString::fromLocal8Bit(std::strerror(errno)));
    if (lockFd_ >= 0) close(lockFd_);
    lockFd_ = -1;
    unlink(lock.constData());
    rmdir(pattern.constData());
    return false;
  }
  dir_ = QFile::decodeName(pattern);
  return true;
}

int TTempFiles::Create(const QString& key, const QString& name, QString* path, QString* error) {
  QString why;
  if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.'))) {
    why = QStringLiteral("invalid temporary file name \"%1\"").arg(name);
  } else if (EnsureDirectory(&why)) {
    const QString full = dir_ + QLatin1Char('/') + name;
    const int fd = open(QFile::encodeName(full).constData(),
                        O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      keys_ << key;
      files_ << full;
      fds_ << -1;
      if (path) *path = full;
      return fd;
    }
    why = QStringLiteral("cannot create %1: %2")
              .arg(full, QString::fromLocal8Bit(std::strerror(errno)));
  }
  if (error) *error = why;
  return -1;
}

void TTempFiles::KeepOpen(const QString& key, int fd) {
  const qsizetype i = keys_.indexOf(key);
  if (i < 0) {
    close(fd);
    return;
  }
  if (fds_[i] >= 0) close(fds_[i]);
  fds_[i] = fd;
}

int TTempFiles::Descriptor(const QString& key) const {
  const qsizetype i = keys_.indexOf(key);
  return i < 0 ? -1 : fds_[i];
}

QString TTempFiles::Find(const QString& key) const {
  const qsizetype i = keys_.indexOf(key);
  return i < 0 ? QString() : files_[i];
}

bool TTempFiles::Remove(const QString& key) {
  const qsizetype i = keys_.indexOf(key);
  if (i < 0) return false;
  unlink(QFile::encodeName(files_[i]).constData());
  if (fds_[i] >= 0) close(fds_[i]);
  keys_.removeAt(i);
  files_.removeAt(i);
  fds_.removeAt(i);
  return true;
}

TTempFiles::~TTempFiles() {
  for (const QString& file : files_) unlink(QFile::encodeName(file).constData());
  for (int fd : fds_)
    if (fd >= 0) close(fd);
  if (dir_.isEmpty()) return;
  const QByteArray dir = QFile::encodeName(dir_);
  unlink((dir + '/' + kLockName).constData());
  if (lockFd_ >= 0) close(lockFd_);
  rmdir(dir.constData());
}
