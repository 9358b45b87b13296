// The program's other windows offscreen, in what the scenarios run through them cannot read:
// the find dialog's start, a file dropped on the window under a name that is no UTF-8 (recent
// images kept with QSettings, in a temporary settings folder), the Open Device list of the
// machine's devices, the help window and the About box, and Write History.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QUrl>
#include <fstream>
#include <optional>

#include "core/contrast.h"
#include "support/device_test_support.h"
#include "support/test_support.h"
#include "ui/about_box.h"
#include "ui/find_dialog.h"
#include "ui/help_window.h"
#include "ui/history_window.h"
#include "ui/main_window.h"
#include "ui/open_device_dialog.h"
#include "ui/qt_drives_shell.h"

namespace dulvex::ui {
namespace {

// A main window over a fresh model, and a floppy on A:, chosen.
struct WindowsTest : ::testing::Test {
  testing::ModelFixture f;
  MainWindow window{f.model};
  void ChooseFloppy() {
    testing::MakeFatImage(f.Drive('A'), 2880, "-F 12 -n FLOPPY");
    f.Choose('A');
  }
  QString SectorBox() { return window.findChild<QLineEdit*>("Text21")->text(); }
};

// Runs `act` on the modal dialog once it is up.
void OnDialog(const std::function<void(QDialog&)>& act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    act(*dialog);
  });
}

// The dialog starts from the last request; hex disables "ignore case". (What each choice gives:
// find_string.scn, whose answers the window pass types and clicks into this dialog.)
TEST(FindDialog, StartsFromTheLastRequest) {
  QtFindAsker asker;
  OnDialog([](QDialog& d) {
    EXPECT_EQ(d.findChild<QLineEdit*>("FindText")->text(), "caf\u00E9");
    auto* ignoreCase = d.findChild<QCheckBox*>("FindIgnoreCase");
    EXPECT_TRUE(ignoreCase->isChecked());
    d.findChild<QRadioButton*>("FindKind2")->click();
    EXPECT_FALSE(ignoreCase->isEnabled());
    if (qEnvironmentVariableIsSet("DULVEX_FIND_DIALOG_PNG"))
      d.grab().save(qEnvironmentVariable("DULVEX_FIND_DIALOG_PNG"));
    d.reject();
  });
  EXPECT_FALSE(asker.Ask({"caf\u00E9", search::FindKind::Text, true}));
}

// A dropped file is bound and chosen, and Recent keeps its name's bytes exactly, though they
// are no UTF-8 and hold a line break; the texts shown write the break as \n.
TEST_F(WindowsTest, DroppedImageIsBoundChosenAndRemembered) {
  testing::TempDir settings;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromStdString(settings.path().string()));
  ConnectDrives(window, f.model, QtDrivesShell([this] { return &window; }));
  window.show();
  const std::string name = "dropped\xFF\n.img";
  const std::filesystem::path image = f.dir.path() / name;
  testing::MakeFatImage(image, 2880, "-F 12 -n DROPPED");
  QMimeData data;
  const QByteArray bytes = QByteArray::fromStdString(image.string());
  data.setUrls({QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"))});
  // As a drag does it: the drop goes to the widget that accepted the drag's entry.
  QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&window, &drop);
  EXPECT_EQ(f.model.state.DevicePath, "A:");
  const std::string shown = (f.dir.path() / "dropped\xFF\\n.img").string();
  EXPECT_EQ(window.ActionOf("mnuRecentFile(0)")->text(), QString::fromStdString(shown));
  EXPECT_TRUE(window.ActionOf("mnuRecent")->isEnabled());
  EXPECT_EQ(LoadRecentImages(), std::vector<std::string>{image.string()});

  // The Volume menu brings its tooltips up to date as it opens.
  std::filesystem::remove(image);
  emit window.findChild<QMenu*>("mnuVolume")->aboutToShow();
  EXPECT_EQ(window.ActionOf("mnuA(0)")->toolTip(),
            QString::fromStdString(shown + ": no such file or device"));
  EXPECT_EQ(window.ActionOf("mnuA(1)")->toolTip().toStdString(), "nothing bound");
}

TEST(DrivesUi, OpenDeviceDialogListsTheMachinesDevices) {
  OpenDeviceDialog dialog;
  auto* tree = dialog.findChild<QTreeWidget*>("DeviceList");
  const std::string status = dialog.findChild<QLabel*>("DeviceListStatus")->text().toStdString();
  ASSERT_NE(tree, nullptr);
  EXPECT_GT(tree->topLevelItemCount(), 0) << status;
  EXPECT_TRUE(status.ends_with("block devices.")) << status;
  EXPECT_TRUE(tree->topLevelItem(0)->text(0).startsWith("/dev/"));
  EXPECT_EQ(dialog.chosenPath(), "");
}

