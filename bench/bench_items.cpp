// Checking a product against a 100 000-product catalog and a 100 000-row tax table, and
// adding an item with a printer bridge that answers at once. The kept sale is written after
// every item, to a data directory on a memory file system when there is one (the work alone;
// BenchKeptSale measures the flush to a real disk).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>

#include "framework/text/Variant.h"
#include "module/shell/SaleContext.h"
#include "module/shell/TableLayouts.h"
#include "module/shell/TfrmVendaArquivo.h"
#include "outside/Outside.h"

namespace {

constexpr int kProducts = 100000;

std::unique_ptr<TfrmVendaArquivo> makeForm(const QTemporaryDir& dataDir) {
  qputenv("REGVENDA_DATA_DIR", QFile::encodeName(dataDir.path()));
  outside::Mensagem = [](const QString& text, const QString&, const QString&, const QString&, int,
                         const QString&, const QString&, int, fw::LocalTable*) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());  // none is expected
    return true;
  };
  outside::AbreCupom = [](fw::Variant& bag) {
    outside::GravaParams(bag, QStringLiteral("CUPNR"), QStringLiteral("000001"));
    outside::GravaParams(bag, QStringLiteral("CONTCUPOM"), QStringLiteral("000001"));
    return true;
  };
  outside::VendaItem = [](fw::Variant&) { return true; };
  boUtilizaImpFis = true;
  Rev_IdTipoImpFis = 1;

  auto form = std::make_unique<TfrmVendaArquivo>();
  fw::LocalTable& products = form->cdsProdutos;
  products.createDataSet();
  fw::LocalTable& taxes = form->cdsAliquota;
  taxes.declareFields(layouts::productTaxes());
  taxes.createDataSet();
  for (int i = 0; i < kProducts; ++i) {
    const QString code = QString::number(i);
    products.append();
    products.setText(QStringLiteral("CDPRODUTO"), code);
    products.setText(QStringLiteral("CDARVPROD"), QStringLiteral("A") + code);
    products.setText(QStringLiteral("NMPRODUTO"), QStringLiteral("Produto ") + code);
    products.setText(QStringLiteral("SGUNIDADE"), QStringLiteral("UN"));
    products.setText(QStringLiteral("CDBARPRODUTO"), QStringLiteral("789") + code);
    products.setNumber(QStringLiteral("VRPRECITEM"), 1.0 + i % 100);
    products.setText(QStringLiteral("CDCEST"), QStringLiteral("0100100"));
    products.setText(QStringLiteral("CDNCM"), QStringLiteral("10063021"));
    products.setNumber(QStringLiteral("VRPEALIMPFIS"), 18.0);
    products.post();
    taxes.append();
    taxes.setText(QStringLiteral("CDPRODUTO"), code);
    taxes.setNumber(QStringLiteral("VRPEALIMPFIS"), i % 2 ? 18.0 : 7.0);
    taxes.setText(QStringLiteral("IDTPIMPOSFIS"), QStringLiteral("T"));
    taxes.post();
  }
  fw::LocalTable& rates = form->cdsAliqImpFis;
  rates.createDataSet();
  const double rateValues[] = {0.0, 7.0, 12.0, 18.0, 25.0};
  for (int i = 0; i < 5; ++i) {
    rates.append();
    rates.setText(QStringLiteral("CDALIQIMPFIS"), QStringLiteral("0%1").arg(i));
    rates.setNumber(QStringLiteral("VRALIQIMPFIS"), rateValues[i]);
    rates.setText(QStringLiteral("IDALIQIMPFIS"), QStringLiteral("T"));
    rates.post();
  }
  fw::LocalTable& paymentTypes = form->cdsRecebAux;  // a coupon opens only when it can be paid
  paymentTypes.createDataSet();
  paymentTypes.append();
  paymentTypes.setText(QStringLiteral("CDTIPORECE"), QStringLiteral("001"));
  paymentTypes.setText(QStringLiteral("NMTIPORECE"), QStringLiteral("Dinheiro"));
  paymentTypes.setText(QStringLiteral("DSBUTTON"), QStringLiteral("DINHEIRO"));
  paymentTypes.setText(QStringLiteral("IDMOSTRARECE"), QStringLiteral("S"));
  paymentTypes.post();
  return form;
}

// Built once after the application object and released before it.
std::unique_ptr<TfrmVendaArquivo> gForm;

TfrmVendaArquivo& form() { return *gForm; }

// The last products are the slowest to find: every lookup walks the catalog in order.
void BM_ValidaProd(benchmark::State& state) {
  TfrmVendaArquivo& f = form();
  const QString code = QString::number(kProducts - 1 - static_cast<int>(state.range(0)));
  for (auto _ : state) {
    f.ValidaProd(code);
    benchmark::DoNotOptimize(stCdAliquota);
  }
  if (f.bldCodigo->text() != QStringLiteral("A") + code) state.SkipWithError("product not shown");
}
BENCHMARK(BM_ValidaProd)->Arg(0)->Arg(kProducts / 2)->Unit(benchmark::kMicrosecond);

// One item on a coupon already open, the list emptied every 100 items as a sale would be.
void BM_AddItem(benchmark::State& state) {
  TfrmVendaArquivo& f = form();
  f.ValidaProd(QString::number(kProducts - 1));
  int added = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (added++ % 100 == 0 && f.cdsAddProduto.active()) {
      f.cdsAddProduto.emptyDataSet();
      f.lblTotal->clear();
    }
    f.bldCodigo->setText(QStringLiteral("A99999"));
    f.bldQuant->setText(QStringLiteral("2"));
    stQuant = QStringLiteral("2");
    state.ResumeTiming();
    f.bldAddProdClick(f.bldAddProd);
  }
  if (f.cdsAddProduto.isEmpty()) state.SkipWithError("no item added");
}
BENCHMARK(BM_AddItem)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  const QString memory = QStringLiteral("/dev/shm");
  const QTemporaryDir dataDir((QDir(memory).exists() ? memory : QDir::tempPath()) +
                              QStringLiteral("/bench_items-XXXXXX"));
  gForm = makeForm(dataDir);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  gForm.reset();
  outside::resetAll();
  return 0;
}
