// The rest of the table behaviour the screens lean on: the index in force, reads across
// types, display texts, filter settings kept while inactive, and what listeners hear.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "framework/core/Error.h"
#include "framework/data/LocalTable.h"
#include "framework/text/NumberText.h"

using namespace fw;

namespace {

void fillRates(LocalTable& t) {
  t.declareFields({FieldDef::text("CDALIQIMPFIS", 10), FieldDef::number("VRALIQIMPFIS"),
                   FieldDef::text("IDALIQIMPFIS", 1)});
  t.createDataSet();
  const std::vector<std::tuple<const char*, double, const char*>> rows = {
      {"T18", 18, "T"}, {"S05", 5, "S"}, {"T07", 7, "T"}, {"F", 0, "F"}, {"T12", 12, "T"}};
  for (const auto& [code, rate, kind] : rows) {
    t.append();
    t.setText("CDALIQIMPFIS", code);
    t.setNumber("VRALIQIMPFIS", rate);
    t.setText("IDALIQIMPFIS", kind);
    t.post();
  }
}

QStringList column(LocalTable& t, const QString& field) {
  QStringList out;
  for (t.first(); !t.eof(); t.next()) out << t.asText(field);
  return out;
}

}  // namespace

TEST(LocalTableIndex, RecordsFollowTheIndexInForceAndNewOnesTakeTheirPlace) {
  LocalTable t("cdsAliqImpFis");
  fillRates(t);
  t.addIndex("idxIdAliqVrAliq", "IDALIQIMPFIS;VRALIQIMPFIS");
  t.setIndexName("idxIdAliqVrAliq");
  EXPECT_EQ(column(t, "CDALIQIMPFIS"), (QStringList{"F", "S05", "T07", "T12", "T18"}));
  t.first();
  t.insert();
  t.setText("CDALIQIMPFIS", "T10");
  t.setNumber("VRALIQIMPFIS", 10);
  t.setText("IDALIQIMPFIS", "T");
  t.post();
  EXPECT_EQ(t.asText("CDALIQIMPFIS"), "T10");
  EXPECT_EQ(column(t, "CDALIQIMPFIS"), (QStringList{"F", "S05", "T07", "T10", "T12", "T18"}));
  EXPECT_TRUE(t.locate("VRALIQIMPFIS;IDALIQIMPFIS", Variant::array({Variant(12.0), Variant("t")}),
                       LocalTable::CaseInsensitive));
  EXPECT_EQ(t.asText("CDALIQIMPFIS"), "T12");
  t.setIndexName("");
  // In table order the new record sits before the one that was current (F).
  EXPECT_EQ(column(t, "CDALIQIMPFIS"), (QStringList{"T18", "S05", "T07", "T10", "F", "T12"}));
  EXPECT_THROW(t.setIndexName("idxOutro"), Error);
}

TEST(LocalTableIndex, IndexSetBeforeLoadAppliesToTheLoadedRecords) {
  LocalTable source;
  fillRates(source);
  LocalTable t;
  t.addIndex("idx", "VRALIQIMPFIS");
  t.setIndexName("idx");
  t.setData(source.data());
  EXPECT_EQ(column(t, "CDALIQIMPFIS"), (QStringList{"F", "S05", "T07", "T12", "T18"}));
}

TEST(LocalTableFilter, SettingsOnAnInactiveTableWaitForIt) {
  LocalTable t("cdsRecebAux");
  t.declareFields({FieldDef::text("CDTIPORECE", 3), FieldDef::text("IDMOSTRARECE", 1)});
  t.setFilter("(IDMOSTRARECE = 'S')");
  t.setFiltered(true);
  EXPECT_TRUE(t.isEmpty());
  t.createDataSet();
  for (const char* show : {"N", "S", "S", "N"}) {
    t.append();
    t.setText("IDMOSTRARECE", show);
    t.post();
  }
  t.last();
  t.setFiltered(false);
  EXPECT_EQ(t.recNo(), 1);
  t.last();
  t.setFiltered(true);
  EXPECT_EQ(t.recordCount(), 2);
  EXPECT_EQ(t.recNo(), 1);
  EXPECT_EQ(t.asText("IDMOSTRARECE"), "S");
}

TEST(LocalTableFilter, BadFilterIsRefusedAndTheTableStaysUsable) {
  LocalTable t;
  t.declareFields({FieldDef::text("A", 3)});
  t.createDataSet();
  t.append();
  t.post();
  t.setFilter("NADA = 'x'");
  EXPECT_THROW(t.setFiltered(true), Error);
  EXPECT_FALSE(t.filtered());
  EXPECT_EQ(t.recordCount(), 1);
  t.setFilter("");
  t.setFiltered(true);
  EXPECT_THROW(t.setFilter("A = 'x"), Error);
  EXPECT_THROW(t.setFilter("A 'x'"), Error);
  EXPECT_EQ(t.recordCount(), 1);
}

TEST(LocalTableFilter, LargeFilteredTableKeepsTableOrderForLocate) {
  LocalTable t;
  t.declareFields({FieldDef::text("CDPRODUTO", 10), FieldDef::number("N")});
  t.createDataSet();
  for (int i = 0; i < 300; ++i) {
    t.append();
    t.setText("CDPRODUTO", QString::number(i % 3));
    t.setNumber("N", i);
    t.post();
  }
  t.setFilter("CDPRODUTO = '2'");
  t.setFiltered(true);
  EXPECT_EQ(t.recordCount(), 100);
  EXPECT_EQ(t.asNumber("N"), 2.0);
  EXPECT_FALSE(t.locate("N", Variant(3.0)));  // hidden by the filter
  EXPECT_TRUE(t.locate("N", Variant(299)));
  EXPECT_EQ(t.recNo(), 100);
}

