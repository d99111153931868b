#include <gtest/gtest.h>

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "framework/data/LocalTable.h"
#include "framework/ui/DBGrid.h"

namespace {

using fw::GridColumn;
using fw::LocalTable;

std::unique_ptr<LocalTable> makeTable() {
  auto table = std::make_unique<LocalTable>(QStringLiteral("cdsTeste"));
  table->declareFields({fw::FieldDef::text("CODIGO", 10), fw::FieldDef::text("NOME", 30),
                        fw::FieldDef::number("VALOR", {}, true, true),
                        fw::FieldDef::text("SEQ", 5)});
  return table;
}

void addRow(LocalTable& table, const QString& code, const QString& name, double value) {
  table.append();
  table.setText("CODIGO", code);
  table.setText("NOME", name);
  table.setNumber("VALOR", value);
  table.setText("SEQ", code);
  table.post();
}

std::vector<GridColumn> columns() {
  GridColumn code{"CODIGO", "Código", 70};
  GridColumn name{"NOME", "Produto", 217};
  GridColumn value{"VALOR", "Valor", 129, Qt::AlignRight, Qt::AlignRight};
  GridColumn seq{"SEQ", "", 40};
  seq.visible = false;
  return {code, name, value, seq};
}

int selectedRow(const fw::DBGrid& grid) {
  const auto rows = grid.selectionModel()->selectedRows();
  return rows.size() == 1 ? rows.front().row() : (rows.isEmpty() ? -1 : -2);
}

class DBGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    table = makeTable();
    table->createDataSet();
    addRow(*table, "001", "Café", 10.5);
    addRow(*table, "002", "Pão de queijo", 1234.5);
    addRow(*table, "003", "Água", 3);
    grid = std::make_unique<fw::DBGrid>(table.get(), columns());
    grid->resize(500, 200);
    grid->show();
  }

  std::unique_ptr<LocalTable> table;
  std::unique_ptr<fw::DBGrid> grid;
};

TEST_F(DBGridTest, ModelShowsVisibleRecordsWithTitlesAndAlignments) {
  const auto* model = grid->tableModel();
  ASSERT_EQ(model->rowCount(), 3);
  ASSERT_EQ(model->columnCount(), 4);
  EXPECT_EQ(model->index(1, 1).data().toString(), QString::fromUtf8("Pão de queijo"));
  // The currency mark makes the table itself give the currency form.
  EXPECT_EQ(model->index(1, 2).data().toString(), QString::fromUtf8("R$1.234,50"));
  EXPECT_EQ(model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
            QString::fromUtf8("Código"));
  EXPECT_TRUE(model->headerData(2, Qt::Horizontal, Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
  EXPECT_TRUE(model->index(0, 2).data(Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
  EXPECT_TRUE(model->index(0, 0).data(Qt::TextAlignmentRole).toInt() & Qt::AlignLeft);

  EXPECT_TRUE(grid->isColumnHidden(3));
  EXPECT_EQ(grid->columnWidth(1), 217);
  EXPECT_FALSE(grid->verticalHeader()->isVisible());
  EXPECT_FALSE(grid->showGrid());
  EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(DBGridTest, SelectionFollowsTheTableCursor) {
  table->first();
  EXPECT_EQ(selectedRow(*grid), 0);
  table->next();
  EXPECT_EQ(selectedRow(*grid), 1);
  table->last();
  EXPECT_EQ(selectedRow(*grid), 2);

  // A new record goes before the current one and becomes current.
  table->setRecNo(2);
  table->insert();
  table->setText("CODIGO", "004");
  table->post();
  ASSERT_EQ(grid->tableModel()->rowCount(), 4);
  EXPECT_EQ(selectedRow(*grid), 1);
  EXPECT_EQ(grid->tableModel()->index(1, 0).data().toString(), "004");
  // The hidden column stays hidden across the reset that the insert caused.
  EXPECT_TRUE(grid->isColumnHidden(3));
  EXPECT_EQ(grid->columnWidth(0), 70);
}

TEST_F(DBGridTest, TouchOnARowMovesTheTableCursor) {
  table->first();
  const QRect cell = grid->visualRect(grid->tableModel()->index(2, 1));
  ASSERT_TRUE(cell.isValid());
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_EQ(table->recNo(), 3);
  EXPECT_EQ(selectedRow(*grid), 2);

  // Below the last row nothing moves.
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                    QPoint(10, grid->viewport()->height() - 2));
  EXPECT_EQ(table->recNo(), 3);
}

TEST_F(DBGridTest, EditedValueRepaintsItsRow) {
  table->setRecNo(2);
  QSignalSpy changed(grid->tableModel(), &QAbstractItemModel::dataChanged);
  table->edit();
  table->setText("NOME", "Broa");
  table->post();
  EXPECT_GE(changed.count(), 1);
  EXPECT_EQ(grid->tableModel()->index(1, 1).data().toString(), "Broa");
}

TEST_F(DBGridTest, ClosedEmptiedAndReopenedTableLeavesAnEmptyGrid) {
  table->close();
  EXPECT_EQ(grid->tableModel()->rowCount(), 0);
  EXPECT_EQ(selectedRow(*grid), -1);
  grid->grab();  // paints with no rows

  // A touch on an inactive table's grid does nothing.
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(20, 10));

  table->createDataSet();
  EXPECT_EQ(grid->tableModel()->rowCount(), 0);
  addRow(*table, "009", "Suco", 5);
  EXPECT_EQ(grid->tableModel()->rowCount(), 1);
  EXPECT_EQ(selectedRow(*grid), 0);
  table->emptyDataSet();
  EXPECT_EQ(grid->tableModel()->rowCount(), 0);
  grid->grab();
}

TEST(DBGridLifetime, TableDestroyedBeforeTheGridAndMissingFields) {
  auto table = makeTable();
  table->createDataSet();
  addRow(*table, "001", "Café", 1);
  std::vector<GridColumn> cols = columns();
  cols.push_back(GridColumn{"NAOEXISTE", "Nada", 30});
  fw::DBGrid grid(table.get(), cols);
  EXPECT_EQ(grid.tableModel()->index(0, 4).data().toString(), "");
  table.reset();
  EXPECT_EQ(grid.tableModel()->rowCount(), 0);
  EXPECT_EQ(grid.table(), nullptr);
  grid.grab();
}

TEST(DBGridLifetime, InactiveTableAtConstruction) {
  auto table = makeTable();
  fw::DBGrid grid(table.get(), columns());
  EXPECT_EQ(grid.tableModel()->rowCount(), 0);
  grid.grab();
  table->createDataSet();
  addRow(*table, "001", "Café", 1);
  EXPECT_EQ(grid.tableModel()->rowCount(), 1);
}

}  // namespace
