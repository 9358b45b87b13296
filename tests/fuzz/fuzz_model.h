// The main window the window targets share: built once, as at start-up, with a scripted
// prompter that answers every box. Fresh() puts back every control and the state before each
// input, so each input meets the window as the program starts and a finding replays alone;
// building the window anew would cost far more than the input itself.
#pragma once

#include <cstddef>
#include <vector>

#include "base/numbers.h"
#include "core/window_model.h"
#include "fuzz_input.h"
#include "support/inline_work_runner.h"
#include "support/scripted_prompter.h"
#include "wiring/form1.h"

namespace dulvex::fuzz {

class FuzzWindow {
 public:
  FuzzWindow() {
    BuildForm1(model);
    for (const Control& c : model.Controls()) {
      live_.push_back(model.Find(c.name, c.index));
      saved_.push_back(c);
    }
  }

  // The window as built, no box shown or queued, the state empty.
  WindowModel& Fresh() {
    for (std::size_t i = 0; i < saved_.size(); ++i) Restore(*live_[i], saved_[i]);
    model.state = AppState{};
    model.busy = false;
    model.quitRequested = false;
    model.SetMousePointer(kPointerDefault);
    prompter.messageAnswers.clear();
    prompter.inputAnswers.clear();
    prompter.fileAnswers.clear();
    prompter.shown.clear();
    return model;
  }

  ScriptedPrompter prompter;
  InlineWorkRunner runner;
  WindowModel model{prompter, runner};

 private:
  // Every property as built. Name, index, kind and parent are what the control is and never
  // change; the texts are compared first, as copying them all would cost most of the run.
  static void Restore(Control& c, const Control& s) {
    if (c.caption != s.caption) c.caption = s.caption;
    if (c.tooltip != s.tooltip) c.tooltip = s.tooltip;
    c.left = s.left, c.top = s.top, c.width = s.width, c.height = s.height;
    c.back = s.back, c.fore = s.fore, c.transparent = s.transparent, c.face = s.face;
    c.fontSize = s.fontSize, c.bold = s.bold, c.align = s.align, c.border = s.border;
    c.visible = s.visible, c.enabled = s.enabled, c.multiline = s.multiline;
    c.readOnly = s.readOnly;
  }

  std::vector<Control*> live_;
  std::vector<Control> saved_;
};

inline FuzzWindow& Window() {
  static FuzzWindow* window = new FuzzWindow;  // never destroyed: targets end with exit()
  return *window;
}

// The readout of the sector box follows its value; a number the program put there is in its
// canonical text.
inline void CheckSectorBox(WindowModel& model, bool canonical = true) {
  const std::string& text = model.At("Text21").caption;
  const double value = NumericValue(text);
  Check(model.At("Label45").caption == "0x" + Hex8(value));
  if (canonical) Check(CanonicalText(value) == text);
}

}  // namespace dulvex::fuzz

using dulvex::fuzz::CheckSectorBox;
using dulvex::fuzz::FuzzWindow;
