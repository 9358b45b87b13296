// The handler of "File's Data" (see fat_tools.h).
#pragma once

#include "core/window_model.h"

namespace dulvex::fattools {

void mnuFileData_Click(WindowModel& model);

}  // namespace dulvex::fattools
