// The payment list: adding the prepared payment, removing the selected one, moving through
// the list, and keeping the total received (doTotal), the change and "Gerar Cupom" in step.
#include <cmath>
#include <exception>

#include "framework/core/Error.h"
#include "framework/text/NumberText.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "outside/Outside.h"

std::vector<fw::FieldDef> TfrmVendaArquivo::paymentListFields() {
  using fw::FieldDef;
  const auto shown = [](const char* name, int width) {
    return FieldDef::text(QString::fromLatin1(name), width);
  };
  const auto hidden = [](const char* name, int width, const QString& label = {}) {
    return FieldDef::text(QString::fromLatin1(name), width, label, false);
  };
  return {
      hidden("CDFILIAL", 4, QStringLiteral("Cód. Filial")),
      hidden("CDTIPORECE", 3, QStringLiteral("Código")),
      FieldDef::text(QStringLiteral("NMTIPORECE"), 40, QStringLiteral("Nome")),
      hidden("IDTIPORECE", 1, QStringLiteral("ID Recebimento")),
      hidden("NRORDTROCO", 3),
      hidden("CDTIPOTROCO", 3),
      hidden("DSIMPFISCAL", 50),
      FieldDef::dateTime(QStringLiteral("DTHRINCMOV")),
      shown("IDTIPOMOVIVE", 1),
      // Shown as money in the payment grid, like the item grid's amounts ("R$50,00", not "50").
      FieldDef::number(QStringLiteral("VRMOVIVEND"), {}, true, true),
      FieldDef::number(QStringLiteral("VRMOVIVEOUT")),
      FieldDef::number(QStringLiteral("VRCOTINDOUT")),
      shown("CDCLIENTE", 21),
      shown("CDCONSUMIDOR", 21),
      FieldDef::dateTime(QStringLiteral("DTMOVIMCAIXA")),
      shown("CDFPIMPFIS", 10),
      shown("NRCARTBANCO", 10),
      shown("CDNSUHOSTTEF", 30),
      shown("CDBANCARTCR", 10),
      shown("CDTIPORECEORIG", 10),
  };
}

