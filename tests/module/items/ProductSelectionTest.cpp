// Choosing a product and its quantity.
#include "module/items/SaleScreenTest.h"

namespace saletest {
namespace {

using Products = SaleScreenTest;

const QString kNoProduct = QStringLiteral("<-- Selecionar produto");

TEST_F(Products, TouchingTheCodeSearchesTheWholeCatalogAndShowsThePickedProduct) {
  form->cdsProdutos.setFilter("CDPRODUTO = '2'");
  form->cdsProdutos.setFiltered(true);
  form->bldAddProd->setEnabled(false);
  searchRow = 1;
  click(form->bldCodigo);

  ASSERT_EQ(dialogs.size(), 1u);
  expectArgs(dialogs[0].args, {"cdsProdutos", 0, 0, 0, 0, 0, 0, 0, 9});
  EXPECT_EQ(stCodProduto, "1");
  EXPECT_EQ(form->bldCodigo->text(), "A100");
  EXPECT_EQ(form->lblProd->text(), "Arroz - UN");
  EXPECT_EQ(form->bldPrecoUn->text(), "R$10,00");
  EXPECT_EQ(form->bldQuant->text(), "1");
  EXPECT_EQ(stQuant, "1");
  EXPECT_EQ(stCdAliquota, "01");
  EXPECT_EQ(stVrAliquota, "18");
  EXPECT_TRUE(form->bldAddProd->isEnabled());
  EXPECT_TRUE(messages.empty());
}

TEST_F(Products, CancelledSearchOrEmptyCatalogKeepsThePreparedProduct) {
  form->ValidaProd("2");
  searchAnswer = false;
  form->bldCodigoClick(form->bldCodigo);
  form->cdsProdutos.emptyDataSet();
  searchAnswer = true;
  form->bldCodigoClick(form->bldCodigo);
  EXPECT_EQ(form->bldCodigo->text(), "B200");
  EXPECT_EQ(stCodProduto, "");
}

TEST_F(Products, LookupOrderCodeDisplayCodeBarcodeFurtherCode) {
  addProduct("A100", "Z1", "Código interno igual", "", 3.0);
  // The tax rows are selected by the code handed in (its one caller hands CDPRODUTO).
  for (const char* code : {"A100", "7891000100103", "INT1"}) addTaxRow(code, 18, "T");
  form->ValidaProd("A100");  // an internal code wins over another product's display code
  EXPECT_EQ(form->bldCodigo->text(), "Z1");
  form->ValidaProd("7891000100103");
  EXPECT_EQ(form->bldCodigo->text(), "A100");
  form->ValidaProd("INT1");
  EXPECT_EQ(form->bldCodigo->text(), "A100");
  EXPECT_TRUE(messages.empty());

  for (const char* bad : {"a100", ""}) {  // case matters; "" never matches an empty barcode
    form->bldQuant->setText("3");
    form->ValidaProd(bad);
    EXPECT_EQ(lastMessage(), "Código do produto inválido.");
    EXPECT_EQ(form->bldCodigo->text(), "");
    EXPECT_EQ(form->lblProd->text(), kNoProduct);
    EXPECT_EQ(form->bldQuant->text(), "");
  }
}

TEST_F(Products, ZeroOrMissingPriceIsRefusedNegativePasses) {
  form->bldQuant->setText("2");
  form->ValidaProd("3");
  EXPECT_EQ(lastMessage(), "Operação bloqueada! Produto com preço zerado ou sem preço parametrizado.");
  expectArgs(messages.back().args, {"", "N", "N", 3, "", "001", 0, true});
  EXPECT_EQ(form->bldQuant->text(), "");
  EXPECT_EQ(form->bldPrecoUn->text(), "");
  addProduct("9", "NEG", "Negativo", "", -1.5);
  addTaxRow("9", 18, "T");
  form->ValidaProd("9");
  EXPECT_EQ(form->bldPrecoUn->text(), "R$-1,50");
}

// Each tax refusal clears the entry (the catalog already moved to the refused product),
// clears the tax filter and keeps the printer rate of the product before.
TEST_F(Products, TaxRefusalsShowTheirTextAndClearTheEntry) {
  const std::vector<std::pair<QString, QString>> cases{
      {"4", "Operação bloqueada! Produto com mais de um imposto cadastrado."},
      {"5", "Operação bloqueada! Produto sem imposto cadastrado."},
      {"7", "Operação bloqueada! A alíquota do produto não está cadastrada na impressora fiscal."}};
  for (const auto& [code, text] : cases) {
    form->ValidaProd("2");
    form->ValidaProd(code);
    EXPECT_EQ(lastMessage(), text) << code.toStdString();
    EXPECT_EQ(form->bldCodigo->text(), "");
    EXPECT_EQ(form->lblProd->text(), kNoProduct);
    EXPECT_EQ(form->bldPrecoUn->text(), "");
    EXPECT_FALSE(form->cdsAliquota.filtered());
    EXPECT_EQ(form->cdsAliquota.filter(), "");
    EXPECT_EQ(stCdAliquota, "01");
    EXPECT_EQ(stQuant, "1");
  }
}

TEST_F(Products, PrinterRateSkippedForSomePrintersAndRegisters) {
  const auto noLookup = [this](const char* what) {
    stCdAliquota = "x";
    form->cdsAliqImpFis.setRecNo(3);
    form->ValidaProd("7");  // its rate is not on the printer, yet it is shown
    EXPECT_EQ(form->bldCodigo->text(), "G700") << what;
    EXPECT_EQ(stCdAliquota, "") << what;
    EXPECT_EQ(stVrAliquota, "") << what;
    EXPECT_EQ(form->cdsAliqImpFis.recNo(), 3) << what;
  };
  boUtilizaImpFis = false;
  noLookup("not used");
  boUtilizaImpFis = true;
  for (int type : {16, 21, 26, 30}) {
    Rev_IdTipoImpFis = type;
    noLookup("type");
  }
  Rev_IdTipoImpFis = 1;
  stIdTipoCaixa = "C";
  noLookup("register C");
  EXPECT_TRUE(messages.empty());
}

TEST_F(Products, RateMatchesKindWithoutCaseAndQuotedCodesFindTheirOwnRow) {
  form->ValidaProd("6");
  EXPECT_EQ(stCdAliquota, "02");
  EXPECT_EQ(stVrAliquota, "7");
  EXPECT_EQ(form->cdsAliqImpFis.asText("CDALIQIMPFIS"), "02");
  form->ValidaProd("O'B");  // "O" has two rows; "O'B" exactly one
  EXPECT_TRUE(messages.empty()) << lastMessage().toStdString();
  EXPECT_EQ(form->bldCodigo->text(), "H800");
  EXPECT_EQ(stVrAliquota, "12,5");
}

TEST_F(Products, QuantityTypedBeforeStays) {
  form->bldQuant->setText("2,5");
  form->ValidaProd("1");
  EXPECT_EQ(form->bldQuant->text(), "2,5");
  EXPECT_EQ(stQuant, "2,5");
}

TEST_F(Products, QuantityKeypadConfirmedOrCancelled) {
  keypadText = "3,5";
  click(form->bldQuant);
  ASSERT_EQ(dialogs.size(), 1u);
  expectArgs(dialogs[0].args, {"", "Venda de Produto", "Informe a quantidade a ser vendida",
                               "Quantidade deve ser informada.", 20, 0, 0, 0, 0, 0});
  EXPECT_EQ(form->bldQuant->text(), "3,5");
  EXPECT_EQ(stQuant, "3,5");
  keypadAnswer = false;
  form->bldQuantClick(form->bldQuant);
  EXPECT_EQ(form->bldQuant->text(), "1");
  EXPECT_EQ(stQuant, "1");
}

TEST_F(Products, FailureInsideTheCheckIsShownNotThrown) {
  form->cdsAliquota.close();
  form->ValidaProd("1");
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_TRUE(errors.isEmpty());
}

}  // namespace
}  // namespace saletest