// Whether the Open Device list shows `path`, at any depth.
bool Listed(QTreeWidget* tree, const std::string& path) {
  for (QTreeWidgetItemIterator it(tree); *it != nullptr; ++it) {
    if ((*it)->data(0, Qt::UserRole).toString().toStdString() == path) return true;
  }
  return false;
}

// The image behind a loop device, or "" when none is attached.
std::string BackingFile(const std::string& device) {
  std::ifstream in("/sys/block/" + std::filesystem::path(device).filename().string() +
                   "/loop/backing_file");
  std::string file;
  std::getline(in, file);
  return file;
}

// The open list follows a loop device that is attached and then detached, each within 2 s
// (through udev's events, or the kernel's and the rescans where udev does not run).
TEST(DrivesUi, OpenDeviceListFollowsALoopDeviceComingAndGoing) {
  testing::TempDir dir;
  const std::filesystem::path image = dir.path() / "followed.img";
  testing::MakeFatImage(image, 2880, "-F 12 -n FOLLOWED");
  OpenDeviceDialog dialog;
  dialog.show();
  auto* tree = dialog.findChild<QTreeWidget*>("DeviceList");
  QElapsedTimer clock;
  clock.start();
  std::optional<testing::LoopDevice> loop(std::in_place, image);
  if (loop->path.empty()) GTEST_SKIP() << "needs " << loop->missing;
  const std::string device = loop->path;
  EXPECT_TRUE(QTest::qWaitFor([&] { return Listed(tree, device); }, 3000));
  EXPECT_LE(clock.elapsed(), 2000) << device << " listed after " << clock.elapsed() << " ms";

  clock.restart();
  loop.reset();  // detached
  const bool gone = QTest::qWaitFor([&] { return !Listed(tree, device); }, 3000);
  if (!gone && !BackingFile(device).empty() && BackingFile(device) != image.string())
    GTEST_SKIP() << "another test attached " << device << " again meanwhile";
  EXPECT_TRUE(gone);
  EXPECT_LE(clock.elapsed(), 2000) << device << " gone after " << clock.elapsed() << " ms";
}

TEST_F(WindowsTest, HelpShowsTheGuideAndAboutIsOneBoxOverTheMainWindow) {
  f.model.exeDir = DULVEX_BIN_DIR;
  window.setGeometry(40, 50, 1000, 760);
  window.show();
  HelpWindows* windows = InstallHelpWindows(f.model, &window);
  ASSERT_TRUE(f.model.Click("mnuHelp"));
  windows->viewer().Form_Activate();  // offscreen windows may not be activated by the platform
  auto* view = windows->helpWindow().findChild<QTextBrowser*>("rtfIstruzioni");
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(view->toPlainText().contains("dulvex --drive E=/dev/sdb1"));
  EXPECT_TRUE(f.prompter.shown.empty());

  ASSERT_TRUE(f.model.Click("mnuAbout"));
  ASSERT_TRUE(f.model.Click("mnuAbout"));
  int abouts = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    abouts += w->objectName() == "Form2" && w->isVisible();
  EXPECT_EQ(abouts, 1);
  AboutBox* box = windows->about().box();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->findChild<QLabel*>("Label6")->text().toStdString(), VersionCaption(AppVersion()));
  const QPoint offCentre = box->geometry().center() - window.frameGeometry().center();
  EXPECT_LE(offCentre.manhattanLength(), 8);  // the frames, unknown before it is shown
}

