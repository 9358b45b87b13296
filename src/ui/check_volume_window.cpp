#include "ui/check_volume_window.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/program_windows.h"

namespace dulvex::ui {

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}
QString Q(std::string_view name) {
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

QPushButton* Button(QWidget* parent, const ControlId& id, const char* caption) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(Q(id.name));
  return b;
}

}  // namespace

RepairPreviewWindow::RepairPreviewWindow(WindowModel& model, QWidget* owner,
                                         const std::function<void()>& afterApply)
    : QWidget(owner, Qt::Tool), model_(model) {
  setObjectName(Q(kPreviewWindow.name));
  CloseOnEscape(*this);
  summary_ = new QLabel(this);
  summary_->setObjectName(Q(kPreviewSummary.name));
  summary_->setWordWrap(true);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  sectors_ = new QListWidget(this);
  sectors_->setObjectName(Q(kPreviewSectors.name));
  diff_ = new QPlainTextEdit(this);
  diff_->setObjectName(Q(kPreviewDiff.name));
  diff_->setReadOnly(true);
  diff_->setLineWrapMode(QPlainTextEdit::NoWrap);
  diff_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  auto* split = new QSplitter(this);
  split->addWidget(sectors_);
  split->addWidget(diff_);
  split->setStretchFactor(1, 3);
  auto* apply = Button(this, kApplyRepair, kApplyCaption);
  auto* cancel = Button(this, kCancelRepair, kCancelCaption);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(apply);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary_);
  layout->addWidget(split, 1);
  layout->addLayout(buttons);
  resize(860, 460);
  connect(sectors_, &QListWidget::currentRowChanged, this, &RepairPreviewWindow::ShowSector);
  connect(apply, &QPushButton::clicked, this, [this, afterApply] {
    ApplyPreview(model_);
    if (afterApply) afterApply();
  });
  connect(cancel, &QPushButton::clicked, this, [this] { CancelPreview(model_); });
}

void RepairPreviewWindow::Show(const RepairPreview& p) {
  setWindowTitle(Q(p.title + " on " + p.device + ": preview"));
  summary_->setText(Q(PreviewSummary(p)));
  writes_ = p.writes;
  sectors_->clear();
  for (const check::SectorWrite& w : writes_) {
    const std::string diff = SectorDiffText(w);
    sectors_->addItem(Q(diff.substr(0, diff.find('\n'))));
  }
  sectors_->setCurrentRow(0);
  ShowSector(0);
  show();
  raise();
  activateWindow();
}

void RepairPreviewWindow::ShowSector(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= writes_.size()) return diff_->clear();
  diff_->setPlainText(Q(SectorDiffText(writes_[static_cast<std::size_t>(row)])));
}

