// Typing any text, accents included, as key events (QTest::keyClicks takes ASCII only).
#pragma once

#include <QTest>
#include <QWidget>

namespace dialogs::test {

inline void type(QWidget* widget, const QString& text) {
  for (const QChar ch : text) {
    if (ch.unicode() < 0x80) {
      QTest::keyClick(widget, static_cast<char>(ch.unicode()));
    } else {
      QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
  }
}

}  // namespace dialogs::test
