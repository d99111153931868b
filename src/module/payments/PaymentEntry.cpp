// Preparing a payment: its type, picked among the types this screen offers, and its amount
// from the keypad. The prepared payment is the payment-type table's current row, the texts
// of the two entry buttons and doValorRece.
#include <cmath>
#include <exception>

#include "framework/core/Error.h"
#include "framework/text/NumberText.h"
#include "module/shell/SaleContext.h"
#include "module/shell/ScreenKeys.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "outside/Outside.h"

namespace {

// Beyond this a double no longer holds every cent exactly, and no till takes such a sum.
constexpr double kLargestAmount = 999999999.99;

}  // namespace

void TfrmVendaArquivo::bldCodReceClick(QObject* /*sender*/) {
  try {
    cdsRecebAux.setFiltered(false);
    cdsRecebAux.setFilter(QStringLiteral("(IDMOSTRARECE = 'S')"));
    cdsRecebAux.setFiltered(true);
    if (!outside::Pesquisa(cdsRecebAux, 0, 0, 0, 0, 0, 0, 0) || cdsRecebAux.isEmpty()) {
      bldCodRece->setText(QString());
      return;
    }
    shell::repaintAfterDialog();  // a touch queued meanwhile runs after this handler
    const QString code = cdsRecebAux.asText(QStringLiteral("CDTIPORECE"));
    if (code.isEmpty()) {
      bldCodRece->setText(QString());
    } else {
      bldCodRece->setText(code + QStringLiteral(" - ") +
                          cdsRecebAux.asText(QStringLiteral("DSBUTTON")));
    }
  } catch (const std::exception& e) {
    showMessage(fw::messageOf(e));
  }
}

void TfrmVendaArquivo::bldValorReceClick(QObject* /*sender*/) {
  if (bldCodRece->text().isEmpty()) return;
  const QString mustEnter = msgPadrao.Msg(QStringLiteral("VAL_DEV_INF"));
  const QString prompt = msgPadrao.Msg(QStringLiteral("VAL_RECE"));
  const QString title = msgPadrao.Msg(QStringLiteral("RECEBIMENTO"));
  QString entered;
  if (!outside::TecladoNumerico(entered, title, prompt, mustEnter, 20, 1, 1, 0, 0, 0)) return;

  try {
    const double amount = fw::parseNumber(entered);
    if (std::fabs(amount) > kLargestAmount) {
      throw fw::Error(QStringLiteral("Valor acima do permitido: %1. O valor máximo é %2.")
                          .arg(entered.trimmed(), fw::formatAmount(kLargestAmount)));
    }
    bldValorRece->setText(fw::formatCurrency(amount));
    doValorRece = fw::parseNumber(entered);
  } catch (const fw::Error& e) {
    showMessage(e.message());
  }
}
