// The procedure variables the packages fill, the parameter bags of the printer bridge and
// the small shared functions. Nothing here knows the packages behind the variables.
#include "outside/Outside.h"

#include <charconv>
#include <cmath>
#include <string>

#include "framework/core/Error.h"

namespace outside {

decltype(AbreCupom) AbreCupom{"AbreCupom"};
decltype(VendaItem) VendaItem{"VendaItem"};
decltype(Cancela_ItGenerico) Cancela_ItGenerico{"Cancela_ItGenerico"};
decltype(FechaCupom) FechaCupom{"FechaCupom"};
decltype(Cancela_Cupom_Imp) Cancela_Cupom_Imp{"Cancela_Cupom_Imp"};
decltype(Estado_Impressora) Estado_Impressora{"Estado_Impressora"};
decltype(Pesquisa) Pesquisa{"Pesquisa"};
decltype(PreparaPesquisa) PreparaPesquisa{"PreparaPesquisa"};
decltype(TecladoNumerico) TecladoNumerico{"TecladoNumerico"};
decltype(CriaInfAdicional) CriaInfAdicional{"CriaInfAdicional"};
decltype(CalculoIcmsDFederal) CalculoIcmsDFederal{"CalculoIcmsDFederal"};
decltype(Mensagem) Mensagem{"Mensagem"};
decltype(Uncripto) Uncripto{"Uncripto"};
decltype(_GetStringConexOrv) _GetStringConexOrv{"_GetStringConexOrv"};
decltype(SetADODBSession) SetADODBSession{"SetADODBSession"};
decltype(ApplicationHandleException) ApplicationHandleException{"ApplicationHandleException"};

bool inform(const QString& text, const QString& idEsquema, TTipoMsg kind) {
  if (!Mensagem) return false;
  Mensagem(text, QString(), QStringLiteral("N"), QStringLiteral("N"), kind, QString(), idEsquema, 0,
           nullptr);
  return true;
}

bool ask(const QString& text, const QString& idEsquema) {
  return Mensagem(text, QString(), QStringLiteral("N"), QStringLiteral("S"), tmConfirmacao,
                  QString(), idEsquema, 0, nullptr);
}

void resetAll() {
  AbreCupom = nullptr;
  VendaItem = nullptr;
  Cancela_ItGenerico = nullptr;
  FechaCupom = nullptr;
  Cancela_Cupom_Imp = nullptr;
  Estado_Impressora = nullptr;
  Pesquisa = nullptr;
  PreparaPesquisa = nullptr;
  TecladoNumerico = nullptr;
  CriaInfAdicional = nullptr;
  CalculoIcmsDFederal = nullptr;
  Mensagem = nullptr;
  Uncripto = nullptr;
  _GetStringConexOrv = nullptr;
  SetADODBSession = nullptr;
  ApplicationHandleException = nullptr;
}

// ---- Parameter bags -------------------------------------------------------------------------

namespace {

constexpr int kOperation = 0;
constexpr int kArguments = 1;
constexpr int kResults = 2;

Variant makeBag(const QString& operation, VariantList arguments) {
  return Variant::array(
      {Variant(operation), Variant::array(std::move(arguments)), Variant::array({})});
}

bool isBag(const Variant& bag) {
  return bag.isArray() && bag.size() == 3 && bag.at(kArguments).isArray() &&
         bag.at(kResults).isArray();
}

void requireBag(const Variant& bag) {
  if (!isBag(bag)) {
    throw fw::Error(
        QStringLiteral("Parâmetros da impressora fiscal inválidos: %1").arg(bag.debugText()));
  }
}

// A result is a [name, value] pair; names are matched without regard to case, as the
// bridge's own names are.
bool isResultNamed(const Variant& pair, const QString& name) {
  return pair.isArray() && pair.size() == 2 &&
         pair.at(0).toText().compare(name, Qt::CaseInsensitive) == 0;
}

}  // namespace

Variant Params_AbreCupom_Kerrit(const QString& idEsquema, int& openingInteger, QString& customer0,
                                QString& customer1, QString& customer2, QString& cupomVen,
                                QString& contCupom, const QString& e8, const QString& e9,
                                const QString& e10, const QString& e11, const QString& e12,
                                const QString& e13, const QString& e14, bool flag15) {
  return makeBag(
      QStringLiteral("AbreCupom"),
      {Variant(idEsquema), Variant(openingInteger), Variant(customer0), Variant(customer1),
       Variant(customer2), Variant(cupomVen), Variant(contCupom), Variant(e8), Variant(e9),
       Variant(e10), Variant(e11), Variant(e12), Variant(e13), Variant(e14), Variant(flag15)});
}

Variant Params_VendaItem_Kerrit(const QString& idEsquema, const QString& a2, const QString& a3,
                                const QString& itemCode, const QString& description,
                                const QString& cdAliquota, const QString& idAliquota,
                                const QString& unit, const QString& a9, const QString& vrAliquota,
                                const QString& a11, int openingInteger, double quantity,
                                double unitPrice, double a15, double a16, bool a17) {
  return makeBag(QStringLiteral("VendaItem"),
                 {Variant(idEsquema), Variant(a2), Variant(a3), Variant(itemCode),
                  Variant(description), Variant(cdAliquota), Variant(idAliquota), Variant(unit),
                  Variant(a9), Variant(vrAliquota), Variant(a11), Variant(openingInteger),
                  Variant(quantity), Variant(unitPrice), Variant(a15), Variant(a16), Variant(a17)});
}

Variant RecebeParams(const Variant& bag, const QString& name) {
  if (!isBag(bag)) return {};
  for (const Variant& pair : bag.at(kResults).items()) {
    if (isResultNamed(pair, name)) return pair.at(1);
  }
  return {};
}

void GravaParams(Variant& bag, const QString& name, const Variant& value) {
  requireBag(bag);
  VariantList results = bag.at(kResults).items();
  bool replaced = false;
  for (Variant& pair : results) {
    if (isResultNamed(pair, name)) {
      pair[1] = value;
      replaced = true;
      break;
    }
  }
  if (!replaced) results.push_back(Variant::array({Variant(name), value}));
  bag[kResults] = Variant::array(std::move(results));
}

const VariantList& bagArguments(const Variant& bag) {
  requireBag(bag);
  return bag.at(kArguments).items();
}

QString bagOperation(const Variant& bag) {
  requireBag(bag);
  return bag.at(kOperation).toText();
}

// ---- Small functions ------------------------------------------------------------------------

double Trunc2(double value) {
  if (!std::isfinite(value) || value == 0.0) return value;
  // The value as the nearest 15-significant-digit decimal (what the amount was meant to be:
  // 0.29 is stored as 0.28999…), then its digits past the second decimal dropped. Through
  // to_chars/from_chars: the C library's own conversions follow LC_NUMERIC, which a Qt
  // application takes from LANG (under pt_BR they write and read a decimal comma).
  char buffer[40];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                     std::chars_format::scientific, 14);
  const std::string text(buffer, written.ptr);  // "d.dddddddddddddde±XX"
  const std::size_t ePos = text.find('e');
  std::string digits;
  for (std::size_t i = 0; i < ePos; ++i) {
    if (text[i] != '.') digits.push_back(text[i]);
  }
  int exponent = 0;
  const char* expBegin = text.data() + ePos + 1;
  if (*expBegin == '+') ++expBegin;
  std::from_chars(expBegin, text.data() + text.size(), exponent);
  // digits[i] weighs 10^(exponent - i); keep down to weight 10^-2.
  const int keep = exponent + 3;
  if (keep <= 0) return 0.0;
  if (keep < static_cast<int>(digits.size())) digits.resize(static_cast<std::size_t>(keep));
  const int lastWeight = exponent - static_cast<int>(digits.size()) + 1;
  char weight[16];
  const auto weightEnd = std::to_chars(weight, weight + sizeof weight, lastWeight).ptr;
  const std::string cut = digits + 'e' + std::string(weight, weightEnd);
  double result = 0.0;
  std::from_chars(cut.data(), cut.data() + cut.size(), result);
  if (result == 0.0) return 0.0;
  return value < 0 ? -result : result;
}

QString Ajusta(const QString& text, int width) {
  if (text.size() >= width) return text;
  return QString(width - text.size(), QLatin1Char('0')) + text;
}

bool EmptyString(const QString& text) { return text.isEmpty(); }

Variant iif(bool condition, const Variant& whenTrue, const Variant& whenFalse) {
  return condition ? whenTrue : whenFalse;
}

}  // namespace outside
