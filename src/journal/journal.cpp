#include "journal/journal.h"

#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <thread>

#include "journal/errno_vfs.h"

namespace dulvex::journal {

namespace {

// A failure of the journal, in words that name its file, with the errno behind it if any.
Status Trouble(std::string words, int error = 0) {
  return {Cause::JournalFailed, error, std::move(words)};
}

namespace fs = std::filesystem;

// The table as this version makes it, and each index: compared word for word with what a
// journal holds when it is opened.
constexpr const char* kTable = R"sql(CREATE TABLE writes(
  id INTEGER PRIMARY KEY,
  time_ms INTEGER NOT NULL,
  device TEXT NOT NULL,
  path TEXT NOT NULL,
  target TEXT NOT NULL,
  medium_block INTEGER NOT NULL,
  medium_dev INTEGER NOT NULL,
  medium_ino INTEGER NOT NULL,
  medium_size INTEGER NOT NULL,
  medium_serial TEXT NOT NULL,
  medium_wwn TEXT NOT NULL,
  sector INTEGER NOT NULL,
  before BLOB NOT NULL CHECK(typeof(before) = 'blob' AND length(before) = 512),
  after BLOB NOT NULL CHECK(typeof(after) = 'blob' AND length(after) = 512),
  changed INTEGER NOT NULL,
  state TEXT NOT NULL
    CHECK(state IN ('pending', 'written', 'not written', 'failed', 'unknown')),
  cause TEXT NOT NULL DEFAULT '',
  undoes INTEGER REFERENCES writes(id),
  generation INTEGER NOT NULL DEFAULT 0,
  undone INTEGER NOT NULL DEFAULT 0,
  owner_pid INTEGER NOT NULL,
  owner_boot TEXT NOT NULL,
  owner_start INTEGER NOT NULL))sql";
// Undo Last Write's candidates: its query repeats this condition word for word.
constexpr const char* kUndoableCondition =
    "generation % 2 = 0 AND undone = 0 AND state IN ('written', 'unknown')";
constexpr const char* kUndoableIndex =
    "CREATE INDEX writes_undoable ON writes(device, id) WHERE generation % 2 = 0 AND undone = 0 "
    "AND state IN ('written', 'unknown')";
constexpr const char* kIndexes[] = {
    "CREATE INDEX writes_by_device ON writes(device, id)",
    "CREATE INDEX writes_open ON writes(id) WHERE state IN ('pending', 'unknown')",
    kUndoableIndex,
};
// Writes made as one step: the records `first` to `last`, made in one transaction. Added by
// the third version; a journal of the second is brought up to it by adding this table.
constexpr const char* kGroupTable = R"sql(CREATE TABLE write_groups(
  id INTEGER PRIMARY KEY,
  title TEXT NOT NULL,
  first INTEGER NOT NULL REFERENCES writes(id),
  last INTEGER NOT NULL REFERENCES writes(id),
  CHECK(first <= last)))sql";
constexpr const char* kGroupIndex = "CREATE INDEX write_groups_by_last ON write_groups(last)";
// The table of the first version, as it made it: a journal that holds exactly this is
// brought up to this version when opened.
constexpr const char* kTableVersion1 = R"sql(CREATE TABLE writes(
  id INTEGER PRIMARY KEY,
  time_ms INTEGER NOT NULL,
  device TEXT NOT NULL,
  path TEXT NOT NULL,
  medium_block INTEGER NOT NULL,
  medium_dev INTEGER NOT NULL,
  medium_ino INTEGER NOT NULL,
  medium_size INTEGER NOT NULL,
  medium_serial TEXT NOT NULL,
  medium_wwn TEXT NOT NULL,
  sector INTEGER NOT NULL,
  before BLOB NOT NULL CHECK(length(before) = 512),
  after BLOB NOT NULL CHECK(length(after) = 512),
  changed INTEGER NOT NULL,
  state TEXT NOT NULL CHECK(state IN ('pending', 'written', 'failed')),
  cause TEXT NOT NULL DEFAULT '',
  undoes INTEGER REFERENCES writes(id)))sql";
// Its records, once its table is renamed writes_version1 and this version's is made.
constexpr const char* kCopyVersion1 = R"sql(
INSERT INTO writes(id, time_ms, device, path, target, medium_block, medium_dev, medium_ino,
    medium_size, medium_serial, medium_wwn, sector, before, after, changed, state, cause,
    undoes, generation, undone, owner_pid, owner_boot, owner_start)
  WITH RECURSIVE depth(id, generation) AS (
    SELECT id, 0 FROM writes_version1 WHERE undoes IS NULL
    UNION ALL
    SELECT w.id, d.generation + 1 FROM writes_version1 AS w JOIN depth AS d ON w.undoes = d.id)
  SELECT id, time_ms, device, path, path, medium_block, medium_dev, medium_ino, medium_size,
    medium_serial, medium_wwn, sector, before, after, changed, state, cause, undoes,
    coalesce((SELECT generation FROM depth WHERE depth.id = w.id), undoes IS NOT NULL),
    EXISTS(SELECT 1 FROM writes_version1 AS u WHERE u.undoes = w.id AND u.state = 'written'),
    0, '', 0
  FROM writes_version1 AS w;
