// The numeric keypad driven with typed keys and touches: its limits and its refusals.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QTimer>

#include "dialogs/DialogsPackage.h"
#include "dialogs/NumericKeypadDialog.h"
#include "outside/Outside.h"
#include "support/OutsideRecorder.h"

namespace dialogs {
namespace {

const QString kEmpty = QStringLiteral("Quantidade deve ser informada.");

std::unique_ptr<NumericKeypadDialog> keypad(int maxLength, int a6, int a7) {
  auto dialog = std::make_unique<NumericKeypadDialog>(
      QStringLiteral("Venda de Produto"), QStringLiteral("Informe a quantidade a ser vendida"),
      kEmpty, KeypadEntry::rulesFor(maxLength, a6, a7));
  dialog->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
  return dialog;
}

void touch(NumericKeypadDialog& dialog, const QString& caption) {
  QAbstractButton* key = dialog.key(caption);
  ASSERT_NE(key, nullptr) << caption.toStdString();
  QTest::mouseClick(key, Qt::LeftButton);
}

TEST(NumericKeypadTest, QuantityTakesThreeDecimalsAndTheDotAsComma) {
  auto dialog = keypad(20, 0, 0);
  QTest::keyClicks(dialog.get(), QStringLiteral("12.3456"));
  EXPECT_EQ(dialog->displayText(), QStringLiteral("12,345"));
  QTest::keyClick(dialog.get(), Qt::Key_Return);
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(dialog->entry().result(), QStringLiteral("12,345"));
}

TEST(NumericKeypadTest, TouchKeysBuildTheEntry) {
  auto dialog = keypad(20, 0, 0);
  touch(*dialog, QStringLiteral("0"));
  touch(*dialog, QStringLiteral("2"));  // the lone zero is replaced
  touch(*dialog, QStringLiteral(","));
  touch(*dialog, QStringLiteral(","));  // a second comma is refused
  touch(*dialog, QStringLiteral("5"));
  EXPECT_EQ(dialog->displayText(), QStringLiteral("2,5"));
  touch(*dialog, QStringLiteral("\u2190"));
  EXPECT_EQ(dialog->displayText(), QStringLiteral("2,"));
  touch(*dialog, QStringLiteral("Limpar"));
  EXPECT_EQ(dialog->displayText(), QString());
  touch(*dialog, QStringLiteral(","));
  EXPECT_EQ(dialog->displayText(), QStringLiteral("0,"));
  touch(*dialog, QStringLiteral("7"));
  touch(*dialog, QStringLiteral("OK"));
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(dialog->entry().result(), QStringLiteral("0,7"));
}

TEST(NumericKeypadTest, AtMostMaxLengthCharacters) {
  auto dialog = keypad(5, 0, 0);
  QTest::keyClicks(dialog.get(), QStringLiteral("1234567"));
  EXPECT_EQ(dialog->displayText(), QStringLiteral("12345"));
  QTest::keyClick(dialog.get(), Qt::Key_Comma);  // no room left for a comma
  EXPECT_EQ(dialog->displayText(), QStringLiteral("12345"));
  QTest::keyClick(dialog.get(), Qt::Key_Backspace);
  QTest::keyClicks(dialog.get(), QStringLiteral(",99"));
  EXPECT_EQ(dialog->displayText(), QStringLiteral("1234,"));
}

TEST(NumericKeypadTest, EmptyEntryShowsItsTextAndStaysOpen) {
  testsupport::OutsideRecorder fakes;
  fakes.installMessages();
  auto dialog = keypad(20, 0, 0);
  QTest::keyClick(dialog.get(), Qt::Key_Enter);
  ASSERT_EQ(fakes.messageTexts(), QStringList{kEmpty});
  const testsupport::ShownMessage& shown = fakes.messages[0];
  EXPECT_TRUE(shown.a3 == "N" && !shown.isConfirmation() && shown.kind == outside::tmInformacao);
  EXPECT_EQ(dialog->notice(), kEmpty);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_NE(dialog->result(), QDialog::Accepted);
  QTest::keyClick(dialog.get(), Qt::Key_3);  // typing again takes the notice away
  EXPECT_EQ(dialog->notice(), QString());
}

TEST(NumericKeypadTest, QuantityOfZeroIsRefused) {
  for (const QString& typed : {QStringLiteral("0"), QStringLiteral("0,000"), QStringLiteral(",")}) {
    auto dialog = keypad(20, 0, 0);
    QTest::keyClicks(dialog.get(), typed);
    QTest::keyClick(dialog.get(), Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible()) << typed.toStdString();
    EXPECT_EQ(dialog->notice(), QStringLiteral("A quantidade deve ser maior que zero."));
  }
}

TEST(NumericKeypadTest, AmountTakesTwoDecimalsAndAcceptsZero) {
  auto dialog = keypad(20, 1, 1);
  QTest::keyClicks(dialog.get(), QStringLiteral("10,557"));
  EXPECT_EQ(dialog->displayText(), QStringLiteral("10,55"));

  auto zero = keypad(20, 1, 1);
  QTest::keyClicks(zero.get(), QStringLiteral("0,"));
  QTest::keyClick(zero.get(), Qt::Key_Return);
  EXPECT_EQ(zero->result(), QDialog::Accepted);
  EXPECT_EQ(zero->entry().result(), QStringLiteral("0"));  // a trailing comma is dropped
}

TEST(NumericKeypadTest, LettersAndMinusAreIgnored) {
  auto dialog = keypad(20, 1, 1);
  QTest::keyClicks(dialog.get(), QStringLiteral("-a5b"));
  EXPECT_EQ(dialog->displayText(), QStringLiteral("5"));
}

TEST(NumericKeypadTest, EscapeCancelsAndLeavesTheTextAlone) {
  install();
  QTimer::singleShot(0, [] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr) return;
    QTest::keyClicks(dialog, QStringLiteral("42"));
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  QString text = QStringLiteral("antes");
  const bool confirmed =
      outside::TecladoNumerico(text, QStringLiteral("Recebimento"),
                               QStringLiteral("Valor do Recebimento"), kEmpty, 20, 1, 1, 0, 0, 0);
  uninstall();
  EXPECT_FALSE(confirmed);
  EXPECT_EQ(text, QStringLiteral("antes"));
}

TEST(NumericKeypadTest, TecladoNumericoReturnsTheEntryInTheLocaleForm) {
  install();
  QTimer::singleShot(0, [] {
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog == nullptr) return;
    QTest::keyClicks(dialog, QStringLiteral("2.5"));
    QTest::keyClick(dialog, Qt::Key_Return);
  });
  QString text;
  const bool confirmed =
      outside::TecladoNumerico(text, QStringLiteral("Venda de Produto"),
                               QStringLiteral("Informe a quantidade"), kEmpty, 20, 0, 0, 0, 0, 0);
  uninstall();
  EXPECT_TRUE(confirmed);
  EXPECT_EQ(text, QStringLiteral("2,5"));
}

}  // namespace
}  // namespace dialogs
