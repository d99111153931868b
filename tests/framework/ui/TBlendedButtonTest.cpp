#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "framework/ui/Glyphs.h"
#include "framework/ui/TBlendedBitBtn.h"

namespace {

const QColor kFace(0x80, 0x80, 0x80);
const QColor kPressed(0x00, 0x00, 0x00);
const QColor kDisabled(0xCC, 0xCC, 0xCC);
const QColor kWindow(0x12, 0x34, 0x56);

// A shown window with a plain background, so that unpainted button pixels are recognisable.
struct Screen {
  QWidget window;
  Screen() {
    window.resize(300, 200);
    window.setAutoFillBackground(true);
    QPalette pal = window.palette();
    pal.setColor(QPalette::Window, kWindow);
    window.setPalette(pal);
  }
  void show() {
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
  }
};

void colour(fw::TBlendedButton& b) {
  b.setFaceColor(kFace);
  b.setTextColor(Qt::white);
  b.setPressedColor(kPressed);
  b.setPressedTextColor(Qt::white);
  b.setDisabledColor(kDisabled);
  b.setDisabledTextColor(Qt::white);
}

QColor pixel(QWidget& w, QPoint p) { return w.grab().toImage().pixelColor(p); }

TEST(TBlendedButton, FaceColourFollowsEnabledAndPressedStates) {
  Screen screen;
  auto* button = new fw::TBlendedButton(&screen.window);
  colour(*button);
  button->setText("Adicionar &Produto");
  button->setGeometry(10, 10, 162, 35);
  screen.show();

  const QPoint side(6, 17);  // left of the caption, clear of the rounded corners
  EXPECT_EQ(pixel(*button, side), kFace);
  button->setDown(true);
  EXPECT_EQ(pixel(*button, side), kPressed);
  button->setDown(false);
  button->setEnabled(false);
  EXPECT_EQ(pixel(*button, side), kDisabled);

  // No outline, and the rounded corner leaves the window's colour.
  QImage onWindow = screen.window.grab(QRect(10, 10, 162, 35)).toImage();
  EXPECT_EQ(onWindow.pixelColor(0, 0), kWindow);
  EXPECT_EQ(onWindow.pixelColor(0, 17), kDisabled);
  EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
}

TEST(TBlendedButton, ClickedOnReleaseInsideOnly) {
  Screen screen;
  auto* button = new fw::TBlendedButton(&screen.window);
  button->setGeometry(10, 10, 100, 30);
  screen.show();
  QSignalSpy clicked(button, &QAbstractButton::clicked);

  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(50, 15));
  EXPECT_TRUE(button->isDown());
  EXPECT_EQ(clicked.count(), 0);
  QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(50, 15));
  EXPECT_EQ(clicked.count(), 1);

  // Sliding off the button before lifting the finger does not click.
  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(50, 15));
  QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(150, 80));
  EXPECT_EQ(clicked.count(), 1);
}

TEST(TBlendedButton, AltAndTheMarkedLetterClicks) {
  Screen screen;
  auto* produto = new fw::TBlendedButton(&screen.window);
  produto->setText("Adicionar &Produto");
  produto->setGeometry(10, 10, 162, 35);
  auto* recebimento = new fw::TBlendedButton(&screen.window);
  recebimento->setText("Adicionar &Recebimento");
  recebimento->setGeometry(10, 60, 162, 35);
  screen.show();
  QSignalSpy produtoClicked(produto, &QAbstractButton::clicked);
  QSignalSpy recebimentoClicked(recebimento, &QAbstractButton::clicked);

  QTest::keyClick(&screen.window, Qt::Key_P, Qt::AltModifier);
  EXPECT_EQ(produtoClicked.count(), 1);
  EXPECT_EQ(recebimentoClicked.count(), 0);
  QTest::keyClick(&screen.window, Qt::Key_R, Qt::AltModifier);
  EXPECT_EQ(recebimentoClicked.count(), 1);
  QTest::keyClick(&screen.window, Qt::Key_P);  // without Alt: nothing
  EXPECT_EQ(produtoClicked.count(), 1);

  produto->setEnabled(false);
  QTest::keyClick(&screen.window, Qt::Key_P, Qt::AltModifier);
  EXPECT_EQ(produtoClicked.count(), 1);
}

