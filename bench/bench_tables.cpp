// Local tables at the size of a real shop: a 100 000-product catalog with the 18 catalog
// fields, loaded and saved as a binary file and loaded as XML; locate by code, by barcode
// and of the last row; a code filter switched on and off on a 100 000-row tax table.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <random>

#include "framework/core/Error.h"
#include "framework/data/LocalTable.h"
#include "framework/packet/FileIo.h"
#include "module/shell/TableLayouts.h"

namespace {

using fw::FieldDef;
using fw::LocalTable;
using fw::Variant;

constexpr int kRows = 100000;

std::vector<FieldDef> catalogFields() { return layouts::productCatalog(); }

QString code(int i) { return QStringLiteral("%1").arg(i + 1, 10, 10, QLatin1Char('0')); }
QString barcode(int i) {
  return QStringLiteral("789%1").arg(i * 7 + 1000003, 10, 10, QLatin1Char('0'));
}

struct Files {
  QTemporaryDir dir;
  QString catalog;
  QString catalogXml;
  qint64 catalogSize = 0;
  qint64 catalogXmlSize = 0;
};

void fill(Files* out) {
  const QStringList products = {QString::fromUtf8("Arroz Agulhinha Tipo 1"),
                                QString::fromUtf8("Feijão Carioca"),
                                QString::fromUtf8("Açúcar Refinado"),
                                QString::fromUtf8("Café Torrado e Moído"),
                                QString::fromUtf8("Óleo de Soja"),
                                QString::fromUtf8("Leite Integral UHT"),
                                QString::fromUtf8("Pão de Forma Integral"),
                                QString::fromUtf8("Maçã Gala"),
                                QString::fromUtf8("Limão Tahiti"),
                                QString::fromUtf8("Macarrão Espaguete nº 8"),
                                QString::fromUtf8("Sabão em Pó"),
                                QString::fromUtf8("Água Mineral sem Gás"),
                                QString::fromUtf8("Biscoito Cream Cracker"),
                                QString::fromUtf8("Requeijão Cremoso"),
                                QString::fromUtf8("Farinha de Mandioca"),
                                QString::fromUtf8("Chocolate ao Leite")};
  const QStringList brands = {QString::fromUtf8("São João"),   QString::fromUtf8("Boa Safra"),
                              QString::fromUtf8("Pérola"),     QString::fromUtf8("Três Corações"),
                              QString::fromUtf8("Serra Azul"), QString::fromUtf8("Ipê")};
  const QStringList sizes = {"500g", "1kg", "5kg", "1L", "2L", "200g", "12un"};
  const QStringList units = {"UN", "KG", "LT", "PCT", "CX"};
  std::mt19937 rng(42);
  LocalTable t;
  t.declareFields(catalogFields());
  t.createDataSet();
  for (int i = 0; i < kRows; ++i) {
    t.append();
    t.setText("CDPRODUTO", code(i));
    t.setText("CDARVPROD", QStringLiteral("ARV%1").arg(i + 1));
    t.setText("NMPRODUTO", QStringLiteral("%1 %2 %3")
                               .arg(products[rng() % products.size()],
                                    brands[rng() % brands.size()], sizes[rng() % sizes.size()]));
    t.setText("IDPESAPROD", rng() % 10 ? "N" : "S");
    t.setNumber("QTTARAPROD", 0);
    t.setText("SGUNIDADE", units[rng() % units.size()]);
    t.setText("IDTIPOCOMPPROD", "P");
    t.setText("IDIMPPRODUTO", "S");
    if (i % 20 == 0) {
      t.setDateTime("DTINIVGPROMOC", 45600);
      t.setDateTime("DTFINVGPROMOC", 45630.999);
    }
    t.setText("CDBARPRODUTO", barcode(i));
    t.setText("CDPRODINTE", QStringLiteral("INT-%1").arg(i * 3 + 17));
    t.setText("IDORIGPRODPR", "0");
    t.setNumber("VRPRECITEM", static_cast<double>(rng() % 100000) / 100.0);
    t.setText("CDIMPOSTO", rng() % 2 ? "T1" : "F");
    t.setNumber("VRPEALIMPFIS", rng() % 2 ? 18.0 : 12.0);
    t.setText("CDCEST", QStringLiteral("%1").arg(1700100 + static_cast<int>(rng() % 900), 7, 10,
                                                 QLatin1Char('0')));
    t.setText("CDNCM", QStringLiteral("%1").arg(19059090 + static_cast<int>(rng() % 1000)));
    t.post();
  }
  out->catalog = out->dir.filePath("ProdArquivo.cds");
  out->catalogXml = out->dir.filePath("ProdArquivo.xml");
  t.saveToFile(out->catalog);
  t.saveToXmlFile(out->catalogXml);
  out->catalogSize = QFileInfo(out->catalog).size();
  out->catalogXmlSize = QFileInfo(out->catalogXml).size();
}

Files& files() {
  static Files f;
  static const bool filled = (fill(&f), true);
  (void)filled;
  return f;
}

LocalTable& loadedCatalog() {
  static LocalTable* t = [] {
    auto* table = new LocalTable("cdsProdutos");
    table->declareFields(catalogFields());
    table->loadFromFile(files().catalog);
    return table;
  }();
  return *t;
}

void rates(benchmark::State& state, qint64 bytes) {
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["rows/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kRows,
                                                benchmark::Counter::kIsRate);
}

// Heap bytes in use (small blocks and mapped large ones): what a loaded table holds.
qint64 heapBytes() {
  const struct mallinfo2 m = mallinfo2();
  return static_cast<qint64>(m.uordblks + m.hblkhd);
}

void BM_CatalogLoad(benchmark::State& state) {
  const Files& f = files();
  for (auto _ : state) {
    LocalTable t("cdsProdutos");
    t.declareFields(catalogFields());
    t.loadFromFile(f.catalog);
    benchmark::DoNotOptimize(t.recordCount());
  }
  rates(state, f.catalogSize);
  state.counters["file_MB"] = static_cast<double>(f.catalogSize) / 1e6;
}
BENCHMARK(BM_CatalogLoad)->Unit(benchmark::kMillisecond);

// Memory held by one loaded catalog, as a multiple of its file size.
void BM_CatalogMemory(benchmark::State& state) {
  const Files& f = files();
  double ratio = 0;
  for (auto _ : state) {
    const qint64 before = heapBytes();
    auto t = std::make_unique<LocalTable>("cdsProdutos");
    t->declareFields(catalogFields());
    t->loadFromFile(f.catalog);
    ratio = static_cast<double>(heapBytes() - before) / static_cast<double>(f.catalogSize);
  }
  state.counters["memory_per_file_byte"] = ratio;
}
BENCHMARK(BM_CatalogMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_CatalogSave(benchmark::State& state) {
  LocalTable& t = loadedCatalog();
  const QString out = files().dir.filePath("copy.cds");
  for (auto _ : state) t.saveToFile(out);
  rates(state, files().catalogSize);
}
BENCHMARK(BM_CatalogSave)->Unit(benchmark::kMillisecond);

// The same save without the flush to disk, to tell encoding from the disk's speed.
void BM_CatalogEncode(benchmark::State& state) {
  LocalTable& t = loadedCatalog();
  for (auto _ : state) benchmark::DoNotOptimize(t.data());
  rates(state, files().catalogSize);
}
BENCHMARK(BM_CatalogEncode)->Unit(benchmark::kMillisecond);

void BM_CatalogXmlLoad(benchmark::State& state) {
  const Files& f = files();
  for (auto _ : state) {
    LocalTable t("cdsProdutos");
    t.declareFields(catalogFields());
    t.loadFromXmlFile(f.catalogXml);
    benchmark::DoNotOptimize(t.recordCount());
  }
  rates(state, f.catalogXmlSize);
  state.counters["xml_MB"] = static_cast<double>(f.catalogXmlSize) / 1e6;
}
BENCHMARK(BM_CatalogXmlLoad)->Unit(benchmark::kMillisecond);

// Peak resident memory in bytes since the last reset (Linux).
qint64 peakResident() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmHWM:"))
      return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
  return 0;
}

void resetPeakResident() {
  QFile clear(QStringLiteral("/proc/self/clear_refs"));
  if (clear.open(QIODevice::WriteOnly)) clear.write("5");
}

// A hostile file: one 200 MB attribute. It must be refused within a second, holding little
// more than the file itself.
void BM_XmlHugeAttributeRefused(benchmark::State& state) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("huge.xml"));
  {
    QByteArray xml(
        "<?xml version=\"1.0\"?><DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
        "<FIELD attrname=\"NMPRODUTO\" fieldtype=\"string\" WIDTH=\"50\"/></FIELDS><PARAMS/>"
        "</METADATA><ROWDATA><ROW NMPRODUTO=\"");
    xml.append(QByteArray(200 * 1000 * 1000, 'x'));
    xml.append("\"/></ROWDATA></DATAPACKET>");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size())
      state.SkipWithError("cannot write");
  }
  const qint64 fileSize = QFileInfo(path).size();
  qint64 extra = 0;
  for (auto _ : state) {
    state.PauseTiming();
    malloc_trim(0);
    resetPeakResident();
    const qint64 before = peakResident();
    state.ResumeTiming();
    bool refused = false;
    try {
      LocalTable t("cdsProdutos");
      t.loadFromXmlFile(path);
    } catch (const fw::Error&) {
      refused = true;
    }
    if (!refused) state.SkipWithError("accepted");
    extra = std::max(extra, peakResident() - before);
  }
  state.counters["file_MB"] = static_cast<double>(fileSize) / 1e6;
  state.counters["peak_extra_MB"] = static_cast<double>(extra) / 1e6;
}
BENCHMARK(BM_XmlHugeAttributeRefused)->Unit(benchmark::kMillisecond)->Iterations(2);

