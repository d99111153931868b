// The probe's connection against a real PostgreSQL server through its ODBC driver.
// Tests that need the server read REGVENDA_PG_CONNECTION (scripts/pg/start.sh writes it) and
// are skipped, saying so, when it is absent.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sql.h>
#include <sqlext.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include "QtPrinters.h"
#include "framework/core/Error.h"
#include "runtime/TADOConnection.h"

using runtime::TADOConnection;

namespace {

QString serverConnection() { return qEnvironmentVariable("REGVENDA_PG_CONNECTION"); }

// The PostgreSQL ODBC driver's library: the one the server's string names, else Debian's.
QString postgresDriver() {
  const QRegularExpressionMatch named =
      QRegularExpression("Driver=([^;]+)", QRegularExpression::CaseInsensitiveOption)
          .match(serverConnection());
  if (named.hasMatch()) return named.captured(1);
  return "/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so";
}

// A TCP socket listening on loopback on a port of the system's choosing. The kernel
// completes the handshake for it; nobody ever reads or answers.
class SilentListener {
 public:
  SilentListener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd_, 8) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      close();
      return;
    }
    port_ = ntohs(address.sin_port);
  }
  ~SilentListener() { close(); }
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;
  quint16 port() const { return port_; }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
  quint16 port_ = 0;
};

QString stringForPort(quint16 port) {
  return QStringLiteral("Driver=%1;Server=127.0.0.1;Port=%2;Database=regvenda;Uid=regvenda;")
      .arg(postgresDriver())
      .arg(port);
}

// Runs a query on the handle, to show the connection is a real one.
int selectOne(void* handle) {
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, static_cast<SQLHDBC>(handle), &statement)))
    return -1;
  SQLINTEGER value = -1;
  SQLLEN indicator = 0;
  if (SQL_SUCCEEDED(SQLExecDirect(statement, (SQLCHAR*)"SELECT 41 + 1", SQL_NTS)) &&
      SQL_SUCCEEDED(SQLFetch(statement))) {
    SQLGetData(statement, 1, SQL_C_SLONG, &value, 0, &indicator);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
  return value;
}

// The first column of the first row `sql` answers, as text (empty when it fails).
QString queryText(void* handle, const char* sql) {
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, static_cast<SQLHDBC>(handle), &statement)))
    return {};
  char value[2048] = {};
  SQLLEN indicator = 0;
  if (SQL_SUCCEEDED(SQLExecDirect(statement, (SQLCHAR*)sql, SQL_NTS)) &&
      SQL_SUCCEEDED(SQLFetch(statement))) {
    SQLGetData(statement, 1, SQL_C_CHAR, value, sizeof value, &indicator);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
  return QString::fromUtf8(value);
}

struct Hooks {
  int before = 0, after = 0, disconnect = 0;
  void* handleAfter = nullptr;
  void* handleAtDisconnect = nullptr;
  void attach(TADOConnection& connection, const QString& string) {
    connection.beforeConnect = [this, string](TADOConnection& c) {
      ++before;
      c.connectionString = string;
    };
    connection.afterConnect = [this](TADOConnection& c) {
      ++after;
      handleAfter = c.handle();
    };
    connection.beforeDisconnect = [this](TADOConnection& c) {
      ++disconnect;
      handleAtDisconnect = c.handle();
    };
  }
};

QString failureOf(TADOConnection& connection) {
  try {
    connection.open();
  } catch (const fw::Error& e) {
    return e.message();
  }
  return {};
}

}  // namespace

TEST(TADOConnection, EmptyStringFailsAfterTheBeforeHookWithoutAttempt) {
  TADOConnection connection;
  Hooks hooks;
  hooks.attach(connection, "  ");
  const QString error = failureOf(connection);
  EXPECT_TRUE(error.startsWith("Falha ao conectar ao banco de dados: ")) << error.toStdString();
  EXPECT_EQ(hooks.before, 1);
  EXPECT_EQ(hooks.after, 0);
  EXPECT_FALSE(connection.connected());
  EXPECT_EQ(connection.handle(), nullptr);
}

