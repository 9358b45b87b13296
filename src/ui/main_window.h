// The Qt main window: one widget per control of the window model's design, laid out
// generically by kind; events go to the model's handlers and, after each, the widgets are
// brought up to date with the model.
#pragma once

#include <QMainWindow>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/window_model.h"

class QAction;
class QMenu;
class QScrollArea;

namespace dulvex::ui {

class CellGridWidget;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(WindowModel& model, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Brings every widget up to date with the model; only what changed is touched.
  void Refresh();

  // The widget or menu action of a design key ("Label2(0)", "Text21", "mnuA(3)"); nullptr
  // when there is none.
  QWidget* WidgetOf(const std::string& key) const;
  QAction* ActionOf(const std::string& key) const;
  // The sector grid (Label3, Label55) and the copy-buffer board (LabelB3, LabelB55).
  CellGridWidget* sectorGrid() const { return sectorGrid_; }
  CellGridWidget* boardGrid() const { return boardGrid_; }
  // The client area (the design's Form).
  QWidget* form() const { return form_; }

  // The factor the form is drawn at: 1, or less when the form at its design size does not fit
  // the available area of its screen. Fonts, cells, panels and every control shrink together;
  // when even the smallest readable scale does not fit, the form scrolls.
  double scale() const { return scale_; }
  void SetScale(double scale);
  // Chooses the scale for the window's screen as it is now.
  void FitToScreen();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Binding {
    const Control* control = nullptr;
    Control shown;  // the control as last applied
    QWidget* widget = nullptr;
    QAction* action = nullptr;
  };

  void BuildMenus();
  // A menu command forwards its triggers to the model as clicks on its control.
  void ForwardClicks(QAction* action, const Control& c);
  // Names the action after its control and keeps it in step with the model.
  void Register(QAction* action, const Control& c);
  // Gives each menu and item of a menu a letter of its caption for Alt and the letter; the
  // letters of one menu's items differ where the captions allow.
  void ChooseMnemonics(const std::string& parentKey);
  // Whether the menu or item `key` holds items of its own.
  bool HasMenuItems(const std::string& key) const;
  void BuildMenuItems(QMenu* menu, const std::string& parentKey);
  void BuildWidget(const Control& control);
  void BuildGrid(const Control& cell0);
  void Apply(Binding& binding, bool force);
  void ApplyText(const Binding& binding);
  QWidget* ParentWidget(const Control& control) const;
  // Runs an event of the model; when a handler ran, refreshes the widgets and returns true.
  bool Raise(const std::function<bool()>& event);
  void SetPointer(int pointer);
  // Sizes the scroll area round the form: the whole form when it fits, else what fits.
  void FitScrollArea();

  WindowModel& model_;
  QWidget* form_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  double scale_ = 1;
  // Each grid with its design rectangle in its panel.
  struct GridPlace {
    CellGridWidget* grid;
    double left, top, width, height;
  };
  std::vector<GridPlace> gridPlaces_;
  CellGridWidget* sectorGrid_ = nullptr;
  CellGridWidget* boardGrid_ = nullptr;
  std::vector<Binding> bindings_;
  std::unordered_map<std::string, QWidget*> widgets_;
  std::unordered_map<std::string, QAction*> actions_;
  std::unordered_map<std::string, QChar> mnemonic_;  // by control key
  std::unordered_map<const QObject*, const Control*> controlOf_;
  std::vector<CellGridWidget*> grids_;
  bool centred_ = false;
  bool waitCursor_ = false;
  bool applyingText_ = false;  // a text box is being set from the model, not by the user
};

}  // namespace dulvex::ui
