#include "support/scripted_prompter.h"

namespace dulvex {

int ScriptedPrompter::MessageBox(const std::string& text, int style, const std::string& title) {
  shown.push_back({false, false, text, style, title, {}});
  if (!messageAnswers.empty()) {
    const int answer = messageAnswers.front();
    messageAnswers.pop_front();
    if (answer != 0) return answer;
  }
  return style == kStyleYesNo ? kAnswerNo : kAnswerOk;
}

std::string ScriptedPrompter::InputBox(const std::string& prompt, const std::string& title,
                                       const std::string& defaultText) {
  shown.push_back({true, false, prompt, 0, title, defaultText});
  if (!inputAnswers.empty()) {
    std::string answer = inputAnswers.front();
    inputAnswers.pop_front();
    return answer;
  }
  return {};
}

std::string ScriptedPrompter::FileDialog(FileMode, const std::string& title,
                                         const std::string& start, const std::string&) {
  shown.push_back({false, true, title, 0, {}, start});
  if (fileAnswers.empty()) return {};
  std::string answer = fileAnswers.front();
  fileAnswers.pop_front();
  return answer;
}

}  // namespace dulvex
