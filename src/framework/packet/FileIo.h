// Whole-file reads and atomic writes of table files. A write goes to a temporary file
// beside the target, is flushed to disk and renamed over the target, so a failure (full
// disk, missing folder, no permission) never leaves a half-written table under the real
// name: the earlier file stays as it was and an fw::Error names the file.
#pragma once

#include <QByteArray>
#include <QString>

namespace fw {

QByteArray readWholeFile(const QString& path);
void writeFileAtomically(const QString& path, const QByteArray& bytes);

}  // namespace fw
