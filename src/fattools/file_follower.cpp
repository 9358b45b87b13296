// "File Follower": "<" and ">" step through a file's or directory's sectors in chain order,
// Text21 shows the true sector number and Label53 the position in the file.
#include "fattools/file_follower.h"

#include "base/numbers.h"
#include "fattools/fat_session.h"
#include "sectorio/sector_io.h"
#include "view/landmarks.h"
#include "view/sector_view.h"

namespace dulvex::fattools {

namespace {

std::uint64_t SectorCount(const Following& f) {
  return f.clusters.empty() ? static_cast<std::uint64_t>(f.fixedSectors)
                            : f.clusters.size() * std::uint64_t{f.sectorsPerCluster};
}

std::int64_t SectorAt(const Following& f, const fat::Layout& l, std::uint64_t at) {
  if (f.clusters.empty()) return f.fixedFirst + static_cast<std::int64_t>(at);
  return l.ClusterSector(f.clusters[at / f.sectorsPerCluster]) +
         static_cast<std::int64_t>(at % f.sectorsPerCluster);
}

// "NAME.TXT: cluster 1234 (3 of 17), sector 2 of 4".
std::string Position(const Following& f) {
  if (f.clusters.empty())
    return f.name + ": sector " + std::to_string(f.at + 1) + " of " +
           std::to_string(f.fixedSectors);
  const std::uint64_t c = f.at / f.sectorsPerCluster;
  return f.name + ": cluster " + std::to_string(f.clusters[c]) + " (" + std::to_string(c + 1) +
         " of " + std::to_string(f.clusters.size()) + "), sector " +
         std::to_string(f.at % f.sectorsPerCluster + 1) + " of " +
         std::to_string(f.sectorsPerCluster);
}

void Show(WindowModel& model, const fat::Layout& l) {
  Following& f = FatToolsOf(model).following;
  f.sector = SectorAt(f, l, f.at);
  f.stepping = true;
  model.SetText(model.At(kSectorBox), std::to_string(f.sector));
  ShowSector(model);
  f.stepping = false;
  model.At(kLandmarkName).caption = Position(f);
}

void EndFollowing(WindowModel& model) {
  Following& f = FatToolsOf(model).following;
  if (!f.active) return;
  f = {};
  model.At(kLandmarkName).caption =
      LandmarkName(model.state, ToInt32(NumericValue(model.At(kSectorBox).caption)));
}

// The "<"/">" hook; step 0 is the sector box changed or entered by anyone but the follower.
bool Step(WindowModel& model, int step) {
  Following& f = FatToolsOf(model).following;
  if (!f.active || f.stepping) return false;
  const fat::LayoutReading r = fat::LayoutOf(model.state.geometry);
  const bool moved = NumericValue(model.At(kSectorBox).caption) != static_cast<double>(f.sector);
  if (step == 0 || !r.layout || !model.state.geometryUsable || moved ||
      f.refreshes != model.state.refreshes) {
    EndFollowing(model);
    return false;
  }
  const std::uint64_t count = SectorCount(f);
  if ((step < 0 && f.at == 0) || (step > 0 && f.at + 1 >= count)) return true;  // stays
  f.at = step < 0 ? f.at - 1 : f.at + 1;
  Show(model, *r.layout);
  return true;
}

}  // namespace

void mnuFileFollow_Click(WindowModel& model) {
  const std::optional<fat::Layout> layout = UsableLayout(model, "File Follower");
  if (!layout) return;
  const std::optional<FileTarget> target = AskFile(model, *layout, "File Follower");
  if (!target) return;
  Following f;
  f.name = target->name;
  f.sectorsPerCluster = layout->sectorsPerCluster;
  f.refreshes = model.state.refreshes;
  if (target->fixedRoot) {
    f.fixedFirst = layout->rootSector;
    f.fixedSectors = layout->rootSectors;
  } else if (!layout->IsCluster(target->firstCluster)) {
    model.prompter().MessageBox(target->name + " has no first cluster (" +
                                    std::to_string(target->firstCluster) + "): nothing to follow.",
                                kStyleExclamation, AppTitle());
    return;
  } else if (target->deleted) {
    const std::uint64_t wanted = std::max<std::uint64_t>(
        1, (std::uint64_t{target->size} + layout->clusterBytes - 1) / layout->clusterBytes);
    const std::uint64_t count =
        std::min<std::uint64_t>(wanted, layout->MaxCluster() - target->firstCluster + 1);
    for (std::uint64_t i = 0; i < count; ++i)
      f.clusters.push_back(target->firstCluster + static_cast<std::uint32_t>(i));
    model.prompter().MessageBox(
        target->name + " is deleted: it is followed over " + std::to_string(count) +
            (count == 1 ? " cluster" : " consecutive clusters") + " from cluster " +
            std::to_string(target->firstCluster) +
            ", as far as its length reaches. This is an assumption: a deleted file's clusters "
            "are usually consecutive, but they may have been used again since.",
        kStyleOk, AppTitle());
  } else {
    const std::shared_ptr<const fat::FatTable> table = CurrentFat(model, *layout);
    if (!table) return;
    fat::ChainFollower follower(*table);
    fat::ChainEnd end;
    f.clusters = follower.Follow(target->firstCluster, &end);
    if (f.clusters.empty()) {
      model.prompter().MessageBox(
          target->name + ": nothing to follow, its chain " + fat::StopText(end, *layout) + ".",
          kStyleExclamation, AppTitle());
      return;
    }
  }
  if (SectorCount(f) == 0) return;
  f.active = true;
  FatToolsOf(model).following = std::move(f);
  Show(model, *layout);
}

void InstallFileFollower(WindowModel& model) {
  model.stepOverride = [&model](int step) { return Step(model, step); };
  // A refresh ends the following: the volume may have changed under it.
  model.onSectorShown.emplace_back([&model] {
    const Following& f = FatToolsOf(model).following;
    if (f.active && !f.stepping && f.refreshes != model.state.refreshes) EndFollowing(model);
  });
}

}  // namespace dulvex::fattools