TEST(TADOConnection, ErrorInTheBeforeHookStopsTheAttempt) {
  TADOConnection connection;
  connection.connectionString = "Driver=whatever;";
  int after = 0;
  connection.beforeConnect = [](TADOConnection&) { throw fw::Error("sem cadeia"); };
  connection.afterConnect = [&](TADOConnection&) { ++after; };
  EXPECT_EQ(failureOf(connection), "sem cadeia");
  EXPECT_EQ(after, 0);
  EXPECT_FALSE(connection.connected());
}

TEST(TADOConnection, ClosedPortFailsWithoutWaitingForTheTimeout) {
  if (!QFileInfo::exists(postgresDriver())) GTEST_SKIP() << "PostgreSQL ODBC driver missing";
  SilentListener probe;
  const quint16 port = probe.port();
  ASSERT_NE(port, 0);
  probe.close();  // nothing listens there now: the connection is refused

  TADOConnection connection;
  connection.connectionString = stringForPort(port);
  QElapsedTimer clock;
  clock.start();
  EXPECT_FALSE(failureOf(connection).isEmpty());
  EXPECT_LT(clock.elapsed(), 1900);
  EXPECT_FALSE(connection.connected());
}

TEST(TADOConnection, SilentServerIsGivenUpAtTheLoginTimeout) {
  if (!QFileInfo::exists(postgresDriver())) GTEST_SKIP() << "PostgreSQL ODBC driver missing";
  SilentListener silent;
  ASSERT_NE(silent.port(), 0);

  TADOConnection connection;
  connection.connectionString = stringForPort(silent.port());
  ASSERT_EQ(connection.connectionTimeout, 2);
  QElapsedTimer clock;
  clock.start();
  const QString error = failureOf(connection);
  const qint64 elapsed = clock.elapsed();
  EXPECT_TRUE(error.startsWith("Falha ao conectar ao banco de dados: ")) << error.toStdString();
  EXPECT_GE(elapsed, 1000) << "failed before the server could have answered";
  EXPECT_LT(elapsed, 3500) << "the login time-out was not honoured";
  EXPECT_FALSE(connection.connected());
}

class WithServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (serverConnection().isEmpty()) {
      GTEST_SKIP() << "REGVENDA_PG_CONNECTION not set: start a server with scripts/pg/start.sh "
                      "and source its env file";
    }
  }
};

TEST_F(WithServer, OpensRunsHooksAndGivesARealHandle) {
  TADOConnection connection;
  Hooks hooks;
  hooks.attach(connection, serverConnection());
  connection.open();
  ASSERT_TRUE(connection.connected());
  ASSERT_NE(connection.handle(), nullptr);
  EXPECT_EQ(hooks.before, 1);
  EXPECT_EQ(hooks.after, 1);
  EXPECT_EQ(hooks.handleAfter, connection.handle());
  EXPECT_EQ(selectOne(connection.handle()), 42);

  // Already open: nothing happens, no hook runs again.
  void* const handle = connection.handle();
  connection.open();
  EXPECT_EQ(connection.handle(), handle);
  EXPECT_EQ(hooks.before, 1);
  EXPECT_EQ(hooks.after, 1);

  connection.close();
  EXPECT_EQ(hooks.disconnect, 1);
  EXPECT_EQ(hooks.handleAtDisconnect, handle);
  EXPECT_EQ(connection.handle(), nullptr);

  // Reopened and destroyed: the holder of the handle is told once more.
  {
    TADOConnection again;
    hooks.attach(again, serverConnection());
    again.open();
  }
  EXPECT_EQ(hooks.disconnect, 2);
}

TEST_F(WithServer, FailedHandOverReleasesTheConnection) {
  TADOConnection connection;
  Hooks hooks;
  hooks.attach(connection, serverConnection());
  connection.afterConnect = [](TADOConnection&) { throw fw::Error("sessão recusada"); };
  EXPECT_EQ(failureOf(connection), "sessão recusada");
  EXPECT_FALSE(connection.connected());
  EXPECT_EQ(hooks.disconnect, 1);
}

