// Tests of the registry store: keys, typed values, durability, damaged databases, two writers.
#include "platform/registry/Registry.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <pwd.h>
#include <sqlite3.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/fwregXXXXXX";
    dir_ = mkdtemp(tmpl);
    path_ = dir_ + "/sub/registry.db";
    setenv("FROSTWIPE_REGISTRY", path_.c_str(), 1);
    RegCloseStore();
  }
  void TearDown() override {
    RegTakeStoreProblems();  // a test leaves no problems to the next one
    RegCloseStore();
    fs::remove_all(dir_);
  }

  HKEY Create(const char* path) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                             &disposition),
              ERROR_SUCCESS);
    return key;
  }
  static LONG SetDword(HKEY key, const char* name, DWORD v) {
    return RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  }
  static LONG GetDword(HKEY key, const char* name, DWORD& v) {
    DWORD type = 0, size = sizeof v;
    const LONG err = RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size);
    return err == ERROR_SUCCESS && type != REG_DWORD ? ERROR_INVALID_PARAMETER : err;
  }

  std::string dir_;
  std::string path_;
};

// Catches: key paths compared with letter case, or leading/trailing backslashes making new keys.
TEST_F(RegistryTest, KeyPathsIgnoreCaseAndEmptyComponents) {
  HKEY a = Create("\\Software\\TCaptureControl\\Devices\\");
  ASSERT_EQ(SetDword(a, "Value", 7), ERROR_SUCCESS);
  RegCloseKey(a);
  HKEY b = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "software\\TCAPTURECONTROL\\devices", 0, KEY_READ, &b),
            ERROR_SUCCESS);
  DWORD v = 0;
  EXPECT_EQ(GetDword(b, "VALUE", v), ERROR_SUCCESS);
  EXPECT_EQ(v, 7u);
  RegCloseKey(b);
  HKEY c = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\tcapturecontrol\\Devices", 0, nullptr, 0,
                           KEY_ALL_ACCESS, nullptr, &c, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(c);
  HKEY missing = reinterpret_cast<HKEY>(1);
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Nothing", 0, KEY_READ, &missing),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(missing, nullptr);
}

// Catches: a value coming back with another type or size than it was written with.
TEST_F(RegistryTest, TypedValuesRoundTrip) {
  HKEY key = Create("T");
  const char text[] = "hello";
  const BYTE blob[5] = {1, 2, 0, 4, 5};
  ASSERT_EQ(RegSetValueEx(key, "s", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text),
            ERROR_SUCCESS);
  ASSERT_EQ(
      RegSetValueEx(key, "e", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text), sizeof text),
      ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueEx(key, "b", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueEx(key, "n", 0, REG_NONE, nullptr, 0), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(key, "d", 0xDEADBEEF), ERROR_SUCCESS);
  struct {
    const char* name;
    DWORD type;
    DWORD size;
  } expected[] = {{"s", REG_SZ, 6},
                  {"e", REG_EXPAND_SZ, 6},
                  {"b", REG_BINARY, 5},
                  {"n", REG_NONE, 0},
                  {"d", REG_DWORD, 4}};
  for (const auto& e : expected) {
    SCOPED_TRACE(e.name);
    DWORD type = 99, size = 0;
    ASSERT_EQ(RegQueryValueEx(key, e.name, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, e.type);
    EXPECT_EQ(size, e.size);
  }
  BYTE out[5] = {};
  DWORD size = sizeof out;
  ASSERT_EQ(RegQueryValueEx(key, "b", nullptr, nullptr, out, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::memcmp(out, blob, 5), 0);
  DWORD d = 0;
  EXPECT_EQ(GetDword(key, "d", d), ERROR_SUCCESS);
  EXPECT_EQ(d, 0xDEADBEEFu);
  RegCloseKey(key);
}

// Catches: unsafe input: a short buffer overrun, a DWORD of the wrong size, unknown types, bad
// handles.
TEST_F(RegistryTest, RefusesUnsafeRequests) {
  HKEY key = Create("T");
  const BYTE blob[16] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
  ASSERT_EQ(RegSetValueEx(key, "b", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
  BYTE small[8] = {};
  DWORD size = 4;
  EXPECT_EQ(RegQueryValueEx(key, "b", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 16u);
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(small[i], 0) << "byte " << i << " written on ERROR_MORE_DATA";
  const BYTE three[3] = {1, 2, 3};
  EXPECT_EQ(RegSetValueEx(key, "d", 0, REG_DWORD, three, 3), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueEx(key, "q", 0, 11 /* 64-bit */, blob, 8), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueEx(key, "x", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(SetDword(key, "after", 1), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "T", 0, KEY_READ, nullptr), ERROR_INVALID_PARAMETER);
}

// Catches: a read-only handle that writes, and a handle to a deleted key that still works.
TEST_F(RegistryTest, AccessRightsAndDeletedKeys) {
  RegCloseKey(Create("A\\B"));
  HKEY ro = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "A", 0, KEY_READ, &ro), ERROR_SUCCESS);
  EXPECT_EQ(SetDword(ro, "v", 1), ERROR_ACCESS_DENIED);
  HKEY b = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "A\\B", 0, KEY_ALL_ACCESS, &b), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "A"), ERROR_ACCESS_DENIED)
      << "a key with sub-keys was deleted";
  EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "a"), ERROR_SUCCESS);
  EXPECT_EQ(SetDword(b, "v", 1), ERROR_KEY_DELETED);
  HKEY gone = nullptr;
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "A\\B", 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
  RegCloseKey(ro);
  RegCloseKey(b);
}

