// The search dialog driven with keys and touches, over a catalog with hidden codes.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "Catalog.h"
#include "Typing.h"
#include "dialogs/DialogsPackage.h"
#include "dialogs/SearchDialog.h"
#include "outside/Outside.h"

namespace dialogs {
namespace {

class SearchDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { catalog = test::makeShopCatalog(); }

  std::unique_ptr<SearchDialog> open() {
    auto dialog = std::make_unique<SearchDialog>(*catalog);
    dialog->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    return dialog;
  }

  QString current(const char* field) const { return catalog->asText(QString::fromUtf8(field)); }

  std::unique_ptr<fw::LocalTable> catalog;
};

TEST_F(SearchDialogTest, ShowsVisibleFieldsWithTheirLabels) {
  auto dialog = open();
  const QAbstractItemModel* model = dialog->grid()->model();
  ASSERT_EQ(model->columnCount(), 3);
  EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Código"));
  EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Produto"));
  EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Preço"));
  EXPECT_EQ(dialog->shownRowCount(), 6);
}

TEST_F(SearchDialogTest, ScannedBarcodeOfHiddenColumnPicksFirstRowInTableOrder) {
  catalog->last();  // the dialog must not simply keep the current row
  auto dialog = open();
  QTest::keyClicks(dialog->searchLine(), QStringLiteral("7891000100103"));
  EXPECT_EQ(dialog->highlightedRow(), 0);
  QTest::keyClick(dialog->searchLine(), Qt::Key_Return);
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(catalog->recNo(), 1);
  EXPECT_EQ(current("CDPRODUTO"), QStringLiteral("1"));
}

TEST_F(SearchDialogTest, VisibleCodeWinsOverEarlierHiddenBarcode) {
  auto dialog = open();
  QTest::keyClicks(dialog->searchLine(), QStringLiteral("12345"));
  QTest::keyClick(dialog->searchLine(), Qt::Key_Enter);
  ASSERT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(current("CDPRODUTO"), QStringLiteral("6"));
}

TEST_F(SearchDialogTest, InternalCodeTypedWholeHighlightsItsRowAmongOthers) {
  auto dialog = open();
  QTest::keyClicks(dialog->searchLine(), QStringLiteral("5"));
  // "500g", "005" and "12345" contain it; only row 4's hidden internal code is it whole.
  EXPECT_EQ(dialog->shownRowCount(), 3);
  EXPECT_EQ(dialog->highlightedRow(), 4);
  QTest::keyClick(dialog->searchLine(), Qt::Key_Return);
  EXPECT_EQ(current("NMPRODUTO"), QStringLiteral("Café Solúvel"));
}

TEST_F(SearchDialogTest, FilterIgnoresCaseAndAccents) {
  auto dialog = open();
  QTest::keyClicks(dialog->searchLine(), QStringLiteral("ACUCAR"));
  EXPECT_EQ(dialog->shownRowCount(), 1);
  EXPECT_EQ(dialog->highlightedRow(), 1);

  dialog->searchLine()->clear();
  QTest::keyClicks(dialog->searchLine(), QStringLiteral("cafe"));
  EXPECT_EQ(dialog->shownRowCount(), 2);  // Café Torrado, Café Solúvel
  EXPECT_EQ(dialog->highlightedRow(), 0);

  QTest::keyClicks(dialog->searchLine(), QStringLiteral(" sol"));
  EXPECT_EQ(dialog->shownRowCount(), 1);
  EXPECT_EQ(dialog->highlightedRow(), 4);

  dialog->searchLine()->clear();
  test::type(dialog->searchLine(), QStringLiteral("Pão de q"));
  EXPECT_EQ(dialog->highlightedRow(), 2);
}

TEST_F(SearchDialogTest, NothingFoundLeavesNothingToPick) {
  auto dialog = open();
  QTest::keyClicks(dialog->searchLine(), QStringLiteral("chocolate"));
  EXPECT_EQ(dialog->shownRowCount(), 0);
  EXPECT_FALSE(dialog->okButton()->isEnabled());
  QTest::keyClick(dialog->searchLine(), Qt::Key_Return);
  EXPECT_TRUE(dialog->isVisible());  // Enter with no row does not close
}

TEST_F(SearchDialogTest, RespectsTheTableFilter) {
  catalog->setFilter(QStringLiteral("SGUNIDADE = 'KG'"));
  catalog->setFiltered(true);
  auto dialog = open();
  EXPECT_EQ(dialog->shownRowCount(), 3);
  // Leite's barcode: its row is filtered out, so the code names nothing.
  QTest::keyClicks(dialog->searchLine(), QStringLiteral("7896000200201"));
  EXPECT_EQ(dialog->shownRowCount(), 0);
  dialog->searchLine()->clear();
  QTest::keyClicks(dialog->searchLine(), QStringLiteral("feijao"));
  QTest::keyClick(dialog->searchLine(), Qt::Key_Return);
  ASSERT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(current("CDPRODUTO"), QStringLiteral("6"));
  EXPECT_TRUE(catalog->filtered());
}

TEST_F(SearchDialogTest, ArrowsAndTouchMoveTheHighlight) {
  catalog->setRecNo(3);
  auto dialog = open();
  EXPECT_EQ(dialog->highlightedRow(), 2);  // opens on the table's current row
  QTest::mouseClick(dialog->downButton(), Qt::LeftButton);
  QTest::keyClick(dialog->searchLine(), Qt::Key_Down);
  EXPECT_EQ(dialog->highlightedRow(), 4);
  QTest::mouseClick(dialog->upButton(), Qt::LeftButton);
  EXPECT_EQ(dialog->highlightedRow(), 3);
  QTest::keyClick(dialog->searchLine(), Qt::Key_PageDown);
  EXPECT_EQ(dialog->highlightedRow(), 5);  // stops at the last row

  QTableView* grid = dialog->grid();
  const QRect firstRow = grid->visualRect(grid->model()->index(0, 1));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, firstRow.center());
  EXPECT_EQ(dialog->highlightedRow(), 0);
  QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
  ASSERT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(catalog->recNo(), 1);
}

