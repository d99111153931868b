#include "module/completion/CompletionFixture.h"

#include <QDir>
#include <QFile>

#include "framework/packet/FileIo.h"
#include "module/shell/SaleContext.h"
#include "outside/Outside.h"

using fw::Variant;

void CompletionTest::SetUp() {
  screen = std::make_unique<testsupport::FormFixture>();
  form = &screen->form();
  ASSERT_TRUE(QDir(outputDir()).exists());

  salecontext::resetToLoadValues();
  stIdEsquema = QStringLiteral("002");
  stFilialLogin = QStringLiteral("10");
  stCaixaAber = QStringLiteral("2");
  stCupomVen = QStringLiteral("815");
  stCdCliente = QStringLiteral("CLIENTE-0000000000000-EXTRA");  // 27: cut to 21
  stCentroCusto = QStringLiteral("CC01");
  dtDataMovimento = 45000;
  boCupomAberto = true;

  fakes = screen.get();
  fakes->installAll();
  // Every message of these steps is information for the cashier, in the sale's schema.
  fakes->onMessage = [](const testsupport::ShownMessage& m) {
    EXPECT_TRUE(m.a2.isEmpty() && m.a3 == QLatin1String("N") && !m.isConfirmation() &&
                m.kind == outside::tmInformacao && m.a6.isEmpty() && m.idEsquema == stIdEsquema &&
                m.a8 == 0 && !m.table)
        << m.text.toStdString();
  };
}

fw::VariantList CompletionTest::closingValues() const {
  const fw::VariantList args = fakes->last(QStringLiteral("FechaCupom")).args;
  return args.empty() ? args
                      : fw::VariantList(args.begin(), args.begin() + outside::closing::kCount);
}
int CompletionTest::closeSecondArgument() const {
  const fw::VariantList args = fakes->last(QStringLiteral("FechaCupom")).args;
  return args.empty() ? -1 : static_cast<int>(args[outside::closing::kCount].toInteger());
}
int CompletionTest::closeAnswerSize() const {
  const fw::VariantList args = fakes->last(QStringLiteral("FechaCupom")).args;
  return args.empty() ? -1 : static_cast<int>(args[outside::closing::kCount + 1].toInteger());
}
fw::VariantList CompletionTest::cancelValues() const {
  const fw::VariantList args = fakes->last(QStringLiteral("Cancela_Cupom_Imp")).args;
  return args.empty() ? args
                      : fw::VariantList(args.begin(), args.begin() + outside::cancelling::kCount);
}
fw::Variant CompletionTest::cancelAnswerArray() const {
  const fw::VariantList args = fakes->last(QStringLiteral("Cancela_Cupom_Imp")).args;
  return args.empty() ? fw::Variant() : args[outside::cancelling::kCount];
}

void CompletionTest::TearDown() {
  fw::setWriteFault({});
  form = nullptr;
  fakes = nullptr;
  screen.reset();
}

QString CompletionTest::outputDir() const {
  return screen->path(QStringLiteral("Dados/Venda_Arquivo"));
}
QString CompletionTest::saleFile() const {
  return outputDir() + QStringLiteral("/Venda10_2_815.cds");
}
QString CompletionTest::cashFile() const {
  return outputDir() + QStringLiteral("/MovCaixa10_2_815.cds");
}

