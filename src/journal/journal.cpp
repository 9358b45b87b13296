#include "journal/journal.h"

#include <pwd.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace dulvex::journal {

namespace {

namespace fs = std::filesystem;

constexpr const char* kSchema = R"sql(
CREATE TABLE writes(
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
  undoes INTEGER REFERENCES writes(id));
CREATE INDEX writes_by_device ON writes(device, id);
CREATE INDEX writes_pending ON writes(state) WHERE state = 'pending';
CREATE INDEX writes_undoes ON writes(undoes) WHERE undoes IS NOT NULL;
PRAGMA user_version = 1;
)sql";

constexpr const char* kRecordColumns =
    "id, time_ms, device, path, medium_block, medium_dev, medium_ino, medium_size, "
    "medium_serial, medium_wwn, sector, before, after, state, cause, undoes";
constexpr const char* kSummaryColumns =
    "id, time_ms, device, path, sector, changed, state, cause, undoes";

// A prepared statement, reset after each use.
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
  // Binds the arguments in order (whole numbers, texts, sectors) and starts over.
  template <typename... Args>
  sqlite3_stmt* Bind(const Args&... args) {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    int i = 0;
    (BindOne(++i, args), ...);
    return stmt_;
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

std::string Text(sqlite3_stmt* s, int column) {
  const unsigned char* t = sqlite3_column_text(s, column);
  return t == nullptr ? std::string() : reinterpret_cast<const char*>(t);
}

std::int64_t Int(sqlite3_stmt* s, int column) {
  return sqlite3_column_int64(s, column);
}

State StateOf(const std::string& name) {
  return name == "written" ? State::Written : name == "failed" ? State::Failed : State::Pending;
}

void SectorOf(sqlite3_stmt* s, int column, device::Sector& out) {
  out.fill(0);
  const void* blob = sqlite3_column_blob(s, column);
  const auto n = static_cast<std::size_t>(sqlite3_column_bytes(s, column));
  if (blob != nullptr) std::memcpy(out.data(), blob, std::min(n, out.size()));
}

Record RecordOf(sqlite3_stmt* s) {
  Record r;
  r.id = Int(s, 0);
  r.timeMs = Int(s, 1);
  r.device = Text(s, 2);
  r.path = Text(s, 3);
  r.medium.block = Int(s, 4) != 0;
  r.medium.dev = static_cast<std::uint64_t>(Int(s, 5));
  r.medium.ino = static_cast<std::uint64_t>(Int(s, 6));
  r.medium.size = static_cast<std::uint64_t>(Int(s, 7));
  r.medium.serial = Text(s, 8);
  r.medium.wwn = Text(s, 9);
  r.sector = Int(s, 10);
  SectorOf(s, 11, r.before);
  SectorOf(s, 12, r.after);
  r.state = StateOf(Text(s, 13));
  r.cause = Text(s, 14);
  r.undoes = Int(s, 15);
  return r;
}

Summary SummaryOf(sqlite3_stmt* s) {
  Summary r;
  r.id = Int(s, 0);
  r.timeMs = Int(s, 1);
  r.device = Text(s, 2);
  r.path = Text(s, 3);
  r.sector = Int(s, 4);
  r.changed = static_cast<int>(Int(s, 5));
  r.state = StateOf(Text(s, 6));
  r.cause = Text(s, 7);
  r.undoes = Int(s, 8);
  return r;
}

int Changed(const device::Sector& a, const device::Sector& b) {
  int n = 0;
  for (std::size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
  return n;
}

// The cause of the last failure of `db` in a user's words.
std::string CauseOf(sqlite3* db) {
  const int code = sqlite3_extended_errcode(db);
  const int system = sqlite3_system_errno(db);
  switch (code & 0xFF) {
    case SQLITE_FULL:
      return "no space left on the device";
    case SQLITE_READONLY:
      return "its file or folder is read-only";
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
      return "the file is damaged or is not a write journal";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "another program holds it locked";
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return "permission denied";
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
      if (system != 0) return device::IoResult{device::StatusOfErrno(system), system}.Describe();
      return (code & 0xFF) == SQLITE_IOERR ? "input/output error" : "it cannot be opened";
    default:
      return sqlite3_errmsg(db);
  }
}

}  // namespace

struct Journal::Statements {
  Statement insert, finish, syncNormal, syncFull, countAll, countDevice, pageAll, pageDevice,
      devices, get, undoable, pending;
};

const char* StateName(State state) {
  switch (state) {
    case State::Written:
      return "written";
    case State::Failed:
      return "failed";
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
  statements_.reset();
  sqlite3_close(db_);
}

Result Journal::Fail(const std::string& what) {
  return {"the write journal " + file_.string() + " cannot " + what + ": " +
          (db_ != nullptr ? CauseOf(db_) : std::string("it is not open"))};
}

Result Journal::Exec(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK) return {};
  return Fail("be used");
}

Result Journal::Open(bool create) {
  if (db_ != nullptr) return {};
  std::error_code ec;
  if (!create && !fs::exists(file_, ec)) return {};
  if (file_.empty()) return {"no place is set for the write journal"};
  if (create && !fs::create_directories(file_.parent_path(), ec) && ec) {
    return {"the write journal " + file_.string() + " cannot be made: its folder " +
            file_.parent_path().string() + " cannot be created: " +
            device::IoResult{device::StatusOfErrno(ec.value()), ec.value()}.Describe()};
  }
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) |
                    SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
  Result r;
  if (sqlite3_open_v2(file_.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    r = Fail("be opened");
  } else {
    sqlite3_busy_timeout(db_, 3000);
    sqlite3_stmt* s = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(db_, "PRAGMA journal_mode = WAL", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW && Text(s, 0) == "wal") {
      sqlite3_finalize(s);
      s = nullptr;
      if (sqlite3_prepare_v2(db_, "PRAGMA user_version", -1, &s, nullptr) == SQLITE_OK &&
          sqlite3_step(s) == SQLITE_ROW)
        version = static_cast<int>(Int(s, 0));
    }
    if (version < 0) r = Fail("be opened");
    sqlite3_finalize(s);
    if (r.ok()) r = Exec("PRAGMA synchronous = FULL");
    if (r.ok() && version == 0) {
      r = Exec("BEGIN IMMEDIATE");
      if (r.ok()) r = Exec(kSchema);
      r = r.ok() ? Exec("COMMIT") : (Exec("ROLLBACK"), r);
    } else if (r.ok() && version > kSchemaVersion) {
      r = {"the write journal " + file_.string() + " was made by a newer version of the program"};
    }
  }
  if (r.ok()) {
    statements_ = std::make_unique<Statements>();
    Statements& s = *statements_;
    const std::string rec = std::string("SELECT ") + kRecordColumns + " FROM writes ";
    const std::string sum = std::string("SELECT ") + kSummaryColumns + " FROM writes ";
    const bool prepared =
        s.insert.Prepare(db_,
                         "INSERT INTO writes(time_ms, device, path, medium_block, medium_dev, "
                         "medium_ino, medium_size, medium_serial, medium_wwn, sector, before, "
                         "after, changed, state, undoes) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                         "?, ?, 'pending', nullif(?, 0))") &&
        s.finish.Prepare(db_, "UPDATE writes SET state = ?, cause = ? WHERE id = ?") &&
        s.syncNormal.Prepare(db_, "PRAGMA synchronous = NORMAL") &&
        s.syncFull.Prepare(db_, "PRAGMA synchronous = FULL") &&
        s.countAll.Prepare(db_, "SELECT count(*) FROM writes") &&
        s.countDevice.Prepare(db_, "SELECT count(*) FROM writes WHERE device = ?") &&
        s.pageAll.Prepare(db_, sum + "WHERE id < ? ORDER BY id DESC LIMIT ?") &&
        s.pageDevice.Prepare(db_, sum + "WHERE device = ? AND id < ? ORDER BY id DESC LIMIT ?") &&
        s.devices.Prepare(db_, "SELECT DISTINCT device FROM writes ORDER BY device") &&
        s.get.Prepare(db_, rec + "WHERE id = ?") &&
        s.undoable.Prepare(db_, rec +
                                    "AS w WHERE device = ? AND state = 'written' AND undoes IS "
                                    "NULL AND NOT EXISTS (SELECT 1 FROM writes AS u WHERE "
                                    "u.undoes = w.id AND u.state = 'written') ORDER BY id "
                                    "DESC LIMIT 1") &&
        s.pending.Prepare(db_, rec + "WHERE state = 'pending' ORDER BY id");
    if (!prepared) r = Fail("be read");
  }
  if (!r.ok()) {
    statements_.reset();
    sqlite3_close(db_);
    db_ = nullptr;
  }
  return r;
}

Result Journal::Begin(Record& record) {
  if (Result r = Open(true); !r.ok()) return r;
  record.timeMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
  record.state = State::Pending;
  const device::MediumIdentity& m = record.medium;
  sqlite3_stmt* s = statements_->insert.Bind(
      record.timeMs, std::string_view(record.device), std::string_view(record.path),
      std::int64_t{m.block}, static_cast<std::int64_t>(m.dev), static_cast<std::int64_t>(m.ino),
      static_cast<std::int64_t>(m.size), std::string_view(m.serial), std::string_view(m.wwn),
      record.sector, record.before, record.after,
      std::int64_t{Changed(record.before, record.after)}, record.undoes);
  if (sqlite3_step(s) != SQLITE_DONE) return Fail("record the write");
  record.id = sqlite3_last_insert_rowid(db_);
  if (std::getenv("DULVEX_TEST_EXIT_AFTER_JOURNAL") != nullptr) ::_exit(75);
  return {};
}

Result Journal::Finish(std::int64_t id, State state, const std::string& cause) {
  if (db_ == nullptr) return Fail("record how the write ended");
  // The end of a write is committed without waiting for the disk: it becomes durable with the
  // next record (the log is written in order), and should a stop lose it, the record is
  // found pending at start and settled from what the medium holds. Only the pending record
  // must be on the disk before the medium changes.
  sqlite3_step(statements_->syncNormal.Bind());
  sqlite3_stmt* s =
      statements_->finish.Bind(std::string_view(StateName(state)), std::string_view(cause), id);
  const bool done = sqlite3_step(s) == SQLITE_DONE;
  sqlite3_step(statements_->syncFull.Bind());
  return done ? Result{} : Fail("record how the write ended");
}

Result Journal::Count(std::string_view device, std::int64_t* count) {
  *count = 0;
  if (Result r = Open(false); !r.ok() || db_ == nullptr) return r;
  sqlite3_stmt* s =
      device.empty() ? statements_->countAll.Bind() : statements_->countDevice.Bind(device);
  if (sqlite3_step(s) != SQLITE_ROW) return Fail("be read");
  *count = Int(s, 0);
  return {};
}

Result Journal::Page(std::string_view device, std::int64_t beforeId, int limit,
                     std::vector<Summary>* out) {
  out->clear();
  if (Result r = Open(false); !r.ok() || db_ == nullptr) return r;
  const std::int64_t below = beforeId > 0 ? beforeId : INT64_MAX;
  sqlite3_stmt* s = device.empty()
                        ? statements_->pageAll.Bind(below, std::int64_t{limit})
                        : statements_->pageDevice.Bind(device, below, std::int64_t{limit});
  int rc;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) out->push_back(SummaryOf(s));
  return rc == SQLITE_DONE ? Result{} : Fail("be read");
}

