// The Qt main window offscreen: design names and geometry, events reaching the model's
// handlers by cell index, the painted grid, and typing into the sector-number box.
#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <memory>
#include <vector>

#include "app/form1_design.h"
#include "support/test_support.h"
#include "ui/cell_grid_widget.h"
#include "ui/design_look.h"
#include "ui/qt_prompter.h"

namespace dulvex::ui {
namespace {

using dulvex::testing::MakeFatImage;
using dulvex::testing::ModelFixture;

class MainWindowTest : public ::testing::Test {
 protected:
  ModelFixture f;
  std::unique_ptr<MainWindow> window;

  void SetUp() override {
    window = std::make_unique<MainWindow>(f.model);
    window->show();
  }
  void ChooseFloppy() {
    MakeFatImage(f.Drive('A'), 2880, "-F 12 -n FLOPPY");
    window->ActionOf("mnuA(0)")->trigger();
    ASSERT_TRUE(f.prompter.shown.empty());
  }
  CellGridWidget* Grid() { return window->findChild<CellGridWidget*>("SectorGrid"); }
  // Sends a mouse event to the centre of a grid slot.
  void Mouse(QEvent::Type type, int slot) {
    CellGridWidget* grid = Grid();
    const QPointF at = grid->SlotRect(slot).center();
    const bool move = type == QEvent::MouseMove;
    const Qt::MouseButton button = move ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
    QMouseEvent event(type, at, grid->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(grid, &event);
  }
  void Click(int slot) {
    Mouse(QEvent::MouseButtonPress, slot);
    Mouse(QEvent::MouseButtonRelease, slot);
  }
};

TEST_F(MainWindowTest, EveryDesignControlIsAWidgetWithItsNameAndGeometry) {
  int widgets = 0;
  for (const Control& c : f.model.Controls()) {
    const std::string key = c.Key();
    switch (c.kind) {
      case ControlKind::Frame:
      case ControlKind::Label:
      case ControlKind::Button:
      case ControlKind::TextBox:
      case ControlKind::Shape: {
        QWidget* w = window->findChild<QWidget*>(QString::fromStdString(key));
        ASSERT_NE(w, nullptr) << key;
        EXPECT_EQ(w->geometry(), PixelRect(c.left, c.top, c.width, c.height)) << key;
        const std::string parent = w->parentWidget()->objectName().toStdString();
        EXPECT_EQ(parent, c.parent.empty() ? "Form1Client" : c.parent) << key;
        EXPECT_EQ(!w->isHidden(), c.visible) << key;
        ++widgets;
        break;
      }
      case ControlKind::Menu:
      case ControlKind::MenuItem:
        ASSERT_NE(window->findChild<QAction*>(QString::fromStdString(key)), nullptr) << key;
        break;
      default:
        break;
    }
  }
  EXPECT_GT(widgets, 60);
  EXPECT_EQ(window->windowTitle(), "DulvexHexEditor - version: 1.0.0");
  EXPECT_EQ(window->form()->size(), QSize(1002, 722));
  // Text21 sits at 2220, 180 in Frame5; Frame6 starts hidden over the right side.
  EXPECT_EQ(window->WidgetOf("Text21")->geometry(), QRect(148, 12, 101, 25));
  EXPECT_TRUE(window->WidgetOf("Frame6")->isHidden());
  EXPECT_FALSE(window->WidgetOf("Text21")->isEnabled());
  EXPECT_FALSE(window->WidgetOf("Command1(0)")->isEnabled());
  EXPECT_EQ(qobject_cast<QLabel*>(window->WidgetOf("Label4(31)"))->text(), "1F0");
}

TEST_F(MainWindowTest, MenuBarHoldsMenusItemsSeparatorsAndCommands) {
  const QList<QAction*> bar = window->menuBar()->actions();
  QStringList captions;
  for (QAction* a : bar) captions << a->text();
  EXPECT_EQ(captions,
            QStringList({"File", "Volume", "TOOLS", "MBR Data", "Copy Buffer", "Help", "About"}));
  EXPECT_FALSE(window->ActionOf("mnuTolls")->isEnabled());
  EXPECT_FALSE(window->ActionOf("mnuFileFollow")->isEnabled());
  EXPECT_TRUE(window->ActionOf("mnuGoto_Cluster")->isEnabled());
  EXPECT_TRUE(window->ActionOf("mnuNukk")->isSeparator());
  EXPECT_EQ(window->ActionOf("mnuA(17)")->text(), "R:");
  EXPECT_EQ(window->ActionOf("mnuVolDa")->menu(), nullptr);  // a command on the bar
  ASSERT_NE(window->ActionOf("mnuVolume")->menu(), nullptr);
  EXPECT_EQ(window->ActionOf("mnuVolume")->menu()->actions().size(), 19);
}

TEST_F(MainWindowTest, GridCellsLieWhereTheDesignPutsThem) {
  CellGridWidget* grid = Grid();
  ASSERT_NE(grid, nullptr);
  ASSERT_NE(window->findChild<CellGridWidget*>("BoardGrid"), nullptr);
  QWidget* frame3 = window->WidgetOf("Frame3");
  ASSERT_EQ(grid->parentWidget(), frame3);
  struct Case {
    int slot;
    double left, top, width;
  } cases[] = {
      {0, 1320, 840, 252},          {15, 5100, 840, 252},       {16, 1320, 1080, 252},
      {511, 5100, 8280, 252},       {512 + 15, 7410, 840, 132}, {512 + 17, 5646, 1080, 132},
      {512 + 511, 7410, 8280, 132},
  };
  for (const Case& c : cases) {
    const QRect inFrame = grid->SlotRect(c.slot).translated(grid->pos());
    EXPECT_EQ(inFrame, PixelRect(c.left, c.top, c.width, 240)) << c.slot;
    EXPECT_EQ(grid->SlotAt(grid->SlotRect(c.slot).center()), c.slot) << c.slot;
  }
}

TEST_F(MainWindowTest, ClicksAndMovesReachTheHandlersByIndex) {
  std::vector<int> hexClicks, textClicks;
  f.model.OnClick("Label3", [&](int i) { hexClicks.push_back(i); });
  f.model.OnClick("Label55", [&](int i) { textClicks.push_back(i); });
  Click(37);
  Click(512 + 300);
  EXPECT_EQ(hexClicks, std::vector<int>({37}));
  EXPECT_EQ(textClicks, std::vector<int>({300}));

  Mouse(QEvent::MouseMove, 44);
  EXPECT_EQ(f.model.state.LastHoverIndex, 44);
  Mouse(QEvent::MouseMove, 44);
  EXPECT_EQ(f.model.Label3[44]->width, 290);
  // The widget follows the model: the magnified cell is 290 x 300 twips now.
  EXPECT_EQ(Grid()->SlotRect(44).size(), QSize(19, 20));
}

TEST_F(MainWindowTest, MagnifiedCellIsPaintedOverItsNeighbours) {
  ChooseFloppy();
  for (int i : {17, 32, 33}) f.model.Label3[static_cast<std::size_t>(i)]->back = HexMarkedColour;
  window->Refresh();
  CellGridWidget* grid = Grid();
  const QRect cell16 = grid->SlotRect(16);
  // Bottom-right corner of what cell 16 covers when magnified: now inside cell 33.
  const QPoint corner(cell16.left() + 18, cell16.top() + 19);
  const QColor marked = ToQColor(HexMarkedColour);
  const QColor plain = ToQColor(HexPlainColour);
  QImage before = grid->grab().toImage();
  EXPECT_EQ(before.pixelColor(corner), marked);

  Mouse(QEvent::MouseMove, 16);
  Mouse(QEvent::MouseMove, 16);
  QImage after = grid->grab().toImage();
  // DULVEX_UI_SNAPSHOTS=folder keeps the picture for a person to look at.
  if (const QString dir = qEnvironmentVariable("DULVEX_UI_SNAPSHOTS"); !dir.isEmpty()) {
    after.save(dir + "/magnified-cell.png");
  }
  EXPECT_EQ(after.pixelColor(corner), plain);
  // Cell 33 outside the magnified area keeps its colour.
  EXPECT_EQ(after.pixelColor(grid->SlotRect(33).bottomRight()), marked);
  // The caption is drawn: dark pixels inside cell 16.
  int dark = 0;
  const QRect big = grid->SlotRect(16);
  for (int y = big.top(); y <= big.bottom(); ++y) {
    for (int x = big.left(); x <= big.right(); ++x) {
      if (after.pixelColor(x, y).lightness() < 100) ++dark;
    }
  }
  EXPECT_GT(dark, 10);
  // Moving on shrinks it back.
  Mouse(QEvent::MouseMove, 100);
  EXPECT_EQ(grid->grab().toImage().pixelColor(corner), marked);
}

TEST_F(MainWindowTest, HexCellsShowTheirTooltipsAndLabelsForwardClicks) {
  ChooseFloppy();
  CellGridWidget* grid = Grid();
  const QPoint at = grid->SlotRect(31).center();
  QHelpEvent help(QEvent::ToolTip, at, grid->mapToGlobal(at));
  QApplication::sendEvent(grid, &help);
  EXPECT_EQ(QToolTip::text(), "hex:1F = dec:31");

  std::vector<int> labelClicks, panelClicks;
  f.model.OnClick("Label62", [&](int i) { labelClicks.push_back(i); });
  f.model.OnClick("Frame5", [&](int i) { panelClicks.push_back(i); });
  QTest::mouseClick(window->WidgetOf("Label62"), Qt::LeftButton);
  EXPECT_EQ(labelClicks, std::vector<int>({-1}));
  EXPECT_TRUE(panelClicks.empty());
}

// Multi-line boxes are plain-text editors with both scroll bars; they follow the model.
TEST_F(MainWindowTest, MultiLineBoxesFollowTheModel) {
  ChooseFloppy();
  int boxes = 0;
  for (const Control& c : f.model.Controls()) {
    if (c.kind != ControlKind::TextBox || !c.multiline) continue;
    auto* edit = qobject_cast<QPlainTextEdit*>(window->WidgetOf(c.Key()));
    ASSERT_NE(edit, nullptr) << c.Key();
    EXPECT_EQ(edit->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(edit->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_TRUE(edit->font().fixedPitch() || QFontInfo(edit->font()).fixedPitch());
    Control& control = f.model.At(c.name, c.index);
    control.caption = "line one\r\nline two";
    window->Refresh();
    EXPECT_EQ(edit->toPlainText(), "line one\nline two");
    ++boxes;
  }
  if (boxes == 0) GTEST_SKIP() << "no multi-line box in this design";
}

TEST_F(MainWindowTest, TypingInTheSectorBoxReformatsAndEnterShowsTheSector) {
  ChooseFloppy();
  auto* box = qobject_cast<QLineEdit*>(window->WidgetOf("Text21"));
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(box->isEnabled());
  box->setFocus();
  box->selectAll();
  QTest::keyClicks(box, "12abc");
  EXPECT_EQ(box->text(), "12");
  EXPECT_EQ(f.model.At("Text21").caption, "12");
  EXPECT_EQ(box->cursorPosition(), 2);
  EXPECT_EQ(qobject_cast<QLabel*>(window->WidgetOf("Label45"))->text(), "0x0000000C");
  // Letters alone become 0.
  box->selectAll();
  QTest::keyClicks(box, "x");
  EXPECT_EQ(box->text(), "0");
  box->selectAll();
  // Each keystroke reformats: "&" alone reads as 0, so "&H13" typed key by key gives 13.
  QTest::keyClicks(box, "&H13");
  EXPECT_EQ(box->text(), "13");
  box->selectAll();
  QTest::keyClicks(box, "19");
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(qobject_cast<QLabel*>(window->WidgetOf("Label77(1)"))->text(), "00000013");
  EXPECT_EQ(f.model.state.lastShown->sector, 19);
  // The first root-directory entry is the volume label "FLOPPY".
  EXPECT_EQ(f.model.Label55[0]->caption, "F");
  // ">" through its button.
  qobject_cast<QPushButton*>(window->WidgetOf("Command1(1)"))->click();
  EXPECT_EQ(box->text(), "20");
  EXPECT_EQ(f.model.state.lastShown->sector, 20);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

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
