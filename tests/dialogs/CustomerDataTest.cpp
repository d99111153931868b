// The customer-data dialog and the CPF/CNPJ rules behind it.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <functional>

#include "Typing.h"
#include "dialogs/CustomerDataDialog.h"
#include "dialogs/DialogsPackage.h"
#include "dialogs/TaxId.h"
#include "outside/Outside.h"
#include "support/OutsideRecorder.h"

namespace dialogs {
namespace {

TEST(TaxIdTest, RealNumbersPassAndAlteredOnesFail) {
  for (const char* valid : {"52998224725", "11144477735", "39053344705", "12345678909"}) {
    EXPECT_TRUE(taxid::isValid(QString::fromLatin1(valid))) << valid;
  }
  for (const char* valid : {"11222333000181", "11444777000161", "00000000000191"}) {
    EXPECT_TRUE(taxid::isValid(QString::fromLatin1(valid))) << valid;
  }
  for (const char* invalid : {"52998224726", "52998224715", "12345678900", "11222333000180",
                              "11222333000191", "5299822472", "529982247250", "1122233300018"}) {
    EXPECT_FALSE(taxid::isValid(QString::fromLatin1(invalid))) << invalid;
  }
}

TEST(TaxIdTest, OneRepeatedDigitIsNoOnesNumber) {
  for (char digit = '0'; digit <= '9'; ++digit) {
    EXPECT_FALSE(taxid::isValidCpf(QString(11, QLatin1Char(digit)))) << digit;
    EXPECT_FALSE(taxid::isValidCnpj(QString(14, QLatin1Char(digit)))) << digit;
  }
}

TEST(TaxIdTest, MaskFollowsTheDigitsTyped) {
  EXPECT_EQ(taxid::mask(QStringLiteral("529")), QStringLiteral("529"));
  EXPECT_EQ(taxid::mask(QStringLiteral("5299")), QStringLiteral("529.9"));
  EXPECT_EQ(taxid::mask(QStringLiteral("52998224725")), QStringLiteral("529.982.247-25"));
  EXPECT_EQ(taxid::mask(QStringLiteral("112223330001")), QStringLiteral("11.222.333/0001"));
  EXPECT_EQ(taxid::mask(QStringLiteral("11222333000181")), QStringLiteral("11.222.333/0001-81"));
}

class CustomerDataTest : public ::testing::Test {
 protected:
  std::unique_ptr<CustomerDataDialog> open(bool askNameAndAddress) {
    auto dialog = std::make_unique<CustomerDataDialog>(askNameAndAddress);
    dialog->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    return dialog;
  }
};

TEST_F(CustomerDataTest, TypedCpfShowsItsMaskAndIsKeptAsDigits) {
  auto dialog = open(false);
  QTest::keyClicks(dialog->documentLine(), QStringLiteral("529x.982 247-25"));
  EXPECT_EQ(dialog->documentLine()->text(), QStringLiteral("529.982.247-25"));
  QTest::keyClick(dialog->documentLine(), Qt::Key_Return);
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(dialog->documentDigits(), QStringLiteral("52998224725"));
}

TEST_F(CustomerDataTest, TouchedCnpjShowsTheCompanyMask) {
  auto dialog = open(false);
  for (const QChar digit : QStringLiteral("11222333000181")) {
    QTest::mouseClick(dialog->key(QString(digit)), Qt::LeftButton);
  }
  QTest::mouseClick(dialog->key(QStringLiteral("0")), Qt::LeftButton);  // a 15th is refused
  EXPECT_EQ(dialog->documentLine()->text(), QStringLiteral("11.222.333/0001-81"));
  QTest::mouseClick(dialog->key(QStringLiteral("OK")), Qt::LeftButton);
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
  EXPECT_EQ(dialog->documentDigits(), QStringLiteral("11222333000181"));
}

TEST_F(CustomerDataTest, BackspaceTakesADigitNotAMark) {
  auto dialog = open(false);
  QTest::keyClicks(dialog->documentLine(), QStringLiteral("5299"));
  EXPECT_EQ(dialog->documentLine()->text(), QStringLiteral("529.9"));
  QTest::keyClick(dialog->documentLine(), Qt::Key_Backspace);
  EXPECT_EQ(dialog->documentLine()->text(), QStringLiteral("529"));
  QTest::mouseClick(dialog->key(QStringLiteral("Limpar")), Qt::LeftButton);
  EXPECT_EQ(dialog->documentLine()->text(), QString());
}

TEST_F(CustomerDataTest, InvalidDocumentIsRefusedAndTheDialogStays) {
  testsupport::OutsideRecorder fakes;
  fakes.installMessages();
  for (const QString& typed : {QStringLiteral("52998224724"), QStringLiteral("11111111111"),
                               QStringLiteral("529982247"), QStringLiteral("11222333000180")}) {
    auto dialog = open(false);
    QTest::keyClicks(dialog->documentLine(), typed);
    QTest::keyClick(dialog->documentLine(), Qt::Key_Return);
    EXPECT_TRUE(dialog->isVisible()) << typed.toStdString();
    EXPECT_EQ(dialog->notice(), QStringLiteral("CPF/CNPJ inválido.")) << typed.toStdString();
  }
  EXPECT_EQ(fakes.messages.size(), 4u);
}

// Runs CriaInfAdicional with `act` playing the cashier on the dialog it opens.
fw::Variant runCriaInfAdicional(const QString& stInfNomeEnd,
                                std::function<void(CustomerDataDialog&)> act) {
  install();
  QTimer::singleShot(0, [act] {
    if (auto* dialog = qobject_cast<CustomerDataDialog*>(QApplication::activeModalWidget())) {
      act(*dialog);
    }
  });
  fw::VariantList values(6, fw::Variant(QString()));
  values.push_back(fw::Variant(QStringLiteral("001")));
  values.push_back(fw::Variant(stInfNomeEnd));
  fw::Variant answer = fw::Variant::emptyArray(10);
  outside::CriaInfAdicional(values, answer);
  uninstall();
  return answer;
}

TEST_F(CustomerDataTest, NameAndAddressOnlyWhenAsked) {
  const fw::Variant answer = runCriaInfAdicional(QStringLiteral("S"), [](CustomerDataDialog& d) {
    ASSERT_NE(d.nameLine(), nullptr);
    QTest::keyClicks(d.documentLine(), QStringLiteral("52998224725"));
    test::type(d.nameLine(), QStringLiteral("  Maria José da Silva "));
    QTest::keyClicks(d.addressLine(), QStringLiteral("Rua das Flores, 12"));
    QTest::keyClick(d.addressLine(), Qt::Key_Return);
  });
  ASSERT_EQ(answer.size(), 10);
  EXPECT_EQ(answer.at(0).toText(), QStringLiteral("52998224725"));
  EXPECT_EQ(answer.at(1).toText(), QStringLiteral("Maria José da Silva"));
  EXPECT_EQ(answer.at(2).toText(), QStringLiteral("Rua das Flores, 12"));
  EXPECT_TRUE(answer.at(3).isNull());

  auto plain = std::make_unique<CustomerDataDialog>(false);
  EXPECT_EQ(plain->nameLine(), nullptr);
  EXPECT_EQ(plain->addressLine(), nullptr);
}

TEST_F(CustomerDataTest, NotInformingGivesThreeEmptyTexts) {
  const fw::Variant cancelled = runCriaInfAdicional(QStringLiteral("S"), [](CustomerDataDialog& d) {
    QTest::keyClicks(d.documentLine(), QStringLiteral("52998224725"));
    QTest::keyClicks(d.nameLine(), QStringLiteral("Maria"));
    QTest::mouseClick(d.key(QStringLiteral("Não informar")), Qt::LeftButton);
  });
  const fw::Variant escaped = runCriaInfAdicional(QStringLiteral("N"), [](CustomerDataDialog& d) {
    QTest::keyClicks(d.documentLine(), QStringLiteral("52998224725"));
    QTest::keyClick(d.documentLine(), Qt::Key_Escape);
  });
  const fw::Variant noNumber = runCriaInfAdicional(QStringLiteral("S"), [](CustomerDataDialog& d) {
    QTest::keyClicks(d.nameLine(), QStringLiteral("Maria"));
    QTest::keyClick(d.nameLine(), Qt::Key_Return);
  });
  for (const fw::Variant& answer : {cancelled, escaped, noNumber}) {
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(answer.at(i).kind(), fw::Variant::Kind::Text);
      EXPECT_EQ(answer.at(i).toText(), QString());
    }
  }
}

}  // namespace
}  // namespace dialogs
