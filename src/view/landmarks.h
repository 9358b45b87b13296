// The landmark name of a sector number: the role the sector plays on the volume.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/volume_geometry.h"
#include "core/app_state.h"

namespace dulvex {

// The name shown in Label53 for sector `sector`; "-" when it has no role, and also for a
// number that does not fit the program's 32-bit sector numbers (nothing).
std::string SectorNameRule(const VolumeGeometry& g, std::optional<std::int32_t> sector);

// The name by the volume's geometry when the last refresh gave a usable one; otherwise only
// what needs no geometry (sector 0).
std::string LandmarkName(const AppState& state, std::optional<std::int32_t> sector);

}  // namespace dulvex
