#include "platform/registry/Registry.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <set>
#include <sqlite3.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

// Thread: any. One process-wide connection; g_mutex guards it, the handle set and the
// transaction bookkeeping. Other processes are kept apart by SQLite's locks (WAL journal,
// busy timeout).
struct TRegKeyHandle {
  std::int64_t id;
  bool writable;
  bool wrote = false;  // counted in Store::writersOpen
};

namespace {

constexpr std::int64_t kRootId = 1;
constexpr int kSchemaVersion = 1;
constexpr int kBusyTimeoutMs = 5000;
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;
constexpr int kMaxAsideAttempts = 100;

struct Store {
  sqlite3* db = nullptr;
  bool readOnly = false;  // a file that may not be written: every write is refused
  bool inTransaction = false;
  int writersOpen = 0;  // open handles that wrote since the last commit
  std::set<TRegKeyHandle*> handles;
  bool exitHookInstalled = false;
  std::vector<RegStoreProblem> problems;  // met while opening, not yet taken
  bool saveFailureNoted = false;          // RegNoteSaveFailure said it for this store
  int busyWaitMs = kBusyTimeoutMs;        // how long a write waits for another's write lock
};

std::mutex g_mutex;
Store g_store;

// A prepared statement that finalises itself.
class Stmt {
 public:
  Stmt(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Stmt() { sqlite3_finalize(stmt_); }
  Stmt(const Stmt&) = delete;
  Stmt& operator=(const Stmt&) = delete;

  bool Ok() const { return rc_ == SQLITE_OK; }
  int PrepareResult() const { return rc_; }
  Stmt& Bind(int i, std::int64_t v) {
    sqlite3_bind_int64(stmt_, i, v);
    return *this;
  }
  Stmt& Bind(int i, std::string_view text) {
    sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Stmt& BindBlob(int i, const void* data, std::size_t size) {
    if (size == 0)
      sqlite3_bind_zeroblob(stmt_, i, 0);
    else
      sqlite3_bind_blob(stmt_, i, data, static_cast<int>(size), SQLITE_TRANSIENT);
    return *this;
  }
  int Step() { return stmt_ ? sqlite3_step(stmt_) : rc_; }
  std::int64_t Int(int col) const { return sqlite3_column_int64(stmt_, col); }
  std::string Text(int col) const {
    const auto* p = sqlite3_column_text(stmt_, col);
    return p ? std::string(reinterpret_cast<const char*>(p), sqlite3_column_bytes(stmt_, col))
             : std::string();
  }
  const void* Blob(int col) const { return sqlite3_column_blob(stmt_, col); }
  int Bytes(int col) const { return sqlite3_column_bytes(stmt_, col); }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int rc_ = SQLITE_ERROR;
};

LONG MapSqlite(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
      return ERROR_SUCCESS;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return ERROR_REGISTRY_CORRUPT;
    default:
      return ERROR_REGISTRY_IO_FAILED;
  }
}

bool Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

// Creates every missing folder of path's parent; new folders get mode 0700 (the store is private).
void MakeParentFolders(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return;
  const std::string dir = path.substr(0, slash);
  for (std::size_t pos = 1; pos <= dir.size(); ++pos) {
    if (pos != dir.size() && dir[pos] != '/') continue;
    const std::string part = dir.substr(0, pos);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return;
  }
}

std::string Timestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
  return buf;
}

// Why a file could not serve as the store. Only a damaged or foreign file is moved aside; a
// file that is busy, locked or cannot be read or written is left alone.
enum class OpenFailure { None, Damaged, Busy, Other };

OpenFailure FailureOf(sqlite3* db) {
  switch (sqlite3_errcode(db) & 0xFF) {
    case SQLITE_OK:
      return OpenFailure::None;
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      return OpenFailure::Damaged;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return OpenFailure::Busy;
    default:
      return OpenFailure::Other;
  }
}

struct Verdict {
  std::string why;  // empty: usable
  OpenFailure failure = OpenFailure::None;
  bool empty = false;  // a database without tables, ready for the schema
};

Verdict SqlError(sqlite3* db) {
  const OpenFailure f = FailureOf(db);
  return {sqlite3_errmsg(db), f == OpenFailure::None ? OpenFailure::Other : f};
}

// Whether an opened file is a usable store.
Verdict CheckDatabase(sqlite3* db, int busyWaitMs) {
  if (sqlite3_busy_timeout(db, busyWaitMs) != SQLITE_OK)
    return {"cannot set busy timeout", OpenFailure::Other};
  int version = -1;
  {
    Stmt s(db, "PRAGMA user_version");
    if (!s.Ok()) return SqlError(db);
    if (s.Step() != SQLITE_ROW) return SqlError(db);
    version = static_cast<int>(s.Int(0));
  }
  if (version == 0) {
    // One statement, so one snapshot: a process giving a new store its schema commits the tables
    // and the version together, and a store caught in between is not taken for a foreign one.
    Stmt s(db,
           "SELECT count(*), (SELECT user_version FROM pragma_user_version) FROM sqlite_master");
    if (!s.Ok() || s.Step() != SQLITE_ROW) return SqlError(db);
    if (s.Int(1) == kSchemaVersion)
      version = kSchemaVersion;
    else if (s.Int(0) != 0)
      return {"not a registry store", OpenFailure::Damaged};
    else
      return {{}, OpenFailure::None, true};
  }
  if (version != kSchemaVersion) return {"registry store of another format", OpenFailure::Damaged};
  Stmt s(db, "PRAGMA quick_check");
  if (!s.Ok() || s.Step() != SQLITE_ROW) return SqlError(db);
  if (s.Text(0) != "ok") return {"damaged: " + s.Text(0), OpenFailure::Damaged};
  return {};
}

// Only a new, empty database gets the schema: that takes the write lock, which another process
// may hold for a while, and a store that only reads must not wait for it.
bool CreateSchema(sqlite3* db) {
  if (!Exec(db, "PRAGMA journal_mode=WAL")) return false;
  return Exec(db,
              "BEGIN IMMEDIATE;"
              "CREATE TABLE IF NOT EXISTS keys(id INTEGER PRIMARY KEY, parent INTEGER,"
              " name TEXT NOT NULL COLLATE NOCASE, UNIQUE(parent, name));"
              "CREATE TABLE IF NOT EXISTS vals(key INTEGER NOT NULL,"
              " name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL, data BLOB NOT NULL,"
              " PRIMARY KEY(key, name));"
              "INSERT OR IGNORE INTO keys(id, parent, name) VALUES(1, NULL, '');"
              "PRAGMA user_version=1;"
              "COMMIT;");
}

// Goes to standard error at once and waits in the store for RegTakeStoreProblems. The caller
// holds g_mutex.
void Report(const std::string& message, bool settingsNotKept) {
  std::fprintf(stderr, "frostwipe: %s\n", message.c_str());
  g_store.problems.push_back({message, settingsNotKept});
}

struct Opened {
  sqlite3* db = nullptr;
  bool readOnly = false;
  std::string why;  // without db: why not
  OpenFailure failure = OpenFailure::None;
};

// Opens and checks a store file; a read-only one is checked but never given the schema.
Opened OpenFile(const std::string& path, bool readOnly, int busyWaitMs) {
  Opened result;
  sqlite3* db = nullptr;
  const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    result.why = db ? sqlite3_errmsg(db) : "cannot open";
    result.failure = db ? FailureOf(db) : OpenFailure::Other;
    if (result.failure == OpenFailure::None) result.failure = OpenFailure::Other;
    sqlite3_close(db);
    return result;
  }
  // SQLite falls back to reading when the system refuses writes (a read-only mount).
  readOnly = readOnly || sqlite3_db_readonly(db, "main") == 1;
  Verdict verdict = CheckDatabase(db, busyWaitMs);
  if (verdict.why.empty() && verdict.empty && readOnly)
    verdict = {"read-only and empty", OpenFailure::Other};
  if (verdict.why.empty() && !readOnly) {
    Exec(db, "PRAGMA synchronous=FULL");
    if (verdict.empty && !CreateSchema(db)) verdict = SqlError(db);
  }
  if (!verdict.why.empty()) {
    if (!readOnly) Exec(db, "ROLLBACK");
    sqlite3_close(db);
    result.why = verdict.why;
    result.failure = verdict.failure;
    return result;
  }
  result.db = db;
  result.readOnly = readOnly;
  return result;
}

