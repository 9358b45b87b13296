// The clipboard of the tests and of the scenario runner's model mode: a text in memory.
#pragma once

#include <string>

#include "core/clipboard.h"

namespace dulvex::testing {

struct MemoryClipboard : Clipboard {
  std::string text;
  std::string Text() const override { return text; }
  void SetText(const std::string& t) override { text = t; }
};

}  // namespace dulvex::testing
