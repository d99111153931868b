#include "framework/core/HostPath.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace fw {

namespace {

// The entry of `dir` whose name equals `name` without regard to case (the exact spelling
// first, so a folder holding both "Dados" and "dados" resolves to the one named).
QString matchEntry(const QString& dir, const QString& name) {
  const QString exact = dir.endsWith(QLatin1Char('/')) ? dir + name : dir + QLatin1Char('/') + name;
  if (QFileInfo::exists(exact)) return name;
  const QStringList entries = QDir(dir).entryList(
      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  for (const QString& entry : entries)
    if (entry.compare(name, Qt::CaseInsensitive) == 0) return entry;
  return {};
}

}  // namespace

QString resolvePath(const QString& path) {
  QString unix = path;
  unix.replace(QLatin1Char('\\'), QLatin1Char('/'));
  if (unix.isEmpty()) return unix;

  const bool absolute = unix.startsWith(QLatin1Char('/'));
  const bool trailing = unix.endsWith(QLatin1Char('/'));
  const QStringList parts = unix.split(QLatin1Char('/'), Qt::SkipEmptyParts);

  QString resolved = absolute ? QStringLiteral("/") : QString();
  bool onDisk = true;  // once a component is missing, the rest keep their spelling
  for (const QString& part : parts) {
    QString name = part;
    if (onDisk && part != QLatin1String(".") && part != QLatin1String("..")) {
      const QString found = matchEntry(resolved.isEmpty() ? QStringLiteral(".") : resolved, part);
      if (found.isEmpty())
        onDisk = false;
      else
        name = found;
    }
    if (!resolved.isEmpty() && !resolved.endsWith(QLatin1Char('/'))) resolved += QLatin1Char('/');
    resolved += name;
  }
  if (trailing && !resolved.endsWith(QLatin1Char('/'))) resolved += QLatin1Char('/');
  return resolved;
}

}  // namespace fw
