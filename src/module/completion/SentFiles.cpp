#include "module/completion/SentFiles.h"

#include <QFileInfo>

#include "module/shell/Paths.h"

namespace completion {

QString sentSaleFile(const QString& name) {
  const QString path =
      shell::resolvePath(shell::outputDirectory() + QStringLiteral("/Enviados/") + name);
  return QFileInfo(path).isFile() ? path : QString();
}

}  // namespace completion
