// The Qt main window offscreen: design names and geometry, events reaching the model's
// handlers by cell index, the painted grid, and typing into the sector-number box.
#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <map>
#include <memory>
#include <vector>

#include "app/form1_design.h"
#include "support/test_support.h"
#include "ui/cell_grid_widget.h"
#include "ui/design_look.h"
#include "ui/qt_prompter.h"

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
  // Sends a mouse event to the centre of a grid slot.
  void Mouse(QEvent::Type type, int slot) {
    const QPointF at = grid->SlotRect(slot).center();
    const bool press = type == QEvent::MouseButtonPress;
    QMouseEvent event(type, at, grid->mapToGlobal(at),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      press ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(grid, &event);
  }
};

TEST_F(MainWindowTest, EveryDesignControlIsAWidgetWithItsNameAndGeometry) {
  int widgets = 0;
  for (const Control& c : f.model.Controls()) {
    const QString key = QString::fromStdString(c.Key());
    if (c.kind == ControlKind::Menu || c.kind == ControlKind::MenuItem) {
      EXPECT_NE(window->findChild<QAction*>(key), nullptr) << c.Key();
    } else if (c.kind == ControlKind::Frame || c.kind == ControlKind::Label ||
               c.kind == ControlKind::Button || c.kind == ControlKind::TextBox ||
               c.kind == ControlKind::Shape) {
      QWidget* w = window->findChild<QWidget*>(key);
      ASSERT_NE(w, nullptr) << c.Key();
      EXPECT_EQ(w->geometry(), PixelRect(c.left, c.top, c.width, c.height)) << c.Key();
      EXPECT_EQ(w->parentWidget()->objectName().toStdString(),
                c.parent.empty() ? "Form1Client" : c.parent)
          << c.Key();
      EXPECT_EQ(!w->isHidden(), c.visible) << c.Key();
      ++widgets;
    }
  }
  EXPECT_GT(widgets, 60);
  EXPECT_EQ(window->form()->size(), QSize(1002, 722));
  // Grid slots: hex and character cells at the corners of the grid.
  for (auto [slot, left, top, width] : {std::tuple{0, 1320, 840, 252},
                                        {511, 5100, 8280, 252},
                                        {512 + 17, 5646, 1080, 132},
                                        {1023, 7410, 8280, 132}}) {
    EXPECT_EQ(grid->SlotRect(slot).translated(grid->pos()), PixelRect(left, top, width, 240));
  }
}

// A click reaches the handler of its cell or label with the index, and stops there.
TEST_F(MainWindowTest, ClicksMovesAndTooltipsReachTheModelByIndex) {
  ChooseFloppy();
  std::map<std::string, std::vector<int>> clicks;
  for (const char* name : {"Label3", "Label55", "Label62", "Frame5"}) {
    f.model.OnClick(name, [&clicks, name](int i) { clicks[name].push_back(i); });
  }
  for (int slot : {37, 512 + 300}) {
    Mouse(QEvent::MouseButtonPress, slot);
    Mouse(QEvent::MouseButtonRelease, slot);
  }
  QTest::mouseClick(window->WidgetOf("Label62"), Qt::LeftButton);
  EXPECT_EQ(clicks, (decltype(clicks){{"Label3", {37}}, {"Label55", {300}}, {"Label62", {-1}}}));
  Mouse(QEvent::MouseMove, 44);
  EXPECT_EQ(f.model.state.LastHoverIndex, 44);
  Mouse(QEvent::MouseMove, 44);
  EXPECT_EQ(grid->SlotRect(44).size(), QSize(19, 20));  // 290 x 300 twips
  const QPoint at = grid->SlotRect(31).center();
  QHelpEvent help(QEvent::ToolTip, at, grid->mapToGlobal(at));
  QApplication::sendEvent(grid, &help);
  EXPECT_EQ(QToolTip::text(), "hex:1F = dec:31");
}

