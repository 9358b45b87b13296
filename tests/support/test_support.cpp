#include "support/test_support.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>

#include "app/form1.h"

namespace dulvex::testing {

TempDir::TempDir() {
  std::random_device rd;
  for (int attempt = 0; attempt < 100; ++attempt) {
    auto candidate = std::filesystem::temp_directory_path() /
                     ("dulvex-test-" + std::to_string(rd()) + std::to_string(attempt));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void MakeZeroImage(const std::filesystem::path& file, std::uint64_t sectors) {
  { std::ofstream(file, std::ios::binary | std::ios::trunc); }
  std::filesystem::resize_file(file, sectors * 512);
}

std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot run " + command);
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) output.append(buf, n);
  int status = ::pclose(pipe);
  if (status != 0) throw std::runtime_error("command failed: " + command + "\n" + output);
  return output;
}

void MakeFatImage(const std::filesystem::path& file, std::uint64_t sectors,
                  const std::string& options) {
  std::filesystem::remove(file);
  // mkfs.fat -C makes the file; its size is given in 1 KiB blocks.
  if (sectors % 2 != 0) throw std::runtime_error("mkfs.fat images need an even sector count");
  RunCommand("mkfs.fat -C " + options + " '" + file.string() + "' " + std::to_string(sectors / 2));
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file, std::uint64_t sector,
                                    std::uint64_t offset, std::size_t count) {
  std::ifstream in(file, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(sector * 512 + offset));
  std::vector<std::uint8_t> bytes(count);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

void PokeBytes(const std::filesystem::path& file, std::uint64_t sector, std::uint64_t offset,
               const std::vector<std::uint8_t>& bytes) {
  std::fstream out(file, std::ios::binary | std::ios::in | std::ios::out);
  if (!out) throw std::runtime_error("cannot open " + file.string());
  out.seekp(static_cast<std::streamoff>(sector * 512 + offset));
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> ParseHexBytes(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    std::size_t used = 0;
    unsigned long v = std::stoul(text.substr(i, 2), &used, 16);
    if (used == 0 || v > 255) throw std::runtime_error("bad hex bytes: " + text);
    bytes.push_back(static_cast<std::uint8_t>(v));
    i += used;
  }
  return bytes;
}

ModelFixture::ModelFixture() {
  std::filesystem::create_directory(dir.path() / "drives");
  model.state.drivesDir = dir.path() / "drives";
  model.exeDir = dir.path();
  BuildForm1(model);
}

std::filesystem::path ModelFixture::Drive(char letter) const {
  return dir.path() / "drives" / std::string(1, letter);
}

void ModelFixture::Choose(char letter) {
  model.Click("mnuA", letter - 'A');
}

}  // namespace dulvex::testing
