// The crash test's journal: the printer's fiscal memory as the driver and the test saw it,
// one copy per line (base64 of the file's bytes), in the order seen. A closed coupon's items
// are gone from the memory once it closes, so the checks take them from the last copy that
// still showed the coupon open. Lines cut by a kill are skipped when read.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

namespace crash {

inline QString memoryPath(const QString& dataDir) {
  return QDir(dataDir).filePath(QStringLiteral("ImpressoraFiscal.json"));
}

// Appends the memory file as it is now, unless it is the copy appended last by this caller.
inline void journalMemory(const QString& dataDir, const QString& journal, QByteArray* last) {
  QFile file(memoryPath(dataDir));
  if (!file.open(QIODevice::ReadOnly)) return;
  const QByteArray bytes = file.readAll();
  if (bytes.isEmpty() || bytes == *last) return;
  *last = bytes;
  const QByteArray line = bytes.toBase64() + '\n';
  // One write on an O_APPEND descriptor: a kill leaves whole lines or one cut last line.
  const int fd = ::open(QFile::encodeName(journal).constData(),
                        O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  [[maybe_unused]] const ssize_t written =
      ::write(fd, line.constData(), static_cast<size_t>(line.size()));
  ::close(fd);
}

}  // namespace crash
