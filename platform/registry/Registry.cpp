#include "platform/registry/Registry.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>
#include <sqlite3.h>
#include <string_view>
#include <sys/stat.h>
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

struct Store {
  sqlite3* db = nullptr;
  bool inTransaction = false;
  int writersOpen = 0;  // open handles that wrote since the last commit
  std::set<TRegKeyHandle*> handles;
  bool exitHookInstalled = false;
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

// Why an opened file is not a usable store, or empty when it is.
std::string CheckDatabase(sqlite3* db) {
  if (sqlite3_busy_timeout(db, kBusyTimeoutMs) != SQLITE_OK) return "cannot set busy timeout";
  int version = -1;
  {
    Stmt s(db, "PRAGMA user_version");
    if (!s.Ok()) return sqlite3_errmsg(db);
    if (s.Step() != SQLITE_ROW) return sqlite3_errmsg(db);
    version = static_cast<int>(s.Int(0));
  }
  if (version == 0) {
    Stmt s(db, "SELECT count(*) FROM sqlite_master");
    if (!s.Ok() || s.Step() != SQLITE_ROW) return sqlite3_errmsg(db);
    if (s.Int(0) != 0) return "not a registry store";
    return {};
  }
  if (version != kSchemaVersion) return "registry store of another format";
  Stmt s(db, "PRAGMA quick_check");
  if (!s.Ok() || s.Step() != SQLITE_ROW) return sqlite3_errmsg(db);
  if (s.Text(0) != "ok") return "damaged: " + s.Text(0);
  return {};
}

bool CreateSchema(sqlite3* db) {
  if (!Exec(db, "PRAGMA journal_mode=WAL")) return false;
  Exec(db, "PRAGMA synchronous=FULL");
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

void Report(const std::string& message) {
  std::fprintf(stderr, "frostwipe: %s\n", message.c_str());
}

sqlite3* OpenFile(const std::string& path, std::string& why, bool& busy) {
  sqlite3* db = nullptr;
  busy = false;
  const int rc =
      sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) {
    why = db ? sqlite3_errmsg(db) : "cannot open";
    sqlite3_close(db);
    return nullptr;
  }
  why = CheckDatabase(db);
  if (why.empty() && !CreateSchema(db)) why = sqlite3_errmsg(db);
  if (!why.empty()) {
    busy = (sqlite3_errcode(db) & 0xFF) == SQLITE_BUSY ||
           (sqlite3_errcode(db) & 0xFF) == SQLITE_LOCKED;
    Exec(db, "ROLLBACK");
    sqlite3_close(db);
    return nullptr;
  }
  return db;
}

sqlite3* OpenMemory() {
  sqlite3* db = nullptr;
  sqlite3_open(":memory:", &db);
  CreateSchema(db);
  return db;
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
}

void CloseAtExit() {
  std::lock_guard lock(g_mutex);
  CloseStoreLocked();
}

// Opens the store on first use. A file that cannot be used is moved aside under a timestamped
// name and a fresh store takes its place; when even that fails the store lives in memory for
// this run. Either way the user's file is never written over, and stderr says so once.
bool EnsureOpen() {
  if (g_store.db) return true;
  if (!g_store.exitHookInstalled) {
    g_store.exitHookInstalled = true;
    std::atexit(CloseAtExit);
  }
  const std::string path = RegStorePath();
  MakeParentFolders(path);
  std::string why;
  bool busy = false;
  g_store.db = OpenFile(path, why, busy);
  if (g_store.db) return true;
  if (!busy) {
    const std::string aside = path + ".corrupt-" + Timestamp();
    if (std::rename(path.c_str(), aside.c_str()) == 0) {
      for (const char* suffix : {"-wal", "-shm"}) {
        const std::string from = path + suffix;
        std::rename(from.c_str(), (aside + suffix).c_str());
      }
      Report("registry store " + path + " unusable (" + why + "); moved to " + aside +
             ", starting with a fresh store");
      g_store.db = OpenFile(path, why, busy);
      if (g_store.db) return true;
    }
  }
  Report("registry store " + path + " unusable (" + why +
         "); settings are kept in memory for this run only");
  g_store.db = OpenMemory();
  return g_store.db != nullptr;
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
  std::string path = Env("FROSTWIPE_REGISTRY");
  if (!path.empty()) return path;
  std::string config = Env("XDG_CONFIG_HOME");
  if (config.empty()) config = Env("HOME") + "/.config";
  return config + "/frostwipe/registry.db";
}

void RegCloseStore() {
  std::lock_guard lock(g_mutex);
  CloseStoreLocked();
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
  bool created = false;
  for (std::string_view part : parts) {
    const std::int64_t child = FindChild(id, part);
    if (child) {
      id = child;
      continue;
    }
    if (!writable) return ERROR_ACCESS_DENIED;
    if (LONG err = BeginWrite(key)) return err;
    Stmt s(g_store.db, "INSERT INTO keys(parent, name) VALUES(?, ?)");
    s.Bind(1, id).Bind(2, part);
    if (s.Step() != SQLITE_DONE) return EndWrite(key, MapSqlite(sqlite3_errcode(g_store.db)));
    id = sqlite3_last_insert_rowid(g_store.db);
    created = true;
  }
  if (created) EndWrite(key, ERROR_SUCCESS);
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
