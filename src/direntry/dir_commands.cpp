// The handlers of the directory panel and of the two TOOLS items that analyse a sector.
#include <string>

#include "direntry/dir_analyzer.h"
#include "direntry/dir_panel.h"
#include "direntry/entry_views.h"
#include "view/sector_view.h"

namespace dulvex {

namespace {

// "VIEW COLORS ..." paint all 16 entries with one view, whatever the sector holds.
void PaintAllEntries(WindowModel& model, void (*view)(WindowModel&, std::int16_t)) {
  for (std::int16_t e = 0; e <= 480; e = static_cast<std::int16_t>(e + 32)) view(model, e);
}

// "1st File List": show the first sector of the root directory and analyse it.
void mnuFileList_Click(WindowModel& model) {
  const std::int64_t root = model.state.geometry.RootDirEntrySector;
  model.SetText(model.At(kSectorBox), std::to_string(root));
  ShowSector(model);
  // When the read failed (its message has been shown) the grid still holds another
  // sector; a report of that one would pass for the root directory.
  const auto& shown = model.state.lastShown;
  if (!shown || shown->sector != root || shown->device != model.state.DevicePath) return;
  AnalyzeDirectorySector(model);
}

}  // namespace

void InstallDirEntry(WindowModel& model) {
  model.OnClick(kShortEntryView, [&model](int) { PaintAllEntries(model, ShortEntryView); });
  model.OnClick(kLongEntryView, [&model](int) { PaintAllEntries(model, LongEntryView); });
  model.OnClick(kCloseDirectory, [&model](int) { model.At(kDirectoryPanel).visible = false; });
  model.OnClick(kAnalyzeSector, [&model](int) { AnalyzeDirectorySector(model); });
  model.OnClick(kFileList, [&model](int) { mnuFileList_Click(model); });
}

}  // namespace dulvex
