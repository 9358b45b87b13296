// The data inspector's window: its lines in a fixed-pitch read-only box, following the
// selection and the pointer while it is open. Esc closes it.
#pragma once

#include <QWidget>

#include "core/byte_values_host.h"
#include "core/window_model.h"

class QPlainTextEdit;

namespace dulvex::ui {

class InspectorWindow : public QWidget, public InspectorHost {
  Q_OBJECT
 public:
  explicit InspectorWindow(QWidget* parent = nullptr);
  void Show(const std::vector<std::string>& lines, bool open) override;
  bool IsOpen() const override { return isVisible(); }
  QPlainTextEdit* text() const { return text_; }

 private:
  QPlainTextEdit* text_;
};

// Makes the window (owned by `mainWindow`) the model's inspector host.
void InstallInspectorWindow(WindowModel& model, QWidget* mainWindow);

}  // namespace dulvex::ui
