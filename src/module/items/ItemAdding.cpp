// Adding an item: opens the coupon with the first item (asking for the customer's data when
// the parameters want it), registers the item on the printer and, only when the printer
// took it, puts its row in the item list and adds it to the sale total.
#include <algorithm>

#include "framework/core/Error.h"
#include "framework/text/NumberText.h"
#include "module/items/ItemMessages.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "outside/Outside.h"

namespace {

// The highest item number in the list (0 for none). Numbers come from the rows, not from
// the current row: after the cashier moved up the list the current row is an older item,
// and a repeated number would make the printer cancel the wrong item.
int highestItemNumber(const fw::LocalTable& list) {
  const int column = list.fieldIndex(QStringLiteral("NRSEQUITVENDA"));
  const int rows = list.recordCount();
  int highest = 0;
  for (int row = 0; row < rows; ++row) {
    bool ok = false;
    const int number = list.textAt(row, column).trimmed().toInt(&ok);
    if (ok) highest = std::max(highest, number);
  }
  return highest;
}

// CEST#NCM#name; a missing code leaves out its part and its mark.
QString itemDescription(const fw::LocalTable& products) {
  QString description;
  const QString cest = products.asText(QStringLiteral("CDCEST"));
  if (!cest.isEmpty()) description += cest + QLatin1Char('#');
  const QString ncm = products.asText(QStringLiteral("CDNCM"));
  if (!ncm.isEmpty()) description += ncm + QLatin1Char('#');
  return description + products.asText(QStringLiteral("NMPRODUTO"));
}

// A payment type the payment entry offers (shown on this screen, with a code). The entry's
// filter only ever hides rows that are not shown, so the visible rows are enough.
bool anyUsablePaymentType(const fw::LocalTable& types) {
  if (!types.active()) return false;
  const int shown = types.fieldIndex(QStringLiteral("IDMOSTRARECE"));
  const int code = types.fieldIndex(QStringLiteral("CDTIPORECE"));
  if (shown < 0 || code < 0) return false;
  for (int row = 0; row < types.recordCount(); ++row) {
    if (types.textAt(row, shown) == QLatin1String("S") &&
        !types.textAt(row, code).trimmed().isEmpty())
      return true;
  }
  return false;
}

}  // namespace

std::vector<fw::FieldDef> TfrmVendaArquivo::itemListFields() {
  using fw::FieldDef;
  const auto money = [](const char* name) {
    return FieldDef::number(QString::fromLatin1(name), {}, true, true);
  };
  const auto text = [](const char* name, int width) {
    return FieldDef::text(QString::fromLatin1(name), width);
  };
  const auto number = [](const char* name) { return FieldDef::number(QString::fromLatin1(name)); };
  const auto dateTime = [](const char* name) {
    return FieldDef::dateTime(QString::fromLatin1(name));
  };
  return {
      text("NMCONSVEND", 50),
      text("NMPRODUTO", 50),
      text("CDCAIXA", 3),
      text("CDFILIAL", 4),
      text("NRSEQVENDA", 10),
      text("NRSEQUITVENDA", 10),
      text("CDCLIENTE", 20),
      text("CDEMPRESA", 2),
      dateTime("DTVENDA"),
      dateTime("DTENTRVENDA"),
      text("IDSITUVENDA", 1),
      number("VRDESCVENDA"),
      text("CDFILIALTUR", 4),
      text("CDCAIXATUR", 3),
      dateTime("DTABERTUR"),
      text("IDTIPOIMPV", 1),
      dateTime("DTFECHAVENDA"),
      text("NRCUPOMFIS", 10),
      text("CDOPERADOR", 12),
      text("CDLOJA", 10),
      text("IDTIPOVENDA", 1),
      text("TXOBSVENDA", 2000),
      text("IDVENDEBCONS", 1),
      text("NRMESA", 4),
      text("CDSALA", 5),
      text("IDCANCMANUAL", 1),
      number("QTPRODVEND"),
      money("VRTOTVEND"),
      money("VRUNITVEND"),
      number("VRDESITVEND"),
      text("CDPRODUTO", 10),
      number("VRUNITVENDCL"),
      text("CDGRUPPROD", 10),
      text("CDSUBGRPROD", 10),
      text("CDFISUBGRVND", 4),
      number("VRACRITVEND"),
      text("DSOBSITEMVENDA", 2000),
      text("CDPRODPROMOCAO", 10),
      text("NMIMPOSTO", 30),
      number("VRPEALIMPFIS"),
      text("SGIMPOSTO", 10),
      text("CDVENDEDOR", 4),
      text("NRINSCRCONS", 20),
      text("NRVENDAREST", 10),
      text("CDSERVFILI", 5),
      number("VRTXSERVICO"),
      number("VRACRCOMANDA"),
      number("QTPRODCOMVEN"),
      number("VRPRECCOMVEN"),
      number("VRDESCCOMVEN"),
      text("CDLOJAIT", 10),
      text("CDFAMILISALD", 3),
      number("VRDESCOMANDA"),
      text("NRCONTCUPOMFISC", 10),
      text("CDORDALIQIMPR", 5),
      number("VRALIQIMPR"),
      text("DSENDEVENDA", 60),
      text("NRSUBSERIEVND", 50),
      text("NRORDEMVND", 50),
      text("NRSERIEVND", 50),
      text("NRCOMANDA", 10),
      text("CDVENDEDORITEM", 4),
      number("VRREPIQUEVENDA"),
      text("NRSEQ", 3),
      dateTime("DTHRABERMESA"),
      number("VRACRCOMVEN"),
      text("CDPRODIMPFIS", 4),
      text("IDPRODIMPFIS", 1),
      dateTime("DTABERCAIX"),
  };
}

