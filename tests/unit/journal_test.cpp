// The write journal end to end: no write without its record, a write the medium refuses, a
// stop between the journal and the medium announced at the next start, undo and revert, the
// history list and its export. (The board and the pastes that write: buffer_*.scn.)
#include "journal/journal.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <deque>
#include <fstream>
#include <functional>

#include "base/codepage.h"
#include "commands/write_commands.h"
#include "drives/drive_info.h"
#include "journal/history.h"
#include "sectorio/sector_io.h"
#include "support/device_test_support.h"
#include "wiring/form1.h"

namespace dulvex::testing {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
const Bytes kOriginal = {0x10, 0x11, 0x12, 0x13};

// A FAT12 floppy on A: whose sector 40 starts 10 11 12 13, shown in the grid.
struct Journalled : ::testing::Test {
  ModelFixture f;
  WindowModel& m = f.model;
  Journalled() {
    MakeFatImage(f.Drive('A'), 2880, "-F 12 -n FLOPPY");
    PokeBytes(f.Drive('A'), 40, 0, kOriginal);
    f.Choose('A');
    m.SetText(m.At("Text21"), "40");
    m.Key("Text21", 13);
  }
  // Pastes the byte `hex` at offset 1 of the shown sector, answering Yes.
  void Paste(const std::string& hex) {
    m.Click("Command8");
    f.prompter.inputAnswers.push_back(hex);
    m.Click("LabelB3", 1);
    f.prompter.messageAnswers.push_back(kAnswerYes);
    m.Click("Command5");
  }
  // The texts of the message boxes shown since the last call.
  std::vector<std::string> Boxes() {
    std::vector<std::string> texts;
    for (const ShownBox& b : f.prompter.shown)
      if (!b.input) texts.push_back(b.text);
    f.prompter.shown.clear();
    return texts;
  }
  Bytes Head() { return ReadBytes(f.Drive('A'), 40, 0, 4); }
  static Bytes Text(const std::string& s) { return {s.begin(), s.end()}; }
  journal::Record Get(std::int64_t id) {
    journal::Record r;
    EXPECT_TRUE(JournalOf(m).Get(id, &r).ok());
    return r;
  }
  // Runs `act` in a copy of this process, which ends (status 75) where the test's I/O says,
  // as a crash there would. The journal is closed first: a connection is not carried over.
  void Crash(const std::function<void()>& act) {
    m.state.journal.reset();
    EXPECT_EXIT(act(), ::testing::ExitedWithCode(75), "");
    m.state.journal.reset();
  }
  // The next start of the program: what it tells of writes a stop cut off (answering
  // `answers` to its questions).
  std::vector<std::string> NextStart(std::deque<int> answers = {}) {
    ScriptedPrompter prompter;
    prompter.messageAnswers = std::move(answers);
    InlineWorkRunner runner;
    WindowModel next(prompter, runner);
    next.state.drivesDir = m.state.drivesDir;
    next.state.journalFile = m.state.journalFile;
    BuildForm1(next);
    AnnouncePendingWrites(next);
    std::vector<std::string> texts;
    for (const ShownBox& b : prompter.shown) texts.push_back(b.text);
    return texts;
  }
  // The lines of a start's announcement, without its frame.
  static std::string Told(const std::vector<std::string>& boxes) {
    if (boxes.size() != 1) return "boxes: " + std::to_string(boxes.size());
    const std::string& t = boxes[0];
    const std::size_t first = t.find("\n- "), last = t.rfind("\nThe Write History");
    return first == std::string::npos ? t : t.substr(first + 3, last - first - 3);
  }
  // How a start names the write of record `id`.
  std::string Where(std::int64_t id) {
    return "A: sector 40 (" + journal::TimeText(Get(id).timeMs) + "): ";
  }
  std::string Undo(int answer = kAnswerYes) {
    f.prompter.messageAnswers.push_back(answer);
    m.Click("mnuUndoWrite");
    const std::vector<std::string> boxes = Boxes();
    return boxes.empty() ? "" : boxes.front();
  }
};

const std::string kSure40 = "OVERWRITING SECTOR 40 , ARE YOU SURE?";
const std::string kRefused40 = "Write refused on Device A:, sector 40: ";
const std::string kUnrecorded = ". Without its journal record nothing is written.";
// What a start tells of a write a stop cut off, by what the medium holds.
const std::string kDone = "the medium holds the written bytes: the write was done.";
const std::string kNone = "the medium holds the bytes from before: nothing was written.";

// The question before an undo or a revert ("UNDO", "REVERT") of a record of one sector.
std::string Asked(const std::string& what, int record, int sector = 40) {
  const std::string s = std::to_string(sector);
  return what + " OF RECORD " + std::to_string(record) + " (1 OF 512 BYTES ON A: SECTOR " + s +
         "): OVERWRITING SECTOR " + s + " , ARE YOU SURE?";
}

// A damaged journal, a read-only and a full journal location: the write is refused with the
// journal's file and the cause, and the medium keeps its bytes.
TEST_F(Journalled, NoWriteWithoutItsRecord) {
  const fs::path damaged = m.state.journalFile;
  fs::create_directories(damaged.parent_path());
  std::ofstream(damaged) << "not a database, but long enough to be read as one................"
                            "................................................................";
  const std::string refused = kRefused40 + "the write journal ";
  Paste("AB");
  EXPECT_EQ(Boxes(), (std::vector<std::string>{
                         kSure40, refused + damaged.string() +
                                      " cannot be opened: the file is damaged or is not a write "
                                      "journal" +
                                      kUnrecorded}));
  TestMount place(f.dir.path() / "place");
  if (!place.ok)
    GTEST_SKIP() << "needs " << place.missing << ": full and read-only journal untested";
  m.state.journalFile = place.path / "dulvex" / "journal.sqlite";
  ASSERT_TRUE(place.Remount("ro"));
  Paste("AB");
  EXPECT_EQ(Boxes().back(),
            refused + m.state.journalFile.string() + " cannot be made: its folder " +
                m.state.journalFile.parent_path().string() +
                " cannot be created: its file system is read-only (EROFS)" + kUnrecorded);
  ASSERT_TRUE(place.Remount("rw"));
  place.Fill();
  Paste("AB");
  EXPECT_EQ(Boxes().back(), refused + m.state.journalFile.string() +
                                " cannot be opened: no space left on the device (ENOSPC)" +
                                kUnrecorded);
  EXPECT_EQ(Head(), kOriginal);
}

// A paste the medium refuses (root is kept out by the immutable flag, anyone else by the
// file's mode): the refusal names its cause, nothing is written, the grid shows what the
// device holds and the board is kept for a retry.
TEST_F(Journalled, AWriteTheMediumRefusesLeavesTheBoardForARetry) {
  ReadOnlyFile guard(f.Drive('A'));
  if (!guard.ok()) GTEST_SKIP() << "needs " << ReadOnlyFile::kMissing;
  Paste("AB");
  EXPECT_EQ(Boxes(), (std::vector<std::string>{
                         kSure40, ::geteuid() == 0
                                      ? "Write refused on Device A:, sector 40: the system does "
                                        "not permit it (an immutable or append-only file?). "
                                        "Nothing was written."
                                      : drives::DeniedAdvice("A:", f.Drive('A'), true)}));
  EXPECT_EQ(Head(), kOriginal);
  EXPECT_EQ(m.Label3[1]->caption, "11");
  EXPECT_EQ(m.LabelB3[1]->caption, "AB");
}

// Stops at three points: after the journal record (nothing reached the medium), after the
// medium write was flushed, and in an undo on either side of its medium write. Each next
// start tells of the write once, with what the medium holds, and settles its record; a
// medium not there at that start leaves the write unknown, settled once it is read again.
TEST_F(Journalled, StopsBeforeAndAfterTheMediumWriteAndDuringAnUndo) {
  const auto exitHere = [] { ::_exit(75); };
  Crash([&] { f.io.beforeWrite = exitHere, Paste("AB"); });
  EXPECT_EQ(Told(NextStart()), Where(1) + kNone);
  EXPECT_TRUE(NextStart().empty());  // told once
  EXPECT_EQ(Get(1).state, journal::State::NotWritten);
  EXPECT_EQ(Head(), kOriginal);

  Crash([&] { f.io.afterFlush = exitHere, Paste("AB"); });
  EXPECT_EQ(Told(NextStart()), Where(2) + kDone);
  EXPECT_EQ(Get(2).state, journal::State::Written);

  // An undo stopped before its write, then one stopped after it, its medium away meanwhile.
  Crash([&] { f.io.beforeWrite = exitHere, Undo(); });
  EXPECT_EQ(Get(3).undoes, 2);
  NextStart();
  EXPECT_EQ(Get(3).state, journal::State::NotWritten);
  EXPECT_EQ(Head(), (Bytes{0x10, 0xAB, 0x12, 0x13}));
  Crash([&] { f.io.afterFlush = exitHere, Undo(); });
  fs::rename(f.Drive('A'), f.dir.path() / "away");
  const std::string told = Told(NextStart());
  EXPECT_EQ(told.rfind(Where(4) + "it cannot be told now (", 0), 0u) << told;
  EXPECT_EQ(Get(4).state, journal::State::Unknown);
  EXPECT_FALSE(Get(2).undone);
  fs::rename(f.dir.path() / "away", f.Drive('A'));
  f.Choose('A');  // read again: the undo was done
  EXPECT_EQ(Get(4).state, journal::State::Written);
  EXPECT_TRUE(Get(2).undone);
  EXPECT_EQ(Head(), kOriginal);
  EXPECT_EQ(Undo(),
            "Undo Last Write: the write journal holds no write on A: whose bytes the "
            "sector still holds, so nothing can be undone.");
}

// The journal cannot store how a write ended (its disk filled up meanwhile): the write stays
// open, and is settled by what the sector holds once the medium is read again.
TEST_F(Journalled, AnEndTheJournalCouldNotStoreIsSettledWhenTheMediumIsReadAgain) {
  TestMount place(f.dir.path() / "place");
  if (!place.ok) GTEST_SKIP() << "cannot mount a tmpfs here: an end the journal lost untested";
  m.state.journalFile = place.path / "journal.sqlite";
  f.io.afterFlush = [&] { place.Fill(); };
  Paste("AB");
  f.io.afterFlush = nullptr;
  EXPECT_EQ(Boxes().back(),
            "Sector 40 of A: was written and checked, but the write journal "
            "could not record that; the write is checked again when its medium "
            "is read next (at the latest at the next start).");
  EXPECT_EQ(Get(1).state, journal::State::Pending);
  fs::remove(place.path / "fill");
  f.Choose('A');
  EXPECT_EQ(Get(1).state, journal::State::Written);
  EXPECT_EQ(Head(), (Bytes{0x10, 0xAB, 0x12, 0x13}));
}

// A write whose end cannot be told (the flush failed after the bytes went out) is unknown,
// not failed; Undo Last Write takes the newest write whose bytes the medium holds, unknown
// ones included, says which record it undoes, and a revert of an undo is undone in turn.
TEST_F(Journalled, UndoTakesTheNewestWriteOnTheMediumUnknownOnesIncluded) {
  const Bytes ten = ReadBytes(f.Drive('A'), 10, 1, 1);
  m.SetText(m.At("Text21"), "10");
  m.Key("Text21", 13);
  Paste("AB");  // record 1: sector 10
  Boxes();
  m.SetText(m.At("Text21"), "40");
  m.Key("Text21", 13);
  f.io.flushError = EIO;
  Paste("CD");  // record 2: sector 40, its end unknown
  f.io.flushError = 0;
  Boxes();  // the box that says so: write_journal.scn
  EXPECT_EQ(Get(2).state, journal::State::Unknown);
  EXPECT_EQ(Get(2).cause, "could not be checked: input/output error (EIO)");
  EXPECT_EQ(Undo(kAnswerNo), Asked("UNDO", 2));
  EXPECT_EQ(Get(2).state, journal::State::Written);  // settled when the undo read the medium
  EXPECT_EQ(Undo(), Asked("UNDO", 2));
  EXPECT_EQ(Head(), kOriginal);
  RevertRecord(m, 3);  // the undo reverted: a redo, itself undone by the next Undo
  EXPECT_EQ(Boxes().at(0), Asked("REVERT", 3));
  f.prompter.messageAnswers.clear();
  EXPECT_EQ(Head(), kOriginal);  // not answered Yes
  f.prompter.messageAnswers = {kAnswerYes};
  RevertRecord(m, 3);
  Boxes();
  EXPECT_EQ(Head(), (Bytes{0x10, 0xCD, 0x12, 0x13}));
  EXPECT_EQ(Get(4).generation, 2);
  EXPECT_EQ(Undo(), Asked("UNDO", 4));
  EXPECT_EQ(Head(), kOriginal);
  EXPECT_EQ(Undo(), Asked("UNDO", 1, 10));
  EXPECT_EQ(ReadBytes(f.Drive('A'), 10, 1, 1), ten);
}

// Undo goes back one write at a time, as a record naming the write it undoes (a single undo,
// and nothing left to undo, are in write_journal.scn); a sector changed in between, or another
// medium behind the letter, is refused.
TEST_F(Journalled, UndoAndRevertPutTheBytesBackThroughTheJournal) {
  Paste("AB");
  Paste("CD");
  f.prompter.messageAnswers = {kAnswerYes};
  m.Click("mnuUndoWrite");
  EXPECT_EQ(Head(), (Bytes{0x10, 0xAB, 0x12, 0x13}));
  EXPECT_EQ(Get(3).undoes, 2);
  Boxes();

  PokeBytes(f.Drive('A'), 40, 3, {0x77});
  RevertRecord(m, 3);  // would write 10 CD 12 13 back
  EXPECT_EQ(Boxes(), std::vector<std::string>{
                         "Revert refused on Device A:, sector 40: record 3: the sector no longer "
                         "holds the bytes written at " +
                         journal::TimeText(Get(3).timeMs) +
                         " (1 of 512 bytes differ). Nothing was written."});
  fs::copy_file(f.Drive('A'), f.dir.path() / "copy");
  fs::rename(f.dir.path() / "copy", f.Drive('A'));
  RevertRecord(m, 1);
  EXPECT_EQ(Boxes().at(0).rfind(
                "Revert refused on Device A:, sector 40: record 1: the letter now leads to another "
                "medium",
                0),
            0u);
  EXPECT_EQ(Head(), (Bytes{0x10, 0xAB, 0x12, 0x77}));

  f.prompter.fileAnswers.push_back((f.dir.path() / "history.txt").string());
  ExportRecords(m, {1});
  EXPECT_EQ(ReadBytes(f.dir.path() / "history.txt", 0, 0, 4096),
            Text(journal::ExportText({Get(1)})));
}

// The table the program's first version made, word for word.
constexpr const char* kFirstVersionTable = R"sql(CREATE TABLE writes(
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

// SQL run straight on the journal's file, outside the program.
void RunSql(const fs::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db) << "\n"
      << sql;
  sqlite3_close(db);
}