// A file without any write bit is read-only even for root, who may write it all the same: the
// user who took the bits away wants it left alone. A file this process may not write is too.
bool IsReadOnlyFile(const std::string& path, const struct stat& st) {
  return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0;
}

const char* KindOfFile(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a file";
}

// Renames without ever replacing what is at `to` (EEXIST then).
int RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  // File systems without RENAME_NOREPLACE: a hard link refuses an existing name as well.
  if (::link(from.c_str(), to.c_str()) != 0) return -1;
  if (::unlink(from.c_str()) != 0) {
    const int saved = errno;
    ::unlink(to.c_str());
    errno = saved;
    return -1;
  }
  return 0;
}

struct MovedAside {
  std::string name;           // empty: not moved
  bool journalsLeft = false;  // a journal file stayed: no fresh store may start beside it
};

// Moves a damaged store file to a name of its own (timestamped, with a number when that is
// taken), and its journal files after it. Only a regular file is moved, never what a link points
// to.
MovedAside MoveAside(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  const std::string base = path + ".corrupt-" + Timestamp();
  for (int n = 1; n <= kMaxAsideAttempts; ++n) {
    const std::string aside = n == 1 ? base : base + "-" + std::to_string(n);
    if (RenameNoReplace(path, aside) != 0) {
      if (errno == EEXIST) continue;
      return {};
    }
    MovedAside moved{aside};
    for (const char* suffix : {"-wal", "-shm"}) {
      const std::string from = path + suffix;
      if (::lstat(from.c_str(), &st) != 0) continue;
      if (RenameNoReplace(from, aside + suffix) != 0) moved.journalsLeft = true;
    }
    return moved;
  }
  return {};
}

