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
class Keys {
 public:
  explicit Keys(QWidget* to) : to_(to) {}
  void key(int code, const QString& text = {}, quint64 gap = 8,
           Qt::KeyboardModifiers mods = Qt::NoModifier, bool queued = false) {
    clock_ += gap;
    auto* press = new QKeyEvent(QEvent::KeyPress, code, mods, text);
    press->setTimestamp(clock_);
    if (queued) {
      QCoreApplication::postEvent(to_, press);
    } else {
      QCoreApplication::sendEvent(to_, press);
      delete press;
    }
  }
  void type(const QString& text, quint64 gap = 8, bool queued = false) {
    for (const QChar ch : text) key(ch.toUpper().unicode(), QString(ch), gap, {}, queued);
  }
  void scan(const QString& code, quint64 gap = 8, int end = Qt::Key_Return) {
    type(code, gap);
    key(end, end == Qt::Key_Tab ? QStringLiteral("\t") : QStringLiteral("\r"), gap);
  }
  void pause(quint64 ms) { clock_ += ms; }

 private:
  QWidget* to_;
  quint64 clock_ = 100000;
};

class ScreenKeysTest : public SaleScreenTest {
 protected:
  shell::ScreenKeys& screenKeys() { return *form->findChild<shell::ScreenKeys*>(); }
  void clean() {
    form->clearProductEntry();
    messages.clear();
  }
};

TEST_F(ScreenKeysTest, ScanOnTheScreenPicksAsTheSearchDoes) {
  struct Case {
    const char* what;
    std::function<void(Keys&)> keys;
    QString code;  // shown on "Código" afterwards
    QString message;
  };
  const QString invalid = QStringLiteral("Código do produto inválido.");
  const std::vector<Case> cases{
      {"scanner, Enter", [](Keys& k) { k.scan("7891000100103"); }, "A100", ""},
      {"scanner, Tab", [](Keys& k) { k.scan("INT1", 8, Qt::Key_Tab); }, "A100", ""},
      {"display code", [](Keys& k) { k.scan("B200", 40); }, "B200", ""},
      {"a person", [](Keys& k) { k.scan("7891000100103", 150); }, "", ""},
      {"no Enter", [](Keys& k) { k.type("7891000100103"), k.pause(400), k.key(Qt::Key_Return); },
       "", ""},
      {"two keys", [](Keys& k) { k.scan("B2"); }, "", ""},
      {"slow start", [](Keys& k) { k.type("9", 8), k.pause(300), k.scan("B200"); }, "B200", ""},
      {"unknown code", [](Keys& k) { k.scan("999999"); }, "", invalid},
      {"no price", [](Keys& k) { k.scan("C300"); }, "",
       "Operação bloqueada! Produto com preço zerado ou sem preço parametrizado."},
  };
  Keys keys(form.get());
  for (const Case& c : cases) {
    clean();
    keys.pause(1000);
    c.keys(keys);
    EXPECT_EQ(form->bldCodigo->text(), c.code) << c.what;
    EXPECT_EQ(form->bldQuant->text(), c.code.isEmpty() ? "" : "1") << c.what;
    EXPECT_EQ(lastMessage(), c.message) << c.what;
  }
  // A held key repeats as fast as a scanner: never a code.
  clean();
  keys.pause(1000);
  for (int i = 0; i < 4; ++i) {
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_1, Qt::NoModifier, "1", i > 0);
    repeat.setTimestamp(200000 + i * 5);
    QCoreApplication::sendEvent(form.get(), &repeat);
  }
  EXPECT_EQ(form->bldCodigo->text(), "");
  EXPECT_EQ(stCodProduto, "2");  // the internal code of the product scanned last
  EXPECT_EQ(count("VendaItem"), 0);  // selecting only
}

