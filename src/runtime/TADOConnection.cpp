// The probe's database connection over unixODBC: one environment and one connection handle
// per object, connected with SQLDriverConnect and no prompt, within the login time-out.
#include "runtime/TADOConnection.h"

#include <sql.h>
#include <sqlext.h>

#include <QStringList>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "framework/core/Error.h"

namespace runtime {

namespace {

const SQLWCHAR* wide(const QString& text) {
  static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager speaks UTF-16");
  return reinterpret_cast<const SQLWCHAR*>(text.utf16());
}

QString diagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
  QStringList parts;
  for (SQLSMALLINT record = 1;; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    std::vector<SQLWCHAR> text(1024);
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state, &native, text.data(),
                                  static_cast<SQLSMALLINT>(text.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(text.size())) {
      text.resize(static_cast<std::size_t>(length) + 1);
      rc = SQLGetDiagRecW(handleType, handle, record, state, &native, text.data(),
                          static_cast<SQLSMALLINT>(text.size()), &length);
    }
    if (!SQL_SUCCEEDED(rc)) break;
    const QString message =
        QString::fromUtf16(reinterpret_cast<const char16_t*>(text.data()),
                           std::min<qsizetype>(length, static_cast<qsizetype>(text.size()) - 1))
            .simplified();
    const QString sqlState = QString::fromUtf16(reinterpret_cast<const char16_t*>(state), 5);
    parts << QStringLiteral("[%1] %2").arg(sqlState, message);
  }
  return parts.join(QStringLiteral("; "));
}

[[noreturn]] void fail(const QString& detail) {
  throw fw::Error(QStringLiteral("Falha ao conectar ao banco de dados: %1").arg(detail));
}

}  // namespace

TADOConnection::TADOConnection() = default;

TADOConnection::~TADOConnection() {
  try {
    close();
  } catch (...) {
    // A failing release hook must not escape a destructor; the handles are freed anyway.
  }
}

void TADOConnection::open() {
  if (connected_) return;
  if (beforeConnect) beforeConnect(*this);
  if (connectionString.trimmed().isEmpty()) fail(QStringLiteral("cadeia de conexão vazia."));

  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  const auto release = [&] {
    if (dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
  };
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
    fail(QStringLiteral("o gerenciador de drivers ODBC não pôde ser iniciado."));
  }
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
    const QString detail = diagnostics(SQL_HANDLE_ENV, env);
    release();
    fail(detail.isEmpty() ? QStringLiteral("sem recursos para a conexão.") : detail);
  }
  // The PostgreSQL driver hands the login time-out to its client library as the wait for
  // the server's first answer; without it a server that accepts and stays silent would
  // hold the screen for good. 0 means no limit, as in the host's component.
  if (connectionTimeout > 0) {
    const auto seconds = reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(connectionTimeout));
    SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, seconds, 0);
    SQLSetConnectAttr(dbc, SQL_ATTR_CONNECTION_TIMEOUT, seconds, 0);
  }

  // Never a prompt: the screen has no one to type a password and must not block.
  const SQLRETURN rc =
      SQLDriverConnectW(dbc, nullptr, const_cast<SQLWCHAR*>(wide(connectionString)), SQL_NTS,
                        nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) {
    QString detail = diagnostics(SQL_HANDLE_DBC, dbc);
    release();
    fail(detail.isEmpty() ? QStringLiteral("o driver não informou o motivo.") : detail);
  }

  env_ = env;
  dbc_ = dbc;
  connected_ = true;
  if (afterConnect) {
    try {
      afterConnect(*this);
    } catch (...) {
      // A connection whose hand-over failed would be reported online by every later probe
      // without anyone holding it; it is released so the next probe tries again.
      close();
      throw;
    }
  }
}