sqlite3* OpenMemory() {
  sqlite3* db = nullptr;
  sqlite3_open(":memory:", &db);
  CreateSchema(db);
  return db;
}

// SQLite gives the journal files the mode of the database file, so a store once opened while it
// had no write bit leaves them without one, and a later writable open could then only read
// (non-root users). Our own journal files get the owner's write bit back before such an open.
void MakeJournalsWritable(const std::string& path) {
  for (const char* suffix : {"-wal", "-shm"}) {
    const std::string journal = path + suffix;
    struct stat st {};
    if (::lstat(journal.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & S_IWUSR))
      continue;
    ::chmod(journal.c_str(), (st.st_mode & 07777) | S_IRUSR | S_IWUSR);
  }
}

std::string PasswordHome() {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
      !found->pw_dir)
    return {};
  return found->pw_dir;
}

// Where the store lives, and how the home folder was found when not from HOME.
struct StoreLocation {
  std::string path;  // empty: no home folder is known
  std::string note;
};

StoreLocation LocateStore() {
  std::string path = Env("FROSTWIPE_REGISTRY");
  if (!path.empty()) return {path, {}};
  const std::string config = Env("XDG_CONFIG_HOME");
  if (!config.empty()) return {config + "/frostwipe/registry.db", {}};
  std::string home = Env("HOME");
  std::string note;
  if (home.empty()) {
    home = PasswordHome();
    if (home.empty())
      return {{}, "HOME is not set and the password database has no home folder for this user"};
    note = "HOME is not set; the settings store is in " + home +
           ", the home folder the password database gives";
  }
  return {home + "/.config/frostwipe/registry.db", note};
}

void CloseStoreLocked() {
  if (!g_store.db) return;
  if (g_store.inTransaction) Exec(g_store.db, "COMMIT");
  g_store.inTransaction = false;
  g_store.writersOpen = 0;
  for (TRegKeyHandle* h : g_store.handles) delete h;
  g_store.handles.clear();
  sqlite3_close(g_store.db);
  g_store.db = nullptr;
  g_store.readOnly = false;
  g_store.saveFailureNoted = false;
}

void CloseAtExit() {
  std::lock_guard lock(g_mutex);
  CloseStoreLocked();
}

bool UseMemoryStore() {
  g_store.db = OpenMemory();
  g_store.readOnly = false;
  return g_store.db != nullptr;
}

bool UseFileStore(const Opened& opened) {
  g_store.db = opened.db;
  g_store.readOnly = opened.readOnly;
  return true;
}

