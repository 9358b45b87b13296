// The "Cluster Chain" report window: the summary of the chain and its runs in a list; clicking
// a run (or Enter on it) chooses it, and the main window shows its first sector. The report
// and the choice are rules of fattools/; this window only shows and forwards.
#pragma once

#include <QWidget>
#include <functional>

#include "core/window_model.h"
#include "fattools/fat_tools.h"

class QLabel;
class QListWidget;

namespace dulvex::ui {

class ChainReportWindow : public QWidget, public ChainReportHost {
  Q_OBJECT
 public:
  ChainReportWindow(WindowModel& model, QWidget* owner);
  ~ChainReportWindow() override;
  void Show(const ChainReport& report) override;
  // Called after a run was chosen, so the main window shows the new sector.
  std::function<void()> afterChoose;

 private:
  void Choose(int row);

  WindowModel& model_;
  QLabel* summary_;
  QListWidget* runs_;
};

// Makes the report window for the main window and lets the FAT tools show their report in it.
ChainReportWindow* InstallChainReportWindow(WindowModel& model, QWidget* mainWindow,
                                            std::function<void()> afterChoose);

}  // namespace dulvex::ui
