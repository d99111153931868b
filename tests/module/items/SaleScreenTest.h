// A sales screen with small in-memory catalogs and fakes in the procedure variables: a
// printer bridge recording each call with its arguments and answering as told, a search
// that picks a chosen row, a keypad returning a chosen text, a recording message dialog.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "framework/packet/FileIo.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TableLayouts.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "outside/Outside.h"
#include "support/OutsideRecorder.h"

namespace saletest {

using fw::Variant;
using fw::VariantList;

using testsupport::Call;

// Same kinds and values, argument by argument (Variant's own == lets 0 equal 0.0).
inline void expectArgs(const VariantList& actual, const VariantList& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_TRUE(actual[i].kind() == expected[i].kind() && actual[i] == expected[i])
        << "argument " << i + 1 << ": " << actual[i].debugText().toStdString();
  }
}

// Row values; an empty text reads back as null, as the host's tables keep it.
inline void expectRow(const fw::LocalTable& t,
                      const std::vector<std::pair<const char*, Variant>>& values) {
  for (const auto& [field, v] : values) {
    const Variant got = t.asVariant(field);
    const bool emptyText = v.kind() == Variant::Kind::Text && v.toText().isEmpty();
    EXPECT_TRUE(emptyText ? got.toText().isEmpty() : got == v)
        << field << ": " << got.debugText().toStdString();
  }
}

// The fakes (OutsideRecorder) are the fixture's own members: printer, dialogs, messages,
// errors, and the answers (openAnswer, searchRow, keypadText...).
class SaleScreenTest : public ::testing::Test, protected testsupport::OutsideRecorder {
 protected:
  std::unique_ptr<TfrmVendaArquivo> form;

  // The screen keeps its sale in the data directory: each test has its own.
  QTemporaryDir dataDir;
  QByteArray oldDataDir;
  bool hadDataDir = false;

  void SetUp() override {
    hadDataDir = qEnvironmentVariableIsSet("REGVENDA_DATA_DIR");
    oldDataDir = qgetenv("REGVENDA_DATA_DIR");
    qputenv("REGVENDA_DATA_DIR", QFile::encodeName(dataDir.path()));
    setContext();
    outside::resetAll();
    installPrinter();
    installDialogs();
    installMessages();
    installErrorReport();
    form = std::make_unique<TfrmVendaArquivo>();
    frmVendaArquivo = form.get();
    fillCatalogs();
  }
  // The sale context as start-up leaves it for these tests.
  static void setContext() {
    salecontext::resetToLoadValues();
    stIdEsquema = "001", stFilialLogin = "0001", stCaixaAber = "002", stCdEmpresa = "01";
    stCdCliente = "CLI1", stOperadorLogin = "OPER", stLojaAber = "LJ01", stInfNomeEnd = "S";
    dtDataMovimento = 45000, dtAberCaixa = 45000.25, boUtilizaImpFis = true, Rev_IdTipoImpFis = 1;
  }
  // The host killed and started again on the same data directory: a fresh sale context and
  // form, which brings back the kept sale.
  void restart() {
    form.reset();
    setContext();
    form = std::make_unique<TfrmVendaArquivo>();
    frmVendaArquivo = form.get();
    fillCatalogs();
    messages.clear();
    printer.clear();
    form->recoverKeptSale();
  }
  QString outputFolder() const { return dataDir.path() + "/Dados/Venda_Arquivo"; }

  void TearDown() override {
    form.reset();
    outside::resetAll();
    salecontext::resetToLoadValues();
    fw::setWriteFault({});
    if (hadDataDir) {
      qputenv("REGVENDA_DATA_DIR", oldDataDir);
    } else {
      qunsetenv("REGVENDA_DATA_DIR");
    }
  }

