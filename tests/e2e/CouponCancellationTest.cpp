// Cancelling the coupon at the till: two items on an open coupon, "Cancela Cupom" writes the
// sale as cancelled and no cash movement; touching it again is refused, since the printer's
// last coupon is already cancelled, and the sale file stays as it was. A coupon already
// closed is cancelled the same way: its sale file turns "C", its cash movement stays.
#include <QFile>

#include "dialogs/NumericKeypadDialog.h"
#include "dialogs/SearchDialog.h"
#include "e2e/Till.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "runtime/MessageDialog.h"

namespace e2e {
namespace {

using Form = TfrmVendaArquivo;
using dialogs::NumericKeypadDialog;
using dialogs::SearchDialog;
using runtime::MessageDialog;

QByteArray contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CouponCancellation : public Till {};

TEST_F(CouponCancellation, OpenCouponCancelledThenSecondCancelRefused) {
  open(demo::Options{});
  const Product rice = product(QStringLiteral("Arroz Branco Tipo 1 5 kg"));
  const Product stew = product(QStringLiteral("Feijoada Completa"));
  const QString saleFile = QStringLiteral("Venda10_2_000001.cds");
  QByteArray afterCancel;

  Cashier& c = *cashier_;
  c.on<Form>("escolher o arroz", [&](Form& f) { c.touch(f.bldCodigo); });
  c.on<SearchDialog>("código de barras do arroz", [&](SearchDialog& d) {
    c.type(&d, rice.barcode);
    c.press(&d, Qt::Key_Return);
  });
  c.on<Form>("adiciona o arroz", [&](Form& f) { c.touch(f.bldAddProd); });
  c.on<Form>("escolher a feijoada", [&](Form& f) { c.touch(f.bldCodigo); });
  c.on<SearchDialog>("feijoada", [&](SearchDialog& d) {
    c.type(&d, QStringLiteral("feijoada"));
    c.press(&d, Qt::Key_Return);
  });
  c.on<Form>("adiciona a feijoada", [&](Form& f) { c.touch(f.bldAddProd); });
  c.on<Form>("dois itens no cupom aberto: Cancela Cupom", [&](Form& f) {
    EXPECT_EQ(f.cdsAddProduto.recordCount(), 2);
    EXPECT_EQ(f.lblTotal->text(), QStringLiteral("57,80"));
    EXPECT_TRUE(boCupomAberto);
    c.touch(f.bldCancela);
  });
  c.on<Form>("cupom cancelado, tela limpa: Cancela Cupom de novo", [&](Form& f) {
    EXPECT_FALSE(boCupomAberto);
    EXPECT_EQ(f.lblTotal->text(), QString());
    EXPECT_EQ(f.cdsAddProduto.recordCount(), 0);
    afterCancel = contents(outputPath(saleFile));
    EXPECT_FALSE(afterCancel.isEmpty()) << "o cancelamento não gravou o arquivo da venda";
    c.shot(QStringLiteral("01-cupom-cancelado"));
    c.touch(f.bldCancela);
  });
  c.on<MessageDialog>("a impressora recusa: o cupom já foi cancelado", [&](MessageDialog& d) {
    EXPECT_EQ(d.shape(), MessageDialog::Shape::Information);
    EXPECT_TRUE(Cashier::messageText(d).contains(QStringLiteral("000001")))
        << Cashier::messageText(d).toStdString();
    c.shot(QStringLiteral("02-recusa-da-impressora"));
    c.press(&d, Qt::Key_Return);
  });
  c.on<MessageDialog>("a tela recusa o cancelamento", [&](MessageDialog& d) {
    EXPECT_EQ(
        Cashier::messageText(d),
        QStringLiteral("Cancelamento não permitido. O último cupom fiscal já foi cancelado."));
    c.shot(QStringLiteral("03-cancelamento-nao-permitido"));
    c.touch(Cashier::button(d, QStringLiteral("OK")));
  });
  c.on<Form>("sair", [&](Form& f) { c.touch(f.spdSair); });

  sell();
  ASSERT_TRUE(c.failures().isEmpty());

  EXPECT_EQ(outputFiles(), QStringList{saleFile})
      << "um cupom cancelado aberto não tem movimento de caixa";
  EXPECT_EQ(contents(outputPath(saleFile)), afterCancel) << "a recusa mexeu no arquivo da venda";
  const auto sale = readOutput(saleFile);
  ASSERT_TRUE(sale);
  ASSERT_EQ(sale->recordCount(), 2);
  QStringList names;
  for (sale->first(); !sale->eof(); sale->next()) {
    names << sale->asText(QStringLiteral("NMPRODUTO"));
    EXPECT_EQ(sale->asText(QStringLiteral("IDSITUVENDA")), QStringLiteral("C"));
    EXPECT_EQ(sale->asText(QStringLiteral("NRCUPOMFIS")), QStringLiteral("000001"));
  }
  EXPECT_EQ(names, (QStringList{rice.name, stew.name}));

  const QString paper = tape();
  EXPECT_TRUE(paper.contains(QStringLiteral("CUPOM CANCELADO"))) << paper.toStdString();
  EXPECT_TRUE(paper.contains(QStringLiteral("*** COMANDO RECUSADO ***"))) << paper.toStdString();
}

TEST_F(CouponCancellation, ClosedCouponCancelledKeepsItsCashMovement) {
  open(demo::Options{});
  const Product rice = product(QStringLiteral("Arroz Branco Tipo 1 5 kg"));
  const QString saleFile = QStringLiteral("Venda10_2_000001.cds");
  const QString cashFile = QStringLiteral("MovCaixa10_2_000001.cds");
  QByteArray cashAtClose;

  Cashier& c = *cashier_;
  c.on<Form>("escolher o arroz", [&](Form& f) { c.touch(f.bldCodigo); });
  c.on<SearchDialog>("código de barras do arroz", [&](SearchDialog& d) {
    c.type(&d, rice.barcode);
    c.press(&d, Qt::Key_Return);
  });
  c.on<Form>("adiciona o arroz", [&](Form& f) { c.touch(f.bldAddProd); });
  c.on<Form>("recebimento", [&](Form& f) { c.touch(f.bldCodRece); });
  c.on<SearchDialog>("pix", [&](SearchDialog& d) {
    c.type(&d, QStringLiteral("pix"));
    c.press(&d, Qt::Key_Return);
  });
  c.on<Form>("valor", [&](Form& f) { c.touch(f.bldValorRece); });
  c.on<NumericKeypadDialog>("27,90 exatos", [&](NumericKeypadDialog& d) {
    c.type(&d, QStringLiteral("27,90"));
    c.press(&d, Qt::Key_Return);
  });
  c.on<Form>("adiciona o pix", [&](Form& f) { c.touch(f.bldAddRece); });
  c.on<Form>("sem troco: Gerar Cupom", [&](Form& f) {
    EXPECT_EQ(f.lblTotRecebido->text(), QStringLiteral("27,90"));
    c.touch(f.bldGravar);
  });
  c.on<Form>("o cupom fechou: Cancela Cupom", [&](Form& f) {
    EXPECT_FALSE(boCupomAberto);
    cashAtClose = contents(outputPath(cashFile));
    EXPECT_FALSE(cashAtClose.isEmpty());
    c.touch(f.bldCancela);
  });
  c.on<Form>("sair", [&](Form& f) { c.touch(f.spdSair); });

  sell();
  ASSERT_TRUE(c.failures().isEmpty());

  EXPECT_EQ(outputFiles(), (QStringList{cashFile, saleFile}));
  EXPECT_EQ(contents(outputPath(cashFile)), cashAtClose)
      << "o cancelamento mexeu no movimento de caixa";
  const auto sale = readOutput(saleFile);
  ASSERT_TRUE(sale);
  ASSERT_EQ(sale->recordCount(), 1);
  EXPECT_EQ(sale->asText(QStringLiteral("IDSITUVENDA")), QStringLiteral("C"));
  EXPECT_EQ(sale->asText(QStringLiteral("NMPRODUTO")), rice.name);
  const auto cash = readOutput(cashFile);
  ASSERT_TRUE(cash);
  ASSERT_EQ(cash->recordCount(), 1);  // paid exactly: no change row
  EXPECT_EQ(cash->asText(QStringLiteral("NMTIPORECE")), QStringLiteral("PIX"));

  const QString paper = tape();
  EXPECT_TRUE(paper.contains(QStringLiteral("COO DO CUPOM CANCELADO: 000001")))
      << paper.toStdString();
}

}  // namespace
}  // namespace e2e
