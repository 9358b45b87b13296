// The scenario surface of the window model alone: actions go to the model as the Qt layer
// forwards them, properties are read from the controls, boxes answered by the scripted
// prompter, long work run at once.
#include <deque>
#include <fstream>

#include "commands/check_command.h"
#include "commands/open_commands.h"
#include "core/byte_values_host.h"
#include "core/controls.h"
#include "core/shortcuts.h"
#include "fattools/fat_tools.h"
#include "help/install_help.h"
#include "scenario_runner/surface.h"

namespace dulvex::scenario {

namespace {

// The help window and the About box as the rules see them: open or closed. The help window
// is active as soon as it shows, as a window shown in front is.
struct HelpHost : HelpWindowHost {
  HelpViewer* viewer = nullptr;
  bool open = false;
  int Create() override { return 0; }
  void SetCaption(const std::string&) override {}
  int Show() override {
    open = true;
    viewer->Form_Activate();
    return 0;
  }
  void Close() override { open = false; }
  TwipsRect OuterBounds() const override { return {0, 0, 10860, 8388}; }
  void Move(double, double) override {}
  TwipsSize ScreenSize() const override { return {19200, 10800}; }
  bool Minimized() const override { return false; }
  void PlaceView(double, double, double, double) override {}
  void ShowDocument(const RtfDocument&) override {}
};

// The data inspector as the rules see it: its lines, and whether it is open.
struct Inspector : InspectorHost {
  std::vector<std::string> lines;
  bool open = false;
  void Show(const std::vector<std::string>& shown, bool opening) override {
    lines = shown;
    open = open || opening;
  }
  bool IsOpen() const override { return open; }
};

struct AboutBox : AboutHost {
  bool open = false;
  bool Exists() const override { return open; }
  void Load(const AboutTexts&) override {}
  void Show() override { open = true; }
};

class ModelSurface : public Surface {
 public:
  ModelSurface() {
    WriteGuide(f_.model);
    help_.viewer = &viewer_;
    f_.model.state.inspectorHost = &inspector_;
    InstallHelp(f_.model, viewer_, about_, nullptr);
    // Write History is a window of the Qt layer over the journal, which "expect journal" reads.
    f_.model.OnClick(kWriteHistory, [](int) {});
  }

  WindowModel& model() override { return f_.model; }
  std::filesystem::path Drive(char letter) const override { return f_.Drive(letter); }

  void Queue(const Answer& a) override {
    const bool none = a.escape || a.cancel;  // Esc and Cancel answer alike here
    switch (a.kind) {
      case Answer::Kind::Message:
        // 0: the box's own answer to Esc, as with nothing queued.
        return f_.prompter.messageAnswers.push_back(a.escape ? 0 : a.button);
      case Answer::Kind::Input:
        return f_.prompter.inputAnswers.push_back(none ? "" : a.text);
      case Answer::Kind::File:
        return f_.prompter.fileAnswers.push_back(none ? "" : a.text);
      case Answer::Kind::Device:
        return devices_.push_back(none ? "" : a.text);
      case Answer::Kind::Find:
        return f_.findAsker.answers.push_back(none ? std::nullopt : std::optional(a.find));
      case Answer::Kind::Pick:
        return f_.findAsker.choices.push_back(none ? std::nullopt : std::optional(a.pick));
    }
  }
  std::vector<std::string> Hits() override { return f_.findAsker.listed; }
  device::FaultyOpener& BulkOpener() override { return f_.bulkOpener; }
  const std::vector<ShownBox>& Shown() override { return f_.prompter.shown; }

  Attempt Act(const std::string& verb, Control& c, const std::string& text, int code) override {
    WindowModel& m = f_.model;
    const bool menu = c.kind == ControlKind::Menu || c.kind == ControlKind::MenuItem;
    const bool typing = verb == "type" || verb == "keys";
    if (verb == "menu" ? !menu : typing && c.kind != ControlKind::TextBox)
      return Attempt::OtherKind;
    const bool blocked = !m.Reachable(c) || (typing && c.readOnly);
    if (verb == "type" && !blocked) m.Type(c, text);
    // "keys": the box emptied, then the text typed one key at a time.
    for (std::size_t n = 1; verb == "keys" && !blocked && n <= text.size(); ++n)
      m.TypeKey(c, text.substr(0, n));
    const bool ran = typing            ? !blocked
                     : verb == "leave" ? m.LostFocus(c.name, c.index)
                     : verb == "key"   ? m.Key(c.name, code, c.index)
                     : verb == "hover" ? m.Hover(c.name, c.index)
                                       : m.Click(c.name, c.index);
    return ran ? Attempt::Ran : blocked ? Attempt::Disabled : Attempt::NoHandler;
  }