// The guide reads in a light and in a dark palette: every piece of its text reaches 4.5:1
// against what lies beneath it (its highlight, or the viewer's background), measured from the
// colours the viewer shows and its palette; a colour that reads already is kept.
TEST_F(WindowsTest, HelpIsReadableInLightAndDarkPalettes) {
  f.model.exeDir = DULVEX_BIN_DIR;
  const QPalette before = QApplication::palette();
  QPalette dark = before;
  for (auto [role, colour] : {std::pair{QPalette::Window, QColor(45, 45, 45)},
                              {QPalette::WindowText, QColor(224, 224, 224)},
                              {QPalette::Base, QColor(30, 30, 30)},
                              {QPalette::Text, QColor(224, 224, 224)}})
    dark.setColor(role, colour);
  HelpWindows* windows = InstallHelpWindows(f.model, &window);
  for (const auto& [name, palette] : {std::pair{"light", before}, {"dark", dark}}) {
    QApplication::setPalette(palette);
    QApplication::processEvents();  // the widgets hear of the new palette
    ASSERT_TRUE(f.model.Click("mnuHelp"));
    windows->viewer().Form_Activate();
    auto* view = windows->helpWindow().findChild<QTextBrowser*>("rtfIstruzioni");
    ASSERT_NE(view, nullptr);
    const auto rgb = [](const QColor& c) { return MakeRgb(c.red(), c.green(), c.blue()); };
    const Rgb text = rgb(view->palette().color(QPalette::Text));
    const Rgb base = rgb(view->palette().color(QPalette::Base));
    int pieces = 0;
    bool navyHeading = false;
    for (QTextBlock b = view->document()->begin(); b.isValid(); b = b.next()) {
      for (auto it = b.begin(); !it.atEnd(); ++it) {
        const QTextFragment piece = it.fragment();
        if (piece.text().trimmed().isEmpty()) continue;
        const QTextCharFormat format = piece.charFormat();
        const bool coloured = format.foreground().style() != Qt::NoBrush;
        const Rgb fore = coloured ? rgb(format.foreground().color()) : text;
        const Rgb back =
            format.background().style() != Qt::NoBrush ? rgb(format.background().color()) : base;
        EXPECT_GE(ContrastRatio(fore, back), kReadableContrast)
            << name << ": \"" << piece.text().left(40).toStdString() << "\"";
        navyHeading |= piece.text() == "Dulvex Hex Editor" && fore == MakeRgb(0, 0, 128);
        ++pieces;
      }
    }
    EXPECT_GT(pieces, 100) << name;
    EXPECT_EQ(navyHeading, std::string(name) == "light");
  }
  QApplication::setPalette(before);
}

// "Write History…" opens over the journal, newest first; Show brings a record's sector back.
TEST_F(WindowsTest, WriteHistoryOpensFromTheFileMenuAndShowsARecord) {
  InstallHistoryWindow(f.model, &window, [this] { window.Refresh(); });
  ChooseFloppy();
  for (const char* sector : {"40", "41"}) {
    f.model.SetText(f.model.At("Text21"), sector);
    f.model.Key("Text21", 13);
    f.prompter.messageAnswers.push_back(kAnswerYes);
    f.model.Click("Command5");
  }
  f.model.SetText(f.model.At("Text21"), "7");
  window.ActionOf("mnuWriteHistory")->trigger();
  auto* history = window.findChild<HistoryWindow*>("frmWriteHistory");
  ASSERT_TRUE(history != nullptr && history->isVisible());
  QAbstractItemModel* rows = history->view()->model();
  ASSERT_EQ(rows->rowCount(), 2);
  EXPECT_EQ(rows->index(0, journal::HistoryList::kSector).data().toString(), "41");
  EXPECT_EQ(rows->index(1, journal::HistoryList::kDevice).data().toString(), "A:");
  // Every column as wide as its header and its records, all in the window.
  const auto fitsItsContents = [history] {
    QTableView* view = history->view();
    QApplication::processEvents();
    for (int c = 0; c < journal::HistoryList::kColumnCount; ++c) {
      EXPECT_GE(view->columnWidth(c), static_cast<QAbstractItemView*>(view)->sizeHintForColumn(c))
          << "column " << c;
      EXPECT_GE(view->columnWidth(c), view->horizontalHeader()->sectionSizeHint(c)) << c;
    }
    EXPECT_FALSE(view->horizontalScrollBar()->isVisible());
  };
  fitsItsContents();
  if (qEnvironmentVariableIsSet("DULVEX_HISTORY_PNG"))
    history->grab().save(qEnvironmentVariable("DULVEX_HISTORY_PNG"));
  history->view()->selectRow(1);
  for (QPushButton* b : history->findChildren<QPushButton*>())
    if (b->text() == "Show") b->click();
  EXPECT_EQ(SectorBox(), "40");
  EXPECT_EQ(f.model.state.lastShown->sector, 40);
  // A longer state ("written (...), undoes record 2") widens its column when the list is read
  // again.
  f.prompter.messageAnswers.push_back(kAnswerYes);
  f.model.Click(kUndoWrite);
  window.ActionOf("mnuWriteHistory")->trigger();
  ASSERT_EQ(rows->rowCount(), 3);
  EXPECT_TRUE(
      rows->index(0, journal::HistoryList::kState).data().toString().endsWith(", undoes record 2"));
  fitsItsContents();
}

}  // namespace
}  // namespace dulvex::ui
