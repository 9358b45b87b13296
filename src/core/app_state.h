// The program's working state that is not held by a control: the device chosen, the
// three sector arrays, the volume geometry and the file-list table.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "base/oem_codepage.h"
#include "base/sector.h"
#include "base/volume_geometry.h"
#include "core/file_list.h"

namespace dulvex {

namespace journal {
class Journal;
}
namespace device {
class MediumIo;  // device/medium_io.h
}
struct FatToolsState;     // fattools/fat_tools.h
class InspectorHost;      // core/byte_values_host.h
struct FatToolsState;     // fattools/fat_tools.h
struct CheckVolumeState;  // commands/check_command.h

// The sector that the grid really shows: its number, the device it was read from and the
// bytes the read found there (a write must find the same bytes at the medium).
struct ShownSector {
  std::int32_t sector = 0;
  std::string device;
  SectorBytes bytes{};
};

struct AppState {
  std::string DevicePath;                   // "A:" to "R:", empty until a volume is chosen
  SectorBytes BootSectorBuffer{};           // sector 0 as last read by the boot-sector refresh
  SectorBytes SectorBuffer{};               // the sector shown
  SectorBytes WriteBuffer{};                // the image the last paste assembled
  std::array<std::string, 512> OffsetText;  // "> " and the offset, for the hover readout
  int LastHoverIndex = 0;  // hex cell the pointer last moved over (empty counts as 0)
  // The grid's cell cursor, a position 0-511: the arrow keys move it, a click on a cell puts
  // it there. Shift and an arrow select the run from cursorAnchor (where the Shift moves
  // began; -1 before one) to the cursor. While cursorLeads (it moved after the pointer did)
  // the status line and the data inspector read the byte under it, else the one under the
  // pointer.
  int cursor = 0;
  int cursorAnchor = -1;
  bool cursorLeads = false;
  VolumeGeometry geometry;
  // The last boot-sector refresh gave a usable FAT geometry. Landmark names and every tool
  // that works from the geometry (cluster jumps, the root directory, the FAT tools) rely on
  // it; a refused or unreadable volume clears it.
  bool geometryUsable = false;
  FileList files;
  // Set by every read that really filled SectorBuffer; empty until the first one.
  std::optional<ShownSector> lastShown;
  // The OEM code page of FAT short names in paths, reports and the file list.
  OemCodePage codePage = kDefaultOemCodePage;
  // Folder that holds drives/A ... drives/R.
  std::filesystem::path drivesDir;
  // Counted by every boot-sector refresh and every write attempt: what was read from the
  // medium and kept (the FAT tools' caches) holds only while both stay the same.
  std::uint64_t refreshes = 0;
  std::uint64_t writeAttempts = 0;
  // The FAT tools' caches, Cluster Chain report and file being followed.
  std::shared_ptr<FatToolsState> fatTools;
  // Check Volume's last result, its window and the repair shown before it is written.
  std::shared_ptr<CheckVolumeState> checkVolume;
  // The write journal's file, set at start-up (tests point it into their own folder), and
  // the journal once a command has used it.
  std::filesystem::path journalFile;
  std::shared_ptr<journal::Journal> journal;
  // The calls that move bytes to and from the media: the system's, set at start-up (tests
  // set their own, which fail or stop where they say). None set means the system's.
  device::MediumIo* io = nullptr;
  // Where the data inspector shows its lines (the Qt layer's window); none: nowhere.
  InspectorHost* inspectorHost = nullptr;
  // What the last command found or did, for the status line ("Found at byte 9731 ...");
  // commands that end without a box of their own say it here.
  std::string lastResult;
  // The sector the grid still shows though a refresh or a read since could not show it
  // again: its bytes are no longer known to be the device's (the grid shows them greyed).
  std::optional<ShownSector> staleShown;
};

}  // namespace dulvex
