#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QWindow>
#include <algorithm>
#include <limits>

#include "core/shortcuts.h"
#include "ui/cell_grid_widget.h"
#include "ui/design_look.h"
#include "ui/design_widgets.h"

// The icon lives in a resource of the static Qt layer, which must be registered by hand.
static void InitIconResources() {
  Q_INIT_RESOURCE(help);
}

namespace dulvex::ui {

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// A multi-line box shows line feeds where the model may hold CR LF pairs.
QString BoxText(const Control& c) {
  QString text = Q(c.caption);
  if (c.multiline) text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  return text;
}

bool SameGeometry(const Control& a, const Control& b) {
  return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

bool SameLook(const Control& a, const Control& b) {
  return a.caption == b.caption && a.back == b.back && a.fore == b.fore &&
         a.transparent == b.transparent && a.face == b.face && a.fontSize == b.fontSize &&
         a.bold == b.bold && a.align == b.align && a.border == b.border && a.tooltip == b.tooltip &&
         a.visible == b.visible && a.enabled == b.enabled && a.readOnly == b.readOnly;
}

// Sets a colour role; text roles only for the active states, so a disabled control
// still looks disabled.
void SetRole(QPalette& palette, QPalette::ColorRole role, const QColor& colour, bool allGroups) {
  if (allGroups) {
    palette.setColor(role, colour);
  } else {
    palette.setColor(QPalette::Active, role, colour);
    palette.setColor(QPalette::Inactive, role, colour);
  }
}

// The character code a key press gives a text box: 13 for Enter, 8 for Backspace, 27 for
// Escape, else the first character typed; 0 for keys that type nothing.
int KeyCode(const QKeyEvent& key) {
  switch (key.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Tab:
      return 9;
    default:
      break;
  }
  const QString text = key.text();
  return text.isEmpty() ? 0 : static_cast<int>(text.at(0).unicode());
}

// A caption as a menu shows it: "&" doubled, and an "&" before the first `mnemonic` letter.
QString MenuText(const std::string& caption, QChar mnemonic) {
  QString text = Q(caption);
  text.replace('&', QLatin1String("&&"));
  if (mnemonic.isNull()) return text;
  for (int i = 0; i < text.size(); ++i) {
    if (text.at(i).toUpper() == mnemonic) {
      text.insert(i, '&');
      break;
    }
  }
  return text;
}

}  // namespace

MainWindow::MainWindow(WindowModel& model, QWidget* parent) : QMainWindow(parent), model_(model) {
  const Control& design = model_.At(kForm);
  setObjectName(Q(design.Key()));
  // The program's icon, for this window and every other one it opens.
  InitIconResources();
  // With its size given, the icon is decoded when first drawn, not while the window starts.
  QIcon icon;
  icon.addFile(":/dulvex/dulvex.png", QSize(256, 256));
  QApplication::setWindowIcon(icon);
  form_ = new QWidget(this);
  form_->setObjectName("Form1Client");
  form_->setAutoFillBackground(true);
  // The form scrolls only when even its smallest scale does not fit the screen.
  scroll_ = new QScrollArea(this);
  scroll_->setObjectName("Form1Scroll");
  scroll_->setFrameShape(QFrame::NoFrame);
  scroll_->setWidgetResizable(false);
  scroll_->setWidget(form_);
  scroll_->setFocusPolicy(Qt::NoFocus);  // the keys are the form's controls' and the window's
  setCentralWidget(scroll_);
  menuBar()->setNativeMenuBar(false);
  widgets_[design.Key()] = form_;
  controlOf_[form_] = &design;
  bindings_.push_back({&design, design, form_, nullptr});

  for (const Control& c : model_.Controls()) {
    if (c.kind == ControlKind::Form) continue;
    if (c.kind == ControlKind::Menu || c.kind == ControlKind::MenuItem) continue;
    if (c.kind == ControlKind::Cell) {
      if (c.index == 0 && (&c == model_.Label3[0] || &c == model_.LabelB3[0])) BuildGrid(c);
      continue;
    }
    BuildWidget(c);
  }
  BuildMenus();
  for (Binding& b : bindings_) Apply(b, true);
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  FitToScreen();

  model_.mousePointerChanged = [this](int pointer) { SetPointer(pointer); };
  // "EXIT Program" ends the program, also when other windows (help, About) are open.
  model_.quit = [this] {
    close();
    QCoreApplication::quit();
  };
}

MainWindow::~MainWindow() {
  model_.mousePointerChanged = nullptr;
  model_.quit = nullptr;
  if (waitCursor_) QApplication::restoreOverrideCursor();
}

QWidget* MainWindow::WidgetOf(const std::string& key) const {
  auto it = widgets_.find(key);
  return it == widgets_.end() ? nullptr : it->second;
}

QAction* MainWindow::ActionOf(const std::string& key) const {
  auto it = actions_.find(key);
  return it == actions_.end() ? nullptr : it->second;
}

QWidget* MainWindow::ParentWidget(const Control& control) const {
  QWidget* parent = control.parent.empty() ? nullptr : WidgetOf(control.parent);
  return parent != nullptr ? parent : form_;
}

void MainWindow::BuildWidget(const Control& c) {
  QWidget* parent = ParentWidget(c);
  QWidget* w = nullptr;
  switch (c.kind) {
    case ControlKind::Frame:
      w = new PanelWidget(parent);
      w->installEventFilter(this);
      break;
    case ControlKind::Label: {
      auto* label = new QLabel(parent);
      label->setTextFormat(Qt::PlainText);
      label->setWordWrap(true);
      label->setMouseTracking(true);
      label->installEventFilter(this);
      w = label;
      break;
    }
    case ControlKind::Button: {
      auto* button = new QPushButton(parent);
      button->setAutoDefault(false);
      button->setFocusPolicy(Qt::TabFocus);
      const std::string name = c.name;
      const int index = c.index;
      connect(button, &QPushButton::clicked, this,
              [this, name, index] { Raise([&] { return model_.Click(name, index); }); });
      w = button;
      break;
    }
    case ControlKind::TextBox: {
      Control* control = model_.Find(c.name, c.index);
      if (c.multiline) {
        auto* edit = new QPlainTextEdit(parent);
        edit->setLineWrapMode(QPlainTextEdit::NoWrap);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        connect(edit, &QPlainTextEdit::textChanged, this, [this, edit, control] {
          if (applyingText_) return;
          model_.Type(*control, edit->toPlainText().toStdString());
          Refresh();
        });
        w = edit;
      } else {
        auto* edit = new LineBoxWidget(parent);
        connect(edit, &QLineEdit::textEdited, this, [this, edit, control](const QString& text) {
          if (edit->keying()) {
            model_.TypeKey(*control, text.toStdString());
          } else {
            model_.Type(*control, text.toStdString());
          }
          Refresh();
        });
        w = edit;
      }
      w->installEventFilter(this);
      break;
    }
    case ControlKind::Shape:
      w = new ShapeWidget(parent);
      break;
    case ControlKind::Line:
      w = new LineWidget(parent);
      break;
    default:
      return;
  }
  w->setObjectName(Q(c.Key()));
  widgets_[c.Key()] = w;
  controlOf_[w] = &c;
  bindings_.push_back({&c, c, w, nullptr});
}

void MainWindow::BuildGrid(const Control& cell0) {
  const bool sector = &cell0 == model_.Label3[0];
  const auto& hex = sector ? model_.Label3 : model_.LabelB3;
  const auto& text = sector ? model_.Label55 : model_.LabelB55;
  // The grid covers its cells and the rest of its panel, so a cell that grows still lies
  // inside it; where no cell stands it is transparent.
  double left = std::numeric_limits<double>::max();
  double top = left;
  for (int i = 0; i < CellGridWidget::kCells; ++i) {
    left = std::min(
        {left, hex[static_cast<std::size_t>(i)]->left, text[static_cast<std::size_t>(i)]->left});
    top = std::min(
        {top, hex[static_cast<std::size_t>(i)]->top, text[static_cast<std::size_t>(i)]->top});
  }
  QWidget* parent = ParentWidget(cell0);
  const Control* panel = model_.Find(cell0.parent);
  const double right = panel != nullptr ? panel->width : left + 8000;
  const double bottom = panel != nullptr ? panel->height : top + 8000;
  auto* grid = new CellGridWidget(hex, text, left, top, parent);
  grid->setObjectName(sector ? "SectorGrid" : "BoardGrid");
  grid->setGeometry(PixelRect(left, top, right - left, bottom - top, scale_));
  grid->SetScale(scale_);
  gridPlaces_.push_back({grid, left, top, right - left, bottom - top});
  grid->clicked = [this](const std::string& name, int index) {
    Raise([&] { return model_.Click(name, index); });
  };
  grid->moved = [this](const std::string& name, int index) {
    Raise([&] { return model_.Hover(name, index); });
  };
  if (sector) {
    // The sector grid takes the keyboard focus by a click or Tab, and then the cursor keys.
    grid->setFocusPolicy(Qt::StrongFocus);
    grid->keyed = [this](const std::string& keys) {
      return Raise([&] { return model_.GridKey(keys); });
    };
  }
  (sector ? sectorGrid_ : boardGrid_) = grid;
  grids_.push_back(grid);
}

bool MainWindow::HasMenuItems(const std::string& key) const {
  for (const Control& item : model_.Controls()) {
    if (item.kind == ControlKind::MenuItem && item.parent == key) return true;
  }
  return false;
}

void MainWindow::ForwardClicks(QAction* action, const Control& c) {
  const std::string name = c.name;
  const int index = c.index;
  connect(action, &QAction::triggered, this,
          [this, name, index] { Raise([&] { return model_.Click(name, index); }); });
}

void MainWindow::Register(QAction* action, const Control& c) {
  action->setObjectName(Q(c.Key()));
  if (const auto keys = ShortcutOf({c.name, c.index})) {
    action->setShortcut(QKeySequence(QString::fromLatin1(keys->data(), keys->size())));
    action->setShortcutContext(Qt::WindowShortcut);
  }
  actions_[c.Key()] = action;
  bindings_.push_back({&c, c, nullptr, action});
}

void MainWindow::ChooseMnemonics(const std::string& parentKey) {
  std::vector<const Control*> items;
  for (const Control& c : model_.Controls()) {
    const bool item = parentKey.empty() ? c.kind == ControlKind::Menu && c.parent.empty()
                                        : c.kind == ControlKind::MenuItem && c.parent == parentKey;
    if (item && c.caption != "-" && !c.caption.empty()) items.push_back(&c);
  }
  QString used;
  for (const Control* c : items) {
    const QString caption = Q(c->caption).toUpper();
    // The first letter of a word, else any letter or digit, not yet taken in this menu; in a
    // menu with more items than letters (the Volume menu), the first letter again (Alt and
    // the letter then goes round the items that share it).
    QChar chosen;
    for (int pass = 0; pass < 3 && chosen.isNull(); ++pass) {
      for (int i = 0; i < caption.size(); ++i) {
        const QChar ch = caption.at(i);
        const bool wordStart = i == 0 || !caption.at(i - 1).isLetterOrNumber();
        if (ch.isLetterOrNumber() && (pass == 1 || wordStart) &&
            (pass == 2 || !used.contains(ch))) {
          chosen = ch;
          break;
        }
      }
    }
    if (chosen.isNull()) continue;
    used += chosen;
    mnemonic_[c->Key()] = chosen;
  }
  for (const Control* c : items) {
    if (HasMenuItems(c->Key())) ChooseMnemonics(c->Key());
  }
}

void MainWindow::BuildMenus() {
  ChooseMnemonics("");
  for (const Control& c : model_.Controls()) {
    if (c.kind != ControlKind::Menu || !c.parent.empty()) continue;
    const std::string key = c.Key();
    const bool hasItems = HasMenuItems(key);
    QAction* action = nullptr;
    if (hasItems) {
      QMenu* menu = menuBar()->addMenu(Q(c.caption));
      menu->setObjectName(Q(key));
      action = menu->menuAction();
      BuildMenuItems(menu, key);
      // Opening a menu is a click on it (Copy Buffer shows the board as its items drop down).
      const std::string name = c.name;
      const int index = c.index;
      connect(menu, &QMenu::aboutToShow, this,
              [this, name, index] { Raise([&] { return model_.Click(name, index); }); });
    } else {
      // A command on the bar itself.
      action = menuBar()->addAction(Q(c.caption));
      ForwardClicks(action, c);
    }
    Register(action, c);
  }
}

void MainWindow::BuildMenuItems(QMenu* menu, const std::string& parentKey) {
  for (const Control& c : model_.Controls()) {
    if (c.kind != ControlKind::MenuItem || c.parent != parentKey) continue;
    const std::string key = c.Key();
    const bool hasItems = HasMenuItems(key);
    QAction* action = nullptr;
    if (c.caption == "-") {
      action = menu->addSeparator();
    } else if (hasItems) {
      QMenu* sub = menu->addMenu(Q(c.caption));
      sub->setObjectName(Q(key));
      action = sub->menuAction();
      BuildMenuItems(sub, key);
    } else {
      action = menu->addAction(Q(c.caption));
      ForwardClicks(action, c);
    }
    Register(action, c);
  }
}

void MainWindow::ApplyText(const Binding& b) {
  const Control& c = *b.control;
  const QString text = BoxText(c);
  applyingText_ = true;
  if (auto* line = qobject_cast<QLineEdit*>(b.widget)) {
    // setText leaves the caret at the end of the new text, which suits typing.
    if (line->text() != text) line->setText(text);
  } else if (auto* edit = qobject_cast<QPlainTextEdit*>(b.widget)) {
    if (edit->toPlainText() != text) edit->setPlainText(text);
  }
  applyingText_ = false;
}

void MainWindow::Apply(Binding& b, bool force) {
  const Control& c = *b.control;
  // A text box may differ from the model although the model did not change: the user's
  // keystroke is put back to the model's text.
  if (c.kind == ControlKind::TextBox) ApplyText(b);
  const bool geometry = force || !SameGeometry(c, b.shown);
  const bool look = force || !SameLook(c, b.shown);
  if (!geometry && !look) return;
  b.shown = c;

  if (b.action != nullptr) {
    if (c.caption != "-") {
      const auto m = mnemonic_.find(c.Key());
      b.action->setText(MenuText(c.caption, m == mnemonic_.end() ? QChar() : m->second));
    }
    b.action->setToolTip(Q(c.tooltip));
    b.action->setEnabled(c.enabled);
    b.action->setVisible(c.visible);
    return;
  }
  QWidget* w = b.widget;
  if (c.kind == ControlKind::Form) {
    setWindowTitle(Q(c.caption));
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, ToQColor(c.back));
    w->setPalette(pal);
    w->setFixedSize(PixelRect(0, 0, c.width, c.height, scale_).size());
    FitScrollArea();
    return;
  }
  if (geometry) {
    if (c.kind == ControlKind::Line) {
      // A line runs from (left, top) to (left + width, top + height), either way.
      const double l = std::min(c.left, c.left + c.width);
      const double t = std::min(c.top, c.top + c.height);
      const QRect r = PixelRect(l, t, std::abs(c.width), std::abs(c.height), scale_);
      w->setGeometry(r.adjusted(0, 0, 1, 1));
    } else {
      w->setGeometry(PixelRect(c.left, c.top, c.width, c.height, scale_));
    }
  }
  if (!look) return;
  const QColor back = ToQColor(c.back);
  const QColor fore = ToQColor(c.fore);
  w->setFont(DesignFont(c.face, c.fontSize, c.bold, scale_));
  w->setToolTip(Q(c.tooltip));
  w->setEnabled(c.enabled);
  switch (c.kind) {
    case ControlKind::Frame:
      static_cast<PanelWidget*>(w)->SetLook(back, fore, Q(c.caption));
      break;
    case ControlKind::Label: {
      auto* label = static_cast<QLabel*>(w);
      label->setText(Q(c.caption));
      label->setAlignment(ToQtAlignment(c.align) | Qt::AlignTop);
      QPalette pal = label->palette();
      SetRole(pal, QPalette::Window, back, true);
      SetRole(pal, QPalette::WindowText, fore, false);
      label->setPalette(pal);
      label->setAutoFillBackground(!c.transparent);
      label->setFrameStyle(c.border ? (QFrame::Box | QFrame::Plain) : QFrame::NoFrame);
      label->setLineWidth(1);
      break;
    }
    case ControlKind::Button: {
      auto* button = static_cast<QPushButton*>(w);
      button->setText(Q(c.caption));
      QPalette pal = button->palette();
      SetRole(pal, QPalette::Button, back, true);
      SetRole(pal, QPalette::ButtonText, fore, false);
      button->setPalette(pal);
      break;
    }
    case ControlKind::TextBox: {
      QPalette pal = w->palette();
      SetRole(pal, QPalette::Base, back, true);
      SetRole(pal, QPalette::Text, fore, false);
      w->setPalette(pal);
      if (auto* line = qobject_cast<QLineEdit*>(w)) {
        line->setAlignment(ToQtAlignment(c.align) | Qt::AlignVCenter);
        line->setReadOnly(c.readOnly);
      } else if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) {
        edit->setReadOnly(c.readOnly);
        edit->setFont(DesignFont(FontFace::Fixed, c.fontSize, c.bold, scale_));
        // Tab stops every eight characters of the fixed-pitch font, so a tab always leaves
        // at least one blank between the fields of a report line.
        edit->setTabStopDistance(8 * QFontMetricsF(edit->font()).horizontalAdvance(' '));
      }
      break;
    }
    case ControlKind::Shape:
      static_cast<ShapeWidget*>(w)->SetColour(fore);
      break;
    case ControlKind::Line:
      static_cast<LineWidget*>(w)->SetLine(fore, (c.width >= 0) == (c.height >= 0));
      break;
    default:
      break;
  }
  w->setVisible(c.visible);
}

