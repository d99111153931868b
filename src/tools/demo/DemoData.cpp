// The demo data directory: every input file of the sales screen, written as the host
// writes them (binary data packets), with a catalog of a small Brazilian shop with a
// snack bar: packaged goods with EAN-13 barcodes, weighed goods with scale codes, meals.
#include "tools/demo/DemoData.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <vector>

#include "framework/core/Error.h"
#include "framework/data/LocalTable.h"
#include "framework/text/NumberText.h"
#include "module/shell/TableLayouts.h"
#include "runtime/Runtime.h"

namespace demo {

namespace {

using fw::FieldDef;
using fw::LocalTable;

// The printer's programmed rates and the product tax rows that point at them.
struct Rate {
  const char* code;
  double value;
  const char* kind;
};
// T = ICMS, S = ISS (services), F = tax substitution, I = exempt, N = not taxed.
const Rate kRates[] = {{"01", 18.0, "T"}, {"02", 12.0, "T"}, {"03", 7.0, "T"}, {"S1", 5.0, "S"},
                       {"F1", 0.0, "F"},  {"I1", 0.0, "I"},  {"N1", 0.0, "N"}};
enum Tax { T18, T12, T07, S05, F, I, N };

struct Product {
  QString name;
  QString unit;
  double price;
  QString ncm;
  QString cest;
  Tax tax;
  bool barcode;  // packaged goods carry an EAN-13; weighed goods and meals a scale code
  int group;
};

class Catalog {
 public:
  void add(int group, const QString& name, const char* unit, double price, const char* ncm,
           const char* cest, Tax tax, bool barcode) {
    products.push_back({name, QLatin1String(unit), price, QLatin1String(ncm), QLatin1String(cest),
                        tax, barcode, group});
  }
  // Every name of `names` in every size of `sizes`; prices grow a little along the names.
  void cross(int group, const QStringList& names,
             const std::vector<std::pair<QString, double>>& sizes, const char* unit,
             const char* ncm, const char* cest, Tax tax, bool barcode = true) {
    for (qsizetype n = 0; n < names.size(); ++n)
      for (const auto& [size, price] : sizes)
        add(group, names[n] + QLatin1Char(' ') + size, unit,
            price + 0.10 * static_cast<double>(n % 4), ncm, cest, tax, barcode);
  }
  std::vector<Product> products;
};

QStringList L(std::initializer_list<const char*> items) {
  QStringList list;
  for (const char* item : items) list << QString::fromUtf8(item);
  return list;
}
std::pair<QString, double> S(const char* size, double price) {
  return {QString::fromUtf8(size), price};
}

Catalog buildCatalog() {
  Catalog c;
  // 1 Bebidas
  c.cross(1,
          L({"Refrigerante de Guaraná", "Refrigerante de Cola", "Refrigerante de Laranja",
             "Refrigerante de Limão", "Refrigerante de Uva", "Refrigerante Tutti-Frutti"}),
          {S("Lata 350 ml", 4.50), S("600 ml", 6.00), S("2 L", 9.90)}, "UN", "22021000",
          "03.007.00", F);
  c.cross(1,
          L({"Suco de Laranja", "Suco de Uva Integral", "Suco de Maracujá", "Suco de Caju",
             "Suco de Goiaba", "Suco de Manga", "Suco de Abacaxi com Hortelã", "Suco de Acerola"}),
          {S("300 ml", 7.00), S("1 L", 12.90)}, "UN", "20098990", "", T18);
  c.cross(1, L({"Cerveja Pilsen", "Cerveja Puro Malte", "Cerveja Sem Álcool"}),
          {S("Lata 350 ml", 5.49), S("Long Neck 355 ml", 7.90), S("Garrafa 600 ml", 11.50)}, "UN",
          "22030000", "03.021.00", F);
  c.cross(1, L({"Água Mineral sem Gás", "Água Mineral com Gás", "Água de Coco"}),
          {S("500 ml", 3.00), S("1,5 L", 5.50)}, "UN", "22011000", "03.004.00", F);
  c.cross(1, L({"Chá Mate Gelado", "Chá Verde com Limão", "Energético", "Isotônico de Tangerina"}),
          {S("Lata 350 ml", 6.90), S("Garrafa 1 L", 10.90)}, "UN", "22029900", "03.010.00", F);
  // 2 Lanchonete e cafeteria (preparo na casa)
  c.cross(2, L({"Café Expresso", "Café com Leite", "Cappuccino", "Chocolate Quente", "Café Coado"}),
          {S("Pequeno", 5.00), S("Grande", 8.00)}, "UN", "21011110", "", T12, false);
  c.cross(2,
          L({"Coxinha de Frango", "Coxinha de Frango com Catupiry", "Esfiha de Carne",
             "Esfiha de Queijo", "Empada de Frango", "Empada de Palmito", "Kibe Frito",
             "Enroladinho de Salsicha", "Bolinho de Bacalhau", "Risole de Presunto e Queijo"}),
          {S("Unidade", 7.50)}, "UN", "19059090", "", T12, false);
  c.cross(2,
          L({"Pastel de Carne", "Pastel de Queijo", "Pastel de Frango", "Pastel de Palmito",
             "Pastel de Pizza", "Pastel de Calabresa", "Pastel de Carne Seca com Abóbora",
             "Pastel de Brócolis"}),
          {S("Unidade", 9.00)}, "UN", "19059090", "", T12, false);
  c.cross(2,
          L({"Misto Quente", "Bauru", "X-Burguer", "X-Salada", "X-Bacon", "X-Tudo",
             "Beirute de Frango", "Pão na Chapa", "Queijo Quente", "Sanduíche Natural de Atum"}),
          {S("", 14.00)}, "UN", "21069090", "", T12, false);
  c.cross(2, L({"Açaí na Tigela", "Vitamina de Banana", "Salada de Frutas"}),
          {S("300 ml", 12.00), S("500 ml", 18.00)}, "UN", "21069090", "", T12, false);
  // 3 Restaurante
  c.cross(3,
          L({"Prato Feito - Frango Grelhado", "Prato Feito - Bife Acebolado",
             "Prato Feito - Peixe Frito", "Prato Feito - Omelete", "Feijoada Completa",
             "Moqueca de Peixe", "Baião de Dois", "Virado à Paulista", "Picadinho de Carne",
             "Strogonoff de Frango", "Escondidinho de Carne Seca", "Galinhada",
             "Parmegiana de Frango", "Lasanha à Bolonhesa", "Salada Caesar"}),
          {S("", 29.90)}, "UN", "21069090", "", T12, false);
  c.add(3, QStringLiteral("Refeição por Quilo"), "KG", 69.90, "21069090", "", T12, false);
  c.add(3, QStringLiteral("Sobremesa por Quilo"), "KG", 59.90, "21069090", "", T12, false);
  c.cross(3,
          L({"Pudim de Leite", "Mousse de Maracujá", "Brigadeiro", "Quindim", "Torta de Limão",
             "Cocada"}),
          {S("Porção", 8.50)}, "UN", "21069090", "", T12, false);
  c.add(3, QStringLiteral("Couvert Artístico"), "UN", 15.00, "00000000", "", S05, false);
  c.add(3, QStringLiteral("Taxa de Entrega"), "UN", 7.00, "00000000", "", S05, false);
  // 4 Padaria
  c.cross(4,
          L({"Pão Francês", "Pão de Queijo", "Pão Doce", "Pão Integral Fatiado", "Broa de Milho",
             "Rosca de Coco", "Biscoito de Polvilho", "Sonho de Creme"}),
          {S("", 18.90)}, "KG", "19059090", "", T07, false);
  c.cross(4,
          L({"Bolo de Fubá", "Bolo de Cenoura com Chocolate", "Bolo de Laranja", "Bolo de Milho",
             "Bolo de Mandioca"}),
          {S("Fatia", 6.50), S("Inteiro", 38.00)}, "UN", "19052090", "", T07, false);
  // 5 Mercearia
  c.cross(5, L({"Arroz Branco Tipo 1", "Arroz Parboilizado", "Arroz Integral"}),
          {S("1 kg", 6.49), S("5 kg", 27.90)}, "UN", "10063021", "", T07);
  c.cross(5, L({"Feijão Carioca", "Feijão Preto", "Feijão Fradinho"}), {S("1 kg", 8.99)}, "UN",
          "07133319", "", T07);
  c.cross(5, L({"Açúcar Refinado", "Açúcar Cristal", "Açúcar Mascavo"}), {S("1 kg", 4.99)}, "UN",
          "17019900", "", T07);
  c.cross(
      5,
      L({"Café Torrado e Moído Tradicional", "Café Torrado e Moído Extraforte", "Café em Grãos"}),
      {S("250 g", 11.90), S("500 g", 21.90)}, "UN", "09012100", "17.097.00", T07);
  c.cross(5,
          L({"Farinha de Mandioca Torrada", "Farinha de Trigo", "Fubá Mimoso", "Tapioca Granulada",
             "Polvilho Azedo", "Amido de Milho"}),
          {S("500 g", 5.49), S("1 kg", 8.90)}, "UN", "11062000", "", T07);
  c.cross(5, L({"Óleo de Soja", "Azeite de Oliva Extravirgem", "Vinagre de Álcool"}),
          {S("500 ml", 8.90)}, "UN", "15079011", "", T12);
  c.cross(5,
          L({"Macarrão Espaguete", "Macarrão Parafuso", "Macarrão Penne", "Macarrão Instantâneo"}),
          {S("500 g", 5.29)}, "UN", "19021900", "17.049.00", T12);
  c.cross(5, L({"Sal Refinado", "Sal Grosso"}), {S("1 kg", 2.99)}, "UN", "25010020", "", T07);
  c.cross(5, L({"Leite Integral UHT", "Leite Semidesnatado UHT", "Leite Desnatado UHT"}),
          {S("1 L", 5.49)}, "LT", "04012010", "17.016.00", T07);
  c.cross(5,
          L({"Molho de Tomate Tradicional", "Extrato de Tomate", "Milho Verde em Conserva",
             "Ervilha em Conserva", "Sardinha em Óleo", "Atum Ralado em Óleo"}),
          {S("Lata", 4.79)}, "UN", "20029090", "17.050.00", T18);
  c.cross(5,
          L({"Biscoito Cream Cracker", "Biscoito Maisena", "Biscoito Recheado de Chocolate",
             "Biscoito Água e Sal", "Rosquinha de Coco", "Wafer de Morango"}),
          {S("200 g", 4.99)}, "UN", "19053100", "17.053.00", T18);
  c.cross(5, L({"Chocolate ao Leite", "Chocolate Meio Amargo", "Chocolate Branco"}),
          {S("90 g", 6.99)}, "UN", "18063210", "17.001.00", T18);
  // 6 Hortifrúti (pesados na balança)
  c.cross(6, L({"Banana Prata",    "Banana Nanica",
                "Maçã Fuji",       "Maçã Gala",
                "Laranja Pera",    "Limão Tahiti",
                "Mamão Formosa",   "Manga Palmer",
                "Abacaxi Pérola",  "Melancia",
                "Uva Itália",      "Goiaba Vermelha",
                "Maracujá Azedo",  "Tomate Italiano",
                "Cebola",          "Batata Inglesa",
                "Cenoura",         "Mandioca",
                "Abóbora Cabotiá", "Chuchu",
                "Pimentão Verde",  "Alho"}),
          {S("", 6.98)}, "KG", "08039000", "", I, false);
  c.cross(6, L({"Alface Crespa", "Couve Manteiga", "Cheiro-Verde", "Rúcula", "Agrião"}),
          {S("Maço", 3.50)}, "UN", "07051900", "", I, false);
  // 7 Açougue e frios
  c.cross(7,
          L({"Picanha Bovina", "Alcatra Bovina", "Contrafilé Bovino", "Fraldinha Bovina",
             "Costela Bovina", "Carne Moída de Patinho", "Coxa e Sobrecoxa de Frango",
             "Peito de Frango", "Frango Inteiro", "Linguiça Toscana", "Linguiça Calabresa",
             "Lombo Suíno", "Bisteca Suína"}),
          {S("", 39.90)}, "KG", "02013000", "", T07, false);
  c.cross(7,
          L({"Queijo Muçarela", "Queijo Prato", "Queijo Minas Frescal", "Presunto Cozido",
             "Mortadela", "Peito de Peru Defumado", "Salame Italiano"}),
          {S("", 49.90)}, "KG", "04061010", "", T12, false);
  c.cross(7,
          L({"Requeijão Cremoso", "Manteiga com Sal", "Margarina", "Iogurte Natural",
             "Creme de Leite", "Leite Condensado"}),
          {S("200 g", 7.49)}, "UN", "04059090", "17.019.00", T12);
  // 8 Limpeza
  c.cross(
      8,
      L({"Detergente Líquido Neutro", "Detergente Líquido Limão", "Sabão em Pó", "Sabão em Barra",
         "Amaciante de Roupas", "Água Sanitária", "Desinfetante Lavanda", "Limpador Multiuso",
         "Esponja Dupla Face", "Saco de Lixo 50 L", "Álcool 70%", "Lustra-Móveis"}),
      {S("", 6.49)}, "UN", "34022000", "11.001.00", T18);
  c.cross(8, L({"Papel Higiênico Folha Dupla", "Papel Toalha", "Guardanapo de Papel"}),
          {S("4 Rolos", 8.90), S("12 Rolos", 22.90)}, "UN", "48181000", "", T18);
  // 9 Higiene e bazar
  c.cross(
      9,
      L({"Creme Dental", "Sabonete em Barra", "Xampu", "Condicionador", "Desodorante Aerossol",
         "Escova de Dentes", "Fio Dental", "Absorvente", "Fralda Infantil M", "Hastes Flexíveis"}),
      {S("", 9.90)}, "UN", "33061000", "20.064.00", T18);
  c.cross(9,
          L({"Pilha Alcalina AA", "Vela de Aniversário", "Isqueiro", "Fósforo", "Carvão Vegetal",
             "Gelo em Cubos"}),
          {S("", 8.50)}, "UN", "85061019", "", T18);
  c.add(9, QStringLiteral("Embalagem para Viagem"), "UN", 1.00, "48192000", "", N, true);
  c.add(9, QStringLiteral("Sacola Retornável"), "UN", 3.50, "42022220", "", N, true);
  // One item without a price, to show the screen's refusal.
  c.add(4, QStringLiteral("Bolo do Dia (preço a definir)"), "UN", 0.0, "19052090", "", T07, false);
  return c;
}

QString ean13(const QString& twelveDigits) {
  int sum = 0;
  for (int i = 0; i < 12; ++i) sum += twelveDigits.at(i).digitValue() * (i % 2 == 0 ? 1 : 3);
  return twelveDigits + QString::number((10 - sum % 10) % 10);
}

QString ensureDir(const QString& path) {
  if (!QDir().mkpath(path))
    throw fw::Error(QStringLiteral("Não foi possível criar a pasta \"%1\".").arg(path));
  return path;
}

void setText(LocalTable& t, const char* field, const QString& value) {
  t.setText(QLatin1String(field), value);
}

void writeCatalog(const QString& cadastros, Summary& summary) {
  const Catalog catalog = buildCatalog();

  LocalTable products(QStringLiteral("ProdArquivo"));
  products.declareFields(layouts::productCatalog());
  products.createDataSet();

  LocalTable productRates(QStringLiteral("AliqSistema"));
  productRates.declareFields(layouts::productTaxes());
  productRates.createDataSet();

  int number = 0;
  int perGroup[10] = {};
  for (const Product& p : catalog.products) {
    ++number;
    const QString code = QString::number(number).rightJustified(6, QLatin1Char('0'));
    const Rate& rate = kRates[p.tax];
    const bool weighed = p.unit == QLatin1String("KG");
    products.append();
    setText(products, "CDPRODUTO", code);
    setText(products, "CDARVPROD", QString::number(p.group * 1000 + ++perGroup[p.group]));
    setText(products, "NMPRODUTO", p.name.trimmed());
    setText(products, "IDPESAPROD", weighed ? QStringLiteral("S") : QStringLiteral("N"));
    products.setNumber(QStringLiteral("QTTARAPROD"), 0);
    setText(products, "SGUNIDADE", p.unit);
    setText(products, "IDTIPOCOMPPROD", QStringLiteral("N"));
    setText(products, "IDIMPPRODUTO", QStringLiteral("S"));
    if (p.barcode)
      setText(products, "CDBARPRODUTO",
              ean13(QStringLiteral("7896543") +
                    QString::number(number).rightJustified(5, QLatin1Char('0'))));
    if (weighed)
      setText(products, "CDPRODINTE",
              QStringLiteral("2") + QString::number(number).rightJustified(4, QLatin1Char('0')));
    setText(products, "IDORIGPRODPR", QStringLiteral("0"));
    products.setNumber(QStringLiteral("VRPRECITEM"), p.price);
    setText(products, "CDIMPOSTO", QLatin1String(rate.code));
    products.setNumber(QStringLiteral("VRPEALIMPFIS"), rate.value);
    if (!p.cest.isEmpty()) setText(products, "CDCEST", p.cest);
    setText(products, "CDNCM", p.ncm);
    products.post();

    productRates.append();
    setText(productRates, "CDPRODUTO", code);
    productRates.setNumber(QStringLiteral("VRPEALIMPFIS"), rate.value);
    setText(productRates, "IDTPIMPOSFIS", QLatin1String(rate.kind));
    productRates.post();
  }
  products.saveToFile(cadastros + QStringLiteral("/ProdArquivo.cds"));
  productRates.saveToFile(cadastros + QStringLiteral("/AliqSistema.cds"));
  summary.products = number;

  LocalTable printerRates(QStringLiteral("AliqImpFis"));
  printerRates.declareFields(layouts::printerRates());
  printerRates.createDataSet();
  for (const Rate& rate : kRates) {
    printerRates.append();
    setText(printerRates, "CDALIQIMPFIS", QLatin1String(rate.code));
    printerRates.setNumber(QStringLiteral("VRALIQIMPFIS"), rate.value);
    setText(printerRates, "IDALIQIMPFIS", QLatin1String(rate.kind));
    printerRates.post();
  }
  printerRates.saveToFile(cadastros + QStringLiteral("/AliqImpFis.cds"));
}

void writeParameters(const QString& dir, const QString& cadastros, const Options& options) {
  LocalTable p(QStringLiteral("PARAMETROSORV"));
  std::vector<FieldDef> fields;
  auto text = [&](const char* name, int width) {
    fields.push_back(FieldDef::text(QLatin1String(name), width));
  };
  text("IDESQUEMA", 3);
  text("CDFILIAL", 4);
  text("CDCAIXA", 3);
  text("CDLOJA", 4);
  text("CDEMPRESA", 4);
  text("IDSOLICITACPF", 1);
  fields.push_back(FieldDef::dateTime(QStringLiteral("DTABERCAIX")));
  text("UTILIZAIMPFIS", 1);
  FieldDef printerType;
  printerType.name = QStringLiteral("IDTIPOIMPFIS");
  printerType.type = fw::FieldType::Int32;
  printerType.width = 0;
  fields.push_back(printerType);
  text("IDCOLETOR", 1);
  text("NRSERIEIMP", 20);
  text("CDCLIENTE", 10);
  text("CDCCUSCLIE", 10);
  text("DSOBSCUPFIS", 100);
  text("ECFIMP", 20);
  text("SGESTADOFILI", 2);
  text("CDINSCESTAEMPR", 20);
  text("IDINFNOMEEND", 1);
  text("DSDIRCAD", 255);
  p.declareFields(fields);
  p.createDataSet();
  p.append();
  setText(p, "IDESQUEMA", QStringLiteral("001"));
  setText(p, "CDFILIAL", QStringLiteral("10"));
  setText(p, "CDCAIXA", QStringLiteral("2"));
  setText(p, "CDLOJA", QStringLiteral("1"));
  setText(p, "CDEMPRESA", QStringLiteral("1"));
  setText(p, "IDSOLICITACPF", options.askCpf ? QStringLiteral("S") : QStringLiteral("N"));
  p.setDateTime(QStringLiteral("DTABERCAIX"), fw::todayDateTime() + 7.0 / 24.0);  // opened at 07:00
  setText(p, "UTILIZAIMPFIS", options.useFiscalPrinter ? QStringLiteral("S") : QStringLiteral("N"));
  p.setVariant(QStringLiteral("IDTIPOIMPFIS"), fw::Variant(1));
  setText(p, "IDCOLETOR", QStringLiteral("N"));
  setText(p, "NRSERIEIMP", QStringLiteral("VF0123456789"));
  setText(p, "CDCLIENTE", QStringLiteral("0000000001"));
  setText(p, "CDCCUSCLIE", QStringLiteral("001"));
  setText(p, "DSOBSCUPFIS", QStringLiteral("Obrigado pela preferência! Volte sempre."));
  setText(p, "ECFIMP", QStringLiteral("ECF-VIRTUAL"));
  setText(p, "SGESTADOFILI", QStringLiteral("SP"));
  setText(p, "CDINSCESTAEMPR", QStringLiteral("110042490114"));
  setText(p, "IDINFNOMEEND", QStringLiteral("S"));
  setText(p, "DSDIRCAD", QDir(cadastros).absolutePath() + QLatin1Char('/'));
  p.post();
  p.saveToFile(dir + QStringLiteral("/PARAMETROSORV.CDS"));
}

void writeOperatorAndDate(const QString& cadastros) {
  LocalTable op(QStringLiteral("ControleAcess"));
  op.declareFields(layouts::operators());
  op.createDataSet();
  op.append();
  setText(op, "CDOPERADOR", QStringLiteral("0007"));
  setText(op, "NMOPERADOR", QStringLiteral("Conceição Aparecida Lima"));
  setText(op, "DSSENHACAIXA", runtime::Cripto(QStringLiteral("1234"), kIdentificationKey));
  op.post();
  op.saveToFile(cadastros + QStringLiteral("/ControleAcess.cds"));

  LocalTable date(QStringLiteral("DataMovimento"));
  date.declareFields({FieldDef::dateTime(QStringLiteral("DATAMOVIMENTO"))});
  date.createDataSet();
  date.append();
  date.setDateTime(QStringLiteral("DATAMOVIMENTO"), fw::todayDateTime());
  date.post();
  date.saveToFile(cadastros + QStringLiteral("/DataMovimento.cds"));
}

int writePaymentTypes(const QString& cadastros) {
  LocalTable types(QStringLiteral("ConfTipoRece"));
  types.declareFields(layouts::paymentTypes());
  types.createDataSet();

  struct Type {
    const char *code, *name, *button, *kind, *printerName, *printerCode, *shown, *cardAdmin;
    double fee, minimum;
    int position;
    unsigned back;
  };
  const Type all[] = {
      {"001", "Dinheiro", "DINHEIRO", "4", "Dinheiro", "01", "S", "", 0.0, 0.0, 1, 0x22DD64},
      {"002", "Cartão de Crédito", "CRÉDITO", "1", "Cartao Credito", "02", "S", "0001", 3.5, 5.0, 2,
       0x2C5BCC},
      {"003", "Cartão de Débito", "DÉBITO", "2", "Cartao Debito", "03", "S", "0001", 1.5, 1.0, 3,
       0x808080},
      {"004", "PIX", "PIX", "5", "PIX", "04", "S", "", 0.0, 0.0, 4, 0x27AE60},
      {"005", "Vale-Refeição", "VALE REFEIÇÃO", "6", "Vale Refeicao", "05", "N", "0002", 6.0, 0.0,
       5, 0xEE3E11},
  };
  for (const Type& t : all) {
    types.append();
    setText(types, "CDFILIAL", QStringLiteral("10"));
    setText(types, "CDTIPORECE", QLatin1String(t.code));
    setText(types, "NMTIPORECE", QString::fromUtf8(t.name));
    setText(types, "DSBUTTON", QString::fromUtf8(t.button));
    types.setNumber(QStringLiteral("VRTAXAADMI"), t.fee);
    types.setNumber(QStringLiteral("VRMINCARTAO"), t.minimum);
    // Change is always given in cash.
    setText(types, "CDTIPOTROCO", QStringLiteral("001"));
    setText(types, "NRORDTROCO", QString::number(t.position).rightJustified(3, QLatin1Char('0')));
    setText(types, "IDEMIVALE", QStringLiteral("N"));
    setText(
        types, "IDVALE",
        QLatin1String(t.kind) == QLatin1String("6") ? QStringLiteral("S") : QStringLiteral("N"));
    setText(types, "IDDEBCLIE", QStringLiteral("N"));
    setText(types, "CDFPIMPFIS", QLatin1String(t.printerCode));
    setText(types, "IDTIPORECE", QLatin1String(t.kind));
    setText(types, "CDTPINDICE", QStringLiteral("0"));
    setText(types, "IDPERVALOR", QStringLiteral("V"));
    setText(types, "NRCONFTELA", QStringLiteral("1"));
    setText(types, "IDTPBUTTON", QStringLiteral("R"));
    setText(types, "NRBUTTON", QString::number(t.position));
    setText(types, "NRPGCONFTELA", QStringLiteral("1"));
    setText(types, "NRPGCONFTAUX", QStringLiteral("1"));
    setText(types, "IDTPBUTONAUX", QStringLiteral("R"));
    setText(types, "NRBUTTONAUX", QString::number(t.position));
    setText(types, "CDIDENTBUTON", QStringLiteral("REC") + QLatin1String(t.code));
    types.setNumber(QStringLiteral("NRCOLORTEXT"), 0xFFFFFF);
    types.setNumber(QStringLiteral("NRCOLORBACK"), t.back);
    setText(types, "DSMESSAGEBUT", QStringLiteral("Recebimento em ") + QString::fromUtf8(t.name));
    if (*t.cardAdmin) setText(types, "CDADMINCART", QLatin1String(t.cardAdmin));
    setText(types, "DSIMPFISCAL", QLatin1String(t.printerName));
    setText(types, "IDMOSTRARECE", QLatin1String(t.shown));
    setText(types, "IDDESABTEF", QStringLiteral("S"));
    types.setNumber(QStringLiteral("NRFONTETEXT"), 12);
    setText(types, "IDSANGRIAAUTO", QStringLiteral("N"));
    types.post();
  }
  types.saveToFile(cadastros + QStringLiteral("/ConfTipoRece.cds"));
  return static_cast<int>(std::size(all));
}

QString writeIdentification(const QString& cadastros) {
  // The fingerprint of the fiscal application's file list, as the host's tools record it.
  const QString plain = QString::fromLatin1(
      QCryptographicHash::hash("regvenda-demo: lista de arquivos do aplicativo fiscal",
                               QCryptographicHash::Md5)
          .toHex()
          .toUpper());
  LocalTable ident(QStringLiteral("VARNOLE"));
  ident.declareFields({FieldDef::text(QStringLiteral("MD5ARQUIVOTXT"), 100)});
  ident.createDataSet();
  ident.append();
  setText(ident, "MD5ARQUIVOTXT", runtime::Cripto(plain, kIdentificationKey));
  ident.post();
  ident.saveToFile(cadastros + QStringLiteral("/VARNOLE.CDS"));
  return plain;
}

void writeConnectionExample(const QString& dir) {
  QFile file(dir + QStringLiteral("/ConexaoOrv.txt"));
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
    throw fw::Error(QStringLiteral("Não foi possível gravar \"%1\".").arg(file.fileName()));
  file.write(
      "# Cadeia de conexão ODBC com o banco de dados central: vale a primeira linha que não\n"
      "# está em branco nem começa com '#'. Sem ela a tela mostra \"Banco de dados offline\".\n"
      "# A variável de ambiente REGVENDA_CONNECTION, quando definida, tem precedência.\n"
      "# Exemplo:\n"
      "# Driver=/usr/lib/x86_64-linux-gnu/odbc/psqlodbcw.so;Server=127.0.0.1;Port=5432;"
      "Database=loja;Uid=caixa;Pwd=segredo;\n");
}

}  // namespace

Summary writeDemoData(const QString& dir, const Options& options) {
  Summary summary;
  const QString root = ensureDir(QDir(dir).absolutePath());
  const QString cadastros = ensureDir(root + QStringLiteral("/Dados/Cadastros"));
  ensureDir(root + QStringLiteral("/Dados/Venda_Arquivo"));

  writeCatalog(cadastros, summary);
  writeParameters(root, cadastros, options);
  writeOperatorAndDate(cadastros);
  summary.paymentTypes = writePaymentTypes(cadastros);
  summary.identificationPlain = writeIdentification(cadastros);
  writeConnectionExample(root);
  return summary;
}

}  // namespace demo
