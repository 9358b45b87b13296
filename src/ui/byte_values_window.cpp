#include "ui/byte_values_window.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "ui/program_windows.h"

namespace dulvex::ui {

InspectorWindow::InspectorWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), text_(new QPlainTextEdit(this)) {
  setObjectName("frmInspector");
  setWindowTitle("Data Inspector");
  CloseOnEscape(*this);
  text_->setObjectName("txtInspector");
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  resize(560, 300);
}

void InspectorWindow::Show(const std::vector<std::string>& lines, bool open) {
  QString text;
  for (const std::string& line : lines) text += QString::fromStdString(line) + '\n';
  text.chop(1);
  if (text_->toPlainText() != text) text_->setPlainText(text);
  if (!open) return;
  show();
  raise();
  activateWindow();
}

void InstallInspectorWindow(WindowModel& model, QWidget* mainWindow) {
  model.state.inspectorHost = new InspectorWindow(mainWindow);
}

}  // namespace dulvex::ui