// Opens the store on first use. A damaged or foreign regular file is moved aside under a name
// of its own and a fresh store takes its place; a read-only file is read but never written;
// anything else at the path (a directory, a FIFO, a device) is left alone. When no file can
// serve, the store lives in memory for this run; a store that is only busy is tried again at the
// next access. The user's file is never written over, and
// each problem is said once (stderr and RegTakeStoreProblems).
bool EnsureOpen() {
  if (g_store.db) return true;
  if (!g_store.exitHookInstalled) {
    g_store.exitHookInstalled = true;
    std::atexit(CloseAtExit);
  }
  const StoreLocation where = LocateStore();
  if (where.path.empty()) {
    Report(where.note + "; settings are kept in memory for this run only", true);
    return UseMemoryStore();
  }
  if (!where.note.empty()) Report(where.note, false);
  const std::string& path = where.path;
  MakeParentFolders(path);
  struct stat st {};
  const bool exists = ::stat(path.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    Report("registry store " + path + " is " + KindOfFile(st.st_mode) +
               ", not a regular file; it is left as it is and settings are kept in memory for "
               "this run only",
           true);
    return UseMemoryStore();
  }
  const bool readOnly = exists && IsReadOnlyFile(path, st);
  if (!readOnly) MakeJournalsWritable(path);
  // Processes opening a new store at once race to give it the schema, and a store just turned to
  // WAL can answer busy at once rather than wait: the loser tries again until the busy timeout.
  const int busyWaitMs = g_store.busyWaitMs;
  Opened opened = OpenFile(path, readOnly, busyWaitMs);
  constexpr int kPauseMs = 20;
  for (int waited = 0; opened.failure == OpenFailure::Busy && waited < busyWaitMs;
       waited += kPauseMs) {
    ::usleep(kPauseMs * 1000);
    opened = OpenFile(path, readOnly, busyWaitMs);
  }
  // Another process holds the store (it is creating it, say): nothing is given up for the run;
  // the next access tries again, and the caller's write fails until then.
  if (opened.failure == OpenFailure::Busy) return false;
  if (opened.db) {
    if (opened.readOnly)
      Report("registry store " + path +
                 " is read-only: settings are read from it, but changes will not be kept",
             true);
    return UseFileStore(opened);
  }
  const std::string why = opened.why;
  if (opened.failure == OpenFailure::Damaged) {
    const MovedAside aside = MoveAside(path);
    if (!aside.name.empty() && aside.journalsLeft) {
      Report("registry store " + path + " unusable (" + why + "); moved to " + aside.name +
                 ", but its journal files stayed; settings are kept in memory for this run only",
             true);
      return UseMemoryStore();
    }
    if (!aside.name.empty()) {
      Report("registry store " + path + " unusable (" + why + "); moved to " + aside.name +
                 ", starting with a fresh store",
             true);
      opened = OpenFile(path, false, busyWaitMs);
      if (opened.db) return UseFileStore(opened);
    }
  }
  Report("registry store " + path + " unusable (" + (opened.why.empty() ? why : opened.why) +
             "); settings are kept in memory for this run only",
         true);
  return UseMemoryStore();
}

std::vector<std::string_view> SplitPath(const char* path) {
  std::vector<std::string_view> parts;
  if (!path) return parts;
  std::string_view rest(path);
  while (!rest.empty()) {
    const auto sep = rest.find('\\');
    std::string_view part = rest.substr(0, sep);
    if (!part.empty()) parts.push_back(part);
    if (sep == std::string_view::npos) break;
    rest.remove_prefix(sep + 1);
  }
  return parts;
}

bool KeyExistsById(std::int64_t id) {
  Stmt s(g_store.db, "SELECT 1 FROM keys WHERE id=?");
  s.Bind(1, id);
  return s.Step() == SQLITE_ROW;
}

// Resolves a handle; writable tells whether it may change the store.
LONG Resolve(HKEY key, std::int64_t& id, bool& writable) {
  if (!EnsureOpen()) return ERROR_REGISTRY_IO_FAILED;
  if (key == HKEY_CURRENT_USER) {
    id = kRootId;
    writable = true;
    return ERROR_SUCCESS;
  }
  if (!g_store.handles.count(key)) return ERROR_INVALID_HANDLE;
  if (!KeyExistsById(key->id)) return ERROR_KEY_DELETED;
  id = key->id;
  writable = key->writable;
  return ERROR_SUCCESS;
}

// The child of parent named name, or 0 when there is none.
std::int64_t FindChild(std::int64_t parent, std::string_view name) {
  Stmt s(g_store.db, "SELECT id FROM keys WHERE parent=? AND name=?");
  s.Bind(1, parent).Bind(2, name);
  return s.Step() == SQLITE_ROW ? s.Int(0) : 0;
}

