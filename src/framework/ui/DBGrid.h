// DBGrid: the data grid bound to a local table (through a LocalTableModel). Shows the
// visible records in table order, marks the table's current record and follows its cursor;
// a touch on a row makes that record the table's current record. No editing.
#pragma once

#include <QColor>
#include <QTableView>

#include "framework/ui/LocalTableModel.h"
#include "framework/ui/Look.h"

namespace fw {

class DBGrid : public QTableView {
  Q_OBJECT
 public:
  DBGrid(LocalTable* table, std::vector<GridColumn> columns, QWidget* parent = nullptr);

  LocalTableModel* tableModel() const { return model_; }
  LocalTable* table() const;

  // Title row colours and font, the look of the host's grids.
  void setTitleColors(const QColor& background, const QColor& text);
  // Applies the grid's default colours (white cells, the given fixed-area colour).
  void applyDefaultColors(const QColor& fixedArea);

 signals:
  // A touch the table refused (a pending edit it could not post): the table's error text,
  // for the screen's error report. Qt's event delivery must not be left by an exception.
  void touchFailed(const QString& message);

 protected:
  // A touch selects through the table's cursor only, so the grid never shows a row the
  // table does not hold as current.
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  void followCursor(int visibleRow);
  void selectCurrentRecord();
  void applyHeaderStyle();
  void applyColumns();

  LocalTableModel* model_;
  QColor titleBackground_{look::frame};
  QColor titleText_{Qt::white};
  QColor fixedArea_;  // the fixed cells' colour (no indicator column is shown)
};

}  // namespace fw
