// What a scenario acts on and reads: the window model alone, or the real Qt window over it.
// The runner's commands speak to this interface only, so the same files run both ways.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "commands/find_command.h"
#include "core/window_model.h"
#include "support/scripted_prompter.h"
#include "support/test_support.h"

namespace dulvex::scenario {

// The answer of one dialog to come, as the script queues it.
struct Answer {
  enum class Kind { Message, Input, File, Find, Device, Pick };
  Kind kind = Kind::Message;
  bool escape = false;   // Esc pressed in the dialog
  bool cancel = false;   // its Cancel button (every kind but message boxes)
  int button = 0;        // message boxes: kAnswerYes, kAnswerNo or kAnswerOk
  std::string text;      // what is typed or chosen: input, file, device
  std::size_t pick = 0;  // the item chosen in a list of hits, from 0
  search::FindRequest find;
};

// How an action went.
enum class Attempt { Ran, Disabled, NoHandler, OtherKind };

// A property as read: text, colour, flag or number.
using Value = std::variant<std::string, Rgb, bool, double>;
enum class Property {
  Caption,
  Tooltip,
  Back,
  Fore,
  Visible,
  Enabled,
  Bold,
  FontSize,
  Width,
  Height,
  Left,
  Top
};

// The properties a control and a cell as its grid paints it both hold, read alike; nothing for
// the others (tooltip, visible, enabled), which each surface reads in its own way.
template <class Fields>
std::optional<Value> FieldOf(const Fields& c, Property p) {
  switch (p) {
    case Property::Caption:
      return c.caption;
    case Property::Back:
      return c.back;
    case Property::Fore:
      return c.fore;
    case Property::Bold:
      return c.bold;
    case Property::FontSize:
      return c.fontSize;
    case Property::Width:
      return c.width;
    case Property::Height:
      return c.height;
    case Property::Left:
      return c.left;
    case Property::Top:
      return c.top;
    default:
      return std::nullopt;
  }
}

class Surface {
 public:
  virtual ~Surface() = default;
  // The model under it all: the state, the journal and the faults no widget shows.
  virtual WindowModel& model() = 0;
  // drives/L of the scenario's temporary folder.
  virtual std::filesystem::path Drive(char letter) const = 0;

  virtual void Queue(const Answer& answer) = 0;
  // The items of the last list of hits (Find Name) shown, in order.
  virtual std::vector<std::string> Hits() = 0;
  // How the searches read the media, where `fault` adds read faults.
  virtual device::FaultyOpener& BulkOpener() = 0;
  // Every box, input box and file dialog shown so far, in order.
  virtual const std::vector<ShownBox>& Shown() = 0;

  // A user's action on a control: verb menu, click, hover, key (with `code`), type or keys
  // (with `text`) or leave.
  virtual Attempt Act(const std::string& verb, Control& control, const std::string& text,
                      int code) = 0;
  // Keys pressed in the main window, as Qt spells them ("PgDown", "Ctrl+Home"): the window
  // takes them as the keyboard sends them (to the widget that has the focus); the model runs
  // the menu item they stand for, or moves the grid's cell cursor. NoHandler when neither has
  // these keys.
  virtual Attempt Press(const std::string& keys) = 0;
  // The system clipboard: what another program put there, and what the program put there.
  virtual void SetClipboard(const std::string& text) = 0;
  virtual std::string ClipboardText() = 0;
  // The file `path` dropped on the control.
  virtual Attempt Drop(Control& control, const std::string& path) = 0;
  // A property of a control; nothing when this surface cannot show it.
  virtual std::optional<Value> Read(Control& control, Property property) = 0;
  // The Cluster Chain report as one text (title, summary, one line per run); nothing when
  // none is shown.
  virtual std::optional<std::string> Report() = 0;
  // Chooses run `row` (from 0) of the report, as a click in its window does.
  virtual bool ChooseRun(std::size_t row) = 0;
  // The data inspector's lines, when it is open.
  virtual std::optional<std::vector<std::string>> Inspector() = 0;
  // The Check Volume window: its summary, then "severity | kind | place" for each finding;
  // nothing when it is not shown.
  virtual std::optional<std::string> Findings() = 0;
  // Presses `button` of the Check Volume window: "show" or "repair" (its repair `option`
  // chosen) with finding `row` selected, "repair-all" or "again". False when it cannot.
  virtual bool PressCheck(const std::string& button, std::size_t row, std::size_t option) = 0;
  // The repair preview: its summary, then the first line of each sector's diff; nothing when
  // it is not shown.
  virtual std::optional<std::string> Preview() = 0;
  // Presses Apply or Cancel in the preview. False when it is not shown.
  virtual bool AnswerPreview(bool apply) = 0;
  virtual bool QuitAsked() = 0;
  virtual int Pointer() = 0;
  // Long work sees Cancel after reporting this many times (for every later work).
  virtual void CancelAfter(int reports) = 0;
  // The secondary window `name` is open (nothing: this surface has no such windows), and
  // Esc pressed in it (false: no such window open).
  virtual std::optional<bool> WindowOpen(const std::string& name) = 0;
  virtual bool Escape(const std::string& name) = 0;
  // Saves a picture of the main window as a PNG; false when this surface has no window.
  virtual bool Grab(const std::string& path) = 0;
};

using SurfaceFactory = std::function<std::unique_ptr<Surface>()>;

// A short guide beside the model's "executable" (its exeDir), for the help window to show.
void WriteGuide(const WindowModel& model);

// The window model alone, with a scripted prompter and long work run at once.
std::unique_ptr<Surface> MakeModelSurface();

}  // namespace dulvex::scenario