TEST(TBlendedBitBtn, CircleFaceAndGlyphPerState) {
  Screen screen;
  auto* button = new fw::TBlendedBitBtn(&screen.window);
  colour(*button);
  button->setShape(fw::TBlendedBitBtn::Shape::Circle);
  button->setGlyph(fw::glyphs::arrowUp(QColor(0xCC, 0x5B, 0x2C)), fw::glyphs::arrowUp(kDisabled));
  button->setGeometry(20, 20, 49, 46);
  screen.show();

  QImage image = screen.window.grab(QRect(20, 20, 49, 46)).toImage();
  EXPECT_EQ(image.pixelColor(1, 1), kWindow);                     // outside the ellipse
  EXPECT_EQ(image.pixelColor(3, 23), kFace);                      // ellipse, left of the picture
  EXPECT_EQ(image.pixelColor(24, 23), QColor(0xCC, 0x5B, 0x2C));  // the arrow's shaft, centred

  button->setEnabled(false);
  image = screen.window.grab(QRect(20, 20, 49, 46)).toImage();
  EXPECT_EQ(image.pixelColor(24, 23), kDisabled);
}

TEST(TBlendedBitBtn, PictureAboveTheCaption) {
  Screen screen;
  auto* button = new fw::TBlendedBitBtn(&screen.window);
  colour(*button);
  button->setFaceColor(QColor(0x22, 0xDD, 0x64));
  button->setGlyph(fw::glyphs::check(QColor(0x27, 0xAE, 0x60)), fw::glyphs::check(kDisabled));
  button->setSpacing(2);
  button->setText("Gerar Cupom");
  button->setGeometry(10, 10, 137, 59);
  screen.show();

  const QImage image = button->grab().toImage();
  const int fontHeight = button->fontMetrics().height();
  const int top = (59 - (34 + 2 + fontHeight)) / 2;
  // The picture's square sits centred horizontally at the top of the block...
  EXPECT_EQ(image.pixelColor(68 - 14, top + 3), QColor(0x27, 0xAE, 0x60));
  // ...and nothing of it lies below its 34 rows.
  EXPECT_EQ(image.pixelColor(68 - 14, top + 34 + 1), QColor(0x22, 0xDD, 0x64));
}

TEST(Glyphs, SizeFormatAndColours) {
  const QColor ring(0xCC, 0x5B, 0x2C);
  for (const QPixmap& p :
       {fw::glyphs::arrowUp(ring), fw::glyphs::arrowDown(ring), fw::glyphs::cross(ring)}) {
    const QImage image = p.toImage();
    EXPECT_EQ(image.size(), QSize(34, 34));
    EXPECT_EQ(image.depth(), 32);
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::white));   // on white
    EXPECT_EQ(image.pixelColor(17, 2), ring);               // the ring's top
    EXPECT_EQ(image.pixelColor(17, 17), ring);              // the sign crosses the centre
    EXPECT_EQ(image.pixelColor(6, 17), QColor(Qt::white));  // inside the ring, beside the sign
  }
  // The arrow's head is at its own end.
  const QImage up = fw::glyphs::arrowUp(ring).toImage();
  const QImage down = fw::glyphs::arrowDown(ring).toImage();
  EXPECT_LT(up.pixelColor(12, 14).lightness(), 150);
  EXPECT_EQ(up.pixelColor(12, 20), QColor(Qt::white));
  EXPECT_LT(down.pixelColor(12, 20).lightness(), 150);
  EXPECT_EQ(down.pixelColor(12, 14), QColor(Qt::white));

  const QImage check = fw::glyphs::check(QColor(0x27, 0xAE, 0x60)).toImage();
  EXPECT_EQ(check.size(), QSize(34, 34));
  EXPECT_EQ(check.pixelColor(4, 30), QColor(0x27, 0xAE, 0x60));
  EXPECT_EQ(check.pixelColor(14, 22), QColor(Qt::white));  // on the mark's stroke
}

}  // namespace
