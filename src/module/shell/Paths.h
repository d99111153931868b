// Paths: the system's paths are the data directory followed by a literal written with "\"
// and mixed case ("\Dados\Cadastros\ProdArquivo.cds"). On Linux every "\" is a "/" and
// each folder and file name is matched without regard to case against what exists.
#pragma once

#include <QString>

namespace shell {

// The data directory: the directory of the host executable, unless the host set
// REGVENDA_DATA_DIR (its --data-dir option). No trailing separator.
QString dataDirectory();

// dataDirectory() + literal, resolved on disk: "\" becomes "/", and each existing
// component is found case-insensitively; components that do not exist keep their spelling.
QString hostPath(const QString& literal);
// The same for a path that is already absolute or relative to the working directory.
QString resolvePath(const QString& path);

// The output directory: hostPath("\\Dados\\Venda_Arquivo").
QString outputDirectory();

}  // namespace shell
