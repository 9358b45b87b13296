#include "commands/find_name.h"

#include <algorithm>
#include <array>
#include <limits>

#include "base/casefold.h"
#include "base/codepage.h"
#include "base/numbers.h"
#include "buffer/buffer.h"
#include "core/controls.h"
#include "core/form1_design.h"
#include "fat/dir_entry.h"
#include "fattools/fat_session.h"
#include "fattools/fat_tools.h"
#include "view/sector_view.h"

namespace dulvex::search {

namespace {

constexpr const char* kTitle = "Find Name";

std::u32string Folded(std::string_view utf8) {
  std::u32string folded;
  for (const char32_t c : DecodeUtf8(utf8)) folded += FoldCase(c);
  return folded;
}

void Show(WindowModel& model, const NameHit& hit) {
  if (hit.sector < 0 || hit.sector > std::numeric_limits<std::int32_t>::max()) {
    model.prompter().MessageBox(HitText(hit) + ": the grid shows sectors up to 2147483647 only.",
                                kStyleExclamation, kTitle);
    return;
  }
  model.SetText(model.At(kSectorBox), CanonicalText(static_cast<double>(hit.sector)));
  ShowSector(model);
  const auto& shown = model.state.lastShown;
  if (!shown || shown->sector != hit.sector || shown->device != model.state.DevicePath) return;
  ResetSelection(model);
  for (std::size_t i = hit.offset; i < std::min<std::size_t>(hit.offset + 32u, 512); ++i) {
    model.Label3[i]->back = HexMarkedColour;
    model.Label55[i]->back = TextMarkedColour;
  }
}

}  // namespace

std::vector<NameHit> FindNames(const fat::Tree& tree, fat::TreeNames& names, std::string_view text,
                               OemCodePage page) {
  const std::u32string needle = Folded(text);
  std::vector<NameHit> hits;
  if (needle.empty()) return hits;
  for (std::uint32_t i = 1; i < tree.nodes.size(); ++i) {
    const fat::Node& n = tree.nodes[i];
    const std::optional<fat::EntryPlace> place = fat::PlaceOf(tree, i);
    if (!place) continue;
    std::array<std::uint8_t, fat::kDirEntryBytes> entry{};  // the short name and its case flags
    std::copy(n.shortName.begin(), n.shortName.end(), entry.begin());
    entry[12] = n.lowerCase;
    const bool found =
        Folded(names.Name(i)).find(needle) != std::u32string::npos ||
        Folded(fat::ShortNameText(entry.data(), page)).find(needle) != std::u32string::npos;
    if (found)
      hits.push_back(
          {i, names.Path(i), place->sector, static_cast<std::uint16_t>(place->offset), n.deleted});
  }
  return hits;
}

std::string HitText(const NameHit& hit) {
  return hit.path + (hit.deleted ? " (deleted)" : "") + ": sector " + std::to_string(hit.sector) +
         ", offset " + std::to_string(hit.offset);
}

void FindName(WindowModel& model, FindAsker& asker, const std::string& text) {
  const std::optional<fat::Layout> layout = fattools::UsableLayout(model, kTitle);
  if (!layout || !fattools::CurrentTree(model, *layout).ok()) return;
  const fat::Tree& tree = *FatToolsOf(model).cache.tree;
  fat::MediumSource source;
  if (!fattools::OpenMedium(model, source).ok()) return;
  fat::TreeNames names(tree, source, model.state.codePage);
  const std::vector<NameHit> hits = FindNames(tree, names, text, model.state.codePage);
  if (hits.empty()) {
    model.prompter().MessageBox("No file or directory name holds \"" + text + "\".", kStyleOk,
                                kTitle);
    return;
  }
  std::vector<std::string> items;
  items.reserve(hits.size());
  for (const NameHit& hit : hits) items.push_back(HitText(hit));
  const std::string prompt = std::to_string(hits.size()) +
                             (hits.size() == 1 ? " name holds \"" : " names hold \"") + text +
                             "\". Choose one to show its directory entry.";
  if (const std::optional<std::size_t> chosen = asker.Choose(prompt, items))
    Show(model, hits[*chosen]);
}

}  // namespace dulvex::search