// Catches: delete of a branch leaving values or grandchildren behind, or touching siblings.
TEST_F(RegistryTest, DeleteTreeRemovesWholeBranchOnly) {
  HKEY deep = Create("Base\\X\\Y\\Z");
  SetDword(deep, "v", 1);
  RegCloseKey(deep);
  HKEY sibling = Create("Base2");
  SetDword(sibling, "v", 2);
  RegCloseKey(sibling);
  ASSERT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "BASE\\"), ERROR_SUCCESS);
  HKEY k = nullptr;
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Base", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Base2", 0, KEY_READ, &k), ERROR_SUCCESS);
  DWORD v = 0;
  EXPECT_EQ(GetDword(k, "v", v), ERROR_SUCCESS);
  EXPECT_EQ(v, 2u);
  RegCloseKey(k);
  // A re-created key of the same name starts empty.
  HKEY again = Create("Base\\X\\Y\\Z");
  EXPECT_EQ(GetDword(again, "v", v), ERROR_FILE_NOT_FOUND);
  RegCloseKey(again);
}

// Catches: enumeration skipping or repeating items, or overrunning the name buffer.
TEST_F(RegistryTest, EnumeratesKeysAndValuesInNameOrder) {
  HKEY root = Create("E");
  for (const char* n : {"beta", "Alpha", "gamma"})
    RegCloseKey(Create((std::string("E\\") + n).c_str()));
  SetDword(root, "v2", 2);
  SetDword(root, "V1", 1);
  std::string names;
  char name[16];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    const LONG err = RegEnumKeyEx(root, i, name, &len, nullptr, nullptr, nullptr, nullptr);
    if (err == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(err, ERROR_SUCCESS);
    EXPECT_EQ(len, std::strlen(name));
    names += std::string(name) + ",";
  }
  EXPECT_EQ(names, "Alpha,beta,gamma,");
  char tiny[3];
  DWORD len = sizeof tiny;
  EXPECT_EQ(RegEnumKeyEx(root, 0, tiny, &len, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  EXPECT_EQ(len, 6u);
  names.clear();
  for (DWORD i = 0;; ++i) {
    DWORD nlen = sizeof name, type = 0, v = 0, size = sizeof v;
    const LONG err =
        RegEnumValue(root, i, name, &nlen, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size);
    if (err == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(err, ERROR_SUCCESS);
    names += std::string(name) + "=" + std::to_string(v) + ",";
  }
  EXPECT_EQ(names, "V1=1,v2=2,");
  RegCloseKey(root);
}

// Catches: writes lost when the key is closed and the store reopened (another run of the program).
TEST_F(RegistryTest, WritesAreDurableAfterClose) {
  HKEY key = Create("Durable");
  ASSERT_EQ(SetDword(key, "v", 42), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  RegCloseStore();  // a connection must not cross fork()
  // Another connection (as another process would) sees the committed value at once.
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    HKEY k = nullptr;
    DWORD v = 0;
    const bool ok = RegOpenKeyEx(HKEY_CURRENT_USER, "Durable", 0, KEY_READ, &k) == ERROR_SUCCESS &&
                    GetDword(k, "v", v) == ERROR_SUCCESS && v == 42;
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  struct stat st {};
  ASSERT_EQ(stat((dir_ + "/sub").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u) << "the store's folder is readable by others";
}

// Catches: two processes writing at once corrupting the store or losing each other's values.
TEST_F(RegistryTest, TwoProcessesWriteConcurrently) {
  RegCloseKey(Create("Shared"));
  RegCloseStore();
  constexpr int kPerProcess = 150;
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  const char* prefix = pid == 0 ? "child" : "parent";
  bool ok = true;
  for (int i = 0; i < kPerProcess; ++i) {
    HKEY k = nullptr;
    ok = ok && RegOpenKeyEx(HKEY_CURRENT_USER, "Shared", 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS;
    ok = ok && SetDword(k, (std::string(prefix) + std::to_string(i)).c_str(),
                        static_cast<DWORD>(i)) == ERROR_SUCCESS;
    if (k) RegCloseKey(k);
  }
  if (pid == 0) {
    RegCloseStore();
    _exit(ok ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the child's writes failed";
  EXPECT_TRUE(ok);
  RegCloseStore();
  HKEY k = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Shared", 0, KEY_READ, &k), ERROR_SUCCESS);
  for (const char* who : {"child", "parent"})
    for (int i = 0; i < kPerProcess; ++i) {
      DWORD v = 9999;
      ASSERT_EQ(GetDword(k, (std::string(who) + std::to_string(i)).c_str(), v), ERROR_SUCCESS)
          << who << i;
      EXPECT_EQ(v, static_cast<DWORD>(i));
    }
  RegCloseKey(k);
}

// Catches: opening the store taking the write lock, so another program holding it freezes the
// start for the busy timeout and the run then keeps its settings in memory, never retried.
TEST_F(RegistryTest, OpeningOnlyReadsAndABusyStoreIsWrittenLater) {
  HKEY key = Create("Busy");
  ASSERT_EQ(SetDword(key, "v", 1), ERROR_SUCCESS);
  RegCloseKey(key);
  RegCloseStore();
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Busy", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  DWORD v = 0;
  EXPECT_EQ(GetDword(key, "v", v), ERROR_SUCCESS);
  EXPECT_EQ(v, 1u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  RegCloseKey(key);
  sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(other);
  key = Create("Busy");
  EXPECT_EQ(SetDword(key, "v", 2), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_TRUE(RegTakeStoreProblems().empty());
  RegCloseStore();
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Busy", 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(GetDword(key, "v", v), ERROR_SUCCESS);
  EXPECT_EQ(v, 2u) << "the write stayed in memory";
  RegCloseKey(key);
}

// Catches: processes saving to one new store at once running in memory while reporting success,
// or failing their saves (two of them making the same key).
TEST_F(RegistryTest, FourProcessesSaveToOneNewStoreAtOnce) {
  for (int round = 0; round < 4; ++round) {
    SCOPED_TRACE(round);
    RegCloseStore();  // a connection must not cross fork()
    setenv("FROSTWIPE_REGISTRY", (dir_ + "/new" + std::to_string(round) + ".db").c_str(), 1);
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < 4; ++i) {
      const pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        char c = 0;
        close(go[1]);
        if (read(go[0], &c, 1) != 0) _exit(100);  // all start when the pipe closes
        HKEY k = nullptr;
        const std::string name = "Shared\\Common\\" + std::to_string(i);
        int failed = 0;
        if (RegCreateKeyEx(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                           &k, nullptr) != ERROR_SUCCESS)
          failed |= 1;
        if (SetDword(k, "v", static_cast<DWORD>(i)) != ERROR_SUCCESS) failed |= 2;
        if (RegCloseKey(k) != ERROR_SUCCESS) failed |= 4;
        if (!RegTakeStoreProblems().empty()) failed |= 8;
        RegCloseStore();
        _exit(failed);
      }
      children.push_back(pid);
    }
    close(go[0]);
    close(go[1]);
    for (pid_t pid : children) {
      int status = 0;
      waitpid(pid, &status, 0);
      ASSERT_TRUE(WIFEXITED(status));
      EXPECT_EQ(WEXITSTATUS(status), 0) << "1, 2, 4: a failed call, 8: a store problem";
    }
    for (int i = 0; i < 4; ++i) {
      HKEY k = nullptr;
      const std::string name = "Shared\\Common\\" + std::to_string(i);
      ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, name.c_str(), 0, KEY_READ, &k), ERROR_SUCCESS)
          << name << " was kept in memory only";
      DWORD v = 99;
      EXPECT_EQ(GetDword(k, "v", v), ERROR_SUCCESS);
      EXPECT_EQ(v, static_cast<DWORD>(i));
      RegCloseKey(k);
    }
  }
}

// Catches: a store opened once while read-only leaving journal files without a write bit, so
// every later run of an ordinary user finds the store unusable until the user deletes them.
TEST_F(RegistryTest, ReadOnlyOpenDoesNotBreakALaterWritableOne) {
  RegCloseStore();  // a connection must not cross fork()
  uid_t uid = geteuid();
  if (uid == 0) {  // root may write anything: the fault shows for an ordinary user
    uid = 54321;
    while (getpwuid(uid)) ++uid;
    ASSERT_EQ(chown(dir_.c_str(), uid, uid), 0);
  }
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (uid != geteuid() && (setgid(uid) != 0 || setuid(uid) != 0)) _exit(100);
    int failed = 0;
    HKEY k = nullptr;
    RegCreateKeyEx(HKEY_CURRENT_USER, "K", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    if (SetDword(k, "v", 1) != ERROR_SUCCESS) failed |= 1;
    RegCloseKey(k);
    RegCloseStore();
    chmod(path_.c_str(), 0444);
    DWORD v = 0;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, "K", 0, KEY_READ, &k) != ERROR_SUCCESS ||
        GetDword(k, "v", v) != ERROR_SUCCESS || v != 1)
      failed |= 2;
    RegCloseKey(k);
    RegTakeStoreProblems();
    RegCloseStore();
    chmod(path_.c_str(), 0644);
    if (RegOpenKeyEx(HKEY_CURRENT_USER, "K", 0, KEY_ALL_ACCESS, &k) != ERROR_SUCCESS ||
        SetDword(k, "v", 2) != ERROR_SUCCESS || RegCloseKey(k) != ERROR_SUCCESS)
      failed |= 4;
    if (!RegTakeStoreProblems().empty()) failed |= 8;
    RegCloseStore();
    _exit(failed);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1, 2: setting up, 4: not writable again, 8: a problem";
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Catches: a damaged or foreign database crashing the program or being silently overwritten.
TEST_F(RegistryTest, UnusableDatabaseIsMovedAsideAndReplaced) {
  for (const std::string& content :
       {std::string(4096, 'x'), std::string("SQLite format 3") + std::string(200, '\0')}) {
    SCOPED_TRACE(content.substr(0, 6));
    RegCloseStore();
    fs::remove_all(dir_ + "/sub");
    fs::create_directories(dir_ + "/sub");
    { std::ofstream(path_, std::ios::binary) << content; }
    testing::internal::CaptureStderr();
    HKEY key = Create("After");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(SetDword(key, "v", 5), ERROR_SUCCESS);
    RegCloseKey(key);
    RegCloseKey(Create("Again"));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("moved to"), std::string::npos) << err;
    EXPECT_EQ(err.find("moved to"), err.rfind("moved to")) << "reported more than once: " << err;
    const std::vector<RegStoreProblem> problems = RegTakeStoreProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].message.find(path_ + " unusable"), std::string::npos);
    EXPECT_NE(problems[0].message.find("moved to"), std::string::npos);
    EXPECT_TRUE(problems[0].settingsNotKept);
    EXPECT_TRUE(RegTakeStoreProblems().empty()) << "a problem was handed out twice";
    int asideCount = 0;
    for (const auto& entry : fs::directory_iterator(dir_ + "/sub")) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("registry.db.corrupt-", 0) == 0 && name.find("-wal") == std::string::npos &&
          name.find("-shm") == std::string::npos) {
        ++asideCount;
        EXPECT_EQ(ReadFile(entry.path().string()), content) << "the user's file was changed";
      }
    }
    EXPECT_EQ(asideCount, 1);
    RegCloseStore();
    HKEY reopened = nullptr;
    DWORD v = 0;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "After", 0, KEY_READ, &reopened), ERROR_SUCCESS);
    EXPECT_EQ(GetDword(reopened, "v", v), ERROR_SUCCESS);
    EXPECT_EQ(v, 5u);
    RegCloseKey(reopened);
  }
}

