// A small product catalog in the screen's own layout: code and name visible, the internal
// code and the barcode hidden.
#pragma once

#include <memory>

#include "framework/data/LocalTable.h"
#include "module/shell/TableLayouts.h"

namespace dialogs::test {

struct Product {
  const char* cdProduto;
  const char* cdArvProd;
  const char* nmProduto;
  const char* cdBarProduto;
  const char* sgUnidade;
  double preco;
};

inline std::unique_ptr<fw::LocalTable> makeCatalog(std::initializer_list<Product> products) {
  auto table = std::make_unique<fw::LocalTable>(QStringLiteral("cdsProdutos"));
  table->declareFields(layouts::productCatalog());
  table->createDataSet();
  for (const Product& p : products) {
    table->append();
    table->setText(QStringLiteral("CDPRODUTO"), QString::fromUtf8(p.cdProduto));
    table->setText(QStringLiteral("CDARVPROD"), QString::fromUtf8(p.cdArvProd));
    table->setText(QStringLiteral("NMPRODUTO"), QString::fromUtf8(p.nmProduto));
    table->setText(QStringLiteral("SGUNIDADE"), QString::fromUtf8(p.sgUnidade));
    table->setText(QStringLiteral("CDBARPRODUTO"), QString::fromUtf8(p.cdBarProduto));
    table->setNumber(QStringLiteral("VRPRECITEM"), p.preco);
    table->post();
  }
  table->first();
  return table;
}

// Rows 0..5. The barcode 7891000100103 belongs to rows 0 and 4 (the first wins); "12345"
// is the hidden barcode of row 1 and the visible code of row 5 (the visible one wins).
inline std::unique_ptr<fw::LocalTable> makeShopCatalog() {
  return makeCatalog({
      {"1", "001", "Café Torrado 500g", "7891000100103", "UN", 18.9},
      {"2", "002", "Açúcar Refinado 1kg", "12345", "KG", 4.5},
      {"3", "003", "Pão de Queijo", "", "KG", 12},
      {"4", "004", "Leite Integral", "7896000200201", "UN", 5.49},
      {"5", "005", "Café Solúvel", "7891000100103", "UN", 21},
      {"6", "12345", "Feijão Carioca", "7896000300308", "KG", 8.75},
  });
}

}  // namespace dialogs::test
