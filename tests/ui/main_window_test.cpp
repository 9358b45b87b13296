// The Qt main window offscreen, in what the scenarios run through it cannot read: design names
// and geometry, the form on small screens, the shortcuts in the menus and the guide, the painted
// grid and its cursor, keys in the sector box that are not the grid's, and the work runner's
// endings.
#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <thread>

#include "core/contrast.h"
#include "core/form1_design.h"
#include "core/shortcuts.h"
#include "help/rtf_reader.h"
#include "support/test_support.h"
#include "ui/cell_grid_widget.h"
#include "ui/design_look.h"
#include "ui/qt_work_runner.h"

namespace dulvex::ui {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  dulvex::testing::ModelFixture f;
  std::unique_ptr<MainWindow> window = std::make_unique<MainWindow>(f.model);
  CellGridWidget* grid = window->findChild<CellGridWidget*>("SectorGrid");

  void SetUp() override {
    window->show();
    ASSERT_NE(grid, nullptr);
  }
  void ChooseFloppy() {
    dulvex::testing::MakeFatImage(f.Drive('A'), 2880, "-F 12 -n FLOPPY");
    window->ActionOf("mnuA(0)")->trigger();
    ASSERT_TRUE(f.prompter.shown.empty());
  }
  // Moves the mouse over the centre of a grid slot.
  void Hover(int slot) {
    const QPointF at = grid->SlotRect(slot).center();
    QMouseEvent event(QEvent::MouseMove, at, grid->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(grid, &event);
  }
};

TEST_F(MainWindowTest, EveryDesignControlIsAWidgetWithItsNameAndGeometry) {
  for (const Control& c : f.model.Controls()) {
    const QString key = QString::fromStdString(c.Key());
    if (c.kind == ControlKind::Menu || c.kind == ControlKind::MenuItem) {
      EXPECT_NE(window->findChild<QAction*>(key), nullptr) << c.Key();
    } else if (c.kind != ControlKind::Cell && c.kind != ControlKind::Form) {
      QWidget* w = window->findChild<QWidget*>(key);
      ASSERT_NE(w, nullptr) << c.Key();
      EXPECT_EQ(w->geometry(), PixelRect(c.left, c.top, c.width, c.height)) << c.Key();
      EXPECT_EQ(w->parentWidget()->objectName().toStdString(),
                c.parent.empty() ? "Form1Client" : c.parent);
      EXPECT_EQ(!w->isHidden(), c.visible) << c.Key();
    }
  }
  EXPECT_EQ(window->form()->size(), QSize(1002, 722));
  EXPECT_FALSE(window->windowIcon().isNull());
  // Grid slots: hex and character cells at the corners of the grid.
  for (auto [slot, left, top, width] : {std::tuple{0, 1320, 840, 252},
                                        {511, 5100, 8280, 252},
                                        {512 + 17, 5646, 1080, 132},
                                        {1023, 7410, 8280, 132}}) {
    EXPECT_EQ(grid->SlotRect(slot).translated(grid->pos()), PixelRect(left, top, width, 240));
  }
  // The sector box holds the lowest sector number with its sign in view.
  auto* box = qobject_cast<QLineEdit*>(window->WidgetOf("Text21"));
  const int frame = box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
  EXPECT_LE(box->fontMetrics().horizontalAdvance("-2147483647") + 2 * (frame + 2), box->width());
}

// The form fits the screen's available area (ctest runs this on a desktop screen, on a
// 1366x768 screen at 125 % and on a 640x400 one): where its design size fits, it keeps it;
// else it shrinks as one, fonts and cells with the panels, and every control and cell lies
// on the screen; where even the smallest readable scale does not fit, the form scrolls, and
// scrolling reaches all of it.
TEST_F(MainWindowTest, WholeFormLiesOnTheScreen) {
  QApplication::processEvents();
  const QRect screen = window->screen()->availableGeometry();
  const Control& form = f.model.At(kForm);
  const QSize design = PixelRect(0, 0, form.width, form.height).size();
  ASSERT_TRUE(screen.contains(window->frameGeometry())) << "window off the screen";
  const double scale = window->scale();
  EXPECT_EQ(window->form()->size(), PixelRect(0, 0, form.width, form.height, scale).size());
  const bool fits = design.width() < screen.width() && design.height() + 40 < screen.height();
  EXPECT_EQ(scale == 1, fits) << "scale " << scale;
  // One factor for everything: the sector box's font and a cell's size shrink with the form.
  const Control& box = f.model.At(kSectorBox);
  EXPECT_DOUBLE_EQ(window->WidgetOf("Text21")->font().pointSizeF(), box.fontSize * scale);
  EXPECT_EQ(grid->SlotRect(0).translated(grid->pos()), PixelRect(1320, 840, 252, 240, scale));
  auto* scroll = window->findChild<QScrollArea*>("Form1Scroll");
  ASSERT_NE(scroll, nullptr);
  const bool scrolls =
      scroll->horizontalScrollBar()->maximum() > 0 || scroll->verticalScrollBar()->maximum() > 0;
  if (scale > 0.5) {
    EXPECT_FALSE(scrolls);
    for (const Control& c : f.model.Controls()) {
      QWidget* w = window->WidgetOf(c.Key());
      if (w == nullptr || w->isHidden() || c.kind == ControlKind::Form) continue;
      if (c.kind != ControlKind::Line) {
        EXPECT_EQ(w->geometry(), PixelRect(c.left, c.top, c.width, c.height, scale)) << c.Key();
      }
      // What shows of it: a control past its panel's edge (as the design has a few) is cut.
      QRect on(w->mapToGlobal(QPoint(0, 0)), w->size());
      for (QWidget* p = w->parentWidget(); p != nullptr && p != window.get(); p = p->parentWidget())
        on &= QRect(p->mapToGlobal(QPoint(0, 0)), p->size());
      EXPECT_TRUE(on.isEmpty() || screen.contains(on)) << c.Key() << " lies off the screen";
    }
    const QRect cells(grid->mapToGlobal(grid->SlotRect(1023).topLeft()),
                      grid->SlotRect(1023).size());
    EXPECT_TRUE(screen.contains(cells));
    EXPECT_TRUE(screen.contains(
        QRect(window->menuBar()->mapToGlobal(QPoint(0, 0)), window->menuBar()->size())));
  } else {
    // Scrolling shows the whole form, to its last pixel.
    EXPECT_TRUE(scrolls);
    EXPECT_GE(scroll->horizontalScrollBar()->maximum() + scroll->viewport()->width(),
              window->form()->width());
    EXPECT_GE(scroll->verticalScrollBar()->maximum() + scroll->viewport()->height(),
              window->form()->height());
  }
}

// Each key is set on its menu item, so the menu shows it, and the guide lists it with the
// item's caption; every menu and item has a letter for Alt, different within its menu.
TEST_F(MainWindowTest, EveryShortcutIsInItsMenuAndInTheGuide) {
  std::ifstream file(std::string(DULVEX_BIN_DIR) + "/HELP.rtf", std::ios::binary);
  ASSERT_TRUE(file) << "no HELP.rtf beside the program";
  const std::string rtf((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::string guide;
  for (const RtfParagraph& p : ReadRtf(rtf).paragraphs) guide += p.Text() + "\n";
  for (const Shortcut& key : kShortcuts) {
    const Control& item = f.model.At(key.item);
    QAction* action = window->ActionOf(item.Key());
    ASSERT_NE(action, nullptr) << item.Key();
    EXPECT_EQ(action->shortcut(),
              QKeySequence(QString::fromLatin1(key.keys.data(), key.keys.size())))
        << item.Key();
    EXPECT_TRUE(action->isVisible()) << item.Key() << " is hidden: its menu cannot show its key";
    std::string caption = item.caption;
    if (caption.ends_with("\u2026")) caption.resize(caption.size() - 3), caption += "...";
    const std::string line = std::string(key.keys) + " \u2014 " + caption;
    EXPECT_NE(guide.find(line), std::string::npos) << "the guide does not list " << line;
  }
  std::map<std::string, QString> letters;  // by menu
  for (const Control& c : f.model.Controls()) {
    if ((c.kind != ControlKind::Menu && c.kind != ControlKind::MenuItem) || c.caption == "-" ||
        c.caption.empty())
      continue;
    const QString text = window->ActionOf(c.Key())->text();
    const int at = text.indexOf(QRegularExpression("&[^&]"));
    ASSERT_GE(at, 0) << c.Key() << " has no letter: " << text.toStdString();
    const QChar letter = text.at(at + 1).toUpper();
    QString& taken = letters[c.parent];
    EXPECT_TRUE(c.parent == "mnuVolume" || !taken.contains(letter)) << c.Key();
    taken += letter;
  }
}

// Along a row of cells only cell colours and captions are painted, also at 125 % (the test
// runs again with QT_FONT_DPI=120): no seam of the panel beneath. A magnified cell lies over
// its neighbours.
TEST_F(MainWindowTest, CellsLeaveNoSeamsAndMagnifiedCellLiesOnTop) {
  ChooseFloppy();
  for (int i : {17, 32, 33}) f.model.Label3[static_cast<std::size_t>(i)]->back = HexMarkedColour;
  window->Refresh();
  const QImage before = grid->grab().toImage();
  const qreal ratio = before.devicePixelRatio();
  const int y = static_cast<int>(grid->SlotRect(64).center().y() * ratio);
  for (int x = static_cast<int>(grid->SlotRect(64).left() * ratio);
       x < static_cast<int>(grid->SlotRect(79).right() * ratio); ++x) {
    ASSERT_NE(before.pixelColor(x, y), ToQColor(kBlue)) << x << " at ratio " << ratio;
  }
  // Bottom-right corner of cell 16 when magnified: inside cell 33 otherwise.
  const QPoint corner = (grid->SlotRect(16).topLeft() + QPoint(18, 19)) * ratio;
  const QColor marked = ToQColor(HexMarkedColour);
  EXPECT_EQ(before.pixelColor(corner), marked);
  Hover(16);
  Hover(16);
  const QImage after = grid->grab().toImage();
  EXPECT_EQ(after.pixelColor(corner), ToQColor(HexPlainColour));
  EXPECT_EQ(after.pixelColor(grid->SlotRect(33).bottomRight() * ratio), marked);
}

// The cursor keys and Ctrl+C are the grid's only while it has the keyboard focus: in the sector
// box they move the caret and copy the box's text (what they do in the grid is status_line.scn's);
// the number pad's arrows are the grid's too. The cursor's frame stands out from the cell beneath
// it, plain or selected, in a light and a dark palette.
TEST_F(MainWindowTest, CursorKeysAreTheGridsOnlyWithItsFocusAndItsFrameShows) {
  ChooseFloppy();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));  // the window's keys need it
  auto* box = qobject_cast<QLineEdit*>(window->WidgetOf("Text21"));
  box->setFocus();
  box->selectAll();
  QTest::keyClicks(box, "42");
  for (Qt::Key key : {Qt::Key_Left, Qt::Key_Home, Qt::Key_Right}) QTest::keyClick(box, key);
  EXPECT_EQ(box->cursorPosition(), 1);
  box->selectAll();
  QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), "42");
  EXPECT_FALSE(f.model.state.cursorLeads);
  EXPECT_EQ(f.clipboard.text, "");

  QTest::mouseClick(grid, Qt::LeftButton, {}, grid->SlotRect(37).center());
  ASSERT_TRUE(grid->hasFocus());
  QTest::mouseClick(window->WidgetOf("Label62"), Qt::LeftButton);  // a label takes nothing
  QTest::keyClick(grid, Qt::Key_Down, Qt::KeypadModifier);         // the number pad's arrow
  EXPECT_EQ(f.model.state.cursor, 53);
  EXPECT_EQ(grid->cursorCell(), 53);

  const QPalette light = QApplication::palette();
  QPalette dark = light;
  dark.setColor(QPalette::Window, QColor(45, 45, 45));
  dark.setColor(QPalette::WindowText, QColor(224, 224, 224));
  const auto rgb = [](const QColor& c) { return MakeRgb(c.red(), c.green(), c.blue()); };
  const auto frameShows = [&] {
    const QImage image = grid->grab().toImage();
    const qreal ratio = image.devicePixelRatio();
    for (int slot : {f.model.state.cursor, CellGridWidget::kCells + f.model.state.cursor}) {
      const CellGridWidget::Shown& cell = grid->ShownAt(slot);
      const QPoint edge = (cell.rect.topLeft() + QPoint(0, cell.rect.height() / 2)) * ratio;
      EXPECT_GE(ContrastRatio(rgb(image.pixelColor(edge)), cell.back), 3.0)
          << "slot " << slot << " on " << std::hex << cell.back;
    }
  };
  for (const QPalette& palette : {light, dark}) {
    QApplication::setPalette(palette);
    frameShows();  // a plain cell
    QTest::keyClick(grid, Qt::Key_Up);
    frameShows();  // a selected one
    QTest::keyClick(grid, Qt::Key_Down);
  }
  QApplication::setPalette(light);
}

