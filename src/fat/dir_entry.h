// The 32-byte FAT directory entry: named offsets of its two forms (short name and long-name
// piece), the markers of its first byte, and the decoding the FAT tools share.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "base/oem_codepage.h"
#include "fat/layout.h"

namespace dulvex::fat {

inline constexpr std::size_t kDirEntryBytes = 32;

// Short-name form.
inline constexpr std::size_t kDirName = 0;        // 8 characters, blank-padded
inline constexpr std::size_t kDirExt = 8;         // 3 characters, blank-padded
inline constexpr std::size_t kDirAttr = 11;       // attribute bits
inline constexpr std::size_t kDirNTRes = 12;      // 0x08: name in lower case, 0x10: extension
inline constexpr std::size_t kDirFstClusHI = 20;  // high 16 bits of the first cluster (FAT32)
inline constexpr std::size_t kDirFstClusLO = 26;  // low 16 bits of the first cluster
inline constexpr std::size_t kDirFileSize = 28;   // length in bytes, 32 bits
// Long-name form.
inline constexpr std::size_t kLdirOrd = 0;      // sequence number; 0x40 marks the last piece
inline constexpr std::size_t kLdirChksum = 13;  // checksum of the short name it belongs to
inline constexpr std::uint8_t kLastPieceFlag = 0x40;
inline constexpr std::uint8_t kPieceNumberMask = 0x1F;

// First byte.
inline constexpr std::uint8_t kEndOfDirectory = 0x00;  // this entry and all after are unused
inline constexpr std::uint8_t kDeletedEntry = 0xE5;
inline constexpr std::uint8_t kStoredE5 = 0x05;  // a name that really begins with 0xE5

// Attribute bits.
inline constexpr std::uint8_t kAttrVolumeId = 0x08;
inline constexpr std::uint8_t kAttrDirectory = 0x10;
inline constexpr std::uint8_t kAttrLongName = 0x0F;  // read-only, hidden, system, volume id

// A long-name piece: the low six attribute bits are exactly those of kAttrLongName.
inline bool IsLongNamePiece(const std::uint8_t* e) {
  return (e[kDirAttr] & 0x3F) == kAttrLongName;
}

// The first cluster: on FAT32 bytes 20-21 are its high half, on FAT12 and FAT16 they are
// not part of it.
std::uint32_t FirstCluster(const std::uint8_t* e, FatKind kind);
std::uint32_t FileSize(const std::uint8_t* e);

// The short name as a text: "README.TXT", "SUBDIR"; blanks trimmed, bytes read in the OEM
// code page `page` (escaped where it has no character for them), a stored 0x05 shown as the
// character of 0xE5, the lower-case flags of byte 12 applied. A deleted entry's lost first
// character is shown as "_".
std::string ShortNameText(const std::uint8_t* e, OemCodePage page);
// The same from the 11 bytes of the name and the flags byte 12.
std::string ShortNameOf(const std::uint8_t* name11, std::uint8_t lowerCase, OemCodePage page);
void AppendShortName(std::string& out, const std::uint8_t* name11, std::uint8_t lowerCase,
                     OemCodePage page);  // the same, added to `out`
// Whether the short name compares equal to `key`, the bytes of a typed name in the code
// page's upper case: "NAME.EXT" with blanks trimmed, a stored 0x05 as 0xE5, each byte in
// upper case. `anyFirst` lets the first byte be any (a deleted entry has lost it).
bool ShortNameMatches(const std::uint8_t* name11, std::string_view key, bool anyFirst,
                      OemCodePage page);

// The checksum of an 11-byte short name that each of its long-name pieces carries.
std::uint8_t ShortNameChecksum(const std::uint8_t* name11);

// The 13 UTF-16 characters a long-name piece holds, in order.
void PieceCharacters(const std::uint8_t* e, char16_t out[13]);

// The long name that the pieces stored right before entry `index` of `entries` (32 bytes
// each) give it, as LongNameText shows it: nothing unless they are complete, in order and
// carry its checksum.
std::optional<std::string> LongNameBefore(std::span<const std::uint8_t> entries, std::size_t index);

// The characters of UTF-16 units up to the first 0: surrogate pairs joined, an unpaired
// surrogate kept as itself.
std::u32string LongNameChars(const char16_t* units, std::size_t count);
// A long name as shown: UTF-8, with "/", "\", control characters and unpaired surrogates
// escaped (AppendLongNameChar).
std::string LongNameText(const char16_t* units, std::size_t count);

}  // namespace dulvex::fat