// `bytes` as an SQL blob literal, x'...'.
std::string Blob(const Bytes& bytes) {
  std::string hex = "x'";
  for (const std::uint8_t b : bytes) hex += HexByte(b);
  return hex + "'";
}

// A journal the program did not make is refused, though its columns and version look right;
// one of the program's first version is taken over with its records; a record whose values
// are not what the program writes is shown as damaged and never written back.
TEST_F(Journalled, OnlyTheProgramsOwnJournalAndSoundRecordsAreUsed) {
  const fs::path file = m.state.journalFile;
  fs::create_directories(file.parent_path());
  RunSql(file,
         "CREATE TABLE writes(id INTEGER PRIMARY KEY, time_ms, device, path, medium_block, "
         "medium_dev, medium_ino, medium_size, medium_serial, medium_wwn, sector, before, after, "
         "changed, state, cause, undoes); PRAGMA user_version = 1; INSERT INTO writes "
         "VALUES(1, 0, 'A:', 'x', 0, 0, 0, 0, '', '', 1, 'failed', x'00', 0, 'written', '', "
         "NULL)");
  const std::string notOurs = "the write journal " + file.string() +
                              " cannot be opened: the file is not a write journal of this "
                              "program, or a damaged one";
  Paste("AB");
  EXPECT_EQ(Boxes().back(), kRefused40 + notOurs + kUnrecorded);
  EXPECT_EQ(Undo(), "Undo Last Write: " + notOurs + ".");
  EXPECT_EQ(Head(), kOriginal);

  // A write of sector 40 as the first version recorded it.
  fs::remove(file);
  m.state.journal.reset();
  const Bytes before = ReadBytes(f.Drive('A'), 40, 0, 512);
  Bytes after = before;
  after[1] = 0xAB;
  PokeBytes(f.Drive('A'), 40, 0, after);
  struct stat image {};
  ASSERT_EQ(::stat(f.Drive('A').c_str(), &image), 0);
  RunSql(file,
         std::string(kFirstVersionTable) +
             "; CREATE INDEX writes_by_device ON writes(device, id); PRAGMA journal_mode = WAL; "
             "PRAGMA user_version = 1; INSERT INTO writes VALUES(1, 1700000000000, 'A:', 'x', 0, " +
             std::to_string(image.st_dev) + ", " + std::to_string(image.st_ino) +
             ", 1474560, '', '', 40, " + Blob(before) + ", " + Blob(after) +
             ", 1, 'written', 'read back with O_DIRECT', NULL)");
  // A record of the same sector and bytes, damaged: 3 bytes from before.
  Get(1);  // the program opens the journal: the first version's table is brought up to date
  RunSql(file,
         "PRAGMA ignore_check_constraints = ON; INSERT INTO writes SELECT 2, time_ms, device, "
         "path, target, medium_block, medium_dev, medium_ino, medium_size, medium_serial, "
         "medium_wwn, sector, x'000102', after, changed, state, cause, undoes, generation, "
         "undone, owner_pid, owner_boot, owner_start FROM writes WHERE id = 1");
  EXPECT_EQ(Get(2).damage, "before: 3 bytes, not 512");
  journal::HistoryList list(JournalOf(m));
  ASSERT_TRUE(list.Reset("A:").ok() && list.size() == 2);
  EXPECT_EQ(list.Cell(0, journal::HistoryList::kState), "damaged (before: 3 bytes, not 512)");
  EXPECT_EQ(list.Cell(1, journal::HistoryList::kState), "written (read back with O_DIRECT)");
  RevertRecord(m, 2);
  EXPECT_EQ(Boxes(), std::vector<std::string>{
                         "Revert refused on Device A:, sector 40: record 2 is damaged (before: 3 "
                         "bytes, not 512); a damaged record is never written back. Nothing was "
                         "written."});
  EXPECT_EQ(Undo(), Asked("UNDO", 1));
  EXPECT_EQ(Head(), kOriginal);
}

