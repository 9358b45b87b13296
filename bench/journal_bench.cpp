// One confirmed paste onto an image (the image locked, journal record, compare at the medium
// before and after the record, write, every fsync, read back past the page cache, the sector
// shown again) beside a plain pwrite + fsync of 512 bytes on the same disk; Undo Last Write
// over 150,000 records; and the Write History window opened over 100,000 records.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTableView>

#include "bench_app.h"
#include "journal/journal.h"
#include "sectorio/sector_io.h"
#include "support/test_support.h"
#include "ui/history_window.h"

namespace {

using dulvex::testing::ModelFixture;

void BM_PasteWrite(benchmark::State& state) {
  ModelFixture f;  // its image and journal in the same temporary folder
  dulvex::testing::MakeFatImage(f.Drive('A'), 2880, "-F 12 -n FLOPPY");
  f.Choose('A');
  f.model.SetText(f.model.At("Text21"), "40");
  f.model.Key("Text21", 13);
  f.prompter.inputAnswers.emplace_back("AB");
  f.model.Click("LabelB3", 1);
  f.prompter.shown.clear();
  for (auto _ : state) {
    f.prompter.messageAnswers.push_back(dulvex::kAnswerYes);
    f.model.Click("Command5");
    if (f.prompter.shown.size() != 1) state.SkipWithError("the paste did not go through");
    f.prompter.shown.clear();
  }
}
BENCHMARK(BM_PasteWrite)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_PlainWrite512(benchmark::State& state) {
  dulvex::testing::TempDir dir;
  const int fd = ::open((dir.path() / "plain").c_str(), O_RDWR | O_CREAT, 0600);
  char sector[512] = {1};
  if (fd < 0 || ::ftruncate(fd, 1 << 20) != 0) state.SkipWithError("no file");
  for (auto _ : state) {
    if (::pwrite(fd, sector, sizeof sector, off_t{40} * 512) != 512 || ::fsync(fd) != 0)
      state.SkipWithError("the write failed");
  }
  ::close(fd);
}
BENCHMARK(BM_PlainWrite512)->Unit(benchmark::kMillisecond)->Repetitions(5);

// The least a write recorded before it is made costs: 512 bytes written and flushed to one
// file (the record), then to another (the medium), on the same disk.
void BM_PlainWrite512Twice(benchmark::State& state) {
  dulvex::testing::TempDir dir;
  const int log = ::open((dir.path() / "log").c_str(), O_RDWR | O_CREAT, 0600);
  const int fd = ::open((dir.path() / "plain").c_str(), O_RDWR | O_CREAT, 0600);
  char sector[512] = {1};
  if (fd < 0 || log < 0 || ::ftruncate(fd, 1 << 20) != 0) state.SkipWithError("no file");
  for (auto _ : state) {
    if (::pwrite(log, sector, sizeof sector, 0) != 512 || ::fdatasync(log) != 0 ||
        ::pwrite(fd, sector, sizeof sector, off_t{40} * 512) != 512 || ::fsync(fd) != 0)
      state.SkipWithError("the write failed");
  }
  ::close(fd);
  ::close(log);
}
BENCHMARK(BM_PlainWrite512Twice)->Unit(benchmark::kMillisecond)->Repetitions(5);

// Undo Last Write, from the click to its question (answered No), over a journal of 150,000
// records of A:: 75,000 writes all undone and their 75,000 undos, newer than the one write
// still to undo. The journal is opened afresh each time.
void BM_UndoLast(benchmark::State& state) {
  ModelFixture f;
  dulvex::testing::MakeFatImage(f.Drive('A'), 2880, "-F 12 -n FLOPPY");
  f.Choose('A');
  const std::vector<std::uint8_t> after = dulvex::testing::ReadBytes(f.Drive('A'), 40, 0, 512);
  struct stat image {};
  ::stat(f.Drive('A').c_str(), &image);
  const auto path = f.model.state.journalFile;
  {
    dulvex::journal::Journal journal(path);
    journal.Open(true);
  }
  sqlite3* db = nullptr;
  sqlite3_stmt* insert = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_prepare_v2(db,
                     "INSERT INTO writes(id, time_ms, device, path, target, medium_block, "
                     "medium_dev, medium_ino, medium_size, medium_serial, medium_wwn, sector, "
                     "before, after, changed, state, cause, undoes, generation, undone, "
                     "owner_pid, owner_boot, owner_start) VALUES(?1, 1700000000000 + ?1, 'A:', "
                     "'drives/A', 'card.img', 0, ?2, ?3, 1474560, '', '', ?4, zeroblob(512), ?5, "
                     "3, 'written', 'read back with O_DIRECT', nullif(?6, 0), ?7, ?8, 1, '', 0)",
                     -1, &insert, nullptr);
  for (int id = 1; id <= 150000; ++id) {
    const bool undo = id > 1 && id % 2 == 1;  // 3 undoes 2, 5 undoes 4, ...
    sqlite3_bind_int64(insert, 1, id);
    sqlite3_bind_int64(insert, 2, static_cast<std::int64_t>(image.st_dev));
    sqlite3_bind_int64(insert, 3, static_cast<std::int64_t>(image.st_ino));
    sqlite3_bind_int64(insert, 4, id == 1 ? 40 : 100 + id % 2000);
    sqlite3_bind_blob(insert, 5, after.data(), 512, SQLITE_STATIC);
    sqlite3_bind_int64(insert, 6, undo ? id - 1 : 0);
    sqlite3_bind_int64(insert, 7, undo ? 1 : 0);
    sqlite3_bind_int64(insert, 8, id > 1 && !undo ? 1 : 0);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  f.prompter.shown.clear();
  for (auto _ : state) {
    f.model.state.journal.reset();
    f.prompter.messageAnswers.push_back(dulvex::kAnswerNo);
    f.model.Click("mnuUndoWrite");
    if (f.prompter.shown.size() != 1 || f.prompter.shown[0].text.rfind("UNDO OF RECORD 1 ", 0) != 0)
      state.SkipWithError("Undo did not find record 1");
    f.prompter.shown.clear();
  }
}
BENCHMARK(BM_UndoLast)->Unit(benchmark::kMillisecond)->Repetitions(5);

// A journal of 100,000 records of A: to R:, made once in one transaction.
const std::filesystem::path& BigJournal() {
  static dulvex::testing::TempDir dir;
  static const std::filesystem::path file = [] {
    auto path = dir.path() / "journal.sqlite";
    dulvex::journal::Journal journal(path);
    journal.Open(true);
    sqlite3* db = nullptr;
    sqlite3_stmt* insert = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db,
                       "INSERT INTO writes(time_ms, device, path, target, medium_block, "
                       "medium_dev, medium_ino, medium_size, medium_serial, medium_wwn, sector, "
                       "before, after, changed, state, cause, owner_pid, owner_boot, owner_start) "
                       "VALUES(?1, ?2, '/drives/' || ?2, '/images/' || ?2, 0, 2049, 1234, "
                       "1474560, '', '', ?1 % 2880, zeroblob(512), zeroblob(512), 3, 'written', "
                       "'read back with O_DIRECT', 1, '', 0)",
                       -1, &insert, nullptr);
    for (int i = 0; i < 100000; ++i) {
      const char device[] = {static_cast<char>('A' + i % 18), ':', 0};
      sqlite3_bind_int64(insert, 1, 1700000000000 + i);
      sqlite3_bind_text(insert, 2, device, -1, SQLITE_TRANSIENT);
      sqlite3_step(insert);
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return path;
  }();
  return file;
}

// From "Write History…" to the window painted with its first rows.
void BM_HistoryOpen(benchmark::State& state) {
  EnsureApplication();
  ModelFixture f;
  f.model.state.journalFile = BigJournal();
  for (auto _ : state) {
    f.model.state.journal.reset();  // the journal opened afresh each time
    dulvex::ui::HistoryWindow window(f.model, nullptr);
    window.Reload();
    window.show();
    benchmark::DoNotOptimize(window.grab());
    if (window.table()->total() != 100000) state.SkipWithError("not all records counted");
  }
}
BENCHMARK(BM_HistoryOpen)->Unit(benchmark::kMillisecond)->Repetitions(5);

}  // namespace
