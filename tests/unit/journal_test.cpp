// The write journal end to end: no write without its record, a write the medium refuses, a
// stop between the journal and the medium announced at the next start, undo and revert, the
// history list and its export. (The board and the pastes that write: buffer_*.scn.)
#include "journal/journal.h"

#include <gtest/gtest.h>

#include <fstream>

#include "drives/drive_info.h"
#include "journal/history.h"
#include "journal/write_commands.h"
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
};

const std::string kSure40 = "OVERWRITING SECTOR 40 , ARE YOU SURE?";

// A damaged journal, a read-only and a full journal location: the write is refused with the
// journal's file and the cause, and the medium keeps its bytes.
TEST_F(Journalled, NoWriteWithoutItsRecord) {
  const fs::path damaged = m.state.journalFile;
  fs::create_directories(damaged.parent_path());
  std::ofstream(damaged) << "not a database, but long enough to be read as one................"
                            "................................................................";
  const std::string refused = "Write refused on Device A:, sector 40: the write journal ";
  const std::string unrecorded = ". Without its journal record nothing is written.";
  Paste("AB");
  EXPECT_EQ(Boxes(), (std::vector<std::string>{
                         kSure40, refused + damaged.string() +
                                      " cannot be opened: the file is damaged or is not a write "
                                      "journal" +
                                      unrecorded}));
  TestMount place(f.dir.path() / "place");
  if (!place.ok) GTEST_SKIP() << "cannot mount a tmpfs here: full and read-only journal untested";
  m.state.journalFile = place.path / "dulvex" / "journal.sqlite";
  ASSERT_TRUE(place.Remount("ro"));
  Paste("AB");
  EXPECT_EQ(Boxes().back(),
            refused + m.state.journalFile.string() + " cannot be made: its folder " +
                m.state.journalFile.parent_path().string() +
                " cannot be created: its file system is read-only (EROFS)" + unrecorded);
  ASSERT_TRUE(place.Remount("rw"));
  place.Fill();
  Paste("AB");
  EXPECT_EQ(Boxes().back(), refused + m.state.journalFile.string() +
                                " cannot be opened: no space left on the device (ENOSPC)" +
                                unrecorded);
  EXPECT_EQ(Head(), kOriginal);
}

// A paste the medium refuses (root is kept out by the immutable flag, anyone else by the
// file's mode): the refusal names its cause, nothing is written, the grid shows what the
// device holds and the board is kept for a retry.
TEST_F(Journalled, AWriteTheMediumRefusesLeavesTheBoardForARetry) {
  ReadOnlyFile guard(f.Drive('A'));
  if (!guard.ok()) GTEST_SKIP() << "cannot make a file read-only here";
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

// The process ends right after the journal commit; the next start tells of the write once,
// with what the medium holds, and closes its record.
TEST_F(Journalled, AStopBetweenJournalAndMediumIsAnnouncedAtTheNextStart) {
  EXPECT_EXIT(
      {
        f.io.beforeWrite = [] { ::_exit(75); };
        Paste("AB");
      },
      ::testing::ExitedWithCode(75), "");
  ScriptedPrompter prompter;
  WindowModel next(prompter);
  next.state.drivesDir = m.state.drivesDir;
  next.state.journalFile = m.state.journalFile;
  BuildForm1(next);
  AnnouncePendingWrites(next);
  AnnouncePendingWrites(next);
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(prompter.shown[0].text,
            "The program or the machine stopped between the write journal and the medium during "
            "this write:\n- A: sector 40 (" +
                journal::TimeText(Get(1).timeMs) +
                "): the medium holds the bytes from before: nothing was written.\nThe Write "
                "History (File menu) keeps them.");
  EXPECT_EQ(Get(1).state, journal::State::NotWritten);
  EXPECT_EQ(Head(), kOriginal);
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
