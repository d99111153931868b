// Choosing products, adding them on the printer, cancelling and moving in the item list.
#include <QDir>
#include <cerrno>
#include <deque>

#include "framework/packet/FileIo.h"
#include "module/items/SaleScreenTest.h"

namespace saletest {
namespace {

using Items = SaleScreenTest;

void expectNoProduct(TfrmVendaArquivo& f) {
  EXPECT_EQ(f.bldCodigo->text(), "");
  EXPECT_EQ(f.lblProd->text(), "<-- Selecionar produto");
  EXPECT_EQ(f.bldPrecoUn->text(), "");
  EXPECT_EQ(f.bldQuant->text(), "");
}

TEST_F(Items, SearchWholeCatalogAndLookupOrder) {
  form->cdsProdutos.setFilter("CDPRODUTO = '2'");
  form->cdsProdutos.setFiltered(true);
  form->bldQuant->setText("2,5");  // typed before the product: stays
  form->bldCodigoClick(form->bldCodigo);
  expectArgs(dialogs[0].args, {"cdsProdutos", 0, 0, 0, 0, 0, 0, 0, 9});
  EXPECT_EQ(stCodProduto, "1");
  EXPECT_EQ(form->lblProd->text(), "Arroz - KG");
  EXPECT_EQ(form->bldPrecoUn->text(), "R$10,00");
  EXPECT_EQ(stQuant, "2,5");
  EXPECT_EQ(stCdAliquota + "/" + stVrAliquota, "01/18");

  searchAnswer = false;  // cancelled: the prepared product stays
  form->bldCodigoClick(form->bldCodigo);
  EXPECT_EQ(form->bldCodigo->text(), "A100");

  // An internal code wins over another product's display code; then barcode, further code.
  addProduct({"B200", "Z1", "Mesmo código", 3.0, "UN", "", "", "", "", Variant()});
  // A100's barcode as another product's further code: the barcode decides.
  addProduct({"C300", "Z3", "Outro código", 3.0, "UN", "", "7891000100103", "", "", Variant()});
  for (const char* code : {"B200", "7891000100103", "INT1"}) addTaxRow(code, 18, "T");
  const std::vector<std::pair<QString, QString>> lookups{
      {"B200", "Z1"}, {"7891000100103", "A100"}, {"INT1", "A100"}};
  for (const auto& [code, shown] : lookups) {
    form->ValidaProd(code);
    EXPECT_EQ(form->bldCodigo->text(), shown) << code.toStdString();
  }
  EXPECT_TRUE(messages.empty());
  for (const char* bad : {"a100", ""}) {  // case matters; "" never matches an empty barcode
    form->ValidaProd(bad);
    EXPECT_EQ(lastMessage(), "Código do produto inválido.");
    expectNoProduct(*form);
  }
}

// The tax refusals clear the entry too: the catalog already stands on the refused product.
TEST_F(Items, RefusalsClearTheEntry) {
  const std::vector<std::pair<QString, QString>> cases{
      {"3", "Operação bloqueada! Produto com preço zerado ou sem preço parametrizado."},
      {"4", "Operação bloqueada! Produto com mais de um imposto cadastrado."},
      {"5", "Operação bloqueada! Produto sem imposto cadastrado."},
      {"7", "Operação bloqueada! A alíquota do produto não está cadastrada na impressora fiscal."}};
  for (const auto& [code, text] : cases) {
    form->ValidaProd("2");
    form->ValidaProd(code);
    EXPECT_EQ(lastMessage(), text);
    expectArgs(messages.back().args(), {"", "N", "N", 3, "", "001", 0, true});
    expectNoProduct(*form);
    EXPECT_FALSE(form->cdsAliquota.filtered());
    EXPECT_EQ(stCdAliquota + stQuant, "011");
  }
  form->cdsAliquota.close();  // a failure inside the check is shown, not thrown
  form->ValidaProd("1");
  EXPECT_EQ(messages.size(), 5u);
}

// The display code goes into 10-character fields and the rate code into a 5-character one:
// a product they do not fit, or without a display code, is refused before anything prints.
TEST_F(Items, CodesThatCannotBeStoredAsTheyAreAreRefused) {
  addProduct({"L1", "A1234567890", "Longo", 1.0, "UN", "", "", "", "", Variant()});
  addProduct({"L2", "A123456789", "Dez", 1.0, "UN", "", "", "", "", Variant()});
  addProduct({"L3", "", "Sem código", 1.0, "UN", "", "", "", "", Variant()});
  addProduct({"L4", "L4", "Alíquota longa", 1.0, "UN", "", "", "", "", Variant()});
  addRow(form->cdsAliqImpFis, {"CDALIQIMPFIS", "VRALIQIMPFIS", "IDALIQIMPFIS"},
         {"T25000", 25.0, "T"});
  for (const char* code : {"L1", "L2", "L3"}) addTaxRow(code, 18, "T");
  addTaxRow("L4", 25, "T");
  const std::vector<std::pair<QString, QString>> refused{
      {"L1", "Operação bloqueada! O código do produto \"A1234567890\" tem mais de 10 caracteres."},
      {"L3", "Operação bloqueada! O produto \"Sem código\" não tem código cadastrado."},
      {"L4",
       "Operação bloqueada! O código da alíquota \"T25000\" da impressora fiscal tem mais de 5 "
       "caracteres."}};
  for (const auto& [code, text] : refused) {
    form->ValidaProd("2");
    form->ValidaProd(code);
    EXPECT_EQ(lastMessage(), text);
    expectNoProduct(*form);
    EXPECT_FALSE(form->cdsAliquota.filtered());
    form->bldAddProdClick(nullptr);
    EXPECT_EQ(lastMessage(), "Operação bloqueada! Nenhum produto foi selecionado.");
  }
  EXPECT_TRUE(printer.empty());
  addItem("L2");
  EXPECT_EQ(
      form->cdsAddProduto.asText("CDPRODUTO") + "|" + form->cdsAddProduto.asText("CDPRODPROMOCAO"),
      "A123456789|A123456789");
}

// Without a printer-rate lookup the printer gets the product's own tax kind, not that of the
// rate row the printer table happens to stand on.
TEST_F(Items, TaxKindSentIsTheProducts) {
  boUtilizaImpFis = false;
  form->cdsAliqImpFis.setRecNo(3);  // "03", kind S
  addItem("1");
  addItem("6");  // its own kind, as stored
  EXPECT_EQ(printer[1].args[6].toText() + printer[2].args[6].toText(), "Tt");
  EXPECT_EQ(printer[1].args[5].toText() + printer[2].args[5].toText(), "");
  boUtilizaImpFis = true;
  addItem("6");  // looked up: the printer rate's kind
  EXPECT_EQ(printer[3].args[5].toText() + printer[3].args[6].toText(), "02T");
}

TEST_F(Items, PrinterRateLookup) {
  form->ValidaProd("6");  // lower-case kind finds the upper-case rate
  EXPECT_EQ(stCdAliquota + "/" + stVrAliquota, "02/7");
  form->ValidaProd("O'B");  // the quote cannot widen the filter to "O"'s two rows
  EXPECT_EQ(stCdAliquota + "/" + stVrAliquota, "04/12,5");
  EXPECT_TRUE(messages.empty());

  form->cdsAliqImpFis.setRecNo(3);
  for (int setting = 0; setting < 6; ++setting) {  // no lookup: product 7 shows
    boUtilizaImpFis = setting != 0;
    Rev_IdTipoImpFis = std::vector<int>{1, 16, 21, 26, 30, 1}[static_cast<std::size_t>(setting)];
    stIdTipoCaixa = setting == 5 ? "C" : "";
    form->ValidaProd("7");
    EXPECT_EQ(form->bldCodigo->text() + stCdAliquota + stVrAliquota, "G700") << setting;
  }
  EXPECT_EQ(form->cdsAliqImpFis.recNo(), 3);
  EXPECT_TRUE(messages.empty());
}

TEST_F(Items, QuantityKeypad) {
  keypadText = "3,5";
  form->bldQuantClick(form->bldQuant);
  expectArgs(dialogs[0].args, {"", "Venda de Produto", "Informe a quantidade a ser vendida",
                               "Quantidade deve ser informada.", 20, 0, 0, 0, 0, 0});
  EXPECT_EQ(form->bldQuant->text() + "|" + stQuant, "3,5|3,5");
  keypadAnswer = false;
  form->bldQuantClick(form->bldQuant);
  EXPECT_EQ(form->bldQuant->text() + "|" + stQuant, "1|1");
}

TEST_F(Items, FirstItemOpensTheCouponWithEveryArgument) {
  addItem("1", "2,5");
  ASSERT_EQ(printer.size(), 2u);
  expectArgs(printer[0].args, {"001", 0, "", "", "", "", "", "", "", "", "", "", "", "", false});
  expectArgs(printer[1].args, {"001", "", "D", "7891000100103", "0100100#10063021#Arroz", "01", "T",
                               "KG", "", "18", "", 0, 2.5, 10.0, 0.0, 0.0, false});
  EXPECT_TRUE(dialogs.empty());
  EXPECT_TRUE(boCupomAberto);
  EXPECT_EQ(stCupomVen, "000123");
  fw::LocalTable& row = form->cdsAddProduto;
  expectRow(row, {{"NMPRODUTO", "Arroz"},
                  {"CDCAIXA", "002"},
                  {"CDFILIAL", "0001"},
                  {"NRSEQUITVENDA", "001"},
                  {"CDCLIENTE", "CLI1"},
                  {"CDEMPRESA", "01"},
                  {"DTENTRVENDA", Variant::dateTime(45000)},
                  {"IDSITUVENDA", "O"},
                  {"VRDESCVENDA", 0.0},
                  {"CDFILIALTUR", "0001"},
                  {"CDCAIXATUR", "002"},
                  {"DTABERTUR", Variant::dateTime(45000.25)},
                  {"NRCUPOMFIS", "000123"},
                  {"CDOPERADOR", "OPER"},
                  {"CDLOJA", "LJ01"},
                  {"IDTIPOVENDA", "D"},
                  {"TXOBSVENDA", Variant()},
                  {"IDVENDEBCONS", "N"},
                  {"IDCANCMANUAL", "N"},
                  {"QTPRODVEND", 2.5},
                  {"VRTOTVEND", 25.0},
                  {"VRUNITVEND", 10.0},
                  {"CDPRODUTO", "A100"},
                  {"VRUNITVENDCL", 0.0},
                  {"CDPRODPROMOCAO", "A100"},
                  {"VRPEALIMPFIS", 18.0},
                  {"QTPRODCOMVEN", 2.5},
                  {"VRPRECCOMVEN", 10.0},
                  {"NRCONTCUPOMFISC", "000045"},
                  {"CDORDALIQIMPR", "01"},
                  {"VRREPIQUEVENDA", 0.0},
                  {"NRSEQ", "001"},
                  {"IDPRODIMPFIS", "S"},
                  {"NMCONSVEND", Variant()},
                  {"VRDESITVEND", Variant()}});
  EXPECT_GE(row.asDateTime("DTFECHAVENDA"), row.asDateTime("DTVENDA"));
  EXPECT_EQ(row.displayText("VRTOTVEND"), "R$25,00");
  EXPECT_EQ(form->lblTotal->text() + "|" + form->lblValTroco->text(), "25,00|0,00");
  EXPECT_FALSE(form->bldGravar->isEnabled());
  expectNoProduct(*form);
  EXPECT_EQ(TfrmVendaArquivo::itemListFields().size(), 69u);
}

TEST_F(Items, LaterItemsAndCustomerData) {
  addItem("1");
  addItem("2", "2");  // no barcode: display code; no CEST or NCM: the name alone
  expectArgs(printer[2].args, {"001", "", "D", "B200", "Feijão", "01", "T", "UN", "", "18", "", 0,
                               2.0, 2.5, 0.0, 0.0, false});
  EXPECT_EQ(form->cdsAddProduto.asText("NRCONTCUPOMFISC"), "");
  EXPECT_TRUE(form->cdsAddProduto.isNull("VRPEALIMPFIS"));
  EXPECT_EQ(form->lblTotal->text(), "15,00");

  boCupomAberto = false;
  stSolicitaCPF = "S";
  addItem("2");
  expectArgs(dialogs[0].args, {"", "", "", "", "", "", "001", "S", 10});
  expectArgs(printer[3].args, {"001", 0, "Cliente", "12345678909", "Rua A, 1", "000123", "", "", "",
                               "", "", "", "", "", false});
}

TEST_F(Items, AdditionRefusals) {
  form->bldAddProdClick(nullptr);
  EXPECT_EQ(lastMessage(), "Operação bloqueada! Nenhum produto foi selecionado.");
  openAnswer = false;  // no coupon: silently nothing, the next touch tries again
  form->ValidaProd("1");
  form->bldAddProdClick(nullptr);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_FALSE(boCupomAberto || form->cdsAddProduto.active());
  EXPECT_EQ(form->bldCodigo->text(), "A100");
  openAnswer = true;
  itemAnswer = false;  // item refused: message, no row, button off, coupon stays open
  form->bldAddProdClick(nullptr);
  EXPECT_EQ(lastMessage(), "Último item será cancelado e deverá ser registrado novamente.");
  EXPECT_FALSE(form->bldAddProd->isEnabled());
  EXPECT_TRUE(boCupomAberto && form->cdsAddProduto.isEmpty());
  expectNoProduct(*form);

  itemAnswer = true;
  form->ValidaProd("1");
  form->bldQuant->setText("abc");
  stQuant = "abc";
  form->runHandler([this] { form->bldAddProdClick(nullptr); });  // as a touch runs it
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].contains("abc"));
  EXPECT_TRUE(form->cdsAddProduto.isEmpty());
}

