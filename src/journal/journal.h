// The write journal: one SQLite database (WAL, synchronous=FULL) with a record of every sector
// write the program makes, committed before the write reaches the medium ("pending") and
// brought up to date after the check at the medium: "written", "not written", "failed" (the
// medium kept other bytes) or "unknown" (it could not be told; settled once the medium is
// read again). It holds the 512 bytes before and after each write, so a write can be undone,
// and who made each record, so no window settles another's write in progress.
//
// The journal is the program's own: its application id, its schema and the type and length
// of every value are checked, and a record that fails the check is damaged: shown as such,
// never used to write. Every statement is reset once read, so two windows (two processes)
// use one journal side by side, each seeing the other's records.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/write_path.h"
#include "journal/owner.h"

struct sqlite3;

namespace dulvex::journal {

inline constexpr int kSchemaVersion = 3;
inline constexpr std::int32_t kApplicationId = 0x44784A6C;  // "DxJl"

enum class State { Pending, Written, NotWritten, Failed, Unknown };
// "pending", "written", "not written", "failed", "unknown"
const char* StateName(State state);

// One write as the journal holds it.
struct Record {
  std::int64_t id = 0;
  std::int64_t timeMs = 0;  // when the record was made, milliseconds since 1970 (UTC)
  std::string device;       // the drive letter, "A:"
  std::string path;         // the letter's entry in the drives folder
  std::string target;       // what it led to: "/home/u/card.img", "/dev/sdb1 (model, serial)"
  device::MediumIdentity medium;
  std::int64_t sector = 0;
  device::Sector before{}, after{};
  State state = State::Pending;
  std::string cause;            // why it ended so; for a written one how it was read back
  std::int64_t undoes = 0;      // the record this write reverts, 0 when none
  std::int64_t generation = 0;  // 0 a write, 1 its undo, 2 a revert of that undo, ...
  bool undone = false;          // a written record reverts it
  Owner owner;
  std::string damage;  // why the record cannot be trusted; empty when it is sound

  bool damaged() const { return !damage.empty(); }
  // An undo (or an undo of a redo): Undo Last Write never takes one back; a redo it does.
  bool isUndo() const { return generation % 2 == 1; }
};

// A line of the history: a record without its bytes.
struct Summary {
  std::int64_t id = 0, timeMs = 0;
  std::string device, target;
  std::int64_t sector = 0;
  int changed = 0;  // bytes the write changes
  State state = State::Pending;
  std::string cause;
  std::int64_t undoes = 0;
  Owner owner;
  std::string damage;
  std::string group;  // the title of the group the write was made in; empty for none
};

// Writes made as one step (the sectors of a repair): their records were made together, in one
// transaction, before the first of them reached the medium; their ids run from `first` to
// `last`.
struct Group {
  std::int64_t id = 0;
  std::string title;  // what the step was: "Repair All"
  std::int64_t first = 0, last = 0;
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
  Status Open(bool create);
  bool isOpen() const { return db_ != nullptr; }

  // Adds `record` as pending, owned by this process, and makes it durable; sets its id,
  // time, owner and generation.
  Status Begin(Record& record);
  // Adds the records as pending, all in one durable transaction with their group; sets each
  // record's id, time, owner and generation, and *out.
  Status BeginGroup(const std::string& title, std::vector<Record>& records, Group* out);
  // The group record `id` belongs to; none for a write made alone.
  Status GroupOf(std::int64_t id, std::optional<Group>* out);
  // The records of `group`, in the order they were made.
  Status Members(const Group& group, std::vector<Record>* out);
  // Sets the state and cause of record `id`; a written undo marks the record it undoes.
  Status Finish(std::int64_t id, State state, const std::string& cause);

