// Showing a sector, painting the sector grid, and one ">" step from click to painted grid.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <memory>

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

}  // namespace
