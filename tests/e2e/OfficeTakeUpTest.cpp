// A sale on the real screen reaches the office: closed, taken up by regvenda-sync, then
// "Cancela Cupom" of that last coupon (its file already in Enviados/), taken up again: the
// office holds the one sale, cancelled. And the host program's own take-up beside its screen.
// Needs the test server (REGVENDA_PG_CONNECTION).
#include <signal.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>
#include <QUuid>

#include "dialogs/NumericKeypadDialog.h"
#include "dialogs/SearchDialog.h"
#include "e2e/Till.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "office/Database.h"

namespace e2e {
namespace {

using Form = TfrmVendaArquivo;

class OfficeTakeUp : public Till {
 protected:
  void SetUp() override {
    admin_ = qEnvironmentVariable("REGVENDA_PG_CONNECTION");
    if (admin_.isEmpty()) GTEST_SKIP() << "REGVENDA_PG_CONNECTION não definida";
    Till::SetUp();
    database_ = QStringLiteral("e2e_") + QUuid::createUuid().toString(QUuid::Id128).left(16);
    office::Database admin;
    admin.open(admin_, 5);
    admin.setAutoCommit(true);
    admin.exec(QStringLiteral("CREATE DATABASE ") + database_);
    connection_ = admin_;
    connection_.replace(QRegularExpression(QStringLiteral("Database=[^;]*"),
                                           QRegularExpression::CaseInsensitiveOption),
                        QStringLiteral("Database=") + database_);
  }
  void TearDown() override {
    if (admin_.isEmpty()) return;
    Till::TearDown();
    try {
      office::Database admin;
      admin.open(admin_, 5);
      admin.setAutoCommit(true);
      admin.exec(QStringLiteral("DROP DATABASE IF EXISTS ") + database_ +
                 QStringLiteral(" WITH (FORCE)"));
    } catch (...) {
    }
  }
  int takeUp() {
    QProcess sync;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("REGVENDA_CONNECTION"), connection_);
    sync.setProcessEnvironment(env);
    sync.start(QStringLiteral(REGVENDA_BIN_DIR "/regvenda-sync"),
               {QStringLiteral("--data-dir"), dataPath(QString())});
    sync.waitForFinished(60000);
    log_ += QString::fromUtf8(sync.readAllStandardError());
    return sync.exitCode();
  }
  QString query(const QString& sql) {
    office::Database db;
    db.open(connection_, 5);
    return db.value(sql).value_or(QString());
  }

