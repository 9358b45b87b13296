// The handler of "Find File Cluster" (see fat_tools.h).
#pragma once

#include <string>

#include "core/window_model.h"
#include "fat/owner_map.h"

namespace dulvex::fattools {

// "Cluster 1234 belongs to /DIR/FILE.TXT: cluster 3 of 17 of its chain.", "... is free." and
// the other answers.
std::string OwnerText(fat::TreeNames& names, const fat::FatTable& table, const fat::Owner& owner,
                      std::uint32_t cluster);

void mnuFFind_Click(WindowModel& model);

}  // namespace dulvex::fattools
