// The find dialog hands the user's choices to the search, and F3 in the main window is
// "Find Next".
#include "ui/find_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "support/test_support.h"
#include "ui/main_window.h"

namespace dulvex::ui {
namespace {

// Runs `act` on the dialog once it is up.
void OnDialog(std::function<void(QDialog&)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    act(*dialog);
  });
}

template <typename W>
W* Child(QDialog& d, const char* name) {
  return d.findChild<W*>(name);
}

TEST(FindDialog, AsksFromTheLastRequestAndGivesTheChoices) {
  QtFindAsker asker;
  search::FindRequest last{"caf\u00E9", search::FindKind::Text, true};
  OnDialog([](QDialog& d) {
    EXPECT_EQ(Child<QLineEdit>(d, "FindText")->text(), "caf\u00E9");
    EXPECT_TRUE(Child<QCheckBox>(d, "FindIgnoreCase")->isChecked());
    Child<QLineEdit>(d, "FindText")->setText("EB ?? 90");
    Child<QRadioButton>(d, "FindKind2")->click();  // hex: case means nothing
    EXPECT_FALSE(Child<QCheckBox>(d, "FindIgnoreCase")->isEnabled());
    Child<QRadioButton>(d, "FindFrom1")->click();
    Child<QCheckBox>(d, "FindDataRegion")->click();
    if (qEnvironmentVariableIsSet("DULVEX_FIND_DIALOG_PNG"))
      d.grab().save(qEnvironmentVariable("DULVEX_FIND_DIALOG_PNG"));
    d.accept();
  });
  const auto r = asker.Ask(last);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->text, "EB ?? 90");
  EXPECT_EQ(r->kind, search::FindKind::Hex);
  EXPECT_FALSE(r->ignoreCase);
  EXPECT_EQ(r->from, search::FindFrom::Backward);
  EXPECT_TRUE(r->dataRegionOnly);
  OnDialog([](QDialog& d) { d.reject(); });
  EXPECT_FALSE(asker.Ask(last));
}

TEST(FindDialog, F3FindsTheNextMatchAndTheWindowShowsIt) {
  testing::ModelFixture f;
  MainWindow window(f.model);
  AddFindNextKey(window, f.model, [&window] { window.Refresh(); });
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  testing::MakeFatImage(f.Drive('A'), 2880, "-F 12");
  testing::PokeBytes(f.Drive('A'), 77, 3, {'N', 'E', 'X', 'T'});
  f.Choose('A');
  f.findAsker.answers.push_back(search::FindRequest{"NEXT"});
  QTest::keyClick(&window, Qt::Key_F3);
  EXPECT_EQ(qobject_cast<QLineEdit*>(window.WidgetOf("Text21"))->text(), "77");
  ASSERT_EQ(f.prompter.shown.size(), 1u);
  EXPECT_EQ(f.prompter.shown[0].text,
            "Found at byte 39427 (0x9A03) of the medium: sector 77, offset 3.");
}

}  // namespace
}  // namespace dulvex::ui