// The journal deleted or replaced while the program runs: the next write is refused, saying
// so, instead of going into a file no one will read again; the write after it opens what is
// at the journal's place then.
TEST_F(Journalled, AJournalReplacedWhileRunningIsNotWrittenBehindItsBack) {
  Paste("AB");
  const fs::path file = m.state.journalFile;
  fs::copy_file(file, f.dir.path() / "copy");
  fs::rename(f.dir.path() / "copy", file);
  Boxes();
  Paste("CD");
  EXPECT_EQ(Boxes().back(), kRefused40 + "the write journal " + file.string() +
                                " was replaced by another file while the program ran; it is "
                                "opened afresh at the next write" +
                                kUnrecorded);
  EXPECT_EQ(Head(), (Bytes{0x10, 0xAB, 0x12, 0x13}));
  Paste("CD");
  EXPECT_EQ(Head(), (Bytes{0x10, 0xCD, 0x12, 0x13}));
  std::int64_t n = 0;
  EXPECT_TRUE(JournalOf(m).Count("", &n).ok() && n == 2);
}

// Each failure of the journal is named by the errno behind it, in the words of the message
// the write's refusal shows (the helper process runs the program's own journal code).
// A step of three sector writes (40, 41, 42) made as one group: recorded whole before the
// first sector is written, announced sector by sector after a stop between two of them and
// rolled back on request, undone whole by Undo Last Write (the last sector first, each
// checked before it is written back). A journal of the second version takes groups too.
TEST_F(Journalled, AGroupIsRecordedWholeUndoneWholeAndRolledBackAfterAStop) {
  constexpr std::size_t kStep = std::size_t{3} * 512;  // the bytes of sectors 40 to 42
  const Bytes original = ReadBytes(f.Drive('A'), 40, 0, kStep);
  std::vector<SectorChange> step;
  for (std::int64_t s = 40; s <= 42; ++s) {
    SectorChange c{s, {}, {}, 0};
    const Bytes bytes = ReadBytes(f.Drive('A'), static_cast<std::uint64_t>(s), 0, 512);
    std::copy(bytes.begin(), bytes.end(), c.before.begin());
    c.after = c.before;
    c.after[7] = static_cast<std::uint8_t>(0xA0 + s - 40);
    step.push_back(c);
  }
  const auto lines = [](const std::vector<std::string>& boxes) {
    return boxes.empty() ? std::string() : boxes[0].substr(boxes[0].find("\n- "));
  };
  // Stopped before its second sector: the group's three records were all made before.
  Crash([&] {
    f.io.beforeWrite = [&] {
      journal::Record third;  // the last record of the group, made before any write
      if (!journal::Journal(m.state.journalFile).Get(3, &third).ok()) ::_exit(76);
      if (f.io.writes == 2) ::_exit(75);
    };
    WriteSectorGroup(m, "A:", "Repair All", step);
  });
  const std::vector<std::string> told = NextStart({kAnswerYes});
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0].rfind("The program or the machine stopped part-way through \"Repair All\" on "
                          "A: (",
                          0),
            0u);
  EXPECT_EQ(lines(told), "\n- sector 40: " + kDone + "\n- sector 41: " + kNone +
                             "\n- sector 42: " + kNone +
                             "\nRoll the step back now, writing the bytes from before over the "
                             "sectors written? (No asks whether to finish it instead.)");
  EXPECT_EQ(ReadBytes(f.Drive('A'), 40, 0, kStep), original);
  EXPECT_EQ(Get(4).undoes, 1);
  EXPECT_TRUE(Get(1).undone);
  EXPECT_EQ(Get(2).state, journal::State::NotWritten);
  EXPECT_TRUE(NextStart().empty());  // told once

  // A sector that no longer holds what the step was planned on: none of the step is recorded
  // or written, not even the sectors before it.
  std::vector<SectorChange> stale = step;
  stale[2].before[0] ^= 1;
  Boxes();
  WriteSectorGroup(m, "A:", "Repair All", stale);
  EXPECT_EQ(Boxes(), std::vector<std::string>{
                         "Write refused on Device A:, sector 42: the sector changed since it was "
                         "shown (1 of 512 bytes differ: the medium was swapped or removed, or "
                         "another program wrote to it). Nothing was written."});
  EXPECT_EQ(ReadBytes(f.Drive('A'), 40, 0, kStep), original);

  // The second version's journal (no groups yet) is brought up to this one when opened.
  m.state.journal.reset();
  RunSql(m.state.journalFile, "DROP TABLE write_groups; PRAGMA user_version = 2");
  WriteSectorGroup(m, "A:", "Repair All", step);  // records 5 to 7
  EXPECT_EQ(ReadBytes(f.Drive('A'), 41, 7, 1), Bytes{0xA1});
  // A sector changed since: Undo refuses the whole step and writes none of it back.
  PokeBytes(f.Drive('A'), 41, 8, {0x55});
  EXPECT_EQ(Undo(),
            "Undo refused on \"Repair All\" (records 5 to 7): record 6 (sector 41): the "
            "sector no longer holds the bytes written at " +
                journal::TimeText(Get(6).timeMs) +
                " (1 of 512 bytes differ). Nothing was written.");
  EXPECT_EQ(ReadBytes(f.Drive('A'), 42, 7, 1), Bytes{0xA2});
  PokeBytes(f.Drive('A'), 41, 8, {original[512 + 8]});
  EXPECT_EQ(Undo(),
            "UNDO OF \"REPAIR ALL\" (RECORDS 5 TO 7 ON A:): OVERWRITING SECTORS 42, 41, "
            "40 , ARE YOU SURE?");
  EXPECT_EQ(ReadBytes(f.Drive('A'), 40, 0, kStep), original);
  EXPECT_EQ(Get(8).sector, 42);
  journal::HistoryList list(JournalOf(m));
  ASSERT_TRUE(list.Reset("A:").ok());
  EXPECT_TRUE(list.Cell(0, journal::HistoryList::kState)
                  .ends_with(", undoes record 5, one step of \"Undo of Repair All\""));

  // A sector changed behind the program's back while the step runs: the step stops there and
  // says what it wrote, the rest is recorded as not tried, and Undo takes back what was written.
  f.io.flushes = 0;
  f.io.afterFlush = [&] {
    if (f.io.flushes == 1) PokeBytes(f.Drive('A'), 41, 8, {0x55});
  };
  Boxes();
  WriteSectorGroup(m, "A:", "Repair All", step);  // records 11 to 13
  f.io.afterFlush = nullptr;
  EXPECT_EQ(Boxes().at(0),
            "Repair All on A: stopped part-way: sector 40 was written, sectors 41, 42 were not. "
            "Undo Last Write takes the sectors written back.");
  EXPECT_EQ(Get(12).state, journal::State::NotWritten);
  EXPECT_EQ(Get(13).cause.rfind("not tried: the group stopped at sector 41 (changed", 0), 0u)
      << Get(13).cause;
  EXPECT_EQ(Undo(),
            "UNDO OF \"REPAIR ALL\" (RECORDS 11 TO 13 ON A:): OVERWRITING SECTOR 40 , ARE YOU "
            "SURE?");
  EXPECT_EQ(ReadBytes(f.Drive('A'), 40, 0, 512), Bytes(original.begin(), original.begin() + 512));

  // Stopped again before its second sector, and finished at the next start instead: the
  // sectors it did not write are written as a step of their own.
  PokeBytes(f.Drive('A'), 41, 8, {original[512 + 8]});
  f.io.writes = 0;
  Crash([&] {
    f.io.beforeWrite = [&] {
      if (f.io.writes == 2) ::_exit(75);
    };
    WriteSectorGroup(m, "A:", "Repair All", step);  // records 15 to 17
  });
  const std::vector<std::string> finished = NextStart({kAnswerNo, kAnswerYes});
  ASSERT_EQ(finished.size(), 2u);
  EXPECT_EQ(finished[1],
            "Finish \"Repair All\" instead, writing the sectors it did not write? (No leaves the "
            "sectors as they are; Undo Last Write can take the step back later.)");
  for (std::int64_t s = 40; s <= 42; ++s)
    EXPECT_EQ(ReadBytes(f.Drive('A'), static_cast<std::uint64_t>(s), 7, 1),
              Bytes{static_cast<std::uint8_t>(0xA0 + s - 40)});
  EXPECT_EQ(Get(19).sector, 42);
  EXPECT_EQ(Get(10).undoes, 5);
  EXPECT_TRUE(Get(5).undone && Get(7).undone);
}

