// Drive letters A: to R: as the entries of one drives folder: drives/A ... drives/R, each a
// symbolic link to an image file or a block device, or an image file kept in the folder
// itself. Binding makes or replaces a link; it never deletes an image. Failures come back
// as texts, empty on success.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/status.h"

namespace dulvex::drives {

inline constexpr char kFirstLetter = 'A';
inline constexpr char kLastLetter = 'R';

// 'A' ... 'R' for "A", "a", "A:" or "a:"; nothing for anything else.
std::optional<char> ParseLetter(std::string_view text);

// The Volume menu's device name of a letter: "A:".
std::string DeviceName(char letter);

// The entry of `letter` in `folder`.
std::filesystem::path EntryOf(const std::filesystem::path& folder, char letter);

// Whether anything stands at the letter's entry: a file, or a link (even a dangling one).
bool IsBound(const std::filesystem::path& folder, char letter);

// Whether the letter's entry is a link whose file is gone (a deleted image, a device that was
// unplugged): its letter is free for a new medium.
bool IsDangling(const std::filesystem::path& folder, char letter);

// The letter a new medium takes, among those not listed in `taken`: the first one whose link
// dangles, else the first one with nothing bound; nothing when every letter holds a medium
// or is taken.
std::optional<char> FirstFreeLetter(const std::filesystem::path& folder,
                                    std::string_view taken = {});

// The first letter from A: whose medium this account can read; nothing when none can.
std::optional<char> FirstReadableLetter(const std::filesystem::path& folder);

// Whether `a` and `b` lead to the same medium however they name it (links, "." and "..",
// hard links: the same file system and inode), or to the same block device through two
// device nodes.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// The letter whose entry leads to the same file as `target` (see SameFile); nothing when
// none does.
std::optional<char> LetterOf(const std::filesystem::path& folder,
                             const std::filesystem::path& target);

// What the letter's entry leads to: a link's target (a relative one taken from the folder),
// or the entry itself when it is a file.
std::filesystem::path TargetOf(const std::filesystem::path& folder, char letter);

// Whether `path` can stand behind a letter: ok when it is a regular file or a block device
// (links followed), else the reason ("no such file or device").
Status CheckMedium(const std::filesystem::path& path);

// Whether `letter` may be bound anew: ok when nothing or a link stands at its entry, else
// why not (an image file kept in the folder itself is never replaced).
Status CanBind(const std::filesystem::path& folder, char letter);

// Whether `path` is a regular file (links followed): an image rather than a block device.
bool IsImageFile(const std::filesystem::path& path);

// Binds `letter` to `target`, taken as an absolute path. A link already at the entry is
// replaced in one step; an image file kept in the folder itself is never deleted, so
// binding over it is refused. Else one line says why not.
Status Bind(const std::filesystem::path& folder, char letter, const std::filesystem::path& target);

// Why a host file (an export, a file saved from a volume) may not be written at `path`: it
// lies inside the drives folder (with `wholeFolder`; else only when it is a letter's entry
// there), it is the medium a letter leads to, or a loop device's backing file, or no regular
// file. Ok when it may.
Status HostFileRefusal(const std::filesystem::path& folder, const std::filesystem::path& path,
                       bool wholeFolder = true);

}  // namespace dulvex::drives
