// The TOOLS items built on the FAT engine: "Cluster Chain", "File Follower", "Find File
// Cluster" and "File's Data", and the tooltips of the hex cells of a FAT sector. Their state
// (what was read of the volume, the chain report, the file being followed) lives in
// FatToolsState; the Qt layer only shows the chain report.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/window_model.h"
#include "fat/fat_table.h"
#include "fat/owner_map.h"
#include "fat/tree.h"

namespace dulvex {

// One run of consecutive clusters of the chain report, which the user can choose.
struct ChainRow {
  std::string text;  // "2-17 (16 clusters): sector 33"
  std::int64_t firstSector = 0;
};

struct ChainReport {
  std::string title;                 // "Cluster Chain from cluster 2"
  std::vector<std::string> summary;  // the ranges, why the chain stopped, the counts
  std::vector<ChainRow> rows;        // the first kMaxRows runs
  std::uint64_t hiddenRows = 0;      // runs beyond those
  // The reading of the volume the report belongs to.
  std::string device;
  std::uint64_t refreshes = 0;
  static constexpr std::size_t kMaxRows = 100000;
};

// The whole report as one text: title, summary lines, then one line per run.
std::string ChainReportText(const ChainReport& report);

// Where the chain report is shown: the Qt window, or nothing in tests.
class ChainReportHost {
 public:
  virtual ~ChainReportHost() = default;
  virtual void Show(const ChainReport& report) = 0;
};

// What was read of the volume, kept until the next refresh or write.
struct FatCache {
  std::string device;
  std::uint64_t refreshes = 0, writeAttempts = 0;
  OemCodePage codePage = kDefaultOemCodePage;  // of the names in the tree's problems
  std::shared_ptr<const fat::FatTable> fat;
  std::shared_ptr<const fat::Tree> tree;
  std::shared_ptr<const fat::OwnerMap> owners;
};

// A file or directory being followed sector by sector with "<" and ">".
struct Following {
  bool active = false;
  std::string name;
  // Clusters in chain order; empty for the fixed root directory of FAT12/FAT16, which is
  // `fixedSectors` sectors from `fixedFirst`.
  std::vector<std::uint32_t> clusters;
  std::int64_t fixedFirst = 0, fixedSectors = 0;
  std::uint32_t sectorsPerCluster = 1;
  std::uint64_t at = 0;     // sector index within the file
  std::int64_t sector = 0;  // the sector number shown for `at`
  std::uint64_t refreshes = 0;
  bool stepping = false;  // the follower itself is changing the sector box
};

struct FatToolsState {
  FatCache cache;
  std::optional<ChainReport> report;
  ChainReportHost* host = nullptr;
  Following following;
  // Keeps the code page the user chose for later starts (the Qt layer's settings); nothing
  // in tests.
  std::function<void(OemCodePage)> keepCodePage;
};

// The state of the model's FAT tools (made by InstallFatTools).
FatToolsState& FatToolsOf(WindowModel& model);

// Enables the four TOOLS items and registers their handlers, the "<"/">" hook of the file
// follower, the FAT-sector tooltips, and File > Short-Name Code Page.
void InstallFatTools(WindowModel& model);

// Chooses run `row` of the chain report: shows its first sector. False when there is no
// such row, or the report belongs to an earlier reading of the volume (said in a box).
bool ChooseChainRun(WindowModel& model, std::size_t row);

}  // namespace dulvex