QStringList CompletionTest::outputFiles() const {
  return QDir(outputDir()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

void CompletionTest::addItem(const NewItem& item) {
  fw::LocalTable& list = form->cdsAddProduto;
  QString number = QStringLiteral("001");
  if (!list.active()) {
    list.createDataSet();
  } else if (!list.isEmpty()) {
    number = QStringLiteral("%1").arg(list.asText(QStringLiteral("NRSEQ")).toInt() + 1, 3, 10,
                                      QLatin1Char('0'));
  }
  list.insert();
  const auto text = [&](const char* field, const QString& value) {
    if (!value.isEmpty()) list.setText(QLatin1String(field), value);
  };
  text("NMPRODUTO", item.name);
  text("CDCAIXA", stCaixaAber);
  text("CDFILIAL", stFilialLogin);
  list.setText(QStringLiteral("NRSEQVENDA"), QString());
  text("NRSEQUITVENDA", number);
  text("CDCLIENTE", stCdCliente);
  text("CDEMPRESA", QStringLiteral("01"));
  list.setDateTime(QStringLiteral("DTVENDA"), 45000.25);
  list.setDateTime(QStringLiteral("DTENTRVENDA"), dtDataMovimento);
  text("IDSITUVENDA", QStringLiteral("O"));
  list.setNumber(QStringLiteral("VRDESCVENDA"), 0);
  text("CDFILIALTUR", stFilialLogin);
  text("CDCAIXATUR", stCaixaAber);
  list.setDateTime(QStringLiteral("DTABERTUR"), 44999.75);
  list.setDateTime(QStringLiteral("DTFECHAVENDA"), 45000.26);
  text("NRCUPOMFIS", stCupomVen);
  text("CDOPERADOR", QStringLiteral("OPER1"));
  text("CDLOJA", QStringLiteral("1"));
  text("IDTIPOVENDA", QStringLiteral("D"));
  text("TXOBSVENDA", item.note);
  text("IDVENDEBCONS", QStringLiteral("N"));
  text("IDCANCMANUAL", QStringLiteral("N"));
  list.setNumber(QStringLiteral("QTPRODVEND"), item.quantity);
  list.setNumber(QStringLiteral("VRTOTVEND"), item.price * item.quantity);
  list.setNumber(QStringLiteral("VRUNITVEND"), item.price);
  text("CDPRODUTO", item.code);
  list.setNumber(QStringLiteral("VRUNITVENDCL"), 0);
  text("CDPRODPROMOCAO", item.code);
  list.setNumber(QStringLiteral("VRPEALIMPFIS"), 18);
  list.setNumber(QStringLiteral("QTPRODCOMVEN"), item.quantity);
  list.setNumber(QStringLiteral("VRPRECCOMVEN"), item.price);
  text("NRCONTCUPOMFISC", item.counter);
  text("CDORDALIQIMPR", item.aliquota);
  list.setNumber(QStringLiteral("VRREPIQUEVENDA"), 0);
  text("NRSEQ", number);
  text("IDPRODIMPFIS", item.state);
  list.post();
}

void CompletionTest::addPayment(const NewPayment& payment) {
  fw::LocalTable& list = form->cdsReceb;
  if (!list.active()) {
    list.createDataSet();
  } else {
    list.next();
  }
  list.insert();
  list.setText(QStringLiteral("CDFILIAL"), stFilialLogin);
  list.setText(QStringLiteral("CDTIPORECE"), payment.type);
  list.setText(QStringLiteral("NMTIPORECE"), payment.name);
  list.setText(QStringLiteral("IDTIPORECE"), QStringLiteral("4"));
  list.setText(QStringLiteral("NRORDTROCO"), payment.order);
  list.setText(QStringLiteral("CDTIPOTROCO"), QStringLiteral("001"));
  list.setText(QStringLiteral("DSIMPFISCAL"), QStringLiteral("Dinheiro ECF"));
  list.setDateTime(QStringLiteral("DTHRINCMOV"), payment.time);
  list.setText(QStringLiteral("IDTIPOMOVIVE"), QStringLiteral("X"));
  list.setNumber(QStringLiteral("VRMOVIVEND"), payment.amount);
  list.setText(QStringLiteral("CDCLIENTE"), QStringLiteral("outro"));
  list.setDateTime(QStringLiteral("DTMOVIMCAIXA"), 1);
  list.post();
  doTotal += payment.amount;
}

void CompletionTest::setSaleTotal(double total) { form->showSaleTotal(total); }

void CompletionTest::restart(bool killed) {
  screen->releaseForm();
  if (killed) salecontext::resetToLoadValues();
  form = &screen->createForm();
  screen->initialize();
}

TableFile::TableFile(const QString& path) : table(std::make_unique<fw::LocalTable>()) {
  table->loadFromFile(path);
}

int TableFile::rows() const { return table->recordCount(); }

QString TableFile::text(int row, const char* field) const {
  return table->textAt(row, table->fieldIndex(QLatin1String(field)));
}

double TableFile::number(int row, const char* field) const {
  return table->valueAt(row, table->fieldIndex(QLatin1String(field))).toNumber();
}

bool TableFile::isNull(int row, const char* field) const {
  return table->valueAt(row, table->fieldIndex(QLatin1String(field))).isNull();
}

QString TableFile::row(int row) const {
  QStringList texts;
  for (int i = 0; i < int(table->fields().size()); ++i) texts << table->textAt(row, i);
  return texts.join(QLatin1Char('|'));
}

QByteArray fileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
