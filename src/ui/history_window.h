// The Write History window: the journal's records in a table read a page at a time, a filter
// by drive letter, and the buttons Show, Revert and Export…, which forward to the Qt-free
// commands of commands/write_commands.h.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>
#include <functional>
#include <memory>

#include "core/window_model.h"
#include "journal/history.h"

class QComboBox;
class QLabel;
class QTableView;

namespace dulvex::ui {

// The records as a Qt table, fetched in pages as the view scrolls.
class HistoryTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit HistoryTableModel(journal::Journal& journal, QObject* parent = nullptr);
  // Starts over with the records of `device` ("A:"; empty for all). Returns the journal's
  // problem, empty when none.
  QString Reset(const std::string& device);
  std::int64_t IdAt(int row) const;
  std::int64_t total() const { return list_.total(); }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  journal::HistoryList list_;
};

class HistoryWindow : public QWidget {
  Q_OBJECT
 public:
  // `changed` runs after a command that may have changed the main window's model.
  HistoryWindow(WindowModel& model, std::function<void()> changed, QWidget* parent = nullptr);
  // Reads the journal again (the letters of the filter and the records).
  void Reload();
  HistoryTableModel* table() const { return table_; }
  QTableView* view() const { return view_; }

 private:
  void ApplyFilter();
  void FitColumns();
  // The record of the current row, 0 when none.
  std::int64_t CurrentId() const;
  void Run(const std::function<void()>& command);

  WindowModel& model_;
  std::function<void()> changed_;
  std::shared_ptr<journal::Journal> journal_;  // kept open as long as the window lives
  HistoryTableModel* table_;
  QComboBox* filter_;
  QTableView* view_;
  QLabel* status_;
};

// Registers "Write History…" of the File menu: it opens the window (one for the main window,
// made at first use) and brings it up to date.
void InstallHistoryWindow(WindowModel& model, QWidget* mainWindow,
                          const std::function<void()>& changed);

}  // namespace dulvex::ui