// A write starts (or joins) the transaction that the last writing handle's close commits.
LONG BeginWrite(HKEY key) {
  if (g_store.readOnly) return ERROR_ACCESS_DENIED;
  if (!g_store.inTransaction) {
    if (!Exec(g_store.db, "BEGIN IMMEDIATE")) return MapSqlite(sqlite3_errcode(g_store.db));
    g_store.inTransaction = true;
  }
  if (key != HKEY_CURRENT_USER && !key->wrote) {
    key->wrote = true;
    ++g_store.writersOpen;
  }
  return ERROR_SUCCESS;
}

// Writes through the root pseudo-handle, which is never closed, commit at once when no
// other writer is open.
LONG EndWrite(HKEY key, LONG result) {
  if (key == HKEY_CURRENT_USER && g_store.writersOpen == 0 && g_store.inTransaction) {
    g_store.inTransaction = false;
    if (!Exec(g_store.db, "COMMIT")) return MapSqlite(sqlite3_errcode(g_store.db));
  }
  return result;
}

LONG Commit() {
  if (!g_store.inTransaction) return ERROR_SUCCESS;
  g_store.inTransaction = false;
  if (!Exec(g_store.db, "COMMIT")) {
    const LONG err = MapSqlite(sqlite3_errcode(g_store.db));
    Exec(g_store.db, "ROLLBACK");
    return err;
  }
  return ERROR_SUCCESS;
}

bool ValidValueName(const char* name) {
  return !name || std::strlen(name) <= kMaxValueNameLength;
}

LONG CopyName(const std::string& text, char* name, DWORD* nameSize) {
  if (!name || !nameSize) return ERROR_INVALID_PARAMETER;
  if (*nameSize <= text.size()) {
    *nameSize = static_cast<DWORD>(text.size() + 1);
    return ERROR_MORE_DATA;
  }
  std::memcpy(name, text.data(), text.size());
  name[text.size()] = '\0';
  *nameSize = static_cast<DWORD>(text.size());
  return ERROR_SUCCESS;
}

LONG CopyData(DWORD storedType, const void* blob, int bytes, DWORD* type, BYTE* data,
              DWORD* dataSize) {
  if (type) *type = storedType;
  const DWORD size = static_cast<DWORD>(bytes);
  if (!dataSize) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
  if (!data) {
    *dataSize = size;
    return ERROR_SUCCESS;
  }
  if (*dataSize < size) {
    *dataSize = size;
    return ERROR_MORE_DATA;
  }
  if (size) std::memcpy(data, blob, size);
  *dataSize = size;
  return ERROR_SUCCESS;
}

}  // namespace

std::string RegStorePath() {
  return LocateStore().path;
}

void RegCloseStore() {
  std::lock_guard lock(g_mutex);
  CloseStoreLocked();
}

std::vector<RegStoreProblem> RegTakeStoreProblems() {
  std::lock_guard lock(g_mutex);
  EnsureOpen();
  return std::exchange(g_store.problems, {});
}

void RegNoteSaveFailure() {
  std::lock_guard lock(g_mutex);
  if (g_store.saveFailureNoted) return;
  g_store.saveFailureNoted = true;
  Report("registry store " + LocateStore().path +
             ": settings could not be saved; saving is tried again every little while and when "
             "the program ends",
         true);
}

void RegClearSaveFailure() {
  std::lock_guard lock(g_mutex);
  g_store.saveFailureNoted = false;
}

int RegSetBusyWait(int ms) {
  std::lock_guard lock(g_mutex);
  const int previous = std::exchange(g_store.busyWaitMs, ms < 0 ? 0 : ms);
  if (g_store.db) sqlite3_busy_timeout(g_store.db, g_store.busyWaitMs);
  return previous;
}

LONG RegOpenKeyEx(HKEY key, const char* subKey, DWORD, REGSAM access, HKEY* result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::lock_guard lock(g_mutex);
  std::int64_t id = 0;
  bool writable = false;
  if (LONG err = Resolve(key, id, writable)) return err;
  for (std::string_view part : SplitPath(subKey)) {
    id = FindChild(id, part);
    if (!id) return ERROR_FILE_NOT_FOUND;
  }
  auto* h =
      new TRegKeyHandle{id, (access & KEY_SET_VALUE) != 0 || (access & KEY_CREATE_SUB_KEY) != 0};
  g_store.handles.insert(h);
  *result = h;
  return ERROR_SUCCESS;
}

