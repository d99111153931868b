// The search dialog on a 100 000-row catalog: the filter step per typed character, the
// exact code pick, and the whole keystroke in the real dialog (filter, grid, highlight).
// A keystroke must stay well under 16 ms.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QLineEdit>
#include <algorithm>
#include <chrono>
#include <memory>
#include <random>

#include "dialogs/SearchDialog.h"
#include "dialogs/SearchIndex.h"
#include "framework/data/LocalTable.h"
#include "module/shell/TableLayouts.h"

namespace {

constexpr int kRows = 100000;

fw::LocalTable& catalog() {
  static std::unique_ptr<fw::LocalTable> table = [] {
    auto t = std::make_unique<fw::LocalTable>(QStringLiteral("cdsProdutos"));
    t->declareFields(layouts::productCatalog());
    t->createDataSet();
    const QStringList kinds = {"Café",      "Açúcar",   "Feijão",   "Arroz",        "Pão",
                               "Leite",     "Queijo",   "Manteiga", "Refrigerante", "Água",
                               "Biscoito",  "Macarrão", "Óleo",     "Sabão",        "Detergente",
                               "Chocolate", "Suco",     "Iogurte"};
    const QStringList qualities = {"Torrado",    "Refinado", "Carioca",  "Integral", "Francês",
                                   "Muçarela",   "com Sal",  "Cola",     "Mineral",  "Recheado",
                                   "Espaguete",  "de Soja",  "em Pó",    "Neutro",   "ao Leite",
                                   "de Laranja", "Natural",  "Orgânico", "Light",    "Tradicional"};
    const QStringList sizes = {"200g", "500g", "1kg", "2kg", "5kg", "1l", "2l", "350ml", "90g"};
    std::mt19937 random(12345);
    for (int i = 0; i < kRows; ++i) {
      const QString name =
          kinds[random() % kinds.size()] + u' ' + qualities[random() % qualities.size()] + u' ' +
          sizes[random() % sizes.size()] + QStringLiteral(" Marca %1").arg(i % 997);
      t->append();
      t->setText(QStringLiteral("CDPRODUTO"), QString::number(i + 1));
      t->setText(QStringLiteral("CDARVPROD"), QStringLiteral("%1").arg(i + 1, 6, 10, QChar(u'0')));
      t->setText(QStringLiteral("NMPRODUTO"), name);
      t->setText(QStringLiteral("SGUNIDADE"), QStringLiteral("UN"));
      t->setText(QStringLiteral("CDBARPRODUTO"),
                 QStringLiteral("789%1").arg(1000000000LL + i * 7919LL, 10, 10, QChar(u'0')));
      t->setText(QStringLiteral("CDPRODINTE"), QStringLiteral("I%1").arg(i));
      t->setNumber(QStringLiteral("VRPRECITEM"), 1 + (i % 5000) / 100.0);
      t->post();
    }
    t->first();
    return t;
  }();
  return *table;
}

const dialogs::SearchIndex& index() {
  static const dialogs::SearchIndex built(catalog());
  return built;
}

void BM_BuildIndex(benchmark::State& state) {
  fw::LocalTable& table = catalog();
  for (auto _ : state) {
    dialogs::SearchIndex built(table);
    benchmark::DoNotOptimize(built.rowCount());
  }
}
BENCHMARK(BM_BuildIndex)->Unit(benchmark::kMillisecond)->Iterations(3);

// The cashier types a name one character at a time; each iteration is one keystroke.
void BM_FilterTypingName(benchmark::State& state) {
  const dialogs::SearchIndex& idx = index();
  const QString typed = QStringLiteral("feijao carioca 1kg marca 42");
  qsizetype length = 0;
  for (auto _ : state) {
    length = length % typed.size() + 1;
    auto result = idx.filter(typed.left(length));
    benchmark::DoNotOptimize(result.rows.data());
  }
}
BENCHMARK(BM_FilterTypingName)->Unit(benchmark::kMillisecond);

// The worst keystroke: one common letter, nearly every row shown.
void BM_FilterOneLetter(benchmark::State& state) {
  const dialogs::SearchIndex& idx = index();
  for (auto _ : state) {
    auto result = idx.filter(QStringLiteral("a"));
    benchmark::DoNotOptimize(result.rows.data());
  }
}
BENCHMARK(BM_FilterOneLetter)->Unit(benchmark::kMillisecond);

// A scanner's barcode typed whole (hidden field, found through the hash).
void BM_FilterScannedBarcode(benchmark::State& state) {
  const dialogs::SearchIndex& idx = index();
  const QString code =
      QStringLiteral("789%1").arg(1000000000LL + 77777LL * 7919LL, 10, 10, QChar(u'0'));
  for (auto _ : state) {
    auto result = idx.filter(code);
    if (result.exactRow != 77777) state.SkipWithError("barcode not found");
    benchmark::DoNotOptimize(result.rows.data());
  }
}
BENCHMARK(BM_FilterScannedBarcode)->Unit(benchmark::kMillisecond);

// Forgets the catalog's search index, as at the start of a day.
void forgetIndex(fw::LocalTable& table) {
  table.setFiltered(true);
  table.setFiltered(false);
}

// From the touch to the dialog on screen: built, filled and painted once.
void openAndPaint(fw::LocalTable& table) {
  dialogs::SearchDialog dialog(table);
  dialog.show();
  QApplication::processEvents();
  benchmark::DoNotOptimize(dialog.shownRowCount());
}

// The first search of the day, nothing prepared ahead.
void BM_FirstSearchCold(benchmark::State& state) {
  fw::LocalTable& table = catalog();
  for (auto _ : state) {
    state.PauseTiming();
    forgetIndex(table);
    state.ResumeTiming();
    openAndPaint(table);
  }
}
BENCHMARK(BM_FirstSearchCold)->Unit(benchmark::kMillisecond)->Iterations(5);

// The first search of the day on a screen that prepared it: the catalog was indexed on the
// event loop after the screen came up, before the touch.
void BM_FirstSearchPrepared(benchmark::State& state) {
  fw::LocalTable& table = catalog();
  for (auto _ : state) {
    state.PauseTiming();
    forgetIndex(table);
    dialogs::SearchIndex::prepare(table);
    while (!dialogs::SearchIndex::isReady(table)) QApplication::processEvents();
    state.ResumeTiming();
    openAndPaint(table);
  }
}
BENCHMARK(BM_FirstSearchPrepared)->Unit(benchmark::kMillisecond)->Iterations(5);

// The preparation itself: how long the screen is kept from input at most (one slice) and
// in all.
void BM_PrepareInSlices(benchmark::State& state) {
  fw::LocalTable& table = catalog();
  double longest = 0;
  int slices = 0;
  for (auto _ : state) {
    state.PauseTiming();
    forgetIndex(table);
    state.ResumeTiming();
    dialogs::SearchIndex::prepare(table);
    while (!dialogs::SearchIndex::isReady(table)) {
      const auto start = std::chrono::steady_clock::now();
      QApplication::processEvents();
      longest = std::max(longest, std::chrono::duration<double, std::milli>(
                                      std::chrono::steady_clock::now() - start)
                                      .count());
      ++slices;
    }
  }
  state.counters["longest_slice_ms"] = longest;
  state.counters["slices"] = static_cast<double>(slices) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_PrepareInSlices)->Unit(benchmark::kMillisecond)->Iterations(3);

// Every later search: the index is there already.
void BM_LaterSearch(benchmark::State& state) {
  fw::LocalTable& table = catalog();
  openAndPaint(table);
  for (auto _ : state) openAndPaint(table);
}
BENCHMARK(BM_LaterSearch)->Unit(benchmark::kMillisecond)->Iterations(10);

// One keystroke in the real dialog: filter, grid model reset, highlight and scroll.
void BM_DialogKeystroke(benchmark::State& state) {
  dialogs::SearchDialog dialog(catalog());
  const QString typed = QStringLiteral("cafe torrado 500g");
  qsizetype length = 0;
  for (auto _ : state) {
    length = length % typed.size() + 1;
    dialog.searchLine()->setText(typed.left(length));
  }
}
BENCHMARK(BM_DialogKeystroke)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
