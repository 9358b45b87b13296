// The system clipboard as the commands see it: a text to read and a text to set. The Qt layer
// gives one over the desktop's clipboard; tests give one in memory.
#pragma once

#include <string>

namespace dulvex {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // The clipboard's text (UTF-8); empty when it holds none.
  virtual std::string Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
};

}  // namespace dulvex
