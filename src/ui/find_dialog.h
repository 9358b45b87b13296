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
  std::optional<std::size_t> Choose(const std::string& prompt,
                                    const std::vector<std::string>& items) override;

 private:
  QPointer<QWidget> parent_;
};

}  // namespace dulvex::ui
