// "Find String" (TOOLS) and "Find Next" (F3): ask what to find, search the medium as long
// work, show the sector of a hit with the matching cells marked, and offer to go round when
// nothing more is found.
#pragma once

#include <deque>
#include <optional>
#include <string>

#include "core/window_model.h"
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
  bool ignoreCase = false;  // FindKind::Text only
  FindFrom from = FindFrom::AfterShown;
  bool dataRegionOnly = false;  // only the volume's data region, else the whole medium
};

// The dialog that asks what to find. The Qt layer shows a real one; tests answer from a queue.
class FindAsker {
 public:
  virtual ~FindAsker() = default;
  // Shows the dialog filled in from `last`; the user's request, or nothing on Cancel.
  virtual std::optional<FindRequest> Ask(const FindRequest& last) = 0;
};

class ScriptedFindAsker : public FindAsker {
 public:
  std::deque<std::optional<FindRequest>> answers;  // nothing queued answers Cancel

  std::optional<FindRequest> Ask(const FindRequest& last) override;
};

// Registers "Find String" (mnuFString) and adds the hidden item "Find Next" (mnuFindNext,
// which the Qt layer binds to F3). Without an asker "Find String" does nothing. Installing
// again, with the window's own dialog, replaces the handlers.
void InstallSearch(WindowModel& model, FindAsker* asker = nullptr);

}  // namespace dulvex::search
