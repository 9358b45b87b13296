// libFuzzer: -max_len=1100 -dict=boot_sector.dict
// A fuzzed volume through the whole flow of the window: the first 512 bytes are sector 0 of
// drive A:, the next 512 the first sector of its root directory; the texts after them, each
// ended by a byte 0, answer Go to Cluster and are then typed into the sector box (four at
// most), each followed by Enter. The flow: choosing A: (the boot-sector refresh and
// ShowSector), "1st File List", Go to Cluster, and the sector box with its landmark names.
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "direntry/dir_analyzer.h"
#include "fuzz_model.h"
#include "volume/boot_sector.h"

namespace {

namespace fs = std::filesystem;

// Every sector number the program can reach lies inside the image (sparse, so it costs
// nothing); only the bytes of the input are written into it.
constexpr off_t kImageBytes = (off_t{1} << 31) * 512;

// drives/A in a temporary folder (of $TMPDIR), removed when the run ends.
struct Image {
  fs::path drives;
  int fd = -1;

  Image() {
    std::string dir = fs::temp_directory_path() / "dulvex-fuzz-XXXXXX";
    Check(::mkdtemp(dir.data()) != nullptr);
    drives = fs::path(dir) / "drives";
    fs::create_directory(drives);
    fd = ::open((drives / "A").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    Check(fd >= 0);
    std::atexit([] { fs::remove_all(Get().drives.parent_path()); });
  }

  static Image& Get() {
    static Image* image = new Image;
    return *image;
  }

  // The image anew: all zeros but the given sectors.
  void Clear() { Check(::ftruncate(fd, 0) == 0 && ::ftruncate(fd, kImageBytes) == 0); }
  void Put(std::int64_t sector, const dulvex::SectorBytes& bytes) {
    Check(::pwrite(fd, bytes.data(), bytes.size(), sector * 512) == 512);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Image& image = Image::Get();
  FuzzWindow& w = dulvex::fuzz::Window();
  dulvex::WindowModel& model = w.Fresh();
  model.state.drivesDir = image.drives;
  InputReader in(data, size);
  dulvex::SectorBytes boot{}, root{};
  in.Bytes(boot.data(), boot.size());
  in.Bytes(root.data(), root.size());
  image.Clear();
  image.Put(0, boot);

  Check(model.Click("mnuA", 0));
  // Any readable volume: sector 0 is shown and the sector box is open.
  Check(model.At("Text21").enabled && model.At("mnuTolls").enabled);
  Check(model.state.lastShown && model.state.lastShown->sector == 0);
  Check(model.state.SectorBuffer == boot);

  if (!model.At("mnuFileList").enabled) {
    // Not a FAT volume the program can analyse: the tools that need its layout stay off.
    Check(!model.Click("mnuFileList") && !model.Click("mnuGoto_Cluster"));
  } else {
    const std::int64_t rootSector = model.state.geometry.RootDirEntrySector;
    if (rootSector > 0 && rootSector <= dulvex::kHighestSectorNumber) image.Put(rootSector, root);
    Check(model.Click("mnuFileList"));
    CheckSectorBox(model);
    if (model.state.lastShown && model.state.lastShown->sector == rootSector) {
      Check(model.At("Text5").caption ==
            dulvex::AnalyzeDirectoryBytes(model.state.SectorBuffer, model.state.geometry.FatType)
                .report);
    }
    w.prompter.inputAnswers.push_back(in.Text());
    Check(model.Click("mnuGoto_Cluster"));
    CheckSectorBox(model);
  }

  for (int typed = 0; typed < 4 && !in.AtEnd(); ++typed) {
    Check(model.TypeKey(model.At("Text21"), in.Text()));
    Check(model.Key("Text21", 13));
    CheckSectorBox(model);
  }
  return 0;
}
