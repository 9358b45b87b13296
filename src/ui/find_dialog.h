// The "Find String" dialog: what to find (text in the grid's code page, UTF-16LE text or hex
// bytes), where to begin and over which range. It only asks; the search is in src/search.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "commands/find_command.h"
#include "core/window_model.h"

namespace dulvex::ui {

class QtFindAsker : public search::FindAsker {
 public:
  // The window the dialog is modal to.
  void SetParent(QWidget* parent) { parent_ = parent; }
  std::optional<search::FindRequest> Ask(const search::FindRequest& last) override;

 private:
  QPointer<QWidget> parent_;
};

// F3 in `window` is "Find Next"; `refresh` brings the window up to date after it.
void AddFindNextKey(QWidget& window, WindowModel& model, std::function<void()> refresh);

}  // namespace dulvex::ui
