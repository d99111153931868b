// The local table as the screens use it: cursor, insert/post/delete, reads of null and
// inactive tables, filter, locate and the index in force.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "framework/core/Error.h"
#include "framework/data/LocalTable.h"

using fw::FieldDef;
using fw::LocalTable;
using fw::Variant;

namespace {

std::vector<FieldDef> itemFields() {
  return {FieldDef::text("CDPRODUTO", 10), FieldDef::text("NMPRODUTO", 20, "Produto"),
          FieldDef::number("VRPRECITEM", "Preço", true, true), FieldDef::dateTime("DTVENDA")};
}

void addRow(LocalTable& t, const QString& code, const QString& name, double price) {
  t.append();
  t.setText("CDPRODUTO", code);
  t.setText("NMPRODUTO", name);
  t.setNumber("VRPRECITEM", price);
  t.post();
}

QStringList codes(LocalTable& t) {
  QStringList out;
  for (t.first(); !t.eof(); t.next()) out << t.asText("CDPRODUTO");
  return out;
}

}  // namespace

TEST(LocalTable, NeverOpenedTableIsEmptyButRefusesRecordOperations) {
  LocalTable t("cdsReceb");
  t.declareFields(itemFields());
  EXPECT_TRUE(t.isEmpty());
  EXPECT_FALSE(t.active());
  EXPECT_EQ(t.asText("NMPRODUTO"), "");
  EXPECT_EQ(t.asNumber("VRPRECITEM"), 0.0);
  EXPECT_TRUE(t.asVariant("DTVENDA").isNull());
  EXPECT_TRUE(t.data().isNull());
  try {
    t.recordCount();
    FAIL() << "recordCount on a closed table";
  } catch (const fw::Error& e) {
    EXPECT_EQ(e.message(),
              QString::fromUtf8("Operação não permitida: a tabela 'cdsReceb' está fechada."));
  }
  EXPECT_THROW(t.emptyDataSet(), fw::Error);
  EXPECT_THROW(t.first(), fw::Error);
  EXPECT_THROW(t.insert(), fw::Error);
  EXPECT_THROW(t.locate("CDPRODUTO", Variant("1")), fw::Error);
}

TEST(LocalTable, UnknownFieldErrorNamesTheField) {
  LocalTable t("cdsParametrosOrv");
  try {
    t.asText("DSDIRCAD");
    FAIL();
  } catch (const fw::Error& e) {
    EXPECT_TRUE(e.message().contains("'DSDIRCAD'")) << e.message().toStdString();
  }
}

TEST(LocalTable, InsertGoesBeforeCurrentAndStaysCurrentAfterPost) {
  LocalTable t("cdsAddProduto");
  t.declareFields(itemFields());
  t.createDataSet();
  addRow(t, "A", "Arroz", 1);
  addRow(t, "B", "Feijão", 2);
  t.first();
  t.insert();
  EXPECT_EQ(t.state(), LocalTable::State::Insert);
  EXPECT_TRUE(t.isNull("CDPRODUTO"));
  t.setText("CDPRODUTO", "Z");
  t.post();
  EXPECT_EQ(t.asText("CDPRODUTO"), "Z");
  EXPECT_EQ(t.recNo(), 1);
  EXPECT_EQ(codes(t), (QStringList{"Z", "A", "B"}));
  t.setRecNo(3);
  t.insert();
  t.setText("CDPRODUTO", "Y");
  t.post();
  EXPECT_EQ(codes(t), (QStringList{"Z", "A", "Y", "B"}));
}

TEST(LocalTable, CursorMarksAtBothEnds) {
  LocalTable t;
  t.declareFields(itemFields());
  t.createDataSet();
  EXPECT_TRUE(t.eof());
  EXPECT_TRUE(t.bof());
  addRow(t, "A", "a", 1);
  addRow(t, "B", "b", 2);
  t.first();
  EXPECT_TRUE(t.bof());
  EXPECT_FALSE(t.eof());
  t.next();
  EXPECT_FALSE(t.eof());
  t.next();
  EXPECT_TRUE(t.eof());
  EXPECT_EQ(t.asText("CDPRODUTO"), "B");
  t.prior();
  t.prior();
  EXPECT_TRUE(t.bof());
  EXPECT_EQ(t.asText("CDPRODUTO"), "A");
}

