// DBGrid: a read-only QTableView over a LocalTableModel. The table's cursor is the one
// source of the marked row: the grid selects what the table reports through cursorMoved,
// and a touch moves the table's cursor instead of selecting by itself.
#include "framework/ui/DBGrid.h"

#include <QHeaderView>
#include <QMouseEvent>

#include "framework/core/Error.h"
#include "framework/ui/Look.h"

namespace fw {

namespace {

QFont gridFont(bool bold) {
  QFont font = fw::look::arial(11, bold);
  return font;
}

}  // namespace

DBGrid::DBGrid(LocalTable* table, std::vector<GridColumn> columns, QWidget* parent)
    : QTableView(parent), model_(new LocalTableModel(table, std::move(columns), this)) {
  setModel(model_);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setFocusPolicy(Qt::NoFocus);
  setShowGrid(false);
  setFrameShape(QFrame::NoFrame);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  setLayoutDirection(Qt::LeftToRight);
  setFont(gridFont(false));

  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(QFontMetrics(gridFont(false)).height() + 4);

  QHeaderView* titles = horizontalHeader();
  titles->setSectionsClickable(false);
  titles->setSectionsMovable(false);
  titles->setHighlightSections(false);
  titles->setStretchLastSection(false);
  titles->setSectionResizeMode(QHeaderView::Fixed);
  titles->setFixedHeight(QFontMetrics(gridFont(true)).height() + 5);

  QPalette pal = palette();
  for (auto group : {QPalette::Active, QPalette::Inactive}) {
    pal.setColor(group, QPalette::Base, Qt::white);
    pal.setColor(group, QPalette::Text, Qt::black);
    // The grid never has the focus on a touch screen; the mark must not fade with it.
    pal.setColor(group, QPalette::Highlight, QColor(0x00, 0x00, 0x80));
    pal.setColor(group, QPalette::HighlightedText, Qt::white);
  }
  setPalette(pal);

  applyHeaderStyle();
  applyColumns();

  // Sections are rebuilt on every reset, so the widths and hidden columns go back on, and
  // the table's current record is marked again.
  connect(model_, &QAbstractItemModel::modelReset, this, [this] {
    applyColumns();
    selectCurrentRecord();
  });
  if (table != nullptr) {
    connect(table, &LocalTable::cursorMoved, this, &DBGrid::followCursor);
  }
  selectCurrentRecord();
}

LocalTable* DBGrid::table() const { return model_->table(); }

void DBGrid::setTitleColors(const QColor& background, const QColor& text) {
  titleBackground_ = background;
  titleText_ = text;
  applyHeaderStyle();
}

void DBGrid::applyDefaultColors(const QColor& fixedArea) {
  fixedArea_ = fixedArea;
  QPalette pal = palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    pal.setColor(group, QPalette::Base, Qt::white);
    pal.setColor(group, QPalette::Window, Qt::white);
  }
  setPalette(pal);
  applyHeaderStyle();
}

void DBGrid::applyHeaderStyle() {
  // The title row right of the last column belongs to the cell area, as in the host's
  // grids: it is painted in the cells' colour, not the fixed colour (which only the
  // titles and a row indicator would show; these grids have none).
  const QColor fixed = palette().color(QPalette::Base);
  horizontalHeader()->setStyleSheet(
      QStringLiteral("QHeaderView { background-color: %1; border: none; }"
                     "QHeaderView::section { background-color: %2; color: %3; border: none;"
                     " padding: 0px 2px; font-family: Arial; font-size: 11px; font-weight: bold; }")
          .arg(fixed.name(), titleBackground_.name(), titleText_.name()));
}

void DBGrid::applyColumns() {
  const auto& columns = model_->columns();
  for (std::size_t c = 0; c < columns.size(); ++c) {
    const int section = static_cast<int>(c);
    setColumnHidden(section, !columns[c].visible);
    if (columns[c].visible) {
      setColumnWidth(section, columns[c].width);
    }
  }
}

void DBGrid::followCursor(int visibleRow) {
  if (visibleRow >= model_->rowCount()) {
    model_->refresh();  // the cursor signal came before the one for the new records
  }
  QItemSelectionModel* selection = selectionModel();
  if (visibleRow < 0 || visibleRow >= model_->rowCount()) {
    selection->clear();
    return;
  }
  int column = 0;
  while (column < model_->columnCount() - 1 && isColumnHidden(column)) {
    ++column;
  }
  const QModelIndex index = model_->index(visibleRow, column);
  selection->setCurrentIndex(index,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  scrollTo(index);
}

void DBGrid::selectCurrentRecord() {
  LocalTable* t = table();
  int row = -1;
  if (t != nullptr && t->active()) {
    try {
      row = t->recNo() - 1;
    } catch (const Error&) {
      row = -1;
    }
  }
  followCursor(row);
}

void DBGrid::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton) {
    return;
  }
  const QModelIndex index = indexAt(event->position().toPoint());
  LocalTable* t = table();
  if (!index.isValid() || t == nullptr || !t->active()) {
    return;
  }
  try {
    t->setRecNo(index.row() + 1);
  } catch (const Error& e) {
    selectCurrentRecord();
    emit touchFailed(e.message());
    return;
  } catch (const std::exception& e) {
    selectCurrentRecord();
    emit touchFailed(QString::fromLocal8Bit(e.what()));
    return;
  }
  selectCurrentRecord();
  emit pressed(index);
}

void DBGrid::mouseMoveEvent(QMouseEvent* event) { event->accept(); }

}  // namespace fw
