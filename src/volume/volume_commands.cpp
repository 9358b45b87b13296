#include "volume/volume_commands.h"

#include "app/sector_io.h"
#include "view/numbers.h"
#include "view/sector_view.h"
#include "volume/volume_panel_design.h"

namespace dulvex {

void mnuGoto_Cluster_Click(WindowModel& model) {
  const VolumeGeometry& g = model.state.geometry;
  double cluster = 0;
  for (;;) {
    const std::string reply = model.prompter().InputBox("Insert Cluster Number.", AppTitle(), "0");
    cluster = NumericValue(reply);
    if (cluster < static_cast<double>(g.CountofClusters)) break;
    // Cancel gives an empty reply; asking again would leave no way out when no cluster
    // number is accepted (a cluster count of 0 or less).
    if (reply.empty()) return;
  }
  const double sector =
      static_cast<double>(g.BPB_SecPerClus) * cluster + static_cast<double>(g.Cluster0Sector);
  model.SetText(model.At("Text21"), CanonicalText(sector));
  ShowSector(model);
}

void mnuVolDa_Click(WindowModel& model) {
  model.At("Frame6").visible = false;
  model.At("Frame1").visible = true;
}

void InstallVolume(WindowModel& model) {
  AddVolumePanelDesign(model);
  model.OnClick("mnuGoto_Cluster", [&model](int) { mnuGoto_Cluster_Click(model); });
  model.OnClick("mnuVolDa", [&model](int) { mnuVolDa_Click(model); });
}

}  // namespace dulvex
