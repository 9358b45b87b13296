// The scenario surface of the real program: ui::MainWindow and every window the program opens,
// wired by ui::ProgramWindows as in the program, with the real prompter, the real work runner
// (worker thread and progress dialog) and Qt's own file dialogs. Actions are mouse and key
// events on the widget that shows the control; each modal dialog is answered, once Qt shows
// it, by filling in its widgets and pressing its buttons; expectations read the widgets.
#include "scenario_runner/window_surface.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <thread>

#include "commands/check_command.h"
#include "core/controls.h"
#include "core/shortcuts.h"
#include "sectorio/sector_io.h"
#include "ui/cell_grid_widget.h"
#include "ui/code_page_setting.h"
#include "ui/design_widgets.h"
#include "ui/program_windows.h"

namespace dulvex::scenario {

namespace {

using ui::CellGridWidget;

constexpr double kTwipsPerPixel = 15;

Rgb ToRgb(const QColor& c) {
  return MakeRgb(c.red(), c.green(), c.blue());
}

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QString Name(const ControlId& id) {
  return QString::fromUtf8(id.name.data(), static_cast<qsizetype>(id.name.size()));
}

// Runs the event loop until `done` holds or `ms` pass, looking every millisecond: QTest's own
// waits sleep 10 ms between looks, which over the hundreds of steps of a run costs more than
// the steps themselves.
template <class Done>
bool WaitFor(Done done, int ms) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= until) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Makes the window the active one, as the user's click on it does, and waits until it is.
void Activate(QWidget* w) {
  if (w->isActiveWindow()) return;
  w->activateWindow();
  (void)WaitFor([w] { return w->isActiveWindow(); }, 1000);
}

// The work as the real runner runs it; once "cancel-after N" is given, each work waits after
// its Nth report until Cancel is pressed in the progress dialog (the surface presses it once the
// dialog shows and the work waits there), since a small image is read through long before
// anyone could press it.
class PacedProgress : public WorkProgress {
 public:
  PacedProgress(WorkProgress& inner, int after, std::atomic<bool>& waiting)
      : inner_(inner), after_(after), waiting_(waiting) {}
  void Report(std::uint64_t done, std::uint64_t total) override {
    inner_.Report(done, total);
    if (++reports_ != after_) return;
    waiting_.store(true);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!inner_.Cancelled() && std::chrono::steady_clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  bool Cancelled() const override { return inner_.Cancelled(); }

 private:
  WorkProgress& inner_;
  const int after_;
  std::atomic<bool>& waiting_;
  int reports_ = 0;
};

class PacedRunner : public WorkRunner {
 public:
  explicit PacedRunner(WorkRunner& runner) : runner_(runner) {}
  std::optional<int> cancelAfter;
  std::atomic<bool> waiting{false};  // the work waits for Cancel at its Nth report
  void Run(const std::string& title, WorkUnit unit, Work work, Done done) override {
    if (!cancelAfter) return runner_.Run(title, unit, std::move(work), std::move(done));
    waiting.store(false);
    runner_.Run(
        title, unit,
        [this, work = std::move(work), after = *cancelAfter](WorkProgress& progress) {
          PacedProgress paced(progress, after, waiting);
          work(paced);
        },
        std::move(done));
  }