LONG RegCreateKeyEx(HKEY key, const char* subKey, DWORD, char*, DWORD, REGSAM access, void*,
                    HKEY* result, DWORD* disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::lock_guard lock(g_mutex);
  std::int64_t id = 0;
  bool writable = false;
  if (LONG err = Resolve(key, id, writable)) return err;
  const auto parts = SplitPath(subKey);
  for (std::string_view part : parts)
    if (part.size() > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
  bool created = false, began = false;
  for (std::string_view part : parts) {
    const std::int64_t child = FindChild(id, part);
    if (child) {
      id = child;
      continue;
    }
    if (!writable) return ERROR_ACCESS_DENIED;
    if (LONG err = BeginWrite(key)) return err;
    began = true;
    // Another process may have made the key between the look-up and the write lock.
    if (const std::int64_t made = FindChild(id, part)) {
      id = made;
      continue;
    }
    Stmt s(g_store.db, "INSERT INTO keys(parent, name) VALUES(?, ?)");
    s.Bind(1, id).Bind(2, part);
    if (s.Step() != SQLITE_DONE) return EndWrite(key, MapSqlite(sqlite3_errcode(g_store.db)));
    id = sqlite3_last_insert_rowid(g_store.db);
    created = true;
  }
  if (began) EndWrite(key, ERROR_SUCCESS);
  auto* h = new TRegKeyHandle{id, (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0};
  g_store.handles.insert(h);
  *result = h;
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  std::lock_guard lock(g_mutex);
  if (key == HKEY_CURRENT_USER) return ERROR_SUCCESS;
  if (!g_store.db || !g_store.handles.erase(key)) return ERROR_INVALID_HANDLE;
  const bool wrote = key->wrote;
  delete key;
  if (wrote && --g_store.writersOpen == 0) return Commit();
  return ERROR_SUCCESS;
}

LONG RegFlushKey(HKEY key) {
  std::lock_guard lock(g_mutex);
  if (key != HKEY_CURRENT_USER && !g_store.handles.count(key)) return ERROR_INVALID_HANDLE;
  if (!g_store.db) return ERROR_SUCCESS;
  return Commit();
}

namespace {

LONG DeleteBranch(HKEY key, const char* subKey, bool requireLeaf) {
  std::lock_guard lock(g_mutex);
  std::int64_t id = 0;
  bool writable = false;
  if (LONG err = Resolve(key, id, writable)) return err;
  const auto parts = SplitPath(subKey);
  for (std::string_view part : parts) {
    id = FindChild(id, part);
    if (!id) return ERROR_FILE_NOT_FOUND;
  }
  if (!writable) return ERROR_ACCESS_DENIED;
  const bool keepTop = parts.empty();  // RegDeleteTree(key, "") empties key but keeps it
  if (keepTop && requireLeaf) return ERROR_ACCESS_DENIED;
  if (requireLeaf) {
    Stmt s(g_store.db, "SELECT 1 FROM keys WHERE parent=?");
    s.Bind(1, id);
    if (s.Step() == SQLITE_ROW) return ERROR_ACCESS_DENIED;
  }
  if (LONG err = BeginWrite(key)) return err;
  static const char* const kTree =
      "WITH RECURSIVE sub(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM keys k JOIN sub ON "
      "k.parent=sub.id) ";
  const std::string delVals = std::string(kTree) + "DELETE FROM vals WHERE key IN sub";
  const std::string delKeys = std::string(kTree) + "DELETE FROM keys WHERE id IN sub AND id<>?2";
  for (const std::string& sql : {delVals, delKeys}) {
    Stmt s(g_store.db, sql.c_str());
    s.Bind(1, id).Bind(2, keepTop ? id : std::int64_t{-1});
    if (s.Step() != SQLITE_DONE) return EndWrite(key, MapSqlite(sqlite3_errcode(g_store.db)));
  }
  return EndWrite(key, ERROR_SUCCESS);
}

}  // namespace

LONG RegDeleteKey(HKEY key, const char* subKey) {
  if (SplitPath(subKey).empty()) return ERROR_INVALID_PARAMETER;
  return DeleteBranch(key, subKey, true);
}

LONG RegDeleteTree(HKEY key, const char* subKey) {
  return DeleteBranch(key, subKey, false);
}

LONG RegQueryValueEx(HKEY key, const char* valueName, DWORD*, DWORD* type, BYTE* data,
                     DWORD* dataSize) {
  if (!ValidValueName(valueName)) return ERROR_INVALID_PARAMETER;
  std::lock_guard lock(g_mutex);
  std::int64_t id = 0;
  bool writable = false;
  if (LONG err = Resolve(key, id, writable)) return err;
  Stmt s(g_store.db, "SELECT type, data FROM vals WHERE key=? AND name=?");
  s.Bind(1, id).Bind(2, valueName ? std::string_view(valueName) : std::string_view());
  const int rc = s.Step();
  if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
  if (rc != SQLITE_ROW) return MapSqlite(rc);
  return CopyData(static_cast<DWORD>(s.Int(0)), s.Blob(1), s.Bytes(1), type, data, dataSize);
}

LONG RegSetValueEx(HKEY key, const char* valueName, DWORD, DWORD type, const BYTE* data,
                   DWORD dataSize) {
  if (!ValidValueName(valueName)) return ERROR_INVALID_PARAMETER;
  if (type > REG_DWORD) return ERROR_INVALID_PARAMETER;
  if (type == REG_DWORD && dataSize != sizeof(DWORD)) return ERROR_INVALID_PARAMETER;
  if (!data && dataSize) return ERROR_INVALID_PARAMETER;
  std::lock_guard lock(g_mutex);
  std::int64_t id = 0;
  bool writable = false;
  if (LONG err = Resolve(key, id, writable)) return err;
  if (!writable) return ERROR_ACCESS_DENIED;
  if (LONG err = BeginWrite(key)) return err;
  Stmt s(g_store.db, "INSERT OR REPLACE INTO vals(key, name, type, data) VALUES(?, ?, ?, ?)");
  s.Bind(1, id).Bind(2, valueName ? std::string_view(valueName) : std::string_view());
  s.Bind(3, static_cast<std::int64_t>(type)).BindBlob(4, data, dataSize);
  const int rc = s.Step();
  return EndWrite(key, rc == SQLITE_DONE ? ERROR_SUCCESS : MapSqlite(rc));
}

LONG RegDeleteValue(HKEY key, const char* valueName) {
  if (!ValidValueName(valueName)) return ERROR_INVALID_PARAMETER;
  std::lock_guard lock(g_mutex);
  std::int64_t id = 0;
  bool writable = false;
  if (LONG err = Resolve(key, id, writable)) return err;
  if (!writable) return ERROR_ACCESS_DENIED;
  if (LONG err = BeginWrite(key)) return err;
  Stmt s(g_store.db, "DELETE FROM vals WHERE key=? AND name=?");
  s.Bind(1, id).Bind(2, valueName ? std::string_view(valueName) : std::string_view());
  const int rc = s.Step();
  if (rc != SQLITE_DONE) return EndWrite(key, MapSqlite(rc));
  return EndWrite(key, sqlite3_changes(g_store.db) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
}

LONG RegEnumKeyEx(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD*, char*, DWORD*,
                  void*) {
  std::lock_guard lock(g_mutex);
  std::int64_t id = 0;
  bool writable = false;
  if (LONG err = Resolve(key, id, writable)) return err;
  Stmt s(g_store.db, "SELECT name FROM keys WHERE parent=? ORDER BY name LIMIT 1 OFFSET ?");
  s.Bind(1, id).Bind(2, static_cast<std::int64_t>(index));
  const int rc = s.Step();
  if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
  if (rc != SQLITE_ROW) return MapSqlite(rc);
  return CopyName(s.Text(0), name, nameSize);
}

LONG RegEnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD*, DWORD* type,
                  BYTE* data, DWORD* dataSize) {
  std::lock_guard lock(g_mutex);
  std::int64_t id = 0;
  bool writable = false;
  if (LONG err = Resolve(key, id, writable)) return err;
  Stmt s(g_store.db,
         "SELECT name, type, data FROM vals WHERE key=? ORDER BY name LIMIT 1 OFFSET ?");
  s.Bind(1, id).Bind(2, static_cast<std::int64_t>(index));
  const int rc = s.Step();
  if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
  if (rc != SQLITE_ROW) return MapSqlite(rc);
  if (LONG err = CopyName(s.Text(0), name, nameSize)) return err;
  return CopyData(static_cast<DWORD>(s.Int(1)), s.Blob(2), s.Bytes(2), type, data, dataSize);
}
