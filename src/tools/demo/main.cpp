// regvenda-demo DIR [--cpf] [--no-printer]: writes a demo data directory for the sales screen.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

#include "framework/core/Error.h"
#include "tools/demo/DemoData.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("regvenda-demo"));
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Grava uma pasta de dados de demonstração do Registro de Vendas."));
  parser.addHelpOption();
  parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("pasta de dados a gravar"));
  const QCommandLineOption cpf(QStringLiteral("cpf"),
                               QStringLiteral("pede o CPF do cliente ao abrir o cupom"));
  const QCommandLineOption noPrinter(QStringLiteral("no-printer"),
                                     QStringLiteral("não usa a impressora fiscal"));
  parser.addOption(cpf);
  parser.addOption(noPrinter);
  parser.process(app);
  if (parser.positionalArguments().size() != 1) {
    std::fprintf(stderr, "uso: regvenda-demo DIR [--cpf] [--no-printer]\n");
    return 2;
  }
  const QString dir = parser.positionalArguments().first();
  try {
    demo::Options options;
    options.askCpf = parser.isSet(cpf);
    options.useFiscalPrinter = !parser.isSet(noPrinter);
    const demo::Summary summary = demo::writeDemoData(dir, options);
    std::printf("%s: %d produtos, %d tipos de recebimento\n", qPrintable(QDir(dir).absolutePath()),
                summary.products, summary.paymentTypes);
  } catch (const fw::Error& e) {
    std::fprintf(stderr, "regvenda-demo: %s\n", e.message().toLocal8Bit().constData());
    return 1;
  }
  return 0;
}
