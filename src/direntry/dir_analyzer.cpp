#include "direntry/dir_analyzer.h"

#include <cstdint>
#include <cstdio>

#include "base/codepage.h"
#include "direntry/entry_views.h"
#include "fat/dir_entry.h"

namespace dulvex {

namespace {

constexpr std::uint8_t kEndMarker = 0x00;
constexpr std::uint8_t kDeletedMarker = 0xE5;
constexpr std::uint8_t kLastPieceBit = 0x40;  // sequence bit of the piece stored first

// Attribute values that make an entry a piece of a long name (bits above 0x0F ignored).
bool IsLongNameAttr(std::uint8_t attr) {
  return attr == 0x0F || attr == 0x1F || attr == 0x2F || attr == 0x3F;
}

// The text of an attribute that is exactly one of the six single attributes, or nullptr.
const char* SingleAttrText(std::uint8_t attr) {
  switch (attr) {
    case 0x01:
      return " Read Only";
    case 0x02:
      return " Hidden";
    case 0x04:
      return " System";
    case 0x08:
      return " Volume ID";
    case 0x10:
      return " Directory";
    case 0x20:
      return " Archive";
    default:
      return nullptr;
  }
}

// Characters of the bytes first..last of a short name in code page `page`; a byte 0 stays
// visible and does not end the text, other bytes without a character are escaped.
std::string CharsOf(const std::uint8_t* b, int first, int last, OemCodePage page) {
  std::string text;
  for (int k = first; k <= last; ++k) {
    if (b[k] == 0)
      text += kNulPlaceholder;
    else
      AppendShortNameByte(text, page, b[k]);
  }
  return text;
}

// A number in the form with one leading blank before the digits.
std::string Blanked(std::uint64_t value) {
  return " " + std::to_string(value);
}

std::string UpperHex(std::uint8_t value) {
  char buf[4];
  std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(value));
  return buf;
}

// The 13 characters of a long-name piece: the low byte of each two-byte character.
std::string LongNameChars(const std::uint8_t* b) {
  static constexpr int kLowBytes[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
  std::string text;
  for (int k : kLowBytes) text += VisibleCharOfByte(b[k]);
  return text;
}

}  // namespace

DirectoryAnalysis AnalyzeDirectoryBytes(const SectorBytes& bytes, std::uint8_t fatType,
                                        OemCodePage page) {
  DirectoryAnalysis a;
  FileList& files = a.files;
  files.entries = bytes;
  const fat::FatKind kind = fatType == 3 ? fat::FatKind::Fat32 : fat::FatKind::Fat16;
  std::string& out = a.report;
  for (std::size_t e = 0; e < bytes.size(); e += 32) {
    const std::uint8_t* b = bytes.data() + e;
    if (b[0] == kEndMarker) {
      out += "End\r\n";
      break;
    }
    const std::uint8_t attr = b[11];
    const bool deleted = b[0] == kDeletedMarker;
    const bool longName = IsLongNameAttr(attr);
    if (deleted || !longName) {
      a.paints.push_back(EntryPaint::Short);
    } else {
      a.paints.push_back((b[0] & kLastPieceBit) != 0 ? EntryPaint::LongFirst : EntryPaint::Long);
    }

    const std::size_t n = static_cast<std::size_t>(++files.FileCount);
    if (const char* attrText = SingleAttrText(attr)) {
      files.FileNames[n] = CharsOf(b, 0, 7, page);
      out += "name:" + files.FileNames[n] + "." + CharsOf(b, 8, 10, page) + attrText;
    } else if (longName) {
      out += "LongNameSubComp " + std::to_string(b[0]) + ":\t" + LongNameChars(b);
    } else {
      out += "0x" + UpperHex(attr);
    }
    if (!longName) {
      const std::uint64_t cluster = fat::FirstCluster(b, kind);
      const std::uint64_t length = b[28] + 256ull * b[29] + 65536ull * b[30] + 16777216ull * b[31];
      files.FileFirstCluster[n] = static_cast<double>(cluster);
      files.FileLength[n] = static_cast<double>(length);
      out += "\t1stClus:" + Blanked(cluster) + "\tLen:" + Blanked(length);
    }
    if (deleted) {
      out += " Deleted";
      ++files.DeletedCount;
      files.FileLength[n] = 0;  // a deleted entry holds no data any more
    }
    out += "\r\n";
  }
  out += "Total number of files (deleted included)=" + std::to_string(files.FileCount) + "\r\n";
  out += "Total number of files deleted=" + std::to_string(files.DeletedCount);
  return a;
}

void AnalyzeDirectorySector(WindowModel& model) {
  model.At(kDirectoryPanel).visible = true;
  DirectoryAnalysis a = AnalyzeDirectoryBytes(model.state.SectorBuffer,
                                              model.state.geometry.FatType, model.state.codePage);
  std::int16_t offset = 0;
  for (EntryPaint paint : a.paints) {
    if (paint == EntryPaint::Short) {
      ShortEntryView(model, offset);
    } else {
      LongEntryView(model, offset);
      if (paint == EntryPaint::LongFirst) {
        Control* first = model.Label3[static_cast<std::size_t>(offset)];
        if (first != nullptr) first->back = kLongNameStartColour;
      }
    }
    offset = static_cast<std::int16_t>(offset + 32);
  }
  model.SetText(model.At(kDirectoryReport), a.report);
  model.state.files = std::move(a.files);
}

}  // namespace dulvex
