// The read side of the write journal: the history list, read in pages so that any number of
// records opens at once, and the export of records as a readable hex diff.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "journal/journal.h"

namespace dulvex::journal {

// The records of one drive letter (or of all), newest first, as rows of the Write History
// table. Only the pages asked for are read.
class HistoryList {
 public:
  enum Column : int { kTime, kDevice, kTarget, kSector, kChanged, kState, kColumnCount };
  static constexpr int kPage = 256;  // rows read at a time
  static const char* Header(int column);

  explicit HistoryList(Journal& journal) : journal_(journal) {}
  // Starts over with the records of `device` ("A:"; empty for all) and reads the first page.
  Status Reset(const std::string& device);
  bool CanFetchMore() const { return !done_; }
  // Reads the next page without adding it (a view announces the rows first), then adds it.
  Status ReadNextPage(std::vector<Summary>* page);
  void Append(const std::vector<Summary>& page) {
    rows_.insert(rows_.end(), page.begin(), page.end());
  }

  std::size_t size() const { return rows_.size(); }
  std::int64_t total() const { return total_; }  // records that match, read or not
  const Summary& at(std::size_t row) const { return rows_[row]; }
  std::string Cell(std::size_t row, int column) const;

 private:
  Journal& journal_;
  std::string device_;
  std::vector<Summary> rows_;
  std::int64_t total_ = 0;
  bool done_ = true;
};

// The records as text: for each, what it was and, for every 16-byte row that the write
// changed, the bytes before and after with the changed ones marked.
std::string ExportText(const std::vector<Record>& records);

}  // namespace dulvex::journal