DROP TABLE writes_version1;
)sql";

// A record's columns, then its bytes; a summary has the type and length of each instead.
#define DULVEX_COLUMNS                                                                       \
  "id, time_ms, device, path, target, medium_block, medium_dev, medium_ino, medium_size, "   \
  "medium_serial, medium_wwn, sector, state, cause, undoes, generation, undone, owner_pid, " \
  "owner_boot, owner_start, changed, "
constexpr const char* kRecordColumns = DULVEX_COLUMNS "before, after";
constexpr const char* kSummaryColumns = DULVEX_COLUMNS
    "typeof(before), length(before), typeof(after), length(after), (SELECT CASE WHEN first <= "
    "writes.id THEN title END FROM write_groups WHERE last >= writes.id ORDER BY last LIMIT 1)";
#undef DULVEX_COLUMNS

// A statement in use: reset when its caller is done with it, so no read keeps an old
// snapshot of the journal open (which would stop checkpoints and make the next write of
// this connection fail once another one has written).
class Query {
 public:
  explicit Query(sqlite3_stmt* s) : s_(s) {}
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;
  ~Query() {
    sqlite3_reset(s_);
    sqlite3_clear_bindings(s_);
  }
  int Step() { return sqlite3_step(s_); }
  sqlite3_stmt* get() const { return s_; }

 private:
  sqlite3_stmt* s_;
};

// A prepared statement, kept for the life of the connection.
class Statement {
 public:
  Statement() = default;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  ~Statement() { sqlite3_finalize(stmt_); }
  bool Prepare(sqlite3* db, const std::string& sql) {
    return sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) ==
           SQLITE_OK;
  }
  // Binds the arguments in order (whole numbers, texts, sectors).
  template <typename... Args>
  Query Bind(const Args&... args) {
    int i = 0;
    (BindOne(++i, args), ...);
    return Query(stmt_);
  }

 private:
  void BindOne(int i, std::int64_t v) { sqlite3_bind_int64(stmt_, i, v); }
  void BindOne(int i, std::string_view v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void BindOne(int i, const device::Sector& v) {
    sqlite3_bind_blob(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  sqlite3_stmt* stmt_ = nullptr;
};

// Reads the columns of a row, checking each value's type and range; the first that fails
// names the damage.
class Row {
 public:
  explicit Row(sqlite3_stmt* s) : s_(s) {}
  std::string damage;

  std::int64_t Int(int column, const char* name, std::int64_t least = INT64_MIN,
                   std::int64_t most = INT64_MAX) {
    if (sqlite3_column_type(s_, column) != SQLITE_INTEGER) return Damaged(name, "not a number"), 0;
    const std::int64_t v = sqlite3_column_int64(s_, column);
    if (v < least || v > most) return Damaged(name, "out of range"), 0;
    return v;
  }
  std::int64_t OptionalInt(int column, const char* name) {
    return sqlite3_column_type(s_, column) == SQLITE_NULL ? 0 : Int(column, name, 1);
  }
  std::string Text(int column, const char* name) {
    if (sqlite3_column_type(s_, column) != SQLITE_TEXT) return Damaged(name, "not a text"), "";
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s_, column));
    return t == nullptr
               ? std::string()
               : std::string(t, static_cast<std::size_t>(sqlite3_column_bytes(s_, column)));
  }
  void Bytes(int column, const char* name, device::Sector& out) {
    out.fill(0);
    const bool blob = sqlite3_column_type(s_, column) == SQLITE_BLOB;
    const int n = blob ? sqlite3_column_bytes(s_, column) : 0;
    if (Shape(blob, n, name)) std::memcpy(out.data(), sqlite3_column_blob(s_, column), out.size());
  }
  // Bytes known by their type and length alone (as SQL's typeof() and length() give them).
  void BytesShape(int typeColumn, const char* name) {
    const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(s_, typeColumn));
    const bool blob = type != nullptr && std::strcmp(type, "blob") == 0;
    Shape(blob, blob ? sqlite3_column_int(s_, typeColumn + 1) : 0, name);
  }
  std::string Device(int column) {
    std::string d = Text(column, "device");
    if (damage.empty() && (d.size() != 2 || d[0] < 'A' || d[0] > 'R' || d[1] != ':'))
      Damaged("device", "not a drive letter");
    return d;
  }
  State StateAt(int column) {
    const std::string name = Text(column, "state");
    for (State s :
         {State::Pending, State::Written, State::NotWritten, State::Failed, State::Unknown})
      if (name == StateName(s)) return s;
    Damaged("state", "not a state");
    return State::Failed;
  }
  Owner OwnerAt(int column) {
    Owner o;
    o.pid = Int(column, "owner_pid");
    o.boot = Text(column + 1, "owner_boot");
    o.start = Int(column + 2, "owner_start");
    return o;
  }

 private:
  void Damaged(const char* column, const std::string& what) {
    if (damage.empty()) damage = std::string(column) + ": " + what;
  }
  bool Shape(bool blob, int n, const char* name) {
    if (!blob) return Damaged(name, "not bytes"), false;
    if (n != static_cast<int>(device::kSectorSize))
      return Damaged(name, std::to_string(n) + " bytes, not 512"), false;
    return true;
  }
  sqlite3_stmt* s_;
};