void MainWindow::Refresh() {
  for (Binding& b : bindings_) Apply(b, false);
  for (CellGridWidget* grid : grids_) grid->Sync();
  // The cell cursor, while the grid shows a sector.
  if (sectorGrid_ != nullptr)
    sectorGrid_->SetCursorCell(model_.state.lastShown ? model_.state.cursor : -1);
}

bool MainWindow::Raise(const std::function<bool()>& event) {
  if (!event()) return false;  // no handler ran, nothing changed
  Refresh();
  return true;
}

void MainWindow::SetPointer(int pointer) {
  // Only the override is set here; the event loop shows it, no events are processed.
  if (pointer == kPointerHourglass && !waitCursor_) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    waitCursor_ = true;
  } else if (pointer != kPointerHourglass && waitCursor_) {
    QApplication::restoreOverrideCursor();
    waitCursor_ = false;
  }
}

void MainWindow::SetScale(double scale) {
  if (scale == scale_) return;
  scale_ = scale;
  for (Binding& b : bindings_) Apply(b, true);
  for (const GridPlace& g : gridPlaces_) {
    g.grid->setGeometry(PixelRect(g.left, g.top, g.width, g.height, scale_));
    g.grid->SetScale(scale_);
  }
  FitScrollArea();
}

namespace {

// What the window adds round its form: the menu bar, and the frame the window manager draws
// (known once the window is shown; until then none is counted).
QSize Chrome(QMainWindow& window) {
  QSize chrome(0, window.menuBar()->sizeHint().height());
  if (QWindow* handle = window.windowHandle()) {
    const QMargins m = handle->frameMargins();
    chrome += QSize(m.left() + m.right(), m.top() + m.bottom());
  }
  return chrome;
}

}  // namespace

