// Showing a sector, painting the sector grid, and one ">" step from click to painted grid.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "bench_app.h"
#include "support/test_support.h"
#include "ui/cell_grid_widget.h"
#include "ui/main_window.h"
#include "view/sector_view.h"

namespace {

using dulvex::testing::ModelFixture;

// A volume of 2^31 sectors (1 TiB, sparse) on drive A:, chosen.
struct Volume {
  ModelFixture f;
  Volume() {
    dulvex::testing::MakeZeroImage(f.Drive('A'), 2147483648ull);
    // Sector 0 as a floppy's, so the refresh accepts the volume.
    dulvex::testing::TempDir scratch;
    dulvex::testing::MakeFatImage(scratch.path() / "floppy", 2880, "-F 12 -n FLOPPY");
    dulvex::testing::PokeBytes(f.Drive('A'), 0, 0,
                               dulvex::testing::ReadBytes(scratch.path() / "floppy", 0, 0, 512));
    f.Choose('A');
  }
};

void BM_ShowSector(benchmark::State& state) {
  Volume v;
  v.f.model.SetText(v.f.model.At("Text21"), std::to_string(state.range(0)));
  for (auto _ : state) {
    dulvex::ShowSector(v.f.model);
    benchmark::DoNotOptimize(v.f.model.Label3[0]->caption);
  }
  if (!v.f.prompter.shown.empty()) state.SkipWithError("a box was shown");
}
BENCHMARK(BM_ShowSector)->Arg(0)->Arg(2000000000);

void BM_PaintSectorGrid(benchmark::State& state) {
  EnsureApplication();
  Volume v;
  dulvex::ui::MainWindow window(v.f.model);
  window.show();
  window.Refresh();
  dulvex::ui::CellGridWidget* grid = window.sectorGrid();
  QImage image(grid->size(), QImage::Format_ARGB32_Premultiplied);
  grid->render(&image);  // fills the caption cache once
  for (auto _ : state) {
    grid->render(&image);
    benchmark::DoNotOptimize(image.constBits());
  }
}
BENCHMARK(BM_PaintSectorGrid);

void BM_StepNext(benchmark::State& state) {
  EnsureApplication();
  Volume v;
  dulvex::ui::MainWindow window(v.f.model);
  window.show();
  QApplication::processEvents();  // the window is exposed before the first paint
  auto* next = qobject_cast<QPushButton*>(window.WidgetOf("Command1(1)"));
  const int paintsBefore = window.sectorGrid()->paints();
  dulvex::ui::CellGridWidget* grid = window.sectorGrid();
  for (auto _ : state) {
    next->click();    // handler: step, read, render into the model, refresh the widgets
    grid->repaint();  // and the grid painted
  }
  if (grid->paints() - paintsBefore < static_cast<int>(state.iterations())) {
    state.SkipWithError("the grid was not painted on every step");
  }
  if (!v.f.prompter.shown.empty()) state.SkipWithError("a box was shown");
}
BENCHMARK(BM_StepNext);

// One ">" or "<" step through a floppy's data region, a 1.4 MB file filling it, from click to
// refreshed widgets: Arg(1) with the status line (whose owner map is read once, before the
// timing), Arg(0) without it, as the peer. Steps go back and forth, so every one reads.
void BM_StepStatusLine(benchmark::State& state) {
  EnsureApplication();
  ModelFixture f;
  dulvex::testing::TempDir scratch;
  const std::filesystem::path big = scratch.path() / "BIG.BIN";
  std::ofstream(big).put('B');
  dulvex::testing::MakeFatImage(f.Drive('A'), 2880, "-F 12 -n FLOPPY");
  const std::string copy = "MTOOLS_SKIP_CHECK=1 mcopy -i '" + f.Drive('A').string() + "' '" +
                           big.string() + "' ::BIG.BIN";
  std::filesystem::resize_file(big, std::uintmax_t{1400} * 1024);
  if (std::system(copy.c_str()) != 0) return state.SkipWithError("mcopy failed");
  if (state.range(0) == 0) f.model.afterEvent.clear();
  f.Choose('A');
  dulvex::ui::MainWindow window(f.model);
  window.show();
  QApplication::processEvents();
  f.model.SetText(f.model.At("Text21"), "1000");
  dulvex::ShowSector(f.model);
  auto* next = qobject_cast<QPushButton*>(window.WidgetOf("Command1(1)"));
  auto* back = qobject_cast<QPushButton*>(window.WidgetOf("Command1(0)"));
  next->click();  // the owner map read, outside the timing
  bool forward = false;
  for (auto _ : state) {
    (forward ? next : back)->click();
    forward = !forward;
  }
  const std::string owner = f.model.At("lblStatus", 1).caption;
  if (state.range(0) == 1 && owner.find("/BIG.BIN") == std::string::npos)
    state.SkipWithError(("the status line names no owner: " + owner).c_str());
  if (!f.prompter.shown.empty()) state.SkipWithError("a box was shown");
}
BENCHMARK(BM_StepStatusLine)->Arg(0)->Arg(1)->Repetitions(9);

}  // namespace