// How long a statement waits for another window's transaction.
constexpr int kBusyMs = 3000;

// The highest sector the program writes.
constexpr std::int64_t kLastSector = INT32_MAX;

// A row of a record or a summary (`bytes`: with the bytes themselves), each value checked.
Record ReadRow(sqlite3_stmt* s, bool bytes, int* changed = nullptr) {
  Row row(s);
  Record r;
  r.id = row.Int(0, "id");
  r.timeMs = row.Int(1, "time_ms");
  r.device = row.Device(2);
  r.path = row.Text(3, "path");
  r.target = row.Text(4, "target");
  r.medium.block = row.Int(5, "medium_block", 0, 1) != 0;
  r.medium.dev = static_cast<std::uint64_t>(row.Int(6, "medium_dev"));
  r.medium.ino = static_cast<std::uint64_t>(row.Int(7, "medium_ino"));
  r.medium.size = static_cast<std::uint64_t>(row.Int(8, "medium_size", 0));
  r.medium.serial = row.Text(9, "medium_serial");
  r.medium.wwn = row.Text(10, "medium_wwn");
  r.sector = row.Int(11, "sector", 0, kLastSector);
  r.state = row.StateAt(12);
  r.cause = row.Text(13, "cause");
  r.undoes = row.OptionalInt(14, "undoes");
  r.generation = row.Int(15, "generation", 0, INT32_MAX);
  r.undone = row.Int(16, "undone", 0, 1) != 0;
  r.owner = row.OwnerAt(17);
  const auto n = static_cast<int>(row.Int(20, "changed", 0, 512));
  if (changed != nullptr) *changed = n;
  if (bytes) {
    row.Bytes(21, "before", r.before);
    row.Bytes(22, "after", r.after);
  } else {
    row.BytesShape(21, "before");
    row.BytesShape(23, "after");
  }
  if (row.damage.empty() && (r.undoes == 0) != (r.generation == 0))
    row.damage = "generation: does not match undoes";
  r.damage = std::move(row.damage);
  return r;
}

Record RecordOf(sqlite3_stmt* s) {
  return ReadRow(s, true);
}

Summary SummaryOf(sqlite3_stmt* s) {
  Summary sum;
  Record r = ReadRow(s, false, &sum.changed);
  sum.id = r.id, sum.timeMs = r.timeMs, sum.device = std::move(r.device);
  sum.target = std::move(r.target), sum.sector = r.sector, sum.state = r.state;
  sum.cause = std::move(r.cause), sum.undoes = r.undoes, sum.owner = std::move(r.owner);
  sum.damage = std::move(r.damage);
  if (sqlite3_column_type(s, 25) == SQLITE_TEXT)
    sum.group = reinterpret_cast<const char*>(sqlite3_column_text(s, 25));
  return sum;
}

int Changed(const device::Sector& a, const device::Sector& b) {
  int n = 0;
  for (std::size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
  return n;
}

// The cause of the last failure of `db` in a user's words, named by its errno where the
// system gave one.
std::string CauseOf(sqlite3* db) {
  const int code = sqlite3_extended_errcode(db);
  const int system = LastVfsErrno() != 0 ? LastVfsErrno() : sqlite3_system_errno(db);
  switch (code & 0xFF) {
    case SQLITE_FULL:
      return ErrnoText(system == EDQUOT ? EDQUOT : ENOSPC);
    case SQLITE_READONLY:
      return system != 0 ? ErrnoText(system) : "its file or folder is read-only";
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      return "the file is damaged or is not a write journal";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "another program holds it locked";
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return ErrnoText(system != 0 ? system : EACCES);
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
      if (system != 0) return ErrnoText(system);
      return (code & 0xFF) == SQLITE_IOERR ? ErrnoText(EIO) : "it cannot be opened";
    default:
      return sqlite3_errmsg(db);
  }
}

bool Busy(int rc) {
  return (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED;
}

// Makes the entries of `folder` durable: a new file in it survives a stop of the machine.
void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

struct Journal::Statements {
  Statement insert, insertGroup, groupOf, members, finish, markUndone, syncNormal, syncFull,
      countAll, countDevice, pageAll, pageDevice, devices, get, undoable, unsettled;
};

const char* StateName(State state) {
  switch (state) {
    case State::Written:
      return "written";
    case State::NotWritten:
      return "not written";
    case State::Failed:
      return "failed";
    case State::Unknown:
      return "unknown";
    case State::Pending:
      break;
  }
  return "pending";
}

fs::path DefaultJournalFile() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && fs::path(state).is_absolute())
    return fs::path(state) / "dulvex" / "journal.sqlite";
  const char* home = std::getenv("HOME");
  const passwd* pw = home == nullptr ? ::getpwuid(::getuid()) : nullptr;
  if (home == nullptr && pw != nullptr) home = pw->pw_dir;
  return fs::path(home == nullptr ? "/" : home) / ".local" / "state" / "dulvex" / "journal.sqlite";
}

