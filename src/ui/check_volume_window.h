// The Check Volume window (the findings, "Show", each finding's repairs, "Repair All") and the
// repair preview (the sectors a repair writes, each with its byte diff, Apply and Cancel).
// Everything they show and do is in commands/check_command; these windows only show it and
// forward the clicks.
#pragma once

#include <QWidget>
#include <functional>

#include "commands/check_command.h"
#include "core/window_model.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace dulvex::ui {

class RepairPreviewWindow : public QWidget {
  Q_OBJECT
 public:
  RepairPreviewWindow(WindowModel& model, QWidget* owner, const std::function<void()>& afterApply);
  void Show(const RepairPreview& preview);

 private:
  void ShowSector(int row);
  WindowModel& model_;
  QLabel* summary_;
  QListWidget* sectors_;
  QPlainTextEdit* diff_;
  std::vector<check::SectorWrite> writes_;
};

class CheckVolumeWindow : public QWidget, public CheckVolumeHost {
  Q_OBJECT
 public:
  CheckVolumeWindow(WindowModel& model, QWidget* owner, std::function<void()> afterAction);
  ~CheckVolumeWindow() override;
  void ShowFindings(const CheckView& view) override;
  void ShowPreview(const RepairPreview* preview) override;

 private:
  int Row() const;
  void ShowRepairs();
  WindowModel& model_;
  std::function<void()> afterAction_;
  QLabel* summary_;
  QTreeWidget* findings_;
  QLabel* text_;
  QComboBox* repairs_;
  QPushButton *show_, *repair_, *repairAll_;
  RepairPreviewWindow* preview_;
  std::vector<std::vector<std::string>> options_;  // each row's repairs
  std::vector<std::string> texts_;                 // each row's sentence
};

// Makes the window for the main window; `afterAction` refreshes the main window after a
// finding is shown or a repair written.
CheckVolumeWindow* InstallCheckVolumeWindow(WindowModel& model, QWidget* mainWindow,
                                            std::function<void()> afterAction);

}  // namespace dulvex::ui
