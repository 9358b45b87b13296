// The modal boxes of the program. Every handler asks and tells through this interface, so
// the Qt layer shows real boxes and the tests answer from a script.
#pragma once

#include <string>

namespace dulvex {

// Message-box styles used by the program.
enum MessageStyle : int {
  kStyleOk = 0,           // OK button, no icon
  kStyleYesNo = 4,        // Yes and No buttons, Yes is the default
  kStyleCritical = 16,    // OK button, stop icon
  kStyleExclamation = 48  // OK button, exclamation icon
};

// Answers of a message box.
enum MessageAnswer : int { kAnswerOk = 1, kAnswerYes = 6, kAnswerNo = 7 };

class Prompter {
 public:
  virtual ~Prompter() = default;
  // Shows `text` with `style`; an empty `title` shows the application's title.
  virtual int MessageBox(const std::string& text, int style, const std::string& title) = 0;
  // Asks for a text; returns the typed text, or an empty text on cancel.
  virtual std::string InputBox(const std::string& prompt, const std::string& title,
                               const std::string& defaultText) = 0;
  // Asks for a host file to open or to save to, in a file dialog titled `title`. `start` is
  // the file or folder the dialog starts from (a suggested name when saving), `filter` the
  // kinds of file offered ("Disk images (*.img *.ima)"; empty for all). Returns the chosen
  // path, or an empty text on cancel.
  enum class FileMode { Open, Save };
  virtual std::string FileDialog(FileMode mode, const std::string& title, const std::string& start,
                                 const std::string& filter) = 0;
};

}  // namespace dulvex
