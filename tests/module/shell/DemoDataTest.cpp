// The demo data directory is only useful if every product in it can be sold: one tax row
// per product, a printer rate for that row, a valid barcode, a unique display code.
#include <gtest/gtest.h>

#include <QSet>

#include "module/shell/SaleContext.h"
#include "module/support/FormFixture.h"

using testsupport::FormFixture;

namespace {

bool validEan13(const QString& code) {
  if (code.size() != 13) return false;
  int sum = 0;
  for (int i = 0; i < 13; ++i) {
    if (!code.at(i).isDigit()) return false;
    sum += code.at(i).digitValue() * (i % 2 == 0 ? 1 : 3);
  }
  return sum % 10 == 0;
}

}  // namespace

TEST(DemoData, EveryProductCanBeSold) {
  FormFixture f;
  TfrmVendaArquivo& form = f.form();
  fw::LocalTable& products = form.cdsProdutos;
  QSet<QString> displayCodes;
  int barcodes = 0, withoutPrice = 0, weighed = 0;
  for (products.first(); !products.eof(); products.next()) {
    const QString code = products.asText("CDPRODUTO");
    SCOPED_TRACE(code.toStdString());
    EXPECT_FALSE(displayCodes.contains(products.asText("CDARVPROD")));
    displayCodes.insert(products.asText("CDARVPROD"));
    const QString barcode = products.asText("CDBARPRODUTO");
    if (!barcode.isEmpty()) {
      ++barcodes;
      EXPECT_TRUE(validEan13(barcode)) << barcode.toStdString();
    }
    if (products.asNumber("VRPRECITEM") == 0) ++withoutPrice;
    if (products.asText("SGUNIDADE") == "KG") ++weighed;
    EXPECT_LE(products.asText("NMPRODUTO").size(), 50);

    form.cdsAliquota.setFilter("CDPRODUTO = '" + code + "'");
    form.cdsAliquota.setFiltered(true);
    ASSERT_EQ(form.cdsAliquota.recordCount(), 1);
    const fw::Variant rate = form.cdsAliquota.asVariant("VRPEALIMPFIS");
    const fw::Variant kind = form.cdsAliquota.asVariant("IDTPIMPOSFIS");
    EXPECT_EQ(rate.toNumber(), products.asNumber("VRPEALIMPFIS"));
    EXPECT_TRUE(form.cdsAliqImpFis.locate("VRALIQIMPFIS;IDALIQIMPFIS",
                                          fw::Variant::array({rate, kind}),
                                          fw::LocalTable::CaseInsensitive));
    form.cdsAliquota.setFiltered(false);
  }
  EXPECT_GT(barcodes, 100);
  EXPECT_GT(weighed, 20);
  EXPECT_EQ(withoutPrice, 1);

  // Cash is "001", and one type is kept off this screen.
  form.cdsRecebAux.first();
  EXPECT_EQ(form.cdsRecebAux.asText("CDTIPORECE"), "001");
  EXPECT_EQ(form.cdsRecebAux.asText("NMTIPORECE"), "Dinheiro");
  EXPECT_EQ(form.cdsRecebAux.asText("IDTIPORECE"), "4");
  form.cdsRecebAux.setFilter("(IDMOSTRARECE = 'S')");
  form.cdsRecebAux.setFiltered(true);
  EXPECT_EQ(form.cdsRecebAux.recordCount(), f.demoSummary().paymentTypes - 1);
}

TEST(DemoData, AskingForTheCpfIsAnOption) {
  FormFixture::Setup setup;
  setup.data.askCpf = true;
  FormFixture f(setup);
  EXPECT_EQ(stSolicitaCPF, "S");
}
