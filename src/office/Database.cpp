// The take-up's ODBC connection (unixODBC, any driver; PostgreSQL's in the office). Every
// value is bound as a UTF-16 text parameter, so no value is ever pasted into SQL text.
#include "office/Database.h"

#include <sql.h>
#include <sqlext.h>

#include <QRegularExpression>

namespace office {

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager speaks UTF-16");

const SQLWCHAR* wide(const QString& text) { return reinterpret_cast<const SQLWCHAR*>(text.utf16()); }

struct Diagnostic {
  QString state;
  QString text;
};

std::vector<Diagnostic> diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<Diagnostic> out;
  for (SQLSMALLINT record = 1; record < 10; ++record) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLWCHAR text[1024] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, record, state, &native, text, 1024, &length)))
      break;
    out.push_back({QString::fromUtf16(reinterpret_cast<const char16_t*>(state), 5),
                   QString::fromUtf16(reinterpret_cast<const char16_t*>(text),
                                      std::min<qsizetype>(length, 1023))
                       .simplified()});
  }
  return out;
}

// Connection exceptions (class 08), a server shutting down or gone (57P0x), and the driver's
// own words for a dead socket.
bool meansLostConnection(const Diagnostic& d) {
  if (d.state.startsWith(QLatin1String("08")) || d.state.startsWith(QLatin1String("57P")))
    return true;
  static const QRegularExpression dead(
      QStringLiteral("connection (dead|closed|lost|not open)|no connection|server closed|"
                     "could not (send|receive)|terminating connection|communication"),
      QRegularExpression::CaseInsensitiveOption);
  return dead.match(d.text).hasMatch();
}

}  // namespace

QString withoutPassword(const QString& connectionString) {
  static const QRegularExpression pwd(QStringLiteral("((?:^|;)\\s*(?:pwd|password)\\s*=)[^;]*"),
                                      QRegularExpression::CaseInsensitiveOption);
  QString text = connectionString;
  return text.replace(pwd, QStringLiteral("\\1***"));
}

Database::~Database() { close(); }

void Database::fail(short handleType, void* handle, const QString& what) {
  const std::vector<Diagnostic> diags = diagnostics(handleType, handle);
  QStringList parts;
  bool lost = diags.empty() && handleType == SQL_HANDLE_DBC;
  QString state;
  for (const Diagnostic& d : diags) {
    parts << QStringLiteral("[%1] %2").arg(d.state, d.text);
    lost = lost || meansLostConnection(d);
    if (state.isEmpty()) state = d.state;
  }
  throw DatabaseError(QStringLiteral("%1: %2").arg(what, parts.join(QStringLiteral("; "))), state,
                      lost);
}

void Database::open(const QString& connectionString, int timeoutSeconds) {
  close();
  if (connectionString.trimmed().isEmpty())
    throw DatabaseError(QStringLiteral("Nenhuma cadeia de conexão configurada."), {}, true);
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
    throw DatabaseError(QStringLiteral("ODBC indisponível."), {}, true);
  env_ = env;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLHDBC dbc = SQL_NULL_HDBC;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
    close();
    throw DatabaseError(QStringLiteral("ODBC indisponível."), {}, true);
  }
  const auto timeout = static_cast<SQLULEN>(timeoutSeconds);
  SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(timeout), 0);
  SQLSetConnectAttr(dbc, SQL_ATTR_CONNECTION_TIMEOUT, reinterpret_cast<SQLPOINTER>(timeout), 0);
  // PostgreSQL's driver wraps every statement in a savepoint unless told that an error may
  // undo the whole transaction, which is what the take-up does anyway; other drivers ignore
  // a keyword they do not know, and a string that says otherwise is kept.
  QString effective = connectionString;
  if (!effective.contains(QLatin1String("protocol="), Qt::CaseInsensitive)) {
    if (!effective.trimmed().endsWith(QLatin1Char(';'))) effective += QLatin1Char(';');
    effective += QStringLiteral("Protocol=7.4-1;");
  }
  SQLWCHAR out[1024];
  SQLSMALLINT outLength = 0;
  const SQLRETURN rc =
      SQLDriverConnectW(dbc, nullptr, const_cast<SQLWCHAR*>(wide(effective)), SQL_NTS, out,
                        1024, &outLength, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) {
    try {
      fail(SQL_HANDLE_DBC, dbc, QStringLiteral("Falha ao conectar ao banco de dados"));
    } catch (DatabaseError& e) {
      SQLFreeHandle(SQL_HANDLE_DBC, dbc);
      close();
      // Whatever the driver said, nothing was sent: retry later.
      throw DatabaseError(e.message(), e.sqlState(), true);
    }
  }
  dbc_ = dbc;
  if (!SQL_SUCCEEDED(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT,
                                       reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)))
    fail(SQL_HANDLE_DBC, dbc, QStringLiteral("Falha ao abrir uma transação"));
}