// After moving up the list the next number still follows the highest one, so cancelling
// either item sends the printer a number only that item has.
TEST_F(Items, NumbersNeverRepeatTotalsKeepTheirGrouping) {
  addItem("1");
  addItem("2");
  addItem("2");
  form->bldAbaixoClick(nullptr);
  form->bldAbaixoClick(nullptr);
  form->bldAbaixoClick(nullptr);  // on 001, the last row
  addItem("1");
  EXPECT_EQ(column(form->cdsAddProduto, "NRSEQUITVENDA"),
            QStringList({"003", "002", "004", "001"}));
  EXPECT_EQ(form->cdsAddProduto.asText("NRSEQ"), "004");

  form->lblTotal->setText("999,00");
  doTotal = 1010;
  addItem("2", "0,8");
  EXPECT_EQ(form->lblTotal->text(), "1.001,00");
  EXPECT_EQ(form->lblValTroco->text(), "9,00");
  EXPECT_TRUE(form->bldGravar->isEnabled());
  addItem("1");
  EXPECT_EQ(form->lblTotal->text(), "1.011,00");
  EXPECT_EQ(form->lblValTroco->text(), "0,00");
  EXPECT_FALSE(form->bldGravar->isEnabled());

  form->cdsAddProduto.emptyDataSet();  // the screen reset
  form->lblTotal->clear();
  addItem("2");
  EXPECT_EQ(column(form->cdsAddProduto, "NRSEQ"), QStringList({"001"}));
  EXPECT_EQ(form->lblTotal->text(), "2,50");
}

