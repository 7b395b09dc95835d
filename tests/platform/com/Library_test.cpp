// Tests of library loading and temporary file names.
#include "platform/com/Library.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/com/TempFile.h"

namespace {

// Catches: a missing export or library answering an address, or failing without a readable
// reason for the log; a found export not callable.
TEST(Library, MissingExportFailsWithReadableError) {
  HMODULE math = LoadLibraryA("libm.so.6");
  ASSERT_NE(math, nullptr) << LastLibraryError();
  auto cosine = reinterpret_cast<double (*)(double)>(GetProcAddress(math, "cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(LastLibraryError(), "");

  EXPECT_EQ(GetProcAddress(math, "CreateLocalGrabberInstance"), nullptr);
  EXPECT_NE(LastLibraryError().find("CreateLocalGrabberInstance"), std::string::npos)
      << LastLibraryError();
  EXPECT_EQ(FreeLibrary(math), TRUE);

  EXPECT_EQ(LoadLibraryA("/nonexistent/v~f1.tmp"), nullptr);
  EXPECT_NE(LastLibraryError().find("/nonexistent/v~f1.tmp"), std::string::npos)
      << LastLibraryError();
  EXPECT_EQ(FreeLibrary(nullptr), FALSE);
}

// Catches: two requests getting the same temporary name, a name outside the given directory,
// a prefix longer than three characters, or a file not created private to the user.
TEST(TempFile, UniqueNamesCreatedInGivenDirectory) {
  char dirTemplate[] = "/tmp/frostwipe-tempfile-XXXXXX";
  ASSERT_NE(mkdtemp(dirTemplate), nullptr);
  const std::filesystem::path dir = dirTemplate;
  char first[MAX_PATH];
  char second[MAX_PATH];
  const UINT a = GetTempFileNameA(dirTemplate, "v~f", 0, first);
  const UINT b = GetTempFileNameA(dirTemplate, "v~f", 0, second);
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(std::string(first), std::string(second));
  for (const char* name : {first, second}) {
    const std::filesystem::path path = name;
    EXPECT_EQ(path.parent_path(), dir);
    EXPECT_EQ(path.filename().string().rfind("v~f", 0), 0u);
    EXPECT_EQ(path.extension(), ".tmp");
    struct stat st {};
    ASSERT_EQ(stat(name, &st), 0) << "the file is created";
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }
  char formed[MAX_PATH];
  EXPECT_EQ(GetTempFileNameA(dirTemplate, "longprefix", 0x2A, formed), 0x2Au);
  EXPECT_EQ(std::filesystem::path(formed).filename(), "lon2A.tmp");
  EXPECT_FALSE(std::filesystem::exists(formed)) << "a given number only forms the name";
  EXPECT_EQ(GetTempFileNameA("", "v~f", 0, formed), 0u);
  std::filesystem::remove_all(dir);
}

}  // namespace