TEST(JournalCauses, EveryFailureIsNamedByItsErrno) {
  TempDir dir;
  const std::string peer = DULVEX_PEER;
  const auto problem = [&](const std::string& command) {
    try {
      return "ok: " + RunCommand(command);
    } catch (const std::exception& e) {
      const std::string text = e.what();
      return text.substr(text.find('\n') + 1);
    }
  };
  fs::create_directories(dir.path() / "folder.sqlite");
  EXPECT_EQ(problem(peer + " write " + (dir.path() / "folder.sqlite").string() + " A: 1 1"),
            "the write journal " + (dir.path() / "folder.sqlite").string() +
                " cannot be opened: it is a folder, not a file (EISDIR)\n");
  // In the program the failure keeps its errno beside the words.
  const Status opened = journal::Journal(dir.path() / "folder.sqlite").Open(true);
  EXPECT_EQ(std::pair(opened.cause, opened.error), std::pair(Cause::JournalFailed, EISDIR));
  const fs::path file = dir.path() / "journal.sqlite";
  ASSERT_EQ(problem(peer + " write " + file.string() + " A: 1 1"), "ok: ");
  if (!Quietly("strace -V"))
    GTEST_SKIP() << "no strace here: a failed flush of the journal untested";
  // The flush of the journal's log finds no space left: SQLite's own words would be "disk I/O
  // error".
  EXPECT_EQ(problem(UnderStrace("fsync,fdatasync:error=ENOSPC") + peer + " write " + file.string() +
                    " A: 1 1"),
            "the write journal " + file.string() +
                " cannot record the write: no space left on the device (ENOSPC)\n");
  if (::geteuid() != 0) GTEST_SKIP() << "not root: a journal folder made immutable untested";
  fs::create_directories(dir.path() / "fixed");
  ASSERT_TRUE(Quietly("chattr +i '" + (dir.path() / "fixed").string() + "'"));
  const std::string fixed =
      problem(peer + " write " + (dir.path() / "fixed" / "j").string() + " A: 1 1");
  Quietly("chattr -i '" + (dir.path() / "fixed").string() + "'");
  EXPECT_EQ(fixed, "the write journal " + (dir.path() / "fixed" / "j").string() +
                       " cannot be made: the system does not permit it, as for an immutable or "
                       "append-only file or folder (EPERM)\n");
}

