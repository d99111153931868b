// The take-up cut at every step, by SIGKILL, by the server, or by a second take-up: run again,
// every sale is in the office once with its totals, and no file is lost.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include "office/OfficeFixture.h"
#include "office/TakeUp.h"

namespace officetest {

class Faults : public OfficeTest {
 protected:
  // Six sales of a branch, 7.5 + 2.25 each.
  void writeSix(const QString& till, const QString& branch) {
    for (int n = 1; n <= 6; ++n) {
      Sale s = saleOf(QString::number(n), {{7.5}, {2.25}}, 46000.5 + n / 100.0);
      s.branch = branch;
      writeSale(till, s);
    }
  }

  // Every sale of the branch once, with its totals; nothing left in the output folder.
  void expectAllOnce(const QString& till, const QString& branch, int sales = 6) {
    const QString where = QStringLiteral(" WHERE v.cdfilial = '%1'").arg(branch);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM regvenda.venda v") + where), sales);
    EXPECT_EQ(count(QStringLiteral("SELECT count(DISTINCT nrcupomfis) FROM regvenda.venda v") + where), sales);
    EXPECT_EQ(query(QStringLiteral("SELECT sum(vrtotal)::text FROM regvenda.venda v") + where),
              QString::number(9.75 * sales, 'f', 2));
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM regvenda.venda_item i JOIN "
                                   "regvenda.venda v ON v.id = i.venda_id") + where),
              2 * sales);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM regvenda.movimento_caixa m JOIN "
                                   "regvenda.venda v ON v.id = m.venda_id") + where),
              sales);
    EXPECT_EQ(filesIn(outputFolder(till)), QStringList());
    EXPECT_EQ(filesIn(outputFolder(till) + QStringLiteral("/Enviados")).size(), 2 * sales);
  }

  // Waits until this test's database has a transaction open and idle (the take-up paused).
  bool waitForOpenTransaction(const QString& admin) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 20000) {
      office::Database db;
      db.open(admin, 5);
      const office::Param n = db.value(QStringLiteral(
          "SELECT count(*) FROM pg_stat_activity WHERE datname = ? AND state = 'idle in "
          "transaction'"), {database});
      db.rollback();
      if (n && n->toInt() > 0) return true;
      QThread::msleep(50);
    }
    return false;
  }
};

TEST_F(Faults, KilledAtEachStepThenRunAgainEverySaleOnce) {
  const char* steps[] = {"before-insert", "after-insert", "after-commit", "mid-move"};
  int round = 0;
  for (const char* step : steps) {
    SCOPED_TRACE(step);
    const QString branch = QString::number(20 + round++);
    const QString till = newTill(branch);
    writeSix(till, branch);
    // Three batches of two; the kill comes in the second.
    const SyncRun killed =
        sync(till, {QStringLiteral("REGVENDA_SYNC_KILL=%1:2").arg(QLatin1String(step))},
             {QStringLiteral("--batch-size"), QStringLiteral("2")});
    EXPECT_TRUE(killed.killed) << killed.errors.toStdString();
    const SyncRun again = sync(till);
    EXPECT_EQ(again.status, 0) << again.errors.toStdString();
    expectAllOnce(till, branch);
  }
}

TEST_F(Faults, ConnectionCutInTheMiddleOfATransactionIsSentAgain) {
  const QString till = newTill(QStringLiteral("a"));
  writeSix(till, QStringLiteral("30"));
  QProcess* p = startSync(till, {QStringLiteral("REGVENDA_SYNC_PAUSE=after-insert:3000")});
  ASSERT_TRUE(waitForOpenTransaction(adminConnection));
  office::Database admin;
  admin.open(adminConnection, 5);
  admin.exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                            "datname = ? AND pid <> pg_backend_pid()"),
             {database});
  admin.rollback();
  const SyncRun run = finish(p);
  EXPECT_EQ(run.status, 0) << run.errors.toStdString();
  expectAllOnce(till, QStringLiteral("30"));
}

