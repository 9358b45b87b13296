// The handlers of "File Follower" (see fat_tools.h).
#pragma once

#include "core/window_model.h"

namespace dulvex::fattools {

void mnuFileFollow_Click(WindowModel& model);

// Installs the "<"/">" hook and ends the following after a refresh.
void InstallFileFollower(WindowModel& model);

}  // namespace dulvex::fattools
