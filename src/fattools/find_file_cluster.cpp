// "Find File Cluster": whose cluster is this? The tree is walked once per refresh into the
// owner map, so every later question answers at once.
#include "fattools/find_file_cluster.h"

#include "fattools/fat_session.h"
#include "sectorio/sector_io.h"

namespace dulvex::fattools {

std::string OwnerText(fat::TreeNames& names, const fat::FatTable& table, const fat::Owner& o,
                      std::uint32_t cluster) {
  const std::string name = "Cluster " + std::to_string(cluster);
  // The chains that run into a free or bad cluster and stop there.
  auto runInto = [&] {
    std::string text;
    for (const auto& [node, from] : o.runInto)
      text +=
          " The chain of " + names.Path(node) +
          (from == 0 ? " starts there" : " points into it from cluster " + std::to_string(from)) +
          " and stops there.";
    return text;
  };
  switch (o.kind) {
    case fat::Owner::Kind::File: {
      std::string text = name + " belongs to " + names.Path(o.node) + ": cluster " +
                         std::to_string(o.position) + " of " + std::to_string(o.chainLength) +
                         " of its chain.";
      for (const auto& [node, position] : o.others)
        text += " It is also cluster " + std::to_string(position) + " of the chain of " +
                names.Path(node) + " (cross-linked).";
      if (table.At(cluster).kind == fat::EntryKind::Reserved)
        text += " Its FAT entry is " + fat::EntryText(table.At(cluster)) +
                ", taken as the end of the chain.";
      return text;
    }
    case fat::Owner::Kind::Free:
      return name + " is free." + runInto();
    case fat::Owner::Kind::Bad:
      return name + " is marked bad." + runInto();
    case fat::Owner::Kind::Lost:
      return name + " is lost: allocated (its FAT entry: " + fat::EntryText(table.At(cluster)) +
             "), but in no file's chain.";
    case fat::Owner::Kind::Reserved:
      return name + " is in no file's chain; its FAT entry holds a reserved value.";
    case fat::Owner::Kind::NotACluster:
      break;
  }
  return name + " is not a data cluster of this volume.";
}

void mnuFFind_Click(WindowModel& model) {
  const std::optional<fat::Layout> layout = UsableLayout(model, "Find File Cluster");
  if (!layout) return;
  const std::optional<std::uint32_t> cluster =
      AskCluster(model, *layout, "Find File Cluster: the cluster whose owner to find.",
                 ShownCluster(model, *layout));
  if (!cluster || !CurrentTree(model, *layout).ok()) return;
  const FatCache& cache = FatToolsOf(model).cache;
  fat::MediumSource source;
  if (!OpenMedium(model, source).ok()) return;
  fat::TreeNames names(*cache.tree, source, model.state.codePage);
  std::string text =
      OwnerText(names, *cache.fat, cache.owners->Query(*cache.fat, *cluster), *cluster);
  if (cache.tree->problemCount > 0)
    text += "\n\nThe walk of the directories met " + std::to_string(cache.tree->problemCount) +
            (cache.tree->problemCount == 1 ? " problem" : " problems") +
            ", so owners may be missing; the first: " + cache.tree->problems.front() + ".";
  model.prompter().MessageBox(text, kStyleOk, AppTitle());
}

}  // namespace dulvex::fattools
