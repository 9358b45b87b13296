// A Prompter for tests and scenarios: records every box shown and answers from queues.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "core/prompter.h"

namespace dulvex {

struct ShownBox {
  bool input = false;  // an input box rather than a message box
  bool file = false;   // a file dialog (text: its title; defaultText: where it starts)
  std::string text;    // message text or input prompt
  int style = 0;       // message style (0 for input boxes)
  std::string title;
  std::string defaultText;  // input boxes only
};

class ScriptedPrompter : public Prompter {
 public:
  // Queued answers. A message box with no queued answer answers OK for one-button styles
  // and No for Yes/No; an input box with no queued answer answers with an empty text
  // (cancel). Both defaults refuse rather than confirm, so a missing answer never writes. A
  // queued 0 gives a message box that default answer too (its answer to Esc).
  std::deque<int> messageAnswers;
  std::deque<std::string> inputAnswers;
  std::deque<std::string> fileAnswers;  // paths chosen in file dialogs; empty: cancel
  std::vector<ShownBox> shown;

  int MessageBox(const std::string& text, int style, const std::string& title) override;
  std::string InputBox(const std::string& prompt, const std::string& title,
                       const std::string& defaultText) override;
  std::string FileDialog(FileMode mode, const std::string& title, const std::string& start,
                         const std::string& filter) override;
};

}  // namespace dulvex
