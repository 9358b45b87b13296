// Helpers shared by the tests and the scenario runner: a temporary drives/ folder, image
// files made zero-filled or by mkfs.fat, and byte-level access to them that does not go
// through the program's own device layer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/scripted_prompter.h"
#include "app/window_model.h"

namespace dulvex::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Makes `file` a zero-filled image of `sectors` sectors (sparse).
void MakeZeroImage(const std::filesystem::path& file, std::uint64_t sectors);

// Makes `file` an image of `sectors` sectors formatted by mkfs.fat with `options` (for
// example "-F 12 -n FLOPPY"). Throws std::runtime_error when mkfs.fat fails.
void MakeFatImage(const std::filesystem::path& file, std::uint64_t sectors,
                  const std::string& options);

// Runs a shell command; returns its standard output. Throws when it exits non-zero.
std::string RunCommand(const std::string& command);

// Reads `count` bytes at sector * 512 + offset of `file`, and writes bytes there.
std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file, std::uint64_t sector,
                                    std::uint64_t offset, std::size_t count);
void PokeBytes(const std::filesystem::path& file, std::uint64_t sector, std::uint64_t offset,
               const std::vector<std::uint8_t>& bytes);

// "EB 3C 90" -> {0xEB, 0x3C, 0x90}.
std::vector<std::uint8_t> ParseHexBytes(const std::string& text);

// A main-window model built as at start-up, with a scripted prompter and its drives/
// folder in a temporary folder.
struct ModelFixture {
  TempDir dir;
  ScriptedPrompter prompter;
  WindowModel model{prompter};
  ModelFixture();
  // drives/<letter>, the file behind a letter.
  std::filesystem::path Drive(char letter) const;
  // Chooses the volume of `letter` from the Volume menu.
  void Choose(char letter);
};

}  // namespace dulvex::testing
