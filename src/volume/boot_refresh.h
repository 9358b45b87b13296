// The boot-sector refresh: reads sector 0 of the chosen device, decodes it into the volume
// geometry, fills the "Volume Informations" panel, and on success enables navigation and
// TOOLS and shows the current sector.
#pragma once

#include "app/window_model.h"

namespace dulvex {

// The click action of the hidden button Command3 "REFRESH Master Boot Record", started by
// the Volume menu.
void Command3_Click(WindowModel& model);

}  // namespace dulvex