void TfrmVendaArquivo::bldAddProdClick(QObject* /*sender*/) {
  const KeepOnReturn keep(*this);
  if (outside::EmptyString(bldCodigo->text())) {
    showMessage(msgPadrao.Msg(QStringLiteral("Falta_Prod")));
    return;
  }
  // A command a crash left unconfirmed is settled before this touch changes anything: no
  // row is made for an item the printer is then never asked for.
  settlePendingFirst();
  // What the last sale still owes to the files comes first: its rows must never reach a
  // new coupon. Settling clears the screen, but not the product the cashier chose.
  if (boCupomFechado || !cancelamentoDevido.isEmpty()) {
    const QString chosen[] = {bldCodigo->text(), lblProd->text(), bldPrecoUn->text(),
                              bldQuant->text()};
    if (!settleOwedFiles()) return;
    bldCodigo->setText(chosen[0]);
    lblProd->setText(chosen[1]);
    bldPrecoUn->setText(chosen[2]);
    bldQuant->setText(chosen[3]);
  }
  // A coupon that could never be paid is not opened.
  if (!boCupomAberto && !anyUsablePaymentType(cdsRecebAux)) {
    showMessage(QStringLiteral(
        "Nenhum tipo de recebimento pode ser usado nesta tela: o cupom não foi aberto. "
        "Verifique o cadastro de tipos de recebimento."));
    return;
  }

  // Both live only for the addition that opens the coupon.
  int openingInteger = 0;
  QString couponCounter;
  if (!boCupomAberto && !openCoupon(openingInteger, couponCounter)) return;

  const double unitPrice = cdsProdutos.asNumber(QStringLiteral("VRPRECITEM"));
  const bool firstRow = !cdsAddProduto.active() || cdsAddProduto.isEmpty();
  bool created = false;
  const QString itemNumber = nextItemNumber(&created);
  const double quantity = fw::parseNumber(bldQuant->text());
  // The item total as the grid, the sale total and the printer show it (to the cent), so
  // cancelling it later takes off exactly what it put on.
  const double itemTotal = fw::roundAmount(unitPrice * quantity);

  // The row is kept with the command before the printer is asked, so that a host killed
  // before the answer was kept can find out at start-up whether the printer has the item.
  appendItemRow(itemNumber, quantity, unitPrice, itemTotal, couponCounter);
  askingPrinter(QStringLiteral("I"), itemNumber);
  cdsAddProduto.remove();
  bool registered = false;
  try {
    registered = registerItem(openingInteger, unitPrice);
  } catch (const std::exception& e) {
    // The bridge failed without an answer: the printer may have the item. The row goes back
    // with the command still pending, so that the settlement keeps it if the printer has it.
    appendItemRow(itemNumber, quantity, unitPrice, itemTotal, couponCounter);
    keepSale();
    const QString error = fw::messageOf(e);
    QString problem;
    bool settled = false;
    try {
      settlePendingCommand(&problem);
      settled = true;
    } catch (const std::exception&) {
      // Settled at the next touch that uses the printer.
    }
    if (settled && cdsAddProduto.active() && !cdsAddProduto.isEmpty()) applyFinishRule();
    throw fw::Error(
        settled ? QStringLiteral("A impressora fiscal falhou ao registrar o item (%1). A venda na "
                                 "tela foi acertada com o que a impressora registrou: confira.")
                      .arg(error)
                : QStringLiteral("A impressora fiscal falhou ao registrar o item (%1). O item "
                                 "será conferido com a impressora no próximo toque que a use.")
                      .arg(error));
  }
  comandoPendente.clear();
  itemPendente.clear();
  if (!registered) {
    if (created) cdsAddProduto.close();  // the list is made with the first item it holds
    showMessage(msgPadrao.Msg(QStringLiteral("CancItem")));
    bldAddProd->setEnabled(false);
    clearProductEntry();
    return;
  }
  appendItemRow(itemNumber, quantity, unitPrice, itemTotal, couponCounter);

  lblTot->setVisible(true);
  lblTotal->setVisible(true);

  showSaleTotal(firstRow ? itemTotal : saleTotal() + itemTotal);
  applyFinishRule();
  clearProductEntry();
}

