// What the four FAT tools share: the polite refusal when the volume is not a usable FAT
// volume, the FAT and the directory tree read once per refresh (through the runner of long
// work), and the questions for a cluster or a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "base/status.h"
#include "core/window_model.h"
#include "fat/byte_source.h"
#include "fat/layout.h"
#include "fattools/fat_tools.h"

namespace dulvex::fattools {

// The layout of the refreshed volume, or nothing after "<tool> needs a FAT volume: ...".
std::optional<fat::Layout> UsableLayout(WindowModel& model, const std::string& tool);

// Opens the chosen device for reading; says why in a box when it cannot.
Status OpenMedium(WindowModel& model, fat::MediumSource& source);

// "Read Error on Device A:, sector 19: past the end of the medium."
std::string ReadErrorText(WindowModel& model, const fat::ReadFailure& failure);

// FAT1 of the volume, read at the first need after a refresh or a write; nothing when the
// read failed (said in a box) or was cancelled.
std::shared_ptr<const fat::FatTable> CurrentFat(WindowModel& model, const fat::Layout& layout);

// The directory tree and the owner map, walked at the first need after a refresh or a
// write; false when that failed or was cancelled.
Status CurrentTree(WindowModel& model, const fat::Layout& layout);

// The cluster that holds the sector named in Text21, when it lies in the data region.
std::optional<std::uint32_t> ShownCluster(WindowModel& model, const fat::Layout& layout);

// Asks for a cluster number; nothing on Cancel or after a box that refuses the reply.
std::optional<std::uint32_t> AskCluster(WindowModel& model, const fat::Layout& layout,
                                        const std::string& prompt,
                                        std::optional<std::uint32_t> suggested);

// A file or directory the user named.
struct FileTarget {
  std::string name;  // its long name, else its short name; "/" for the root
  std::string path;  // for messages: the path, or "slot 4 (NAME.TXT)"
  std::uint32_t firstCluster = 0;
  std::uint32_t size = 0;
  bool deleted = false;
  bool directory = false;
  bool fixedRoot = false;             // the root directory region of FAT12/FAT16
  std::optional<std::uint32_t> node;  // in the cached tree, when it was named by a path
};

// Asks which file: a slot of the last file list, or a path such as "/DIR/SUB/NAME.TXT".
// Nothing on Cancel or after a box that refuses the reply.
std::optional<FileTarget> AskFile(WindowModel& model, const fat::Layout& layout,
                                  const std::string& tool);

}  // namespace dulvex::fattools