 private:
  WorkRunner& runner_;
};

// The caption of a menu item as its text reads without the mnemonic's mark ("&File", "A && B").
std::string MenuCaption(const QString& text) {
  QString caption;
  for (int i = 0; i < text.size(); ++i) {
    if (text.at(i) == '&' && i + 1 < text.size()) ++i;
    caption += text.at(i);
  }
  return caption.toStdString();
}

// Keys typed one character at a time, as the keyboard sends them.
void TypeKeys(QWidget* widget, const QString& text) {
  for (int i = 0; i < text.size(); ++i) {
    const int n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    const QString ch = text.mid(i, n);
    i += n - 1;
    const Qt::Key key = ch.size() == 1 && ch.at(0).unicode() < 0x80
                            ? QTest::asciiToKey(static_cast<char>(ch.at(0).unicode()))
                            : Qt::Key_unknown;
    QTest::sendKeyEvent(QTest::Press, widget, key, ch, Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, widget, key, ch, Qt::NoModifier);
  }
}

// A mouse click at `at`, or at the widget's centre; a radio button or check box is clicked on
// its indicator (its centre may lie past its text, where a click does nothing).
void Click(QWidget* widget, QPoint at = {}) {
  if (at.isNull()) {
    at = widget->rect().center();
    QStyleOptionButton option;
    option.initFrom(widget);
    if (qobject_cast<QRadioButton*>(widget) != nullptr)
      at = widget->style()
               ->subElementRect(QStyle::SE_RadioButtonIndicator, &option, widget)
               .center();
    if (qobject_cast<QCheckBox*>(widget) != nullptr)
      at = widget->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, widget).center();
  }
  QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
}

// Esc pressed in a window: to the widget that has its focus, as the keyboard sends it.
void PressEscape(QWidget* window) {
  QWidget* focus = window->focusWidget();
  QTest::keyClick(focus != nullptr ? focus : window, Qt::Key_Escape);
}

// The button of a button box with this role.
QAbstractButton* ButtonOf(QWidget* dialog, QDialogButtonBox::ButtonRole role) {
  for (auto* box : dialog->findChildren<QDialogButtonBox*>())
    for (QAbstractButton* b : box->buttons())
      if (box->buttonRole(b) == role) return b;
  return nullptr;
}

// A message box's style as the program asked for it: buttons in the low bits, the icon above.
int StyleOf(const QMessageBox& box) {
  const auto b = box.standardButtons();
  const int buttons = b.testFlag(QMessageBox::Yes) && b.testFlag(QMessageBox::Cancel) ? 3
                      : b.testFlag(QMessageBox::Yes)                                  ? 4
                      : b.testFlag(QMessageBox::Abort)                                ? 2
                      : b.testFlag(QMessageBox::Retry)                                ? 5
                      : b.testFlag(QMessageBox::Cancel)                               ? 1
                                                                                      : 0;
  const QMessageBox::Icon icon = box.icon();
  return buttons + (icon == QMessageBox::Critical      ? 16
                    : icon == QMessageBox::Question    ? 32
                    : icon == QMessageBox::Warning     ? 48
                    : icon == QMessageBox::Information ? 64
                                                       : 0);
}

class WindowSurface : public QObject, public Surface {
 public:
  WindowSurface() {
    // The recent images kept in settings of the scenario's own, never the user's.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString((dir_.path() / "settings").string()));
    testing::BuildModel(
        model_, dir_.path(),
        {windows_.findAsker(), windows_.drivesShell(), &bulkOpener_, windows_.clipboard()});
    WriteGuide(model_);
    ui::InstallCodePageSetting(model_, std::nullopt);
    windows_.Open(model_, prompter_, qtRunner_);
    qApp->installEventFilter(this);
    window().show();
    window().activateWindow();
    (void)WaitFor([this] { return window().windowHandle()->isExposed(); }, 5000);
  }
  ~WindowSurface() override { qApp->removeEventFilter(this); }

  WindowModel& model() override { return model_; }
  std::filesystem::path Drive(char letter) const override {
    return dir_.path() / "drives" / std::string(1, letter);
  }
  void Queue(const Answer& answer) override { answers_.push_back(answer); }
  const std::vector<ShownBox>& Shown() override { return shown_; }
  std::vector<std::string> Hits() override { return hits_; }
  device::FaultyOpener& BulkOpener() override { return bulkOpener_; }

  Attempt Act(const std::string& verb, Control& c, const std::string& text, int code) override;
  Attempt Drop(Control& c, const std::string& path) override;
  Attempt Press(const std::string& keys) override {
    if (!ItemOfKeys(keys) && !CursorKeyOf(keys)) return Attempt::NoHandler;
    Activate(&window());
    // To the widget that has the focus, as the keyboard sends it.
    QWidget* focus = window().focusWidget();
    QTest::keySequence(focus != nullptr ? focus : &window(), QKeySequence(Q(keys)));
    Settle();
    return Attempt::Ran;
  }
  std::optional<Value> Read(Control& c, Property p) override;
  void SetClipboard(const std::string& text) override {
    QApplication::clipboard()->setText(Q(text));
  }
  std::string ClipboardText() override { return QApplication::clipboard()->text().toStdString(); }

