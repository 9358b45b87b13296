// Two windows of the program on one journal, each in its own process: the other process is
// the program's own journal code in a small helper (tests/peer/peer.cpp).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "commands/write_commands.h"
#include "journal/history.h"
#include "journal/journal.h"
#include "sectorio/sector_io.h"
#include "support/device_test_support.h"

namespace dulvex::testing {
namespace {

namespace fs = std::filesystem;
using journal::Journal;
using journal::Record;
using journal::State;

// The helper, run with these arguments; its output read a line at a time.
class Peer {
 public:
  explicit Peer(std::vector<std::string> args) {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::close(out[0]), ::close(out[1]);
      std::vector<char*> argv = {const_cast<char*>(DULVEX_PEER)};
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    out_ = ::fdopen(out[0], "r");
  }
  ~Peer() {
    if (pid_ > 0) Kill();
    if (out_ != nullptr) std::fclose(out_);
  }
  std::string Line() {
    char line[512] = "";
    if (out_ == nullptr || std::fgets(line, sizeof line, out_) == nullptr) return "";
    std::string text = line;
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return text;
  }
  // Its exit status, once it has ended.
  int Wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Ends it as a crash or a power cut would.
  void Kill() {
    ::kill(pid_, SIGKILL);
    Wait();
  }

 private:
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
};

Record Write(const std::string& device, std::int64_t sector) {
  Record r;
  r.device = device;
  r.sector = sector;
  r.after.fill(0x5A);
  return r;
}

// Reads of every kind leave no old snapshot open behind them: once another process has
// written, this one still writes (where it got "another program holds it locked" until
// restart), sees the other's records, and the log is copied back and cut short meanwhile.
TEST(JournalPeers, ReadsLeaveNoSnapshotThatStopsTheNextWrite) {
  TempDir dir;
  const fs::path file = dir.path() / "journal.sqlite";
  Journal j(file);
  Record r = Write("A:", 10);
  ASSERT_TRUE(j.Begin(r).ok());
  ASSERT_TRUE(j.Finish(r.id, State::Written, "read back with O_DIRECT").ok());
  std::int64_t n = 0;
  std::vector<journal::Summary> page;
  std::vector<std::string> devices;
  std::vector<Record> records;
  std::optional<Record> found;
  Record got;
  journal::HistoryList list(j);
  ASSERT_TRUE(j.Count("", &n).ok() && j.Count("A:", &n).ok() && j.Page("", 0, 5, &page).ok() &&
              j.Page("A:", 0, 5, &page).ok() && j.Devices(&devices).ok() && j.Get(1, &got).ok() &&
              j.UndoCandidates("A:", 0, 1, &records).ok() && j.Unsettled(&records).ok() &&
              journal::FindUndoable(
                  j, "A:", [](const Record&) { return true; }, {}, &found)
                  .ok() &&
              list.Reset("").ok());

  Peer writer({"write", file.string(), "B:", "7", "400"});
  EXPECT_EQ(writer.Wait(), 0);
  Record next = Write("A:", 11);
  const Status begun = j.Begin(next);
  EXPECT_TRUE(begun.ok()) << begun.Describe();
  EXPECT_EQ(next.id, 402);
  EXPECT_TRUE(list.Reset("").ok() && list.total() == 402 && list.at(1).device == "B:");
  struct stat wal {};
  ASSERT_EQ(::stat((file.string() + "-wal").c_str(), &wal), 0);
  EXPECT_LT(wal.st_size, 6 << 20) << "400 records kept in the log";
}

// Drive A: holds a FAT12 floppy; another process begins a write of its sector 40.
struct InFlight : ::testing::Test {
  ModelFixture f;
  WindowModel& m = f.model;
  std::unique_ptr<Peer> peer;
  void SetUp() override {
    MakeFatImage(f.Drive('A'), 2880, "-F 12 -n FLOPPY");
    fs::create_directories(m.state.journalFile.parent_path());
    peer = std::make_unique<Peer>(std::vector<std::string>{"hold", m.state.journalFile.string(),
                                                           "A:", "40", f.Drive('A').string()});
    ASSERT_EQ(peer->Line(), "begun 1");
  }
  std::vector<std::string> Boxes() {
    std::vector<std::string> texts;
    for (const ShownBox& b : f.prompter.shown) texts.push_back(b.text);
    f.prompter.shown.clear();
    return texts;
  }
  Record Get() {
    Record r;
    EXPECT_TRUE(JournalOf(m).Get(1, &r).ok());
    return r;
  }
};

// While its owner runs, this window neither settles the write (as a stop would be), nor
// reverts it, nor takes it for Undo; once its owner is gone, the next start settles it.
TEST_F(InFlight, AWriteOfALiveWindowIsLeftToIt) {
  const std::string where = "A: sector 40 (" + journal::TimeText(Get().timeMs) + ")";
  AnnouncePendingWrites(m);
  EXPECT_EQ(Boxes(), std::vector<std::string>{
                         "This write is in progress in another window of the program, which "
                         "settles it:\n- " +
                         where + "\nThe Write History (File menu) keeps them."});
  f.Choose('A');  // a read of the medium settles open records, but not this one
  RevertRecord(m, 1);
  m.Click("mnuUndoWrite");
  journal::HistoryList list(JournalOf(m));
  ASSERT_TRUE(list.Reset("A:").ok());
  EXPECT_EQ(list.Cell(0, journal::HistoryList::kState), "in progress in another window");
  const std::vector<std::string> boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0],
            "Revert refused on Device A:, sector 40: record 1 is a write in progress "
            "in another window. Nothing was written.");
  EXPECT_EQ(boxes[1].rfind("Undo Last Write: the write journal holds no write on A:", 0), 0u);
  EXPECT_EQ(Get().state, State::Pending);

  peer->Kill();
  AnnouncePendingWrites(m);
  EXPECT_EQ(Boxes(), std::vector<std::string>{
                         "The program or the machine stopped between the write journal and the "
                         "medium during this write:\n- " +
                         where +
                         ": the medium holds the bytes from before: nothing was written.\nThe "
                         "Write History (File menu) keeps them."});
  EXPECT_EQ(Get().state, State::NotWritten);
}

// Two processes write at once, each its own records: none is refused, none lost.
TEST(JournalPeers, TwoWritersSideBySide) {
  TempDir dir;
  const fs::path file = dir.path() / "journal.sqlite";
  Journal j(file);
  ASSERT_TRUE(j.Open(true).ok());
  Peer writer({"write", file.string(), "B:", "1", "150"});
  for (int i = 0; i < 150; ++i) {
    Record r = Write("A:", i);
    const Status begun = j.Begin(r);
    ASSERT_TRUE(begun.ok()) << begun.Describe();
    ASSERT_TRUE(j.Finish(r.id, State::Written, "").ok());
  }
  EXPECT_EQ(writer.Line(), "");
  EXPECT_EQ(writer.Wait(), 0);
  std::int64_t a = 0, b = 0;
  EXPECT_TRUE(j.Count("A:", &a).ok() && j.Count("B:", &b).ok());
  EXPECT_TRUE(a == 150 && b == 150) << a << " " << b;
}

}  // namespace
}  // namespace dulvex::testing
