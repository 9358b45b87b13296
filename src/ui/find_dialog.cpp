#include "ui/find_dialog.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace dulvex::ui {

namespace {

using search::FindFrom;
using search::FindKind;

// A column of radio buttons, one per choice, named `name` followed by the choice's number.
template <typename E>
QButtonGroup* Choices(QDialog& dialog, QFormLayout& form, const QString& label, const char* name,
                      std::initializer_list<const char*> texts, E chosen) {
  auto* group = new QButtonGroup(&dialog);
  auto* column = new QVBoxLayout;
  int id = 0;
  for (const char* text : texts) {
    auto* button = new QRadioButton(text, &dialog);
    button->setObjectName(QString(name) + QString::number(id));
    button->setChecked(id == static_cast<int>(chosen));
    group->addButton(button, id++);
    column->addWidget(button);
  }
  form.addRow(label, column);
  return group;
}

}  // namespace

std::optional<search::FindRequest> QtFindAsker::Ask(const search::FindRequest& last) {
  QDialog dialog(parent_);
  dialog.setObjectName("FindDialog");
  dialog.setWindowTitle("Find String");
  auto* form = new QFormLayout(&dialog);
  auto* text = new QLineEdit(QString::fromStdString(last.text), &dialog);
  text->setObjectName("FindText");
  text->setMinimumWidth(320);
  form->addRow("Find what:", text);
  QButtonGroup* kind =
      Choices(dialog, *form, "Read it as:", "FindKind",
              {"Text (Windows-1252, as the grid shows it)", "Text in UTF-16LE (as long names)",
               "Hex bytes (EB 3C 90, ?? for any byte)"},
              last.kind);
  auto* ignoreCase = new QCheckBox("Ignore case (e and E, \u00E9 and \u00C9)", &dialog);
  ignoreCase->setObjectName("FindIgnoreCase");
  ignoreCase->setChecked(last.ignoreCase);
  form->addRow("", ignoreCase);
  QButtonGroup* from = Choices(dialog, *form, "Start:", "FindFrom",
                               {"Forward, after the shown sector's start",
                                "Backward, before the shown sector", "Forward from sector 0"},
                               last.from);
  auto* data = new QCheckBox("Only the volume's data region", &dialog);
  data->setObjectName("FindDataRegion");
  data->setChecked(last.dataRegionOnly);
  form->addRow("Range:", data);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setText("Find");
  form->addRow(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  // Case applies to code-page text only; Find needs something to find.
  const auto update = [&] {
    ignoreCase->setEnabled(kind->checkedId() == static_cast<int>(FindKind::Text));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(!text->text().isEmpty());
  };
  QObject::connect(kind, &QButtonGroup::idClicked, &dialog, update);
  QObject::connect(text, &QLineEdit::textChanged, &dialog, update);
  update();
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  search::FindRequest r;
  r.text = text->text().toStdString();
  r.kind = static_cast<FindKind>(kind->checkedId());
  r.ignoreCase = ignoreCase->isChecked() && r.kind == FindKind::Text;
  r.from = static_cast<FindFrom>(from->checkedId());
  r.dataRegionOnly = data->isChecked();
  return r;
}

void AddFindNextKey(QWidget& window, WindowModel& model, std::function<void()> refresh) {
  auto* action = new QAction("Find Next", &window);
  action->setObjectName("FindNextKey");
  action->setData(QString("mnuFindNext"));  // the hidden menu item the key stands for
  action->setShortcut(Qt::Key_F3);
  action->setShortcutContext(Qt::WindowShortcut);
  window.addAction(action);
  QObject::connect(action, &QAction::triggered, &window, [&model, refresh] {
    if (model.Click(kFindNext) && refresh) refresh();
  });
}

}  // namespace dulvex::ui
