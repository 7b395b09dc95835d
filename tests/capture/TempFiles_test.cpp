// Tests of the private temporary directory: what is created, what is swept, what never is.
#include "capture/graph/TempFiles.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class TempFilesTest : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/fwtmpXXXXXX";
    base_ = mkdtemp(tmpl);
    setenv("XDG_RUNTIME_DIR", base_.c_str(), 1);
  }
  void TearDown() override { fs::remove_all(base_); }
  // Ages a path by a week (lutimes: never through a link).
  static void Age(const fs::path& p) {
    timeval times[2] = {{time(nullptr) - 7 * 86400, 0}, {time(nullptr) - 7 * 86400, 0}};
    lutimes(p.c_str(), times);
  }
  // A private directory as a crashed run leaves it.
  fs::path Leftover(const char* name) {
    const fs::path dir = fs::path(base_) / name;
    fs::create_directory(dir);
    std::ofstream(dir / ".lock");
    std::ofstream(dir / "filters.so") << "x";
    Age(dir / ".lock");
    return dir;
  }
  std::string base_;
};

}  // namespace

// Catches: files made outside the private directory, through a planted link, or left behind;
// other programs' files deleted by name.
TEST_F(TempFilesTest, CreatesPrivatelyAndRemovesOnlyItsOwn) {
  const fs::path planted = fs::path(base_) / "tv-show.txt";
  std::ofstream(planted) << "not ours";
  Age(planted);
  QString dir;
  {
    TTempFiles files;
    EXPECT_TRUE(files.Directory().isEmpty()) << "nothing is made before it is needed";
    QString path, error;
    const int fd = files.Create(QStringLiteral("FLT"), QStringLiteral("filters.so"), &path, &error);
    ASSERT_GE(fd, 0) << error.toStdString();
    close(fd);
    dir = files.Directory();
    EXPECT_TRUE(dir.startsWith(QString::fromStdString(base_) + "/frostwipe-"));
    struct stat st {};
    ASSERT_EQ(stat(dir.toLocal8Bit().constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(files.Find(QStringLiteral("FLT")), path);
    EXPECT_EQ(files.Create(QStringLiteral("B"), QStringLiteral("filters.so"), nullptr, &error), -1)
        << "an existing name is never reused";
    EXPECT_EQ(files.Create(QStringLiteral("C"), QStringLiteral("../escape"), nullptr, &error), -1);
    // A link planted under a new name is not followed.
    const fs::path target = fs::path(base_) / "victim";
    std::ofstream(target) << "keep";
    fs::create_symlink(target, fs::path(dir.toStdString()) / "link.so");
    EXPECT_EQ(files.Create(QStringLiteral("D"), QStringLiteral("link.so"), nullptr, &error), -1);
    fs::remove(fs::path(dir.toStdString()) / "link.so");
  }
  EXPECT_FALSE(fs::exists(dir.toStdString())) << "the directory goes with its files";
  EXPECT_TRUE(fs::exists(planted));
  EXPECT_TRUE(fs::exists(fs::path(base_) / "victim"));
}

// Catches: a sweep that leaves a crashed run's directory, or removes a live one, a link, or
// a directory that is not this program's.
TEST_F(TempFilesTest, SweepRemovesOnlyDirectoriesOfEndedRuns) {
  const fs::path crashed = Leftover("frostwipe-crash1");
  const fs::path live = Leftover("frostwipe-live01");
  const int held = open((live / ".lock").c_str(), O_RDWR);
  ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
  const fs::path foreign = fs::path(base_) / "frostwipe-nolock";
  fs::create_directory(foreign);
  std::ofstream(foreign / "data") << "x";
  const fs::path elsewhere = fs::path(base_) / "elsewhere";
  fs::create_directory(elsewhere);
  std::ofstream(elsewhere / ".lock");
  Age(elsewhere / ".lock");
  fs::create_directory_symlink(elsewhere, fs::path(base_) / "frostwipe-link00");

  EXPECT_EQ(TTempFiles::SweepStale(QString::fromStdString(base_)), 1);
  EXPECT_FALSE(fs::exists(crashed));
  EXPECT_TRUE(fs::exists(live / "filters.so"));
  EXPECT_TRUE(fs::exists(foreign / "data"));
  EXPECT_TRUE(fs::exists(elsewhere / ".lock"));
  close(held);
  EXPECT_EQ(TTempFiles::SweepStale(QString::fromStdString(base_)), 1) << "its owner is gone now";
  EXPECT_FALSE(fs::exists(live));
}
