// What stands behind a drive letter, in words: for the Volume menu's tooltips, and for the
// message that explains a device the user may not open.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "base/status.h"

namespace dulvex::drives {

// A size in bytes for people: "512 bytes", "1.4 MiB", "128 MiB", "7.5 GiB".
std::string HumanSize(std::uint64_t bytes);

// The file system recognised from the first 4096 bytes of a medium, and its label.
struct FileSystemGuess {
  std::string type;   // "FAT12", "FAT16", "FAT32", "exFAT", "NTFS", "ext2", "ext3", "ext4",
                      // "MBR partition table", "GPT partition table"; empty when unknown
  std::string label;  // empty when it has none
};
// `head` holds `size` bytes read from the start of the medium (fewer than 4096 for a short
// one; what lies past `size` is not looked at).
FileSystemGuess GuessFileSystem(const std::uint8_t* head, std::size_t size);

// Reads the start of the file or device `path` and guesses its file system. `read` gets why
// it could not be read ("no rights to read it (group disk)"); ok when it was read.
FileSystemGuess ProbeFileSystem(const std::filesystem::path& path, Status* read);

// One line about the letter's entry in `folder`: "nothing bound", or the path behind it,
// its size, its file system and label ("/dev/sdb1 · 7.5 GiB · FAT32 · label "STICK""),
// or why it cannot be read.
std::string DescribeLetter(const std::filesystem::path& folder, char letter);

// The message for a device name ("E:") whose file `file` the system refused to open:
// who owns it, which group may use it, and how to get the rights (join the group with
// usermod and log in again, or start the program with the rights needed). `write` when it
// was opened for writing.
std::string DeniedAdvice(const std::string& device, const std::filesystem::path& file, bool write);

}  // namespace dulvex::drives
