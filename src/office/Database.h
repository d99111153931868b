// Database: one ODBC connection to the office's central database, for the take-up. Values
// reach SQL only as bound parameters (UTF-16 texts, cast in the statement where a column is
// not text); transactions are explicit (auto-commit off). Errors are DatabaseError, which
// tells a connection that is gone or unusable (retry later) from a refusal of the statement.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "framework/core/Error.h"

namespace office {

class DatabaseError : public fw::Error {
 public:
  DatabaseError(const QString& message, QString sqlState, bool connectionLost)
      : fw::Error(message), sqlState_(std::move(sqlState)), connectionLost_(connectionLost) {}
  const QString& sqlState() const { return sqlState_; }
  // The server could not be reached or went away: nothing is known of what was sent last.
  bool connectionLost() const { return connectionLost_; }
  // A deadlock or a serialization failure: the transaction can simply be tried again.
  bool retryable() const {
    return sqlState_ == QLatin1String("40P01") || sqlState_ == QLatin1String("40001");
  }

 private:
  QString sqlState_;
  bool connectionLost_;
};

// A parameter: text, or null (std::nullopt).
using Param = std::optional<QString>;
using Row = std::vector<Param>;

class Database {
 public:
  Database() = default;
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // Connects with an ODBC connection string, waiting at most `timeoutSeconds` for the login.
  void open(const QString& connectionString, int timeoutSeconds);
  void close();
  bool isOpen() const { return dbc_ != nullptr; }

  // Runs one statement with "?" parameters; returns its result rows (none for a command).
  std::vector<Row> exec(const QString& sql, const std::vector<Param>& params = {});
  // The first column of the first row, or null.
  Param value(const QString& sql, const std::vector<Param>& params = {});

  // Off by default (explicit transactions); on for commands no transaction may hold
  // (CREATE DATABASE).
  void setAutoCommit(bool on);

  void commit();
  void rollback() noexcept;

 private:
  [[noreturn]] void fail(short handleType, void* handle, const QString& what);
  void* env_ = nullptr;
  void* dbc_ = nullptr;
};

// The connection string with its password (Pwd=, Password=) masked, for messages.
QString withoutPassword(const QString& connectionString);

}  // namespace office