TEST(LocalTableReads, ConversionsFollowTheStoredType) {
  LocalTable t;
  t.declareFields({FieldDef::text("UTILIZAIMPFIS", 1), FieldDef::text("IDTIPOIMPFIS", 2),
                   FieldDef::number("VR", "", true, true), FieldDef::dateTime("DT")});
  t.createDataSet();
  t.append();
  t.setText("UTILIZAIMPFIS", "S");
  t.setText("IDTIPOIMPFIS", "3");
  t.setNumber("VR", 1234.5);
  t.setDateTime("DT", 45000.5);
  t.post();
  EXPECT_TRUE(t.asFlag("UTILIZAIMPFIS"));
  EXPECT_EQ(t.asInteger("IDTIPOIMPFIS"), 3);
  EXPECT_EQ(t.asText("VR"), formatGeneral(1234.5));
  EXPECT_EQ(t.displayText("VR"), formatCurrency(1234.5));
  EXPECT_EQ(t.asText("DT"), formatDateTime(45000.5));
  EXPECT_EQ(t.asVariant("VR"), Variant(1234.5));
  EXPECT_EQ(t.asVariant("DT"), Variant::dateTime(45000.5));
  EXPECT_EQ(t.asInteger("VR"), 1234);  // half to even
  t.edit();
  t.setText("UTILIZAIMPFIS", "");
  EXPECT_TRUE(t.isNull("UTILIZAIMPFIS"));
  EXPECT_FALSE(t.asFlag("UTILIZAIMPFIS"));
  t.setText("IDTIPOIMPFIS", "x");
  EXPECT_THROW(t.asInteger("IDTIPOIMPFIS"), Error);
  EXPECT_THROW(t.setText("VR", "abc"), Error);
  t.cancel();
  EXPECT_EQ(t.asInteger("IDTIPOIMPFIS"), 3);
}

TEST(LocalTableReads, DisplayTextGoesThroughTheFieldHook) {
  LocalTable t;
  t.declareFields({FieldDef::text("IDSITUACAO", 1)});
  t.fieldDef("IDSITUACAO").displayText = [](const QString& stored) {
    return stored == "C" ? QStringLiteral("Cancelado") : QString();
  };
  t.createDataSet();
  t.append();
  t.setText("IDSITUACAO", "C");
  t.post();
  t.close();
  t.createDataSet();  // the hook belongs to the declaration, not to one opening
  t.append();
  t.setText("IDSITUACAO", "C");
  t.post();
  EXPECT_EQ(t.displayText("IDSITUACAO"), "Cancelado");
  EXPECT_EQ(t.displayTextAt(0, 0), "Cancelado");
  EXPECT_EQ(t.textAt(0, 0), "C");
}

TEST(LocalTableSignals, ListenersHearRecordsValuesCursorAndState) {
  LocalTable t;
  t.declareFields({FieldDef::text("A", 5)});
  QSignalSpy records(&t, &LocalTable::recordsChanged);
  QSignalSpy values(&t, &LocalTable::valueChanged);
  QSignalSpy cursor(&t, &LocalTable::cursorMoved);
  QSignalSpy state(&t, &LocalTable::stateChanged);
  t.createDataSet();
  EXPECT_EQ(records.count(), 1);
  EXPECT_EQ(state.count(), 1);
  t.append();
  EXPECT_EQ(records.count(), 2);
  t.setText("A", "x");
  ASSERT_EQ(values.count(), 1);
  EXPECT_EQ(values.last().at(0).toInt(), 0);
  t.post();
  t.append();
  t.post();
  cursor.clear();
  t.setRecNo(1);
  ASSERT_EQ(cursor.count(), 1);
  EXPECT_EQ(cursor.last().at(0).toInt(), 0);
  records.clear();
  t.remove();
  EXPECT_EQ(records.count(), 1);
  state.clear();
  t.close();
  EXPECT_EQ(state.count(), 1);
  EXPECT_EQ(cursor.last().at(0).toInt(), -1);
}

TEST(LocalTableEditing, CancelledInsertLeavesNoRecordAndWritesNeedEditState) {
  LocalTable t;
  t.declareFields({FieldDef::text("A", 5)});
  t.createDataSet();
  EXPECT_THROW(t.setText("A", "x"), Error);
  t.append();
  t.setText("A", "x");
  t.post();
  t.insert();
  EXPECT_EQ(t.recordCount(), 2);
  t.cancel();
  EXPECT_EQ(t.recordCount(), 1);
  EXPECT_EQ(t.asText("A"), "x");
  EXPECT_EQ(t.state(), LocalTable::State::Browse);
  t.edit();
  t.setText("A", "y");
  t.setRecNo(1);  // a touch on the grid posts the pending edit
  EXPECT_EQ(t.state(), LocalTable::State::Browse);
  EXPECT_EQ(t.asText("A"), "y");
}

TEST(LocalTableEditing, ManyEditsKeepTheRecordStoreSmall) {
  LocalTable t;
  t.declareFields({FieldDef::text("A", 100)});
  t.createDataSet();
  t.append();
  t.post();
  for (int i = 0; i < 20000; ++i) {
    t.edit();
    t.setText("A", QString(100, QChar(u'a' + i % 26)));
    t.post();
  }
  EXPECT_EQ(t.asText("A"), QString(100, QChar(u'a' + 19999 % 26)));
  EXPECT_LT(t.data().toPacket().size(), 200);
}
