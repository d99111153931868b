// What keeping the sale on disk adds to a touch, and what bringing it back costs at start-up,
// for a large sale: 300 items and 10 payments. A touch writes the whole kept sale, flushed
// to disk, so the cost is per touch and grows with the sale, not with the touch.
// Reported per run: the median and the worst of the timed calls (counters median_ms, worst_ms).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "BenchSale.h"
#include "module/shell/KeptSale.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "outside/Outside.h"

namespace {

void fillSale(TfrmVendaArquivo& form) {
  fillLargeSale(form);
  boCupomAberto = true;
  form.showSaleTotal(1347);
}

// A data directory in `where`: the system's temporary folder (a real disk, where the flush
// dominates) or a memory file system (the work alone).
struct Till {
  explicit Till(const QString& where) : dir(where + QStringLiteral("/BenchKeptSale-XXXXXX")) {
    QDir(dir.path()).mkpath(QStringLiteral("Dados/Venda_Arquivo"));
    qputenv("REGVENDA_DATA_DIR", dir.path().toLocal8Bit());
    stFilialLogin = QStringLiteral("10");
    stCaixaAber = QStringLiteral("2");
    stCupomVen = QStringLiteral("000815");
    outside::Mensagem = [](const QString& text, const QString&, const QString&, const QString&, int,
                           const QString&, const QString&, int, fw::LocalTable*) {
      // The recovery's own notice is expected; anything else is worth seeing.
      if (!text.startsWith(QStringLiteral("Venda em andamento recuperada"))) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
      }
      return true;
    };
  }
  ~Till() {
    outside::resetAll();
    salecontext::resetToLoadValues();
  }
  QTemporaryDir dir;
};

void report(benchmark::State& state, std::vector<double>& ms) {
  if (ms.empty()) return;
  std::sort(ms.begin(), ms.end());
  state.counters["median_ms"] = ms[ms.size() / 2];
  state.counters["worst_ms"] = ms.back();
}

// One touch's share: the sale changed (here the amount received, as a payment does) and the
// whole kept sale written, flushed and renamed into place.
void runTouch(benchmark::State& state, const QString& where) {
  Till till(where);
  if (!till.dir.isValid()) {
    state.SkipWithError("no temporary folder");
    return;
  }
  TfrmVendaArquivo form;
  fillSale(form);
  std::vector<double> ms;
  int touch = 0;
  for (auto _ : state) {
    doTotal = 1400 + (++touch % 100) / 100.0;
    const auto start = std::chrono::steady_clock::now();
    form.keepSale();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(took.count() / 1000.0);
    ms.push_back(took.count());
  }
  report(state, ms);
}

// Start-up with that sale kept: read back into the screen's lists, totals and buttons shown,
// and kept again (a fresh screen has not written it yet).
void runRecovery(benchmark::State& state, const QString& where) {
  Till till(where);
  if (!till.dir.isValid()) {
    state.SkipWithError("no temporary folder");
    return;
  }
  {
    TfrmVendaArquivo form;
    fillSale(form);
    form.keepSale();
  }
  std::vector<double> ms;
  for (auto _ : state) {
    state.PauseTiming();
    auto form = std::make_unique<TfrmVendaArquivo>();
    salecontext::resetToLoadValues();
    stFilialLogin = QStringLiteral("10");
    stCaixaAber = QStringLiteral("2");
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    form->recoverKeptSale();
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(took.count() / 1000.0);
    ms.push_back(took.count());
    state.PauseTiming();
    if (form->cdsAddProduto.recordCount() != 300 || form->cdsReceb.recordCount() != 10) {
      state.SkipWithError("the kept sale did not come back whole");
    }
    form.reset();
    state.ResumeTiming();
  }
  report(state, ms);
}

void BM_KeptSaleTouch(benchmark::State& state) { runTouch(state, QDir::tempPath()); }
BENCHMARK(BM_KeptSaleTouch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_KeptSaleTouchMemoryDisk(benchmark::State& state) {
  runTouch(state, QStringLiteral("/dev/shm"));
}
BENCHMARK(BM_KeptSaleTouchMemoryDisk)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200);

void BM_KeptSaleRecovery(benchmark::State& state) { runRecovery(state, QDir::tempPath()); }
BENCHMARK(BM_KeptSaleRecovery)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
