// The Write History window offscreen: "Write History…" opens it over the journal, newest
// first, and its Show button brings the record's sector into the main window.
#include "ui/history_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QTableView>

#include "support/test_support.h"
#include "ui/main_window.h"

namespace dulvex::ui {
namespace {

TEST(HistoryWindowTest, OpensFromTheFileMenuAndShowsARecord) {
  dulvex::testing::ModelFixture f;
  MainWindow window(f.model);
  InstallHistoryWindow(f.model, &window, [&window] { window.Refresh(); });
  dulvex::testing::MakeFatImage(f.Drive('A'), 2880, "-F 12 -n FLOPPY");
  f.Choose('A');
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
  if (qEnvironmentVariableIsSet("DULVEX_HISTORY_PNG"))
    history->grab().save(qEnvironmentVariable("DULVEX_HISTORY_PNG"));
  history->view()->selectRow(1);
  for (QPushButton* b : history->findChildren<QPushButton*>())
    if (b->text() == "Show") b->click();
  EXPECT_EQ(f.model.At("Text21").caption, "40");
  EXPECT_EQ(f.model.state.lastShown->sector, 40);
}

}  // namespace
}  // namespace dulvex::ui
