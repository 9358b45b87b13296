// The volume subsystem's commands: "Go to Cluster" (TOOLS) and "MBR Data" (menu bar), and
// its installation into the main window.
#pragma once

#include "core/window_model.h"

namespace dulvex {

// "Go to Cluster": asks for a cluster number and shows the cluster's first sector. A number
// outside the volume's clusters, 2 to CountofClusters + 1, is asked again; Cancel ends the
// command without moving. Needs a usable geometry.
void mnuGoto_Cluster_Click(WindowModel& model);

// "MBR Data": hides the copy-buffer panel and shows the "Volume Informations" panel again.
void mnuVolDa_Click(WindowModel& model);

// Adds the panel's controls and registers the two commands.
void InstallVolume(WindowModel& model);

}  // namespace dulvex
