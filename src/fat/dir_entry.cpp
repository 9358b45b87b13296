#include "fat/dir_entry.h"

#include "base/le.h"

namespace dulvex::fat {

std::uint32_t FirstCluster(const std::uint8_t* e, FatKind kind) {
  const std::uint32_t high = kind == FatKind::Fat32 ? Le16(e + kDirFstClusHI) : 0;
  return high << 16 | Le16(e + kDirFstClusLO);
}

std::uint32_t FileSize(const std::uint8_t* e) {
  return Le32(e + kDirFileSize);
}

std::string ShortNameOf(const std::uint8_t* name11, std::uint8_t lowerCase, OemCodePage page) {
  std::string name;
  AppendShortName(name, name11, lowerCase, page);
  return name;
}

void AppendShortName(std::string& out, const std::uint8_t* name11, std::uint8_t lowerCase,
                     OemCodePage page) {
  auto trimmed = [&](std::size_t at, std::size_t count) {
    while (count > 0 && name11[at + count - 1] == ' ') --count;
    return count;
  };
  auto part = [&](std::size_t first, std::size_t count, bool lower) {
    if (!lower) {
      for (std::size_t k = first; k < first + count; ++k) AppendShortNameByte(out, page, name11[k]);
      return;
    }
    for (std::size_t k = first; k < first + count; ++k) {
      const std::uint8_t b = name11[k];
      AppendShortNameByte(
          out, page, static_cast<unsigned>(b - 'A') < 26 ? static_cast<std::uint8_t>(b + 32) : b);
    }
  };
  const std::size_t name = trimmed(kDirName, 8), ext = trimmed(kDirExt, 3);
  if (name > 0) {
    // The first byte: a stored 0x05 stands for 0xE5, and a deleted entry has lost it.
    std::uint8_t b = name11[0] == kStoredE5 ? kDeletedEntry : name11[0];
    if (name11[0] == kDeletedEntry) b = '_';
    if ((lowerCase & 0x08) != 0 && static_cast<unsigned>(b - 'A') < 26)
      b = static_cast<std::uint8_t>(b + 32);
    AppendShortNameByte(out, page, b);
    part(1, name - 1, (lowerCase & 0x08) != 0);
  }
  if (ext > 0) {
    out += '.';
    part(kDirExt, ext, (lowerCase & 0x10) != 0);
  }
}

std::string ShortNameText(const std::uint8_t* e, OemCodePage page) {
  return ShortNameOf(e, e[kDirNTRes], page);
}

bool ShortNameMatches(const std::uint8_t* name11, std::string_view key, bool anyFirst,
                      OemCodePage page) {
  // Most names differ at once: their first byte is compared before they are measured.
  if (key.size() > 12) return false;
  const std::uint8_t first = name11[0] == kStoredE5 ? kDeletedEntry : name11[0];
  if (!anyFirst && first != ' ' && (key.empty() || OemUpper(page, first) != std::uint8_t(key[0])))
    return false;
  auto trimmed = [&](std::size_t at, std::size_t count) {
    while (count > 0 && name11[at + count - 1] == ' ') --count;
    return count;
  };
  const std::size_t name = trimmed(kDirName, 8), ext = trimmed(kDirExt, 3);
  if (key.size() != name + (ext > 0 ? 1 + ext : 0)) return false;
  for (std::size_t i = anyFirst ? 1 : 0; i < name; ++i) {
    if (OemUpper(page, i == 0 ? first : name11[i]) != static_cast<std::uint8_t>(key[i]))
      return false;
  }
  if (ext == 0) return true;
  if (key[name] != '.') return false;
  for (std::size_t i = 0; i < ext; ++i) {
    if (OemUpper(page, name11[kDirExt + i]) != static_cast<std::uint8_t>(key[name + 1 + i]))
      return false;
  }
  return true;
}

std::uint8_t ShortNameChecksum(const std::uint8_t* name11) {
  std::uint8_t sum = 0;
  for (int i = 0; i < 11; ++i)
    sum = static_cast<std::uint8_t>(((sum & 1) << 7) + (sum >> 1) + name11[i]);
  return sum;
}

void PieceCharacters(const std::uint8_t* e, char16_t out[13]) {
  static constexpr std::size_t kAt[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  for (int i = 0; i < 13; ++i) out[i] = static_cast<char16_t>(Le16(e + kAt[i]));
}

std::optional<std::string> LongNameBefore(std::span<const std::uint8_t> entries,
                                          std::size_t index) {
  if ((index + 1) * kDirEntryBytes > entries.size()) return std::nullopt;
  const std::uint8_t* shortEntry = &entries[index * kDirEntryBytes];
  if (IsLongNamePiece(shortEntry) || shortEntry[0] == kEndOfDirectory) return std::nullopt;
  const std::uint8_t checksum = ShortNameChecksum(shortEntry);
  char16_t units[20 * 13 + 1] = {};
  for (std::size_t k = 1; k <= 20 && k <= index; ++k) {
    const std::uint8_t* e = &entries[(index - k) * kDirEntryBytes];
    if (!IsLongNamePiece(e) || e[0] == kDeletedEntry || (e[kLdirOrd] & kPieceNumberMask) != k ||
        e[kLdirChksum] != checksum)
      return std::nullopt;
    PieceCharacters(e, &units[(k - 1) * 13]);
    if ((e[kLdirOrd] & kLastPieceFlag) != 0) {
      std::string name = LongNameText(units, k * 13);
      return name.empty() ? std::nullopt : std::optional(name);
    }
  }
  return std::nullopt;
}

std::u32string LongNameChars(const char16_t* units, std::size_t count) {
  std::u32string out;
  for (std::size_t i = 0; i < count && units[i] != 0; ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF)
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    out += c;
  }
  return out;
}

std::string LongNameText(const char16_t* units, std::size_t count) {
  std::string out;
  for (const char32_t c : LongNameChars(units, count)) AppendLongNameChar(out, c);
  return out;
}

}  // namespace dulvex::fat