Result Journal::Devices(std::vector<std::string>* out) {
  out->clear();
  if (Result r = Open(false); !r.ok() || db_ == nullptr) return r;
  sqlite3_stmt* s = statements_->devices.Bind();
  int rc;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) out->push_back(Text(s, 0));
  return rc == SQLITE_DONE ? Result{} : Fail("be read");
}

Result Journal::Get(std::int64_t id, Record* out) {
  if (Result r = Open(false); !r.ok()) return r;
  if (db_ == nullptr) return {"the write journal " + file_.string() + " does not exist"};
  sqlite3_stmt* s = statements_->get.Bind(id);
  const int rc = sqlite3_step(s);
  if (rc == SQLITE_ROW) *out = RecordOf(s);
  if (rc == SQLITE_DONE) return {"the write journal holds no record " + std::to_string(id)};
  return rc == SQLITE_ROW ? Result{} : Fail("be read");
}

Result Journal::LastUndoable(std::string_view device, std::optional<Record>* out) {
  out->reset();
  if (Result r = Open(false); !r.ok() || db_ == nullptr) return r;
  sqlite3_stmt* s = statements_->undoable.Bind(device);
  const int rc = sqlite3_step(s);
  if (rc == SQLITE_ROW) *out = RecordOf(s);
  return rc == SQLITE_ROW || rc == SQLITE_DONE ? Result{} : Fail("be read");
}

