// The boot-sector refresh: reads sector 0 of the chosen device, decodes it into the volume
// geometry, fills the "Volume Informations" panel, enables navigation and TOOLS and shows the
// current sector. A device that cannot be read turns navigation off; a readable sector that
// is not a FAT volume the program can analyse keeps navigation on (a damaged boot sector is
// repaired by showing and pasting sectors) but turns off the tools that need the geometry.
#pragma once

#include "core/window_model.h"

namespace dulvex {

// The click action of the hidden button Command3 "REFRESH Master Boot Record", started by
// the Volume menu.
void Command3_Click(WindowModel& model);

// The TOOLS items that work from the volume's FAT geometry.
inline constexpr ControlId kGeometryTools[] = {kGotoCluster,  kFileList,        kFileFollower,
                                               kClusterChain, kFindFileCluster, kFileData};

// Enables the geometry tools exactly when state.geometryUsable is set. The one place that
// switches them.
void EnableGeometryTools(WindowModel& model);

}  // namespace dulvex