  static void addRow(fw::LocalTable& t, const QStringList& fields, const VariantList& values) {
    t.append();
    for (int i = 0; i < fields.size(); ++i)
      t.setVariant(fields[i], values[static_cast<std::size_t>(i)]);
    t.post();
  }
  void addProduct(const VariantList& values) {
    addRow(form->cdsProdutos,
           {"CDPRODUTO", "CDARVPROD", "NMPRODUTO", "VRPRECITEM", "SGUNIDADE", "CDBARPRODUTO",
            "CDPRODINTE", "CDCEST", "CDNCM", "VRPEALIMPFIS"},
           values);
  }
  void addTaxRow(const QString& code, double rate, const QString& kind) {
    addRow(form->cdsAliquota, {"CDPRODUTO", "VRPEALIMPFIS", "IDTPIMPOSFIS"}, {code, rate, kind});
  }

  // 1 rice (barcode, CEST, NCM), 2 beans (none of them), 3 no price, 4 two tax rows, 5 none,
  // 6 a lower-case tax kind, 7 a rate the printer lacks, O'B a quote, O two tax rows.
  void fillCatalogs() {
    form->cdsProdutos.createDataSet();
    addProduct(
        {"1", "A100", "Arroz", 10.0, "KG", "7891000100103", "INT1", "0100100", "10063021", 18.0});
    for (const VariantList& p : {VariantList{"2", "B200", "Feijão", 2.5},
                                 {"3", "C300", "Sem preço", Variant()},
                                 {"4", "D400", "Duplo", 1.0},
                                 {"5", "E500", "Sem imposto", 1.0},
                                 {"6", "F600", "Minúsculo", 4.0},
                                 {"7", "G700", "Sem alíquota", 5.0},
                                 {"O'B", "H800", "Aspas", 6.0},
                                 {"O", "I900", "Sem aspas", 6.0}}) {
      addProduct({p[0], p[1], p[2], p[3], "UN", "", "", "", "", Variant()});
    }
    // The tax table's layout with a code wide enough for the rows keyed by a barcode.
    std::vector<fw::FieldDef> taxes = layouts::productTaxes();
    taxes[0].width = 30;
    form->cdsAliquota.declareFields(taxes);
    form->cdsAliquota.createDataSet();
    for (const char* code : {"1", "2", "3", "4", "O"}) addTaxRow(code, 18, "T");
    for (const char* code : {"4", "O"}) addTaxRow(code, 7, "T");
    addTaxRow("6", 7, "t");
    addTaxRow("7", 99, "T");
    addTaxRow("O'B", 12.5, "T");
    form->cdsAliqImpFis.createDataSet();
    for (const VariantList& r :
         {VariantList{"01", 18.0, "T"}, {"02", 7.0, "T"}, {"03", 7.0, "S"}, {"04", 12.5, "T"}})
      addRow(form->cdsAliqImpFis, {"CDALIQIMPFIS", "VRALIQIMPFIS", "IDALIQIMPFIS"}, r);
    form->cdsRecebAux.createDataSet();
    const QStringList f{"CDTIPORECE",  "NMTIPORECE",  "DSBUTTON",     "IDTIPORECE", "NRORDTROCO",
                        "CDTIPOTROCO", "DSIMPFISCAL", "IDMOSTRARECE", "CDFPIMPFIS"};
    addRow(form->cdsRecebAux, f,
           {"01", "Dinheiro", "DINHEIRO", "1", "001", "01", "Dinheiro", "S", "FP1"});
    addRow(form->cdsRecebAux, f, {"02", "Cheque", "CHEQUE", "2", "", "", "Cheque", "N", ""});
    addRow(form->cdsRecebAux, f, {"03", "Cartão", "CARTAO", "3", "", "", "Cartao", "S", ""});
    addRow(form->cdsRecebAux, f, {"", "Vazio", "VAZIO", "", "", "", "", "S", ""});
  }

  // Prepares product `code` (its CDPRODUTO) and adds it with the given quantity.
  void addItem(const QString& code, const QString& quantity = "1") {
    form->ValidaProd(code);
    form->bldQuant->setText(quantity);
    stQuant = quantity;
    form->bldAddProdClick(form->bldAddProd);
  }
  QStringList column(fw::LocalTable& t, const QString& field) {
    QStringList out;
    for (int r = 0; r < t.recordCount(); ++r) out << t.textAt(r, t.fieldIndex(field));
    return out;
  }
  QString lastMessage() const { return messages.empty() ? QString() : messages.back().text; }
};

}  // namespace saletest
