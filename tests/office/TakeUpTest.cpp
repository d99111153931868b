// The take-up against a real server: what reaches the office, and what happens to the files.
#include <QDir>
#include <QFile>

#include "framework/core/DateTime.h"
#include "office/OfficeFixture.h"
#include "office/SalePair.h"
#include "runtime/ScopedEnv.h"

namespace officetest {

class TakeUp : public OfficeTest {};

TEST_F(TakeUp, SalesReachTheOfficeOnceAndTheirFilesMoveToEnviados) {
  const QString till = newTill(QStringLiteral("a"));
  writeSale(till, saleOf(QStringLiteral("1"), {{7.5}, {2.25}, {1.0, false}}));
  writeSale(till, saleOf(QStringLiteral("2"), {Item{}, Item{}}, 46000.6));
  SyncRun run = sync(till);
  EXPECT_EQ(run.status, 0) << run.errors.toStdString();
  EXPECT_TRUE(run.errors.contains(QStringLiteral("2 tomadas"))) << run.errors.toStdString();
  EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM regvenda.venda")), 2);
  EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM regvenda.venda_item")), 5);
  EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM regvenda.movimento_caixa")), 2);
  // Amounts as the cashier saw them; the total leaves out the item cancelled on the printer.
  EXPECT_EQ(query(QStringLiteral("SELECT vrtotal::text FROM regvenda.venda WHERE nrcupomfis = '1'")),
            QStringLiteral("9.75"));
  EXPECT_EQ(query(QStringLiteral("SELECT string_agg(vrtotvend::text, ' ' ORDER BY nrlinha) "
                                 "FROM regvenda.venda_item i JOIN regvenda.venda v ON v.id = "
                                 "i.venda_id WHERE v.nrcupomfis = '1'")),
            QStringLiteral("1 2.25 7.5"));
  EXPECT_EQ(query(QStringLiteral("SELECT dtinicio FROM regvenda.venda WHERE nrcupomfis = '2'")),
            QStringLiteral("2025-12-09 14:24:00"));
  EXPECT_TRUE(filesIn(outputFolder(till)).isEmpty());
  EXPECT_EQ(filesIn(outputFolder(till) + QStringLiteral("/Enviados")).size(), 4);

  // The same files delivered again (a backup restored): nothing changes in the office.
  const QString sent = outputFolder(till) + QStringLiteral("/Enviados/");
  for (const QString& name : filesIn(sent))
    ASSERT_TRUE(QFile::copy(sent + name, outputFolder(till) + QLatin1Char('/') + name));
  run = sync(till);
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.errors.contains(QStringLiteral("0 tomadas, 2 já no escritório")))
      << run.errors.toStdString();
  EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM regvenda.venda")), 2);
  EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM regvenda.venda_item")), 5);
  // The earlier copies are kept, never deleted.
  EXPECT_EQ(filesIn(sent).size(), 8);
}