std::string TimeText(std::int64_t timeMs) {
  const std::time_t t = static_cast<std::time_t>(timeMs / 1000);
  std::tm tm{};
  char text[32] = "?";
  if (::localtime_r(&t, &tm) != nullptr) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

Journal::Journal(fs::path file) : file_(std::move(file)) {}

Journal::~Journal() {
  Close();
}

void Journal::Close() {
  statements_.reset();
  sqlite3_close(db_);
  db_ = nullptr;
  // Only now: closing any descriptor of the file would drop the locks SQLite holds on it.
  if (watch_ >= 0) ::close(watch_);
  watch_ = -1;
  walDev_ = walIno_ = 0;
}

Status Journal::Fail(const std::string& what) {
  const int error = db_ != nullptr ? sqlite3_system_errno(db_) : 0;
  return Trouble("the write journal " + file_.string() + " cannot " + what + ": " +
                     (db_ != nullptr ? CauseOf(db_) : std::string("it is not open")),
                 error);
}

Status Journal::Exec(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return {};
  return Fail("be used");
}

Status Journal::CheckSchema(int version, std::int32_t applicationId) {
  const std::string notOurs = "the write journal " + file_.string() +
                              " cannot be opened: the file is not a write journal of this "
                              "program, or a damaged one";
  std::map<std::string, std::string> schema;  // name -> the statement that made it
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db_,
                         "SELECT name, sql FROM sqlite_master WHERE sql IS NOT NULL AND name NOT "
                         "LIKE 'sqlite\\_%' ESCAPE '\\'",
                         -1, &s, nullptr) != SQLITE_OK)
    return Fail("be opened");
  while (sqlite3_step(s) == SQLITE_ROW) {
    const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    const auto* sql = reinterpret_cast<const char*>(sqlite3_column_text(s, 1));
    if (name != nullptr && sql != nullptr) schema[name] = sql;
  }
  sqlite3_finalize(s);
  std::map<std::string, std::string> ours = {{"writes", kTable}};
  const auto addIndex = [&](const std::string& sql) {
    ours[sql.substr(13, sql.find(" ON ") - 13)] = sql;  // after "CREATE INDEX "
  };
  for (const char* index : kIndexes) addIndex(index);
  const std::map<std::string, std::string> second = ours;
  ours["write_groups"] = kGroupTable;
  addIndex(kGroupIndex);
  if (applicationId == kApplicationId && version == kSchemaVersion && schema == ours) return {};
  if (applicationId == kApplicationId && version > kSchemaVersion)
    return Trouble("the write journal " + file_.string() +
                   " was made by a newer version of the program");
  const bool fromSecond = applicationId == kApplicationId && version == 2 && schema == second;
  if (!fromSecond && (applicationId != 0 || version > 1)) return Trouble(notOurs);
  const bool fresh = version == 0 && schema.empty();
  // The first version kept no application id; its table is taken as it made it, and no other.
  if (!fresh && !fromSecond && (version != 1 || schema["writes"] != kTableVersion1))
    return Trouble(notOurs);
  // Made, or brought up to this version, whole in one transaction.
  Status r = Exec("BEGIN IMMEDIATE");
  if (!fromSecond) {
    if (r.ok() && !fresh) r = Exec("ALTER TABLE writes RENAME TO writes_version1");
    if (r.ok()) r = Exec(kTable);
    if (r.ok() && !fresh) r = Exec(kCopyVersion1);
    for (const char* index : kIndexes)
      if (r.ok()) r = Exec(index);
  }
  if (r.ok()) r = Exec(kGroupTable);
  if (r.ok()) r = Exec(kGroupIndex);
  const std::string mark = "PRAGMA application_id = " + std::to_string(kApplicationId) +
                           "; PRAGMA user_version = " + std::to_string(kSchemaVersion);
  if (r.ok()) r = Exec(mark.c_str());
  return r.ok() ? Exec("COMMIT") : (Exec("ROLLBACK"), r);
}

