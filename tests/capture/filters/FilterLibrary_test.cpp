// Tests of the loader: extraction of the packed library on first use, loading, creation by
// export name and its failures.
#include "capture/graph/FilterLibrary.h"

#include <cstdio>
#include <span>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include "FilterTestSupport.h"
#include "capture/graph/FilterImage.h"

namespace {

constexpr char kLoadFailurePrefix[] = "log 41 ERROR cannot load filter ";

}  // namespace

// Catches: a build that compiles in an image which is not the packed module (stale, empty or
// unpacked), so nothing loadable would be extracted.
TEST(FilterLibraryImage, ExpandsToASharedObject) {
  const QByteArray image = FilterLibraryImage();
  std::vector<std::uint8_t> library;
  std::string why;
  ASSERT_TRUE(ExpandFilterImage(std::span(reinterpret_cast<const std::uint8_t*>(image.data()),
                                          static_cast<std::size_t>(image.size())),
                                &library, &why))
      << why;
  ASSERT_GT(library.size(), 1000u);
  EXPECT_EQ(std::memcmp(library.data(),
                        "\x7f"
                        "ELF",
                        4),
            0);
  EXPECT_LT(static_cast<std::size_t>(image.size()), library.size()) << "runs never used";
}

using FilterLibraryLoad = FilterLibraryTest;

// Catches: the library written to a shared or public place, a file left unlisted (never
// deleted), or each creation writing the file again instead of reusing it; each slot must hold
// its own library reference.
TEST_F(FilterLibraryLoad, ExtractsOnceIntoPrivateDirectoryAndReusesIt) {
  TTempFiles& files = SyncManager()->TempFiles();
  ASSERT_TRUE(files.Find(kFilterLibraryKey).isEmpty());
  ASSERT_TRUE(CreateLibraryFilter(Core(), "GRB_RGB", kCreateLocalGrabberInstance, slot_));
  EXPECT_TRUE(slot_.Module && slot_.Filter && slot_.Grabber);
  EXPECT_FALSE(slot_.Transform);

  const QString path = files.Find(kFilterLibraryKey);
  ASSERT_FALSE(path.isEmpty());
  EXPECT_EQ(QFileInfo(path).absolutePath(), files.Directory());
  EXPECT_TRUE(QFileInfo(path).fileName().startsWith(kFilterLibraryKey));
  struct stat dir {};
  ASSERT_EQ(stat(QFile::encodeName(files.Directory()).constData(), &dir), 0);
  EXPECT_EQ(dir.st_mode & 0777, 0700u);
  struct stat first {};
  ASSERT_EQ(stat(QFile::encodeName(path).constData(), &first), 0);

  // A second slot and a second filter in the first slot: same file, not written again (a new
  // write would fail on the existing name, or make a new file).
  FilterSlot other;
  ASSERT_TRUE(CreateLibraryFilter(Core(), "TrnfFltr", kCreateLocalTransformInstance, other));
  EXPECT_TRUE(other.Transform);
  EXPECT_EQ(other.Module, slot_.Module) << "one library, counted twice";
  ASSERT_TRUE(CreateLibraryFilter(Core(), "GRB_Dummy", kCreateLocalGrabberInstanceNoModify, slot_));
  EXPECT_EQ(files.Find(kFilterLibraryKey), path);
  struct stat again {};
  ASSERT_EQ(stat(QFile::encodeName(path).constData(), &again), 0);
  EXPECT_EQ(again.st_ino, first.st_ino);
  EXPECT_EQ(again.st_mtim.tv_nsec, first.st_mtim.tv_nsec);
  EXPECT_EQ(again.st_mtim.tv_sec, first.st_mtim.tv_sec);

  // Releasing one slot leaves the other's filter usable.
  other.Release();
  EXPECT_FALSE(other.Module || other.Filter || other.Transform);
  FILTER_INFO info{};
  EXPECT_EQ(slot_.Filter->QueryFilterInfo(&info), S_OK);
  EXPECT_TRUE(rec_.calls.empty());
}

// Catches: a missing export or a failing creation reported with another code or text, or
// answered true; exports that are not provided must fail cleanly, not crash.
TEST_F(FilterLibraryLoad, MissingOrRefusingExportReportsLoadFilter) {
  EXPECT_FALSE(CreateLibraryFilter(Core(), "Nothing", "CreateNoSuchInstance", slot_));
  EXPECT_FALSE(slot_.Filter);
  EXPECT_FALSE(CreateLibraryFilter(Core(), "RwCapFilter", kCreateLocalCFrwInstance, slot_));
  EXPECT_FALSE(slot_.Filter);
  const std::vector<QString> expected = {QString(kLoadFailurePrefix) + "Nothing",
                                         QString(kLoadFailurePrefix) + "RwCapFilter"};
  EXPECT_EQ(rec_.calls, expected);
}

