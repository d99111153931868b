// Writing the files of a large sale: 300 items and 10 payments, both files saved to disk.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

#include "BenchSale.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "outside/Outside.h"

namespace {

void fillSale(TfrmVendaArquivo& form) {
  fillLargeSale(form);
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