  std::optional<std::string> Report() override {
    return Listed("frmClusterChain", "lblChainSummary", "lstChainRuns");
  }
  bool ChooseRun(std::size_t row) override {
    auto* report = window().findChild<QWidget*>("frmClusterChain");
    auto* runs = report != nullptr ? report->findChild<QListWidget*>("lstChainRuns") : nullptr;
    if (runs == nullptr || !report->isVisible() || row >= static_cast<std::size_t>(runs->count()))
      return false;
    QListWidgetItem* item = runs->item(static_cast<int>(row));
    if ((item->flags() & Qt::ItemIsEnabled) == 0) return false;
    runs->scrollToItem(item);
    Click(runs->viewport(), runs->visualItemRect(item).center());
    Settle();
    return true;
  }
  std::optional<std::vector<std::string>> Inspector() override {
    QWidget* w = TopLevel("frmInspector");
    if (w == nullptr || !w->isVisible()) return std::nullopt;
    std::vector<std::string> lines;
    for (const QString& line :
         w->findChild<QPlainTextEdit*>("txtInspector")->toPlainText().split('\n'))
      lines.push_back(line.toStdString());
    return lines;
  }
  std::optional<std::string> Findings() override {
    return Listed(Name(kCheckWindow), Name(kCheckSummary), Name(kFindingList), 3);
  }
  bool PressCheck(const std::string& button, std::size_t row, std::size_t option) override {
    auto* w = window().findChild<QWidget*>(Name(kCheckWindow));
    if (w == nullptr || !w->isVisible()) return false;
    if (button == "show" || button == "repair") {
      auto* list = w->findChild<QTreeWidget*>(Name(kFindingList));
      if (row >= static_cast<std::size_t>(list->topLevelItemCount())) return false;
      QTreeWidgetItem* item = list->topLevelItem(static_cast<int>(row));
      list->scrollToItem(item);
      Click(list->viewport(), list->visualItemRect(item).center());
      Settle();
    }
    if (button == "repair") {
      auto* repairs = w->findChild<QComboBox*>(Name(kFindingRepairs));
      if (option >= static_cast<std::size_t>(repairs->count())) return false;
      repairs->setCurrentIndex(static_cast<int>(option));
    }
    const ControlId* id = button == "show"         ? &kShowFinding
                          : button == "repair"     ? &kRepairFinding
                          : button == "repair-all" ? &kRepairAll
                          : button == "again"      ? &kCheckAgain
                                                   : nullptr;
    auto* b = id == nullptr ? nullptr : w->findChild<QPushButton*>(Name(*id));
    if (b == nullptr || !b->isEnabled()) return false;
    Click(b);
    Settle();
    return true;
  }
  std::optional<std::string> Preview() override {
    return Listed(Name(kPreviewWindow), Name(kPreviewSummary), Name(kPreviewSectors));
  }
  bool AnswerPreview(bool apply) override {
    auto* w = window().findChild<QWidget*>(Name(kPreviewWindow));
    if (w == nullptr || !w->isVisible()) return false;
    Click(w->findChild<QPushButton*>(Name(apply ? kApplyRepair : kCancelRepair)));
    Settle();
    return true;
  }
  bool QuitAsked() override { return !window().isVisible(); }
  int Pointer() override {
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor != nullptr && cursor->shape() == Qt::WaitCursor ? kPointerHourglass
                                                                  : kPointerDefault;
  }
  void CancelAfter(int reports) override {
    paced_.cancelAfter = reports;
    // The dialog shows at once, so the Cancel pressed in it is not held back by the delay that
    // keeps quick work from flashing a dialog.
    qtRunner_.SetShowAfter(0);
  }
  std::optional<bool> WindowOpen(const std::string& name) override {
    QWidget* w = TopLevel(name);
    return w != nullptr && w->isVisible();
  }
  bool Escape(const std::string& name) override {
    QWidget* w = TopLevel(name);
    if (w == nullptr || !w->isVisible()) return false;
    // The window the user presses Esc in is the active one.
    Activate(w);
    PressEscape(w);
    Settle();
    return true;
  }
  bool Grab(const std::string& path) override {
    Settle();
    return window().grab().save(Q(path), "PNG");
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    // A dialog coming up: answered from inside its own event loop, once it runs.
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
      auto* dialog = qobject_cast<QDialog*>(watched);
      if (dialog != nullptr && dialog->isWindow()) {
        QTimer::singleShot(0, this, [this, d = QPointer<QDialog>(dialog)] {
          if (d == nullptr || !d->isVisible()) return;
          if (qobject_cast<QProgressDialog*>(d) == nullptr) Watch(d);
          AnswerDialog(d);
        });
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  ui::MainWindow& window() { return windows_.window(); }

  // Lets what an action started run on: posted events, deferred deletes, repaints.
  void Settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
  }

  // The summary of a window of the main window, then the rows of its list, one a line, their
  // first `columns` cells joined by " | "; nothing when the window is not shown.
  std::optional<std::string> Listed(const QString& name, const QString& summary,
                                    const QString& list, int columns = 1) {
    auto* w = window().findChild<QWidget*>(name);
    if (w == nullptr || !w->isVisible()) return std::nullopt;
    std::string text = w->findChild<QLabel*>(summary)->text().toStdString();
    const QAbstractItemModel* rows = w->findChild<QAbstractItemView*>(list)->model();
    for (int r = 0; r < rows->rowCount(); ++r) {
      QStringList cells;
      for (int c = 0; c < columns; ++c) cells << rows->index(r, c).data().toString();
      text += "\n" + cells.join(" | ").toStdString();
    }
    return text;
  }

  QWidget* TopLevel(const std::string& name) {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName().toStdString() == name) return w;
    return nullptr;
  }

