// Paths: the system's "\"-separated, mixed-case literals turned into paths on this disk.
#include "module/shell/Paths.h"

#include "framework/core/HostPath.h"
#include "runtime/Runtime.h"

namespace shell {

QString dataDirectory() {
  QString dir = runtime::dataDirectory();
  while (dir.size() > 1 && (dir.endsWith(QLatin1Char('/')) || dir.endsWith(QLatin1Char('\\'))))
    dir.chop(1);
  return dir;
}

QString resolvePath(const QString& path) { return fw::resolvePath(path); }

QString hostPath(const QString& literal) { return resolvePath(dataDirectory() + literal); }

QString outputDirectory() { return hostPath(QStringLiteral("\\Dados\\Venda_Arquivo")); }

}  // namespace shell