TEST_F(MainWindowTest, MagnifiedCellIsPaintedOverItsNeighbours) {
  ChooseFloppy();
  for (int i : {17, 32, 33}) f.model.Label3[static_cast<std::size_t>(i)]->back = HexMarkedColour;
  window->Refresh();
  // Bottom-right corner of cell 16 when magnified: inside cell 33 otherwise.
  const QPoint corner = grid->SlotRect(16).topLeft() + QPoint(18, 19);
  const QColor marked = ToQColor(HexMarkedColour);
  EXPECT_EQ(grid->grab().toImage().pixelColor(corner), marked);
  Mouse(QEvent::MouseMove, 16);
  Mouse(QEvent::MouseMove, 16);
  const QImage after = grid->grab().toImage();
  if (const QString dir = qEnvironmentVariable("DULVEX_UI_SNAPSHOTS"); !dir.isEmpty()) {
    after.save(dir + "/magnified-cell.png");  // a picture for a person to look at
  }
  EXPECT_EQ(after.pixelColor(corner), ToQColor(HexPlainColour));
  EXPECT_EQ(after.pixelColor(grid->SlotRect(33).bottomRight()), marked);
  int dark = 0;  // the caption is drawn
  const QRect big = grid->SlotRect(16);
  for (int y = big.top(); y <= big.bottom(); ++y) {
    for (int x = big.left(); x <= big.right(); ++x)
      dark += after.pixelColor(x, y).lightness() < 100;
  }
  EXPECT_GT(dark, 10);
  Mouse(QEvent::MouseMove, 100);
  EXPECT_EQ(grid->grab().toImage().pixelColor(corner), marked);
}

TEST_F(MainWindowTest, TypingInTheSectorBoxReformatsAndEnterShowsTheSector) {
  ChooseFloppy();
  auto* box = qobject_cast<QLineEdit*>(window->WidgetOf("Text21"));
  ASSERT_NE(box, nullptr);
  box->setFocus();
  // Each keystroke reformats: "&" alone reads as 0, so "&H13" typed key by key gives 13.
  for (auto [typed, shown] : {std::pair{"12abc", "12"}, {"x", "0"}, {"&H13", "13"}}) {
    box->selectAll();
    QTest::keyClicks(box, typed);
    EXPECT_EQ(box->text(), shown) << typed;
  }
  EXPECT_EQ(box->cursorPosition(), 2);
  EXPECT_EQ(qobject_cast<QLabel*>(window->WidgetOf("Label45"))->text(), "0x0000000D");
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(qobject_cast<QLabel*>(window->WidgetOf("Label77(1)"))->text(), "0000000D");
  EXPECT_EQ(f.model.state.lastShown->sector, 13);
}

// The Yes/No box answers No unless Yes is pressed: no write is confirmed by accident.
TEST(QtPrompterTest, BoxesShowStyleTitleAndAnswer) {
  struct Case {
    int style;
    const char* title;
    QMessageBox::StandardButton press;
    QMessageBox::Icon icon;
    const char* shownTitle;
    int answer;
  } cases[] = {
      {0, "", QMessageBox::Ok, QMessageBox::NoIcon, "DulvexHexEditor", kAnswerOk},
      {4, "Paste", QMessageBox::Yes, QMessageBox::NoIcon, "Paste", kAnswerYes},
      {4, "", QMessageBox::No, QMessageBox::NoIcon, "DulvexHexEditor", kAnswerNo},
      {16, "", QMessageBox::Ok, QMessageBox::Critical, "DulvexHexEditor", kAnswerOk},
      {48, "T", QMessageBox::Ok, QMessageBox::Warning, "T", kAnswerOk},
  };
  QtPrompter prompter;
  for (const Case& c : cases) {
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      title = box->windowTitle();
      icon = box->icon();
      box->button(c.press)->click();
    });
    EXPECT_EQ(prompter.MessageBox("TEXT", c.style, c.title), c.answer) << c.style;
    EXPECT_EQ(title, c.shownTitle) << c.style;
    EXPECT_EQ(icon, c.icon) << c.style;
  }
  QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
  EXPECT_EQ(prompter.InputBox("Insert Cluster Number.", "", "0"), "");
}

}  // namespace
}  // namespace dulvex::ui