  QString admin_, database_, connection_, log_;
};

// The rice paid by pix, up to "Gerar Cupom".
void ringUpRice(Cashier& c, const Product& rice) {
  c.on<Form>("escolher o arroz", [&c](Form& f) { c.touch(f.bldCodigo); });
  c.on<dialogs::SearchDialog>("código de barras do arroz", [&c, rice](dialogs::SearchDialog& d) {
    c.type(&d, rice.barcode);
    c.press(&d, Qt::Key_Return);
  });
  c.on<Form>("adiciona o arroz", [&c](Form& f) { c.touch(f.bldAddProd); });
  c.on<Form>("recebimento", [&c](Form& f) { c.touch(f.bldCodRece); });
  c.on<dialogs::SearchDialog>("pix", [&c](dialogs::SearchDialog& d) {
    c.type(&d, QStringLiteral("pix"));
    c.press(&d, Qt::Key_Return);
  });
  c.on<Form>("valor", [&c](Form& f) { c.touch(f.bldValorRece); });
  c.on<dialogs::NumericKeypadDialog>("27,90", [&c](dialogs::NumericKeypadDialog& d) {
    c.type(&d, QStringLiteral("27,90"));
    c.press(&d, Qt::Key_Return);
  });
  c.on<Form>("adiciona o pix", [&c](Form& f) { c.touch(f.bldAddRece); });
  c.on<Form>("Gerar Cupom", [&c](Form& f) { c.touch(f.bldGravar); });
}

TEST_F(OfficeTakeUp, SaleTakenUpThenCancelledAtTheTillIsCancelledOnceInTheOffice) {
  open(demo::Options{});
  Cashier& c = *cashier_;
  ringUpRice(c, product(QStringLiteral("Arroz Branco Tipo 1 5 kg")));
  c.on<Form>("o escritório leva a venda; Cancela Cupom", [&](Form& f) {
    EXPECT_EQ(takeUp(), 0) << log_.toStdString();
    EXPECT_EQ(outputFiles(), QStringList());
    c.touch(f.bldCancela);
  });
  c.on<Form>("o escritório leva o cancelamento; sair", [&](Form& f) {
    EXPECT_EQ(outputFiles(), QStringList{QStringLiteral("Venda10_2_000001.cds")});
    EXPECT_EQ(takeUp(), 0) << log_.toStdString();
    c.touch(f.spdSair);
  });
  sell();
  ASSERT_TRUE(c.failures().isEmpty()) << c.failures().join(QLatin1Char('\n')).toStdString();

  EXPECT_EQ(query(QStringLiteral("SELECT count(*)::text FROM regvenda.venda")), QStringLiteral("1"));
  EXPECT_EQ(query(QStringLiteral("SELECT idsituvenda || vrtotal::text || (dtcancelamento IS NOT "
                                 "NULL)::text FROM regvenda.venda")),
            QStringLiteral("C27.90true"));
  EXPECT_EQ(query(QStringLiteral("SELECT count(*)::text FROM regvenda.movimento_caixa")),
            QStringLiteral("1"));
  EXPECT_TRUE(log_.contains(QStringLiteral("1 canceladas"))) << log_.toStdString();
  EXPECT_EQ(outputFiles(), QStringList());
}

// The host program takes the till's sales up in the background while its screen is open, in
// a process of its own: killing that process leaves the screen running.
TEST_F(OfficeTakeUp, HostTakesUpInTheBackgroundAndOutlivesItsTakeUp) {
  open(demo::Options{});
  Cashier& c = *cashier_;
  ringUpRice(c, product(QStringLiteral("Arroz Branco Tipo 1 5 kg")));
  c.on<Form>("sair", [&c](Form& f) { c.touch(f.spdSair); });
  sell();
  ASSERT_TRUE(c.failures().isEmpty()) << c.failures().join(QLatin1Char('\n')).toStdString();
  ASSERT_EQ(outputFiles().size(), 2);

  QProcess host;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("REGVENDA_CONNECTION"), connection_);
  host.setProcessEnvironment(env);
  host.start(QStringLiteral(REGVENDA_BIN_DIR "/regvenda"), {QStringLiteral("--data-dir"), dataPath(QString())});
  ASSERT_TRUE(host.waitForStarted(10000));
  QDeadlineTimer deadline(60000);
  while (!outputFiles().isEmpty() && !deadline.hasExpired()) QThread::msleep(200);
  EXPECT_EQ(outputFiles(), QStringList()) << host.readAllStandardError().toStdString();
  EXPECT_EQ(query(QStringLiteral("SELECT count(*)::text FROM regvenda.venda")), QStringLiteral("1"));
  QFile log(dataPath(QStringLiteral("regvenda-sync.log")));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_TRUE(log.readAll().contains("1 tomadas"));

  // The take-up is the host's one child: killed, the screen stays.
  const auto pid = static_cast<int>(host.processId());
  QFile children(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
  ASSERT_TRUE(children.open(QIODevice::ReadOnly));
  const QList<QByteArray> pids = children.readAll().trimmed().split(' ');
  ASSERT_EQ(pids.size(), 1);
  ASSERT_EQ(::kill(pids[0].toInt(), SIGKILL), 0);
  EXPECT_FALSE(host.waitForFinished(1500));
  EXPECT_EQ(host.state(), QProcess::Running);
  host.kill();
  host.waitForFinished(5000);
}

}  // namespace
}  // namespace e2e
