// File > "Short-Name Code Page…": which OEM code page FAT short names are read in.
#pragma once

#include "core/window_model.h"

namespace dulvex::fattools {

void mnuCodePage_Click(WindowModel& model);

}  // namespace dulvex::fattools
