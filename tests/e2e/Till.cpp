#include "e2e/Till.h"

#include <QDir>
#include <QFile>
#include <map>
#include <vector>

#include "dialogs/DialogsPackage.h"
#include "fiscal/FiscalPackage.h"
#include "framework/core/Error.h"
#include "module/shell/SaleContext.h"
#include "outside/Outside.h"
#include "runtime/Runtime.h"

namespace e2e {

namespace {

constexpr const char* kDataDir = "REGVENDA_DATA_DIR";
constexpr const char* kConnection = "REGVENDA_CONNECTION";

void restore(const char* name, bool had, const QByteArray& value) {
  if (had) {
    qputenv(name, value);
  } else {
    qunsetenv(name);
  }
}

}  // namespace

void Till::SetUp() {
  ASSERT_TRUE(dir_.isValid());
  hadDataDir_ = qEnvironmentVariableIsSet(kDataDir);
  oldDataDir_ = qgetenv(kDataDir);
  hadConnection_ = qEnvironmentVariableIsSet(kConnection);
  oldConnection_ = qgetenv(kConnection);
  qputenv(kDataDir, QFile::encodeName(dir_.path()));
  // No central database: the probe after each sale answers "offline" at once.
  qputenv(kConnection, QByteArray());
  salecontext::resetToLoadValues();
  outside::resetAll();
  cashier_ = std::make_unique<Cashier>(shotsDir());
}

void Till::TearDown() {
  cashier_.reset();
  fiscal::uninstall();
  dialogs::uninstall();
  outside::resetAll();
  salecontext::resetToLoadValues();
  restore(kDataDir, hadDataDir_, oldDataDir_);
  restore(kConnection, hadConnection_, oldConnection_);
}

void Till::open(const demo::Options& options) {
  demo::writeDemoData(dir_.path(), options);
  runtime::setInteractive(true);
  runtime::install();
  fiscal::install(runtime::dataDirectory());
  dialogs::install();
  // An error escaping a handler is a fault of the screen, never part of a normal sale.
  outside::ApplicationHandleException = [this](const QString& text) {
    cashier_->fail(QStringLiteral("erro não tratado em um toque: ") + text);
  };
}

void Till::sell() {
  Cashier& cashier = *cashier_;
  cashier.run([] { CriaRegVenda(); });
  EXPECT_TRUE(cashier.allStepsDone()) << "a venda não chegou ao fim";
}

QString Till::dataPath(const QString& relative) const {
  return QDir(dir_.path()).filePath(relative);
}

QString Till::outputPath(const QString& file) const {
  return QDir(dataPath(QStringLiteral("Dados/Venda_Arquivo"))).filePath(file);
}

QStringList Till::outputFiles() const {
  return QDir(dataPath(QStringLiteral("Dados/Venda_Arquivo")))
      .entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

std::unique_ptr<fw::LocalTable> Till::readOutput(const QString& file) const {
  auto table = std::make_unique<fw::LocalTable>(file);
  try {
    table->loadFromFile(outputPath(file));
  } catch (const fw::Error& e) {
    ADD_FAILURE() << file.toStdString() << ": " << e.message().toStdString();
    return nullptr;
  }
  return table;
}

QString Till::tape() const {
  QFile file(dataPath(QStringLiteral("Bobina.txt")));
  if (!file.open(QIODevice::ReadOnly)) {
    ADD_FAILURE() << "a bobina da impressora fiscal não existe";
    return {};
  }
  return QString::fromUtf8(file.readAll());
}

Product Till::product(const QString& name) const {
  fw::LocalTable catalog(QStringLiteral("ProdArquivo"));
  catalog.loadFromFile(dataPath(QStringLiteral("Dados/Cadastros/ProdArquivo.cds")));
  if (!catalog.locate(QStringLiteral("NMPRODUTO"), fw::Variant(name))) {
    ADD_FAILURE() << "produto fora do catálogo de demonstração: " << name.toStdString();
    return {};
  }
  return {catalog.asText(QStringLiteral("CDPRODUTO")),
          catalog.asText(QStringLiteral("CDBARPRODUTO")), name,
          catalog.asNumber(QStringLiteral("VRPRECITEM"))};
}

Product Till::addProduct(const QString& like, const Product& product) const {
  const Product model = this->product(like);
  const auto copyRow = [](fw::LocalTable& table, const std::map<QString, fw::Variant>& changes) {
    std::vector<fw::Variant> values;
    for (const fw::FieldDef& field : table.fields()) values.push_back(table.asVariant(field.name));
    table.append();
    for (std::size_t i = 0; i < values.size(); ++i) {
      const QString& name = table.fields()[i].name;
      const auto changed = changes.find(name);
      table.setVariant(name, changed == changes.end() ? values[i] : changed->second);
    }
    table.post();
  };
  const QString catalogPath = dataPath(QStringLiteral("Dados/Cadastros/ProdArquivo.cds"));
  fw::LocalTable catalog(QStringLiteral("ProdArquivo"));
  catalog.loadFromFile(catalogPath);
  catalog.locate(QStringLiteral("CDPRODUTO"), fw::Variant(model.code));
  copyRow(catalog, {{QStringLiteral("CDPRODUTO"), product.code},
                    {QStringLiteral("CDARVPROD"), product.code},
                    {QStringLiteral("CDBARPRODUTO"), product.barcode},
                    {QStringLiteral("NMPRODUTO"), product.name},
                    {QStringLiteral("VRPRECITEM"), product.price}});
  catalog.saveToFile(catalogPath);

  const QString ratesPath = dataPath(QStringLiteral("Dados/Cadastros/AliqSistema.cds"));
  fw::LocalTable rates(QStringLiteral("AliqSistema"));
  rates.loadFromFile(ratesPath);
  if (!rates.locate(QStringLiteral("CDPRODUTO"), fw::Variant(model.code))) {
    ADD_FAILURE() << "produto sem imposto: " << like.toStdString();
  }
  copyRow(rates, {{QStringLiteral("CDPRODUTO"), product.code}});
  rates.saveToFile(ratesPath);
  return product;
}

QString Till::shotsDir() {
  const QString root = qEnvironmentVariable("REGVENDA_E2E_SHOTS");
  if (root.isEmpty()) return {};
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return QDir(root).filePath(QString::fromLatin1(test ? test->name() : "venda"));
}

}  // namespace e2e
