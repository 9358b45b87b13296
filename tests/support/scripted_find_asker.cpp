#include "support/scripted_find_asker.h"

namespace dulvex::search {

std::optional<FindRequest> ScriptedFindAsker::Ask(const FindRequest&) {
  if (answers.empty()) return std::nullopt;
  std::optional<FindRequest> answer = answers.front();
  answers.pop_front();
  return answer;
}

std::optional<std::size_t> ScriptedFindAsker::Choose(const std::string&,
                                                     const std::vector<std::string>& items) {
  listed = items;
  if (choices.empty()) return std::nullopt;
  std::optional<std::size_t> choice = choices.front();
  choices.pop_front();
  return choice && *choice < items.size() ? choice : std::nullopt;
}

}  // namespace dulvex::search
