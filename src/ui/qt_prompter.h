// The program's modal boxes as Qt dialogs: QMessageBox for messages, QInputDialog for
// input boxes.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "core/prompter.h"

namespace dulvex::ui {

class QtPrompter : public Prompter {
 public:
  explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
  // The window the boxes are modal to.
  void SetParent(QWidget* parent) { parent_ = parent; }
  // Runs before a message or input box appears, so the window behind it shows what the
  // handler has changed so far (the sector a search found, say) rather than the state before.
  std::function<void()> beforeBox;

  // Style: buttons in the low bits (0 OK, 1 OK/Cancel, 2 Abort/Retry/Ignore,
  // 3 Yes/No/Cancel, 4 Yes/No, 5 Retry/Cancel), icon in 16 (stop), 32 (question),
  // 48 (exclamation), 64 (information). An empty title shows the application's title.
  int MessageBox(const std::string& text, int style, const std::string& title) override;
  // Empty on cancel.
  std::string InputBox(const std::string& prompt, const std::string& title,
                       const std::string& defaultText) override;
  std::string FileDialog(FileMode mode, const std::string& title, const std::string& start,
                         const std::string& filter) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace dulvex::ui
