// libFuzzer: -max_len=513 -dict=dir_sector.dict
// Any 512 bytes through the directory analyzer alone (no window), checking what must hold
// for every sector; a 513th byte picks the FAT type. The window path is dir_window_fuzz.
#include <string>

#include "direntry/dir_analyzer.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dulvex::SectorBytes sector{};
  InputReader(data, size).Bytes(sector.data(), sector.size());

  // A byte past the sector picks the FAT type, which decides the first cluster's width.
  const std::uint8_t fatType = size > sector.size() ? data[sector.size()] % 4 : 0;
  const dulvex::DirectoryAnalysis a = dulvex::AnalyzeDirectoryBytes(sector, fatType);
  const auto& files = a.files;
  Check(files.FileCount >= 0 && files.FileCount <= 16);
  Check(files.DeletedCount >= 0 && files.DeletedCount <= files.FileCount);
  Check(a.paints.size() == static_cast<std::size_t>(files.FileCount));
  // The report keeps every character: a byte 0 never reaches it.
  Check(a.report.find('\0') == std::string::npos);
  const std::string tail =
      "\r\nTotal number of files deleted=" + std::to_string(files.DeletedCount);
  Check(a.report.ends_with(tail));
  for (std::size_t n = 1; n <= static_cast<std::size_t>(files.FileCount); ++n) {
    Check(files.FileFirstCluster[n] <= (fatType == 3 ? 4294967295.0 : 65535));
    Check(files.FileLength[n] <= 4294967295.0);
  }
  return 0;
}