// Catches: a file under the key that is no loadable library (damaged, foreign) taken as
// success, or a crash instead of e_load_filter.
TEST_F(FilterLibraryLoad, UnloadableLibraryReportsLoadFilter) {
  TTempFiles& files = SyncManager()->TempFiles();
  QString path, error;
  const int fd = files.Create(kFilterLibraryKey, "v~f-damaged.so", &path, &error);
  ASSERT_GE(fd, 0) << error.toStdString();
  ASSERT_EQ(write(fd, "not a library", 13), 13);
  close(fd);
  EXPECT_FALSE(CreateLibraryFilter(Core(), "GRB_RGB", kCreateLocalGrabberInstance, slot_));
  EXPECT_EQ(slot_.Module, nullptr);
  EXPECT_FALSE(slot_.Filter);
  EXPECT_EQ(rec_.calls, std::vector<QString>{QString(kLoadFailurePrefix) + "GRB_RGB"});
}

// Catches: a file that could not be written staying listed (later loads would use it) or left
// on disk.
TEST_F(FilterLibraryLoad, RemovedTempFileIsUnlistedAndDeleted) {
  TTempFiles& files = SyncManager()->TempFiles();
  QString path, error;
  const int fd = files.Create(kFilterLibraryKey, kFilterLibraryFileName, &path, &error);
  ASSERT_GE(fd, 0);
  close(fd);
  EXPECT_TRUE(files.Remove(kFilterLibraryKey));
  EXPECT_TRUE(files.Find(kFilterLibraryKey).isEmpty());
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_FALSE(files.Remove(kFilterLibraryKey));
  // The name is free again: the next creation extracts afresh.
  EXPECT_TRUE(CreateLibraryFilter(Core(), "GRB_RGB", kCreateLocalGrabberInstance, slot_));
}

// Catches: a library that cannot be extracted leaving the picture black with the reason only in
// the trace and OnLog, which the game does not set.
TEST_F(FilterLibraryLoad, ExtractionFailureIsShownToThePlayer) {
  QString path, error;
  const int fd = SyncManager()->TempFiles().Create("taken", kFilterLibraryFileName, &path, &error);
  ASSERT_GE(fd, 0) << error.toStdString();
  close(fd);
  EXPECT_FALSE(CreateLibraryFilter(Core(), "GRB_RGB", kCreateLocalGrabberInstance, slot_));
  EXPECT_EQ(rec_.calls, std::vector<QString>{QString(kLoadFailurePrefix) + "GRB_RGB"});
  QCoreApplication::processEvents();
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_TRUE(boxes_[0].contains("video filters could not be prepared")) << boxes_[0].toStdString();
  EXPECT_TRUE(boxes_[0].contains(path)) << boxes_[0].toStdString();
}

// Catches: the library loaded by its path after it was written, so a file that another process
// of the user renames into that place in between is loaded instead of the one this process wrote.
TEST_F(FilterLibraryLoad, FileRenamedIntoItsPlaceIsNeverLoaded) {
  // This process's extraction, stopped just before the load.
  const QByteArray image = FilterLibraryImage();
  std::vector<std::uint8_t> library;
  std::string why;
  ASSERT_TRUE(ExpandFilterImage(std::span(reinterpret_cast<const std::uint8_t*>(image.constData()),
                                          static_cast<std::size_t>(image.size())),
                                &library, &why));
  TTempFiles& files = SyncManager()->TempFiles();
  QString path, error;
  const int fd = files.Create(kFilterLibraryKey, kFilterLibraryFileName, &path, &error);
  ASSERT_GE(fd, 0) << error.toStdString();
  ASSERT_EQ(write(fd, library.data(), library.size()), static_cast<ssize_t>(library.size()));
  files.KeepOpen(kFilterLibraryKey, fd);

  QFile impostor(path + ".new");
  ASSERT_TRUE(impostor.open(QIODevice::WriteOnly));
  impostor.write("not the library this process wrote");
  impostor.close();
  ASSERT_EQ(std::rename(QFile::encodeName(impostor.fileName()).constData(),
                        QFile::encodeName(path).constData()),
            0);
  EXPECT_TRUE(CreateLibraryFilter(Core(), "GRB_RGB", kCreateLocalGrabberInstance, slot_));
  EXPECT_TRUE(slot_.Grabber);
  EXPECT_TRUE(rec_.calls.empty());
}
