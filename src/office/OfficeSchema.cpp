// The schema's migrations, applied in order: plain SQL files compiled into the library as Qt
// resources, read here, each one with its version recorded in the same transaction.
#include "office/OfficeSchema.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <map>

namespace office {

namespace {

// Any number the office's other programs do not use for their advisory locks.
constexpr const char* kLockKey = "7204151310";

std::map<int, QString> migrations() {
  std::map<int, QString> out;
  static const QRegularExpression numbered(QStringLiteral("^(\\d{4})_.*\\.sql$"));
  const QDir dir(QStringLiteral(":/office/migrations"));
  for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) {
    const QRegularExpressionMatch m = numbered.match(name);
    if (!m.hasMatch()) continue;
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::ReadOnly))
      throw fw::Error(QStringLiteral("Migração ilegível: %1.").arg(name));
    out[m.captured(1).toInt()] = QString::fromUtf8(file.readAll());
  }
  return out;
}

// The statements of a migration file: split at ";" that end a line, comments dropped.
QStringList statements(const QString& script) {
  QStringList out;
  QString current;
  for (const QString& line : script.split(QLatin1Char('\n'))) {
    const QString trimmed = line.trimmed();
    if (trimmed.startsWith(QLatin1String("--")) || trimmed.isEmpty()) continue;
    current += line + QLatin1Char('\n');
    if (trimmed.endsWith(QLatin1Char(';'))) {
      out << current.trimmed();
      current.clear();
    }
  }
  if (!current.trimmed().isEmpty()) out << current.trimmed();
  return out;
}

int currentVersion(Database& db) {
  const Param v = db.value(QStringLiteral("SELECT coalesce(max(versao), 0) FROM regvenda.versao"));
  return v ? v->toInt() : 0;
}

void lockAndPrepare(Database& db) {
  db.exec(QStringLiteral("SELECT pg_advisory_xact_lock(CAST(? AS bigint))"),
          {QString::fromLatin1(kLockKey)});
  db.exec(QStringLiteral("CREATE SCHEMA IF NOT EXISTS regvenda"));
  db.exec(QStringLiteral(
      "CREATE TABLE IF NOT EXISTS regvenda.versao (versao integer PRIMARY KEY, "
      "dtaplicada timestamp NOT NULL DEFAULT localtimestamp)"));
}

}  // namespace

int OfficeSchema::latestVersion() {
  const auto all = migrations();
  return all.empty() ? 0 : all.rbegin()->first;
}

int OfficeSchema::upgrade(Database& db) {
  const auto all = migrations();
  // The usual case costs one short read: everything is there already.
  try {
    const int version = currentVersion(db);
    db.commit();
    if (!all.empty() && version >= all.rbegin()->first) return version;
  } catch (const DatabaseError& e) {
    db.rollback();
    if (e.connectionLost()) throw;
  }
  int version = 0;
  for (const auto& [number, script] : all) {
    try {
      lockAndPrepare(db);
      version = currentVersion(db);
      if (number > version) {
        for (const QString& statement : statements(script)) db.exec(statement);
        db.exec(QStringLiteral("INSERT INTO regvenda.versao (versao) VALUES (CAST(? AS integer))"),
                {QString::number(number)});
        version = number;
      }
      db.commit();
    } catch (const DatabaseError&) {
      db.rollback();
      throw;
    }
  }
  return version;
}

}  // namespace office
