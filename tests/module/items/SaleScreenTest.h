// A sales screen with small in-memory catalogs and fakes in every procedure variable the
// item and payment handlers call: a printer bridge that records each call with its
// arguments and answers as told, a search dialog that picks a chosen row, a keypad that
// returns a chosen text, and a message dialog that records what it was asked to show.
#pragma once

#include "framework/data/Variant.h"
#include "module/outside/Outside.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"

#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace saletest {

using fw::Variant;
using fw::VariantList;

struct Call {
  QString name;
  VariantList args;
};

// A stored value: an empty text reads back as null, as the host's tables keep it.
inline bool storedAs(const Variant& stored, const Variant& expected) {
  if (expected.kind() == Variant::Kind::Text && expected.toText().isEmpty()) return stored.toText().isEmpty();
  return stored == expected;
}

// Same kinds and values, argument by argument (Variant's own == lets 0 equal 0.0).
inline void expectArgs(const VariantList& actual, const VariantList& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_TRUE(actual[i].kind() == expected[i].kind() && actual[i] == expected[i])
        << "argument " << i + 1 << ": " << actual[i].debugText().toStdString() << " expected "
        << expected[i].debugText().toStdString();
  }
}

class SaleScreenTest : public ::testing::Test {
 protected:
  std::unique_ptr<TfrmVendaArquivo> form;
  std::vector<Call> printer;      // AbreCupom, VendaItem, Cancela_ItGenerico
  std::vector<Call> messages;     // Mensagem: text, confirm flag, kind, esquema, table given
  std::vector<Call> dialogs;      // Pesquisa, TecladoNumerico, CriaInfAdicional
  QStringList errors;             // the host's general error report
  bool openAnswer = true, itemAnswer = true, cancelAnswer = true, confirmAnswer = true;
  QString couponNumber = QStringLiteral("000123"), couponCounter = QStringLiteral("000045");
  bool searchAnswer = true;
  int searchRow = 1;  // the row the search picks, 1-based among the visible ones
  bool keypadAnswer = true;
  QString keypadText;
  VariantList customerAnswer{Variant("Cliente"), Variant("12345678909"), Variant("Rua A, 1")};

  void SetUp() override {
    salecontext::resetToLoadValues();
    stIdEsquema = QStringLiteral("001");
    stFilialLogin = QStringLiteral("0001");
    stCaixaAber = QStringLiteral("002");
    stCdEmpresa = QStringLiteral("01");
    stCdCliente = QStringLiteral("CLI1");
    stOperadorLogin = QStringLiteral("OPER");
    stLojaAber = QStringLiteral("LJ01");
    stInfNomeEnd = QStringLiteral("S");
    dtDataMovimento = 45000;
    dtAberCaixa = 45000.25;
    boUtilizaImpFis = true;
    Rev_IdTipoImpFis = 1;
    installFakes();
    form = std::make_unique<TfrmVendaArquivo>();
    frmVendaArquivo = form.get();
    fillCatalogs();
  }
  void TearDown() override {
    form.reset();
    outside::resetAll();
    salecontext::resetToLoadValues();
  }

  void installFakes() {
    outside::resetAll();
    outside::AbreCupom = [this](Variant& bag) {
      printer.push_back({QStringLiteral("AbreCupom"), outside::bagArguments(bag)});
      if (openAnswer) {
        outside::GravaParams(bag, QStringLiteral("CUPNR"), couponNumber);
        outside::GravaParams(bag, QStringLiteral("CONTCUPOM"), couponCounter);
      }
      return openAnswer;
    };
    outside::VendaItem = [this](Variant& bag) {
      printer.push_back({QStringLiteral("VendaItem"), outside::bagArguments(bag)});
      return itemAnswer;
    };
    outside::Cancela_ItGenerico = [this](const QString& e, const QString& nr, int a3, int a4,
                                         const QString& w5, const QString& w6, const QString& w7,
                                         const QString& w8, int a9, int a10, int a11, int a12,
                                         int a13) {
      printer.push_back({QStringLiteral("Cancela_ItGenerico"),
                         {e, nr, a3, a4, w5, w6, w7, w8, a9, a10, a11, a12, a13}});
      return cancelAnswer;
    };
    outside::Pesquisa = [this](fw::LocalTable& table, int a2, int a3, int a4, int a5, int a6,
                               int a7, int a8) {
      dialogs.push_back({QStringLiteral("Pesquisa"),
                         {table.name(), a2, a3, a4, a5, a6, a7, a8, table.recordCount()}});
      if (searchAnswer && !table.isEmpty()) table.setRecNo(searchRow);
      return searchAnswer;
    };
    outside::TecladoNumerico = [this](QString& text, const QString& title, const QString& prompt,
                                      const QString& empty, int a5, int a6, int a7, int a8, int a9,
                                      int a10) {
      dialogs.push_back({QStringLiteral("TecladoNumerico"),
                         {text, title, prompt, empty, a5, a6, a7, a8, a9, a10}});
      if (keypadAnswer) text = keypadText;
      return keypadAnswer;
    };
    outside::CriaInfAdicional = [this](const VariantList& values, Variant& answer) {
      dialogs.push_back({QStringLiteral("CriaInfAdicional"), values});
      dialogs.back().args.push_back(answer.size());
      for (int i = 0; i < 3; ++i) answer[i] = customerAnswer[static_cast<std::size_t>(i)];
    };
    outside::Mensagem = [this](const QString& text, const QString& a2, const QString& a3,
                               const QString& confirm, int kind, const QString& a6,
                               const QString& esquema, int a8, fw::LocalTable* table) {
      messages.push_back({text, {a2, a3, confirm, kind, a6, esquema, a8, table == nullptr}});
      return confirmAnswer;
    };
    outside::ApplicationHandleException = [this](const QString& m) { errors << m; };
  }

