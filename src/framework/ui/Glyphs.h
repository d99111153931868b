// Glyphs: the screen's nine pictures, drawn at run time (34 x 34, 32 bits per pixel).
#pragma once

#include <QColor>
#include <QPixmap>

namespace fw::glyphs {

QPixmap arrowUp(const QColor& color);    // an upward arrow in a ring, on white
QPixmap arrowDown(const QColor& color);  // a downward arrow in a ring, on white
QPixmap cross(const QColor& color);      // an X in a ring, on white
QPixmap check(const QColor& square);     // a white check mark on a square of `square`

}  // namespace fw::glyphs
