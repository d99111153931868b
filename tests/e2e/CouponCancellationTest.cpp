// Cancelling the coupon at the till: two items on an open coupon, "Cancela Cupom" writes the
// sale as cancelled and no cash movement; touching it again is refused, since the printer's
// last coupon is already cancelled, and the sale file stays as it was.
#include "e2e/Till.h"

#include "dialogs/SearchDialog.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "runtime/MessageDialog.h"

#include <QFile>

namespace e2e {
namespace {

using Form = TfrmVendaArquivo;
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
    EXPECT_TRUE(Cashier::messageText(d).contains(QStringLiteral("000001"))) << Cashier::messageText(d).toStdString();
    c.shot(QStringLiteral("02-recusa-da-impressora"));
    c.press(&d, Qt::Key_Return);
  });
  c.on<MessageDialog>("a tela recusa o cancelamento", [&](MessageDialog& d) {
    EXPECT_EQ(Cashier::messageText(d),
              QStringLiteral("Cancelamento não permitido. O último cupom fiscal já foi cancelado."));
    c.shot(QStringLiteral("03-cancelamento-nao-permitido"));
    c.touch(Cashier::button(d, QStringLiteral("OK")));
  });
  c.on<Form>("sair", [&](Form& f) { c.touch(f.spdSair); });

  sell();
  ASSERT_TRUE(c.failures().isEmpty());

  EXPECT_EQ(outputFiles(), QStringList{saleFile}) << "um cupom cancelado aberto não tem movimento de caixa";
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

}  // namespace
}  // namespace e2e
