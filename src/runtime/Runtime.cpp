// The runtime library's small services and install(), which wires them into the module's
// procedure variables.
#include "runtime/Runtime.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <utility>

#include "framework/core/HostPath.h"
#include "outside/Outside.h"

namespace runtime {

namespace {

bool g_interactive = true;
void* g_session = nullptr;

QString withoutTrailingSeparator(const QString& path) {
  // cleanPath keeps "/" for the root and drops any other trailing separator.
  return QDir::cleanPath(QDir(path).absolutePath());
}

}  // namespace

void install() {
  outside::Mensagem = &runtime::Mensagem;
  outside::Uncripto = &runtime::Uncripto;
  outside::_GetStringConexOrv = &runtime::_GetStringConexOrv;
  outside::SetADODBSession = &runtime::SetADODBSession;
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

namespace {

#ifndef REGVENDA_SYSCONFDIR
#define REGVENDA_SYSCONFDIR "/etc/regvenda"
#endif
QString g_systemConfigDirectory = QStringLiteral(REGVENDA_SYSCONFDIR);

// The first line that is neither blank nor a "#" comment, trimmed; "" when there is none.
QString firstConnectionLine(const QString& path) {
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

}  // namespace

QString setSystemConfigDirectory(const QString& dir) {
  return std::exchange(g_systemConfigDirectory, dir);
}

QString connectionString() {
  if (qEnvironmentVariableIsSet("REGVENDA_CONNECTION")) {
    return qEnvironmentVariable("REGVENDA_CONNECTION").trimmed();
  }
  const QString path = fw::resolvePath(dataDirectory() + QStringLiteral("/ConexaoOrv.txt"));
  if (QFileInfo::exists(path)) return firstConnectionLine(path);
  // An installed till keeps the file with the system's settings, readable by its group only.
  return firstConnectionLine(g_systemConfigDirectory + QStringLiteral("/ConexaoOrv.txt"));
}

QString _GetStringConexOrv(const QString& /*ignored*/) { return connectionString(); }

void SetADODBSession(void* connection) { g_session = connection; }
void* adoSession() { return g_session; }

}  // namespace runtime
