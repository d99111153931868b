// The declared fields of the screen's local tables. Tables without declared fields
// (parameters, product tax rates, movement date, identification, cdsVazio) take theirs
// from the file they load.
#include "module/shell/TableLayouts.h"
#include "module/shell/TfrmVendaArquivo.h"

void TfrmVendaArquivo::declareTables() {
  cdsProdutos.declareFields(layouts::productCatalog());
  cdsControleAcess.declareFields(layouts::operators());
  cdsAliqImpFis.declareFields(layouts::printerRates());
  cdsAliqImpFis.addIndex(QStringLiteral("idxIdAliqVrAliq"),
                         QStringLiteral("IDALIQIMPFIS;VRALIQIMPFIS"));
  cdsAliqImpFis.setIndexName(QStringLiteral("idxIdAliqVrAliq"));
  cdsRecebAux.declareFields(layouts::paymentTypes());

  cdsAddProduto.declareFields(itemListFields());
  cdsAddProduto.fieldDef(QStringLiteral("IDPRODIMPFIS")).displayText =
      [this](const QString& stored) { return cdsAddProdutoIDPRODIMPFISGetText(stored, true); };
  cdsReceb.declareFields(paymentListFields());
  cdsVendaArq.declareFields(saleFileFields());
  cdsMovCaixaArq.declareFields(cashMovementFields());
}
