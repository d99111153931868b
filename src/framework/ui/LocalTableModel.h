// LocalTableModel: a Qt table model over a LocalTable's visible records, for grids.
// It follows the table (records, values, cursor) through the table's signals; columns
// are the fields chosen by the grid, each with a title, width and alignment.
#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <vector>

#include "framework/data/LocalTable.h"

namespace fw {

struct GridColumn {
  QString field;
  QString title;
  int width = 64;
  Qt::Alignment titleAlignment = Qt::AlignLeft;
  Qt::Alignment valueAlignment = Qt::AlignLeft;
  bool visible = true;
};

class LocalTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit LocalTableModel(LocalTable* table, std::vector<GridColumn> columns,
                           QObject* parent = nullptr);

  LocalTable* table() const { return table_; }
  const std::vector<GridColumn>& columns() const { return columns_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Brings the model in line with the table when the row count or the table's fields may
  // have changed without a signal (the signals call it too).
  void refresh();

 private:
  void onRecordsChanged();
  void onValueChanged(int visibleRow);
  void onStateChanged();
  int tableRowCount() const;
  void reset();

  QPointer<LocalTable> table_;
  std::vector<GridColumn> columns_;
  std::vector<int> fieldIndexes_;  // per column; -1 when the table lacks the field
  int rows_ = 0;                   // what the views were last told
  bool active_ = false;
};

}  // namespace fw
