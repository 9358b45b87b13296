// libFuzzer: -max_len=513 -dict=dir_sector.dict
// Any 512 bytes shown in the grid and analysed as a directory sector through the window:
// the report, the paint of every entry, and the two "VIEW COLORS" buttons over them. A 513th
// byte picks the volume's FAT type.

#include "core/form1_design.h"
#include "direntry/dir_analyzer.h"
#include "fuzz_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dulvex::WindowModel& model = dulvex::fuzz::Window().Fresh();
  InputReader in(data, size);
  in.Bytes(model.state.SectorBuffer.data(), 512);
  model.state.geometry.FatType = in.Byte() % 4;

  dulvex::AnalyzeDirectorySector(model);
  const dulvex::DirectoryAnalysis a =
      dulvex::AnalyzeDirectoryBytes(model.state.SectorBuffer, model.state.geometry.FatType);
  Check(model.At("Frame4").visible);
  Check(model.At("Text5").caption == a.report);
  Check(model.state.files.FileCount == a.files.FileCount);
  Check(model.Click("Command11"));
  Check(model.Click("Command12"));
  // The views paint hex cells only: the text cells tell the selection and stay plain.
  for (const dulvex::Control* cell : model.Label55) Check(cell->back == dulvex::TextPlainColour);
  return 0;
}
