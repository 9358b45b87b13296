// The "Find String" dialog and the list of Find Name's hits, answered from a script: the
// requests and the choices queued, oldest first; nothing queued answers Cancel.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "commands/find_command.h"

namespace dulvex::search {

class ScriptedFindAsker : public FindAsker {
 public:
  std::deque<std::optional<FindRequest>> answers;  // nothing queued answers Cancel
  std::deque<std::optional<std::size_t>> choices;  // likewise
  std::vector<std::string> listed;                 // the items of the last list shown

  std::optional<FindRequest> Ask(const FindRequest& last) override;
  std::optional<std::size_t> Choose(const std::string& prompt,
                                    const std::vector<std::string>& items) override;
};

}  // namespace dulvex::search
