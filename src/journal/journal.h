// The write journal: one SQLite database (WAL, synchronous=FULL) with a record of every sector
// write the program makes, committed before the write reaches the medium ("pending") and
// brought up to date after the check at the medium ("written", or "failed" with the cause).
// It holds the 512 bytes before and after each write, so a write can be undone.
//
// Test only: when the environment variable DULVEX_TEST_EXIT_AFTER_JOURNAL is set, the process
// ends (exit status 75) right after a pending record is committed, as a crash between the
// journal and the medium would. Nothing in the program sets it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/write_path.h"

struct sqlite3;

namespace dulvex::journal {

inline constexpr int kSchemaVersion = 1;

enum class State { Pending, Written, Failed };
const char* StateName(State state);  // "pending", "written", "failed"

// One write as the journal holds it.
struct Record {
  std::int64_t id = 0;
  std::int64_t timeMs = 0;  // when the record was made, milliseconds since 1970 (UTC)
  std::string device;       // the drive letter, "A:"
  std::string path;         // the file behind the letter
  device::MediumIdentity medium;
  std::int64_t sector = 0;
  device::Sector before{}, after{};
  State state = State::Pending;
  std::string cause;        // failed: why; written: how the sector was read back
  std::int64_t undoes = 0;  // the record this write reverts, 0 when none
};

// A line of the history: a record without its bytes.
struct Summary {
  std::int64_t id = 0, timeMs = 0;
  std::string device, path;
  std::int64_t sector = 0;
  int changed = 0;  // bytes the write changes
  State state = State::Pending;
  std::string cause;
  std::int64_t undoes = 0;
};

// What went wrong, naming the journal file and the cause; empty when all went well.
struct Result {
  std::string problem;
  bool ok() const { return problem.empty(); }
};

// Where the journal lives: $XDG_STATE_HOME/dulvex/journal.sqlite, or
// ~/.local/state/dulvex/journal.sqlite when that is unset (or not an absolute path).
std::filesystem::path DefaultJournalFile();

// "2024-05-01 13:45:06", local time.
std::string TimeText(std::int64_t timeMs);

class Journal {
 public:
  explicit Journal(std::filesystem::path file);
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  const std::filesystem::path& file() const { return file_; }
  // Opens the database. With `create` a missing file is made, with its folder; without, a
  // missing file leaves the journal closed and empty (not a failure).
  Result Open(bool create);
  bool isOpen() const { return db_ != nullptr; }

  // Adds `record` as pending and makes it durable; sets its id and time.
  Result Begin(Record& record);
  // Sets the state and cause of record `id`.
  Result Finish(std::int64_t id, State state, const std::string& cause);

  // Records of `device` ("" for all): how many, and a page of them newest first, older than
  // record `beforeId` (0: from the newest).
  Result Count(std::string_view device, std::int64_t* count);
  Result Page(std::string_view device, std::int64_t beforeId, int limit, std::vector<Summary>* out);
  // The drive letters that have records, in order.
  Result Devices(std::vector<std::string>* out);
  Result Get(std::int64_t id, Record* out);
  // The newest write of `device` that an undo would revert: written, not itself an undo,
  // and not undone yet.
  Result LastUndoable(std::string_view device, std::optional<Record>* out);
  Result Pending(std::vector<Record>* out);

 private:
  Result Fail(const std::string& what);
  Result Exec(const char* sql);
  std::filesystem::path file_;
  sqlite3* db_ = nullptr;
  struct Statements;
  std::unique_ptr<Statements> statements_;
};

// The journal as the write path's log: records the writes of one drive letter, each as an
// undo of record `undoes` when that is not 0.
class JournalLog : public device::WriteLog {
 public:
  JournalLog(Journal& journal, std::string device, std::int64_t undoes = 0)
      : journal_(journal), device_(std::move(device)), undoes_(undoes) {}
  std::string Begin(const device::PendingWrite& write) override;
  bool End(const device::WriteResult& result) override;
  std::int64_t recordId() const { return id_; }

 private:
  Journal& journal_;
  std::string device_;
  std::int64_t undoes_;
  std::int64_t id_ = 0;
};

// What a write's end says in the journal: its cause when it failed, how it was read back
// when it was written.
std::string CauseText(const device::WriteResult& result);

}  // namespace dulvex::journal