  // Records of `device` ("" for all): how many, and a page of them newest first, older than
  // record `beforeId` (0: from the newest).
  Status Count(std::string_view device, std::int64_t* count);
  Status Page(std::string_view device, std::int64_t beforeId, int limit, std::vector<Summary>* out);
  // The drive letters that have records, in order.
  Status Devices(std::vector<std::string>* out);
  Status Get(std::int64_t id, Record* out);
  // What Undo Last Write may choose on `device`, newest first, older than `beforeId` (0:
  // from the newest): written or unknown, not undone, not an undo. Read through an index.
  Status UndoCandidates(std::string_view device, std::int64_t beforeId, int limit,
                        std::vector<Record>* out);
  // Records whose end is open (pending or unknown), oldest first.
  Status Unsettled(std::vector<Record>* out);

 private:
  Status Fail(const std::string& what);
  Status Exec(const char* sql);
  Status Prepare();
  Status CheckSchema(int version, std::int32_t applicationId);
  int Insert(Record& record);  // one pending record, inside a write
  // Before each write: the file open is still the one at the path. Closes and refuses when
  // not; the next write opens what is there then.
  Status CheckFile();
  void Close();
  // Runs a write `step` (a whole transaction), again while another connection holds the
  // lock, until `tries` run out.
  Status Write(const std::string& what, const std::function<int()>& step);
  void CheckpointWhenLarge();
  std::filesystem::path file_;
  sqlite3* db_ = nullptr;
  int watch_ = -1;  // the database file as this process opened it, to see it deleted
  std::uint64_t walDev_ = 0, walIno_ = 0;
  struct Statements;
  std::unique_ptr<Statements> statements_;
};

// The journal as the write path's log: records the writes of one drive letter, each as an
// undo of record `undoes` when that is not 0.
class JournalLog : public device::WriteLog {
 public:
  JournalLog(Journal& journal, std::string device, std::int64_t undoes = 0)
      : journal_(journal), device_(std::move(device)), undoes_(undoes) {}
  Status Begin(const device::PendingWrite& write) override;
  bool End(const device::WriteResult& result) override;
  std::int64_t recordId() const { return id_; }

 private:
  Journal& journal_;
  std::string device_;
  std::int64_t undoes_;
  std::int64_t id_ = 0;
};

// The journal as the log of a group's write path: records the writes of one drive letter as
// one group titled `title`; write i as an undo of `undoes[i]` when that is given and not 0.
class JournalGroupLog : public device::GroupWriteLog {
 public:
  JournalGroupLog(Journal& journal, std::string device, std::string title,
                  std::vector<std::int64_t> undoes = {})
      : journal_(journal),
        device_(std::move(device)),
        title_(std::move(title)),
        undoes_(std::move(undoes)) {}
  Status Begin(const std::vector<device::PendingWrite>& writes) override;
  bool End(std::size_t index, const device::WriteResult& result) override;
  bool Skip(std::size_t index, std::int64_t stopSector, const device::WriteResult& stop) override;
  const Group& group() const { return group_; }

 private:
  Journal& journal_;
  std::string device_, title_;
  std::vector<std::int64_t> undoes_;
  std::vector<Record> records_;
  Group group_;
};

// The state a write's end gives its record, and the cause the record keeps: why it failed,
// or how it was read back when it was written.
State StateOf(const device::WriteResult& result);
std::string CauseText(const device::WriteResult& result);

// What the medium's sector `now` says of a record whose end is open: written (it holds the
// bytes written), not written (it holds the bytes from before), or still unknown. The cause
// tells how it was found.
struct Settled {
  State state;
  std::string cause;
};
Settled SettleBySector(const Record& record, const device::Sector& now);

// Undo Last Write's choice: the newest candidate of `device` for which `onMedium` (the
// medium behind the letter holds the record's bytes) is true. Stops early when `cancelled`
// says so. `checked` counts the candidates looked at.
Status FindUndoable(Journal& journal, std::string_view device,
                    const std::function<bool(const Record&)>& onMedium,
                    const std::function<bool()>& cancelled, std::optional<Record>* out,
                    std::int64_t* checked = nullptr);

}  // namespace dulvex::journal