// A private server, so stopping it does not disturb tests sharing the common one.
class PrivateServer {
 public:
  PrivateServer() {
    QProcess start;
    start.start(QStringLiteral(REGVENDA_SOURCE_DIR "/scripts/pg/start.sh"), {});
    start.waitForFinished(60000);
    dir_ = QString::fromUtf8(start.readAllStandardOutput()).trimmed();
    if (start.exitCode() != 0 || dir_.isEmpty()) {
      error_ = QString::fromUtf8(start.readAllStandardError());
      return;
    }
    QFile env(dir_ + "/env");
    if (env.open(QIODevice::ReadOnly)) {
      const QRegularExpressionMatch m = QRegularExpression("REGVENDA_PG_CONNECTION='([^']*)'")
                                            .match(QString::fromUtf8(env.readAll()));
      connection_ = m.captured(1);
    }
  }
  ~PrivateServer() {
    if (!dir_.isEmpty()) stop();
  }
  void stop() {
    QProcess::execute(QStringLiteral(REGVENDA_SOURCE_DIR "/scripts/pg/stop.sh"), {dir_});
    dir_.clear();
  }
  // Every process of the server stopped (SIGSTOP) or let go on (SIGCONT): it keeps its
  // connections but answers nothing.
  void freeze(bool frozen) {
    const QString signal = QLatin1String(frozen ? "STOP" : "CONT");
    QProcess::execute(
        QStringLiteral("bash"),
        {QStringLiteral("-c"), QStringLiteral("pid=$(head -1 '%1/data/postmaster.pid') && "
                                              "pkill -%2 -P \"$pid\"; kill -%2 \"$pid\"")
                                   .arg(dir_, signal)});
  }
  const QString& connection() const { return connection_; }
  const QString& error() const { return error_; }

 private:
  QString dir_, connection_, error_;
};

// open() on an open connection does not look at the server; test() does, within the
// time-out even when the server hangs (a hung query costs the connection).
TEST_F(WithServer, TestTellsAServerThatWentAway) {
  PrivateServer server;
  ASSERT_FALSE(server.connection().isEmpty()) << server.error().toStdString();
  TADOConnection connection;
  Hooks hooks;
  hooks.attach(connection, server.connection());
  EXPECT_THROW(connection.test(), fw::Error);  // not open yet
  connection.open();
  EXPECT_NO_THROW(connection.test());

  server.freeze(true);
  QElapsedTimer clock;
  clock.start();
  EXPECT_THROW(connection.test(), fw::Error);
  EXPECT_LT(clock.elapsed(), 3500);
  EXPECT_FALSE(connection.connected());
  EXPECT_EQ(hooks.disconnect, 1);
  server.freeze(false);
  connection.open();
  EXPECT_EQ(hooks.before, 2);
  EXPECT_NO_THROW(connection.test());

  server.stop();
  EXPECT_NO_THROW(connection.open());
  EXPECT_EQ(hooks.before, 2);
  EXPECT_THROW(connection.test(), fw::Error);
  EXPECT_TRUE(connection.connected());  // a failed answer: releasing it is the caller's call
  EXPECT_EQ(selectOne(connection.handle()), -1);
  EXPECT_NO_THROW(connection.close());
  EXPECT_EQ(hooks.disconnect, 2);
}

// Some servers refuse "SELECT 1" (they want a FROM): the re-test sends no SQL of its own but
// the driver's catalog call, which each driver words for its own server.
TEST_F(WithServer, ReTestIsTheDriversOwnCatalogCall) {
  TADOConnection probe;
  TADOConnection observer;
  Hooks hooks;
  Hooks others;
  hooks.attach(probe, serverConnection());
  others.attach(observer, serverConnection());
  probe.open();
  observer.open();
  const QByteArray pid = queryText(probe.handle(), "SELECT pg_backend_pid()").toLatin1();
  ASSERT_FALSE(pid.isEmpty());
  ASSERT_NO_THROW(probe.test());
  const QString sent = queryText(
      observer.handle(), ("SELECT query FROM pg_stat_activity WHERE pid = " + pid).constData());
  EXPECT_TRUE(sent.contains("pg_catalog")) << sent.toStdString();
  EXPECT_FALSE(sent.contains("pg_backend_pid")) << "the re-test asked the server nothing";
}
