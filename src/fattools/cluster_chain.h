// The handlers of "Cluster Chain" and of the FAT-sector tooltips (see fat_tools.h).
#pragma once

#include "fat/fat_table.h"
#include "fattools/fat_tools.h"

namespace dulvex::fattools {

// The report of the chain from `start`.
ChainReport BuildChainReport(const fat::FatTable& table, std::uint32_t start);

void mnuClusChain_Click(WindowModel& model);

// After a sector of a FAT is shown: each hex cell's tooltip also names the entry (or, for a
// FAT12 byte shared by two, both entries) its byte belongs to.
void ShowFatEntries(WindowModel& model);

}  // namespace dulvex::fattools