  // The oldest answer of this kind queued; nothing when none is (the dialog's default).
  std::optional<Answer> Next(Answer::Kind kind) {
    const auto it = std::find_if(answers_.begin(), answers_.end(),
                                 [kind](const Answer& a) { return a.kind == kind; });
    if (it == answers_.end()) return std::nullopt;
    Answer a = *it;
    answers_.erase(it);
    return a;
  }
  // The answer for a dialog that is not a message box: nothing once Esc or Cancel was pressed in
  // it, for that answer or for none queued.
  std::optional<Answer> Take(QDialog* dialog, Answer::Kind kind) {
    std::optional<Answer> a = Next(kind);
    if (a && a->escape)
      PressEscape(dialog);
    else if (!a || a->cancel)
      Click(ButtonOf(dialog, QDialogButtonBox::RejectRole));
    else
      return a;
    return std::nullopt;
  }

  void AnswerDialog(QDialog* d);
  void AnswerMessage(QMessageBox* box);
  void AnswerInput(QInputDialog* dialog);
  void AnswerFile(QFileDialog* dialog);
  static void ChooseKindFor(QFileDialog* dialog, const QString& path);
  void AnswerFind(QDialog* dialog);
  void AnswerPick(QDialog* dialog);
  void AnswerDevice(QDialog* dialog);
  // A dialog the surface cannot answer as asked: shown as a box of its own (so an expectation
  // names it), then closed with Esc.
  void Refuse(QDialog* dialog, const std::string& why) {
    shown_.push_back({false, false, why, 0, {}, {}});
    dialog->reject();
  }
  // Ends a dialog its answer left open, so a run never hangs on it.
  void Watch(QDialog* dialog) {
    QTimer::singleShot(5000, this, [this, d = QPointer<QDialog>(dialog)] {
      if (d != nullptr && d->isVisible())
        Refuse(d, "the dialog " + d->windowTitle().toStdString() + " stayed open");
    });
  }

  // The widget of a control, when it shows; for a cell, its grid and slot.
  QWidget* WidgetOf(const Control& c, int* slot = nullptr) {
    if (c.kind == ControlKind::Cell) {
      const bool board = c.name.starts_with("LabelB");
      const bool text = c.name == "Label55" || c.name == "LabelB55";
      if (slot != nullptr) *slot = c.index + (text ? CellGridWidget::kCells : 0);
      return board ? static_cast<QWidget*>(window().boardGrid()) : window().sectorGrid();
    }
    if (c.kind == ControlKind::Form) return window().form();
    return window().WidgetOf(c.Key());
  }

  // Whether a user could reach the action: it (unless `itself` is false) and each menu holding
  // it enabled.
  static bool Reachable(QAction* action, bool itself = true) {
    for (int depth = 0; action != nullptr && depth < 8; ++depth) {
      if ((itself || depth > 0) && !action->isEnabled()) return false;
      QAction* holder = nullptr;
      for (QObject* o : action->associatedObjects())
        if (auto* menu = qobject_cast<QMenu*>(o)) holder = menu->menuAction();
      action = holder;
    }
    return true;
  }

  // The focus in the text box, as a click into it gives it.
  void Focus(QWidget* box) {
    if (QApplication::focusWidget() == box) return;
    Activate(&window());
    box->setFocus(Qt::MouseFocusReason);
  }