Status Journal::Open(bool create) {
  if (db_ != nullptr) return {};
  std::error_code ec;
  if (!create && !fs::exists(file_, ec)) return {};
  if (file_.empty()) return Trouble("no place is set for the write journal");
  const fs::path folder = file_.parent_path();
  const bool folderExisted = fs::is_directory(folder, ec);
  if (create && !fs::create_directories(folder, ec) && ec) {
    return Trouble("the write journal " + file_.string() + " cannot be made: its folder " +
                       folder.string() + " cannot be created: " + ErrnoText(ec.value()),
                   ec.value());
  }
  const bool existed = fs::exists(file_, ec);
  ClearVfsErrno();
  if (create && !existed) {
    // Made here, private (it holds the volumes' bytes), and so that a failure is told by its
    // own cause; an empty file is a new database to SQLite.
    const int fd = ::open(file_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EEXIST)
      return Trouble("the write journal " + file_.string() + " cannot be made: " + ErrnoText(errno),
                     errno);
    if (fd >= 0) ::close(fd);
  }
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) |
                    SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
  Status r;
  if (sqlite3_open_v2(file_.c_str(), &db_, flags, ErrnoVfsName()) != SQLITE_OK) {
    r = Fail("be opened");
  } else {
    // Another window may hold the journal for a moment: its writes are short.
    sqlite3_busy_timeout(db_, kBusyMs);
    sqlite3_stmt* s = nullptr;
    int version = -1;
    std::int32_t applicationId = 0;
    if (sqlite3_prepare_v2(db_, "PRAGMA journal_mode = WAL", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW &&
        std::strcmp(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)), "wal") == 0) {
      sqlite3_finalize(s);
      s = nullptr;
      if (sqlite3_prepare_v2(db_, "PRAGMA user_version", -1, &s, nullptr) == SQLITE_OK &&
          sqlite3_step(s) == SQLITE_ROW)
        version = sqlite3_column_int(s, 0);
      sqlite3_finalize(s);
      s = nullptr;
      if (sqlite3_prepare_v2(db_, "PRAGMA application_id", -1, &s, nullptr) == SQLITE_OK &&
          sqlite3_step(s) == SQLITE_ROW)
        applicationId = sqlite3_column_int(s, 0);
    }
    sqlite3_finalize(s);
    if (version < 0) r = Fail("be opened");
    if (r.ok()) r = Exec("PRAGMA synchronous = FULL; PRAGMA journal_size_limit = 4194304");
    if (r.ok()) r = CheckSchema(version, applicationId);
  }
  if (r.ok()) r = Prepare();
  if (r.ok()) {
    watch_ = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
    if (watch_ < 0)
      r = Trouble("the write journal " + file_.string() + " cannot be opened: " + ErrnoText(errno),
                  errno);
  }
  if (!r.ok()) {
    Close();
    return r;
  }
  // A new file (and a new folder) survives a stop of the machine only once its folder does.
  if (!existed) SyncFolder(folder);
  if (!folderExisted) SyncFolder(folder.parent_path());
  return r;
}

Status Journal::Prepare() {
  statements_ = std::make_unique<Statements>();
  Statements& s = *statements_;
  const std::string rec = std::string("SELECT ") + kRecordColumns + " FROM writes ";
  const std::string sum = std::string("SELECT ") + kSummaryColumns + " FROM writes ";
  const bool prepared =
      s.insert.Prepare(db_,
                       "INSERT INTO writes(time_ms, device, path, target, medium_block, "
                       "medium_dev, medium_ino, medium_size, medium_serial, medium_wwn, sector, "
                       "before, after, changed, state, undoes, generation, owner_pid, "
                       "owner_boot, owner_start) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, "
                       "?11, ?12, ?13, ?14, 'pending', nullif(?15, 0), coalesce((SELECT "
                       "generation + 1 FROM writes WHERE id = ?15), 0), ?16, ?17, ?18)") &&
      s.insertGroup.Prepare(db_, "INSERT INTO write_groups(title, first, last) VALUES(?, ?, ?)") &&
      s.groupOf.Prepare(db_,
                        "SELECT id, title, first, last FROM write_groups WHERE last >= ?1 ORDER "
                        "BY last LIMIT 1") &&
      s.members.Prepare(db_, rec + "WHERE id BETWEEN ? AND ? ORDER BY id") &&
      s.finish.Prepare(db_, "UPDATE writes SET state = ?, cause = ? WHERE id = ?") &&
      s.markUndone.Prepare(db_,
                           "UPDATE writes SET undone = 1 WHERE id = (SELECT undoes FROM writes "
                           "WHERE id = ?1 AND state = 'written')") &&
      s.syncNormal.Prepare(db_, "PRAGMA synchronous = NORMAL") &&
      s.syncFull.Prepare(db_, "PRAGMA synchronous = FULL") &&
      s.countAll.Prepare(db_, "SELECT count(*) FROM writes") &&
      s.countDevice.Prepare(db_, "SELECT count(*) FROM writes WHERE device = ?") &&
      s.pageAll.Prepare(db_, sum + "WHERE id < ? ORDER BY id DESC LIMIT ?") &&
      s.pageDevice.Prepare(db_, sum + "WHERE device = ? AND id < ? ORDER BY id DESC LIMIT ?") &&
      s.devices.Prepare(db_, "SELECT DISTINCT device FROM writes ORDER BY device") &&
      s.get.Prepare(db_, rec + "WHERE id = ?") &&
      s.undoable.Prepare(db_, rec + "WHERE device = ? AND id < ? AND " + kUndoableCondition +
                                  " ORDER BY id DESC LIMIT ?") &&
      s.unsettled.Prepare(db_, rec + "WHERE state IN ('pending', 'unknown') ORDER BY id");
  return prepared ? Status{} : Fail("be read");
}

