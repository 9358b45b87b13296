// "Find File Cluster": whose cluster is this? The tree is walked once per refresh into the
// owner map, so every later question answers at once.
#include "fattools/find_file_cluster.h"

#include "fattools/fat_session.h"
#include "sectorio/sector_io.h"

namespace dulvex::fattools {

std::string OwnerText(const fat::Tree& tree, const fat::FatTable& table, const fat::Owner& o,
                      std::uint32_t cluster) {
  const std::string name = "Cluster " + std::to_string(cluster);
  switch (o.kind) {
    case fat::Owner::Kind::File: {
      std::string text = name + " belongs to " + fat::PathOf(tree, o.node) + ": cluster " +
                         std::to_string(o.position) + " of " + std::to_string(o.chainLength) +
                         " of its chain.";
      for (const auto& [node, position] : o.others)
        text += " It is also cluster " + std::to_string(position) + " of the chain of " +
                fat::PathOf(tree, node) + " (cross-linked).";
      if (table.At(cluster).kind == fat::EntryKind::Bad) text += " It is marked bad.";
      return text;
    }
    case fat::Owner::Kind::Free:
      return name + " is free.";
    case fat::Owner::Kind::Bad:
      return name + " is bad.";
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
  if (!cluster || !CurrentTree(model, *layout)) return;
  const FatCache& cache = FatToolsOf(model).cache;
  std::string text =
      OwnerText(*cache.tree, *cache.fat, cache.owners->Query(*cache.fat, *cluster), *cluster);
  if (cache.tree->problemCount > 0)
    text += "\n\nThe walk of the directories met " + std::to_string(cache.tree->problemCount) +
            (cache.tree->problemCount == 1 ? " problem" : " problems") +
            ", so owners may be missing; the first: " + cache.tree->problems.front() + ".";
  model.prompter().MessageBox(text, kStyleOk, AppTitle());
}

}  // namespace dulvex::fattools