void TfrmVendaArquivo::bldAddReceClick(QObject* /*sender*/) {
  const KeepOnReturn keep(*this);
  // No payment for a coupon that is closed or cancelled: its files are written first.
  if ((boCupomFechado || !cancelamentoDevido.isEmpty()) && !settleOwedFiles()) return;
  if (cdsAddProduto.isEmpty()) {
    showMessage(msgPadrao.Msg(QStringLiteral("SEM_PROD")));
    bldCodRece->setText(QString());
    bldValorRece->setText(QString());
    return;
  }
  if (outside::EmptyString(bldCodRece->text())) {
    showMessage(msgPadrao.Msg(QStringLiteral("RECE_DEV_INF")));
    return;
  }
  if (outside::EmptyString(bldValorRece->text())) {
    showMessage(msgPadrao.Msg(QStringLiteral("VAL_DEV_INF")));
    return;
  }
  // Every item cancelled: the total reads zero in the screen's own form.
  if (lblTotal->text() == fw::formatAmount(0.0)) {
    showMessage(msgPadrao.Msg(QStringLiteral("SEM_PROD")));
    return;
  }

  fw::LocalTable& list = cdsReceb;
  if (!list.active()) {
    if (!list.hasDeclaredFields()) list.declareFields(paymentListFields());
    list.createDataSet();
  } else {
    list.next();
  }
  list.insert();
  list.setText(QStringLiteral("CDFILIAL"), stFilialLogin);
  list.setText(QStringLiteral("CDTIPORECE"), cdsRecebAux.asText(QStringLiteral("CDTIPORECE")));
  list.setText(QStringLiteral("NMTIPORECE"), cdsRecebAux.asText(QStringLiteral("NMTIPORECE")));
  list.setText(QStringLiteral("IDTIPORECE"), cdsRecebAux.asText(QStringLiteral("IDTIPORECE")));
  list.setText(QStringLiteral("NRORDTROCO"), cdsRecebAux.asText(QStringLiteral("NRORDTROCO")));
  list.setText(QStringLiteral("CDTIPOTROCO"), cdsRecebAux.asText(QStringLiteral("CDTIPOTROCO")));
  list.setText(QStringLiteral("DSIMPFISCAL"), cdsRecebAux.asText(QStringLiteral("DSIMPFISCAL")));
  list.setDateTime(QStringLiteral("DTHRINCMOV"), fw::nowDateTime());
  list.setText(QStringLiteral("IDTIPOMOVIVE"), QStringLiteral("E"));
  // The payment counts as the amount the entry button showed (10,557 as 10,56), in the row,
  // in the total received and on the printer alike.
  const double amount = fw::roundAmount(doValorRece);
  list.setNumber(QStringLiteral("VRMOVIVEND"), amount);
  list.setNumber(QStringLiteral("VRMOVIVEOUT"), 0.0);
  list.setNumber(QStringLiteral("VRCOTINDOUT"), 0.0);
  list.setText(QStringLiteral("CDCLIENTE"), stCdCliente);
  list.setText(QStringLiteral("CDCONSUMIDOR"), QString());
  list.setDateTime(QStringLiteral("DTMOVIMCAIXA"), fw::todayDateTime());
  list.setText(QStringLiteral("CDFPIMPFIS"), QString());
  list.setText(QStringLiteral("NRCARTBANCO"), QString());
  list.setText(QStringLiteral("CDNSUHOSTTEF"), QString());
  list.setText(QStringLiteral("CDBANCARTCR"), QString());
  list.setText(QStringLiteral("CDTIPORECEORIG"), QString());
  list.post();

  doTotal = fw::roundAmount(doTotal + amount);
  lblTotRecebido->setText(fw::formatAmount(doTotal));

  const double total = saleTotal();
  if (outside::Trunc2(total) < outside::Trunc2(doTotal)) {
    lblValTroco->setText(fw::formatAmount(fw::roundAmount(std::fabs(doTotal - total))));
  }
  applyFinishButton(total, doTotal);

  bldCodRece->setText(QString());
  bldValorRece->setText(QString());
}

void TfrmVendaArquivo::bldCancelaReceClick(QObject* /*sender*/) {
  const KeepOnReturn keep(*this);
  // A closed or cancelled coupon's payments are its record: its files are written first.
  if ((boCupomFechado || !cancelamentoDevido.isEmpty()) && !settleOwedFiles()) return;
  try {
    fw::LocalTable& list = cdsReceb;
    if (list.isEmpty()) return;
    if (list.asText(QStringLiteral("CDTIPORECE")).isEmpty()) return;
    if (!confirm(msgPadrao.Msg(QStringLiteral("CONFIRMAR_RECE")))) return;

    doTotal =
        fw::roundAmount(doTotal - fw::roundAmount(list.asNumber(QStringLiteral("VRMOVIVEND"))));
    list.remove();
    if (list.isEmpty()) list.close();
    lblTotRecebido->setText(fw::formatAmount(doTotal));

    const double total = saleTotal();
    if (total < doTotal)
      lblValTroco->setText(fw::formatAmount(fw::roundAmount(std::fabs(doTotal - total))));
    if (total >= doTotal) lblValTroco->setText(fw::formatAmount(0.0));
    // As after an addition: a sale must not stay ready to close with less received than due.
    applyFinishButton(total, doTotal);
  } catch (const std::exception& e) {
    showMessage(fw::messageOf(e));
  }
}

// The list is closed before the first payment and after the last one was removed.
void TfrmVendaArquivo::bldRolarCimaClick(QObject* /*sender*/) {
  if (cdsReceb.active()) cdsReceb.prior();
}

void TfrmVendaArquivo::bldRolarBaixoClick(QObject* /*sender*/) {
  if (cdsReceb.active()) cdsReceb.next();
}