Status Journal::CheckFile() {
  struct stat held {
  }, now{};
  std::string what;
  const bool heldKnown = ::fstat(watch_, &held) == 0;
  if (::stat(file_.c_str(), &now) != 0)
    what = "was deleted while the program ran (the records it held went with it)";
  else if (!heldKnown || now.st_dev != held.st_dev || now.st_ino != held.st_ino ||
           held.st_nlink == 0)
    what = "was replaced by another file while the program ran";
  else if (walIno_ != 0) {
    struct stat wal {};
    const fs::path walFile = file_.string() + "-wal";
    if (::stat(walFile.c_str(), &wal) != 0 || wal.st_dev != walDev_ || wal.st_ino != walIno_)
      what = "lost its write-ahead log " + walFile.string() + " while the program ran";
  }
  if (what.empty()) return {};
  Close();
  return Trouble("the write journal " + file_.string() + " " + what +
                 "; it is opened afresh at the next write");
}

Status Journal::Write(const std::string& what, const std::function<int()>& step) {
  if (Status r = CheckFile(); !r.ok()) return r;
  ClearVfsErrno();
  // The busy timeout waits for another window's short transaction; a write that still
  // meets a lock, or a snapshot another window made old (which the timeout does not wait
  // for), is tried again for a few seconds, never longer.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(4);
  int rc = SQLITE_OK;
  for (int attempt = 1;; ++attempt) {
    rc = step();
    if (!Busy(rc) || std::chrono::steady_clock::now() > deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10 * std::min(attempt, 10)));
  }
  if (rc != SQLITE_OK && rc != SQLITE_DONE) return Fail(what);
  struct stat wal {};
  if (::stat((file_.string() + "-wal").c_str(), &wal) == 0) {
    walDev_ = wal.st_dev, walIno_ = wal.st_ino;
    CheckpointWhenLarge();
  }
  return {};
}

void Journal::CheckpointWhenLarge() {
  struct stat wal {};
  constexpr off_t kLarge = 8 << 20;
  if (::stat((file_.string() + "-wal").c_str(), &wal) != 0 || wal.st_size < kLarge) return;
  // Copies the log into the database and cuts it back, when no reader of another window
  // still needs it; otherwise the next write tries again. It never waits for one.
  sqlite3_busy_timeout(db_, 0);
  sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
  sqlite3_busy_timeout(db_, kBusyMs);
}

int Journal::Insert(Record& record) {
  record.timeMs = NowMs();
  record.state = State::Pending;
  record.owner = Owner::Self();
  const device::MediumIdentity& m = record.medium;
  Query q = statements_->insert.Bind(
      record.timeMs, std::string_view(record.device), std::string_view(record.path),
      std::string_view(record.target), std::int64_t{m.block}, static_cast<std::int64_t>(m.dev),
      static_cast<std::int64_t>(m.ino), static_cast<std::int64_t>(m.size),
      std::string_view(m.serial), std::string_view(m.wwn), record.sector, record.before,
      record.after, std::int64_t{Changed(record.before, record.after)}, record.undoes,
      record.owner.pid, std::string_view(record.owner.boot), record.owner.start);
  const int rc = q.Step();
  record.id = sqlite3_last_insert_rowid(db_);
  return rc;
}

Status Journal::Begin(Record& record) {
  if (Status r = Open(true); !r.ok()) return r;
  Status r = Write("record the write", [&] { return Insert(record); });
  if (!r.ok()) return r;
  Record stored;
  if (Status got = Get(record.id, &stored); got.ok()) record.generation = stored.generation;
  return {};
}

Status Journal::BeginGroup(const std::string& title, std::vector<Record>& records, Group* out) {
  if (records.empty()) return Trouble("a group of writes needs at least one write");
  if (Status r = Open(true); !r.ok()) return r;
  Group g;
  Status r = Write("record the writes", [&] {
    int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    for (std::size_t i = 0; i < records.size() && rc == SQLITE_OK; ++i) {
      rc = Insert(records[i]);
      if (rc == SQLITE_DONE) rc = SQLITE_OK;
      // One transaction holds the journal's lock: the ids follow one another.
      if (rc == SQLITE_OK && i > 0 && records[i].id != records[i - 1].id + 1) rc = SQLITE_CORRUPT;
    }
    if (rc == SQLITE_OK) {
      g = {0, title, records.front().id, records.back().id};
      rc = Query(statements_->insertGroup.Bind(std::string_view(title), g.first, g.last)).Step();
      g.id = sqlite3_last_insert_rowid(db_);
    }
    if (rc == SQLITE_DONE) rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return rc;
  });
  if (!r.ok()) return r;
  for (Record& record : records) {
    Record stored;
    if (Status got = Get(record.id, &stored); got.ok()) record.generation = stored.generation;
  }
  if (out != nullptr) *out = g;
  return {};
}

