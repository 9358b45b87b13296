#include "ui/history_window.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include "commands/write_commands.h"
#include "sectorio/sector_io.h"
#include "ui/program_windows.h"

namespace dulvex::ui {

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// The journal the window reads, shared with the writes of the main window.
std::shared_ptr<journal::Journal> KeptJournal(WindowModel& model) {
  JournalOf(model);
  return model.state.journal;
}

}  // namespace

HistoryTableModel::HistoryTableModel(journal::Journal& journal, QObject* parent)
    : QAbstractTableModel(parent), list_(journal) {}

QString HistoryTableModel::Reset(const std::string& device) {
  beginResetModel();
  const Status r = list_.Reset(device);
  endResetModel();
  return Q(r.Describe());
}

std::int64_t HistoryTableModel::IdAt(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < list_.size()
             ? list_.at(static_cast<std::size_t>(row)).id
             : 0;
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(list_.size());
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : journal::HistoryList::kColumnCount;
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || static_cast<std::size_t>(index.row()) >= list_.size()) return {};
  const auto row = static_cast<std::size_t>(index.row());
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return Q(list_.Cell(row, index.column()));
  if (role == Qt::TextAlignmentRole && (index.column() == journal::HistoryList::kSector ||
                                        index.column() == journal::HistoryList::kChanged))
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  return {};
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  return QString::fromUtf8(journal::HistoryList::Header(section));
}

bool HistoryTableModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && list_.CanFetchMore();
}

void HistoryTableModel::fetchMore(const QModelIndex& parent) {
  if (parent.isValid()) return;
  // A failed read ends the list where it is.
  std::vector<journal::Summary> page;
  list_.ReadNextPage(&page);
  if (page.empty()) return;
  const int first = static_cast<int>(list_.size());
  beginInsertRows({}, first, first + static_cast<int>(page.size()) - 1);
  list_.Append(page);
  endInsertRows();
}

HistoryWindow::HistoryWindow(WindowModel& model, std::function<void()> changed, QWidget* parent)
    : QWidget(parent, Qt::Window),
      model_(model),
      changed_(std::move(changed)),
      journal_(KeptJournal(model)),
      table_(new HistoryTableModel(*journal_, this)),
      filter_(new QComboBox(this)),
      view_(new QTableView(this)),
      status_(new QLabel(this)) {
  setObjectName("frmWriteHistory");
  setWindowTitle("Write History");
  CloseOnEscape(*this);
  view_->setModel(table_);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view_->verticalHeader()->hide();
  view_->horizontalHeader()->setStretchLastSection(true);
  view_->setWordWrap(false);
  view_->setTextElideMode(Qt::ElideMiddle);

  auto* show = new QPushButton("Show", this);
  auto* revert = new QPushButton("Revert", this);
  auto* exportButton = new QPushButton("Export…", this);
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel("Device:", this));
  top->addWidget(filter_);
  top->addStretch();
  top->addWidget(status_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(show);
  buttons->addWidget(revert);
  buttons->addWidget(exportButton);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(view_);
  layout->addLayout(buttons);
  resize(900, 480);

  connect(filter_, &QComboBox::activated, this, [this] { ApplyFilter(); });
  connect(show, &QPushButton::clicked, this, [this] {
    if (const std::int64_t id = CurrentId()) Run([this, id] { ShowRecord(model_, id); });
  });
  connect(revert, &QPushButton::clicked, this, [this] {
    if (const std::int64_t id = CurrentId()) Run([this, id] { RevertRecord(model_, id); });
    Reload();
  });
  connect(exportButton, &QPushButton::clicked, this, [this] {
    std::vector<std::int64_t> ids;
    for (const QModelIndex& row : view_->selectionModel()->selectedRows())
      ids.push_back(table_->IdAt(row.row()));
    std::sort(ids.begin(), ids.end());
    Run([this, ids] { ExportRecords(model_, ids); });
  });
}

void HistoryWindow::Reload() {
  std::vector<std::string> devices;
  journal_->Devices(&devices);
  const QString chosen = filter_->currentData().toString();
  filter_->clear();
  filter_->addItem("All devices", QString());
  for (const std::string& d : devices) filter_->addItem(Q(d), Q(d));
  filter_->setCurrentIndex(std::max(0, filter_->findData(chosen)));
  ApplyFilter();
}

void HistoryWindow::ApplyFilter() {
  const QString problem = table_->Reset(filter_->currentData().toString().toStdString());
  status_->setText(problem.isEmpty() ? QString("%1 records").arg(table_->total()) : problem);
  FitColumns();
}

void HistoryWindow::FitColumns() {
  // Each column as wide as its header and the records it shows; a path longer than a third
  // of the screen is shortened in its middle (its tooltip has all of it).
  QHeaderView* header = view_->horizontalHeader();
  header->setStretchLastSection(false);
  view_->resizeColumnsToContents();
  const QRect screenArea =
      screen() != nullptr ? screen()->availableGeometry() : QRect(0, 0, 1280, 800);
  using L = journal::HistoryList;
  view_->setColumnWidth(L::kTarget,
                        std::min(view_->columnWidth(L::kTarget), screenArea.width() / 3));
  int columns = 0;
  for (int c = 0; c < L::kColumnCount; ++c) columns += view_->columnWidth(c);
  header->setStretchLastSection(true);
  // The window wide enough for all of them (within the screen), never narrower than it was.
  const QMargins margins = layout()->contentsMargins();
  const int chrome = 2 * view_->frameWidth() + view_->verticalScrollBar()->sizeHint().width() +
                     margins.left() + margins.right();
  const int wanted = std::min(columns + chrome + 4, screenArea.width());
  if (wanted > width()) resize(wanted, height());
}

std::int64_t HistoryWindow::CurrentId() const {
  return table_->IdAt(view_->currentIndex().row());
}

void HistoryWindow::Run(const std::function<void()>& command) {
  if (model_.busy) return;  // long work runs: the main window takes no command either
  command();
  if (changed_) changed_();
}

void InstallHistoryWindow(WindowModel& model, QWidget* mainWindow,
                          const std::function<void()>& changed) {
  auto window = std::make_shared<QPointer<HistoryWindow>>();
  model.OnClick(kWriteHistory, [&model, mainWindow, changed, window](int) {
    if (window->isNull()) *window = new HistoryWindow(model, changed, mainWindow);
    (*window)->Reload();
    (*window)->show();
    (*window)->raise();
    (*window)->activateWindow();
  });
}

}  // namespace dulvex::ui
