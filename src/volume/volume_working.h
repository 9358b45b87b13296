// The working-out of the derived values of the "Volume Informations" panel: for each value
// box, its formula in field names and the same formula with this volume's numbers, shown as
// the box's tooltip ("RootDirSectors = ⌈(224 × 32) / 512⌉ = 14").
#pragma once

#include <string>
#include <vector>

#include "volume/boot_sector.h"

namespace dulvex {

// Tooltips of the derived value boxes (Label2 19, 23, 27, 28, 29, 15, 14, 24, 22). `g` holds
// the derived members as worked out; `worked` is false when they could not be (a divisor
// field is 0), and then only the formulas are given. A non-empty `refusal` is the rule the
// volume breaks: it ends every tooltip, and the FAT type is not concluded.
std::vector<PanelText> WorkingTooltips(const VolumeGeometry& g, bool worked,
                                       const std::string& refusal);

}  // namespace dulvex