void MainWindow::FitToScreen() {
  QScreen* s = screen();
  if (s == nullptr) return;
  const Control& design = model_.At(kForm);
  const QSize form = PixelRect(0, 0, design.width, design.height).size();
  SetScale(FitScale(form, Chrome(*this), s->availableGeometry().size()));
  FitScrollArea();
}

void MainWindow::FitScrollArea() {
  if (scroll_ == nullptr) return;
  const QSize form = form_->size();
  QSize room(std::numeric_limits<int>::max() / 2, std::numeric_limits<int>::max() / 2);
  if (QScreen* s = screen()) room = s->availableGeometry().size() - Chrome(*this);
  const bool wide = form.width() > room.width();
  const bool tall = form.height() > room.height();
  scroll_->setHorizontalScrollBarPolicy(wide ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  scroll_->setVerticalScrollBarPolicy(tall ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  QSize size = form;
  // A scroll bar takes room from the other direction.
  if (tall) size.rwidth() += scroll_->verticalScrollBar()->sizeHint().width();
  if (wide) size.rheight() += scroll_->horizontalScrollBar()->sizeHint().height();
  scroll_->setFixedSize(size.boundedTo(room));
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (centred_) return;
  centred_ = true;
  // The screen may differ from the one assumed before the window showed, and the frame is
  // known now; a move to another screen fits the form again.
  FitToScreen();
  if (QWindow* handle = windowHandle())
    connect(handle, &QWindow::screenChanged, this, [this] { FitToScreen(); });
  if (QScreen* s = screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(s->availableGeometry().center());
    move(frame.topLeft());
  }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  auto it = controlOf_.find(watched);
  if (it == controlOf_.end()) return QMainWindow::eventFilter(watched, event);
  const Control& c = *it->second;
  switch (event->type()) {
    case QEvent::ShortcutOverride: {
      // The sector box would keep Ctrl+Home, Ctrl+End and Ctrl+Z for its caret and its typing;
      // the window's keys go to the window (a one-line box has Home and End for its caret).
      // Copy stays the box's: Ctrl+C copies its text, not the grid's selection.
      if (c.kind != ControlKind::TextBox || c.multiline) break;
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->matches(QKeySequence::Copy)) break;
      const QKeySequence pressed(key->keyCombination());
      for (const auto& [key, action] : actions_) {
        if (!action->shortcut().isEmpty() && action->shortcut() == pressed) {
          event->ignore();
          return true;
        }
      }
      break;
    }
    case QEvent::KeyPress: {
      if (c.kind != ControlKind::TextBox) break;
      const int code = KeyCode(*static_cast<QKeyEvent*>(event));
      if (code != 0) Raise([&] { return model_.Key(c.name, code, c.index); });
      break;  // the box itself still handles the key
    }
    case QEvent::FocusOut: {
      // A message box or a menu opened over the window takes the focus only for a while (and may
      // open in the middle of a handler); the box keeps it as far as the user is concerned.
      const Qt::FocusReason why = static_cast<QFocusEvent*>(event)->reason();
      if (c.kind == ControlKind::TextBox && why != Qt::ActiveWindowFocusReason &&
          why != Qt::PopupFocusReason) {
        Raise([&] { return model_.LostFocus(c.name, c.index); });
      }
      break;
    }
    case QEvent::MouseButtonRelease: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      auto* widget = static_cast<QWidget*>(watched);
      // A click that a handler took does not go on to the panel beneath.
      if (c.kind != ControlKind::TextBox && mouse->button() == Qt::LeftButton &&
          widget->rect().contains(mouse->position().toPoint()) &&
          Raise([&] { return model_.Click(c.name, c.index); })) {
        return true;
      }
      break;
    }
    case QEvent::MouseMove:
      if (c.kind == ControlKind::Label && Raise([&] { return model_.Hover(c.name, c.index); })) {
        return true;
      }
      break;
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace dulvex::ui
