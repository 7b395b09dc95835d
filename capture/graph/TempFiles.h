// The process's private directory for temporary files, and the list of files written there.
#pragma once

#include <QString>
#include <QStringList>

// One directory per process (mode 0700), made on first use under $XDG_RUNTIME_DIR, or with
// mkdtemp under $TMPDIR or /tmp. A lock file held with flock while the process lives tells a
// later run that the directory's owner is gone, so that run removes it; nothing outside such
// directories is ever deleted. Thread: UI (owned by the synchronisation manager).
class TTempFiles {
 public:
  TTempFiles() = default;
  // Deletes every listed file, then the directory itself.
  ~TTempFiles();
  TTempFiles(const TTempFiles&) = delete;
  TTempFiles& operator=(const TTempFiles&) = delete;

  // Creates name in the private directory (new, never through a link) and lists it under key.
  // Answers an open descriptor for reading and writing (the caller closes it, or hands it to
  // KeepOpen) and the path, or -1 with *error saying why.
  int Create(const QString& key, const QString& name, QString* path, QString* error);
  // Keeps fd, the descriptor Create answered for key, open until the file is removed: the file
  // this process wrote stays reachable through it whatever happens to its name.
  void KeepOpen(const QString& key, int fd);
  // The descriptor kept for key, or -1.
  int Descriptor(const QString& key) const;
  // The path listed under key, or empty.
  QString Find(const QString& key) const;
  // Deletes the file listed under key and drops it from the list (a file that could not be
  // written completely). False when nothing is listed under key.
  bool Remove(const QString& key);
  // The private directory, or empty before the first file.
  QString Directory() const { return dir_; }

  // Removes this program's directories left by processes that are gone (their lock is free).
  // Answers how many were removed.
  static int SweepStale(const QString& base);
  // Where private directories are made.
  static QString Base();

 private:
  bool EnsureDirectory(QString* error);

  QString dir_;
  int lockFd_ = -1;
  QStringList keys_;
  QStringList files_;
  QList<int> fds_;  // kept descriptors, -1 where none
};
