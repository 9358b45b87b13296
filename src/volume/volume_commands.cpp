#include "volume/volume_commands.h"

#include "base/numbers.h"
#include "sectorio/sector_io.h"
#include "view/sector_view.h"
#include "volume/boot_refresh.h"
#include "volume/volume_panel_design.h"

namespace dulvex {

void mnuGoto_Cluster_Click(WindowModel& model) {
  if (!model.state.geometryUsable) return;
  const VolumeGeometry& g = model.state.geometry;
  // Clusters are numbered from 2; the last one is CountofClusters + 1.
  const double last = static_cast<double>(g.CountofClusters) + 1;
  const std::optional<double> cluster =
      AskWholeNumber(model, "Insert Cluster Number", AppTitle(), 2, last, "2");
  if (!cluster) return;  // Cancel ends the question without moving
  const double sector =
      static_cast<double>(g.BPB_SecPerClus) * *cluster + static_cast<double>(g.Cluster0Sector);
  model.SetText(model.At(kSectorBox), CanonicalText(sector));
  ShowSector(model);
}

void mnuVolDa_Click(WindowModel& model) {
  model.At(kBufferPanel).visible = false;
  model.At(kVolumePanel).visible = true;
}

void InstallVolume(WindowModel& model) {
  EnableGeometryTools(model);  // off until a refresh gives a usable geometry
  model.OnClick(kGotoCluster, [&model](int) { mnuGoto_Cluster_Click(model); });
  model.OnClick(kVolumeData, [&model](int) { mnuVolDa_Click(model); });
}

}  // namespace dulvex
