// regvenda: the host application. Installs the outside packages (runtime library, fiscal
// printer bridge, operator dialogs), loads the module by path at run time and calls its
// entry, as the point-of-sale application loads its packages.
//
//   regvenda [--data-dir DIR] [--module PATH] [--screenshot FILE] [--no-sync] [--help] [--version]
//
// --screenshot: nobody is at the screen; messages go to stderr, start-up runs, the screen
// is rendered to FILE (PNG) and the program leaves. Exit status 1 when the screen was not
// shown (a start-up failure, or another host already open on the same data directory), 2 when the
// module or the picture could not be handled.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "dialogs/DialogsPackage.h"
#include "host/ChildProgram.h"
#include "fiscal/FiscalPackage.h"
#include "outside/Outside.h"
#include "runtime/Runtime.h"

namespace {

const QString kFormName = QStringLiteral("frmVendaArquivo");

// Sees the sales screen appear; in screenshot mode renders it once it is up and closes it.
class ScreenWatcher : public QObject {
 public:
  explicit ScreenWatcher(QString screenshot) : screenshot_(std::move(screenshot)) {}
  bool shown() const { return shown_; }
  bool saved() const { return saved_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Show && !shown_ && watched->isWidgetType() &&
        watched->objectName() == kFormName) {
      shown_ = true;
      if (!screenshot_.isEmpty()) {
        auto* form = static_cast<QWidget*>(watched);
        // After the show has been processed, inside the screen's modal run.
        QTimer::singleShot(0, form, [this, form] { capture(form); });
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  void capture(QWidget* form) {
    saved_ = form->grab().save(screenshot_, "PNG");
    if (!saved_)
      std::fprintf(stderr, "regvenda: não foi possível gravar %s\n", qPrintable(screenshot_));
    if (auto* dialog = qobject_cast<QDialog*>(form))
      dialog->done(QDialog::Accepted);
    else
      form->close();
  }

  QString screenshot_;
  bool shown_ = false;
  bool saved_ = false;
};

struct Options {
  QCommandLineParser parser;
  QCommandLineOption dataDir{QStringLiteral("data-dir"),
                             QStringLiteral("pasta de dados (padrão: a pasta do programa, ou "
                                                            "/var/lib/regvenda quando instalado)"),
                             QStringLiteral("DIR")};
  QCommandLineOption module{
      QStringLiteral("module"),
      QStringLiteral("o módulo a carregar (padrão: libRegVendaArquivo.so ao lado do programa "
                     "ou na pasta de bibliotecas do pacote)"),
      QStringLiteral("PATH")};
  QCommandLineOption screenshot{QStringLiteral("screenshot"),
                                QStringLiteral("abre a tela, grava a imagem em FILE (PNG) e sai"),
                                QStringLiteral("FILE")};
  QCommandLineOption scanAdds{
      QStringLiteral("scan-adds"),
      QStringLiteral("um código lido pelo leitor também adiciona o item (padrão: só seleciona)")};
  QCommandLineOption noSync{QStringLiteral("no-sync"),
                            QStringLiteral("não leva as vendas ao banco central em segundo plano "
                                           "(regvenda-sync --watch)")};

  Options() {
    parser.setApplicationDescription(
        QStringLiteral("Registro de Vendas: a tela de vendas por arquivo."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(dataDir);
    parser.addOption(module);
    parser.addOption(screenshot);
    parser.addOption(scanAdds);
    parser.addOption(noSync);
  }
};

// Help and version need no screen: answered before any display is opened.
bool asksForHelpOrVersion(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const QByteArray a(argv[i]);
    if (a == "--help" || a == "-h" || a == "-?" || a == "--help-all" || a == "--version" ||
        a == "-v")
      return true;
  }
  return false;
}

#ifndef REGVENDA_SYSTEM_DATA_DIR
#define REGVENDA_SYSTEM_DATA_DIR "/var/lib/regvenda"
#endif
#ifndef REGVENDA_INSTALL_BINDIR
#define REGVENDA_INSTALL_BINDIR "/usr/bin"
#endif
#ifndef REGVENDA_MODULE_FROM_BIN
#define REGVENDA_MODULE_FROM_BIN "../lib/regvenda"
#endif

// An installed program's folder is no place for a till's data: the package's data
// directory is used instead. The cashier shares it, through its group, with the take-up
// service, so files are written group-writable for the service to move them.
void useSystemDataDirectoryWhenInstalled() {
  const QString own = QCoreApplication::applicationDirPath();
  const bool installed = own == QStringLiteral(REGVENDA_INSTALL_BINDIR);
  if (!installed && ::access(QFile::encodeName(own).constData(), W_OK) == 0) return;
  const QString system = QStringLiteral(REGVENDA_SYSTEM_DATA_DIR);
  if (!QFileInfo(system).isDir()) return;
  qputenv("REGVENDA_DATA_DIR", QFile::encodeName(system));
  const mode_t mask = ::umask(0);
  ::umask(mask & ~mode_t{070});
}

// The module beside the program (a build tree, a shop's folder), else in the package's
// private library folder.
QString defaultModulePath() {
  const QDir own(QCoreApplication::applicationDirPath());
  const QString name = QStringLiteral("libRegVendaArquivo.so");
  if (own.exists(name)) return own.filePath(name);
  return QDir::cleanPath(own.filePath(QStringLiteral(REGVENDA_MODULE_FROM_BIN "/") + name));
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication::setApplicationName(QStringLiteral("regvenda"));
  QCoreApplication::setApplicationVersion(QStringLiteral(REGVENDA_VERSION));
  if (asksForHelpOrVersion(argc, argv)) {
    QCoreApplication app(argc, argv);
    Options options;
    options.parser.process(app);  // prints on stdout and leaves with status 0
    return 0;
  }
  QApplication app(argc, argv);

  Options options;
  QCommandLineParser& parser = options.parser;
  const QCommandLineOption& dataDir = options.dataDir;
  const QCommandLineOption& module = options.module;
  const QCommandLineOption& screenshot = options.screenshot;
  parser.process(app);

  if (parser.isSet(dataDir)) {
    const QFileInfo dir(parser.value(dataDir));
    if (!dir.isDir()) {
      std::fprintf(stderr, "regvenda: a pasta de dados %s não existe\n",
                   qPrintable(parser.value(dataDir)));
      return 2;
    }
    qputenv("REGVENDA_DATA_DIR", QFile::encodeName(dir.absoluteFilePath()));
  } else if (!qEnvironmentVariableIsSet("REGVENDA_DATA_DIR")) {
    useSystemDataDirectoryWhenInstalled();
  }
  const QString screenshotFile =
      parser.isSet(screenshot) ? QFileInfo(parser.value(screenshot)).absoluteFilePath() : QString();
  if (!screenshotFile.isEmpty()) runtime::setInteractive(false);
  // The module reads it beside RegVenda.conf; the option wins over the file.
  if (parser.isSet(options.scanAdds)) qputenv("REGVENDA_SCAN_ADDS", "1");

  runtime::install();
  // One host per data directory: two would share one printer memory and one sale on screen.
  // The lock lives as long as the process, and the system lets go of it on a crash.
  const QString lockPath = QDir(runtime::dataDirectory()).filePath(QStringLiteral("regvenda.lock"));
  const int lock =
      ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (lock < 0 || ::flock(lock, LOCK_EX | LOCK_NB) != 0) {
    const QString text =
        lock < 0
            ? QStringLiteral(
                  "Não foi possível abrir o arquivo de trava %1: o Registro de Vendas não foi "
                  "aberto.")
                  .arg(lockPath)
            : QStringLiteral(
                  "O Registro de Vendas já está aberto nesta pasta de dados (%1). Feche-o antes de "
                  "abrir outro.")
                  .arg(runtime::dataDirectory());
    std::fprintf(stderr, "regvenda: %s\n", qPrintable(text));
    if (!screenshotFile.isEmpty() || !outside::Mensagem) return 1;
    outside::Mensagem(text, QString(), QStringLiteral("N"), QStringLiteral("N"), outside::tmErro,
                      QString(), QString(), 0, nullptr);
    return 1;
  }
  fiscal::install(runtime::dataDirectory());
  dialogs::install();
  std::unique_ptr<ChildProgram> sync;
  if (screenshotFile.isEmpty() && !parser.isSet(options.noSync))
    sync = std::make_unique<ChildProgram>(
        QStringLiteral("regvenda-sync"),
        QStringList{QStringLiteral("--watch"), QStringLiteral("--data-dir"), runtime::dataDirectory()},
        QDir(runtime::dataDirectory()).filePath(QStringLiteral("regvenda-sync.log")));
  // The general error report: an error that escaped a touch handler, shown while the
  // screen stays open.
  outside::ApplicationHandleException = [](const QString& text) {
    outside::inform(text, QString(), outside::tmErro);
  };

  const QString modulePath = parser.isSet(module) ? parser.value(module) : defaultModulePath();
  void* handle = dlopen(QFile::encodeName(modulePath).constData(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::fprintf(stderr, "regvenda: não foi possível carregar o módulo: %s\n", dlerror());
    return 2;
  }
  using Entry = void (*)();
  auto entry = reinterpret_cast<Entry>(dlsym(handle, "CriaRegVenda"));
  if (!entry) {
    std::fprintf(stderr, "regvenda: o módulo %s não publica CriaRegVenda\n",
                 qPrintable(modulePath));
    dlclose(handle);
    return 2;
  }

  ScreenWatcher watcher(screenshotFile);
  app.installEventFilter(&watcher);
  entry();
  app.removeEventFilter(&watcher);
  sync.reset();

  fiscal::uninstall();
  dialogs::uninstall();
  outside::resetAll();
  dlclose(handle);

  if (!watcher.shown()) return 1;
  if (!screenshotFile.isEmpty()) {
    if (!watcher.saved()) return 2;
    std::printf("%s\n", qPrintable(screenshotFile));
  }
  return 0;
}
