#include "journal/history.h"

#include <cstdio>

#include "base/codepage.h"

namespace dulvex::journal {

namespace {

// One 16-byte row of a sector: its bytes in hex, with a blank between them.
std::string HexRow(const device::Sector& s, std::size_t row) {
  std::string text;
  for (std::size_t i = row * 16; i < row * 16 + 16; ++i)
    text += (text.empty() ? "" : " ") + HexByte(s[i]);
  return text;
}

template <typename R>
std::string StateText(const R& r) {
  if (!r.damage.empty()) return "damaged (" + r.damage + ")";
  if (r.state == State::Pending && r.owner.Alive() && r.owner != Owner::Self())
    return "in progress in another window";
  std::string text = StateName(r.state);
  if (!r.cause.empty()) text += " (" + r.cause + ")";
  if (r.undoes != 0) text += ", undoes record " + std::to_string(r.undoes);
  return text;
}

}  // namespace

const char* HistoryList::Header(int column) {
  static const char* const kHeaders[kColumnCount] = {"Time",   "Device",        "Written to",
                                                     "Sector", "Bytes changed", "State"};
  return column >= 0 && column < kColumnCount ? kHeaders[column] : "";
}

Status HistoryList::Reset(const std::string& device) {
  device_ = device;
  rows_.clear();
  done_ = false;
  Status r = journal_.Count(device_, &total_);
  std::vector<Summary> page;
  if (r.ok()) r = ReadNextPage(&page);
  Append(page);
  done_ = done_ || !r.ok();
  return r;
}

Status HistoryList::ReadNextPage(std::vector<Summary>* page) {
  page->clear();
  if (done_) return {};
  Status r = journal_.Page(device_, rows_.empty() ? 0 : rows_.back().id, kPage, page);
  done_ = !r.ok() || page->size() < static_cast<std::size_t>(kPage);
  return r;
}

std::string HistoryList::Cell(std::size_t row, int column) const {
  const Summary& s = rows_.at(row);
  switch (column) {
    case kTime:
      return TimeText(s.timeMs);
    case kDevice:
      return s.device;
    case kTarget:
      return s.target;
    case kSector:
      return std::to_string(s.sector);
    case kChanged:
      return std::to_string(s.changed);
    case kState:
      return StateText(s) + (s.group.empty() ? "" : ", one step of \"" + s.group + "\"");
    default:
      return {};
  }
}

std::string ExportText(const std::vector<Record>& records) {
  std::string out = "Write history: " + std::to_string(records.size()) + " record" +
                    (records.size() == 1 ? "" : "s") + "\n";
  for (const Record& r : records) {
    int changed = 0;
    for (std::size_t i = 0; i < r.before.size(); ++i) changed += r.before[i] != r.after[i];
    out += "\nRecord " + std::to_string(r.id) + ", " + TimeText(r.timeMs) + ", " + r.device +
           " sector " + std::to_string(r.sector) + ": " + StateText(r) + "\n  file   " + r.path +
           "\n  to     " + r.target + "\n  medium " + r.medium.Describe() + "\n";
    if (r.damaged()) continue;  // its bytes are not to be trusted
    out += "  " + std::to_string(changed) + " of 512 bytes changed\n";
    for (std::size_t row = 0; row < 32; ++row) {
      std::string marks;
      for (std::size_t i = row * 16; i < row * 16 + 16; ++i)
        marks += r.before[i] != r.after[i] ? " ^^" : "   ";
      if (marks.find('^') == std::string::npos) continue;
      char offset[8];
      std::snprintf(offset, sizeof offset, "%04zX", row * 16);
      marks.erase(marks.find_last_not_of(' ') + 1);
      out += "  " + std::string(offset) + " - " + HexRow(r.before, row) + "\n       + " +
             HexRow(r.after, row) + "\n        " + marks + "\n";
    }
  }
  return out;
}

}  // namespace dulvex::journal