TEST_F(SearchDialogTest, EscapeCancelsAndLeavesTheCursor) {
  catalog->setRecNo(4);
  auto dialog = open();
  QTest::keyClicks(dialog->searchLine(), QStringLiteral("7891000100103"));
  QTest::keyClick(dialog->searchLine(), Qt::Key_Escape);
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  EXPECT_EQ(catalog->recNo(), 4);
}

TEST_F(SearchDialogTest, ReopenedDialogSeesChangedRecords) {
  open()->searchLine()->setText(QStringLiteral("torrado"));  // indexed once here
  catalog->setRecNo(1);
  catalog->edit();
  catalog->setText(QStringLiteral("NMPRODUTO"), QStringLiteral("Chá Mate"));
  catalog->post();
  catalog->append();
  catalog->setText(QStringLiteral("CDPRODUTO"), QStringLiteral("7"));
  catalog->setText(QStringLiteral("CDBARPRODUTO"), QStringLiteral("7890000000007"));
  catalog->post();

  auto dialog = open();
  EXPECT_EQ(dialog->shownRowCount(), 7);
  dialog->searchLine()->setText(QStringLiteral("torrado"));
  EXPECT_EQ(dialog->shownRowCount(), 0);
  dialog->searchLine()->setText(QStringLiteral("cha mate"));
  EXPECT_EQ(dialog->highlightedRow(), 0);
  dialog->searchLine()->setText(QStringLiteral("7890000000007"));
  EXPECT_EQ(dialog->highlightedRow(), 6);
}

