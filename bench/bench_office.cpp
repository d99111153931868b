// The office's take-up on a loopback server (REGVENDA_PG_CONNECTION, from scripts/pg/start.sh;
// skipped without it), each run into a database of its own:
// - a backlog of 10 000 sales of 5 items on one till, taken up in batches (sales/s);
// - 150 tills of 20 sales each, 150 regvenda-sync processes at once: all 3 000 sales once,
//   the time, and the most connections the server held meanwhile.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QUuid>
#include <memory>

#include "framework/data/LocalTable.h"
#include "office/Database.h"
#include "office/SaleLayout.h"
#include "office/TakeUp.h"

namespace {

QString adminConnection() { return qEnvironmentVariable("REGVENDA_PG_CONNECTION"); }

// A new database on the server; returns its connection string.
QString newDatabase(QString* name) {
  *name = QStringLiteral("bench_") + QUuid::createUuid().toString(QUuid::Id128).left(16);
  office::Database admin;
  admin.open(adminConnection(), 5);
  admin.setAutoCommit(true);
  admin.exec(QStringLiteral("CREATE DATABASE ") + *name);
  QString connection = adminConnection();
  return connection.replace(QRegularExpression(QStringLiteral("Database=[^;]*"),
                                               QRegularExpression::CaseInsensitiveOption),
                            QStringLiteral("Database=") + *name);
}

void dropDatabase(const QString& name) {
  office::Database admin;
  admin.open(adminConnection(), 5);
  admin.setAutoCommit(true);
  admin.exec(QStringLiteral("DROP DATABASE IF EXISTS ") + name + QStringLiteral(" WITH (FORCE)"));
}

template <std::size_t N>
std::vector<fw::FieldDef> fieldsOf(const office::LayoutField (&layout)[N]) {
  std::vector<fw::FieldDef> out;
  for (const office::LayoutField& f : layout) {
    const QString name = QString::fromLatin1(f.name);
    if (f.kind == office::Kind::Text) out.push_back(fw::FieldDef::text(name, 50));
    if (f.kind == office::Kind::Number) out.push_back(fw::FieldDef::number(name));
    if (f.kind == office::Kind::DateTime) out.push_back(fw::FieldDef::dateTime(name));
  }
  return out;
}

// One sale of five items and its cash movement as the screen writes them; the bytes are
// then copied under every coupon's names (the key comes from the name and the item times).
struct SaleBytes {
  QByteArray sale, cash;
};

SaleBytes saleBytes(const QString& scratch) {
  fw::LocalTable items;
  items.declareFields(fieldsOf(office::kSaleFields));
  items.createDataSet();
  for (int n = 0; n < 5; ++n) {
    items.insert();
    items.setText(QStringLiteral("CDPRODUTO"), QString::number(1000 + n));
    items.setText(QStringLiteral("NMPRODUTO"), QStringLiteral("Feijoada Completa"));
    items.setNumber(QStringLiteral("QTPRODVEND"), 1);
    items.setNumber(QStringLiteral("VRUNITVEND"), 12.9);
    items.setNumber(QStringLiteral("VRTOTVEND"), 12.9);
    items.setText(QStringLiteral("CDFILIAL"), QStringLiteral("10"));
    items.setText(QStringLiteral("CDCAIXA"), QStringLiteral("2"));
    items.setDateTime(QStringLiteral("DTVENDA"), 46000.5 + n / 86400.0);
    items.setText(QStringLiteral("IDSITUVENDA"), QStringLiteral("O"));
    items.setText(QStringLiteral("IDPRODIMPFIS"), QStringLiteral("S"));
    items.post();
  }
  items.saveToFile(scratch + QStringLiteral("/v.cds"));
  fw::LocalTable cash;
  cash.declareFields(fieldsOf(office::kCashFields));
  cash.createDataSet();
  cash.insert();
  cash.setText(QStringLiteral("NMTIPORECE"), QStringLiteral("Dinheiro"));
  cash.setNumber(QStringLiteral("VRMOVIVEND"), 64.5);
  cash.setText(QStringLiteral("IDTIPOMOVIVE"), QStringLiteral("E"));
  cash.post();
  cash.saveToFile(scratch + QStringLiteral("/m.cds"));
  QFile v(scratch + QStringLiteral("/v.cds")), m(scratch + QStringLiteral("/m.cds"));
  v.open(QIODevice::ReadOnly);
  m.open(QIODevice::ReadOnly);
  return {v.readAll(), m.readAll()};
}

void writeTill(const QString& dataDir, const QString& till, int sales, const SaleBytes& bytes) {
  const QString out = dataDir + QStringLiteral("/Dados/Venda_Arquivo/");
  QDir().mkpath(out);
  for (int n = 1; n <= sales; ++n) {
    const QString suffix = QStringLiteral("10_%1_%2.cds").arg(till).arg(n, 6, 10, QLatin1Char('0'));
    QFile v(out + QStringLiteral("Venda") + suffix), m(out + QStringLiteral("MovCaixa") + suffix);
    v.open(QIODevice::WriteOnly);
    v.write(bytes.sale);
    m.open(QIODevice::WriteOnly);
    m.write(bytes.cash);
  }
}

int countSales(const QString& connection) {
  office::Database db;
  db.open(connection, 5);
  return db.value(QStringLiteral("SELECT count(DISTINCT (cdcaixa, nrcupomfis)) FROM regvenda.venda"))
      .value_or(QStringLiteral("0"))
      .toInt();
}

void BM_Backlog10000Sales(benchmark::State& state) {
  if (adminConnection().isEmpty()) {
    state.SkipWithError("REGVENDA_PG_CONNECTION não definida");
    return;
  }
  constexpr int kSales = 10000;
  for (auto _ : state) {
    state.PauseTiming();
    QTemporaryDir dir;
    const SaleBytes bytes = saleBytes(dir.path());
    writeTill(dir.path(), QStringLiteral("2"), kSales, bytes);
    QString name;
    const QString connection = newDatabase(&name);
    state.ResumeTiming();

    office::TakeUpOptions options;
    options.dataDir = dir.path();
    options.connectionString = connection;
    options.batchSize = static_cast<int>(state.range(0));
    const office::TakeUpReport report = office::TakeUp(options).run();

    state.PauseTiming();
    if (report.taken != kSales || countSales(connection) != kSales)
      state.SkipWithError(report.summary().toStdString().c_str());
    dropDatabase(name);
    state.ResumeTiming();
  }
  state.counters["sales/s"] =
      benchmark::Counter(kSales, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Backlog10000Sales)->Arg(250)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_150TillsAtOnce(benchmark::State& state) {
  if (adminConnection().isEmpty()) {
    state.SkipWithError("REGVENDA_PG_CONNECTION não definida");
    return;
  }
  constexpr int kTills = 150, kSales = 20;
  int peak = 0, failed = 0, total = 0;
  for (auto _ : state) {
    state.PauseTiming();
    QTemporaryDir dir;
    const SaleBytes bytes = saleBytes(dir.path());
    for (int t = 0; t < kTills; ++t)
      writeTill(dir.filePath(QString::number(t)), QString::number(t), kSales, bytes);
    QString name;
    const QString connection = newDatabase(&name);
    office::Database watcher;
    watcher.open(adminConnection(), 5);
    watcher.setAutoCommit(true);
    state.ResumeTiming();

    std::vector<std::unique_ptr<QProcess>> syncs;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("REGVENDA_CONNECTION"), connection);
    for (int t = 0; t < kTills; ++t) {
      auto p = std::make_unique<QProcess>();
      p->setProcessEnvironment(env);
      p->setStandardOutputFile(QProcess::nullDevice());
      p->setStandardErrorFile(QProcess::nullDevice());
      p->start(QCoreApplication::applicationDirPath() + QStringLiteral("/regvenda-sync"),
               {QStringLiteral("--data-dir"), dir.filePath(QString::number(t))});
      syncs.push_back(std::move(p));
    }
    bool running = true;
    while (running) {
      running = false;
      for (auto& p : syncs) running = running || p->state() != QProcess::NotRunning;
      const int now = watcher.value(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE "
                                                   "datname = ?"), {name})
                          .value_or(QStringLiteral("0"))
                          .toInt();
      peak = std::max(peak, now);
      QThread::msleep(20);
      for (auto& p : syncs) p->waitForFinished(0);
    }

    state.PauseTiming();
    for (auto& p : syncs) failed += p->exitCode() != 0 ? 1 : 0;
    total = countSales(connection);
    watcher.close();
    dropDatabase(name);
    state.ResumeTiming();
  }
  state.counters["sales"] = total;
  state.counters["peak_connections"] = peak;
  state.counters["failed_runs"] = failed;
  if (total != kTills * kSales) state.SkipWithError("not every sale reached the office");
}
BENCHMARK(BM_150TillsAtOnce)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