  testing::TempDir dir_;
  device::FaultyOpener bulkOpener_{device::DefaultOpener()};  // the search reads, with faults
  ui::QtPrompter prompter_;
  ui::QtWorkRunner qtRunner_;
  PacedRunner paced_{qtRunner_};
  WindowModel model_{prompter_, paced_};
  ui::ProgramWindows windows_;  // after the model: the windows go first
  std::deque<Answer> answers_;
  std::vector<ShownBox> shown_;
  std::vector<std::string> hits_;  // the items of the last list of hits
};

Attempt WindowSurface::Act(const std::string& verb, Control& c, const std::string& text, int code) {
  const bool menu = c.kind == ControlKind::Menu || c.kind == ControlKind::MenuItem;
  const bool typing = verb == "type" || verb == "keys";
  if (verb == "menu" ? !menu : typing && c.kind != ControlKind::TextBox) return Attempt::OtherKind;
  if (menu) {
    QAction* action = window().ActionOf(c.Key());
    if (action == nullptr) return Attempt::NoHandler;
    if (!action->isVisible()) {
      // A hidden item is reached by its key (F3 for mnuFindNext), pressed in the window.
      if (!Reachable(action, false)) return Attempt::Disabled;
      for (QAction* key : window().actions()) {
        if (key->data().toString().toStdString() != c.Key() || key->shortcut().isEmpty()) continue;
        Activate(&window());
        QTest::keySequence(&window(), key->shortcut());
        Settle();
        return Attempt::Ran;
      }
      return Attempt::NoHandler;
    }
    if (!Reachable(action)) return Attempt::Disabled;
    if (QMenu* items = action->menu()) {
      // A menu with items drops down (and closes again), as a click on the menu bar opens it.
      items->popup(window().mapToGlobal(window().menuBar()->actionGeometry(action).bottomLeft()));
      Settle();
      items->hide();
    } else {
      action->trigger();
    }
    Settle();
    return Attempt::Ran;
  }
  int slot = -1;
  QWidget* w = WidgetOf(c, &slot);
  if (w == nullptr) return Attempt::NoHandler;
  auto* line = qobject_cast<QLineEdit*>(w);
  auto* edit = qobject_cast<QPlainTextEdit*>(w);
  if (!w->isEnabled() || (typing && ((line != nullptr && line->isReadOnly()) ||
                                     (edit != nullptr && edit->isReadOnly()))))
    return Attempt::Disabled;
  const QPoint at =
      slot >= 0 ? static_cast<CellGridWidget*>(w)->SlotRect(slot).center() : w->rect().center();
  if (verb == "click") {
    Click(w, at);
  } else if (verb == "hover") {
    // As the mouse sends it, also when it has not moved since the last event.
    QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(w, &move);
  } else if (typing || verb == "key" || verb == "leave") {
    if (line == nullptr && edit == nullptr) return Attempt::OtherKind;
    Focus(w);
    if (verb == "leave") {
      w->clearFocus();
    } else if (verb == "key") {
      const Qt::Key key = code == 13   ? Qt::Key_Return
                          : code == 8  ? Qt::Key_Backspace
                          : code == 27 ? Qt::Key_Escape
                          : code == 9  ? Qt::Key_Tab
                                       : Qt::Key_unknown;
      const QString ch = key == Qt::Key_unknown ? QString(QChar(code)) : QString();
      QTest::sendKeyEvent(QTest::Press, w, key, ch, Qt::NoModifier);
      QTest::sendKeyEvent(QTest::Release, w, key, ch, Qt::NoModifier);
    } else {
      // "keys": the box emptied, then each key; "type": the whole text pasted over the box.
      if (line != nullptr) line->selectAll();
      if (edit != nullptr) edit->selectAll();
      if (verb == "keys") {
        TypeKeys(w, Q(text));
      } else if (text.empty()) {
        QTest::keyClick(w, Qt::Key_Delete);
      } else {
        QApplication::clipboard()->setText(Q(text));
        QTest::keyClick(w, Qt::Key_V, Qt::ControlModifier);
      }
    }
  }
  Settle();
  return Attempt::Ran;
}

Attempt WindowSurface::Drop(Control& c, const std::string& path) {
  int slot = -1;
  QWidget* w =
      c.kind == ControlKind::MenuItem || c.kind == ControlKind::Menu ? nullptr : WidgetOf(c, &slot);
  if (w == nullptr) return Attempt::NoHandler;
  const QPoint at =
      slot >= 0 ? static_cast<CellGridWidget*>(w)->SlotRect(slot).center() : w->rect().center();
  // As a file manager drags a file: its URL, and the same as plain text.
  QMimeData data;
  const QUrl url = QUrl::fromLocalFile(Q(path));
  data.setUrls({url});
  data.setText(url.toString());
  // As a drag routes it: the entry to the widget under the pointer (Qt hands it on to the
  // first one up the chain that takes drops), then the drop to the one that accepted it.
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &enter);
  if (!enter.isAccepted()) return Attempt::Disabled;
  QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &move);
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(w, &drop);
  Settle();
  return drop.isAccepted() ? Attempt::Ran : Attempt::Disabled;
}

