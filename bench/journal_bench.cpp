// One confirmed paste onto an image (journal record, compare at the medium, write, every fsync,
// read back past the page cache, the sector shown again) beside a plain pwrite + fsync of 512
// bytes on the same disk; and the Write History window opened over 100,000 records.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sqlite3.h>
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
  f.prompter.inputAnswers.push_back("AB");
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
    if (::pwrite(fd, sector, sizeof sector, 40 * 512) != 512 || ::fsync(fd) != 0)
      state.SkipWithError("the write failed");
  }
  ::close(fd);
}
BENCHMARK(BM_PlainWrite512)->Unit(benchmark::kMillisecond)->Repetitions(5);

// A journal of 100,000 records of A: to R:, made once in one transaction.
const std::filesystem::path& BigJournal() {
  static dulvex::testing::TempDir dir;
  static const std::filesystem::path file = [] {
    const auto path = dir.path() / "journal.sqlite";
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
