// Writing the files of a large sale: 300 items and 10 payments, both files saved to disk.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "outside/Outside.h"

namespace {

void fillSale(TfrmVendaArquivo& form) {
  fw::LocalTable& items = form.cdsAddProduto;
  items.createDataSet();
  for (int i = 1; i <= 300; ++i) {
    const QString number = QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0'));
    items.insert();
    items.setText(QStringLiteral("CDPRODUTO"), QString::number(1000 + i));
    items.setText(QStringLiteral("NMPRODUTO"), QStringLiteral("Produto de teste número %1").arg(i));
    items.setText(QStringLiteral("CDFILIAL"), stFilialLogin);
    items.setText(QStringLiteral("CDCAIXA"), stCaixaAber);
    items.setText(QStringLiteral("NRSEQUITVENDA"), number);
    items.setText(QStringLiteral("NRSEQ"), number);
    items.setText(QStringLiteral("IDSITUVENDA"), QStringLiteral("O"));
    items.setText(QStringLiteral("TXOBSVENDA"), QStringLiteral("[ARQ_VEN]"));
    items.setText(QStringLiteral("IDPRODIMPFIS"), QStringLiteral("S"));
    items.setDateTime(QStringLiteral("DTVENDA"), 45000.5);
    items.setNumber(QStringLiteral("QTPRODVEND"), 1.5);
    items.setNumber(QStringLiteral("QTPRODCOMVEN"), 1.5);
    items.setNumber(QStringLiteral("VRUNITVEND"), 2.99);
    items.setNumber(QStringLiteral("VRPRECCOMVEN"), 2.99);
    items.setNumber(QStringLiteral("VRTOTVEND"), 4.485);
    items.setNumber(QStringLiteral("VRPEALIMPFIS"), 18);
    items.post();
  }
  fw::LocalTable& payments = form.cdsReceb;
  payments.createDataSet();
  for (int i = 0; i < 10; ++i) {
    if (i > 0) payments.next();
    payments.insert();
    payments.setText(QStringLiteral("CDFILIAL"), stFilialLogin);
    payments.setText(QStringLiteral("CDTIPORECE"), QStringLiteral("001"));
    payments.setText(QStringLiteral("NMTIPORECE"), QStringLiteral("Dinheiro"));
    payments.setDateTime(QStringLiteral("DTHRINCMOV"), 45000.5 + i / 1000.0);
    payments.setNumber(QStringLiteral("VRMOVIVEND"), 140);
    payments.post();
  }
  doTotal = 1400;
  form.showSaleTotal(1345.5);
}

// `where` is the folder the data directory is made in: the system's temporary folder (a
// real disk, where the flush to disk dominates) or a memory file system (the work alone).
void runLargeSale(benchmark::State& state, const QString& where) {
  QTemporaryDir dir(where + QStringLiteral("/bench_completion-XXXXXX"));
  if (!dir.isValid()) {
    state.SkipWithError("no temporary folder");
    return;
  }
  QDir(dir.path()).mkpath(QStringLiteral("Dados/Venda_Arquivo"));
  qputenv("REGVENDA_DATA_DIR", dir.path().toLocal8Bit());
  stFilialLogin = QStringLiteral("10");
  stCaixaAber = QStringLiteral("2");
  stCupomVen = QStringLiteral("815");
  outside::Mensagem = [](const QString& text, const QString&, const QString&, const QString&, int,
                         const QString&, const QString&, int, fw::LocalTable*) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    return true;
  };

  TfrmVendaArquivo form;
  fillSale(form);
  for (auto _ : state) {
    if (!form.GeraArquivo(QStringLiteral("O"))) state.SkipWithError("GeraArquivo failed");
  }
  outside::resetAll();
}

void BM_GeraArquivoLargeSale(benchmark::State& state) { runLargeSale(state, QDir::tempPath()); }
BENCHMARK(BM_GeraArquivoLargeSale)->Unit(benchmark::kMillisecond);

void BM_GeraArquivoLargeSaleMemoryDisk(benchmark::State& state) {
  if (!QDir(QStringLiteral("/dev/shm")).exists()) {
    state.SkipWithError("no /dev/shm");
    return;
  }
  runLargeSale(state, QStringLiteral("/dev/shm"));
}
BENCHMARK(BM_GeraArquivoLargeSaleMemoryDisk)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