TEST_F(TakeUp, CancellationsConflictsAndFilesThatAreNotWhole) {
  const QString till = newTill(QStringLiteral("a"));
  const Sale sold = saleOf(QStringLiteral("7"));
  writeSale(till, sold);
  ASSERT_SYNC(till, 0);

  // The screen cancels the last coupon: its sale file comes again, every row "C".
  writeSale(till, cancelledSale(sold));
  // A cancelled open coupon whose first item the printer refused: no rows at all.
  writeSale(till, cancelledSale(saleOf(QStringLiteral("8"), {})));
  // A completed sale whose cash-movement file is not there yet.
  writeSale(till, withoutCash(saleOf(QStringLiteral("9"))));
  // A file cut in half.
  const QString cut = writeSale(till, saleOf(QStringLiteral("10")));
  QFile file(cut);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  file.resize(file.size() / 2);
  file.close();

  SyncRun run = sync(till);
  EXPECT_EQ(run.status, 1) << run.errors.toStdString();
  EXPECT_TRUE(run.errors.contains(QStringLiteral("Venda10_2_10.cds:"))) << run.errors.toStdString();
  EXPECT_TRUE(run.errors.contains(QStringLiteral("1 tomadas, 0 já no escritório, 1 canceladas, 0 "
                                                 "conflitos, 1 aguardando, 1 recusadas")))
      << run.errors.toStdString();
  EXPECT_EQ(query(QStringLiteral("SELECT idsituvenda || (dtcancelamento IS NOT NULL) FROM "
                                 "regvenda.venda WHERE nrcupomfis = '7'")),
            QStringLiteral("Ctrue"));
  EXPECT_EQ(query(QStringLiteral("SELECT string_agg(DISTINCT i.idsituvenda, '') FROM "
                                 "regvenda.venda_item i JOIN regvenda.venda v ON v.id = "
                                 "i.venda_id WHERE v.nrcupomfis = '7'")),
            QStringLiteral("C"));
  EXPECT_EQ(query(QStringLiteral("SELECT idsituvenda || qtitens || dtinicio FROM regvenda.venda "
                                 "WHERE nrcupomfis = '8'")),
            QStringLiteral("C0-infinity"));
  EXPECT_EQ(filesIn(outputFolder(till)),
            (QStringList{QStringLiteral("MovCaixa10_2_10.cds"), QStringLiteral("Venda10_2_10.cds"),
                         QStringLiteral("Venda10_2_9.cds")}));
  const QString when =
      query(QStringLiteral("SELECT dtcancelamento FROM regvenda.venda WHERE nrcupomfis = '7'"));

  // The late cash-movement file arrives: the sale goes. An older copy of the cancelled sale
  // never makes it completed again, and its cancellation keeps its time.
  writeSale(till, saleOf(QStringLiteral("9")));
  writeSale(till, sold);
  QFile::remove(cut);
  QFile::remove(outputFolder(till) + QStringLiteral("/MovCaixa10_2_10.cds"));
  run = sync(till);
  EXPECT_EQ(run.status, 0) << run.errors.toStdString();
  EXPECT_EQ(query(QStringLiteral("SELECT idsituvenda FROM regvenda.venda WHERE nrcupomfis = '7'")),
            QStringLiteral("C"));
  EXPECT_EQ(query(QStringLiteral("SELECT dtcancelamento FROM regvenda.venda WHERE nrcupomfis = '7'")),
            when);
  EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM regvenda.venda WHERE nrcupomfis = '9'")), 1);

  // A changed copy is no update: the office keeps its sale, the file goes to Conflitos.
  Sale changed = sold;
  changed.coupon = QStringLiteral("9");
  changed.note = QStringLiteral("alterado");
  writeSale(till, changed);
  run = sync(till);
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.errors.contains(QStringLiteral("Venda10_2_9.cds: conflito"))) << run.errors.toStdString();
  EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM regvenda.conflito WHERE nmarquivo = "
                                 "'Venda10_2_9.cds' AND somaescritorio <> somaarquivo")),
            1);
  EXPECT_EQ(filesIn(outputFolder(till) + QStringLiteral("/Conflitos")).size(), 2);
  EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM regvenda.venda_item WHERE txobsvenda IS NOT NULL")), 0);
}

TEST_F(TakeUp, CouponNumbersThatStartedOverAreTwoSales) {
  const QString till = newTill(QStringLiteral("a"));
  writeSale(till, saleOf(QStringLiteral("1"), {{5.0}}));
  ASSERT_SYNC(till, 0);
  writeSale(till, saleOf(QStringLiteral("1"), {{6.0}}, 46100.25));
  ASSERT_SYNC(till, 0);
  EXPECT_EQ(query(QStringLiteral("SELECT string_agg(vrtotal::text, ' ' ORDER BY dtinicio) FROM "
                                 "regvenda.venda")),
            QStringLiteral("5.00 6.00"));
  // The plain name in Enviados holds the newest file; the earlier one is kept beside it.
  const QStringList sent = filesIn(outputFolder(till) + QStringLiteral("/Enviados"));
  EXPECT_EQ(sent.size(), 4);
  EXPECT_TRUE(sent.contains(QStringLiteral("Venda10_2_1.cds")));
}

TEST_F(TakeUp, TextsArriveAsWrittenAndOneSaleUnderTwoNamesIsTakenOnce) {
  const QString till = newTill(QStringLiteral("a"));
  Sale sale = saleOf(QStringLiteral("3"));
  sale.note = QStringLiteral("\"aspas\" \\ barra\ttab\nlinha ação € \x01 fim");
  const QString path = writeSale(till, sale);
  // The same sale under a name that differs only in case, in the same batch.
  ASSERT_TRUE(QFile::copy(path, outputFolder(till) + QStringLiteral("/venda10_2_3.cds")));
  const SyncRun run = sync(till);
  EXPECT_EQ(run.status, 0) << run.errors.toStdString();
  EXPECT_TRUE(run.errors.contains(QStringLiteral("1 tomadas, 1 já no escritório")))
      << run.errors.toStdString();
  EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM regvenda.venda_item")), 2);
  EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM regvenda.movimento_caixa")), 1);
  EXPECT_EQ(query(QStringLiteral("SELECT DISTINCT txobsvenda FROM regvenda.venda_item")), sale.note);
}

// A sale's times are calendar dates and times of day: the till's time zone never moves them,
// not even in the hour a change to summer time skipped (São Paulo, 4 November 2018).
TEST(SaleTimes, AnHourTheTimeZoneSkippedIsSentAsStored) {
  const ScopedEnv zone("TZ", QByteArray("America/Sao_Paulo"));
  const double skipped = fw::fromQDateTime(QDate(2018, 11, 4), QTime(0, 30, 15, 250));
  EXPECT_EQ(office::timestampText(skipped), QStringLiteral("2018-11-04 00:30:15.250"));
  EXPECT_EQ(office::timestampText(-1.25), QStringLiteral("1899-12-29 06:00:00.000"));
}

}  // namespace officetest