Status Journal::GroupOf(std::int64_t id, std::optional<Group>* out) {
  out->reset();
  if (Status r = Open(false); !r.ok() || db_ == nullptr) return r;
  Query q = statements_->groupOf.Bind(id);
  const int rc = q.Step();
  if (rc == SQLITE_DONE) return {};
  if (rc != SQLITE_ROW) return Fail("be read");
  Row row(q.get());
  Group g;
  g.id = row.Int(0, "id");
  g.title = row.Text(1, "title");
  g.first = row.Int(2, "first", 1);
  g.last = row.Int(3, "last", g.first);
  if (!row.damage.empty())
    return Trouble("the write journal " + file_.string() + " holds a damaged group of writes (" +
                   row.damage + ")");
  if (g.first <= id) *out = std::move(g);
  return {};
}

Status Journal::Members(const Group& group, std::vector<Record>* out) {
  out->clear();
  if (Status r = Open(false); !r.ok() || db_ == nullptr) return r;
  Query q = statements_->members.Bind(group.first, group.last);
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) out->push_back(RecordOf(q.get()));
  if (rc != SQLITE_DONE) return Fail("be read");
  if (static_cast<std::int64_t>(out->size()) != group.last - group.first + 1)
    return Trouble("the write journal " + file_.string() + " lacks records of the group \"" +
                   group.title + "\"");
  return {};
}

Status Journal::Finish(std::int64_t id, State state, const std::string& cause) {
  if (db_ == nullptr) {
    if (Status r = Open(false); !r.ok() || db_ == nullptr)
      return Fail("record how the write ended");
  }
  // The end of a write is committed without waiting for the disk: it becomes durable with the
  // next record (the log is written in order), and should a stop lose it, the record is
  // found pending at start and settled from what the medium holds. Only the pending record
  // must be on the disk before the medium changes.
  Query(statements_->syncNormal.Bind()).Step();
  Status r = Write("record how the write ended", [&] {
    int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return rc;
    rc = Query(statements_->finish.Bind(std::string_view(StateName(state)), std::string_view(cause),
                                        id))
             .Step();
    if (rc == SQLITE_DONE) rc = Query(statements_->markUndone.Bind(id)).Step();
    if (rc == SQLITE_DONE) rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return rc;
  });
  if (db_ != nullptr) Query(statements_->syncFull.Bind()).Step();
  return r;
}

Status Journal::Count(std::string_view device, std::int64_t* count) {
  *count = 0;
  if (Status r = Open(false); !r.ok() || db_ == nullptr) return r;
  Query q = device.empty() ? statements_->countAll.Bind() : statements_->countDevice.Bind(device);
  if (q.Step() != SQLITE_ROW) return Fail("be read");
  *count = sqlite3_column_int64(q.get(), 0);
  return {};
}

Status Journal::Page(std::string_view device, std::int64_t beforeId, int limit,
                     std::vector<Summary>* out) {
  out->clear();
  if (Status r = Open(false); !r.ok() || db_ == nullptr) return r;
  const std::int64_t below = beforeId > 0 ? beforeId : INT64_MAX;
  Query q = device.empty() ? statements_->pageAll.Bind(below, std::int64_t{limit})
                           : statements_->pageDevice.Bind(device, below, std::int64_t{limit});
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) out->push_back(SummaryOf(q.get()));
  return rc == SQLITE_DONE ? Status{} : Fail("be read");
}

Status Journal::Devices(std::vector<std::string>* out) {
  out->clear();
  if (Status r = Open(false); !r.ok() || db_ == nullptr) return r;
  Query q = statements_->devices.Bind();
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) {
    Row row(q.get());
    std::string device = row.Device(0);
    if (row.damage.empty()) out->push_back(std::move(device));
  }
  return rc == SQLITE_DONE ? Status{} : Fail("be read");
}

Status Journal::Get(std::int64_t id, Record* out) {
  if (Status r = Open(false); !r.ok()) return r;
  if (db_ == nullptr) return Trouble("the write journal " + file_.string() + " does not exist");
  Query q = statements_->get.Bind(id);
  const int rc = q.Step();
  if (rc == SQLITE_ROW) *out = RecordOf(q.get());
  if (rc == SQLITE_DONE) return Trouble("the write journal holds no record " + std::to_string(id));
  return rc == SQLITE_ROW ? Status{} : Fail("be read");
}

