// "Find String" as Find Name: the typed text is looked for, in any case (Unicode), in the long
// and the short names of every entry of the volume's directory tree, deleted entries too, so a
// long name stored in pieces over several entries is found whole. The hits are listed with
// their paths; the one chosen shows its directory sector with the entry's 32 bytes selected.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "commands/find_command.h"
#include "fat/tree.h"

namespace dulvex::search {

struct NameHit {
  std::uint32_t node = 0;
  std::string path;
  std::int64_t sector = 0;  // the short entry's sector and byte offset in it
  std::uint16_t offset = 0;
  bool deleted = false;
};

// The entries whose long or short name (read in `page`) holds `text` in any case, in the
// tree's order.
std::vector<NameHit> FindNames(const fat::Tree& tree, fat::TreeNames& names, std::string_view text,
                               OemCodePage page);

// "/DOCS/Quarterly report.txt: sector 1234, offset 64", with " (deleted)" after the path.
std::string HitText(const NameHit& hit);

// Walks the tree (or takes the one the FAT tools read since the last refresh), lists the hits
// through `asker` and shows the chosen one; says so in a box when there is none.
void FindName(WindowModel& model, FindAsker& asker, const std::string& text);

}  // namespace dulvex::search
