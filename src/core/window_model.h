// The headless main window: every control's runtime properties, the four cell arrays,
// the program's state and the event handlers. The Qt layer draws it and forwards events
// to it; tests and the scenario runner drive it directly.
#pragma once

#include <array>
#include <deque>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/app_state.h"
#include "core/control.h"
#include "core/controls.h"
#include "core/prompter.h"
#include "core/work_runner.h"

namespace dulvex {

// Mouse-pointer shapes the handlers set.
enum MousePointer : int { kPointerDefault = 0, kPointerHourglass = 11 };

class WindowModel {
 public:
  // Boxes go to `prompter`, long work to `runner` (the window's own, or a test's).
  WindowModel(Prompter& prompter, WorkRunner& runner)
      : prompter_(*this, prompter), busyRunner_(*this, runner) {}
  WindowModel(const WindowModel&) = delete;
  WindowModel& operator=(const WindowModel&) = delete;

  // --- Controls -------------------------------------------------------------------------
  // Adds a control from the design (or a cell made at start-up). Keys are unique.
  Control& Add(Control control);
  // The control with this name and index, or nullptr.
  Control* Find(std::string_view name, int index = -1);
  const Control* Find(std::string_view name, int index = -1) const;
  Control* Find(ControlId id) { return Find(id.name, id.index); }
  const Control* Find(ControlId id) const { return Find(id.name, id.index); }
  // The control with this name and index; a missing one is a programming error and throws
  // std::out_of_range.
  Control& At(std::string_view name, int index = -1);
  Control& At(ControlId id) { return At(id.name, id.index); }
  const Control& At(ControlId id) const;
  // All controls in design order (panels before their contents, back to front).
  const std::deque<Control>& Controls() const { return controls_; }

  // The four cell arrays, filled at start-up: byte i of the shown sector (Label3 hex,
  // Label55 text) and entry i of the copy buffer (LabelB3 hex, LabelB55 text).
  std::array<Control*, 512> Label3{};
  std::array<Control*, 512> Label55{};
  std::array<Control*, 512> LabelB3{};
  std::array<Control*, 512> LabelB55{};

  // --- Events -----------------------------------------------------------------------------
  using IndexHandler = std::function<void(int index)>;
  // Each event of a control (or of every element of a control array) has one handler,
  // installed once at start-up. Installing a handler for a control the design does not have,
  // or a second one for the same event, is a programming error and throws std::logic_error.
  // Click on a button, a cell or a menu item (the index is -1 for a single control).
  void OnClick(ControlId control, IndexHandler handler);
  void OnClick(ControlArray controls, IndexHandler handler);
  // Key typed in a text box, with its character code.
  void OnKey(ControlId control, IndexHandler handler);
  // The mouse pointer moving over a control, with its index.
  void OnHover(ControlArray controls, IndexHandler handler);
  // Any change of a text box's text, by the user or by code.
  void OnChange(ControlId control, std::function<void()> handler);
  // The keyboard focus leaving a text box.
  void OnLostFocus(ControlId control, std::function<void()> handler);
  // Keys pressed on the sector grid while it has the keyboard focus, spelt as Qt spells them
  // ("Left", "Shift+Down"); the handler returns whether it took them.
  void OnGridKey(std::function<bool(std::string_view keys)> handler);

  // Raise an event. Returns false when the control has no handler for it, when the control
  // (or a panel or menu holding it) is disabled, as a user could not reach it, or, for
  // clicks and keys, while long work runs.
  bool Click(std::string_view name, int index = -1);
  bool Click(ControlId control) { return Click(control.name, control.index); }
  bool Key(std::string_view name, int code, int index = -1);
  bool Hover(std::string_view name, int index);
  // Sets a text box's text. When the text differs, the change handler runs (nested when a
  // handler assigns the text again). Assigning the current text does nothing.
  // The user's typing goes through Type, which is refused while long work runs.
  void SetText(Control& textBox, const std::string& text);
  bool Type(Control& textBox, const std::string& text);
  // The user's keystroke in a text box, giving it `text`: as Type, but while its change
  // handler runs keyTyping(textBox) is true, so the box can keep a half-typed text.
  bool TypeKey(Control& textBox, const std::string& text);
  bool keyTyping(const Control& textBox) const { return keyTypingBox_ == &textBox; }
  // The focus leaves a text box; refused like a key.
  bool LostFocus(std::string_view name, int index = -1);
  // Keys pressed on the sector grid; refused like a key. False when no handler took them.
  bool GridKey(std::string_view keys);