CheckVolumeWindow::CheckVolumeWindow(WindowModel& model, QWidget* owner,
                                     std::function<void()> afterAction)
    : QWidget(owner, Qt::Tool), model_(model), afterAction_(std::move(afterAction)) {
  setObjectName(Q(kCheckWindow.name));
  setWindowTitle(QString::fromUtf8(kCheckVolumeTitle));
  CloseOnEscape(*this);
  summary_ = new QLabel(this);
  summary_->setObjectName(Q(kCheckSummary.name));
  summary_->setWordWrap(true);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  findings_ = new QTreeWidget(this);
  findings_->setObjectName(Q(kFindingList.name));
  findings_->setRootIsDecorated(false);
  findings_->setUniformRowHeights(true);
  findings_->setHeaderLabels({"Severity", "Kind", "Where", "What is wrong"});
  findings_->header()->setStretchLastSection(true);
  findings_->setColumnWidth(0, 70);
  findings_->setColumnWidth(1, 210);
  findings_->setColumnWidth(2, 230);
  text_ = new QLabel(this);
  text_->setObjectName(Q(kFindingText.name));
  text_->setWordWrap(true);
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  repairs_ = new QComboBox(this);
  repairs_->setObjectName(Q(kFindingRepairs.name));
  repairs_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  show_ = Button(this, kShowFinding, kShowCaption);
  repair_ = Button(this, kRepairFinding, kRepairCaption);
  repairAll_ = Button(this, kRepairAll, kRepairAllCaption);
  auto* again = Button(this, kCheckAgain, kCheckAgainCaption);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(show_);
  buttons->addWidget(repairs_, 1);
  buttons->addWidget(repair_);
  buttons->addStretch(0);
  buttons->addWidget(repairAll_);
  buttons->addWidget(again);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(summary_);
  layout->addWidget(findings_, 1);
  layout->addWidget(text_);
  layout->addLayout(buttons);
  resize(900, 420);
  preview_ = new RepairPreviewWindow(model, this, afterAction_);
  const auto after = [this] {
    if (afterAction_) afterAction_();
  };
  connect(findings_, &QTreeWidget::currentItemChanged, this, [this] { ShowRepairs(); });
  const auto show = [this, after] {
    if (Row() < 0) return;
    ShowFinding(model_, static_cast<std::size_t>(Row()));
    after();
  };
  connect(findings_, &QTreeWidget::itemActivated, this, show);
  connect(show_, &QPushButton::clicked, this, show);
  connect(repair_, &QPushButton::clicked, this, [this, after] {
    if (Row() >= 0 && repairs_->currentIndex() >= 0)
      PreviewRepair(model_, static_cast<std::size_t>(Row()),
                    static_cast<std::size_t>(repairs_->currentIndex()));
    after();
  });
  connect(repairAll_, &QPushButton::clicked, this, [this, after] {
    PreviewRepairAll(model_);
    after();
  });
  connect(again, &QPushButton::clicked, this, [this, after] {
    mnuCheckVolume_Click(model_);
    after();
  });
}

CheckVolumeWindow::~CheckVolumeWindow() {
  if (CheckVolumeOf(model_).host == this) CheckVolumeOf(model_).host = nullptr;
}

int CheckVolumeWindow::Row() const {
  QTreeWidgetItem* item = findings_->currentItem();
  return item == nullptr ? -1 : findings_->indexOfTopLevelItem(item);
}

void CheckVolumeWindow::ShowRepairs() {
  repairs_->clear();
  const int row = Row();
  text_->setText(row >= 0 && static_cast<std::size_t>(row) < texts_.size()
                     ? Q(texts_[static_cast<std::size_t>(row)])
                     : QString());
  if (row >= 0 && static_cast<std::size_t>(row) < options_.size())
    for (const std::string& title : options_[static_cast<std::size_t>(row)])
      repairs_->addItem(Q(title));
  repair_->setEnabled(repairs_->count() > 0);
  show_->setEnabled(row >= 0);
}

void CheckVolumeWindow::ShowFindings(const CheckView& view) {
  setWindowTitle(Q(std::string(kCheckVolumeTitle) + " " + view.device));
  summary_->setText(Q(view.summary));
  findings_->clear();
  options_.clear();
  texts_.clear();
  QList<QTreeWidgetItem*> items;
  for (const FindingRow& row : view.rows) {
    auto* item = new QTreeWidgetItem({Q(row.severity), Q(row.kind), Q(row.place), Q(row.text)});
    for (int c = 0; c < 4; ++c) item->setToolTip(c, Q(row.text));
    items << item;
    options_.push_back(row.repairs);
    texts_.push_back(row.text);
  }
  findings_->addTopLevelItems(items);
  if (!items.isEmpty()) findings_->setCurrentItem(items.front());
  ShowRepairs();
  repairAll_->setEnabled(!view.rows.empty());
  show();
  raise();
  activateWindow();
}

void CheckVolumeWindow::ShowPreview(const RepairPreview* preview) {
  if (preview == nullptr) return void(preview_->hide());
  preview_->Show(*preview);
}

CheckVolumeWindow* InstallCheckVolumeWindow(WindowModel& model, QWidget* mainWindow,
                                            std::function<void()> afterAction) {
  auto* window = new CheckVolumeWindow(model, mainWindow, std::move(afterAction));
  CheckVolumeOf(model).host = window;
  return window;
}

}  // namespace dulvex::ui
