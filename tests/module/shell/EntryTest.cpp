// The module's entry: a whole run of the screen through CriaRegVenda, its failure path,
// the cursor, the sale context across runs, and the host program on a demo directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTimer>

#include "module/shell/SaleContext.h"
#include "module/support/FormFixture.h"

using testsupport::FormFixture;

namespace {

FormFixture::Setup dataOnly() {
  FormFixture::Setup setup;
  setup.createForm = false;
  return setup;
}

// What one run saw while its screen was up; the screen is left through its exit button.
struct RunObservation {
  bool shown = false;
  bool busyCursor = true;
  bool published = false;
};

RunObservation runScreen() {
  RunObservation seen;
  QTimer probe;
  probe.setInterval(0);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) return;
    probe.stop();
    seen.shown = true;
    seen.busyCursor = QApplication::overrideCursor() != nullptr;
    seen.published = frmVendaArquivo == modal;
    frmVendaArquivo->spdSair->click();
  });
  probe.start();
  CriaRegVenda();
  return seen;
}

}  // namespace

TEST(Entry, RunsTheScreenAndKeepsTheSaleContextForTheNextRun) {
  FormFixture f(dataOnly());
  const RunObservation first = runScreen();
  EXPECT_TRUE(first.shown);
  EXPECT_FALSE(first.busyCursor) << "the modal run shows the normal cursor";
  EXPECT_TRUE(first.published);
  EXPECT_EQ(frmVendaArquivo, nullptr);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(stFilialLogin, "10");

  // A coupon left open, then the screen opened again.
  boCupomAberto = true;
  stCupomVen = QStringLiteral("000123");
  doTotal = 20;
  doValorRece = 5;
  EXPECT_TRUE(runScreen().shown);
  EXPECT_TRUE(boCupomAberto);
  EXPECT_EQ(stCupomVen, "000123");
  EXPECT_EQ(doTotal, 20.0);
  EXPECT_EQ(doValorRece, 5.0);
  EXPECT_TRUE(f.messages.empty());
}

TEST(Entry, StartFailureIsShownAndNoScreenOpens) {
  FormFixture f(dataOnly());
  ASSERT_TRUE(QFile::remove(f.path("PARAMETROSORV.CDS")));
  const RunObservation seen = runScreen();
  EXPECT_FALSE(seen.shown);
  EXPECT_EQ(frmVendaArquivo, nullptr);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy cursor is reset on failure too";
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_TRUE(f.messages[0].text.contains("DSDIRCAD")) << f.messages[0].text.toStdString();
  EXPECT_EQ(f.messages[0].confirm, "N");
  EXPECT_EQ(f.messages[0].kind, 3);
  EXPECT_EQ(f.messages[0].idEsquema, "002");
}

TEST(Entry, HostRendersTheScreenOrFailsWithoutParameters) {
  const QString host = QStringLiteral(REGVENDA_BIN_DIR "/regvenda");
  if (!QFile::exists(host)) GTEST_SKIP() << "the host program is not built";
  FormFixture f(dataOnly());
  const QString picture = f.path("tela.png");

  QProcess run;
  run.setProcessEnvironment([] {
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
  }());
  run.start(host, {"--data-dir", f.dataDir(), "--screenshot", picture});
  ASSERT_TRUE(run.waitForFinished(60000));
  EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
  const QImage image(picture);
  ASSERT_EQ(image.size(), QSize(800, 600));
  EXPECT_EQ(image.pixelColor(0, 0), QColor(0xCC, 0x5B, 0x2C));

  ASSERT_TRUE(QFile::remove(f.path("PARAMETROSORV.CDS")));
  ASSERT_TRUE(QFile::remove(picture));
  run.start(host, {"--data-dir", f.dataDir(), "--screenshot", picture});
  ASSERT_TRUE(run.waitForFinished(60000));
  EXPECT_EQ(run.exitCode(), 1);
  EXPECT_TRUE(QString::fromLocal8Bit(run.readAllStandardError()).contains("DSDIRCAD"));
  EXPECT_FALSE(QFile::exists(picture));
}

// Two hosts on one data directory would share one printer and one sale on screen: the
// second does not start while the first holds the directory.
TEST(Entry, SecondHostOnTheSameDataDirectoryDoesNotStart) {
  const QString host = QStringLiteral(REGVENDA_BIN_DIR "/regvenda");
  if (!QFile::exists(host)) GTEST_SKIP() << "the host program is not built";
  FormFixture f(dataOnly());
  // The first host's lock, as it holds it for its life.
  const int first =
      ::open(QFile::encodeName(f.path("regvenda.lock")).constData(), O_RDWR | O_CREAT, 0666);
  ASSERT_GE(first, 0);
  ASSERT_EQ(::flock(first, LOCK_EX | LOCK_NB), 0);

  QProcess run;
  auto env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  run.setProcessEnvironment(env);
  const QString picture = f.path("tela.png");
  run.start(host, {"--data-dir", f.dataDir(), "--screenshot", picture});
  ASSERT_TRUE(run.waitForFinished(60000));
  EXPECT_EQ(run.exitCode(), 1);
  EXPECT_TRUE(QString::fromLocal8Bit(run.readAllStandardError())
                  .contains("já está aberto nesta pasta de dados"));
  EXPECT_FALSE(QFile::exists(picture));

  ::close(first);  // the first host ended: the next one starts
  run.start(host, {"--data-dir", f.dataDir(), "--screenshot", picture});
  ASSERT_TRUE(run.waitForFinished(60000));
  EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
}

TEST(Entry, HostHelpAndVersionNeedNoDisplay) {
  const QString host = QStringLiteral(REGVENDA_BIN_DIR "/regvenda");
  if (!QFile::exists(host)) GTEST_SKIP() << "the host program is not built";
  QProcess run;
  auto env = QProcessEnvironment::systemEnvironment();
  env.remove("QT_QPA_PLATFORM");  // with no display a screen could not even start
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  run.setProcessEnvironment(env);
  for (const char* option : {"--help", "--version"}) {
    run.start(host, {option});
    ASSERT_TRUE(run.waitForFinished(60000));
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit) << option;
    EXPECT_EQ(run.exitCode(), 0) << option << run.readAllStandardError().toStdString();
    EXPECT_TRUE(run.readAllStandardOutput().contains(QByteArray(option) == "--help" ? "--data-dir"
                                                                                    : "regvenda"))
        << option;
  }
}
