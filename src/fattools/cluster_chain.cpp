// "Cluster Chain": the chain from a cluster as a report of runs, each of which the user can
// choose to see its first sector; and the tooltips naming the FAT entry of each hex cell of
// a FAT sector.
#include "fattools/cluster_chain.h"

#include <array>

#include "fat/chain.h"
#include "fat/dir_entry.h"
#include "fattools/fat_session.h"
#include "sectorio/sector_io.h"
#include "view/sector_view.h"

namespace dulvex::fattools {

namespace {

std::string Count(std::uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The cluster to suggest: the shown sector's, else the first file of the last file list,
// else the first cluster of the root directory (FAT32) or cluster 2.
std::uint32_t SuggestedCluster(WindowModel& model, const fat::Layout& layout) {
  if (const auto shown = ShownCluster(model, layout)) return *shown;
  const FileList& files = model.state.files;
  for (int n = 1; n <= files.FileCount; ++n) {
    const std::uint8_t* e = &files.entries[static_cast<std::size_t>(n - 1) * fat::kDirEntryBytes];
    const std::uint32_t first = fat::FirstCluster(e, layout.kind);
    if (!fat::IsLongNamePiece(e) && e[0] != fat::kDeletedEntry && layout.IsCluster(first))
      return first;
  }
  return layout.kind == fat::FatKind::Fat32 && layout.IsCluster(layout.rootCluster)
             ? layout.rootCluster
             : 2;
}

// Describes entry n of FAT `fatIndex` for the tooltip of a byte it occupies.
std::string EntryTip(const fat::Layout& l, unsigned fatIndex, std::uint32_t n,
                     std::optional<std::uint32_t> value) {
  std::string tip = "FAT" + std::to_string(fatIndex + 1) + " entry " + std::to_string(n) + ": ";
  if (n < 2) return tip + "reserved";
  if (n > l.MaxCluster()) return tip + "beyond the last cluster";
  if (!value) return tip + "its other byte cannot be read";
  return tip + fat::EntryText({*value, fat::Classify(l.kind, *value, l.MaxCluster())});
}

}  // namespace

ChainReport BuildChainReport(const fat::FatTable& table, std::uint32_t start) {
  const fat::Layout& l = table.layout();
  fat::ChainFollower follower(table);
  std::vector<fat::Run> runs;
  const fat::ChainEnd end = follower.Walk(start, [&runs](std::uint32_t c) {
    if (!runs.empty() && runs.back().last() + 1 == c)
      ++runs.back().count;
    else
      runs.push_back({c, 1});
    return true;
  });
  ChainReport r;
  r.title = "Cluster Chain from cluster " + std::to_string(start);
  r.summary.push_back("Clusters: " + (runs.empty() ? "none" : fat::RangesText(runs, 50)));
  r.summary.push_back("Stopped: " + fat::StopText(end, l));
  r.summary.push_back(Count(end.length, "cluster", "clusters") + ", " +
                      Count(end.length * l.clusterBytes, "byte", "bytes"));
  for (const fat::Run& run : runs) {
    if (r.rows.size() == ChainReport::kMaxRows) {
      ++r.hiddenRows;
      continue;
    }
    std::string text = std::to_string(run.first);
    if (run.count > 1) text += "-" + std::to_string(run.last());
    const std::int64_t sector = l.ClusterSector(run.first);
    r.rows.push_back({text + " (" + Count(run.count, "cluster", "clusters") + "): sector " +
                          std::to_string(sector),
                      sector});
  }
  return r;
}

void mnuClusChain_Click(WindowModel& model) {
  const std::optional<fat::Layout> layout = UsableLayout(model, "Cluster Chain");
  if (!layout) return;
  const std::optional<std::uint32_t> start =
      AskCluster(model, *layout, "Cluster Chain: the first cluster of the chain.",
                 SuggestedCluster(model, *layout));
  if (!start) return;
  const std::shared_ptr<const fat::FatTable> table = CurrentFat(model, *layout);
  if (!table) return;
  FatToolsState& tools = FatToolsOf(model);
  tools.report = BuildChainReport(*table, *start);
  tools.report->device = model.state.DevicePath;
  tools.report->refreshes = model.state.refreshes;
  if (tools.host != nullptr) tools.host->Show(*tools.report);
}

void ShowFatEntries(WindowModel& model) {
  const auto& shown = model.state.lastShown;
  const fat::LayoutReading r = fat::LayoutOf(model.state.geometry);
  if (!shown || !r.layout || !model.state.geometryUsable) return;
  const fat::Layout& l = *r.layout;
  const std::optional<unsigned> k = l.FatOfSector(shown->sector);
  if (!k) return;
  // The sector's bytes with one byte of each neighbour, where a FAT12 entry may continue.
  std::array<std::uint8_t, 514> window{};
  std::copy(model.state.SectorBuffer.begin(), model.state.SectorBuffer.end(), window.begin() + 1);
  bool before = false, after = false;
  const std::uint64_t base = static_cast<std::uint64_t>(shown->sector - l.FatSector(*k)) * 512;
  if (l.kind == fat::FatKind::Fat12) {
    fat::MediumSource source;
    if (source.Open(device::DriveFile(model.state.drivesDir, model.state.DevicePath), IoOf(model))
            .ok()) {
      const std::uint64_t at = static_cast<std::uint64_t>(shown->sector) * 512;
      before = base > 0 && source.ReadAt(at - 1, std::span(window).first(1)).ok();
      after = source.ReadAt(at + 512, std::span(window).last(1)).ok();
    }
  }
  const unsigned width = fat::BytesOfEntry(l.kind);
  for (std::size_t i = 0; i < 512; ++i) {
    const fat::EntriesOfByte entries = fat::EntriesOfFatByte(l.kind, base + i);
    std::string& tip = model.Label3[i]->tooltip;
    for (int j = 0; j < entries.count; ++j) {
      const std::uint32_t n = entries.first + static_cast<std::uint32_t>(j);
      // Index in `window` of the entry's first byte.
      const std::int64_t at = static_cast<std::int64_t>(fat::FirstByteOfEntry(l.kind, n)) -
                              static_cast<std::int64_t>(base) + 1;
      const bool whole = (at >= 1 || before) && (at + width - 1 <= 512 || after);
      tip += "\n" + EntryTip(l, *k, n,
                             whole ? std::optional(fat::EntryValueAt(l.kind, n, &window[at]))
                                   : std::nullopt);
    }
  }
}

}  // namespace dulvex::fattools

namespace dulvex {

std::string ChainReportText(const ChainReport& report) {
  std::string text = report.title;
  for (const std::string& line : report.summary) text += "\n" + line;
  for (const ChainRow& row : report.rows) text += "\n" + row.text;
  if (report.hiddenRows > 0)
    text += "\n... and " + std::to_string(report.hiddenRows) + " more runs";
  return text;
}

bool ChooseChainRun(WindowModel& model, std::size_t row) {
  if (model.busy) return false;
  const std::optional<ChainReport>& report = FatToolsOf(model).report;
  if (!report || row >= report->rows.size()) return false;
  if (report->device != model.state.DevicePath || report->refreshes != model.state.refreshes) {
    model.prompter().MessageBox(
        "This Cluster Chain report belongs to an earlier reading of the volume; make it again.",
        kStyleExclamation, AppTitle());
    return false;
  }
  model.SetText(model.At(kSectorBox), std::to_string(report->rows[row].firstSector));
  ShowSector(model);
  return true;
}

}  // namespace dulvex
