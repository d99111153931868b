// LocalTableModel: shows a LocalTable's visible records to Qt's views. The table changes
// first and tells afterwards, so every structural change is passed on as a model reset;
// a value change repaints its row only. The row count the views were told is kept, so a
// view never asks for a row the table no longer has, whatever order the signals come in.
#include "framework/ui/LocalTableModel.h"

#include "framework/core/Error.h"

namespace fw {

LocalTableModel::LocalTableModel(LocalTable* table, std::vector<GridColumn> columns,
                                 QObject* parent)
    : QAbstractTableModel(parent), table_(table), columns_(std::move(columns)) {
  if (table != nullptr) {
    connect(table, &LocalTable::recordsChanged, this, &LocalTableModel::onRecordsChanged);
    connect(table, &LocalTable::valueChanged, this, &LocalTableModel::onValueChanged);
    connect(table, &LocalTable::stateChanged, this, &LocalTableModel::onStateChanged);
    connect(table, &LocalTable::cursorMoved, this, &LocalTableModel::refresh);
    connect(table, &QObject::destroyed, this, &LocalTableModel::reset);
  }
  beginResetModel();
  active_ = table_ && table_->active();
  rows_ = tableRowCount();
  fieldIndexes_.assign(columns_.size(), -1);
  if (table_) {
    for (std::size_t c = 0; c < columns_.size(); ++c) {
      fieldIndexes_[c] = table_->fieldIndex(columns_[c].field);
    }
  }
  endResetModel();
}

int LocalTableModel::tableRowCount() const {
  if (!table_ || !table_->active()) {
    return 0;
  }
  try {
    return qMax(0, table_->recordCount());
  } catch (const Error&) {
    return 0;
  }
}

void LocalTableModel::reset() {
  beginResetModel();
  active_ = table_ && table_->active();
  rows_ = tableRowCount();
  // A table without declared fields takes new ones with each file it loads.
  for (std::size_t c = 0; c < columns_.size(); ++c) {
    fieldIndexes_[c] = table_ ? table_->fieldIndex(columns_[c].field) : -1;
  }
  endResetModel();
}

void LocalTableModel::refresh() {
  const bool active = table_ && table_->active();
  if (active != active_ || tableRowCount() != rows_) {
    reset();
  }
}

void LocalTableModel::onRecordsChanged() { reset(); }

void LocalTableModel::onValueChanged(int visibleRow) {
  if (tableRowCount() != rows_) {
    reset();
    return;
  }
  if (visibleRow < 0 || visibleRow >= rows_ || columns_.empty()) {
    return;
  }
  emit dataChanged(index(visibleRow, 0), index(visibleRow, static_cast<int>(columns_.size()) - 1));
}

void LocalTableModel::onStateChanged() {
  const bool active = table_ && table_->active();
  if (active != active_ || tableRowCount() != rows_) {
    reset();
    return;
  }
  // Cancel and post may restore or reorder values without changing the count.
  if (rows_ > 0 && !columns_.empty()) {
    emit dataChanged(index(0, 0), index(rows_ - 1, static_cast<int>(columns_.size()) - 1));
  }
}

int LocalTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int LocalTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant LocalTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_ || index.column() >= columnCount()) {
    return {};
  }
  const GridColumn& column = columns_[static_cast<std::size_t>(index.column())];
  switch (role) {
    case Qt::DisplayRole: {
      const int field = fieldIndexes_[static_cast<std::size_t>(index.column())];
      if (!table_ || !table_->active() || field < 0 || index.row() >= tableRowCount()) {
        return {};
      }
      // Painting must never throw into Qt; a cell that cannot be read shows empty.
      try {
        return table_->displayTextAt(index.row(), field);
      } catch (const Error&) {
        return {};
      }
    }
    case Qt::TextAlignmentRole:
      return (column.valueAlignment | Qt::AlignVCenter).toInt();
    default:
      return {};
  }
}

QVariant LocalTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) {
    return {};
  }
  const GridColumn& column = columns_[static_cast<std::size_t>(section)];
  switch (role) {
    case Qt::DisplayRole: {
      if (!column.title.isEmpty()) {
        return column.title;
      }
      const int field = fieldIndexes_[static_cast<std::size_t>(section)];
      if (table_ && field >= 0 && field < static_cast<int>(table_->fields().size())) {
        return table_->fields()[static_cast<std::size_t>(field)].displayLabel();
      }
      return column.field;
    }
    case Qt::TextAlignmentRole:
      return (column.titleAlignment | Qt::AlignVCenter).toInt();
    default:
      return {};
  }
}

}  // namespace fw