void locateLoop(benchmark::State& state, const char* field,
                const std::function<QString(int)>& value, bool spread) {
  LocalTable& t = loadedCatalog();
  int i = 0;
  for (auto _ : state) {
    const int row = spread ? (i++ * 7919) % kRows : kRows - 1;
    if (!t.locate(field, Variant(value(row)))) state.SkipWithError("not found");
  }
}

void BM_LocateByCode(benchmark::State& state) { locateLoop(state, "CDPRODUTO", code, true); }
void BM_LocateByBarcode(benchmark::State& state) {
  locateLoop(state, "CDBARPRODUTO", barcode, true);
}
void BM_LocateLastRow(benchmark::State& state) { locateLoop(state, "CDPRODUTO", code, false); }
BENCHMARK(BM_LocateByCode)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LocateByBarcode)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LocateLastRow)->Unit(benchmark::kMicrosecond);

// The first locate after a change builds the field's lookup index.
void BM_LocateAfterEdit(benchmark::State& state) {
  LocalTable& t = loadedCatalog();
  for (auto _ : state) {
    state.PauseTiming();
    t.setRecNo(1);
    t.edit();
    t.setNumber("QTTARAPROD", 1);
    t.post();
    state.ResumeTiming();
    benchmark::DoNotOptimize(t.locate("CDBARPRODUTO", Variant(barcode(kRows / 2))));
  }
}
BENCHMARK(BM_LocateAfterEdit)->Unit(benchmark::kMillisecond);

LocalTable& taxTable() {
  static LocalTable* t = [] {
    auto* table = new LocalTable("cdsAliquota");
    table->declareFields(layouts::productTaxes());
    table->createDataSet();
    for (int i = 0; i < kRows; ++i) {
      table->append();
      table->setText("CDPRODUTO", code(i));
      table->setNumber("VRPEALIMPFIS", i % 3 ? 18.0 : 12.0);
      table->setText("IDTPIMPOSFIS", "T");
      table->post();
    }
    return table;
  }();
  return *t;
}

void BM_TaxFilterOnOff(benchmark::State& state) {
  LocalTable& t = taxTable();
  int i = 0;
  for (auto _ : state) {
    t.setFilter(QStringLiteral("CDPRODUTO = '%1'").arg(code((i++ * 7919) % kRows)));
    t.setFiltered(true);
    if (t.recordCount() != 1) state.SkipWithError("filter");
    t.setFiltered(false);
  }
}
BENCHMARK(BM_TaxFilterOnOff)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  files();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