TEST_F(Items, CancellingTheSelectedItem) {
  form->bldCancelClick(nullptr);  // list not open: nothing, and the arrows have nothing to move
  form->runHandler([this] { form->bldAcimaClick(nullptr); });
  form->runHandler([this] { form->bldAbaixoClick(nullptr); });
  EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
  EXPECT_TRUE(messages.empty());
  addItem("1");
  addItem("2", "2");
  addItem("1", "3");  // 003 30,00 / 002 5,00 / 001 10,00
  printer.clear();
  form->bldAbaixoClick(nullptr);
  confirmAnswer = false;
  form->bldCancelClick(nullptr);
  EXPECT_TRUE(printer.empty());
  confirmAnswer = true;
  form->bldCancelClick(nullptr);
  expectArgs(messages.back().args(), {"", "N", "S", 0, "", "001", 0, true});
  EXPECT_EQ(lastMessage(), "Confirma o cancelamento do item?");
  expectArgs(printer[0].args, {"001", "002", 0, 0, "m", "0", "0", "0", 0, 0, 0, 0, 0});
  EXPECT_EQ(form->lblTotal->text(), "40,00");
  EXPECT_EQ(column(form->cdsAddProduto, "IDPRODIMPFIS"), QStringList({"S", "C", "S"}));
  EXPECT_EQ(form->cdsAddProduto.displayText("IDPRODIMPFIS"), "Cancelado");
  form->bldCancelClick(nullptr);  // already cancelled: no question, no call
  EXPECT_EQ(printer.size(), 1u);

  cancelItemAnswer = false;  // refused: row and total stay, the finish rule still runs
  doTotal = 100;
  form->bldAcimaClick(nullptr);
  form->bldCancelClick(nullptr);
  EXPECT_EQ(form->cdsAddProduto.asText("IDPRODIMPFIS") + form->lblTotal->text(), "S40,00");
  EXPECT_EQ(form->lblValTroco->text(), "60,00");
  EXPECT_TRUE(form->bldGravar->isEnabled());

  cancelItemAnswer = true;
  doTotal = 0;
  for (int row : {1, 3}) {
    form->cdsAddProduto.setRecNo(row);
    form->bldCancelClick(nullptr);
  }
  EXPECT_EQ(form->lblTotal->text(), "0,00");
  EXPECT_FALSE(form->bldGravar->isEnabled());
  EXPECT_TRUE(boCupomAberto);
  EXPECT_EQ(form->cdsAddProdutoIDPRODIMPFISGetText("S", true), "Impresso");
  EXPECT_EQ(form->cdsAddProdutoIDPRODIMPFISGetText("", true), "");
}