void Database::close() {
  if (dbc_) {
    SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
    SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    dbc_ = nullptr;
  }
  if (env_) {
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
    env_ = nullptr;
  }
}

std::vector<Row> Database::exec(const QString& sql, const std::vector<Param>& params) {
  if (!dbc_) throw DatabaseError(QStringLiteral("Sem conexão com o banco de dados."), {}, true);
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt)))
    fail(SQL_HANDLE_DBC, dbc_, QStringLiteral("Falha ao preparar o comando"));
  struct Free {
    SQLHSTMT s;
    ~Free() { SQLFreeHandle(SQL_HANDLE_STMT, s); }
  } guard{stmt};

  std::vector<SQLLEN> lengths(params.size());
  for (std::size_t i = 0; i < params.size(); ++i) {
    const Param& p = params[i];
    lengths[i] = p ? static_cast<SQLLEN>(p->size() * 2) : SQL_NULL_DATA;
    const SQLULEN column = p ? std::max<SQLULEN>(1, static_cast<SQLULEN>(p->size())) : 1;
    const SQLRETURN rc = SQLBindParameter(
        stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, column,
        0, p ? const_cast<SQLWCHAR*>(wide(*p)) : nullptr, p ? lengths[i] : 0, &lengths[i]);
    if (!SQL_SUCCEEDED(rc)) fail(SQL_HANDLE_STMT, stmt, QStringLiteral("Falha ao ligar um valor"));
  }
  const SQLRETURN rc = SQLExecDirectW(stmt, const_cast<SQLWCHAR*>(wide(sql)), SQL_NTS);
  if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA)
    fail(SQL_HANDLE_STMT, stmt, QStringLiteral("O banco de dados recusou o comando"));

  std::vector<Row> rows;
  SQLSMALLINT columns = 0;
  SQLNumResultCols(stmt, &columns);
  if (columns <= 0) return rows;
  while (true) {
    const SQLRETURN f = SQLFetch(stmt);
    if (f == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(f)) fail(SQL_HANDLE_STMT, stmt, QStringLiteral("Falha ao ler o resultado"));
    Row row;
    for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
      QString text;
      bool isNull = false;
      char16_t buffer[512];
      while (true) {
        SQLLEN got = 0;
        const SQLRETURN g = SQLGetData(stmt, c, SQL_C_WCHAR, buffer, sizeof buffer, &got);
        if (g == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(g)) fail(SQL_HANDLE_STMT, stmt, QStringLiteral("Falha ao ler um valor"));
        if (got == SQL_NULL_DATA) {
          isNull = true;
          break;
        }
        const qsizetype chars = got == SQL_NO_TOTAL || got >= static_cast<SQLLEN>(sizeof buffer)
                                    ? 511
                                    : static_cast<qsizetype>(got / 2);
        text += QString::fromUtf16(buffer, chars);
        if (g == SQL_SUCCESS) break;
      }
      row.push_back(isNull ? Param() : Param(text));
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

Param Database::value(const QString& sql, const std::vector<Param>& params) {
  const std::vector<Row> rows = exec(sql, params);
  if (rows.empty() || rows.front().empty()) return std::nullopt;
  return rows.front().front();
}

void Database::setAutoCommit(bool on) {
  if (!dbc_) throw DatabaseError(QStringLiteral("Sem conexão com o banco de dados."), {}, true);
  const SQLULEN value = on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
  if (!SQL_SUCCEEDED(
          SQLSetConnectAttr(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(value), 0)))
    fail(SQL_HANDLE_DBC, dbc_, QStringLiteral("Falha ao mudar o modo de transação"));
}

void Database::commit() {
  if (!dbc_) throw DatabaseError(QStringLiteral("Sem conexão com o banco de dados."), {}, true);
  if (!SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT)))
    fail(SQL_HANDLE_DBC, dbc_, QStringLiteral("Falha ao confirmar a transação"));
}

void Database::rollback() noexcept {
  if (dbc_) SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
}

}  // namespace office
