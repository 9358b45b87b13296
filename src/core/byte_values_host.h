// Where the data inspector's lines are shown: a window of the Qt layer, or a record in tests.
#pragma once

#include <string>
#include <vector>

namespace dulvex {

class InspectorHost {
 public:
  virtual ~InspectorHost() = default;
  // Shows the lines; `open` also opens the window (the menu item), else only an open window
  // takes them (after every event).
  virtual void Show(const std::vector<std::string>& lines, bool open) = 0;
  virtual bool IsOpen() const = 0;
};

}  // namespace dulvex