std::optional<Value> WindowSurface::Read(Control& c, Property p) {
  if (c.kind == ControlKind::Menu || c.kind == ControlKind::MenuItem) {
    QAction* a = window().ActionOf(c.Key());
    if (a == nullptr) return std::nullopt;
    switch (p) {
      case Property::Caption:
        return MenuCaption(a->text());
      case Property::Tooltip:
        return a->toolTip().toStdString();
      case Property::Visible:
        return a->isVisible();
      case Property::Enabled:
        return a->isEnabled();
      default:
        return std::nullopt;
    }
  }
  int slot = -1;
  QWidget* w = WidgetOf(c, &slot);
  if (w == nullptr) return std::nullopt;
  if (slot >= 0) {
    // A cell as its grid paints it.
    auto* grid = static_cast<CellGridWidget*>(w);
    const CellGridWidget::Shown& cell = grid->ShownAt(slot);
    if (p == Property::Visible) return cell.visible && grid->isVisibleTo(&window());
    if (p == Property::Enabled) return grid->isEnabled();
    if (p != Property::Tooltip) return FieldOf(cell, p);
    // The tip the grid shows for the pointer resting on the cell.
    QToolTip::hideText();
    const QPoint at = grid->SlotRect(slot).center();
    QHelpEvent help(QEvent::ToolTip, at, grid->mapToGlobal(at));
    QApplication::sendEvent(grid, &help);
    return QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
  }
  const QPalette& pal = w->palette();
  auto* label = qobject_cast<QLabel*>(w);
  auto* line = qobject_cast<QLineEdit*>(w);
  auto* edit = qobject_cast<QPlainTextEdit*>(w);
  auto* button = qobject_cast<QPushButton*>(w);
  auto* panel = qobject_cast<ui::PanelWidget*>(w);
  const bool form = c.kind == ControlKind::Form;
  switch (p) {
    case Property::Caption: {
      if (form) return window().windowTitle().toStdString();
      if (label != nullptr) return label->text().toStdString();
      if (line != nullptr) return line->text().toStdString();
      if (button != nullptr) return button->text().toStdString();
      if (panel != nullptr) return panel->caption().toStdString();
      // A multi-line box shows lines; the program writes each break as CR LF.
      if (edit != nullptr) return edit->toPlainText().replace("\n", "\r\n").toStdString();
      return std::nullopt;
    }
    case Property::Tooltip:
      return w->toolTip().toStdString();
    case Property::Back:
    case Property::Fore: {
      const bool back = p == Property::Back;
      if (panel != nullptr) return ToRgb(back ? panel->back() : panel->fore());
      if (auto* shape = qobject_cast<ui::ShapeWidget*>(w); shape != nullptr && !back)
        return ToRgb(shape->colour());
      if (auto* l = qobject_cast<ui::LineWidget*>(w); l != nullptr && !back)
        return ToRgb(l->colour());
      const QPalette::ColorRole role =
          button != nullptr                    ? (back ? QPalette::Button : QPalette::ButtonText)
          : line != nullptr || edit != nullptr ? (back ? QPalette::Base : QPalette::Text)
                                               : (back ? QPalette::Window : QPalette::WindowText);
      return ToRgb(pal.color(QPalette::Active, role));
    }
    case Property::Visible:
      return form ? window().isVisible() : w->isVisibleTo(&window());
    case Property::Enabled:
      return w->isEnabled();
    case Property::Bold:
      return w->font().bold();
    // Sizes as the design gives them: a form shrunk to fit a small screen draws every one
    // smaller by the same factor.
    case Property::FontSize:
      return w->font().pointSizeF() / window().scale();
    case Property::Width:
      return w->width() * kTwipsPerPixel / window().scale();
    case Property::Height:
      return w->height() * kTwipsPerPixel / window().scale();
    case Property::Left:
      return w->x() * kTwipsPerPixel / window().scale();
    case Property::Top:
      return w->y() * kTwipsPerPixel / window().scale();
  }
  return std::nullopt;
}

