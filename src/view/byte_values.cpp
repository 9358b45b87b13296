#include "view/byte_values.h"

#include <cstdio>

#include "base/codepage.h"
#include "core/byte_values_host.h"
#include "core/form1_design.h"
#include "view/landmarks.h"

namespace dulvex {

namespace {

// The first `n` bytes as an unsigned number, little- or big-endian.
std::uint64_t Value(const std::vector<std::uint8_t>& b, std::size_t n, bool little) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < n; ++i) v = (v << 8) | b[little ? n - 1 - i : i];
  return v;
}

// The same bits as a signed number of `n` bytes.
std::int64_t Signed(std::uint64_t v, std::size_t n) {
  if (n < 8 && (v >> (8 * n - 1)) != 0) v |= ~std::uint64_t{0} << (8 * n);
  return static_cast<std::int64_t>(v);
}

std::string Numbers(const std::vector<std::uint8_t>& b, std::size_t n) {
  if (b.size() < n) return std::to_string(8 * n) + "-bit: past the end of the sector";
  std::string text = std::to_string(8 * n) + "-bit";
  for (const bool little : {true, false}) {
    const std::uint64_t v = Value(b, n, little);
    text += std::string(little ? "  LE u " : "  BE u ") + std::to_string(v) + " s " +
            std::to_string(Signed(v, n));
  }
  return text;
}

std::string Two(unsigned v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02u", v % 100);
  return b;
}

// A FAT time: hours in bits 15-11, minutes 10-5, seconds / 2 in 4-0.
std::string FatTime(std::uint16_t t) {
  const unsigned h = t >> 11, m = (t >> 5) & 63, s = (t & 31) * 2;
  const std::string text = Two(h) + ":" + Two(m) + ":" + Two(s);
  return h > 23 || m > 59 || s > 59 ? text + " (not a valid time)" : text;
}

// A FAT date: years from 1980 in bits 15-9, month 8-5, day 4-0.
std::string FatDate(std::uint16_t d) {
  const unsigned y = 1980 + (d >> 9), m = (d >> 5) & 15, day = d & 31;
  const std::string text = std::to_string(y) + "-" + Two(m) + "-" + Two(day);
  return m < 1 || m > 12 || day < 1 ? text + " (not a valid date)" : text;
}

}  // namespace

std::optional<InspectedBytes> BytesToInspect(const WindowModel& model) {
  const AppState& s = model.state;
  if (!s.lastShown || s.lastShown->device != s.DevicePath || s.lastShown->sector < 0)
    return std::nullopt;
  int index = s.cursorLeads ? s.cursor : s.LastHoverIndex;
  for (int i = 0; i < 512; ++i) {
    if (model.Label55[static_cast<std::size_t>(i)]->back == TextMarkedColour) {
      index = i;
      break;
    }
  }
  InspectedBytes in;
  in.index = index;
  in.offset =
      static_cast<std::uint64_t>(s.lastShown->sector) * 512 + static_cast<std::uint64_t>(index);
  for (int i = index; i < 512 && i < index + 8; ++i)
    in.bytes.push_back(s.SectorBuffer[static_cast<std::size_t>(i)]);
  return in;
}

std::vector<std::string> InspectorLines(const AppState& state, const InspectedBytes& in) {
  const std::vector<std::uint8_t>& b = in.bytes;
  std::vector<std::string> lines;
  char hex[32];
  std::snprintf(hex, sizeof hex, "0x%llX", static_cast<unsigned long long>(in.offset));
  lines.push_back("Byte " + std::string(hex) + " (" + std::to_string(in.offset) + "), offset " +
                  std::to_string(in.index) + " of the sector");
  if (b.empty()) return lines;
  lines.push_back("8-bit  u " + std::to_string(b[0]) + " s " + std::to_string(Signed(b[0], 1)));
  for (const std::size_t n : {2, 4, 8}) lines.push_back(Numbers(b, n));
  if (b.size() >= 2) {
    const auto lo = static_cast<std::uint16_t>(Value(b, 2, true));
    lines.push_back("FAT time " + FatTime(lo) + "   FAT date " + FatDate(lo));
  }
  if (b.size() >= 4) {
    // As a directory entry holds them: the time, then the date.
    const auto hi = static_cast<std::uint16_t>(Value({b[2], b[3]}, 2, true));
    lines.push_back("FAT date-time " + FatDate(hi) + " " +
                    FatTime(static_cast<std::uint16_t>(Value(b, 2, true))));
    const std::uint64_t v = Value(b, 4, true);
    const VolumeGeometry& g = state.geometry;
    const auto lastCluster = static_cast<std::uint64_t>(g.CountofClusters) + 1;
    std::string cluster = "Cluster " + std::to_string(v);
    if (!state.geometryUsable) {
      cluster += ": no FAT volume has been read";
    } else if (v < 2 || v > lastCluster) {
      cluster += ": not a data cluster (2 to " + std::to_string(lastCluster) + ")";
    } else {
      cluster += " → sector " + std::to_string(static_cast<std::uint64_t>(g.BPB_SecPerClus) * v +
                                               static_cast<std::uint64_t>(g.Cluster0Sector));
    }
    lines.push_back(cluster);
    std::string sector = "Sector " + std::to_string(v);
    const std::string landmark =
        v <= 2147483647u ? LandmarkName(state, static_cast<std::int32_t>(v)) : std::string();
    lines.push_back(sector + (landmark.empty() ? "" : " → " + landmark));
  }
  std::string text = "Windows-1252 \"";
  for (const std::uint8_t c : b) text += CellCharOfByte(c);
  lines.push_back(text + "\"");
  std::string utf16 = "UTF-16LE \"";
  for (std::size_t i = 0; i + 1 < b.size(); i += 2) {
    const auto unit = static_cast<char32_t>(b[i] | (b[i + 1] << 8));
    // A lone half of a pair, or a control character, shows as a dot.
    utf16 += unit < 32 || (unit >= 0xD800 && unit <= 0xDFFF) ? "." : EncodeUtf8(unit);
  }
  lines.push_back(utf16 + "\"");
  return lines;
}

void InstallInspector(WindowModel& model) {
  const auto lines = [&model] {
    const std::optional<InspectedBytes> in = BytesToInspect(model);
    return in ? InspectorLines(model.state, *in)
              : std::vector<std::string>{"Choose a volume: no sector is shown."};
  };
  model.OnClick(kDataInspector, [&model, lines](int) {
    if (InspectorHost* host = model.state.inspectorHost) host->Show(lines(), true);
  });
  model.afterEvent.emplace_back([&model, lines] {
    InspectorHost* host = model.state.inspectorHost;
    if (host != nullptr && host->IsOpen()) host->Show(lines(), false);
  });
}

}  // namespace dulvex
