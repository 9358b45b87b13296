// The commands' clipboard over the desktop's (QClipboard).
#pragma once

#include "core/clipboard.h"

namespace dulvex::ui {

class QtClipboard : public Clipboard {
 public:
  std::string Text() const override;
  void SetText(const std::string& text) override;
};

}  // namespace dulvex::ui
