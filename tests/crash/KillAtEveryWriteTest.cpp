// A kill at every write: crash_driver plays the same day on a new data directory and is
// ended at its k-th file write, for every k; the host started again settles the sale and the
// crash test's checks must hold each time. The k's are dealt to two shards, which ctest
// runs side by side, and each shard plays a few days at a time.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <vector>

#include "crash/Journal.h"
#include "crash/SaleLedger.h"
#include "fiscal/PrinterMemory.h"
#include "framework/core/Error.h"
#include "tools/demo/DemoData.h"

namespace crash {
namespace {

constexpr int kShards = 2;
// Days played side by side in a shard: a driver mostly waits for its screen, not the CPU.
constexpr int kParallel = 4;

// The demo data, written once and copied for each day.
QString demoFolder() {
  static QTemporaryDir dir;
  static const bool written = (demo::writeDemoData(dir.path(), demo::Options{}), true);
  (void)written;
  return dir.path();
}

void copyFolder(const QString& from, const QString& to) {
  QDir().mkpath(to);
  const QDir source(from);
  for (const QFileInfo& entry :
       source.entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
    const QString target = QDir(to).filePath(entry.fileName());
    if (entry.isDir()) {
      copyFolder(entry.filePath(), target);
    } else {
      QFile::copy(entry.filePath(), target);
    }
  }
}

bool couponOpen(const QString& dataDir) {
  QFile memory(memoryPath(dataDir));
  try {
    return memory.open(QIODevice::ReadOnly) &&
           fiscal::PrinterMemory::fromJson(memory.readAll()).open;
  } catch (const fw::Error&) {
    return false;
  }
}

// One day on its own new data directory: played (cut at write k, or whole when k is 0), then
// the host started again to pay and close, then once more to cancel a coupon still open.
class Day {
 public:
  explicit Day(int k) : k_(k) {
    dataDir_ = QDir(root_.path()).filePath(QStringLiteral("dados"));
    journal_ = QDir(root_.path()).filePath(QStringLiteral("memoria.diario"));
    copyFolder(demoFolder(), dataDir_);
    QStringList mode{QStringLiteral("--script")};
    if (k > 0) mode << QStringLiteral("--kill-at-write") << QString::number(k);
    start(mode);
  }

  int k() const { return k_; }
  int writes() const { return writes_; }
  const QStringList& findings() const { return findings_; }

  // False once the day is settled and checked.
  bool poll() {
    if (process_->state() != QProcess::NotRunning && !process_->waitForFinished(10)) {
      if (clock_.elapsed() < 240000) return true;
      process_->kill();
      process_->waitForFinished();
      findings_ << QStringLiteral("o motorista parou (4 min)");
    }
    const bool killed = process_->exitStatus() == QProcess::CrashExit;
    const int status = killed ? 0 : process_->exitCode();
    const QString errors = QString::fromUtf8(process_->readAllStandardError());
    log_ += errors;
    QByteArray last;
    journalMemory(dataDir_, journal_, &last);
    if (stage_ == 0) {
      if (k_ > 0 && !killed) findings_ << QStringLiteral("o dia não chegou à escrita %1").arg(k_);
      if (!killed && status != 0)
        findings_ << QStringLiteral("o dia terminou com status %1").arg(status);
      const auto m = QRegularExpression(QStringLiteral("escritas (\\d+)")).match(errors);
      writes_ = m.hasMatch() ? m.captured(1).toInt() : 0;
    } else if (killed || status != 0) {
      findings_ << QStringLiteral("o reinício %1 terminou com status %2%3")
                       .arg(stage_)
                       .arg(status)
                       .arg(killed ? QStringLiteral(" (morto)") : QString());
    }
    // The host again: paid and closed; a coupon still open after that, cancelled.
    if (++stage_ == 1 || (stage_ == 2 && couponOpen(dataDir_))) {
      start({stage_ == 1 ? QStringLiteral("--finish") : QStringLiteral("--cancel")});
      return true;
    }
    check();
    return false;
  }

 private:
  void start(const QStringList& mode) {
    process_ = std::make_unique<QProcess>();
    process_->setProgram(QStringLiteral(REGVENDA_BIN_DIR "/crash_driver"));
    process_->setArguments(QStringList{QStringLiteral("--data-dir"), dataDir_,
                                       QStringLiteral("--journal"), journal_,
                                       QStringLiteral("--seed"), QStringLiteral("1")} +
                           mode);
    process_->start();
    clock_.start();
  }

  void check() {
    QFile tape(QDir(dataDir_).filePath(QStringLiteral("Bobina.txt")));
    if (tape.open(QIODevice::ReadOnly) && tape.readAll().contains("bloqueada"))
      findings_ << QStringLiteral("impressora bloqueada");
    try {
      QFile memory(memoryPath(dataDir_));
      if (memory.open(QIODevice::ReadOnly) &&
          fiscal::PrinterMemory::fromJson(memory.readAll()).open)
        findings_ << QStringLiteral("cupom aberto na impressora");
    } catch (const fw::Error& e) {
      findings_ << QStringLiteral("memória fiscal ilegível: ") + e.message();
    }
    if (const QString kept = saleStillKept(dataDir_); !kept.isEmpty())
      findings_ << QStringLiteral("a venda guardada ainda tem ") + kept;
    SaleLedger ledger;
    ledger.readJournal(journal_);
    for (const Finding& f : checkDataDirectory(dataDir_, ledger))
      findings_ << f.kind + QStringLiteral(": ") + f.detail;
    if (findings_.isEmpty()) return;
    for (const QString& line : log_.split(QLatin1Char('\n'))) {
      if (line.startsWith(QStringLiteral("crash_driver:")))
        findings_ << QStringLiteral("  ") + line;
    }
  }

  int k_;
  QTemporaryDir root_;
  QString dataDir_;
  QString journal_;
  std::unique_ptr<QProcess> process_;
  QElapsedTimer clock_;
  int stage_ = 0;
  int writes_ = 0;
  QString log_;
  QStringList findings_;
};

class KillAtEveryWrite : public ::testing::TestWithParam<int> {};

TEST_P(KillAtEveryWrite, EveryCutDaySettlesWithItsRecords) {
  Day whole(0);
  while (whole.poll()) {
  }
  EXPECT_TRUE(whole.findings().isEmpty()) << "o dia sem corte:\n"
                                          << whole.findings().join('\n').toStdString();
  const int writes = whole.writes();
  ASSERT_GT(writes, 20);
  std::printf("crash: o dia faz %d escritas\n", writes);

  std::vector<std::unique_ptr<Day>> running;
  int next = 1 + GetParam();
  int failed = 0;
  while (next <= writes || !running.empty()) {
    while (next <= writes && static_cast<int>(running.size()) < kParallel) {
      running.push_back(std::make_unique<Day>(next));
      next += kShards;
    }
    for (auto it = running.begin(); it != running.end();) {
      if ((*it)->poll()) {
        ++it;
        continue;
      }
      if (!(*it)->findings().isEmpty()) {
        ++failed;
        ADD_FAILURE() << "morto na escrita " << (*it)->k() << ":\n"
                      << (*it)->findings().join('\n').toStdString();
      }
      it = running.erase(it);
    }
  }
  EXPECT_EQ(failed, 0);
}

INSTANTIATE_TEST_SUITE_P(Shards, KillAtEveryWrite, ::testing::Range(0, kShards));

}  // namespace
}  // namespace crash
