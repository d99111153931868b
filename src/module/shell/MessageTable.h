// The lines of the screen's message table msgPadrao, "KEY|text", in the screen's order.
#pragma once

#include <QStringList>

namespace shell {

QStringList messageTableLines();

}  // namespace shell
