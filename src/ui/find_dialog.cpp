#include "ui/find_dialog.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
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
               "Hex bytes (EB 3C 90, ?? for any byte)",
               "A file or directory name (long or short, deleted too, any case)"},
              last.kind);
  auto* ignoreCase =
      new QCheckBox("Ignore case (e and E, \u00E9 and \u00C9, \u0436 and \u0416)", &dialog);
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
  // Case applies to text; a name is matched in any case and looked up in the directory
  // tree, from nowhere in particular. Find needs something to find.
  const auto update = [&] {
    const auto chosen = static_cast<FindKind>(kind->checkedId());
    ignoreCase->setEnabled(chosen == FindKind::Text || chosen == FindKind::Utf16);
    for (QAbstractButton* b : from->buttons()) b->setEnabled(chosen != FindKind::Name);
    data->setEnabled(chosen != FindKind::Name);
    buttons->button(QDialogButtonBox::Ok)->setEnabled(!text->text().isEmpty());
  };
  QObject::connect(kind, &QButtonGroup::idClicked, &dialog, update);
  QObject::connect(text, &QLineEdit::textChanged, &dialog, update);
  update();
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  search::FindRequest r;
  r.text = text->text().toStdString();
  r.kind = static_cast<FindKind>(kind->checkedId());
  r.ignoreCase = ignoreCase->isChecked() && (r.kind == FindKind::Text || r.kind == FindKind::Utf16);
  r.from = static_cast<FindFrom>(from->checkedId());
  r.dataRegionOnly = data->isChecked();
  return r;
}

std::optional<std::size_t> QtFindAsker::Choose(const std::string& prompt,
                                               const std::vector<std::string>& items) {
  QDialog dialog(parent_);
  dialog.setObjectName("FindNameDialog");
  dialog.setWindowTitle("Find Name");
  auto* column = new QVBoxLayout(&dialog);
  auto* label = new QLabel(QString::fromStdString(prompt), &dialog);
  label->setWordWrap(true);
  column->addWidget(label);
  auto* list = new QListWidget(&dialog);
  list->setObjectName("FindNameHits");
  list->setMinimumWidth(480);
  for (const std::string& item : items) list->addItem(QString::fromStdString(item));
  list->setCurrentRow(0);
  column->addWidget(list);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setText("Show");
  column->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(list, &QListWidget::itemActivated, &dialog, &QDialog::accept);
  if (dialog.exec() != QDialog::Accepted || list->currentRow() < 0) return std::nullopt;
  return static_cast<std::size_t>(list->currentRow());
}

}  // namespace dulvex::ui
