// The Cluster Chain report window offscreen: it shows the report the tool made, and a click
// on a run shows that run's first sector in the main window.
#include "ui/chain_report_window.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include "support/test_support.h"
#include "ui/main_window.h"

namespace dulvex::ui {
namespace {

TEST(ChainReportWindow, ShowsTheReportAndAClickedRunShowsItsFirstSector) {
  dulvex::testing::ModelFixture f;
  MainWindow window(f.model);
  ChainReportWindow* report =
      InstallChainReportWindow(f.model, &window, [&window] { window.Refresh(); });
  window.show();
  dulvex::testing::MakeFatImage(f.Drive('A'), 2880, "-F 12 -n FLOPPY");
  dulvex::testing::PokeBytes(f.Drive('A'), 1, 3, {0x03, 0x50, 0x00, 0x00, 0xF0, 0xFF});  // 2-3, 5
  f.Choose('A');
  f.prompter.inputAnswers = {"2"};
  ASSERT_TRUE(f.model.Click("mnuClusChain"));
  ASSERT_TRUE(report->isVisible());
  EXPECT_EQ(report->windowTitle(), "Cluster Chain from cluster 2");
  EXPECT_TRUE(report->summary()->text().contains("Clusters: 2-3, 5"));
  ASSERT_EQ(report->runs()->count(), 2);
  EXPECT_EQ(report->runs()->item(1)->text(), "5 (1 cluster): sector 36");
  const QRect row = report->runs()->visualItemRect(report->runs()->item(1));
  QTest::mouseClick(report->runs()->viewport(), Qt::LeftButton, {}, row.center());
  EXPECT_EQ(window.findChild<QLineEdit*>("Text21")->text(), "36");
  EXPECT_EQ(f.model.state.lastShown->sector, 36);
}

}  // namespace
}  // namespace dulvex::ui