TEST_F(Faults, TwoTakeUpsOnOneDataDirectory) {
  const QString till = newTill(QStringLiteral("a"));
  writeSix(till, QStringLiteral("40"));
  QProcess* first = startSync(till, {QStringLiteral("REGVENDA_SYNC_PAUSE=after-insert:2000")});
  ASSERT_TRUE(waitForOpenTransaction(adminConnection));
  const SyncRun second = sync(till);
  EXPECT_EQ(second.status, 2);
  EXPECT_TRUE(second.errors.contains(QStringLiteral("outra sincronização"))) << second.errors.toStdString();
  const SyncRun run = finish(first);
  EXPECT_EQ(run.status, 0) << run.errors.toStdString();
  expectAllOnce(till, QStringLiteral("40"));
}

TEST_F(Faults, TwentyTillsAtOnceIntoOneDatabase) {
  std::vector<QString> tills;
  for (int t = 0; t < 20; ++t) {
    tills.push_back(newTill(QStringLiteral("till%1").arg(t)));
    writeSix(tills.back(), QString::number(100 + t));
  }
  std::vector<QProcess*> running;
  for (const QString& till : tills)
    running.push_back(startSync(till, {}, {QStringLiteral("--batch-size"), QStringLiteral("2")}));
  for (std::size_t t = 0; t < tills.size(); ++t) {
    const SyncRun run = finish(running[t], 120000);
    EXPECT_EQ(run.status, 0) << run.errors.toStdString();
    expectAllOnce(tills[t], QString::number(100 + static_cast<int>(t)));
  }
  EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM regvenda.venda")), 120);
}

// A server of the test's own, stopped while the take-up holds a transaction open.
TEST_F(Faults, ServerStoppedInTheMiddleOfARun) {
  // The script makes its own folder, one the server's user can reach.
  QProcess start;
  start.start(QStringLiteral(REGVENDA_SOURCE_DIR "/scripts/pg/start.sh"), QStringList());
  ASSERT_TRUE(start.waitForFinished(60000));
  ASSERT_EQ(start.exitCode(), 0) << start.readAllStandardError().toStdString();
  const QString pgDir = QString::fromUtf8(start.readAllStandardOutput()).trimmed();
  QFile env(pgDir + QStringLiteral("/env"));
  ASSERT_TRUE(env.open(QIODevice::ReadOnly));
  const QString envText = QString::fromUtf8(env.readAll());
  const QString port = envText.section(QStringLiteral("REGVENDA_PG_PORT='"), 1).section(QLatin1Char('\''), 0, 0);
  const QString server =
      envText.section(QStringLiteral("REGVENDA_PG_CONNECTION='"), 1).section(QLatin1Char('\''), 0, 0);
  const QString mine = connection;
  const QString mineDb = database;
  connection = server;
  database = QStringLiteral("regvenda");
  const auto shell = [&](const QString& command) {
    QProcess p;
    p.start(QStringLiteral("bash"), {QStringLiteral("-c"), command});
    p.waitForFinished(60000);
    return p.exitCode();
  };

  const QString till = newTill(QStringLiteral("a"));
  writeSix(till, QStringLiteral("50"));
  QProcess* p = startSync(till, {QStringLiteral("REGVENDA_SYNC_PAUSE=after-insert:3000")});
  EXPECT_TRUE(waitForOpenTransaction(server));
  EXPECT_EQ(shell(QStringLiteral(REGVENDA_SOURCE_DIR "/scripts/pg/stop.sh --keep ") + pgDir), 0);
  const SyncRun cut = finish(p);
  EXPECT_EQ(cut.status, 2) << cut.errors.toStdString();
  EXPECT_EQ(filesIn(outputFolder(till)).size(), 12);
  // The same cluster again, on its port.
  EXPECT_EQ(shell(QStringLiteral("d=%1; as=(); [ $(id -u) -eq 0 ] && as=(runuser -u $(stat -c %U "
                                 "$d/data) --); \"${as[@]}\" /usr/lib/postgresql/15/bin/pg_ctl "
                                 "--pgdata=$d/data --log=$d/server.log --wait -o \"-p %2 -c "
                                 "listen_addresses=127.0.0.1 -k $d/socket -c fsync=off\" start")
                      .arg(pgDir, port)),
            0);
  const SyncRun again = sync(till);
  EXPECT_EQ(again.status, 0) << again.errors.toStdString();
  expectAllOnce(till, QStringLiteral("50"));
  shell(QStringLiteral(REGVENDA_SOURCE_DIR "/scripts/pg/stop.sh ") + pgDir);
  connection = mine;
  database = mineDb;
}

}  // namespace officetest
