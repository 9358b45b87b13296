#include "support/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "support/test_tools.h"
#include "wiring/form1.h"

namespace dulvex::testing {

TempDir::TempDir() {
  std::string name = (std::filesystem::temp_directory_path() / "dulvex-test-XXXXXX").string();
  if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
  path_ = name;
}

void MakeZeroImage(const std::filesystem::path& file, std::uint64_t sectors) {
  std::ofstream(file, std::ios::binary | std::ios::trunc).close();
  std::filesystem::resize_file(file, sectors * 512);
}

std::string RunCommand(const std::string& command) {
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run " + command);
  std::string output;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;) output.append(buf, n);
  if (::pclose(pipe) != 0) throw std::runtime_error("command failed: " + command + "\n" + output);
  return output;
}

void MakeFatImage(const std::filesystem::path& file, std::uint64_t sectors,
                  const std::string& options) {
  if (sectors % 2 != 0) throw std::runtime_error("mkfs.fat images need an even sector count");
  std::filesystem::remove(file);  // mkfs.fat -C makes the file, sized in 1 KiB blocks
  RunCommand(std::string(tools::kMkfsFat) + " -C " + options + " '" + file.string() + "' " +
             std::to_string(sectors / 2));
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file, std::uint64_t sector,
                                    std::uint64_t offset, std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  std::ifstream in(file, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(sector * 512 + offset))
      .read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

void PokeBytes(const std::filesystem::path& file, std::uint64_t sector, std::uint64_t offset,
               const std::vector<std::uint8_t>& bytes) {
  std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
  if (!out) throw std::runtime_error("cannot open " + file.string());
  out.seekp(static_cast<std::streamoff>(sector * 512 + offset))
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

void BuildModel(WindowModel& model, const std::filesystem::path& folder, const Form1Shell& shell) {
  std::filesystem::create_directory(folder / "drives");
  model.state.drivesDir = folder / "drives";
  // The journal of this folder alone, never the user's.
  model.state.journalFile = folder / "state" / "dulvex" / "journal.sqlite";
  model.exeDir = folder;
  BuildForm1(model, shell);
}

ModelFixture::ModelFixture(std::shared_ptr<drives::DrivesShell> drives) {
  BuildModel(model, dir.path(), {&findAsker, std::move(drives), &bulkOpener, &clipboard});
  model.state.io = &io;
}

}  // namespace dulvex::testing