namespace {

// One run of the test query. The driver's query time-out is kept by the server, so a server
// that stopped answering (hung, or its network gone silent) would hold the caller for as
// long as TCP takes to give up: the query runs on a worker the caller waits for only up to
// the time-out. A worker left behind owns the connection from then on and releases it when
// the driver finally returns.
struct TestRun {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  bool abandoned = false;
  QString failure;  // empty when the query succeeded
};

// The re-test asks the driver for a table that is never there, through its own catalog
// call: every ODBC driver answers that from its server (a query of its own dialect), where a
// plain "SELECT 1" is refused by some servers. A driver that already knows the connection is
// dead says so first.
const char16_t kProbeTable[] = u"regvenda_teste_conexao";

QString runQuery(SQLHDBC dbc, const QString& query, int timeoutSeconds) {
  SQLUINTEGER dead = SQL_CD_FALSE;
  if (SQL_SUCCEEDED(SQLGetConnectAttr(dbc, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) &&
      dead == SQL_CD_TRUE) {
    return QStringLiteral("a conexão caiu.");
  }
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &statement))) {
    const QString detail = diagnostics(SQL_HANDLE_DBC, dbc);
    return detail.isEmpty() ? QStringLiteral("a conexão não responde.") : detail;
  }
  if (timeoutSeconds > 0) {
    SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeoutSeconds)), 0);
  }
  SQLRETURN rc;
  if (query.isEmpty()) {
    const QString table = QString::fromUtf16(kProbeTable);
    rc = SQLTablesW(statement, nullptr, 0, nullptr, 0, const_cast<SQLWCHAR*>(wide(table)),
                    SQL_NTS, nullptr, 0);
    // The rows are read, so a driver that answers lazily has really asked its server.
    if (SQL_SUCCEEDED(rc)) {
      SQLRETURN fetched = SQL_SUCCESS;
      while (SQL_SUCCEEDED(fetched)) fetched = SQLFetch(statement);
      if (fetched != SQL_NO_DATA) rc = fetched;
    }
  } else {
    rc = SQLExecDirectW(statement, const_cast<SQLWCHAR*>(wide(query)), SQL_NTS);
  }
  QString detail;
  if (!SQL_SUCCEEDED(rc)) {
    detail = diagnostics(SQL_HANDLE_STMT, statement);
    if (detail.isEmpty()) detail = QStringLiteral("a conexão não responde.");
  }
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
  return detail;
}

}  // namespace

void TADOConnection::test() {
  if (!connected_) fail(QStringLiteral("a conexão não está aberta."));
  const auto dbc = static_cast<SQLHDBC>(dbc_);
  if (connectionTimeout <= 0) {
    const QString failure = runQuery(dbc, testQuery, 0);
    if (!failure.isEmpty()) fail(failure);
    return;
  }

  const auto run = std::make_shared<TestRun>();
  const auto env = static_cast<SQLHENV>(env_);
  std::thread worker([run, env, dbc, query = testQuery, seconds = connectionTimeout] {
    const QString failure = runQuery(dbc, query, seconds);
    std::unique_lock lock(run->mutex);
    run->done = true;
    run->failure = failure;
    if (run->abandoned) {
      lock.unlock();
      SQLDisconnect(dbc);
      SQLFreeHandle(SQL_HANDLE_DBC, dbc);
      SQLFreeHandle(SQL_HANDLE_ENV, env);
      return;
    }
    run->finished.notify_one();
  });

  std::unique_lock lock(run->mutex);
  if (run->finished.wait_for(lock, std::chrono::seconds(connectionTimeout),
                             [&] { return run->done; })) {
    lock.unlock();
    worker.join();
    if (!run->failure.isEmpty()) fail(run->failure);
    return;
  }
  run->abandoned = true;
  lock.unlock();
  worker.detach();
  // The connection now belongs to the worker: whoever holds it is told it is gone, and this
  // object forgets it.
  struct Forget {
    TADOConnection& self;
    ~Forget() {
      self.dbc_ = nullptr;
      self.env_ = nullptr;
      self.connected_ = false;
    }
  } forget{*this};
  if (beforeDisconnect) beforeDisconnect(*this);
  fail(QStringLiteral("o banco de dados não respondeu em %1 segundos.").arg(connectionTimeout));
}

void TADOConnection::close() {
  if (!connected_ && dbc_ == nullptr && env_ == nullptr) return;
  struct Release {
    TADOConnection& self;
    ~Release() {
      if (self.dbc_) {
        if (self.connected_) SQLDisconnect(static_cast<SQLHDBC>(self.dbc_));
        SQLFreeHandle(SQL_HANDLE_DBC, static_cast<SQLHDBC>(self.dbc_));
      }
      if (self.env_) SQLFreeHandle(SQL_HANDLE_ENV, static_cast<SQLHENV>(self.env_));
      self.dbc_ = nullptr;
      self.env_ = nullptr;
      self.connected_ = false;
    }
  } release{*this};
  if (connected_ && beforeDisconnect) beforeDisconnect(*this);
}

bool TADOConnection::connected() const { return connected_; }

void* TADOConnection::handle() const { return connected_ ? dbc_ : nullptr; }

}  // namespace runtime