// The history reads its records a page at a time, newest first, for all letters or one; the
// export shows each changed row before and after.
TEST(JournalHistory, PagesFilterAndExport) {
  TempDir dir;
  journal::Journal j(dir.path() / "journal.sqlite");
  for (int i = 0; i < 300; ++i) {
    journal::Record r;
    r.device = i % 3 == 0 ? "B:" : "A:";
    r.sector = i;
    r.after[17] = static_cast<std::uint8_t>(i);
    ASSERT_TRUE(j.Begin(r).ok());
    ASSERT_TRUE(j.Finish(r.id, journal::State::Written, "read back with O_DIRECT").ok());
  }
  journal::HistoryList list(j);
  ASSERT_TRUE(list.Reset("").ok());
  EXPECT_TRUE(list.size() == 256 && list.total() == 300 && list.CanFetchMore());
  std::vector<journal::Summary> page;
  EXPECT_TRUE(list.ReadNextPage(&page).ok() && page.size() == 44 && !list.CanFetchMore());
  list.Append(page);
  EXPECT_TRUE(list.at(0).sector == 299 && list.at(299).sector == 0);
  EXPECT_EQ(list.Cell(0, journal::HistoryList::kChanged), "1");
  EXPECT_EQ(list.Cell(0, journal::HistoryList::kState), "written (read back with O_DIRECT)");
  ASSERT_TRUE(list.Reset("B:").ok());
  EXPECT_TRUE(list.size() == 100 && list.total() == 100 && !list.CanFetchMore());  // B: alone

  journal::Record r;
  ASSERT_TRUE(j.Get(2, &r).ok());
  const std::string text = journal::ExportText({r});
  EXPECT_NE(text.find("\n  0010 - 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
                      "       + 00 01 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"
                      "            ^^\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("0000 -"), std::string::npos);
}

}  // namespace
}  // namespace dulvex::testing