  Attempt Press(const std::string& keys) override {
    const std::optional<ControlId> item = ItemOfKeys(keys);
    if (!item) {
      // The cursor keys, as the grid takes them once a click gave it the focus.
      if (!CursorKeyOf(keys)) return Attempt::NoHandler;
      return f_.model.GridKey(keys) ? Attempt::Ran : Attempt::Disabled;
    }
    // A key whose item is disabled does nothing, as in the window.
    f_.model.Click(*item);
    return Attempt::Ran;
  }
  void SetClipboard(const std::string& text) override { f_.clipboard.SetText(text); }
  std::string ClipboardText() override { return f_.clipboard.Text(); }

  Attempt Drop(Control&, const std::string& path) override {
    if (f_.model.busy) return Attempt::Disabled;
    drives::OpenDropped(f_.model, *shell_, {path});
    return Attempt::Ran;
  }

  std::optional<Value> Read(Control& c, Property p) override {
    if (p == Property::Tooltip) return c.tooltip;
    if (p == Property::Visible) return c.visible;
    if (p == Property::Enabled) return c.enabled;
    return FieldOf(c, p);
  }

  std::optional<std::string> Report() override {
    const auto& report = FatToolsOf(f_.model).report;
    return report ? std::optional(ChainReportText(*report)) : std::nullopt;
  }
  bool ChooseRun(std::size_t row) override { return ChooseChainRun(f_.model, row); }
  std::optional<std::vector<std::string>> Inspector() override {
    if (!inspector_.open) return std::nullopt;
    return inspector_.lines;
  }
  std::optional<std::string> Findings() override {
    const auto& view = CheckVolumeOf(f_.model).view;
    if (!view) return std::nullopt;
    std::string text = view->summary;
    for (const FindingRow& row : view->rows)
      text += "\n" + row.severity + " | " + row.kind + " | " + row.place;
    return text;
  }
  bool PressCheck(const std::string& button, std::size_t row, std::size_t option) override {
    if (button == "again") return mnuCheckVolume_Click(f_.model), true;
    if (!CheckVolumeOf(f_.model).view) return false;
    if (button == "show") return ShowFinding(f_.model, row);
    if (button == "repair") return PreviewRepair(f_.model, row, option);
    if (button == "repair-all") return PreviewRepairAll(f_.model), true;
    return false;
  }
  std::optional<std::string> Preview() override {
    const auto& p = CheckVolumeOf(f_.model).preview;
    if (!p) return std::nullopt;
    std::string text = PreviewSummary(*p);
    for (const check::SectorWrite& w : p->writes) {
      const std::string diff = SectorDiffText(w);
      text += "\n" + diff.substr(0, diff.find('\n'));
    }
    return text;
  }
  bool AnswerPreview(bool apply) override {
    if (!CheckVolumeOf(f_.model).preview) return false;
    apply ? ApplyPreview(f_.model) : CancelPreview(f_.model);
    return true;
  }
  bool QuitAsked() override { return f_.model.quitRequested; }
  int Pointer() override { return f_.model.mousePointer(); }
  void CancelAfter(int reports) override { f_.runner.cancelAfterReports = reports; }
  // Of the secondary windows the rules know the help window and the About box; the lines about
  // the others are for the real window.
  std::optional<bool> WindowOpen(const std::string& name) override {
    if (name == "frmIstruzioni") return help_.open;
    if (name == "Form2") return about_.open;
    return std::nullopt;
  }
  bool Escape(const std::string& name) override {
    if (!WindowOpen(name).value_or(true)) return false;
    if (name == "frmIstruzioni") help_.Close(), viewer_.Form_Unload();
    if (name == "Form2") about_.open = false;
    return true;
  }
  bool Grab(const std::string&) override { return false; }

 private:
  // The Open Device dialog answers from the script; the recent images live in memory.
  std::deque<std::string> devices_;
  std::shared_ptr<drives::DrivesShell> shell_ = [this] {
    std::shared_ptr<drives::DrivesShell> shell = drives::MemoryShell();
    shell->chooseDevice = [this] {
      if (devices_.empty()) return std::string();
      std::string path = devices_.front();
      devices_.pop_front();
      return path;
    };
    return shell;
  }();
  testing::ModelFixture f_{shell_};
  HelpHost help_;
  HelpViewer viewer_{help_, f_.model};
  AboutBox about_;
  struct Inspector inspector_;
};

}  // namespace

void WriteGuide(const WindowModel& model) {
  std::ofstream(model.exeDir / "HELP.rtf") << "{\\rtf1\\ansi Dulvex Hex Editor: the guide.\\par}";
}

std::unique_ptr<Surface> MakeModelSurface() {
  return std::make_unique<ModelSurface>();
}

}  // namespace dulvex::scenario