void WindowSurface::AnswerDialog(QDialog* d) {
  if (auto* progress = qobject_cast<QProgressDialog*>(d)) {
    // Cancel, for the work the script cancels, once the work waits for it (PacedProgress): the
    // dialog shows as the work starts. Pressed again while the dialog stays up, as a user would
    // on a busy machine.
    if (!paced_.cancelAfter) return;
    const bool waiting = paced_.waiting.load();
    if (waiting)
      if (auto* cancel = progress->findChild<QPushButton*>()) Click(cancel);
    QTimer::singleShot(waiting ? 200 : 2, this, [this, p = QPointer<QProgressDialog>(progress)] {
      if (p != nullptr && p->isVisible()) AnswerDialog(p);
    });
    return;
  }
  if (auto* box = qobject_cast<QMessageBox*>(d)) {
    // The file dialog's own question (replace a file that exists?) is part of choosing the file;
    // its complaint (no such file) means it does not take the file the script chose.
    for (QWidget* p = box->parentWidget(); p != nullptr; p = p->parentWidget()) {
      auto* file = qobject_cast<QFileDialog*>(p);
      if (file == nullptr) continue;
      if (QAbstractButton* yes = box->button(QMessageBox::Yes)) return Click(yes);
      shown_.push_back(
          {false, false, "the file dialog says: " + box->text().toStdString(), 0, {}, {}});
      box->reject();
      file->reject();
      return;
    }
    return AnswerMessage(box);
  }
  if (auto* input = qobject_cast<QInputDialog*>(d)) return AnswerInput(input);
  if (auto* file = qobject_cast<QFileDialog*>(d)) return AnswerFile(file);
  if (d->objectName() == "FindDialog") return AnswerFind(d);
  if (d->objectName() == "FindNameDialog") return AnswerPick(d);
  if (d->objectName() == "OpenDeviceDialog") return AnswerDevice(d);
  Refuse(d, "a dialog the runner does not know: " + d->windowTitle().toStdString());
}

void WindowSurface::AnswerMessage(QMessageBox* box) {
  const int style = StyleOf(*box);
  shown_.push_back(
      {false, false, box->text().toStdString(), style, box->windowTitle().toStdString(), {}});
  const std::optional<Answer> a = Next(Answer::Kind::Message);
  if (a && a->escape) return PressEscape(box);
  // With nothing queued: No in a Yes/No box, else OK; never a confirmation by default.
  const int answer = a ? a->button : (style & 7) == kStyleYesNo ? kAnswerNo : kAnswerOk;
  const QMessageBox::StandardButton which = answer == kAnswerYes  ? QMessageBox::Yes
                                            : answer == kAnswerNo ? QMessageBox::No
                                                                  : QMessageBox::Ok;
  // An answer for a box without that button (Yes for an OK box) takes the box's own button.
  QAbstractButton* button = box->button(which);
  Click(button != nullptr ? button : box->buttons().front());
}

void WindowSurface::AnswerInput(QInputDialog* dialog) {
  shown_.push_back({true, false, dialog->labelText().toStdString(), 0,
                    dialog->windowTitle().toStdString(), dialog->textValue().toStdString()});
  const std::optional<Answer> a = Take(dialog, Answer::Kind::Input);
  if (!a) return;
  auto* line = dialog->findChild<QLineEdit*>();
  line->setFocus();
  line->selectAll();
  if (a->text.empty()) QTest::keyClick(line, Qt::Key_Delete);
  TypeKeys(line, Q(a->text));
  Click(ButtonOf(dialog, QDialogButtonBox::AcceptRole));
}

void WindowSurface::AnswerFile(QFileDialog* dialog) {
  auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
  shown_.push_back({false,
                    true,
                    dialog->windowTitle().toStdString(),
                    0,
                    {},
                    name != nullptr ? name->text().toStdString() : std::string()});
  const std::optional<Answer> a = Next(Answer::Kind::File);
  if (a && a->escape) return PressEscape(dialog);
  if (!a || a->cancel || name == nullptr)
    return Click(ButtonOf(dialog, QDialogButtonBox::RejectRole));
  ChooseKindFor(dialog, Q(a->text));
  const auto type = [name, &a] {
    name->setFocus();
    name->selectAll();
    // The path in one key event, as an input method gives it: typed a key at a time, each "/"
    // would have the dialog's completer change folders under the typing.
    QTest::sendKeyEvent(QTest::Press, name, Qt::Key_unknown, Q(a->text), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, name, Qt::Key_unknown, Q(a->text), Qt::NoModifier);
    // The completer's list of names, if it opened, goes as the user goes on to the button.
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
  };
  type();
  QAbstractButton* accept = ButtonOf(dialog, QDialogButtonBox::AcceptRole);
  // The dialog lists its folder on a thread of its own and takes only a name it has listed:
  // typed before the list was there, the name is typed again once the list shows it.
  auto* listing = dialog->findChild<QFileSystemModel*>();
  if (accept != nullptr && !accept->isEnabled() && listing != nullptr &&
      WaitFor([&] { return listing->index(Q(a->text)).isValid(); }, 3000))
    type();
  if (accept == nullptr || !accept->isEnabled())
    return Refuse(dialog, "the file dialog does not take " + a->text);
  Click(accept);
}

