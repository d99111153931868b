// The runtime library's small services and install(), which wires them into the module's
// procedure variables.
#include "runtime/Runtime.h"

#include "module/outside/Outside.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace runtime {

namespace {

bool g_interactive = true;
void* g_session = nullptr;

QString withoutTrailingSeparator(const QString& path) {
  // cleanPath keeps "/" for the root and drops any other trailing separator.
  return QDir::cleanPath(QDir(path).absolutePath());
}

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

void install() {
  outside::Mensagem = &runtime::Mensagem;
  outside::Uncripto = &runtime::Uncripto;
  outside::_GetStringConexOrv = &runtime::_GetStringConexOrv;
  outside::SetADODBSession = &runtime::SetADODBSession;
}

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

QString dataDirectory() {
  const QString fromEnvironment = qEnvironmentVariable("REGVENDA_DATA_DIR");
  if (!fromEnvironment.isEmpty()) return withoutTrailingSeparator(fromEnvironment);
  if (QCoreApplication::instance()) {
    return withoutTrailingSeparator(QCoreApplication::applicationDirPath());
  }
  // Tools without an application object still live somewhere.
  return withoutTrailingSeparator(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath());
}

void setInteractive(bool on) { g_interactive = on; }
bool interactive() { return g_interactive; }

QString connectionString() {
  if (qEnvironmentVariableIsSet("REGVENDA_CONNECTION")) {
    return qEnvironmentVariable("REGVENDA_CONNECTION").trimmed();
  }
  const QString path = resolvePath(dataDirectory() + QStringLiteral("/ConexaoOrv.txt"));
  if (path.isEmpty()) return {};
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QString content = QString::fromUtf8(file.readAll());
  if (content.startsWith(QChar(0xFEFF))) content.remove(0, 1);
  const QStringList lines = content.split(QLatin1Char('\n'));
  for (const QString& line : lines) {
    const QString trimmed = line.trimmed();
    if (!trimmed.isEmpty() && !trimmed.startsWith(QLatin1Char('#'))) return trimmed;
  }
  return {};
}

QString _GetStringConexOrv(const QString& /*ignored*/) { return connectionString(); }

void SetADODBSession(void* connection) { g_session = connection; }
void* adoSession() { return g_session; }

}  // namespace runtime
