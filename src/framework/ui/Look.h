// The look every window of the system shares: the screen's colours and its typeface. The
// sales screen, the message dialog, the operator dialogs and the grid all draw with these,
// so a colour or a face is changed here once.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>

namespace fw::look {

inline const QColor frame{0xCC, 0x5B, 0x2C};     // frames, title bands, grid titles, glyphs
inline const QColor face{Qt::white};             // window and entry faces
inline const QColor value{0xC0, 0xC0, 0xC0};     // buttons that take a value (code, quantity)
inline const QColor action{0x80, 0x80, 0x80};    // buttons that act (add, search)
inline const QColor confirm{0x22, 0xDD, 0x64};   // "Gerar Cupom", OK
inline const QColor cancel{0xFF, 0x00, 0x00};    // cancellations
inline const QColor disabled{0xCC, 0xCC, 0xCC};  // disabled glyphs and buttons
inline const QColor notice{0xB0, 0x00, 0x00};    // a refusal told in a dialog

// The frame colour as a style-sheet colour ("#CC5B2C").
inline QString frameName() { return frame.name(QColor::HexRgb).toUpper(); }

// The style of a framed entry (an entry line or a display): white, a 2-pixel frame with
// round corners, `padding` pixels left and right. `widget` is the style-sheet class name.
QString framedEntryStyle(const QString& widget, int padding);

// Arial at a pixel size, by its metric twin where Arial is not installed.
QFont arial(int pixelSize, bool bold = false);

}  // namespace fw::look