// The files of dir moved aside as damaged stores ("registry.db.corrupt-..." without the journal
// files), by path, with their contents.
std::map<std::string, std::string> AsideFiles(const std::string& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("registry.db.corrupt-", 0) == 0 && name.find("-wal") == std::string::npos &&
        name.find("-shm") == std::string::npos)
      files[entry.path().string()] = ReadFile(entry.path().string());
  }
  return files;
}

// Catches: a good store reporting problems, or problems handed out more than once.
TEST_F(RegistryTest, HealthyStoreHasNoProblems) {
  RegCloseKey(Create("Fine"));
  EXPECT_TRUE(RegTakeStoreProblems().empty());
  RegCloseStore();
  RegCloseKey(Create("Fine"));
  EXPECT_TRUE(RegTakeStoreProblems().empty());
}

// Catches: a directory or a FIFO at the store's path renamed as if it were a damaged store
// (with the store at /dev/null, root would rename /dev/null), or a hang on the FIFO.
TEST_F(RegistryTest, NonRegularFileAtThePathIsLeftAlone) {
  for (const std::string kind : {"directory", "fifo"}) {
    SCOPED_TRACE(kind);
    RegCloseStore();
    fs::remove_all(dir_ + "/sub");
    fs::create_directories(dir_ + "/sub");
    if (kind == "directory") {
      fs::create_directories(path_);
      std::ofstream(path_ + "/inside.txt") << "keep me";
    } else {
      ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);
    }
    testing::internal::CaptureStderr();
    HKEY key = Create("InMemory");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(SetDword(key, "v", 3), ERROR_SUCCESS);
    DWORD v = 0;
    EXPECT_EQ(GetDword(key, "v", v), ERROR_SUCCESS);
    EXPECT_EQ(v, 3u);
    RegCloseKey(key);
    RegCloseKey(Create("Again"));
    const std::string err = testing::internal::GetCapturedStderr();
    struct stat st {};
    ASSERT_EQ(lstat(path_.c_str(), &st), 0) << "the path was moved away";
    if (kind == "directory") {
      EXPECT_TRUE(S_ISDIR(st.st_mode));
      EXPECT_EQ(ReadFile(path_ + "/inside.txt"), "keep me");
    } else {
      EXPECT_TRUE(S_ISFIFO(st.st_mode));
    }
    EXPECT_TRUE(AsideFiles(dir_ + "/sub").empty());
    EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
    EXPECT_EQ(err.find("not a regular file"), err.rfind("not a regular file"))
        << "reported more than once: " << err;
    const std::vector<RegStoreProblem> problems = RegTakeStoreProblems();
    EXPECT_EQ(problems.size(), 1u);
    if (problems.empty()) continue;
    const std::string said = path_ + (kind == "directory" ? " is a directory" : " is a FIFO");
    EXPECT_NE(problems[0].message.find(said), std::string::npos) << problems[0].message;
    EXPECT_TRUE(problems[0].settingsNotKept);
  }
}

