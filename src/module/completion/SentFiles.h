// The sale files the office's take-up already moved out of the output folder into
// "Enviados/". The last closed coupon's file may be there when its coupon is cancelled:
// the cancelled copy is then written into the output folder for the next take-up.
#pragma once

#include <QString>

namespace completion {

// The file named `name` in the output folder's "Enviados/" (the newest copy the take-up
// sent keeps the plain name), or "" when it is not there.
QString sentSaleFile(const QString& name);

}  // namespace completion