// The coupon opened on the printer for the sale's first item, with the customer's data
// when the shop asks for it. False when the printer refused.
bool TfrmVendaArquivo::openCoupon(int& openingInteger, QString& couponCounter) {
  QString customer0;
  QString customer1;
  QString customer2;
  if (stSolicitaCPF == QLatin1String("S")) {
    fw::Variant answer = fw::Variant::emptyArray(10);
    const fw::VariantList values{QString(), QString(), QString(),   QString(),
                                 QString(), QString(), stIdEsquema, stInfNomeEnd};
    outside::CriaInfAdicional(values, answer);
    customer0 = answer.at(0).toText();
    customer1 = answer.at(1).toText();
    customer2 = answer.at(2).toText();
  }
  fw::Variant bag = outside::Params_AbreCupom_Kerrit(
      stIdEsquema, openingInteger, customer0, customer1, customer2, stCupomVen, couponCounter,
      QString(), QString(), QString(), QString(), QString(), QString(), QString(), false);
  askingPrinter(QStringLiteral("A"));
  const bool opened = outside::AbreCupom(bag);
  comandoPendente.clear();
  if (!opened) return false;
  stCupomVen = outside::RecebeParams(bag, QStringLiteral("CUPNR")).toText();
  couponCounter = outside::RecebeParams(bag, QStringLiteral("CONTCUPOM")).toText();
  boCupomAberto = true;
  arquivosTentados = false;
  // The printer holds a coupon now: kept before the item goes to it.
  keepSale();
  return true;
}

// The prepared product sold on the printer; false when the printer refused it.
bool TfrmVendaArquivo::registerItem(int openingInteger, double unitPrice) {
  const QString barcode = cdsProdutos.asText(QStringLiteral("CDBARPRODUTO"));
  const QString itemCode =
      barcode.isEmpty() ? cdsProdutos.asText(QStringLiteral("CDARVPROD")) : barcode;
  fw::Variant itemBag = outside::Params_VendaItem_Kerrit(
      stIdEsquema, QString(), QStringLiteral("D"), itemCode, itemDescription(cdsProdutos),
      stCdAliquota, preparedTaxKind, cdsProdutos.asText(QStringLiteral("SGUNIDADE")), QString(),
      stVrAliquota, QString(), openingInteger, fw::parseNumber(stQuant), unitPrice, 0.0, 0.0,
      false);
  return outside::VendaItem(itemBag);
}

// The next item's number ("001", ...), creating the item list for the sale's first item.
QString TfrmVendaArquivo::nextItemNumber(bool* created) {
  int lastNumber = 0;
  if (!cdsAddProduto.active()) {
    if (!cdsAddProduto.hasDeclaredFields()) cdsAddProduto.declareFields(itemListFields());
    cdsAddProduto.createDataSet();
    *created = true;
  } else if (!cdsAddProduto.isEmpty()) {
    lastNumber = highestItemNumber(cdsAddProduto);
  }
  return outside::Ajusta(QString::number(lastNumber + 1), 3);
}

