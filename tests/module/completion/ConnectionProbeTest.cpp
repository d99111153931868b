// The central-database probe against a real PostgreSQL server through its ODBC driver.
// The server comes from scripts/pg/start.sh, which tells where it is through
// REGVENDA_PG_CONNECTION.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <functional>
#include <memory>
#include <utility>

#include "module/completion/CompletionFixture.h"

namespace {

const QColor kGreen(0x00, 0x80, 0x00);
const QColor kRed(0xFF, 0x00, 0x00);

QString withPort(QString connection, int port) {
  return connection.replace(QRegularExpression(QStringLiteral("Port=\\d+")),
                            QStringLiteral("Port=%1").arg(port));
}

// A loopback port: listening (the kernel accepts connections that nobody ever answers)
// or closed again (connections are refused).
class LoopbackPort {
 public:
  explicit LoopbackPort(bool listening) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
    if (listening) {
      ::listen(fd_, 8);
    } else {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~LoopbackPort() {
    if (fd_ >= 0) ::close(fd_);
  }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

class ConnectionProbeTest : public CompletionTest {
 protected:
  void SetUp() override {
    CompletionTest::SetUp();
    server = qEnvironmentVariable("REGVENDA_PG_CONNECTION");
    // Starts from the other state, so a probe that does nothing shows.
    form->lblConexao->setText(QStringLiteral("?"));
  }

  void expectOnline() {
    EXPECT_EQ(form->lblConexao->text(), QStringLiteral("Banco de dados online"));
    EXPECT_EQ(form->lblConexao->palette().color(QPalette::WindowText), kGreen);
    EXPECT_TRUE(form->lblInfo->isVisibleTo(form));
  }
  void expectOffline() {
    EXPECT_EQ(form->lblConexao->text(), QStringLiteral("Banco de dados offline"));
    EXPECT_EQ(form->lblConexao->palette().color(QPalette::WindowText), kRed);
    EXPECT_FALSE(form->lblInfo->isVisibleTo(form));
    EXPECT_TRUE(messages().isEmpty());
    EXPECT_FALSE(session().has_value());
  }

  QString server;
};

#define REQUIRE_SERVER()                                                                     \
  if (server.isEmpty())                                                                      \
  GTEST_SKIP() << "REGVENDA_PG_CONNECTION is not set: no PostgreSQL test server (start one " \
                  "with scripts/pg/start.sh and source its env file)"

TEST_F(ConnectionProbeTest, ReachableServerShowsOnlineAndHandsTheConnectionOver) {
  REQUIRE_SERVER();
  fakes->connectionString = server;
  form->lblInfo->setVisible(false);
  form->TestaConexao();
  expectOnline();
  ASSERT_TRUE(session().has_value());
  EXPECT_NE(*session(), nullptr);
  EXPECT_EQ(*session(), form->adcTesteConexao.handle());

  // Releasing the form tells the runtime library the connection is gone.
  screen->releaseForm();
  ASSERT_TRUE(session().has_value());
  EXPECT_EQ(*session(), nullptr);
}

TEST_F(ConnectionProbeTest, RefusedPortShowsOffline) {
  REQUIRE_SERVER();
  const LoopbackPort closed(false);
  fakes->connectionString = withPort(server, closed.port());
  form->lblInfo->setVisible(true);
  form->TestaConexao();
  expectOffline();
}

TEST_F(ConnectionProbeTest, SilentPortGivesUpAfterTheLoginTimeout) {
  REQUIRE_SERVER();
  const LoopbackPort silent(true);
  fakes->connectionString = withPort(server, silent.port());
  QElapsedTimer clock;
  clock.start();
  form->TestaConexao();
  const qint64 waited = clock.elapsed();
  expectOffline();
  // Bounded by the 2-second login time-out, not by the driver's own patience.
  EXPECT_GE(waited, 1500);
  EXPECT_LT(waited, 3500);
}

// Every probe re-tests an open connection: a server gone shows offline, the runtime library
// lets go of the dead connection, and the next probe that reaches a server hands it a new one.
TEST_F(ConnectionProbeTest, ServerGoneAfterAnOnlineProbeShowsOfflineUntilOneAnswers) {
  REQUIRE_SERVER();
  // A server of this test's own, so stopping it disturbs no other test.
  QTemporaryDir cluster;
  ASSERT_TRUE(cluster.isValid());
  const QString scripts = QStringLiteral(REGVENDA_SOURCE_DIR "/scripts/pg/");
  bool stopped = false;
  const auto stop = [&] {
    if (!std::exchange(stopped, true))
      QProcess::execute(QStringLiteral("bash"),
                        {scripts + QStringLiteral("stop.sh"), cluster.path()});
  };
  const std::unique_ptr<void, std::function<void(void*)>> stopAtEnd(&cluster,
                                                                    [&](void*) { stop(); });
  QProcess start;
  start.start(QStringLiteral("bash"), {scripts + QStringLiteral("start.sh"), cluster.path()});
  ASSERT_TRUE(start.waitForFinished(120000));
  ASSERT_EQ(start.exitCode(), 0) << start.readAllStandardError().toStdString();
  QFile env(cluster.path() + QStringLiteral("/env"));
  ASSERT_TRUE(env.open(QIODevice::ReadOnly));
  const QRegularExpressionMatch found =
      QRegularExpression(QStringLiteral("REGVENDA_PG_CONNECTION='([^']*)'"))
          .match(QString::fromUtf8(env.readAll()));
  ASSERT_TRUE(found.hasMatch());
  fakes->connectionString = found.captured(1);

  form->TestaConexao();
  expectOnline();
  form->TestaConexao();  // still there: online, the same connection
  expectOnline();
  EXPECT_EQ(fakes->sessions.size(), 1u);
  stop();

  form->lblConexao->setText(QStringLiteral("?"));
  QElapsedTimer clock;
  clock.start();
  form->TestaConexao();
  EXPECT_LT(clock.elapsed(), 3500);
  EXPECT_EQ(form->lblConexao->text(), QStringLiteral("Banco de dados offline"));
  EXPECT_FALSE(form->lblInfo->isVisibleTo(form));
  EXPECT_FALSE(form->adcTesteConexao.connected());
  ASSERT_TRUE(session().has_value());
  EXPECT_EQ(*session(), nullptr);
  EXPECT_TRUE(messages().isEmpty());

  fakes->connectionString = server;  // a central database answers again
  form->TestaConexao();
  expectOnline();
  ASSERT_TRUE(session().has_value());
  EXPECT_EQ(*session(), form->adcTesteConexao.handle());
  EXPECT_NE(*session(), nullptr);
}

}  // namespace