// Catches: a valid store that is only read-only (mode 444) treated as damaged, moved aside and
// replaced by an empty one, so the player's settings silently reset; or written all the same
// (root may write it).
TEST_F(RegistryTest, ReadOnlyStoreIsReadButNeverWritten) {
  HKEY key = Create("Kept\\Inner");
  ASSERT_EQ(SetDword(key, "v", 11), ERROR_SUCCESS);
  RegCloseKey(key);
  RegCloseStore();
  ASSERT_EQ(chmod(path_.c_str(), 0444), 0);
  const std::string before = ReadFile(path_);
  testing::internal::CaptureStderr();
  HKEY kept = nullptr;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Kept\\Inner", 0, KEY_ALL_ACCESS, &kept),
            ERROR_SUCCESS);
  DWORD v = 0;
  EXPECT_EQ(GetDword(kept, "v", v), ERROR_SUCCESS);
  EXPECT_EQ(v, 11u);
  EXPECT_EQ(SetDword(kept, "v", 12), ERROR_ACCESS_DENIED);
  EXPECT_EQ(SetDword(HKEY_CURRENT_USER, "root", 1), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "Kept"), ERROR_ACCESS_DENIED);
  HKEY created = nullptr;
  EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                           &created, nullptr),
            ERROR_ACCESS_DENIED);
  HKEY existing = nullptr;
  EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Kept", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                           &existing, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(existing);
  EXPECT_EQ(GetDword(kept, "v", v), ERROR_SUCCESS);
  EXPECT_EQ(v, 11u);
  RegCloseKey(kept);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("read-only"), std::string::npos) << err;
  EXPECT_EQ(err.find("read-only"), err.rfind("read-only")) << "reported more than once: " << err;
  const std::vector<RegStoreProblem> problems = RegTakeStoreProblems();
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].message.find(path_ + " is read-only"), std::string::npos);
  EXPECT_NE(problems[0].message.find("will not be kept"), std::string::npos);
  EXPECT_TRUE(problems[0].settingsNotKept);
  RegCloseStore();
  EXPECT_EQ(ReadFile(path_), before) << "the read-only store was written";
  struct stat st {};
  ASSERT_EQ(stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0444u);
  EXPECT_TRUE(AsideFiles(dir_ + "/sub").empty()) << "the read-only store was moved aside";
}

