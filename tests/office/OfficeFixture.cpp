#include "office/OfficeFixture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QUuid>

#include "framework/data/LocalTable.h"
#include "office/SaleLayout.h"

namespace officetest {

namespace {

std::vector<fw::FieldDef> fieldsOf(const office::LayoutField* begin, const office::LayoutField* end) {
  std::vector<fw::FieldDef> out;
  for (const office::LayoutField* f = begin; f != end; ++f) {
    const QString name = QString::fromLatin1(f->name);
    switch (f->kind) {
      case office::Kind::Text:
        out.push_back(fw::FieldDef::text(name, name == QLatin1String("TXOBSVENDA") ? 2000 : 50));
        break;
      case office::Kind::Number:
        out.push_back(fw::FieldDef::number(name));
        break;
      case office::Kind::DateTime:
        out.push_back(fw::FieldDef::dateTime(name));
        break;
    }
  }
  return out;
}

}  // namespace

void OfficeTest::SetUp() {
  adminConnection = qEnvironmentVariable("REGVENDA_PG_CONNECTION");
  if (adminConnection.isEmpty()) GTEST_SKIP() << "REGVENDA_PG_CONNECTION não definida";
  dir = std::make_unique<QTemporaryDir>();
  database = QStringLiteral("office_") +
             QUuid::createUuid().toString(QUuid::Id128).left(16);
  office::Database admin;
  admin.open(adminConnection, 5);
  admin.setAutoCommit(true);
  // The name is ours and plain: CREATE DATABASE takes no parameters.
  admin.exec(QStringLiteral("CREATE DATABASE ") + database);
  static const QRegularExpression db(QStringLiteral("Database=[^;]*"),
                                     QRegularExpression::CaseInsensitiveOption);
  connection = adminConnection;
  connection.replace(db, QStringLiteral("Database=") + database);
}

void OfficeTest::TearDown() {
  for (auto& p : processes) {
    if (p->state() != QProcess::NotRunning) {
      p->kill();
      p->waitForFinished(5000);
    }
  }
  processes.clear();
  if (database.isEmpty()) return;
  try {
    office::Database admin;
    admin.open(adminConnection, 5);
    admin.setAutoCommit(true);
    admin.exec(QStringLiteral("DROP DATABASE IF EXISTS ") + database + QStringLiteral(" WITH (FORCE)"));
  } catch (...) {
    // A server a test stopped: its database goes with it.
  }
}

QString OfficeTest::newTill(const QString& name) {
  const QString path = dir->filePath(name);
  QDir().mkpath(path + QStringLiteral("/Dados/Venda_Arquivo"));
  return path;
}

QString OfficeTest::outputFolder(const QString& till) const {
  return till + QStringLiteral("/Dados/Venda_Arquivo");
}

QStringList OfficeTest::filesIn(const QString& folder) const {
  return QDir(folder).entryList(QDir::Files, QDir::Name);
}

QString OfficeTest::writeSale(const QString& till, const Sale& sale) {
  const QString suffix = sale.branch + QLatin1Char('_') + sale.till + QLatin1Char('_') +
                         sale.coupon + QStringLiteral(".cds");
  fw::LocalTable items;
  items.declareFields(fieldsOf(std::begin(office::kSaleFields), std::end(office::kSaleFields)));
  items.createDataSet();
  int n = 0;
  for (const Item& item : sale.items) {
    items.insert();
    items.setText(QStringLiteral("CDPRODUTO"), QString::number(100 + n));
    items.setText(QStringLiteral("NMPRODUTO"), QStringLiteral("Pão de queijo"));
    items.setNumber(QStringLiteral("QTPRODVEND"), 1);
    items.setText(QStringLiteral("QTPRODCOMVEN"), QStringLiteral("1"));
    items.setNumber(QStringLiteral("VRUNITVEND"), item.total);
    items.setNumber(QStringLiteral("VRTOTVEND"), item.total);
    items.setText(QStringLiteral("CDFILIAL"), sale.branch);
    items.setText(QStringLiteral("CDCAIXA"), sale.till);
    items.setText(QStringLiteral("CDEMPRESA"), QStringLiteral("01"));
    items.setDateTime(QStringLiteral("DTVENDA"), sale.day + n / 86400.0);
    items.setText(QStringLiteral("IDSITUVENDA"), sale.cancelled ? QStringLiteral("C") : QStringLiteral("O"));
    items.setText(QStringLiteral("NRCUPOMFIS"), sale.coupon);
    if (!sale.note.isEmpty()) items.setText(QStringLiteral("TXOBSVENDA"), sale.note);
    items.setText(QStringLiteral("NRSEQUITVENDA"), QStringLiteral("%1").arg(n + 1, 3, 10, QLatin1Char('0')));
    items.setText(QStringLiteral("IDPRODIMPFIS"), item.printed ? QStringLiteral("S") : QStringLiteral("C"));
    items.post();
    ++n;
  }
  const QString salePath = outputFolder(till) + QStringLiteral("/Venda") + suffix;
  items.saveToFile(salePath);
  if (sale.cashFile) {
    fw::LocalTable cash;
    cash.declareFields(fieldsOf(std::begin(office::kCashFields), std::end(office::kCashFields)));
    cash.createDataSet();
    double total = 0;
    for (const Item& item : sale.items)
      if (item.printed) total += item.total;
    cash.insert();
    cash.setText(QStringLiteral("CDFILIAL"), sale.branch);
    cash.setText(QStringLiteral("CDTIPORECE"), QStringLiteral("001"));
    cash.setText(QStringLiteral("NMTIPORECE"), QStringLiteral("Dinheiro"));
    cash.setNumber(QStringLiteral("VRMOVIVEND"), total);
    cash.setText(QStringLiteral("IDTIPOMOVIVE"), QStringLiteral("E"));
    cash.setDateTime(QStringLiteral("DTHRINCMOV"), sale.day);
    cash.post();
    cash.saveToFile(outputFolder(till) + QStringLiteral("/MovCaixa") + suffix);
  }
  return salePath;
}

QProcess* OfficeTest::startSync(const QString& till, const QStringList& extraEnv,
                                const QStringList& args) {
  auto process = std::make_unique<QProcess>();
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("REGVENDA_CONNECTION"), connection);
  for (const QString& pair : extraEnv) {
    const int eq = pair.indexOf(QLatin1Char('='));
    env.insert(pair.left(eq), pair.mid(eq + 1));
  }
  process->setProcessEnvironment(env);
  process->start(QStringLiteral(REGVENDA_BIN_DIR "/regvenda-sync"),
                 QStringList{QStringLiteral("--data-dir"), till} + args);
  process->waitForStarted();
  processes.push_back(std::move(process));
  return processes.back().get();
}

SyncRun OfficeTest::finish(QProcess* process, int timeoutMs) {
  SyncRun run;
  process->waitForFinished(timeoutMs);
  run.errors = QString::fromUtf8(process->readAllStandardError());
  run.killed = process->exitStatus() == QProcess::CrashExit;
  run.status = run.killed ? -1 : process->exitCode();
  return run;
}

SyncRun OfficeTest::sync(const QString& till, const QStringList& extraEnv, const QStringList& args) {
  return finish(startSync(till, extraEnv, args));
}

QString OfficeTest::query(const QString& sql) {
  office::Database db;
  db.open(connection, 5);
  const office::Param v = db.value(sql);
  db.rollback();
  return v.value_or(QString());
}

}  // namespace officetest