// A host killed with two items on an open coupon: the next start has the sale as it was,
// and its item numbers go on.
TEST_F(Items, KilledWithAnOpenCouponTheNextStartHasTheSaleAsItWas) {
  addItem("1", "2");
  addItem("2");
  ASSERT_EQ(form->lblTotal->text(), "22,50");
  restart();

  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(lastMessage(), "Venda em andamento recuperada: cupom 000123, 2 itens.");
  EXPECT_TRUE(boCupomAberto);
  EXPECT_EQ(stCupomVen, "000123");
  QStringList codes = column(form->cdsAddProduto, "CDPRODUTO");
  codes.sort();
  EXPECT_EQ(codes, QStringList({"A100", "B200"}));
  EXPECT_EQ(form->lblTotal->text(), "22,50");
  EXPECT_EQ(form->lblValTroco->text(), "0,00");
  EXPECT_FALSE(form->bldGravar->isEnabled());

  addItem("2");
  ASSERT_EQ(printer.size(), 1u);  // the same coupon: no second opening
  EXPECT_EQ(printer[0].name, "VendaItem");
  QStringList numbers = column(form->cdsAddProduto, "NRSEQ");
  numbers.sort();
  EXPECT_EQ(numbers, QStringList({"001", "002", "003"}));
  EXPECT_EQ(form->lblTotal->text(), "25,00");
}

