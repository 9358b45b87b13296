// Reading a sector as a FAT directory sector: sixteen 32-byte entries, each reported on one
// line of text, coloured by the view of its kind and recorded in the file-list table.
#pragma once

#include <string>
#include <vector>

#include "base/oem_codepage.h"
#include "core/app_state.h"
#include "core/file_list.h"
#include "core/window_model.h"

namespace dulvex {

// How the analyzer colours one entry.
enum class EntryPaint {
  Short,      // ShortEntryView
  Long,       // LongEntryView
  LongFirst,  // LongEntryView, then the first cell green: the piece that stands first in
              // the directory among the pieces of one long name
};

// The outcome of reading 512 bytes as a directory sector, before anything is shown.
struct DirectoryAnalysis {
  std::string report;              // the text of Text5 (UTF-8)
  std::vector<EntryPaint> paints;  // entry i (at byte 32 * i) for each entry met, in order
  FileList files;                  // slots 1..FileCount filled, all others empty
};

// Pure: any 512 bytes give a report; nothing is read from or written to the window.
// `fatType` is the volume's (3 for FAT32, where bytes 20-21 are the first cluster's high
// half); short names are read in the OEM code page `page`.
DirectoryAnalysis AnalyzeDirectoryBytes(const SectorBytes& bytes, std::uint8_t fatType,
                                        OemCodePage page = kDefaultOemCodePage);

// Analyses SectorBuffer: shows the directory panel Frame4 with the report in Text5, paints
// the hex cells of every entry met and fills the file-list table.
void AnalyzeDirectorySector(WindowModel& model);

}  // namespace dulvex
