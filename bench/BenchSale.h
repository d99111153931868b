// The large sale the benchmarks time: 300 items of 1,5 x 2,99 and 10 cash payments of 140.
#pragma once

#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"

inline void fillLargeSale(TfrmVendaArquivo& form) {
  fw::LocalTable& items = form.cdsAddProduto;
  items.createDataSet();
  for (int i = 1; i <= 300; ++i) {
    const QString number = QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0'));
    items.insert();
    items.setText(QStringLiteral("CDPRODUTO"), QString::number(1000 + i));
    items.setText(QStringLiteral("NMPRODUTO"), QStringLiteral("Produto de teste número %1").arg(i));
    items.setText(QStringLiteral("CDFILIAL"), stFilialLogin);
    items.setText(QStringLiteral("CDCAIXA"), stCaixaAber);
    items.setText(QStringLiteral("NRSEQUITVENDA"), number);
    items.setText(QStringLiteral("NRSEQ"), number);
    items.setText(QStringLiteral("NRCUPOMFIS"), stCupomVen);
    items.setText(QStringLiteral("IDSITUVENDA"), QStringLiteral("O"));
    items.setText(QStringLiteral("TXOBSVENDA"), QStringLiteral("[ARQ_VEN]"));
    items.setText(QStringLiteral("IDPRODIMPFIS"), QStringLiteral("S"));
    items.setDateTime(QStringLiteral("DTVENDA"), 45000.5);
    items.setNumber(QStringLiteral("QTPRODVEND"), 1.5);
    items.setNumber(QStringLiteral("QTPRODCOMVEN"), 1.5);
    items.setNumber(QStringLiteral("VRUNITVEND"), 2.99);
    items.setNumber(QStringLiteral("VRPRECCOMVEN"), 2.99);
    items.setNumber(QStringLiteral("VRTOTVEND"), 4.49);
    items.setNumber(QStringLiteral("VRPEALIMPFIS"), 18);
    items.post();
  }
  fw::LocalTable& payments = form.cdsReceb;
  payments.createDataSet();
  for (int i = 0; i < 10; ++i) {
    if (i > 0) payments.next();
    payments.insert();
    payments.setText(QStringLiteral("CDFILIAL"), stFilialLogin);
    payments.setText(QStringLiteral("CDTIPORECE"), QStringLiteral("001"));
    payments.setText(QStringLiteral("NMTIPORECE"), QStringLiteral("Dinheiro"));
    payments.setDateTime(QStringLiteral("DTHRINCMOV"), 45000.5 + i / 1000.0);
    payments.setNumber(QStringLiteral("VRMOVIVEND"), 140);
    payments.post();
  }
  doTotal = 1400;
}
