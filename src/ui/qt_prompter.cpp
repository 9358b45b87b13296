#include "ui/qt_prompter.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include "sectorio/sector_io.h"

namespace dulvex::ui {

namespace {

QString TitleOrApp(const std::string& title) {
  return QString::fromStdString(title.empty() ? AppTitle() : title);
}

// Answer codes of the buttons: 1 OK, 2 Cancel, 3 Abort, 4 Retry, 5 Ignore, 6 Yes, 7 No.
int AnswerOf(QMessageBox::StandardButton button) {
  switch (button) {
    case QMessageBox::Ok:
      return kAnswerOk;
    case QMessageBox::Cancel:
      return 2;
    case QMessageBox::Abort:
      return 3;
    case QMessageBox::Retry:
      return 4;
    case QMessageBox::Ignore:
      return 5;
    case QMessageBox::Yes:
      return kAnswerYes;
    case QMessageBox::No:
      return kAnswerNo;
    default:
      return 2;
  }
}

}  // namespace

int QtPrompter::MessageBox(const std::string& text, int style, const std::string& title) {
  if (beforeBox) beforeBox();
  QMessageBox box(parent_.data());
  box.setWindowTitle(TitleOrApp(title));
  box.setText(QString::fromStdString(text));
  box.setTextFormat(Qt::PlainText);
  switch (style & 0x70) {
    case 16:
      box.setIcon(QMessageBox::Critical);
      break;
    case 32:
      box.setIcon(QMessageBox::Question);
      break;
    case 48:
      box.setIcon(QMessageBox::Warning);
      break;
    case 64:
      box.setIcon(QMessageBox::Information);
      break;
    default:
      box.setIcon(QMessageBox::NoIcon);
      break;
  }
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton first = QMessageBox::Ok;
  switch (style & 0x7) {
    case 1:
      buttons = QMessageBox::Ok | QMessageBox::Cancel;
      break;
    case 2:
      buttons = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
      first = QMessageBox::Abort;
      break;
    case 3:
      buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      first = QMessageBox::Yes;
      break;
    case 4:
      buttons = QMessageBox::Yes | QMessageBox::No;
      first = QMessageBox::Yes;
      break;
    case 5:
      buttons = QMessageBox::Retry | QMessageBox::Cancel;
      first = QMessageBox::Retry;
      break;
    default:
      buttons = QMessageBox::Ok;
      break;
  }
  box.setStandardButtons(buttons);
  box.setDefaultButton(first);
  const int result = box.exec();
  return AnswerOf(static_cast<QMessageBox::StandardButton>(result));
}

std::string QtPrompter::InputBox(const std::string& prompt, const std::string& title,
                                 const std::string& defaultText) {
  if (beforeBox) beforeBox();
  bool ok = false;
  const QString text =
      QInputDialog::getText(parent_.data(), TitleOrApp(title), QString::fromStdString(prompt),
                            QLineEdit::Normal, QString::fromStdString(defaultText), &ok);
  return ok ? text.toStdString() : std::string();
}

std::string QtPrompter::FileDialog(FileMode mode, const std::string& title,
                                   const std::string& start, const std::string& filter) {
  const QString caption = TitleOrApp(title);
  const QString from = QString::fromStdString(start);
  const QString kinds = QString::fromStdString(filter);
  const QString path = mode == FileMode::Open
                           ? QFileDialog::getOpenFileName(parent_.data(), caption, from, kinds)
                           : QFileDialog::getSaveFileName(parent_.data(), caption, from, kinds);
  return path.toStdString();
}

}  // namespace dulvex::ui
