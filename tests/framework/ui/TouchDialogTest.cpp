// The framed touch dialog the operator dialogs and the message dialog are built on.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QStringList>
#include <memory>
#include <utility>

#include "framework/ui/TouchDialog.h"

namespace {

const QColor kFrame(0xCC, 0x5B, 0x2C);

// Records what the frame hands on, as the operator dialogs hand it to the message dialog.
class Recording : public fw::TouchDialog {
 public:
  using fw::TouchDialog::clearNotice;
  using fw::TouchDialog::showNotice;
  using fw::TouchDialog::TouchDialog;
  QStringList told;

 protected:
  void noticeShown(const QString& text) override { told << text; }
};

TEST(TouchDialogTest, NoticeStaysUntilClearedAndIsHandedOnOnce) {
  Recording dialog(QStringLiteral("Venda"));
  EXPECT_EQ(dialog.notice(), QString());
  dialog.showNotice(QStringLiteral("Quantidade inválida."));
  EXPECT_EQ(dialog.notice(), QStringLiteral("Quantidade inválida."));
  EXPECT_EQ(dialog.told, QStringList{QStringLiteral("Quantidade inválida.")});
  dialog.clearNotice();
  EXPECT_EQ(dialog.notice(), QString());
  EXPECT_EQ(dialog.told.size(), 1);
}

TEST(TouchDialogTest, TitleBandTakesTheHeightAskedInsideTheFrame) {
  Recording dialog(QStringLiteral("Aviso"), {.titleHeight = 20, .titlePixels = 12});
  dialog.resize(200, 100);
  const QImage image = dialog.grab().toImage();
  EXPECT_EQ(image.pixelColor(0, 60), kFrame);             // the frame's left edge
  EXPECT_EQ(image.pixelColor(5, 21), kFrame);             // the band's last row
  EXPECT_EQ(image.pixelColor(5, 22), QColor(Qt::white));  // the face below it
  EXPECT_EQ(image.pixelColor(199, 99), kFrame);
}

TEST(TouchDialogTest, ButtonsComeInTheScreensColourSetsAndNeverTakeTheFocus) {
  using Kind = fw::TouchDialog::ButtonKind;
  for (const auto& [kind, face] :
       {std::pair{Kind::Value, QColor(0xC0, 0xC0, 0xC0)},
        std::pair{Kind::Action, QColor(0x80, 0x80, 0x80)},
        std::pair{Kind::Confirm, QColor(0x22, 0xDD, 0x64)},
        std::pair{Kind::Cancel, QColor(0xFF, 0x00, 0x00)}, std::pair{Kind::Frame, kFrame}}) {
    std::unique_ptr<fw::TBlendedButton> button(
        fw::TouchDialog::makeButton(kind, QStringLiteral("OK"), nullptr));
    EXPECT_EQ(button->faceColor(), face);
    EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
  }
}

}  // namespace
