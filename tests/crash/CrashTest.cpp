// The crash test: rounds of a sale played by crash_driver on the real screen and printer, the
// driver killed with SIGKILL at a step drawn from the round's seed; then the host started
// again on the same data directory settles the sale (paid and closed, or cancelled). After
// every round the output folder is checked against the printer (crash/SaleLedger.h).
//
//   REGVENDA_CRASH_ROUNDS  rounds (20 by default; scripts/crash.sh passes its count)
//   REGVENDA_CRASH_SEED    the first round's seed (random by default, always printed): the
//                          same seed and count replay the same rounds
//   REGVENDA_CRASH_KEEP    a folder to keep the data directory and the journal in
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <map>
#include <random>
#include <set>

#include "crash/Journal.h"
#include "crash/SaleLedger.h"
#include "fiscal/PrinterMemory.h"
#include "framework/core/Error.h"
#include "tools/demo/DemoData.h"

namespace crash {
namespace {

// Nullopt when the memory cannot be read. A printer that has not printed yet has none: its
// counters are all zero.
std::optional<fiscal::PrinterMemory> readMemory(const QString& dataDir) {
  if (!QFile::exists(memoryPath(dataDir))) return fiscal::PrinterMemory{};
  QFile file(memoryPath(dataDir));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  try {
    return fiscal::PrinterMemory::fromJson(file.readAll());
  } catch (const fw::Error&) {
    return std::nullopt;
  }
}

struct DriverRun {
  bool killed = false;
  int status = 0;
  QString errors;
};

class Rounds : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString keep = qEnvironmentVariable("REGVENDA_CRASH_KEEP");
    if (!keep.isEmpty()) {
      root_ = keep;
      QDir(keep).removeRecursively();
      QDir().mkpath(keep);
    } else {
      ASSERT_TRUE(temp_.isValid());
      root_ = temp_.path();
    }
    dataDir_ = QDir(root_).filePath(QStringLiteral("dados"));
    journal_ = QDir(root_).filePath(QStringLiteral("memoria.diario"));
    demo::writeDemoData(dataDir_, demo::Options{});
  }

  DriverRun drive(const QString& mode, quint64 seed) {
    QProcess driver;
    driver.setProgram(QStringLiteral(REGVENDA_BIN_DIR "/crash_driver"));
    driver.setArguments({QStringLiteral("--data-dir"), dataDir_, QStringLiteral("--journal"),
                         journal_, QStringLiteral("--seed"), QString::number(seed),
                         QStringLiteral("--") + mode});
    driver.setProcessChannelMode(QProcess::SeparateChannels);
    driver.start();
    DriverRun run;
    if (!driver.waitForStarted(30000)) {
      run.status = -1;
      run.errors = QStringLiteral("crash_driver não iniciou: ") + driver.errorString();
      return run;
    }
    if (!driver.waitForFinished(240000)) {
      driver.kill();
      driver.waitForFinished();
      run.status = -1;
      run.errors = QStringLiteral("crash_driver parou (4 min)\n");
    }
    run.killed = driver.exitStatus() == QProcess::CrashExit;
    if (!run.killed && run.status == 0) run.status = driver.exitCode();
    run.errors += QString::fromUtf8(driver.readAllStandardError());
    journalMemory(dataDir_, journal_, &lastJournal_);
    return run;
  }

  QTemporaryDir temp_;
  QString root_;
  QString dataDir_;
  QString journal_;
  QByteArray lastJournal_;
};

// The driver's own lines, for a failure message: what was played and said, not ASan noise.
QString driverLines(const QString& errors) {
  QStringList lines;
  for (const QString& line : errors.split(QLatin1Char('\n'))) {
    if (line.startsWith(QStringLiteral("crash_driver:")) || line.contains(QStringLiteral("ERROR")))
      lines << line;
  }
  return lines.join(QLatin1Char('\n'));
}