// A file the chosen kind of file hides is not taken: the user first goes down the list of
// kinds (with the keys, so the dialog hears of it) to one that shows the file.
void WindowSurface::ChooseKindFor(QFileDialog* dialog, const QString& path) {
  auto* kinds = dialog->findChild<QComboBox*>("fileTypeCombo");
  if (kinds == nullptr) return;
  const QString name = QFileInfo(path).fileName();
  const auto shows = [&name](const QString& kind) {
    const QRegularExpressionMatch m = QRegularExpression(R"(\(([^)]*)\))").match(kind);
    const QStringList patterns = m.hasMatch() ? m.captured(1).split(' ', Qt::SkipEmptyParts)
                                              : QStringList{QStringLiteral("*")};
    return std::any_of(patterns.begin(), patterns.end(), [&name](const QString& p) {
      return QRegularExpression::fromWildcard(p, Qt::CaseInsensitive).match(name).hasMatch();
    });
  };
  for (int i = kinds->currentIndex(); i + 1 < kinds->count() && !shows(kinds->currentText()); ++i)
    QTest::keyClick(kinds, Qt::Key_Down);
}

void WindowSurface::AnswerFind(QDialog* dialog) {
  const std::optional<Answer> a = Take(dialog, Answer::Kind::Find);
  if (!a) return;
  const search::FindRequest& q = a->find;
  auto* text = dialog->findChild<QLineEdit*>("FindText");
  text->setFocus();
  text->selectAll();
  QTest::keyClick(text, Qt::Key_Delete);
  TypeKeys(text, Q(q.text));
  Click(dialog->findChild<QRadioButton*>("FindKind" + QString::number(static_cast<int>(q.kind))));
  Click(dialog->findChild<QRadioButton*>("FindFrom" + QString::number(static_cast<int>(q.from))));
  for (auto [box, want] :
       {std::pair{"FindIgnoreCase", q.ignoreCase}, std::pair{"FindDataRegion", q.dataRegionOnly}}) {
    auto* check = dialog->findChild<QCheckBox*>(box);
    if (check->isEnabled() && check->isChecked() != want) Click(check);
  }
  QAbstractButton* find = ButtonOf(dialog, QDialogButtonBox::AcceptRole);
  if (!find->isEnabled()) return Refuse(dialog, "the find dialog does not take " + q.text);
  Click(find);
}

void WindowSurface::AnswerPick(QDialog* dialog) {
  auto* list = dialog->findChild<QListWidget*>("FindNameHits");
  hits_.clear();
  for (int i = 0; list != nullptr && i < list->count(); ++i)
    hits_.push_back(list->item(i)->text().toStdString());
  const std::optional<Answer> a = Take(dialog, Answer::Kind::Pick);
  if (!a) return;
  if (a->pick >= hits_.size()) return Refuse(dialog, "no hit " + std::to_string(a->pick + 1));
  QListWidgetItem* item = list->item(static_cast<int>(a->pick));
  list->scrollToItem(item);
  Click(list->viewport(), list->visualItemRect(item).center());
  Click(ButtonOf(dialog, QDialogButtonBox::AcceptRole));
}

void WindowSurface::AnswerDevice(QDialog* dialog) {
  const std::optional<Answer> a = Take(dialog, Answer::Kind::Device);
  if (!a) return;
  auto* tree = dialog->findChild<QTreeWidget*>("DeviceList");
  for (QTreeWidgetItemIterator it(tree); *it != nullptr; ++it) {
    if ((*it)->data(0, Qt::UserRole).toString() != Q(a->text)) continue;
    tree->scrollToItem(*it);
    Click(tree->viewport(), tree->visualItemRect(*it).center());
    return Click(ButtonOf(dialog, QDialogButtonBox::AcceptRole));
  }
  Refuse(dialog, "no device " + a->text + " in the list");
}

}  // namespace

std::unique_ptr<Surface> MakeWindowSurface() {
  return std::make_unique<WindowSurface>();
}

}  // namespace dulvex::scenario