// Each work's end reaches its handler as it was: run to its end (the progress dialog closing
// after it is no Cancel), stopped by Esc in the progress dialog, or failed. (Its Cancel button,
// and a run to its end through the real window: find_string.scn and fat_tools.scn.)
TEST(QtWorkRunnerTest, TheHandlerGetsHowTheWorkEnded) {
  QtWorkRunner runner;
  const auto run = [&runner](const WorkRunner::Work& work) {
    WorkResult got{WorkOutcome::Failed, "no handler ran"};
    runner.Run("Work", WorkUnit::Items, work, [&got](const WorkResult& r) { got = r; });
    return std::pair(got.outcome, got.problem);
  };
  // Done, also when the work looked at the flag: only a Cancel it saw counts.
  EXPECT_EQ(run([](WorkProgress& p) { p.Report(1, 1), (void)p.Cancelled(); }),
            std::pair(WorkOutcome::Done, std::string()));
  EXPECT_EQ(run([](WorkProgress&) { throw std::runtime_error("out of memory"); }),
            std::pair(WorkOutcome::Failed, std::string("out of memory")));
  // A work that goes on until told to stop; the dialog shows after its minimum duration.
  const auto untilCancelled = [](WorkProgress& p) {
    for (int i = 0; i < 20000 && !p.Cancelled(); ++i) {
      p.Report(static_cast<std::uint64_t>(i), 20000);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  };
  // The key goes again while the dialog stays up (on a loaded machine the first may come before
  // the dialog takes keys); once it has closed, it stays closed.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QProgressDialog*>(w);
      if (dialog != nullptr && dialog->isVisible()) QTest::keyClick(dialog, Qt::Key_Escape);
    }
  });
  poll.start(100);
  EXPECT_EQ(run(untilCancelled), std::pair(WorkOutcome::Cancelled, std::string()));
}

}  // namespace
}  // namespace dulvex::ui
