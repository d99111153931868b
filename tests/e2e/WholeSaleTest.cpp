// A whole sale at the till, touch by touch and key by key, through the real windows: the
// customer's CPF, a product by its typed barcode, one picked with the mouse, a weighed one
// with quantity 2,5, one item cancelled, a card and a cash payment with change, "Gerar Cupom".
// Then the sale and cash-movement files and the printer's tape must tell the same sale.
#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTableView>
#include <map>

#include "dialogs/CustomerDataDialog.h"
#include "dialogs/NumericKeypadDialog.h"
#include "dialogs/SearchDialog.h"
#include "e2e/Till.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "runtime/MessageDialog.h"

namespace e2e {
namespace {

using Form = TfrmVendaArquivo;
using dialogs::CustomerDataDialog;
using dialogs::NumericKeypadDialog;
using dialogs::SearchDialog;
using runtime::MessageDialog;

// The shown row of the search grid holding `text` in a column, -1 when none.
int gridRowWith(const QTableView& grid, const QString& text) {
  const QAbstractItemModel* model = grid.model();
  for (int row = 0; row < model->rowCount(); ++row) {
    for (int column = 0; column < model->columnCount(); ++column) {
      if (model->index(row, column).data().toString() == text) return row;
    }
  }
  return -1;
}

// What the search grid shows, for failure messages.
std::string gridText(const QTableView& grid) {
  const QAbstractItemModel* model = grid.model();
  QStringList lines;
  for (int row = 0; row < model->rowCount(); ++row) {
    QStringList cells;
    for (int column = 0; column < model->columnCount(); ++column)
      cells << model->index(row, column).data().toString();
    lines << cells.join(QLatin1Char('|'));
  }
  return lines.join(QLatin1Char('\n')).toStdString();
}

// Touches a shown row of the search grid.
void touchRow(Cashier& c, const SearchDialog& d, int row) {
  c.touch(d.grid()->viewport(), d.grid()->visualRect(d.grid()->model()->index(row, 0)).center());
}

// The cells of the highlighted row, joined.
QString highlightedName(const SearchDialog& d) {
  const int row = d.grid()->currentIndex().row();
  QStringList cells;
  for (int column = 0; column < d.grid()->model()->columnCount(); ++column) {
    cells << d.grid()->model()->index(row, column).data().toString();
  }
  return cells.join(QLatin1Char('|'));
}

bool tapeHasLine(const QString& tape, const QString& pattern) {
  return QRegularExpression(QStringLiteral("(^|\\n)") + pattern + QStringLiteral("(\\r?\\n|$)"))
      .match(tape)
      .hasMatch();
}

class WholeSale : public Till {};

TEST_F(WholeSale, ThreeItemsOneCancelledTwoPaymentsWithChange) {
  open(demo::Options{.askCpf = true});
  const Product rice = product(QStringLiteral("Arroz Branco Tipo 1 5 kg"));
  const Product stew = product(QStringLiteral("Feijoada Completa"));
  const Product banana = product(QStringLiteral("Banana Nanica"));
  ASSERT_FALSE(rice.barcode.isEmpty());
  // The totals below are worked out from these prices.
  ASSERT_DOUBLE_EQ(rice.price, 27.90);
  ASSERT_DOUBLE_EQ(stew.price, 29.90);
  ASSERT_DOUBLE_EQ(banana.price, 7.08);

  Cashier& c = *cashier_;

  c.on<Form>("a tela abre vazia", [&](Form& f) {
    EXPECT_EQ(f.lblTotal->text(), QString());
    EXPECT_FALSE(f.bldGravar->isEnabled());
    EXPECT_EQ(f.lblConexao->text(), QStringLiteral("Banco de dados offline"));
    c.shot(QStringLiteral("01-tela-inicial"));
    c.touch(f.bldCodigo);
  });
  c.on<SearchDialog>("o leitor digita o código de barras do arroz", [&](SearchDialog& d) {
    c.shot(QStringLiteral("02-pesquisa-produtos"));
    c.type(&d, rice.barcode);
    EXPECT_EQ(d.shownRowCount(), 1);
    EXPECT_TRUE(highlightedName(d).contains(rice.name)) << highlightedName(d).toStdString();
    c.press(&d, Qt::Key_Return);
  });
  c.on<Form>("o arroz está pronto: adicionar", [&](Form& f) {
    EXPECT_EQ(f.lblProd->text(), rice.name + QStringLiteral(" - UN"));
    EXPECT_EQ(f.bldPrecoUn->text(), QStringLiteral("R$27,90"));
    EXPECT_EQ(f.bldQuant->text(), QStringLiteral("1"));
    c.touch(f.bldAddProd);
  });
  c.on<CustomerDataDialog>("o cliente dá o CPF, o nome e o endereço", [&](CustomerDataDialog& d) {
    c.type(&d, QStringLiteral("52998224725"));
    ASSERT_NE(d.nameLine(), nullptr);
    ASSERT_NE(d.addressLine(), nullptr);
    c.touch(d.nameLine());
    c.type(&d, QStringLiteral("Jose da Silva"));
    c.touch(d.addressLine());
    c.type(&d, QStringLiteral("Rua das Flores, 100"));
    c.shot(QStringLiteral("03-dados-do-cliente"));
    c.touch(Cashier::button(d, QStringLiteral("OK")));
  });
  c.on<Form>("o cupom abriu com o arroz; escolher outro produto", [&](Form& f) {
    EXPECT_TRUE(boCupomAberto);
    EXPECT_EQ(stCupomVen, QStringLiteral("000001"));
    EXPECT_EQ(f.cdsAddProduto.recordCount(), 1);
    EXPECT_EQ(f.lblTotal->text(), QStringLiteral("27,90"));
    EXPECT_EQ(f.lblProd->text(), QStringLiteral("<-- Selecionar produto"));
    c.touch(f.bldCodigo);
  });
  c.on<SearchDialog>("procura a feijoada e toca na linha", [&](SearchDialog& d) {
    c.type(&d, QStringLiteral("feijoada"));
    const int row = gridRowWith(*d.grid(), stew.name);
    ASSERT_GE(row, 0) << gridText(*d.grid());
    touchRow(c, d, row);
    EXPECT_EQ(d.grid()->currentIndex().row(), row);
    c.touch(d.okButton());
  });
  c.on<Form>("adiciona a feijoada", [&](Form& f) {
    EXPECT_EQ(f.lblProd->text(), stew.name + QStringLiteral(" - UN"));
    c.touch(f.bldAddProd);
  });
  c.on<Form>("escolher a banana", [&](Form& f) {
    EXPECT_EQ(f.lblTotal->text(), QStringLiteral("57,80"));
    c.touch(f.bldCodigo);
  });
  c.on<SearchDialog>("procura banana, toca na prata e desce uma linha", [&](SearchDialog& d) {
    c.type(&d, QStringLiteral("banana"));
    const int row = gridRowWith(*d.grid(), QStringLiteral("Banana Prata"));
    ASSERT_GE(row, 0) << gridText(*d.grid());
    touchRow(c, d, row);
    c.touch(d.downButton());
    EXPECT_TRUE(highlightedName(d).contains(banana.name)) << highlightedName(d).toStdString();
    c.press(&d, Qt::Key_Return);
  });
  c.on<Form>("a banana é pesada: toca na quantidade", [&](Form& f) {
    EXPECT_EQ(f.lblProd->text(), banana.name + QStringLiteral(" - KG"));
    c.touch(f.bldQuant);
  });
  c.on<NumericKeypadDialog>("digita 2,5 no teclado", [&](NumericKeypadDialog& d) {
    c.type(&d, QStringLiteral("2,5"));
    c.shot(QStringLiteral("04-teclado-quantidade"));
    c.press(&d, Qt::Key_Return);
  });
  c.on<Form>("adiciona 2,5 kg de banana", [&](Form& f) {
    EXPECT_EQ(f.bldQuant->text(), QStringLiteral("2,5"));
    c.touch(f.bldAddProd);
  });
  c.on<Form>("três itens; desce até a feijoada e cancela", [&](Form& f) {
    EXPECT_EQ(f.cdsAddProduto.recordCount(), 3);
    EXPECT_EQ(f.lblTotal->text(), QStringLiteral("75,50"));
    EXPECT_EQ(f.cdsAddProduto.asText(QStringLiteral("NMPRODUTO")),
              banana.name);  // the newest on top
    c.shot(QStringLiteral("05-tres-itens"));
    c.touch(f.bldAbaixo);
    EXPECT_EQ(f.cdsAddProduto.asText(QStringLiteral("NMPRODUTO")), stew.name);
    c.touch(f.bldCancel);
  });
  c.on<MessageDialog>("confirma o cancelamento do item", [&](MessageDialog& d) {
    EXPECT_EQ(Cashier::messageText(d), QStringLiteral("Confirma o cancelamento do item?"));
    EXPECT_EQ(d.shape(), MessageDialog::Shape::Confirmation);
    c.shot(QStringLiteral("06-confirma-cancelamento"));
    c.touch(Cashier::button(d, QStringLiteral("Sim")));
  });
  c.on<Form>("a feijoada está cancelada; escolher o recebimento", [&](Form& f) {
    EXPECT_EQ(f.lblTotal->text(), QStringLiteral("45,60"));
    EXPECT_EQ(f.cdsAddProduto.recordCount(), 3);  // marked, not removed
    EXPECT_EQ(f.cdsAddProduto.asText(QStringLiteral("IDPRODIMPFIS")), QStringLiteral("C"));
    EXPECT_EQ(f.cdsAddProduto.displayText(QStringLiteral("IDPRODIMPFIS")),
              QStringLiteral("Cancelado"));
    EXPECT_FALSE(f.bldGravar->isEnabled());
    c.shot(QStringLiteral("07-item-cancelado"));
    c.touch(f.bldCodRece);
  });
  c.on<SearchDialog>("digita debito", [&](SearchDialog& d) {
    EXPECT_EQ(d.shownRowCount(), 4)
        << "os tipos de recebimento que não aparecem nesta tela foram oferecidos";
    c.shot(QStringLiteral("08-pesquisa-recebimentos"));
    c.type(&d, QStringLiteral("debito"));
    c.press(&d, Qt::Key_Return);
  });
  c.on<Form>("toca no valor", [&](Form& f) {
    EXPECT_EQ(f.bldCodRece->text(), QStringLiteral("003 - DÉBITO"));
    c.touch(f.bldValorRece);
  });
  c.on<NumericKeypadDialog>("digita 20", [&](NumericKeypadDialog& d) {
    c.type(&d, QStringLiteral("20"));
    c.shot(QStringLiteral("09-teclado-valor"));
    c.press(&d, Qt::Key_Enter);
  });
  c.on<Form>("adiciona o débito", [&](Form& f) {
    EXPECT_EQ(f.bldValorRece->text(), QStringLiteral("R$20,00"));
    c.touch(f.bldAddRece);
  });
  c.on<Form>("falta receber: outro recebimento", [&](Form& f) {
    EXPECT_EQ(f.lblTotRecebido->text(), QStringLiteral("20,00"));
    EXPECT_FALSE(f.bldGravar->isEnabled());
    EXPECT_EQ(f.bldCodRece->text(), QString());
    c.touch(f.bldCodRece);
  });
  // Cash, picked with the mouse and keyed on the touch keypad; paid twice, since the first
  // cash payment is removed again.
  const auto payCash = [&](const QString& when) {
    c.on<SearchDialog>(when + QStringLiteral(": toca em dinheiro e em OK"), [&](SearchDialog& d) {
      const int row = gridRowWith(*d.grid(), QStringLiteral("DINHEIRO"));
      ASSERT_GE(row, 0) << gridText(*d.grid());
      touchRow(c, d, row);
      c.touch(d.okButton());
    });
    c.on<Form>(when + QStringLiteral(": toca no valor do dinheiro"), [&](Form& f) {
      EXPECT_EQ(f.bldCodRece->text(), QStringLiteral("001 - DINHEIRO"));
      c.touch(f.bldValorRece);
    });
    c.on<NumericKeypadDialog>(when + QStringLiteral(": toca 5, 0 e OK no teclado"),
                              [&](NumericKeypadDialog& d) {
                                c.touch(Cashier::button(d, QStringLiteral("5")));
                                c.touch(Cashier::button(d, QStringLiteral("0")));
                                EXPECT_EQ(d.entry().text(), QStringLiteral("50"));
                                c.touch(Cashier::button(d, QStringLiteral("OK")));
                              });
    c.on<Form>(when + QStringLiteral(": adiciona o dinheiro"), [&](Form& f) {
      EXPECT_EQ(f.bldValorRece->text(), QStringLiteral("R$50,00"));
      c.touch(f.bldAddRece);
    });
  };
  payCash(QStringLiteral("1"));
  c.on<Form>(
      "o dinheiro cobre a venda; o cliente muda de ideia: toca no dinheiro e exclui", [&](Form& f) {
        EXPECT_EQ(f.lblTotRecebido->text(), QStringLiteral("70,00"));
        EXPECT_TRUE(f.bldGravar->isEnabled());
        const int row = gridRowWith(*f.dbgRece, QStringLiteral("Dinheiro"));
        ASSERT_GE(row, 0) << gridText(*f.dbgRece);
        c.touch(f.dbgRece->viewport(),
                f.dbgRece->visualRect(f.dbgRece->model()->index(row, 0)).center());
        EXPECT_EQ(f.cdsReceb.asText(QStringLiteral("NMTIPORECE")), QStringLiteral("Dinheiro"));
        c.touch(f.bldCancelaRece);
      });
  c.on<MessageDialog>("confirma a exclusão do recebimento", [&](MessageDialog& d) {
    EXPECT_EQ(Cashier::messageText(d), QStringLiteral("Confirma a exclusão do recebimento?"));
    c.touch(Cashier::button(d, QStringLiteral("Sim")));
  });
  c.on<Form>("só o débito ficou: Gerar Cupom desabilitado; dinheiro de novo", [&](Form& f) {
    EXPECT_EQ(f.cdsReceb.recordCount(), 1);
    EXPECT_EQ(f.cdsReceb.asText(QStringLiteral("NMTIPORECE")), QStringLiteral("Cartão de Débito"));
    EXPECT_EQ(f.lblTotRecebido->text(), QStringLiteral("20,00"));
    EXPECT_EQ(f.lblValTroco->text(), QStringLiteral("0,00"));
    EXPECT_FALSE(f.bldGravar->isEnabled());
    c.touch(f.bldCodRece);
  });
  payCash(QStringLiteral("2"));
  c.on<Form>("recebido com troco: Gerar Cupom", [&](Form& f) {
    EXPECT_EQ(f.lblTotRecebido->text(), QStringLiteral("70,00"));
    EXPECT_EQ(f.lblValTroco->text(), QStringLiteral("24,40"));
    EXPECT_EQ(f.cdsReceb.recordCount(), 2);
    c.shot(QStringLiteral("10-recebimentos"));
    c.touch(f.bldGravar);
  });
  c.on<Form>("a tela está pronta para a próxima venda: sair", [&](Form& f) {
    EXPECT_FALSE(boCupomAberto);
    EXPECT_EQ(f.lblTotal->text(), QString());
    EXPECT_EQ(f.lblTotRecebido->text(), QString());
    EXPECT_EQ(f.lblValTroco->text(), QString());
    EXPECT_EQ(f.cdsAddProduto.recordCount(), 0);
    EXPECT_EQ(f.cdsReceb.recordCount(), 0);
    EXPECT_FALSE(f.bldGravar->isEnabled());
    EXPECT_EQ(f.lblConexao->text(), QStringLiteral("Banco de dados offline"));
    c.shot(QStringLiteral("11-cupom-gerado"));
    c.touch(f.spdSair);
  });

  sell();
  ASSERT_TRUE(c.failures().isEmpty());
  EXPECT_EQ(frmVendaArquivo, nullptr);

  // Both files of the coupon and nothing else (no temporary file left behind).
  EXPECT_EQ(outputFiles(), (QStringList{QStringLiteral("MovCaixa10_2_000001.cds"),
                                        QStringLiteral("Venda10_2_000001.cds")}));

  const auto sale = readOutput(QStringLiteral("Venda10_2_000001.cds"));
  ASSERT_TRUE(sale);
  ASSERT_EQ(sale->recordCount(), 3);
  struct Row {
    QString number, state, printer;
    double quantity, total;
  };
  std::map<QString, Row> byName;
  QStringList order;
  for (sale->first(); !sale->eof(); sale->next()) {
    const QString name = sale->asText(QStringLiteral("NMPRODUTO"));
    order << name;
    byName[name] = {
        sale->asText(QStringLiteral("NRSEQUITVENDA")), sale->asText(QStringLiteral("IDSITUVENDA")),
        sale->asText(QStringLiteral("IDPRODIMPFIS")), sale->asNumber(QStringLiteral("QTPRODVEND")),
        sale->asNumber(QStringLiteral("VRTOTVEND"))};
    EXPECT_EQ(sale->asText(QStringLiteral("NRCUPOMFIS")), QStringLiteral("000001"));
    EXPECT_EQ(sale->asText(QStringLiteral("CDFILIAL")), QStringLiteral("10"));
    EXPECT_EQ(sale->asText(QStringLiteral("CDCAIXA")), QStringLiteral("2"));
  }
  // The screen lists the newest item first; the file lists that list from its last row up.
  EXPECT_EQ(order, (QStringList{rice.name, stew.name, banana.name}));
  ASSERT_EQ(byName.size(), 3u);
  EXPECT_EQ(byName[rice.name].number, QStringLiteral("001"));
  EXPECT_EQ(byName[stew.name].number, QStringLiteral("002"));
  EXPECT_EQ(byName[banana.name].number, QStringLiteral("003"));
  for (const auto& [name, row] : byName)
    EXPECT_EQ(row.state, QStringLiteral("O")) << name.toStdString();
  EXPECT_EQ(byName[rice.name].printer, QStringLiteral("S"));
  EXPECT_EQ(byName[stew.name].printer, QStringLiteral("C"));
  EXPECT_EQ(byName[banana.name].printer, QStringLiteral("S"));
  EXPECT_DOUBLE_EQ(byName[banana.name].quantity, 2.5);
  EXPECT_NEAR(byName[banana.name].total, 17.70, 1e-9);
  EXPECT_NEAR(byName[rice.name].total, 27.90, 1e-9);

  const auto cash = readOutput(QStringLiteral("MovCaixa10_2_000001.cds"));
  ASSERT_TRUE(cash);
  ASSERT_EQ(cash->recordCount(), 3);
  cash->first();
  EXPECT_EQ(cash->asText(QStringLiteral("IDTIPOMOVIVE")), QStringLiteral("S"));  // the change first
  EXPECT_NEAR(cash->asNumber(QStringLiteral("VRMOVIVEND")), 24.40, 1e-9);
  EXPECT_EQ(cash->asText(QStringLiteral("NMTIPORECE")), QStringLiteral("Dinheiro"));
  std::map<QString, double> received;
  for (cash->next(); !cash->eof(); cash->next()) {
    EXPECT_EQ(cash->asText(QStringLiteral("IDTIPOMOVIVE")), QStringLiteral("E"));
    received[cash->asText(QStringLiteral("NMTIPORECE"))] =
        cash->asNumber(QStringLiteral("VRMOVIVEND"));
  }
  EXPECT_EQ(received, (std::map<QString, double>{{QStringLiteral("Cartão de Débito"), 20.0},
                                                 {QStringLiteral("Dinheiro"), 50.0}}));

  // The coupon on paper: the same items, the cancellation, the payments and the change.
  const QString paper = tape();
  EXPECT_TRUE(paper.contains(QStringLiteral("CPF/CNPJ consumidor: 529.982.247-25")))
      << paper.toStdString();
  EXPECT_TRUE(paper.contains(QStringLiteral("NOME: Jose da Silva")));
  EXPECT_TRUE(paper.contains(QStringLiteral("ENDEREÇO: Rua das Flores, 100")));
  EXPECT_TRUE(paper.contains(QStringLiteral("CUPOM FISCAL")));
  EXPECT_TRUE(
      tapeHasLine(paper, QStringLiteral("001 ") + rice.barcode + QStringLiteral(" ") + rice.name))
      << paper.toStdString();
  EXPECT_TRUE(tapeHasLine(paper, QStringLiteral("002 \\S+ ") + stew.name)) << paper.toStdString();
  EXPECT_TRUE(tapeHasLine(paper, QStringLiteral("003 \\S+ ") + banana.name)) << paper.toStdString();
  EXPECT_TRUE(tapeHasLine(paper, QStringLiteral("    2,5 KG x 7,08 \\S+ +17,70")))
      << paper.toStdString();
  EXPECT_TRUE(tapeHasLine(paper, QStringLiteral("CANCELAMENTO ITEM 002 \\S+ +-29,90")))
      << paper.toStdString();
  EXPECT_TRUE(tapeHasLine(paper, QStringLiteral("TOTAL R\\$ +45,60"))) << paper.toStdString();
  EXPECT_TRUE(tapeHasLine(paper, QStringLiteral("Cartão de Débito +20,00"))) << paper.toStdString();
  EXPECT_TRUE(tapeHasLine(paper, QStringLiteral("Dinheiro +50,00"))) << paper.toStdString();
  EXPECT_TRUE(tapeHasLine(paper, QStringLiteral("TROCO R\\$ +24,40"))) << paper.toStdString();
  EXPECT_TRUE(paper.contains(QStringLiteral("MD-5:")));
  EXPECT_TRUE(paper.contains(QStringLiteral("Obrigado pela preferência! Volte sempre.")));
  for (const QString& line : paper.split(QLatin1Char('\n'))) {
    EXPECT_LE(line.size(), 48) << "linha larga demais para a bobina: " << line.toStdString();
  }
}

}  // namespace
}  // namespace e2e