  static void addRow(fw::LocalTable& t, const QStringList& fields, const VariantList& values) {
    t.append();
    for (int i = 0; i < fields.size(); ++i) {
      t.setVariant(fields[i], values[static_cast<std::size_t>(i)]);
    }
    t.post();
  }

  void addProduct(const QString& cd, const QString& arv, const QString& name, const QString& bar,
                  const Variant& price, const QString& cest = {}, const QString& ncm = {},
                  const Variant& taxPercent = {}, const QString& inte = {}) {
    addRow(form->cdsProdutos,
           {"CDPRODUTO", "CDARVPROD", "NMPRODUTO", "SGUNIDADE", "CDBARPRODUTO", "VRPRECITEM",
            "CDCEST", "CDNCM", "VRPEALIMPFIS", "CDPRODINTE"},
           {cd, arv, name, "UN", bar, price, cest, ncm, taxPercent, inte});
  }
  void addTaxRow(const QString& cd, double rate, const QString& kind) {
    addRow(form->cdsAliquota, {"CDPRODUTO", "VRPEALIMPFIS", "IDTPIMPOSFIS"}, {cd, rate, kind});
  }

  // Products: 1 rice (barcode, CEST, NCM), 2 beans (no barcode), 3 no price, 4 two tax
  // rows, 5 no tax row, 6 a lower-case tax kind, 7 a rate the printer lacks, O'B a quote.
  void fillCatalogs() {
    form->cdsProdutos.createDataSet();
    addProduct("1", "A100", "Arroz", "7891000100103", 10.0, "0100100", "10063021", 18.0, "INT1");
    addProduct("2", "B200", "Feijão", "", 2.5);
    addProduct("3", "C300", "Sem preço", "", Variant());
    addProduct("4", "D400", "Duplo", "", 1.0);
    addProduct("5", "E500", "Sem imposto", "", 1.0);
    addProduct("6", "F600", "Minúsculo", "", 4.0);
    addProduct("7", "G700", "Sem alíquota", "", 5.0);
    addProduct("O'B", "H800", "Aspas", "", 6.0);
    addProduct("O", "I900", "Sem aspas", "", 6.0);
    form->cdsAliquota.declareFields({fw::FieldDef::text("CDPRODUTO", 30),
                                     fw::FieldDef::number("VRPEALIMPFIS"),
                                     fw::FieldDef::text("IDTPIMPOSFIS", 1)});
    form->cdsAliquota.createDataSet();
    for (const char* cd : {"1", "2", "3", "5x"}) addTaxRow(cd, 18, "T");
    addTaxRow("4", 18, "T");
    addTaxRow("4", 7, "T");
    addTaxRow("6", 7, "t");
    addTaxRow("7", 99, "T");
    addTaxRow("O'B", 12.5, "T");
    addTaxRow("O", 18, "T");
    addTaxRow("O", 7, "T");
    form->cdsAliqImpFis.createDataSet();
    for (const VariantList& r : {VariantList{"01", 18.0, "T"}, VariantList{"02", 7.0, "T"},
                                 VariantList{"03", 7.0, "S"}, VariantList{"04", 12.5, "T"}}) {
      addRow(form->cdsAliqImpFis, {"CDALIQIMPFIS", "VRALIQIMPFIS", "IDALIQIMPFIS"}, r);
    }
    form->cdsRecebAux.createDataSet();
    const QStringList f{"CDTIPORECE", "NMTIPORECE", "DSBUTTON", "IDTIPORECE", "NRORDTROCO",
                        "CDTIPOTROCO", "DSIMPFISCAL", "IDMOSTRARECE", "CDFPIMPFIS"};
    addRow(form->cdsRecebAux, f, {"01", "Dinheiro", "DINHEIRO", "1", "001", "01", "Dinheiro", "S", "FP1"});
    addRow(form->cdsRecebAux, f, {"02", "Cheque", "CHEQUE", "2", "", "", "Cheque", "N", ""});
    addRow(form->cdsRecebAux, f, {"03", "Cartão", "CARTAO", "3", "", "", "Cartao", "S", ""});
    addRow(form->cdsRecebAux, f, {"", "Vazio", "VAZIO", "", "", "", "", "S", ""});
  }

  // A real touch on a control of the shown form.
  void click(QWidget* control) {
    if (!form->isVisible()) {
      form->show();
      ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    QTest::mouseClick(control, Qt::LeftButton);
  }

  // Prepares product `code` (its CDPRODUTO) and adds it with the given quantity.
  void addItem(const QString& code, const QString& quantity = QStringLiteral("1")) {
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
  QString lastMessage() const { return messages.empty() ? QString() : messages.back().name; }
};

}  // namespace saletest
