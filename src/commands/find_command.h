// "Find String" (TOOLS) and "Find Next" (F3): ask what to find, search the medium as long
// work, show the sector of a hit with the matching cells marked, and offer to go round when
// nothing more is found.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/window_model.h"
#include "device/bulk_reader.h"
#include "search/pattern.h"

namespace dulvex::search {

// Where a new search begins.
enum class FindFrom {
  AfterShown,  // forward, from the byte after the shown sector's first byte
  Backward,    // backward, from the byte before the shown sector's first byte
  SectorZero,  // forward from the start of the range
};

// What the find dialog hands to the search.
struct FindRequest {
  std::string text;  // the typed text (UTF-8), or hex pairs for FindKind::Hex
  FindKind kind = FindKind::Text;
  bool ignoreCase = false;  // FindKind::Text and Utf16 (Name always ignores case)
  FindFrom from = FindFrom::AfterShown;
  bool dataRegionOnly = false;  // only the volume's data region, else the whole medium
};

// The dialog that asks what to find. The Qt layer shows a real one; tests answer from a queue.
class FindAsker {
 public:
  virtual ~FindAsker() = default;
  // Shows the dialog filled in from `last`; the user's request, or nothing on Cancel.
  virtual std::optional<FindRequest> Ask(const FindRequest& last) = 0;
  // Lists `items` under `prompt` for the user to choose one; its index, or nothing on Cancel.
  virtual std::optional<std::size_t> Choose(const std::string& prompt,
                                            const std::vector<std::string>& items) = 0;
};

// Installs "Find String" and the hidden "Find Next" (which the Qt layer binds to F3). Without
// an asker "Find String" does nothing. The medium is read through `opener` (the system's when
// none is given).
void InstallSearch(WindowModel& model, FindAsker* asker = nullptr,
                   device::BulkOpener* opener = nullptr);

}  // namespace dulvex::search
