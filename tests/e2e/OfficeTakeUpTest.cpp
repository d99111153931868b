// A sale on the real screen reaches the office: closed, taken up by regvenda-sync, then
// "Cancela Cupom" of that last coupon (its file already in Enviados/), taken up again: the
// office holds the one sale, cancelled. Needs the test server (REGVENDA_PG_CONNECTION).
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
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

TEST_F(OfficeTakeUp, SaleTakenUpThenCancelledAtTheTillIsCancelledOnceInTheOffice) {
  open(demo::Options{});
  const Product rice = product(QStringLiteral("Arroz Branco Tipo 1 5 kg"));
  Cashier& c = *cashier_;
  c.on<Form>("escolher o arroz", [&](Form& f) { c.touch(f.bldCodigo); });
  c.on<dialogs::SearchDialog>("código de barras do arroz", [&](dialogs::SearchDialog& d) {
    c.type(&d, rice.barcode);
    c.press(&d, Qt::Key_Return);
  });
  c.on<Form>("adiciona o arroz", [&](Form& f) { c.touch(f.bldAddProd); });
  c.on<Form>("recebimento", [&](Form& f) { c.touch(f.bldCodRece); });
  c.on<dialogs::SearchDialog>("pix", [&](dialogs::SearchDialog& d) {
    c.type(&d, QStringLiteral("pix"));
    c.press(&d, Qt::Key_Return);
  });
  c.on<Form>("valor", [&](Form& f) { c.touch(f.bldValorRece); });
  c.on<dialogs::NumericKeypadDialog>("27,90", [&](dialogs::NumericKeypadDialog& d) {
    c.type(&d, QStringLiteral("27,90"));
    c.press(&d, Qt::Key_Return);
  });
  c.on<Form>("adiciona o pix", [&](Form& f) { c.touch(f.bldAddRece); });
  c.on<Form>("Gerar Cupom", [&](Form& f) { c.touch(f.bldGravar); });
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

}  // namespace
}  // namespace e2e
