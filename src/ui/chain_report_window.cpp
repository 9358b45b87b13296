#include "ui/chain_report_window.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "ui/program_windows.h"

namespace dulvex::ui {

ChainReportWindow::ChainReportWindow(WindowModel& model, QWidget* owner)
    : QWidget(owner, Qt::Tool), model_(model) {
  setObjectName("frmClusterChain");
  CloseOnEscape(*this);
  summary_ = new QLabel(this);
  summary_->setObjectName("lblChainSummary");
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  summary_->setWordWrap(true);
  runs_ = new QListWidget(this);
  runs_->setObjectName("lstChainRuns");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary_);
  layout->addWidget(runs_, 1);
  resize(460, 380);
  connect(runs_, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { Choose(runs_->row(item)); });
  connect(runs_, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { Choose(runs_->row(item)); });
}

ChainReportWindow::~ChainReportWindow() {
  if (FatToolsOf(model_).host == this) FatToolsOf(model_).host = nullptr;
}

void ChainReportWindow::Show(const ChainReport& report) {
  setWindowTitle(QString::fromStdString(report.title));
  QString summary = QString::fromStdString(report.title);
  for (const std::string& line : report.summary) summary += "\n" + QString::fromStdString(line);
  summary_->setText(summary);
  runs_->clear();
  QStringList rows;
  rows.reserve(static_cast<qsizetype>(report.rows.size()));
  for (const ChainRow& row : report.rows) rows << QString::fromStdString(row.text);
  runs_->addItems(rows);
  if (report.hiddenRows > 0) {
    auto* more = new QListWidgetItem(QString("... and %1 more runs").arg(report.hiddenRows), runs_);
    more->setFlags(Qt::NoItemFlags);
  }
  show();
  raise();
  activateWindow();
}

void ChainReportWindow::Choose(int row) {
  if (row < 0 || !ChooseChainRun(model_, static_cast<std::size_t>(row))) return;
  if (afterChoose) afterChoose();
}

ChainReportWindow* InstallChainReportWindow(WindowModel& model, QWidget* mainWindow,
                                            std::function<void()> afterChoose) {
  auto* window = new ChainReportWindow(model, mainWindow);
  window->afterChoose = std::move(afterChoose);
  FatToolsOf(model).host = window;
  return window;
}

}  // namespace dulvex::ui
