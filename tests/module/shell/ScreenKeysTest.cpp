// The sales screen's keyboard: scans told from typing by the keys' own times, scans through
// the product checks, keys for the touch buttons, and keys that reach a dialog while it opens.
#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>

#include "dialogs/SearchDialog.h"
#include "module/items/SaleScreenTest.h"
#include "module/shell/ScreenKeys.h"
#include "module/support/QueuedInput.h"

namespace saletest {
namespace {

// Keys as a device types them, each stamped with its own time, not the time it arrives.
struct Keys {
  QWidget* to;
  quint64 clock = 100000;
  void key(int code, const QString& text = {}, quint64 gap = 8,
           Qt::KeyboardModifiers mods = Qt::NoModifier, bool queued = false) {
    auto* press = new QKeyEvent(QEvent::KeyPress, code, mods, text);
    press->setTimestamp(clock += gap);
    if (queued) return QCoreApplication::postEvent(to, press);
    QCoreApplication::sendEvent(to, press);
    delete press;
  }
  void type(const QString& text, quint64 gap = 8, bool queued = false) {
    for (const QChar ch : text) key(ch.toUpper().unicode(), QString(ch), gap, {}, queued);
  }
  // A key held down: the system repeats it as fast as a scanner types.
  void held(const QString& ch, int repeats, quint64 gap = 8) {
    for (int i = 0; i <= repeats; ++i) {
      QKeyEvent press(QEvent::KeyPress, ch.at(0).toUpper().unicode(), Qt::NoModifier, ch, i > 0);
      press.setTimestamp(clock += gap);
      QCoreApplication::sendEvent(to, &press);
    }
  }
  void scan(const QString& code, quint64 gap = 8, int end = Qt::Key_Return) {
    type(code, gap);
    key(end, {}, gap);
  }
};

using ScreenKeysTest = SaleScreenTest;

TEST_F(ScreenKeysTest, ScanOnTheScreenPicksAsTheSearchDoes) {
  const QString invalid = QStringLiteral("Código do produto inválido.");
  const QString noPrice =
      QStringLiteral("Operação bloqueada! Produto com preço zerado ou sem preço parametrizado.");
  // What is typed, then the code "Código" shows and the message shown.
  const std::vector<std::tuple<const char*, std::function<void(Keys&)>, QString, QString>> cases{
      {"scanner, Enter", [](Keys& k) { k.scan("7891000100103"); }, "A100", ""},
      {"scanner, Tab", [](Keys& k) { k.scan("INT1", 8, Qt::Key_Tab); }, "A100", ""},
      {"a person", [](Keys& k) { k.scan("7891000100103", 150); }, "", ""},
      {"no Enter", [](Keys& k) { k.type("B200"), k.key(Qt::Key_Return, {}, 400); }, "", ""},
      {"two keys", [](Keys& k) { k.scan("B2"); }, "", ""},
      {"slow start", [](Keys& k) { k.type("9"), k.clock += 300, k.scan("B200", 45); }, "B200", ""},
      {"unknown code", [](Keys& k) { k.scan("999999"); }, "", invalid},
      {"no price", [](Keys& k) { k.scan("C300"); }, "", noPrice},
      {"three characters", [](Keys& k) { k.scan("K10"); }, "K10", ""},
      {"keypad Enter",
       [](Keys& k) { k.type("B200"), k.key(Qt::Key_Enter, {}, 8, Qt::KeypadModifier); }, "B200",
       ""},
      {"a held key", [](Keys& k) { k.type("B20"), k.held("0", 1), k.key(Qt::Key_Return); }, "",
       ""},
      {"50 ms apart", [](Keys& k) { k.scan("B200", 50); }, "B200", ""},
      {"51 ms apart", [](Keys& k) { k.scan("B200", 51); }, "", ""},
  };
  addProduct({"11", "K10", "Kiwi", 2.0, "UN", "", "", "", "", Variant()});
  addTaxRow("11", 18, "T");
  Keys keys{form.get()};
  for (const auto& [what, typing, code, message] : cases) {
    form->clearProductEntry();
    messages.clear();
    keys.clock += 1000;
    typing(keys);
    EXPECT_EQ(form->bldCodigo->text() + "|" + form->bldQuant->text() + "|" + lastMessage(),
              code + "|" + (code.isEmpty() ? "" : "1") + "|" + message)
        << what;
  }
  EXPECT_EQ(stCodProduto, "2");      // the internal code of the product found last
  EXPECT_EQ(count("VendaItem"), 0);  // selecting only
  // A held key repeats as fast as a scanner: never a code.
  for (int i = 0; i < 4; ++i) {
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, "B", i > 0);
    repeat.setTimestamp(keys.clock += 5);
    QCoreApplication::sendEvent(form.get(), &repeat);
  }
  keys.key(Qt::Key_Return);
  EXPECT_EQ(form->bldCodigo->text(), "");
}

TEST_F(ScreenKeysTest, WithScanAddsEachScanIsOneItem) {
  form->findChild<shell::ScreenKeys*>()->setScanAdds(true);
  Keys keys{form.get()};
  keys.scan("7891000100103");
  keys.scan("7891000100103");
  keys.key(Qt::Key_Return);  // the same scan's Enter seen twice adds nothing
  keys.scan("999999");       // refused: the product before is not added again
  itemAnswer = false;        // the printer's refusal is told as after a touch
  keys.clock += 500;
  keys.scan("B200");
  EXPECT_EQ(count("VendaItem"), 3);
  EXPECT_EQ(column(form->cdsAddProduto, "NMPRODUTO"), QStringList({"Arroz", "Arroz"}));

  // The host's option wins over the data directory's file; a bad line is skipped.
  QFile conf(dataDir.filePath("RegVenda.conf"));
  ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
  conf.write("# leitor\nscan-adds = sim\nscan-adds=talvez\n");
  conf.close();
  EXPECT_TRUE(shell::scanAddsSetting());
  qputenv("REGVENDA_SCAN_ADDS", "0");
  EXPECT_FALSE(shell::scanAddsSetting());
  qunsetenv("REGVENDA_SCAN_ADDS");
}

// The keys the keyboard-only sale does not use (tests/e2e/KeyboardSaleTest.cpp uses the rest).
TEST_F(ScreenKeysTest, KeysRunTheTouchHandlers) {
  Keys keys{form.get()};
  keypadText = "2";
  for (int key : {Qt::Key_F9, Qt::Key_F2, Qt::Key_F3}) keys.key(key);  // F9: nothing to close
  EXPECT_EQ(form->bldQuant->text(), "2");
  form->bldAddProdClick(form->bldAddProd);
  confirmAnswer = false;
  for (int key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Delete, Qt::Key_Escape}) keys.key(key);
  EXPECT_EQ(lastMessage(), "Confirma o cancelamento do item?");
  keys.key(Qt::Key_F12);
  EXPECT_EQ(count("FechaCupom"), 0);  // F9 above, before the sale was paid
  EXPECT_EQ(count("Cancela_Cupom_Imp"), 1);
}