TEST_F(ScreenKeysTest, WithScanAddsEachScanIsOneItem) {
  screenKeys().setScanAdds(true);
  Keys keys(form.get());
  keys.scan("7891000100103");
  keys.scan("7891000100103");
  keys.key(Qt::Key_Return, "\r", 8);  // the same scan's Enter seen twice adds nothing
  keys.scan("999999");               // refused: the product before is not added again
  EXPECT_EQ(count("VendaItem"), 2);
  EXPECT_EQ(column(form->cdsAddProduto, "NMPRODUTO"), QStringList({"Arroz", "Arroz"}));
  EXPECT_EQ(lastMessage(), "Código do produto inválido.");
  itemAnswer = false;  // the printer's refusal is told as after a touch
  keys.pause(500);
  keys.scan("B200");
  EXPECT_EQ(form->cdsAddProduto.recordCount(), 2);
  EXPECT_EQ(form->bldCodigo->text(), "");

  // The host's option wins over the data directory's file; a bad line is skipped.
  QFile conf(dataDir.filePath("RegVenda.conf"));
  ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
  conf.write("# leitor\nscan-adds = sim\nscan-adds=talvez\n");
  conf.close();
  EXPECT_TRUE(shell::scanAddsSetting());
  qputenv("REGVENDA_SCAN_ADDS", "0");
  EXPECT_FALSE(shell::scanAddsSetting());
  qunsetenv("REGVENDA_SCAN_ADDS");
  QFile::remove(conf.fileName());
  EXPECT_FALSE(shell::scanAddsSetting());
}

TEST_F(ScreenKeysTest, KeysRunTheTouchHandlers) {
  Keys keys(form.get());
  keys.key(Qt::Key_F9);  // nothing to close yet: as a touch on the disabled button
  keys.key(Qt::Key_F2);  // the search picks row 1
  EXPECT_EQ(last("Pesquisa").args[0], Variant("cdsProdutos"));
  keypadText = "2";
  keys.key(Qt::Key_F3);
  EXPECT_EQ(form->bldQuant->text(), "2");
  keys.key(Qt::Key_P, "p", 8, Qt::AltModifier);
  EXPECT_EQ(column(form->cdsAddProduto, "QTPRODVEND"), QStringList({"2"}));
  keys.key(Qt::Key_F5);
  EXPECT_EQ(form->bldCodRece->text(), "01 - DINHEIRO");
  keypadText = "50";
  keys.key(Qt::Key_F6);
  keys.key(Qt::Key_R, "r", 8, Qt::AltModifier);
  EXPECT_EQ(form->cdsReceb.recordCount(), 1);
  confirmAnswer = false;
  for (int key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Delete, Qt::Key_Escape}) keys.key(key);
  EXPECT_EQ(lastMessage(), "Confirma o cancelamento do item?");
  EXPECT_TRUE(messages.back().isConfirmation());
  EXPECT_EQ(count("FechaCupom"), 0);
  keys.key(Qt::Key_F9);
  EXPECT_EQ(count("FechaCupom"), 1);
  keys.key(Qt::Key_F12);
  EXPECT_EQ(count("Cancela_Cupom_Imp"), 1);
  EXPECT_EQ(count("Cancela_ItGenerico"), 0);
}

// A scan that begins on the screen as "Código" is touched, and goes on while the search
// dialog opens, lands in the dialog whole; the exact barcode wins over its prefix matches.
TEST_F(ScreenKeysTest, KeysTypedWhileTheSearchOpensReachIt) {
  addProduct({"9", "J100", "Curto", 3.0, "UN", "78910001", "", "", "", Variant()});
  addProduct({"10", "789100011", "Longo", 3.0, "UN", "", "", "", "", Variant()});
  addTaxRow("9", 18, "T");
  outside::Pesquisa = [](fw::LocalTable& table, int, int, int, int, int, int, int) {
    dialogs::SearchDialog dialog(table);
    return dialog.exec() == QDialog::Accepted;
  };
  QTimer guard;  // a dialog the keys never reached must not hang the test
  QObject::connect(&guard, &QTimer::timeout, [] {
    if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
  });
  guard.start(3000);
  Keys keys(form.get());
  keys.type("789");  // held by the screen: the start of a scan
  keys.type("10001", 8, true);
  keys.key(Qt::Key_Return, "\r", 8, {}, true);
  form->bldCodigo->click();
  EXPECT_EQ(form->bldCodigo->text(), "J100");
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
  EXPECT_EQ(count("VendaItem"), 1);
  EXPECT_EQ(column(form->cdsAddProduto, "NMPRODUTO"), QStringList({"Feijão"}));
}

}  // namespace
}  // namespace saletest
