// A barcode scan on the sales screen over a 100 000-product catalog: from the scan's Enter
// to the product shown (the scan told from typing, the product's lookups and checks, the
// screen's texts). The last product's barcode is scanned: every lookup before it walks the
// whole catalog. The catalog's lookups are built ahead, as start-up builds them. Counters:
// the first scan, then the median and the worst of the others.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <vector>

#include "module/shell/SaleContext.h"
#include "module/shell/TableLayouts.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "outside/Outside.h"

namespace {

constexpr int kProducts = 100000;

std::unique_ptr<TfrmVendaArquivo> gForm;

void buildForm(const QTemporaryDir& dataDir) {
  qputenv("REGVENDA_DATA_DIR", QFile::encodeName(dataDir.path()));
  boUtilizaImpFis = true;
  Rev_IdTipoImpFis = 1;
  gForm = std::make_unique<TfrmVendaArquivo>();
  fw::LocalTable& products = gForm->cdsProdutos;
  products.createDataSet();
  fw::LocalTable& taxes = gForm->cdsAliquota;
  taxes.declareFields(layouts::productTaxes());
  taxes.createDataSet();
  for (int i = 0; i < kProducts; ++i) {
    const QString code = QString::number(i);
    products.append();
    products.setText(QStringLiteral("CDPRODUTO"), code);
    products.setText(QStringLiteral("CDARVPROD"), QStringLiteral("A") + code);
    products.setText(QStringLiteral("NMPRODUTO"), QStringLiteral("Produto ") + code);
    products.setText(QStringLiteral("SGUNIDADE"), QStringLiteral("UN"));
    products.setText(QStringLiteral("CDBARPRODUTO"),
                     QStringLiteral("789%1").arg(i, 10, 10, QLatin1Char('0')));
    products.setNumber(QStringLiteral("VRPRECITEM"), 1.0 + i % 100);
    products.post();
    taxes.append();
    taxes.setText(QStringLiteral("CDPRODUTO"), code);
    taxes.setNumber(QStringLiteral("VRPEALIMPFIS"), 18.0);
    taxes.setText(QStringLiteral("IDTPIMPOSFIS"), QStringLiteral("T"));
    taxes.post();
  }
  gForm->prepareProductLookups();  // as start-up does
  fw::LocalTable& rates = gForm->cdsAliqImpFis;
  rates.createDataSet();
  rates.append();
  rates.setText(QStringLiteral("CDALIQIMPFIS"), QStringLiteral("01"));
  rates.setNumber(QStringLiteral("VRALIQIMPFIS"), 18.0);
  rates.setText(QStringLiteral("IDALIQIMPFIS"), QStringLiteral("T"));
  rates.post();
}

void key(quint64 at, int code, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
  press.setTimestamp(at);
  QCoreApplication::sendEvent(gForm.get(), &press);
}

// This thread's CPU time: on a shared machine the wall clock also counts other programs.
double cpuMicros() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e6 + static_cast<double>(ts.tv_nsec) / 1e3;
}

void BM_ScanEnterToProductShown(benchmark::State& state) {
  const QString barcode = QStringLiteral("789%1").arg(kProducts - 1, 10, 10, QLatin1Char('0'));
  std::vector<double> micros, cpu;
  quint64 clock = 1000;
  for (auto _ : state) {
    state.PauseTiming();
    gForm->clearProductEntry();
    clock += 1000;
    for (const QChar ch : barcode) key(clock += 5, ch.unicode(), QString(ch));
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = cpuMicros();
    key(clock += 5, Qt::Key_Return, QStringLiteral("\r"));
    cpu.push_back(cpuMicros() - cpuStart);
    micros.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
            .count());
  }
  if (gForm->bldCodigo->text() != QStringLiteral("A%1").arg(kProducts - 1))
    state.SkipWithError("product not shown");
  state.counters["first_us"] = micros.front();
  micros.erase(micros.begin());
  std::sort(micros.begin(), micros.end());
  state.counters["median_us"] = micros[micros.size() / 2];
  state.counters["worst_us"] = micros.back();
  cpu.erase(cpu.begin());
  std::sort(cpu.begin(), cpu.end());
  state.counters["cpu_median_us"] = cpu[cpu.size() / 2];
  state.counters["cpu_worst_us"] = cpu.back();
}
BENCHMARK(BM_ScanEnterToProductShown)->Unit(benchmark::kMicrosecond)->Iterations(200);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QTemporaryDir dataDir;
  buildForm(dataDir);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  gForm.reset();
  return 0;
}