Result Journal::Pending(std::vector<Record>* out) {
  out->clear();
  if (Result r = Open(false); !r.ok() || db_ == nullptr) return r;
  sqlite3_stmt* s = statements_->pending.Bind();
  int rc;
  while ((rc = sqlite3_step(s)) == SQLITE_ROW) out->push_back(RecordOf(s));
  return rc == SQLITE_DONE ? Result{} : Fail("be read");
}

std::string JournalLog::Begin(const device::PendingWrite& write) {
  Record record;
  record.device = device_;
  record.path = write.file.string();
  record.medium = write.medium;
  record.sector = write.sector;
  record.before = write.before;
  record.after = write.after;
  record.undoes = undoes_;
  Result r = journal_.Begin(record);
  id_ = record.id;
  return r.problem;
}

bool JournalLog::End(const device::WriteResult& result) {
  return journal_.Finish(id_, result.ok() ? State::Written : State::Failed, CauseText(result)).ok();
}

std::string CauseText(const device::WriteResult& result) {
  if (result.ok()) return device::ReadBackName(result.readBack);
  if (result.status != device::IoStatus::Mismatch) return result.Describe();
  return std::string(device::ReadBackName(result.readBack)) + ", " +
         std::to_string(result.differing) + " of 512 bytes differ (the first at offset " +
         std::to_string(result.firstDiffering) + ")";
}

}  // namespace dulvex::journal