  // Whether a user could reach the control: it and every panel or menu holding it enabled.
  bool Reachable(const Control& control) const;

  // --- Shell --------------------------------------------------------------------------------
  // The boxes of the commands. Every message box but a question also reports its text as the
  // last result (Report), so the status line repeats what the box said once it is closed.
  Prompter& prompter() { return prompter_; }
  // What a command found or did ("Found at byte 9731 ...", "Sector 35 of A: written ..."), in
  // one line, for the status line's last-result part.
  void Report(const std::string& text);
  // Where long work runs: the runner the model was made with. The model is busy from the
  // start of the work until its `done` begins.
  WorkRunner& runner() { return busyRunner_; }
  // True while long work runs: clicks, keys and typing are refused (hovering still works),
  // so no command reads, writes or changes the state the work relies on.
  bool busy = false;
  int mousePointer() const { return mousePointer_; }
  void SetMousePointer(int pointer);
  // Called whenever the pointer shape changes, so the Qt layer can show it at once.
  std::function<void(int pointer)> mousePointerChanged;
  // Set by "EXIT Program"; the Qt layer closes the window.
  bool quitRequested = false;
  std::function<void()> quit;
  // Run, in order, after every event a handler took (click, key, hover, typing, focus loss)
  // once it and any event it raised itself are done, and after long work has ended: what
  // sums up the window's state (the status line) is brought up to date here.
  std::vector<std::function<void()>> afterEvent;
  // Run, in order, after every sector that ShowSector read and rendered: tools that add to
  // what the grid shows (tooltips of FAT entries, marks of a search hit) hook in here.
  std::vector<std::function<void()>> onSectorShown;
  // When set, "<" (step -1) and ">" (step +1) ask it first; it returns true when it has
  // moved the view itself (a file being followed steps through its own sectors). Step 0
  // tells it that the sector-number box changed or took Enter: its own stepping ends.
  std::function<bool(int step)> stepOverride;
  // Folder of the program's data files (the help file): beside the executable in the build
  // tree, share/dulvex of an installed program.
  std::filesystem::path exeDir;

  AppState state;

 private:
  // The model's runner: marks the model busy around the work.
  class BusyRunner : public WorkRunner {
   public:
    BusyRunner(WindowModel& model, WorkRunner& runner) : model_(model), runner_(runner) {}
    void Run(const std::string& title, WorkUnit unit, Work work, Done done) override;

   private:
    WindowModel& model_;
    WorkRunner& runner_;
  };

  // The model's prompter: reports what each message box tells, then shows it.
  class ReportingPrompter : public Prompter {
   public:
    ReportingPrompter(WindowModel& model, Prompter& prompter)
        : model_(model), prompter_(prompter) {}
    int MessageBox(const std::string& text, int style, const std::string& title) override;
    std::string InputBox(const std::string& prompt, const std::string& title,
                         const std::string& defaultText) override {
      return prompter_.InputBox(prompt, title, defaultText);
    }
    std::string FileDialog(FileMode mode, const std::string& title, const std::string& start,
                           const std::string& filter) override {
      return prompter_.FileDialog(mode, title, start, filter);
    }

   private:
    WindowModel& model_;
    Prompter& prompter_;
  };

  ReportingPrompter prompter_;
  BusyRunner busyRunner_;
  int mousePointer_ = kPointerDefault;
  const Control* keyTypingBox_ = nullptr;
  int eventDepth_ = 0;  // events being handled, nested
  // Runs `handler` as an event; afterEvent follows the outermost one that ran.
  bool AsEvent(const std::function<bool()>& handler);
  std::deque<Control> controls_;
  std::unordered_map<std::string, Control*> byKey_;
  // Checks that the control exists and that `handlers` has none for it yet; returns its key.
  template <typename Map>
  std::string Installing(Map& handlers, std::string_view event, std::string_view name,
                         int index) const;
  std::unordered_map<std::string, IndexHandler> click_, key_, hover_;
  std::unordered_map<std::string, std::function<void()>> change_, lostFocus_;
  std::function<bool(std::string_view)> gridKey_;
};

}  // namespace dulvex