void TfrmVendaArquivo::appendItemRow(const QString& itemNumber, double quantity, double unitPrice,
                                     double itemTotal, const QString& couponCounter) {
  const QString code = bldCodigo->text();
  // The tax percentage is stored as its general text form reads back (15 significant
  // digits); a product without one leaves the field empty.
  const QString taxField = QStringLiteral("VRPEALIMPFIS");
  const QString taxText =
      cdsProdutos.isNull(taxField) ? QString() : fw::formatGeneral(cdsProdutos.asNumber(taxField));

  fw::LocalTable& list = cdsAddProduto;
  list.insert();
  list.setText(QStringLiteral("NMPRODUTO"), cdsProdutos.asText(QStringLiteral("NMPRODUTO")));
  list.setText(QStringLiteral("CDCAIXA"), stCaixaAber);
  list.setText(QStringLiteral("CDFILIAL"), stFilialLogin);
  list.setText(QStringLiteral("NRSEQVENDA"), QString());
  list.setText(QStringLiteral("NRSEQUITVENDA"), itemNumber);
  list.setText(QStringLiteral("CDCLIENTE"), stCdCliente);
  list.setText(QStringLiteral("CDEMPRESA"), stCdEmpresa);
  list.setDateTime(QStringLiteral("DTVENDA"), fw::nowDateTime());
  list.setDateTime(QStringLiteral("DTENTRVENDA"), dtDataMovimento);
  list.setText(QStringLiteral("IDSITUVENDA"), QStringLiteral("O"));
  list.setNumber(QStringLiteral("VRDESCVENDA"), 0.0);
  list.setText(QStringLiteral("CDFILIALTUR"), stFilialLogin);
  list.setText(QStringLiteral("CDCAIXATUR"), stCaixaAber);
  list.setDateTime(QStringLiteral("DTABERTUR"), dtAberCaixa);
  list.setDateTime(QStringLiteral("DTFECHAVENDA"), fw::nowDateTime());
  list.setText(QStringLiteral("NRCUPOMFIS"), stCupomVen);
  list.setText(QStringLiteral("CDOPERADOR"), stOperadorLogin);
  list.setText(QStringLiteral("CDLOJA"), stLojaAber);
  list.setText(QStringLiteral("IDTIPOVENDA"), QStringLiteral("D"));
  list.setText(QStringLiteral("TXOBSVENDA"), items::saleNoteText(msgPadrao));
  list.setText(QStringLiteral("IDVENDEBCONS"), QStringLiteral("N"));
  list.setText(QStringLiteral("IDCANCMANUAL"), QStringLiteral("N"));
  list.setNumber(QStringLiteral("QTPRODVEND"), quantity);
  list.setNumber(QStringLiteral("VRTOTVEND"), itemTotal);
  list.setNumber(QStringLiteral("VRUNITVEND"), unitPrice);
  list.setText(QStringLiteral("CDPRODUTO"), code);
  list.setNumber(QStringLiteral("VRUNITVENDCL"), 0.0);
  list.setText(QStringLiteral("CDGRUPPROD"), QString());
  list.setText(QStringLiteral("CDSUBGRPROD"), QString());
  list.setText(QStringLiteral("CDFISUBGRVND"), QString());
  list.setText(QStringLiteral("CDPRODPROMOCAO"), code);
  if (taxText.isEmpty()) {
    list.setNull(QStringLiteral("VRPEALIMPFIS"));
  } else {
    list.setNumber(QStringLiteral("VRPEALIMPFIS"), fw::parseNumber(taxText));
  }
  list.setNumber(QStringLiteral("QTPRODCOMVEN"), quantity);
  list.setNumber(QStringLiteral("VRPRECCOMVEN"), unitPrice);
  list.setText(QStringLiteral("NRCONTCUPOMFISC"), couponCounter);
  list.setText(QStringLiteral("CDORDALIQIMPR"), stCdAliquota);
  list.setText(QStringLiteral("NRCOMANDA"), QString());
  list.setNumber(QStringLiteral("VRREPIQUEVENDA"), 0.0);
  list.setText(QStringLiteral("NRSEQ"), itemNumber);
  list.setText(QStringLiteral("IDPRODIMPFIS"), QStringLiteral("S"));
  list.post();
}
