// Feeds any 512 bytes to the directory analyzer, alone and through the window model, and
// checks what must hold for every sector.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "direntry/dir_analyzer.h"
#include "fuzz_model.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dulvex::SectorBytes sector{};
  std::copy_n(data, std::min<std::size_t>(size, sector.size()), sector.begin());

  // A byte past the sector picks the FAT type, which decides the first cluster's width.
  const std::uint8_t fatType = size > sector.size() ? data[sector.size()] % 4 : 0;
  const dulvex::DirectoryAnalysis a = dulvex::AnalyzeDirectoryBytes(sector, fatType);
  const auto& files = a.files;
  Check(files.FileCount >= 0 && files.FileCount <= 16);
  Check(files.DeletedCount >= 0 && files.DeletedCount <= files.FileCount);
  Check(a.paints.size() == static_cast<std::size_t>(files.FileCount));
  // The report keeps every character: a byte 0 never reaches it.
  Check(a.report.find('\0') == std::string::npos);
  Check(EndsWith(a.report,
                 "\r\nTotal number of files deleted=" + std::to_string(files.DeletedCount)));
  for (int n = 1; n <= files.FileCount; ++n) {
    Check(files.FileFirstCluster[static_cast<std::size_t>(n)] <=
          (fatType == 3 ? 4294967295.0 : 65535));
    Check(files.FileLength[static_cast<std::size_t>(n)] <= 4294967295.0);
  }

  dulvex::WindowModel& model = FuzzModel();
  model.state.SectorBuffer = sector;
  model.state.geometry.FatType = fatType;
  dulvex::AnalyzeDirectorySector(model);
  Check(model.At("Text5").caption == a.report);
  Check(model.At("Frame4").visible);
  return 0;
}
