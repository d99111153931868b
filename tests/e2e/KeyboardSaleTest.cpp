// A sale with the keyboard and a barcode scanner only, on the real windows: the scanner on
// the sales screen with no touch first, Alt+P, F2 to search, F5/F6 to pay, Alt+R, F9. The
// sale file, the cash-movement file and the printer's tape must tell the same sale.
#include <QRegularExpression>

#include "dialogs/NumericKeypadDialog.h"
#include "dialogs/SearchDialog.h"
#include "e2e/Till.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"

namespace e2e {
namespace {

using Form = TfrmVendaArquivo;
using dialogs::NumericKeypadDialog;
using dialogs::SearchDialog;

class KeyboardSale : public Till {};

TEST_F(KeyboardSale, ScannerAndKeysOnly) {
  open(demo::Options{});
  const Product rice = product(QStringLiteral("Arroz Branco Tipo 1 5 kg"));
  const Product stew = product(QStringLiteral("Feijoada Completa"));
  ASSERT_FALSE(rice.barcode.isEmpty());
  ASSERT_DOUBLE_EQ(rice.price + stew.price, 57.80);
  Cashier& c = *cashier_;

  // The scanner types as fast as the platform delivers keys (each key a millisecond apart).
  c.on<Form>("o leitor lê o arroz na tela de vendas", [&](Form& f) {
    c.type(&f, rice.barcode);
    c.press(&f, Qt::Key_Return);
    EXPECT_EQ(f.lblProd->text(), rice.name + QStringLiteral(" - UN"));
    EXPECT_EQ(f.bldQuant->text(), QStringLiteral("1"));
    c.press(&f, Qt::Key_Escape);  // does nothing: the screen stays
    c.press(&f, Qt::Key_P, Qt::AltModifier);
  });
  c.on<Form>("F2 abre a pesquisa", [&](Form& f) {
    EXPECT_EQ(f.cdsAddProduto.recordCount(), 1);
    EXPECT_EQ(f.lblTotal->text(), QStringLiteral("27,90"));
    c.press(&f, Qt::Key_F2);
  });
  c.on<SearchDialog>("digita feijoada e Enter", [&](SearchDialog& d) {
    c.type(&d, QStringLiteral("feijoada"));
    c.press(&d, Qt::Key_Return);
  });
  c.on<Form>("Alt+P adiciona a feijoada", [&](Form& f) {
    EXPECT_EQ(f.lblProd->text(), stew.name + QStringLiteral(" - UN"));
    c.press(&f, Qt::Key_P, Qt::AltModifier);
  });
  c.on<Form>("F9 antes de pagar não faz nada; F5 escolhe o recebimento", [&](Form& f) {
    EXPECT_EQ(f.lblTotal->text(), QStringLiteral("57,80"));
    c.press(&f, Qt::Key_F9);
    c.press(&f, Qt::Key_F5);
  });
  c.on<SearchDialog>("digita dinheiro e Enter", [&](SearchDialog& d) {
    c.type(&d, QStringLiteral("dinheiro"));
    c.press(&d, Qt::Key_Return);
  });
  c.on<Form>("F6 abre o valor", [&](Form& f) {
    EXPECT_EQ(f.bldCodRece->text(), QStringLiteral("001 - DINHEIRO"));
    c.press(&f, Qt::Key_F6);
  });
  c.on<NumericKeypadDialog>("digita 100", [&](NumericKeypadDialog& d) {
    c.type(&d, QStringLiteral("100"));
    c.press(&d, Qt::Key_Return);
  });
  c.on<Form>("Alt+R adiciona o recebimento",
             [&](Form& f) { c.press(&f, Qt::Key_R, Qt::AltModifier); });
  c.on<Form>("F9 gera o cupom", [&](Form& f) {
    EXPECT_EQ(f.lblValTroco->text(), QStringLiteral("42,20"));
    ASSERT_TRUE(f.bldGravar->isEnabled());
    c.press(&f, Qt::Key_F9);
  });
  c.on<Form>("pronto para a próxima venda: sair", [&](Form& f) {
    EXPECT_FALSE(boCupomAberto);
    EXPECT_EQ(f.cdsAddProduto.recordCount(), 0);
    c.touch(f.spdSair);
  });
  sell();
  ASSERT_TRUE(c.failures().isEmpty());

  // The files and the paper tell one sale: two items, 100,00 in cash, 42,20 change.
  const auto sale = readOutput(QStringLiteral("Venda10_2_000001.cds"));
  const auto cash = readOutput(QStringLiteral("MovCaixa10_2_000001.cds"));
  ASSERT_TRUE(sale && cash);
  QStringList rows;
  for (sale->first(); !sale->eof(); sale->next())
    rows << sale->asText(QStringLiteral("NMPRODUTO")) + sale->asText(QStringLiteral("VRTOTVEND"));
  for (cash->first(); !cash->eof(); cash->next())
    rows << cash->asText(QStringLiteral("IDTIPOMOVIVE")) +
                cash->asText(QStringLiteral("VRMOVIVEND"));
  EXPECT_EQ(rows, (QStringList{rice.name + "27,9", stew.name + "29,9", "S42,2", "E100"}));
  const QString paper = tape();
  for (const QString& line :
       {QStringLiteral("001 ") + rice.barcode + " " + rice.name,
        QStringLiteral("TOTAL R\\$ +57,80"), QStringLiteral("Dinheiro +100,00"),
        QStringLiteral("TROCO R\\$ +42,20")}) {
    EXPECT_TRUE(QRegularExpression("(^|\\n)" + line + "\\r?\\n").match(paper).hasMatch())
        << line.toStdString() << "\n"
        << paper.toStdString();
  }
}

}  // namespace
}  // namespace e2e