// A catalog long enough to be indexed in several runs, with the tie-breaks far apart:
// the barcode of row 10 again on row 300, and row 350's visible code the hidden barcode
// of row 20.
std::unique_ptr<fw::LocalTable> longCatalog() {
  auto table = test::makeCatalog({});
  for (int i = 0; i < 400; ++i) {
    table->append();
    table->setText(QStringLiteral("CDPRODUTO"), QString::number(i + 1));
    table->setText(QStringLiteral("CDARVPROD"),
                   i == 350 ? QStringLiteral("5550020") : QStringLiteral("A%1").arg(i));
    table->setText(
        QStringLiteral("NMPRODUTO"),
        QStringLiteral("Produto %1 %2").arg(i).arg(QString::fromUtf8(i % 3 ? "Café" : "Chá")));
    table->setText(QStringLiteral("CDBARPRODUTO"),
                   i == 300 ? QStringLiteral("5550010")
                            : QStringLiteral("555%1").arg(i, 4, 10, QLatin1Char('0')));
    table->post();
  }
  return table;
}

void expectSameAnswers(const SearchIndex& index, const fw::LocalTable& table) {
  const SearchIndex whole(table);
  for (const char* typed :
       {"", "cafe", "CHA", "produto 39", "5550010", "5550020", "a399", "nada"}) {
    const SearchIndex::Result got = index.filter(QString::fromUtf8(typed));
    const SearchIndex::Result want = whole.filter(QString::fromUtf8(typed));
    EXPECT_EQ(got.rows, want.rows) << typed;
    EXPECT_EQ(got.exactRow, want.exactRow) << typed;
  }
  EXPECT_EQ(index.exactRow(QStringLiteral("5550010")), 10);
  EXPECT_EQ(index.exactRow(QStringLiteral("5550020")), 350);
}

TEST(SearchPreparationTest, RunsOnTheEventLoopAndAnswersAsAWholeBuild) {
  auto catalog = longCatalog();
  SearchIndex::prepare(*catalog);
  EXPECT_FALSE(SearchIndex::isReady(*catalog));  // nothing done before the event loop runs
  for (int turns = 0; turns < 1000 && !SearchIndex::isReady(*catalog); ++turns)
    QApplication::processEvents();
  ASSERT_TRUE(SearchIndex::isReady(*catalog));
  expectSameAnswers(*SearchIndex::of(*catalog), *catalog);
}

TEST(SearchPreparationTest, SearchBeforeItEndsFinishesIt) {
  auto catalog = longCatalog();
  SearchIndex::prepare(*catalog);
  const auto index = SearchIndex::of(*catalog);
  EXPECT_TRUE(SearchIndex::isReady(*catalog));
  expectSameAnswers(*index, *catalog);
  QApplication::processEvents();  // the pending slice finds nothing left to do
  EXPECT_EQ(index->rowCount(), 400);
}

TEST(SearchPreparationTest, TableChangedMeanwhileIsIndexedAfresh) {
  auto catalog = longCatalog();
  SearchIndex::prepare(*catalog);
  catalog->setRecNo(1);
  catalog->edit();
  catalog->setText(QStringLiteral("NMPRODUTO"), QStringLiteral("Mate Gelado"));
  catalog->post();
  QApplication::processEvents();
  EXPECT_FALSE(SearchIndex::isReady(*catalog));
  const auto index = SearchIndex::of(*catalog);
  EXPECT_EQ(index->filter(QStringLiteral("mate")).rows, std::vector<int>{0});
  // A table that goes away while its index is being prepared takes the work with it.
  auto other = longCatalog();
  SearchIndex::prepare(*other);
  other.reset();
  QApplication::processEvents();
}

TEST(SearchPackageTest, PesquisaRunsTheDialogModally) {
  auto catalog = test::makeShopCatalog();
  install();
  bool typed = false;
  QTimer::singleShot(0, [&typed] {
    auto* dialog = qobject_cast<SearchDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    QTest::keyClicks(dialog->searchLine(), QStringLiteral("7896000300308"));
    QTest::keyClick(dialog->searchLine(), Qt::Key_Return);
    typed = true;
  });
  const bool picked = outside::Pesquisa(*catalog, 0, 0, 0, 0, 0, 0, 0);
  uninstall();
  ASSERT_TRUE(typed);
  EXPECT_TRUE(picked);
  EXPECT_EQ(catalog->asText(QStringLiteral("CDPRODUTO")), QStringLiteral("6"));
  EXPECT_FALSE(outside::Pesquisa);
}

}  // namespace
}  // namespace dialogs
