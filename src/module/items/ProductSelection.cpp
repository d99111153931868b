// Choosing the product and its quantity: the search over the catalog, the product's checks
// (lookup order, price, its one tax row, the printer's rate code) and the quantity keypad.
// The prepared product is the catalog's current row plus the texts on the entry buttons.
#include <algorithm>
#include <exception>

#include "framework/core/Error.h"
#include "framework/text/NumberText.h"
#include "module/items/ItemMessages.h"
#include "module/shell/SaleContext.h"
#include "module/shell/ScreenKeys.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "outside/Outside.h"

namespace {

// A filter literal: the code between quotes, a quote inside written twice, so a code can
// never end the literal early and select another product's rows.
QString quotedLiteral(const QString& text) {
  QString doubled = text;
  doubled.replace(QLatin1Char('\''), QStringLiteral("''"));
  return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

void clearTaxFilter(fw::LocalTable& taxes) {
  taxes.setFilter(QString());
  taxes.setFiltered(false);
}

// Printers of these types keep their own rates; a register of kind "C" prints no coupon
// with rates either.
bool printerRateApplies() {
  if (!boUtilizaImpFis) return false;
  switch (Rev_IdTipoImpFis) {
    case 16:
    case 21:
    case 26:
    case 30:
      return false;
    default:
      break;
  }
  return stIdTipoCaixa != QLatin1String("C");
}

// How wide the item list keeps a text (the sale file has the same widths).
int itemListWidth(const char* field) {
  for (const fw::FieldDef& def : TfrmVendaArquivo::itemListFields()) {
    if (def.name == QLatin1String(field)) return def.width;
  }
  return 0;
}

}  // namespace

void TfrmVendaArquivo::bldCodigoClick(QObject* /*sender*/) {
  cdsProdutos.setFilter(QString());
  cdsProdutos.setFiltered(false);
  if (!outside::Pesquisa(cdsProdutos, 0, 0, 0, 0, 0, 0, 0) || cdsProdutos.isEmpty()) return;
  // A touch queued meanwhile runs after this handler, or it would act on the product
  // picked before.
  shell::repaintAfterDialog();
  stCodProduto = cdsProdutos.asText(QStringLiteral("CDPRODUTO"));
  ValidaProd(stCodProduto);
}

// The lookups ValidaProd makes, built ahead at start-up, so that the first scan shows its
// product at once instead of indexing a large catalog first. Keep the fields as below.
void TfrmVendaArquivo::prepareProductLookups() {
  if (!cdsProdutos.active()) return;
  for (const char* field : {"CDPRODUTO", "CDARVPROD", "CDBARPRODUTO", "CDPRODINTE"}) {
    const QString name = QString::fromLatin1(field);
    if (cdsProdutos.fieldIndex(name) >= 0) cdsProdutos.prepareLocate(name);
  }
}

bool TfrmVendaArquivo::ValidaProd(const QString& code) {
  preparedTaxKind.clear();
  try {
    const fw::Variant key(code);
    const bool found =
        cdsProdutos.locate(QStringLiteral("CDPRODUTO"), key) ||
        cdsProdutos.locate(QStringLiteral("CDARVPROD"), key) ||
        (!outside::EmptyString(code) && cdsProdutos.locate(QStringLiteral("CDBARPRODUTO"), key)) ||
        (!outside::EmptyString(code) && cdsProdutos.locate(QStringLiteral("CDPRODINTE"), key));
    if (!found) {
      showMessage(msgPadrao.Msg(QStringLiteral("COD_PROD_INV")));
      clearProductEntry();
      return false;
    }

    if (cdsProdutos.asNumber(QStringLiteral("VRPRECITEM")) == 0.0) {
      showMessage(msgPadrao.Msg(QStringLiteral("PREC_ZERO")));
      clearProductEntry();
      return false;
    }

    // The refusals below clear the entry too: the catalog's current row is already the
    // refused product, and an earlier product still on screen would be added with its
    // name and price.
    const auto refuseWith = [this](const QString& text) {
      clearTaxFilter(cdsAliquota);
      showMessage(text);
      clearProductEntry();
    };
    const auto refuse = [this, &refuseWith](const char* key) {
      refuseWith(items::refusalText(msgPadrao, QString::fromLatin1(key)));
    };

    // The display code becomes the item's code in the list and the sale file: without one
    // the product cannot be added, and a longer one would be cut into another product's.
    static const int codeWidth =
        std::min(itemListWidth("CDPRODUTO"), itemListWidth("CDPRODPROMOCAO"));
    const QString displayCode = cdsProdutos.asText(QStringLiteral("CDARVPROD"));
    if (displayCode.isEmpty()) {
      refuseWith(items::noCodeText(cdsProdutos.asText(QStringLiteral("NMPRODUTO"))));
      return false;
    }
    if (displayCode.size() > codeWidth) {
      refuseWith(items::codeTooLongText(displayCode, codeWidth));
      return false;
    }

    cdsAliquota.setFilter(QString());
    cdsAliquota.setFiltered(false);
    // The tax rows belong to the product found, whichever of its codes was given (a
    // scanner gives the barcode).
    cdsAliquota.setFilter(QStringLiteral("CDPRODUTO = ") +
                          quotedLiteral(cdsProdutos.asText(QStringLiteral("CDPRODUTO"))));
    cdsAliquota.setFiltered(true);
    const int taxRows = cdsAliquota.recordCount();
    if (taxRows >= 2) {
      refuse("IMPOSTO_ERR");
      return false;
    }
    if (taxRows == 0) {
      refuse("IMPOS_NCAD");
      return false;
    }

    if (printerRateApplies()) {
      const fw::Variant rate = cdsAliquota.asVariant(QStringLiteral("VRPEALIMPFIS"));
      const fw::Variant kind = cdsAliquota.asVariant(QStringLiteral("IDTPIMPOSFIS"));
      if (!cdsAliqImpFis.locate(QStringLiteral("VRALIQIMPFIS;IDALIQIMPFIS"),
                                fw::Variant::array({rate, kind}),
                                fw::LocalTable::CaseInsensitive)) {
        refuse("ALIQ_NCAD");
        return false;
      }
      static const int rateCodeWidth = itemListWidth("CDORDALIQIMPR");
      const QString rateCode = cdsAliqImpFis.asText(QStringLiteral("CDALIQIMPFIS"));
      if (rateCode.size() > rateCodeWidth) {
        refuseWith(items::rateCodeTooLongText(rateCode, rateCodeWidth));
        return false;
      }
      clearTaxFilter(cdsAliquota);
      stCdAliquota = rateCode;
      preparedTaxKind = cdsAliqImpFis.asText(QStringLiteral("IDALIQIMPFIS"));
      const QString rateField = QStringLiteral("VRALIQIMPFIS");
      stVrAliquota = cdsAliqImpFis.isNull(rateField)
                         ? QString()
                         : fw::formatGeneral(cdsAliqImpFis.asNumber(rateField));
    } else {
      // No printer rate: the product's own tax kind, never that of whatever printer rate
      // row the table happens to stand on.
      preparedTaxKind = cdsAliquota.asText(QStringLiteral("IDTPIMPOSFIS"));
      clearTaxFilter(cdsAliquota);
      stCdAliquota.clear();
      stVrAliquota.clear();
    }

    bldCodigo->setText(displayCode);
    lblProd->setText(cdsProdutos.asText(QStringLiteral("NMPRODUTO")) + QStringLiteral(" - ") +
                     cdsProdutos.asText(QStringLiteral("SGUNIDADE")));
    bldPrecoUn->setText(fw::formatCurrency(cdsProdutos.asNumber(QStringLiteral("VRPRECITEM"))));
    if (bldQuant->text().isEmpty()) bldQuant->setText(QStringLiteral("1"));
    stQuant = bldQuant->text();
    bldAddProd->setEnabled(true);
    return true;
  } catch (const std::exception& e) {
    showMessage(fw::messageOf(e));
  }
  return false;
}

void TfrmVendaArquivo::bldQuantClick(QObject* /*sender*/) {
  try {
    const QString mustEnter = msgPadrao.Msg(QStringLiteral("Qtde_Deve"));
    const QString prompt = msgPadrao.Msg(QStringLiteral("Inf_Quant"));
    const QString title = msgPadrao.Msg(QStringLiteral("VENDA"));
    QString entered;
    if (outside::TecladoNumerico(entered, title, prompt, mustEnter, 20, 0, 0, 0, 0, 0)) {
      bldQuant->setText(entered);
    } else {
      bldQuant->setText(QStringLiteral("1"));
    }
    stQuant = bldQuant->text();
  } catch (const std::exception& e) {
    showMessage(fw::messageOf(e));
  }
}
