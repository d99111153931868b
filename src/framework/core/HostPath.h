// Paths as the host writes them: Windows-style ("\"-separated, any letter case), found on
// this disk. Used by the runtime library, the printer package and the screen.
#pragma once

#include <QString>

namespace fw {

// A path written the host's way as it is on this disk: every "\" becomes "/", and each
// component that exists is found without regard to case (the exact spelling first); from
// the first missing component on, the spelling is kept.
QString resolvePath(const QString& path);

}  // namespace fw