Status Journal::UndoCandidates(std::string_view device, std::int64_t beforeId, int limit,
                               std::vector<Record>* out) {
  out->clear();
  if (Status r = Open(false); !r.ok() || db_ == nullptr) return r;
  const std::int64_t below = beforeId > 0 ? beforeId : INT64_MAX;
  Query q = statements_->undoable.Bind(device, below, std::int64_t{limit});
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) out->push_back(RecordOf(q.get()));
  return rc == SQLITE_DONE ? Status{} : Fail("be read");
}

Status Journal::Unsettled(std::vector<Record>* out) {
  out->clear();
  if (Status r = Open(false); !r.ok() || db_ == nullptr) return r;
  Query q = statements_->unsettled.Bind();
  int rc;
  while ((rc = q.Step()) == SQLITE_ROW) out->push_back(RecordOf(q.get()));
  return rc == SQLITE_DONE ? Status{} : Fail("be read");
}

Status JournalLog::Begin(const device::PendingWrite& write) {
  Record record;
  record.device = device_;
  record.path = write.file.string();
  record.target = write.target;
  record.medium = write.medium;
  record.sector = write.sector;
  record.before = write.before;
  record.after = write.after;
  record.undoes = undoes_;
  Status r = journal_.Begin(record);
  id_ = record.id;
  return r;
}

bool JournalLog::End(const device::WriteResult& result) {
  return journal_.Finish(id_, StateOf(result), CauseText(result)).ok();
}

Status JournalGroupLog::Begin(const std::vector<device::PendingWrite>& writes) {
  records_.assign(writes.size(), Record{});
  for (std::size_t i = 0; i < writes.size(); ++i) {
    Record& record = records_[i];
    record.device = device_;
    record.path = writes[i].file.string();
    record.target = writes[i].target;
    record.medium = writes[i].medium;
    record.sector = writes[i].sector;
    record.before = writes[i].before;
    record.after = writes[i].after;
    record.undoes = i < undoes_.size() ? undoes_[i] : 0;
  }
  return journal_.BeginGroup(title_, records_, &group_);
}

bool JournalGroupLog::End(std::size_t index, const device::WriteResult& result) {
  return journal_.Finish(records_[index].id, StateOf(result), CauseText(result)).ok();
}

bool JournalGroupLog::Skip(std::size_t index, std::int64_t stopSector,
                           const device::WriteResult& stop) {
  return journal_
      .Finish(records_[index].id, State::NotWritten,
              "not tried: the group stopped at sector " + std::to_string(stopSector) + " (" +
                  CauseText(stop) + ")")
      .ok();
}

State StateOf(const device::WriteResult& result) {
  switch (result.outcome) {
    case device::Outcome::Written:
      return State::Written;
    case device::Outcome::Failed:
      return State::Failed;
    case device::Outcome::Unknown:
      return State::Unknown;
    case device::Outcome::NotWritten:
      break;
  }
  return State::NotWritten;
}

std::string CauseText(const device::WriteResult& result) {
  if (result.ok()) return device::ReadBackName(result.readBack);
  if (result.cause == Cause::Changed && result.lateChange)
    return "changed: just before the write the sector held other bytes than were shown (" +
           std::to_string(result.differing) + " of 512 differ)";
  if (result.cause != Cause::Mismatch) {
    std::string cause = result.Describe();
    if (result.error != 0 && result.cause != Cause::SystemError)
      cause +=
          " (" +
          std::string(::strerrorname_np(result.error) ? ::strerrorname_np(result.error) : "?") +
          ")";
    return result.outcome == device::Outcome::Unknown ? "could not be checked: " + cause : cause;
  }
  return std::string(device::ReadBackName(result.readBack)) + ", " +
         std::to_string(result.differing) + " of 512 bytes differ (the first at offset " +
         std::to_string(result.firstDiffering) + ")";
}

Settled SettleBySector(const Record& r, const device::Sector& now) {
  const std::string when = "checked " + TimeText(NowMs()) + ": ";
  if (now == r.after) return {State::Written, when + "the medium held the written bytes"};
  if (now == r.before) return {State::NotWritten, when + "the medium held the bytes from before"};
  return {State::Unknown, when + "the sector held other bytes than before or after the write"};
}

Status FindUndoable(Journal& journal, std::string_view device,
                    const std::function<bool(const Record&)>& onMedium,
                    const std::function<bool()>& cancelled, std::optional<Record>* out,
                    std::int64_t* checked) {
  out->reset();
  std::int64_t below = 0, looked = 0;
  std::vector<Record> page;
  for (int size = 8;; size = std::min(size * 4, 1024)) {
    if (Status r = journal.UndoCandidates(device, below, size, &page); !r.ok()) return r;
    for (const Record& rec : page) {
      ++looked;
      if (!rec.damaged() && onMedium(rec)) {
        *out = rec;
        break;
      }
      if (cancelled && cancelled()) break;
    }
    if (checked != nullptr) *checked = looked;
    if (*out || page.size() < static_cast<std::size_t>(size) || (cancelled && cancelled()))
      return {};
    below = page.back().id;
  }
}

}  // namespace dulvex::journal