// A scan that begins on the screen as "Código" is touched and goes on while the search
// dialog opens lands in the dialog whole; the exact barcode wins over its prefix matches.
TEST_F(ScreenKeysTest, KeysTypedWhileTheSearchOpensReachIt) {
  addProduct({"9", "J100", "Curto", 3.0, "UN", "78910001", "", "", "", Variant()});
  addProduct({"10", "789100011", "Longo", 3.0, "UN", "", "", "", "", Variant()});
  addTaxRow("9", 18, "T");
  outside::Pesquisa = [](fw::LocalTable& table, int, int, int, int, int, int, int) {
    dialogs::SearchDialog dialog(table);
    return dialog.exec() == QDialog::Accepted;
  };
  QTimer guard;  // a dialog the keys never reach must not hang the test
  QObject::connect(&guard, &QTimer::timeout, [] {
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
  });
  guard.start(3000);
  Keys keys{form.get()};
  keys.type("789");  // held by the screen: the start of a scan
  keys.type("10001", 8, true);
  keys.key(Qt::Key_Return, "\r", 8, {}, true);
  form->bldCodigo->click();
  EXPECT_EQ(form->lblProd->text(), "Curto - UN");
}

// A touch queued while the search was open runs after the handler: it adds the product
// just picked, not the one prepared before.
TEST_F(ScreenKeysTest, TouchQueuedDuringTheSearchRunsAfterIt) {
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  form->ValidaProd("1");
  outside::Pesquisa = [this](fw::LocalTable& table, int, int, int, int, int, int, int) {
    table.setRecNo(2);
    testsupport::queueTouch(form->bldAddProd);
    return true;
  };
  form->bldCodigo->click();
  EXPECT_EQ(count("VendaItem"), 0);
  for (int i = 0; i < 100 && count("VendaItem") == 0; ++i) QTest::qWait(10);
  EXPECT_EQ(column(form->cdsAddProduto, "NMPRODUTO"), QStringList({"Feijão"}));
}

}  // namespace
}  // namespace saletest