TEST(LocalTable, DeleteMovesToFollowingOrPreceding) {
  LocalTable t;
  t.declareFields(itemFields());
  t.createDataSet();
  for (const char* c : {"A", "B", "C"}) addRow(t, c, c, 1);
  t.setRecNo(2);
  t.remove();
  EXPECT_EQ(t.asText("CDPRODUTO"), "C");
  t.remove();
  EXPECT_EQ(t.asText("CDPRODUTO"), "A");
  t.remove();
  EXPECT_TRUE(t.active());
  EXPECT_TRUE(t.isEmpty());
  EXPECT_EQ(t.recordCount(), 0);
  EXPECT_EQ(t.asText("CDPRODUTO"), "");
}

TEST(LocalTable, TextWritesAreCutToTheFieldWidth) {
  LocalTable t;
  t.declareFields(itemFields());
  t.createDataSet();
  t.append();
  t.setText("CDPRODUTO", "12345678901234");
  t.post();
  EXPECT_EQ(t.asText("CDPRODUTO"), "1234567890");
}

TEST(LocalTable, FilterWithQuotesAndParentheses) {
  LocalTable t;
  t.declareFields(itemFields());
  t.setFilter("(CDPRODUTO = 'O''B')");
  t.setFiltered(true);
  t.createDataSet();
  addRow(t, "A", "a", 1);
  addRow(t, "O'B", "b", 2);
  addRow(t, "O'B", "c", 3);
  EXPECT_EQ(t.recordCount(), 2);
  t.setFilter("CDPRODUTO = 'none'");
  EXPECT_TRUE(t.isEmpty());
  EXPECT_TRUE(t.active());
  t.setFiltered(false);
  EXPECT_EQ(t.recordCount(), 3);
}

TEST(LocalTable, LocateFindsFirstMatchAndKeepsCursorOnMiss) {
  LocalTable t;
  t.declareFields(itemFields());
  t.createDataSet();
  for (int i = 0; i < 200; ++i) addRow(t, QString::number(i % 100), QString("n%1").arg(i), i);
  t.setRecNo(7);
  EXPECT_FALSE(t.locate("CDPRODUTO", Variant("x")));
  EXPECT_EQ(t.recNo(), 7);
  EXPECT_TRUE(t.locate("CDPRODUTO", Variant("42")));
  EXPECT_EQ(t.recNo(), 43);
  EXPECT_TRUE(t.locate("CDPRODUTO;VRPRECITEM", Variant::array({Variant("42"), Variant(142.0)})));
  EXPECT_EQ(t.recNo(), 143);
  EXPECT_TRUE(t.locate("NMPRODUTO", Variant("N150"), LocalTable::CaseInsensitive));
  EXPECT_EQ(t.recNo(), 151);
  EXPECT_FALSE(t.locate("NMPRODUTO", Variant("N150")));
}

TEST(LocalTable, SortedViewLocateAndFilterAgreeOnNumberAndTextKeys) {
  LocalTable t;
  t.declareFields(itemFields());
  t.createDataSet();
  for (int i = 0; i < 100; ++i) addRow(t, QString::number(i % 10), QString("N%1").arg(i), 0.5 * i);
  t.addIndex("NOME", "NMPRODUTO");
  t.setIndexName("NOME");  // text order: N0, N1, N10, ...
  ASSERT_TRUE(t.locate("VRPRECITEM", Variant(21.0)));
  EXPECT_EQ(t.asText("NMPRODUTO"), "N42");
  const int row = t.recNo();
  ASSERT_TRUE(t.locate("NMPRODUTO", Variant("n42"), LocalTable::CaseInsensitive));
  EXPECT_EQ(t.recNo(), row);
  ASSERT_TRUE(t.locate("CDPRODUTO;VRPRECITEM", Variant::array({Variant("2"), Variant(21.0)})));
  EXPECT_EQ(t.recNo(), row);
  t.setFilter("VRPRECITEM = 21");
  t.setFiltered(true);
  ASSERT_EQ(t.recordCount(), 1);
  EXPECT_EQ(t.asText("NMPRODUTO"), "N42");
}
