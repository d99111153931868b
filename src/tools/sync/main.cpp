// regvenda-sync: takes up a till's sale files into the office's central database.
//
//   regvenda-sync [--data-dir DIR] [--watch] [--batch-size N] [--help] [--version]
//
// Exit status: 0 nothing left waiting; 1 an error it cannot get past (a file that is not a
// whole table, a folder it cannot move files in); 2 the database could not be reached, the
// run was cut, another take-up holds the data directory, or a sale still waits for its
// cash-movement file (retry later). Each pass leaves one summary line on standard error.
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <cstdio>

#include "framework/core/Error.h"
#include "office/TakeUp.h"
#include "runtime/Runtime.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void say(const QString& text) { std::fprintf(stderr, "%s\n", text.toUtf8().constData()); }

int statusOf(const office::TakeUpReport& r) {
  if (r.cut) return 2;
  if (r.refused > 0) return 1;
  if (r.waiting > 0) return 2;
  return 0;
}

// Sleeps in short steps so a stop signal ends the wait at once.
void pause(int seconds) {
  for (int i = 0; i < seconds * 10 && !g_stop; ++i) QThread::msleep(100);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("regvenda-sync"));
  QCoreApplication::setApplicationVersion(QStringLiteral(REGVENDA_VERSION));
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Registro de Vendas: leva as vendas da pasta Dados/Venda_Arquivo ao banco de dados "
      "central (a cadeia de conexão de ConexaoOrv.txt ou de REGVENDA_CONNECTION), cada venda "
      "uma única vez."));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption dataDir(QStringLiteral("data-dir"),
                                   QStringLiteral("pasta de dados (padrão: a pasta do programa)"),
                                   QStringLiteral("DIR"));
  const QCommandLineOption watch(
      QStringLiteral("watch"),
      QStringLiteral("continua rodando e leva os arquivos novos conforme chegam"));
  const QCommandLineOption batch(
      QStringLiteral("batch-size"),
      QStringLiteral("vendas por transação (padrão: 250)"), QStringLiteral("N"),
      QStringLiteral("250"));
  parser.addOption(dataDir);
  parser.addOption(watch);
  parser.addOption(batch);
  parser.process(app);

  if (parser.isSet(dataDir)) {
    const QFileInfo dir(parser.value(dataDir));
    if (!dir.isDir()) {
      say(QStringLiteral("regvenda-sync: a pasta de dados %1 não existe").arg(parser.value(dataDir)));
      return 1;
    }
    qputenv("REGVENDA_DATA_DIR", QFile::encodeName(dir.absoluteFilePath()));
  }
  const QString directory = runtime::dataDirectory();
  std::signal(SIGTERM, [](int) { g_stop = 1; });
  std::signal(SIGINT, [](int) { g_stop = 1; });

  const bool watching = parser.isSet(watch);
  QString lockError;
  int lock = office::TakeUp::tryLock(directory, &lockError);
  if (lock < 0 && !watching) {
    say(QStringLiteral("regvenda-sync: %1").arg(lockError));
    return 2;
  }
  // Under --watch a second take-up waits its turn quietly.
  while (lock < 0 && !g_stop) {
    pause(5);
    lock = office::TakeUp::tryLock(directory, nullptr);
  }

  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  int status = 0;
  int backoff = 1;
  bool toldNoConnection = false;
  QString lastSummary;
  do {
    office::TakeUpOptions options;
    options.dataDir = directory;
    options.batchSize = std::max(1, parser.value(batch).toInt());
    options.connectionString = runtime::connectionString();
    if (options.connectionString.isEmpty()) {
      // Nothing configured: the till works offline, and nobody is bothered about it.
      if (!watching) {
        say(QStringLiteral("regvenda-sync: nenhuma cadeia de conexão configurada "
                           "(ConexaoOrv.txt ou REGVENDA_CONNECTION)"));
        status = 2;
        break;
      }
      if (!toldNoConnection) say(QStringLiteral("regvenda-sync: sem cadeia de conexão; aguardando"));
      toldNoConnection = true;
      pause(30);
      continue;
    }
    toldNoConnection = false;
    if (terminal) {
      options.progress = [](int done, int found) {
        std::fprintf(stderr, "\rregvenda-sync: %d de %d", done, found);
      };
    }
    office::TakeUpReport report;
    try {
      report = office::TakeUp(options).run();
    } catch (const std::exception& e) {
      report.error = fw::messageOf(e);
      if (terminal) std::fputc('\n', stderr);
      say(QStringLiteral("regvenda-sync: %1").arg(report.error));
      status = 1;
      if (!watching) break;
      pause(backoff);
      backoff = std::min(backoff * 2, 300);
      continue;
    }
    if (terminal && report.total() + report.waiting + report.refused > 0) std::fputc('\n', stderr);
    status = statusOf(report);
    const QString line = report.summary();
    // Under --watch a pass says something only when it did something or its news changed.
    if (!watching || report.total() > 0 || line != lastSummary) {
      for (const QString& p : report.problems) say(QStringLiteral("regvenda-sync: %1").arg(p));
      say(line);
    }
    lastSummary = line;
    if (!watching) break;
    if (report.cut) {
      pause(backoff);
      backoff = std::min(backoff * 2, 300);
    } else {
      backoff = 1;
      pause(2);
    }
  } while (!g_stop);
  office::TakeUp::unlock(lock);
  return status;
}