// A "C" file that failed after the printer cancelled the coupon stays owed, across a
// restart, and is written before the next item opens a new coupon with none of its rows.
TEST_F(Items, CancelledRowsWhoseFileFailedNeverReachTheNextCoupon) {
  ASSERT_TRUE(QDir().mkpath(outputFolder()));
  addItem("1");
  fw::setWriteFault([](fw::WriteStep, const QString& path) {
    return path.contains("Venda_Arquivo") ? ENOSPC : 0;
  });
  form->bldCancelaClick(nullptr);
  EXPECT_FALSE(boCupomAberto);
  EXPECT_EQ(form->cancelamentoDevido, "C");
  restart();
  fw::setWriteFault({});
  EXPECT_EQ(form->cancelamentoDevido, "C");

  addItem("2");
  fw::LocalTable cancelled;
  cancelled.loadFromFile(outputFolder() + "/Venda0001_002_000123.cds");
  EXPECT_EQ(column(cancelled, "CDPRODUTO"), QStringList{"A100"});
  EXPECT_EQ(column(cancelled, "IDSITUVENDA"), QStringList{"C"});
  EXPECT_EQ(column(form->cdsAddProduto, "CDPRODUTO"), QStringList{"B200"});
  ASSERT_FALSE(printer.empty());
  EXPECT_EQ(printer[0].name, "AbreCupom");
  EXPECT_TRUE(boCupomAberto);
}

