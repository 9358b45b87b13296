// The data inspector (TOOLS > Data Inspector): the bytes from the first selected position of
// the grid, or from the one under the pointer, read as numbers of 8 to 64 bits either way
// round, as a FAT date and time, as a cluster and as a sector number, and as text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/window_model.h"

namespace dulvex {

// Up to 8 bytes of the shown sector, from its position `index`; `offset` is their place on
// the medium.
struct InspectedBytes {
  int index = 0;
  std::uint64_t offset = 0;
  std::vector<std::uint8_t> bytes;
};

// The bytes from the first selected position, else from the one under the cell cursor or the
// pointer, whichever moved last; nothing before a sector was shown.
std::optional<InspectedBytes> BytesToInspect(const WindowModel& model);

// The inspector's lines for those bytes; the cluster and sector lines use the volume's
// geometry and landmark names.
std::vector<std::string> InspectorLines(const AppState& state, const InspectedBytes& in);

// "Data Inspector" opens the inspector; after every event an open one follows the selection,
// the cursor and the pointer.
void InstallInspector(WindowModel& model);

}  // namespace dulvex
