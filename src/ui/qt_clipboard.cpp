#include "ui/qt_clipboard.h"

#include <QApplication>
#include <QClipboard>

namespace dulvex::ui {

std::string QtClipboard::Text() const {
  return QApplication::clipboard()->text().toStdString();
}

void QtClipboard::SetText(const std::string& text) {
  QApplication::clipboard()->setText(QString::fromStdString(text));
}

}  // namespace dulvex::ui