// Catches: a second damaged store within the same second destroying the first one's bytes
// (moved-aside names of one-second resolution, and a rename that replaces).
TEST_F(RegistryTest, MovedAsideFilesNeverReplaceEachOther) {
  fs::create_directories(dir_ + "/sub");
  // The names the store may pick in the coming seconds are taken already.
  std::map<std::string, std::string> taken;
  const std::time_t now = std::time(nullptr);
  for (int second = -1; second <= 5; ++second) {
    const std::time_t t = now + second;
    std::tm tm{};
    localtime_r(&t, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
    const std::string name = path_ + ".corrupt-" + stamp;
    taken[name] = "someone else's file " + std::string(stamp);
    std::ofstream(name, std::ios::binary) << taken[name];
  }
  std::vector<std::string> damaged;
  for (int round = 0; round < 3; ++round) {
    RegCloseStore();
    damaged.push_back("damaged store " + std::to_string(round) + std::string(4096, 'x'));
    { std::ofstream(path_, std::ios::binary) << damaged.back(); }
    testing::internal::CaptureStderr();
    RegCloseKey(Create("After"));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("moved to"), std::string::npos) << err;
  }
  RegCloseStore();
  const std::map<std::string, std::string> aside = AsideFiles(dir_ + "/sub");
  for (const auto& [name, content] : taken) {
    ASSERT_TRUE(aside.count(name)) << name << " was moved away";
    EXPECT_EQ(aside.at(name), content) << name << " was replaced";
  }
  for (const std::string& content : damaged) {
    int copies = 0;
    for (const auto& [name, bytes] : aside) copies += bytes == content;
    EXPECT_EQ(copies, 1) << content.substr(0, 16) << " is lost";
  }
  EXPECT_EQ(aside.size(), taken.size() + damaged.size());
}

