// The dialogs render in the screen's colours. With REGVENDA_DIALOG_SHOTS set to a folder,
// the renderings are also saved there (dialog-pesquisa.png, dialog-teclado.png,
// dialog-cliente.png), which is how the pictures in docs/ are made.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QTest>

#include "Catalog.h"
#include "Typing.h"
#include "dialogs/CustomerDataDialog.h"
#include "dialogs/NumericKeypadDialog.h"
#include "dialogs/SearchDialog.h"

namespace dialogs {
namespace {

const QColor kFrame(0xCC, 0x5B, 0x2C);

void showAndWait(QWidget& dialog) {
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
}

void expectFramedAndSave(QWidget& dialog, const QString& fileName) {
  EXPECT_LE(dialog.width(), 800);
  EXPECT_LE(dialog.height(), 600);
  const QImage image = dialog.grab().toImage();
  EXPECT_EQ(image.pixelColor(0, image.height() / 2), kFrame);
  EXPECT_EQ(image.pixelColor(image.width() - 1, image.height() - 1), kFrame);
  EXPECT_EQ(image.pixelColor(8, 10), kFrame);  // the title band
  EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() - 6), QColor(Qt::white));

  for (const auto& [caption, face] :
       {std::pair{QStringLiteral("OK"), QColor(0x22, 0xDD, 0x64)},
        std::pair{QStringLiteral("Cancelar"), QColor(0xFF, 0x00, 0x00)},
        std::pair{QStringLiteral("Não informar"), QColor(0xFF, 0x00, 0x00)},
        std::pair{QStringLiteral("7"), QColor(0xC0, 0xC0, 0xC0)},
        std::pair{QStringLiteral("Limpar"), QColor(0x80, 0x80, 0x80)}}) {
    for (const QAbstractButton* button : dialog.findChildren<QAbstractButton*>()) {
      if (button->text() != caption || !button->isEnabled()) continue;
      const QPoint inside = button->mapTo(&dialog, QPoint(12, button->height() / 2));
      EXPECT_EQ(image.pixelColor(inside), face) << caption.toStdString();
    }
  }

  const QByteArray folder = qgetenv("REGVENDA_DIALOG_SHOTS");
  if (!folder.isEmpty()) {
    EXPECT_TRUE(image.save(QDir(QString::fromLocal8Bit(folder)).filePath(fileName)));
  }
}

TEST(DialogLookTest, SearchDialog) {
  auto catalog = test::makeCatalog({
      {"1", "001", "Café Torrado 500g", "7891000100103", "UN", 18.9},
      {"2", "002", "Café Solúvel 200g", "7891000100202", "UN", 21},
      {"3", "003", "Açúcar Refinado 1kg", "7896000200201", "KG", 4.5},
      {"4", "004", "Arroz Tipo 1 5kg", "7896000200300", "UN", 27.9},
      {"5", "005", "Feijão Carioca 1kg", "7896000300308", "UN", 8.75},
      {"6", "006", "Pão de Queijo", "", "KG", 32},
      {"7", "007", "Leite Integral 1l", "7896000400404", "UN", 5.49},
      {"8", "008", "Manteiga com Sal 200g", "7896000500500", "UN", 11.3},
      {"9", "009", "Queijo Muçarela", "", "KG", 49.9},
      {"10", "010", "Presunto Cozido", "", "KG", 39.9},
      {"11", "011", "Refrigerante Cola 2l", "7894900011517", "UN", 9.99},
      {"12", "012", "Água Mineral 500ml", "7896000600600", "UN", 2.5},
      {"13", "013", "Café Expresso", "", "UN", 6},
      {"14", "014", "Bolo de Cenoura", "", "UN", 7.5},
  });
  SearchDialog dialog(*catalog);
  showAndWait(dialog);
  QTest::keyClicks(dialog.searchLine(), QStringLiteral("cafe"));
  expectFramedAndSave(dialog, QStringLiteral("dialog-pesquisa.png"));
}

TEST(DialogLookTest, NumericKeypad) {
  NumericKeypadDialog dialog(
      QStringLiteral("Venda de Produto"), QStringLiteral("Informe a quantidade a ser vendida"),
      QStringLiteral("Quantidade deve ser informada."), KeypadEntry::rulesFor(20, 0, 0));
  showAndWait(dialog);
  QTest::keyClicks(&dialog, QStringLiteral("2,5"));
  expectFramedAndSave(dialog, QStringLiteral("dialog-teclado.png"));
}

TEST(DialogLookTest, CustomerData) {
  CustomerDataDialog dialog(true);
  showAndWait(dialog);
  QTest::keyClicks(dialog.documentLine(), QStringLiteral("52998224725"));
  test::type(dialog.nameLine(), QStringLiteral("Maria José da Silva"));
  expectFramedAndSave(dialog, QStringLiteral("dialog-cliente.png"));
}

}  // namespace
}  // namespace dialogs