// The host killed right after the printer did `operation`: the kept sale still says it was
// asked. At the next start the printer's status answer settles it.
TEST_F(Items, PendingCommandsSettleFromThePrinterStatus) {
  using V = Variant;
  const auto item = [](const char* n, bool cancelled) {
    return V::array({V(QString(n)), V(cancelled)});
  };
  struct Case {
    const char* name;
    const char* killedAfter;
    VariantList status;
    QStringList states;  // IDPRODIMPFIS of the rows afterwards, newest first
    QString total;
    bool statusAnswers = true;
  } cases[] = {
      {"item taken",
       "VendaItem",
       {V("000123"), V::array({item("001", false), item("002", false)})},
       {"S", "S"},
       "12,50"},
      {"item never taken",
       "VendaItem",
       {V("000123"), V::array({item("001", false)})},
       {"S"},
       "10,00"},
      {"item cancelled",
       "Cancela_ItGenerico",
       {V("000123"), V::array({item("001", false), item("002", true)})},
       {"C", "S"},
       "10,00"},
      {"cancellation never made",
       "Cancela_ItGenerico",
       {V("000123"), V::array({item("001", false), item("002", false)})},
       {"S", "S"},
       "12,50"},
      {"no answer", "VendaItem", {}, {"S", "S"}, "10,00", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    QFile::remove(dataDir.path() + "/VendaEmAndamento.cds");
    SetUp();
    addItem("1");
    if (QString(c.killedAfter) == "Cancela_ItGenerico") addItem("2");
    onPrinterCall = [&](const QString& name) {
      if (name != c.killedAfter) return;
      fw::setWriteFault([](fw::WriteStep, const QString& path) {
        return path.contains("VendaEmAndamento") ? EIO : 0;
      });
    };
    if (QString(c.killedAfter) == "VendaItem") {
      addItem("2");
    } else {
      confirmAnswer = true;
      form->bldCancelClick(form->bldCancel);
    }
    onPrinterCall = nullptr;
    fw::setWriteFault({});
    status = c.status;
    statusAnswer = c.statusAnswers;
    restart();
    EXPECT_EQ(count("Estado_Impressora"), 1);
    EXPECT_EQ(column(form->cdsAddProduto, "IDPRODIMPFIS"), c.states);
    EXPECT_EQ(form->lblTotal->text(), c.total);
    EXPECT_EQ(form->comandoPendente.isEmpty(), c.statusAnswers);
    EXPECT_TRUE(boCupomAberto);
    if (!c.statusAnswers) {
      // A new touch never replaces the unconfirmed command; once the printer answers, the
      // touch settles it and asks nothing.
      const int sold = count("VendaItem");
      confirmAnswers = {false};  // the cashier does not read the tape now
      EXPECT_THROW(addItem("1"), fw::Error);
      EXPECT_EQ(form->comandoPendente, "I");
      statusAnswer = true;
      status = {V("000123"), V::array({item("001", false), item("002", false)})};
      EXPECT_THROW(addItem("1"), fw::Error);
      EXPECT_EQ(count("VendaItem"), sold);
      EXPECT_TRUE(form->comandoPendente.isEmpty());
      EXPECT_EQ(form->lblTotal->text(), "12,50");
      // The settling touch made no row of its own: the printed rows are the printer's items.
      QStringList numbers = column(form->cdsAddProduto, "NRSEQ");
      numbers.sort();
      EXPECT_EQ(numbers, QStringList({"001", "002"}));
      restart();
      EXPECT_EQ(form->cdsAddProduto.recordCount(), 2);
    }
  }
}

// The printer cannot say what it did with an item asked before a crash, or the bridge failed
// while registering it: the sale follows what the printer printed, read from its status or,
// failing that, from the cashier's reading of the tape; and the till sells on.
TEST_F(Items, AnItemThePrinterMayHaveIsSettledAndTheTillSellsOn) {
  using V = Variant;
  const auto item = [](const char* n) { return V::array({V(QString(n)), V(false)}); };
  const VariantList hasItem2{V("000123"), V::array({item("001"), item("002")})};
  const VariantList lacksItem2{V("000123"), V::array({item("001")})};
  enum Bridge { Answers, Fails, NoStatusQuestion };
  struct Case {
    const char* name;
    bool bridgeThrows;  // VendaItem fails with an error; else the host is killed after it
    Bridge bridge;      // the status question, once the screen asks it
    VariantList status;
    std::deque<bool> cashier;  // read the tape now?, then what it shows
    QStringList numbers;       // the rows afterwards, printed ones, sorted
    QString total;
    QString next;  // the number the next item gets ("" while the command stays pending)
  } cases[] = {
      {"no status question, the tape shows it", false, NoStatusQuestion, {}, {true, true},
       {"001", "002"}, "12,50", "003"},
      {"status fails, the tape lacks it", false, Fails, {}, {true, false}, {"001"}, "10,00",
       "002"},
      {"status fails, the cashier waits", false, Fails, {}, {false}, {"001", "002"}, "10,00", ""},
      {"the bridge failed, the printer has it", true, Answers, hasItem2, {}, {"001", "002"},
       "12,50", "003"},
      {"the bridge failed, the printer lacks it", true, Answers, lacksItem2, {}, {"001"},
       "10,00", "002"},
      {"the bridge failed and cannot answer", true, Fails, {}, {}, {"001", "002"}, "10,00", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    QFile::remove(dataDir.path() + "/VendaEmAndamento.cds");
    SetUp();
    addItem("1");
    onPrinterCall = [&](const QString& name) {
      if (name != "VendaItem") return;
      if (c.bridgeThrows) throw fw::Error("a ponte perdeu a impressora");
      fw::setWriteFault([](fw::WriteStep, const QString& path) {
        return path.contains("VendaEmAndamento") ? EIO : 0;
      });
    };
    statusAnswer = c.bridge == Answers;
    status = c.status;
    if (c.bridgeThrows) {
      EXPECT_THROW(addItem("2"), fw::Error);
    } else {
      addItem("2");
      onPrinterCall = nullptr;
      fw::setWriteFault({});
      restart();
      if (c.bridge == NoStatusQuestion) outside::Estado_Impressora = nullptr;
      confirmAnswers = c.cashier;
      const int sold = count("VendaItem");
      EXPECT_THROW(addItem("1"), fw::Error);  // settles, asks the printer nothing
      EXPECT_EQ(count("VendaItem"), sold);
    }
    onPrinterCall = nullptr;
    EXPECT_TRUE(confirmAnswers.empty());
    QStringList numbers;
    for (int r = 0; r < form->cdsAddProduto.recordCount(); ++r) {
      if (form->cdsAddProduto.textAt(r, form->cdsAddProduto.fieldIndex("IDPRODIMPFIS")) == "S")
        numbers << form->cdsAddProduto.textAt(r, form->cdsAddProduto.fieldIndex("NRSEQ"));
    }
    numbers.sort();
    EXPECT_EQ(numbers, c.numbers);
    EXPECT_EQ(form->lblTotal->text(), c.total);
    EXPECT_EQ(form->comandoPendente.isEmpty(), !c.next.isEmpty());
    restart();  // the kept sale says the same
    EXPECT_EQ(form->cdsAddProduto.recordCount(), c.numbers.size());
    if (c.next.isEmpty()) continue;
    addItem("1");
    EXPECT_EQ(form->cdsAddProduto.asText("NRSEQ"), c.next);
  }
}

// A save of the kept sale that failed is not remembered as written: the next touch, even one
// that changes nothing, writes the sale.
TEST_F(Items, AKeptSaleSaveThatFailedIsWrittenByTheNextTouch) {
  addItem("1");
  fw::setWriteFault([](fw::WriteStep, const QString& path) {
    return path.contains("VendaEmAndamento") ? ENOSPC : 0;
  });
  addItem("2");
  fw::setWriteFault({});
  // What the cashier can do comes first.
  EXPECT_TRUE(lastMessage().startsWith("Disco cheio: libere espaço no disco e toque de novo."))
      << lastMessage().toStdString();
  form->bldGravarClick(form->bldGravar);  // refused: no payment
  restart();
  EXPECT_EQ(form->cdsAddProduto.recordCount(), 2);
  EXPECT_EQ(form->lblTotal->text(), "12,50");
}

// The printer opened the coupon and refused its first item: no rows, and after a restart the
// coupon is still the sale's, open.
TEST_F(Items, CouponOpenedWhoseFirstItemWasRefusedComesBackOpen) {
  itemAnswer = false;
  addItem("1");
  ASSERT_TRUE(boCupomAberto);
  restart();
  EXPECT_TRUE(boCupomAberto);
  EXPECT_EQ(stCupomVen, "000123");
  itemAnswer = true;
  addItem("2");
  EXPECT_EQ(count("AbreCupom"), 0);
}

TEST_F(Items, NoCouponIsOpenedWhenNoPaymentTypeCanBeUsed) {
  fw::LocalTable& types = form->cdsRecebAux;
  for (types.first(); !types.eof(); types.next()) {
    types.edit();
    types.setText("IDMOSTRARECE", "N");
    types.post();
  }
  addItem("1");
  EXPECT_TRUE(printer.empty());
  EXPECT_FALSE(boCupomAberto);
  EXPECT_TRUE(form->cdsAddProduto.isEmpty());
  EXPECT_TRUE(lastMessage().startsWith("Nenhum tipo de recebimento pode ser usado nesta tela"))
      << lastMessage().toStdString();
}

}  // namespace
}  // namespace saletest