// Sets or unsets environment variables for one scope and restores them after.
class EnvScope {
 public:
  void Set(const char* name, const char* value) {
    Save(name);
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~EnvScope() {
    for (const auto& [name, value] : saved_)
      if (value)
        setenv(name.c_str(), value->c_str(), 1);
      else
        unsetenv(name.c_str());
  }

 private:
  void Save(const char* name) {
    if (saved_.count(name)) return;
    const char* v = std::getenv(name);
    saved_[name] = v ? std::optional<std::string>(v) : std::nullopt;
  }
  std::map<std::string, std::optional<std::string>> saved_;
};

// Catches: with HOME and XDG_CONFIG_HOME unset, the store landing in /.config/frostwipe.
TEST(RegistryPath, WithoutHomeUsesThePasswordDatabase) {
  EnvScope env;
  for (const char* name : {"FROSTWIPE_REGISTRY", "XDG_CONFIG_HOME", "HOME"}) env.Set(name, nullptr);
  const passwd* pw = getpwuid(getuid());
  ASSERT_NE(pw, nullptr) << "this user has no password entry";
  EXPECT_EQ(RegStorePath(), std::string(pw->pw_dir) + "/.config/frostwipe/registry.db");
  env.Set("HOME", "");
  EXPECT_EQ(RegStorePath(), std::string(pw->pw_dir) + "/.config/frostwipe/registry.db");
}

// Catches: a user with neither HOME nor a password entry getting a store under /.config instead
// of one in memory, or not being told.
TEST(RegistryPath, WithoutAnyHomeTheStoreLivesInMemory) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to become a user without a password entry";
  uid_t uid = 54321;
  while (getpwuid(uid)) ++uid;
  RegCloseStore();  // a connection must not cross fork()
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    int failed = 0;
    if (setgid(uid) != 0 || setuid(uid) != 0) _exit(100);
    for (const char* name : {"FROSTWIPE_REGISTRY", "XDG_CONFIG_HOME", "HOME"}) unsetenv(name);
    if (!RegStorePath().empty()) failed |= 1;
    HKEY key = nullptr;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, "Memory", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                       nullptr) != ERROR_SUCCESS)
      failed |= 2;
    const DWORD v = 9;
    if (RegSetValueEx(key, "v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v) !=
        ERROR_SUCCESS)
      failed |= 4;
    RegCloseKey(key);
    const std::vector<RegStoreProblem> problems = RegTakeStoreProblems();
    if (problems.size() != 1 || !problems[0].settingsNotKept ||
        problems[0].message.find("HOME is not set") == std::string::npos ||
        problems[0].message.find("in memory") == std::string::npos)
      failed |= 8;
    _exit(failed);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a path, 2 and 4: no store in memory, 8: not told";
}

// Catches: the store's location ignoring the environment.
TEST(RegistryPath, FollowsEnvironment) {
  const char* saved = std::getenv("FROSTWIPE_REGISTRY");
  const std::string keep = saved ? saved : "";
  setenv("FROSTWIPE_REGISTRY", "/x/y.db", 1);
  EXPECT_EQ(RegStorePath(), "/x/y.db");
  unsetenv("FROSTWIPE_REGISTRY");
  setenv("XDG_CONFIG_HOME", "/cfg", 1);
  EXPECT_EQ(RegStorePath(), "/cfg/frostwipe/registry.db");
  unsetenv("XDG_CONFIG_HOME");
  setenv("HOME", "/home/u", 1);
  EXPECT_EQ(RegStorePath(), "/home/u/.config/frostwipe/registry.db");
  if (saved) setenv("FROSTWIPE_REGISTRY", keep.c_str(), 1);
}

}  // namespace