TEST_F(Rounds, KilledAtAnyStepNoSaleIsLostOrBookedWrong) {
  const int rounds = qEnvironmentVariableIsSet("REGVENDA_CRASH_ROUNDS")
                         ? qEnvironmentVariableIntValue("REGVENDA_CRASH_ROUNDS")
                         : 20;
  const quint64 firstSeed = qEnvironmentVariableIsSet("REGVENDA_CRASH_SEED")
                                ? qEnvironmentVariable("REGVENDA_CRASH_SEED").toULongLong()
                                : std::random_device{}() % 1000000000ULL;
  std::printf("crash: %d rodadas, REGVENDA_CRASH_SEED=%llu (%s)\n", rounds,
              static_cast<unsigned long long>(firstSeed), qPrintable(root_));
  std::fflush(stdout);

  SaleLedger ledger;
  std::set<QString> told;
  std::map<QString, int> byKind;
  int killed = 0;
  int failedRounds = 0;
  for (int round = 0; round < rounds; ++round) {
    if (round > 0 && round % 20 == 0) {
      std::printf("crash: %d de %d rodadas, %d com falhas\n", round, rounds, failedRounds);
      std::fflush(stdout);
    }
    const quint64 seed = firstSeed + static_cast<quint64>(round);
    const std::optional<fiscal::PrinterMemory> before = readMemory(dataDir_);
    std::vector<Finding> findings;
    QString log;

    const DriverRun play = drive(QStringLiteral("play"), seed);
    killed += play.killed ? 1 : 0;
    log += play.errors;
    if (!play.killed && play.status != 0) {
      findings.push_back({QStringLiteral("motorista"),
                          QStringLiteral("a venda terminou com status %1").arg(play.status)});
    }
    // The host again: paid and closed two times in three, else cancelled; a coupon still open
    // after that is cancelled by one more start.
    const DriverRun settle =
        drive(seed % 3 == 0 ? QStringLiteral("cancel") : QStringLiteral("finish"), seed);
    log += settle.errors;
    if (settle.killed || settle.status != 0) {
      findings.push_back({QStringLiteral("motorista"),
                          QStringLiteral("o reinício terminou com status %1%2")
                              .arg(settle.status)
                              .arg(settle.killed ? QStringLiteral(" (morto)") : QString())});
    }
    std::optional<fiscal::PrinterMemory> after = readMemory(dataDir_);
    if (after && after->open) {
      const DriverRun again = drive(QStringLiteral("cancel"), seed);
      log += again.errors;
      after = readMemory(dataDir_);
    }

    // Settled means settled: a sale still kept would greet the next cashier (or block the till).
    if (const QString kept = saleStillKept(dataDir_); !kept.isEmpty()) {
      findings.push_back({QStringLiteral("venda presa"),
                          QStringLiteral("depois do reinício a venda guardada ainda tem ") + kept});
    }
    ledger.readJournal(journal_);
    if (!after) {
      findings.push_back(
          {QStringLiteral("memória"), QStringLiteral("a memória fiscal não pôde ser lida")});
    } else if (before) {
      // One sale a round: at most one fiscal coupon, and the grand total grows by the coupon
      // closed in the round, never by a coupon closed twice.
      const int opened = (after->ccf - before->ccf + 999999) % 999999;
      if (opened > 1) {
        findings.push_back({QStringLiteral("dois cupons"),
                            QStringLiteral("%1 cupons fiscais numa venda").arg(opened)});
      }
      qint64 closedNow = 0;
      if (after->last && (!before->last || after->last->coo != before->last->coo)) {
        const auto coupon = ledger.coupons().find(after->last->coo);
        if (coupon != ledger.coupons().end() && coupon->second.closedBefore)
          closedNow = after->last->totalCents;
      }
      if (after->grandTotalCents - before->grandTotalCents != closedNow) {
        findings.push_back(
            {QStringLiteral("totalizador"),
             QStringLiteral("o totalizador cresceu %1 centavos; o cupom fechado na rodada soma %2")
                 .arg(after->grandTotalCents - before->grandTotalCents)
                 .arg(closedNow)});
      }
    }
    for (Finding& f : checkDataDirectory(dataDir_, ledger)) findings.push_back(std::move(f));

    QStringList fresh;
    std::set<QString> kinds;
    for (const Finding& f : findings) {
      // A fault stays in the folder: told once, in the round that made it.
      // A driver that failed, or a sale or coupon left stuck (the till cannot sell), is told in
      // every round it happens.
      const bool everyRound = f.kind == QStringLiteral("motorista") ||
                              f.kind == QStringLiteral("venda presa") ||
                              f.kind == QStringLiteral("cupom aberto");
      if (!everyRound && !told.insert(f.kind + f.detail).second) continue;
      fresh << f.kind + QStringLiteral(": ") + f.detail;
      kinds.insert(f.kind);
    }
    if (fresh.isEmpty()) continue;
    ++failedRounds;
    for (const QString& kind : kinds) ++byKind[kind];
    ADD_FAILURE() << "rodada " << round + 1 << " (semente " << seed << "):\n  "
                  << fresh.join("\n  ").toStdString() << "\n"
                  << driverLines(log).toStdString();
  }

  QStringList summary;
  for (const auto& [kind, count] : byKind) summary << QStringLiteral("%1 %2").arg(kind).arg(count);
  std::printf("crash: %d rodadas, %d mortas em meio à venda, %d com falhas%s%s\n", rounds, killed,
              failedRounds, summary.isEmpty() ? "" : ": ",
              qPrintable(summary.join(QStringLiteral(", "))));
  EXPECT_EQ(failedRounds, 0);
}

}  // namespace
}  // namespace crash
