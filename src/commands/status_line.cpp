#include "commands/status_line.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>

#include "commands/write_commands.h"
#include "core/form1_design.h"
#include "device/sector_device.h"
#include "fat/byte_source.h"
#include "fat/fat_table.h"
#include "fat/layout.h"
#include "fat/owner_map.h"
#include "fat/tree.h"
#include "fattools/fat_tools.h"
#include "sectorio/sector_io.h"

namespace dulvex {

namespace {

constexpr std::uint64_t kSector = 512;
// Candidates of the journal looked at for the Undo part: the newest write is nearly always
// the one, and a few sector reads at most keep the line quick.
constexpr int kUndoBudget = 4;

std::string Hex(std::uint64_t v) {
  char hex[24];
  std::snprintf(hex, sizeof hex, "0x%llX", static_cast<unsigned long long>(v));
  return hex;
}

// Long work with a deadline instead of a Cancel button.
class Deadline : public WorkProgress {
 public:
  explicit Deadline(int ms)
      : until_(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms)) {}
  void Report(std::uint64_t, std::uint64_t) override {}
  bool Cancelled() const override { return std::chrono::steady_clock::now() > until_; }

 private:
  std::chrono::steady_clock::time_point until_;
};

// One reading of the volume: device, refresh and write counts, code page.
struct Reading {
  std::string device;
  std::uint64_t refreshes = 0, writeAttempts = 0;
  OemCodePage codePage = kDefaultOemCodePage;
  bool operator==(const Reading&) const = default;
};

Reading ReadingOf(const AppState& s) {
  return {s.DevicePath, s.refreshes, s.writeAttempts, s.codePage};
}

// What the line keeps of one reading: the owner map and the names of its owners.
struct Owners {
  Reading reading;
  bool tried = false;   // the map was read, or could not be, for this reading
  std::string problem;  // why there is none
  std::shared_ptr<const fat::FatTable> fat;
  std::shared_ptr<const fat::Tree> tree;
  std::shared_ptr<const fat::OwnerMap> map;
  std::shared_ptr<fat::MediumSource> source;  // for the long names
  std::map<std::uint32_t, std::string> paths;
};

struct StatusState {
  Owners owners;
  std::optional<Reading> undoReading;
  std::optional<std::int64_t> undoSector;
};

// The FAT tools' map when they have read this reading already; else one read here, quietly
// and within the budget.
void ReadOwners(WindowModel& model, const fat::Layout& layout, Owners& o) {
  o.tried = true;
  const FatCache& tools = FatToolsOf(model).cache;
  o.source = std::make_shared<fat::MediumSource>();
  if (!o.source->Open(device::DriveFile(model.state.drivesDir, model.state.DevicePath), IoOf(model))
           .ok()) {
    o.problem = "the volume cannot be opened";
    return;
  }
  if (tools.device == o.reading.device && tools.refreshes == o.reading.refreshes &&
      tools.writeAttempts == o.reading.writeAttempts && tools.codePage == o.reading.codePage &&
      tools.owners && tools.tree && tools.fat) {
    o.fat = tools.fat;
    o.tree = tools.tree;
    o.map = tools.owners;
    return;
  }
  Deadline budget(kOwnerReadBudgetMs);
  fat::FatLoad loaded = fat::LoadFat(*o.source, layout, layout.activeFat, &budget);
  if (!loaded.table) {
    o.problem =
        loaded.cancelled ? "owners not read: a large FAT" : "owners unknown: the FAT does not read";
    return;
  }
  auto table = std::make_shared<const fat::FatTable>(std::move(*loaded.table));
  auto tree =
      std::make_shared<fat::Tree>(fat::WalkTree(*o.source, *table, &budget, model.state.codePage));
  std::optional<fat::OwnerMap> map;
  if (!tree->cancelled) map = fat::OwnerMap::Build(*tree, *table, &budget);
  if (!map) {
    o.problem = "owners not read: a large tree (Find File Cluster reads it)";
    return;
  }
  o.fat = std::move(table);
  o.tree = std::move(tree);
  o.map = std::make_shared<const fat::OwnerMap>(std::move(*map));
}

const std::string& PathOf(WindowModel& model, Owners& o, std::uint32_t node) {
  auto it = o.paths.find(node);
  if (it == o.paths.end()) {
    fat::TreeNames names(*o.tree, *o.source, model.state.codePage);
    it = o.paths.emplace(node, names.Path(node)).first;
  }
  return it->second;
}

// "Sector 45 → cluster 13 → /HELLO.TXT (1 of 2)"; "" before any sector was shown.
std::string OwnerLine(WindowModel& model, Owners& o) {
  const AppState& s = model.state;
  if (!s.lastShown || s.lastShown->device != s.DevicePath) return "";
  const std::int64_t sector = s.lastShown->sector;
  std::string text = "Sector " + std::to_string(sector);
  if (!s.geometryUsable) return text;
  const fat::LayoutReading r = fat::LayoutOf(s.geometry);
  if (!r.layout) return text;
  const std::optional<std::uint32_t> cluster = r.layout->ClusterOfSector(sector);
  if (!cluster) {
    const fat::Layout& l = *r.layout;
    if (const std::optional<unsigned> fat = l.FatOfSector(sector))
      return text + " → FAT" + std::to_string(*fat + 1);
    if (l.rootSectors > 0 && sector >= l.rootSector && sector < l.rootSector + l.rootSectors)
      return text + " → root directory";
    if (sector < l.fat1Sector) return text + " → reserved sectors";
    return text +
           (sector < l.firstDataSector ? " → before the data region" : " → past the last cluster");
  }
  text += " → cluster " + std::to_string(*cluster);
  const Reading now = ReadingOf(s);
  if (!(o.reading == now)) {
    o = Owners();
    o.reading = now;
  }
  if (!o.tried) ReadOwners(model, *r.layout, o);
  if (!o.map) return text + (o.problem.empty() ? "" : " (" + o.problem + ")");
  const fat::Owner owner = o.map->Query(*o.fat, *cluster);
  switch (owner.kind) {
    case fat::Owner::Kind::File: {
      text += " → " + PathOf(model, o, owner.node) + " (" + std::to_string(owner.position) +
              " of " + std::to_string(owner.chainLength) + ")";
      if (!owner.others.empty()) text += ", cross-linked";
      return text;
    }
    case fat::Owner::Kind::Free:
      return text + " → free";
    case fat::Owner::Kind::Bad:
      return text + " → marked bad";
    case fat::Owner::Kind::Lost:
      return text + " → lost (allocated, in no file)";
    case fat::Owner::Kind::Reserved:
      return text + " → reserved";
    case fat::Owner::Kind::NotACluster:
      break;
  }
  return text;
}

std::string UndoText(WindowModel& model, StatusState& st) {
  const AppState& s = model.state;
  if (s.DevicePath.empty()) return "";
  const Reading now = ReadingOf(s);
  if (!st.undoReading || !(*st.undoReading == now)) {
    st.undoReading = now;
    st.undoSector = UndoableSector(model, s.DevicePath, kUndoBudget);
  }
  if (!st.undoSector) return "";
  return "Undo: sector " + std::to_string(*st.undoSector) + " on " + s.DevicePath;
}

// "Pointer 0x2603 (9731)   Selection 0x2600-0x260F (9728-9743), 16 bytes"; "Cursor ..." once
// the cell cursor moved after the pointer.
std::string PlaceLine(WindowModel& model) {
  const AppState& s = model.state;
  if (!s.lastShown || s.lastShown->device != s.DevicePath || s.lastShown->sector < 0) return "";
  const std::uint64_t base = static_cast<std::uint64_t>(s.lastShown->sector) * kSector;
  // The cursor when it moved last, else the pointer.
  std::string text =
      s.cursorLeads ? "Cursor " + OffsetText(base + static_cast<std::uint64_t>(s.cursor))
                    : "Pointer " + OffsetText(base + static_cast<std::uint64_t>(s.LastHoverIndex));
  int first = -1, last = -1, count = 0;
  for (int i = 0; i < 512; ++i) {
    if (model.Label55[static_cast<std::size_t>(i)]->back != TextMarkedColour) continue;
    if (first < 0) first = i;
    last = i;
    ++count;
  }
  if (count == 0) return text + "   Selection: none";
  const std::uint64_t a = base + static_cast<std::uint64_t>(first);
  const std::uint64_t b = base + static_cast<std::uint64_t>(last);
  text += "   Selection " + (a == b ? OffsetText(a)
                                    : Hex(a) + "-" + Hex(b) + " (" + std::to_string(a) + "-" +
                                          std::to_string(b) + ")");
  text += ", " + std::to_string(count) + (count == 1 ? " byte" : " bytes");
  if (count != last - first + 1) text += " (not in one run)";
  return text;
}

}  // namespace

std::string OffsetText(std::uint64_t offset) {
  return Hex(offset) + " (" + std::to_string(offset) + ")";
}

void InstallStatusLine(WindowModel& model) {
  auto st = std::make_shared<StatusState>();
  const auto update = [&model, st] {
    model.At(kStatusLine[kStatusPlace]).caption = PlaceLine(model);
    std::string owner = OwnerLine(model, st->owners);
    const std::string undo = UndoText(model, *st);
    if (!undo.empty()) owner += (owner.empty() ? "" : "   ") + undo;
    model.At(kStatusLine[kStatusOwner]).caption = owner;
    Control& result = model.At(kStatusLine[kStatusResult]);
    result.caption = model.state.lastResult;
    result.tooltip = model.state.lastResult;  // the whole of a long message
  };
  model.afterEvent.emplace_back(update);
}

}  // namespace dulvex
