// The touch message dialog, driven by keys and touches as a cashier would.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QtTest/QTest>
#include <functional>

#include "QtPrinters.h"
#include "outside/Outside.h"
#include "runtime/MessageDialog.h"
#include "runtime/Runtime.h"

using runtime::MessageDialog;

namespace {

// Runs `act` on the dialog once it is up; closes it anyway after a while so a broken dialog
// fails the test instead of hanging it.
void whenDialogShows(std::function<void(MessageDialog&)> act, bool* seen) {
  *seen = false;
  auto* poll = new QTimer;
  auto* rescue = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [=] {
    auto* dialog = qobject_cast<MessageDialog*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible()) return;
    *seen = true;
    poll->deleteLater();
    rescue->deleteLater();
    act(*dialog);
  });
  QObject::connect(rescue, &QTimer::timeout, [=] {
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    poll->deleteLater();
    rescue->deleteLater();
  });
  poll->start(10);
  rescue->setSingleShot(true);
  rescue->start(5000);
}

bool information(const QString& text) {
  return runtime::Mensagem(text, "", "N", "N", outside::tmInformacao, "", "001", 0, nullptr);
}
bool confirmation(const QString& text) {
  return runtime::Mensagem(text, "", "N", "S", outside::tmConfirmacao, "", "001", 0, nullptr);
}

QString labelText(MessageDialog& dialog, const char* name) {
  auto* label = dialog.findChild<QLabel*>(name);
  return label ? label->text() : QStringLiteral("<no %1>").arg(name);
}

}  // namespace

class MessageDialogTest : public ::testing::Test {
 protected:
  void SetUp() override { runtime::setInteractive(true); }
  bool seen = false;
};

TEST_F(MessageDialogTest, InformationShowsTextTitleAndOneOkThatEnterAnswers) {
  QString title, text;
  bool hasYes = true, hasOk = false;
  whenDialogShows(
      [&](MessageDialog& dialog) {
        title = labelText(dialog, "lblTitulo");
        text = labelText(dialog, "lblMensagem");
        hasOk = dialog.findChild<QAbstractButton*>("btnOk") != nullptr;
        hasYes = dialog.findChild<QAbstractButton*>("btnSim") != nullptr;
        QTest::keyClick(&dialog, Qt::Key_Return);
      },
      &seen);
  EXPECT_TRUE(information("Código do produto inválido."));
  ASSERT_TRUE(seen);
  EXPECT_EQ(title, "Informação");
  EXPECT_EQ(text, "Código do produto inválido.");
  EXPECT_TRUE(hasOk);
  EXPECT_FALSE(hasYes);
}

TEST_F(MessageDialogTest, ConfirmationEnterSaysYesEscapeSaysNo) {
  QString title;
  whenDialogShows(
      [&](MessageDialog& dialog) {
        title = labelText(dialog, "lblTitulo");
        QTest::keyClick(&dialog, Qt::Key_Enter);
      },
      &seen);
  EXPECT_TRUE(confirmation("Confirma o cancelamento do item?"));
  ASSERT_TRUE(seen);
  EXPECT_EQ(title, "Confirmação");

  whenDialogShows([](MessageDialog& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); }, &seen);
  EXPECT_FALSE(confirmation("Confirma o cancelamento do item?"));
  EXPECT_TRUE(seen);
}

TEST_F(MessageDialogTest, ConfirmationButtonsAnswerByTouch) {
  for (const char* name : {"btnNao", "btnSim"}) {
    whenDialogShows(
        [name](MessageDialog& dialog) {
          auto* button = dialog.findChild<QAbstractButton*>(name);
          ASSERT_NE(button, nullptr) << name;
          QTest::mouseClick(button, Qt::LeftButton);
        },
        &seen);
    EXPECT_EQ(confirmation("Confirma a exclusão do recebimento?"), QByteArray(name) == "btnSim");
    EXPECT_TRUE(seen);
  }
}

TEST_F(MessageDialogTest, LongTextWrapsWithinTheScreenAndKeepsItsButtonsVisible) {
  QString longText;
  for (int i = 0; i < 200; ++i) longText += QStringLiteral("Operação bloqueada! ");
  QSize size;
  bool okVisible = false;
  whenDialogShows(
      [&](MessageDialog& dialog) {
        size = dialog.size();
        auto* ok = dialog.findChild<QAbstractButton*>("btnOk");
        okVisible = ok && ok->isVisible() && dialog.rect().contains(ok->geometry());
        QTest::keyClick(&dialog, Qt::Key_Escape);
      },
      &seen);
  information(longText);
  ASSERT_TRUE(seen);
  EXPECT_LE(size.width(), 800);
  EXPECT_LE(size.height(), 600);
  EXPECT_TRUE(okVisible);
}

TEST_F(MessageDialogTest, FaceIsWhiteInsideTheOrangeFrame) {
  MessageDialog dialog("Informação", "Texto", MessageDialog::Shape::Information);
  const QImage image = dialog.grab().toImage();
  EXPECT_EQ(image.pixelColor(0, image.height() / 2), QColor(0xCC, 0x5B, 0x2C));
  EXPECT_EQ(image.pixelColor(image.width() / 2, 10), QColor(0xCC, 0x5B, 0x2C));  // title band
  EXPECT_EQ(image.pixelColor(6, image.height() - 6), QColor(Qt::white));
}
