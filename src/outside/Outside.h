// What the module requires of the host's packages, with the exact argument lists the
// screen's handlers pass. The printer bridge and the operator dialogs publish their
// operations as procedure variables: the module calls whatever function the variable
// holds at the moment of the call, so a host installs the real packages and a test
// installs fakes. Message dialog, connection string, de-scrambling and the session hand-over
// are procedure variables too (the runtime library installs its real ones with
// runtime::install()), so tests can see every message the screen shows.
// Texts are QString (UTF-16 in memory); the host's 8-bit texts are converted at the files.
#pragma once

#include <QString>
#include <cstddef>
#include <functional>
#include <type_traits>
#include <utility>

#include "framework/core/Error.h"
#include "framework/data/LocalTable.h"
#include "framework/text/Variant.h"

namespace outside {

using fw::LocalTable;
using fw::Variant;
using fw::VariantList;

// A procedure variable: the function a package installed under an operation's name. Called
// while nothing is installed it throws fw::Error naming the operation, so a host that forgot
// a package gets that message instead of a bare bad_function_call.
template <class Signature>
class Procedure;

template <class R, class... Args>
class Procedure<R(Args...)> {
 public:
  explicit Procedure(const char* name) : name_(name) {}
  Procedure(const Procedure&) = default;
  Procedure& operator=(const Procedure& other) {
    function_ = other.function_;  // the name stays the variable's own
    return *this;
  }
  Procedure& operator=(std::nullptr_t) {
    function_ = nullptr;
    return *this;
  }
  template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, Procedure>>>
  Procedure& operator=(F&& f) {
    function_ = std::forward<F>(f);
    return *this;
  }

  explicit operator bool() const { return static_cast<bool>(function_); }
  const char* name() const { return name_; }

  R operator()(Args... args) const {
    if (!function_) {
      throw fw::Error(
          QStringLiteral(
              "A operação '%1' não foi instalada: o pacote que a fornece não foi carregado.")
              .arg(QLatin1String(name_)));
    }
    return function_(std::forward<Args>(args)...);
  }

 private:
  const char* name_;
  std::function<R(Args...)> function_;
};

// ---- Fiscal printer bridge ---------------------------------------------------------------

// A parameter bag: the variant built by a Params_ function for one printer operation.
// Layout (ours): an array [0] operation name (text), [1] the arguments in order (array),
// [2] the named results, an array of [name, value] pairs filled by the operation.
Variant Params_AbreCupom_Kerrit(const QString& idEsquema, int& openingInteger, QString& customer0,
                                QString& customer1, QString& customer2, QString& cupomVen,
                                QString& contCupom, const QString& e8, const QString& e9,
                                const QString& e10, const QString& e11, const QString& e12,
                                const QString& e13, const QString& e14, bool flag15);

Variant Params_VendaItem_Kerrit(const QString& idEsquema, const QString& a2, const QString& a3,
                                const QString& itemCode, const QString& description,
                                const QString& cdAliquota, const QString& idAliquota,
                                const QString& unit, const QString& a9, const QString& vrAliquota,
                                const QString& a11, int openingInteger, double quantity,
                                double unitPrice, double a15, double a16, bool a17);

// Reads the named result an operation left in a bag (null when absent).
Variant RecebeParams(const Variant& bag, const QString& name);
// For bridges: stores a named result in the bag.
void GravaParams(Variant& bag, const QString& name, const Variant& value);
// For bridges and tests: the arguments a bag was built with, and its operation name.
const VariantList& bagArguments(const Variant& bag);
QString bagOperation(const Variant& bag);

extern Procedure<bool(Variant& bag)> AbreCupom;
extern Procedure<bool(Variant& bag)> VendaItem;
// 13 arguments: esquema, item number, 0, 0, "m" (wide), "0", "0", "0" (wide), five zeros.
extern Procedure<bool(const QString& idEsquema, const QString& nrSeq, int a3, int a4,
                      const QString& w5, const QString& w6, const QString& w7, const QString& w8,
                      int a9, int a10, int a11, int a12, int a13)>
    Cancela_ItGenerico;
// The 59 closing values (index 0..58), 0, the ten-value answer.
extern Procedure<bool(const VariantList& values, int a2, Variant& answer)> FechaCupom;
// Where each closing value stands. The positions not named hold fixed values the screen
// always sends: empty texts, false at kFalse, 0 at kZero, the null packet at kNoPacket.
namespace closing {
enum Position : int {
  kMd5 = 1,  // "MD-5:" and the identification value
  kIdEsquema = 2,
  kPrinterType = 3,    // Rev_IdTipoImpFis
  kNo = 9,             // "N"
  kObservation = 10,   // stDsObsCupFis
  kPayments = 13,      // the payment list's packet
  kPaymentTypes = 14,  // the payment-type table's packet, every row
  kCustomer = 15,
  kOperatorCode = 22,
  kOperatorName = 23,
  kRegisterKind = 35,  // "3"
  kEcf = 41,           // stEcfImpressora
  kCoupon = 42,        // stCupomVen
  kState = 43,         // Rev_SgEstadoFili
  kStateRegistration = 45,
  kStateTax = 50,      // tax approximation entry 1
  kFederalTax = 51,    // tax approximation entry 0
  kMunicipalTax = 58,  // tax approximation entry 2
  kCount = 59,
};
inline constexpr int kFalse[] = {4, 5, 11};
inline constexpr int kZero[] = {6, 7, 8, 37, 38, 52, 53, 54};
inline constexpr int kNoPacket[] = {32, 33, 34, 49};
}  // namespace closing
// The 8 values (index 0..7), the ten-value answer.
extern Procedure<bool(const VariantList& values, Variant& answer)> Cancela_Cupom_Imp;
// Where each cancellation value stands; 1 and 2 are false.
namespace cancelling {
enum Position : int {
  kIdEsquema = 0,
  kOpenCoupon = 3,  // true: the open coupon; false: the last closed one
  kBranch = 4,
  kCashRegister = 5,
  kSerialNumber = 6,
  kYes = 7,  // "S"
  kCount = 8,
};
}  // namespace cancelling

// The status question: what the printer holds now; it prints nothing and changes nothing.
// `answer` (four elements or more) gets, by position below: the open coupon's COO (empty
// when none is open), that coupon's items as an array of [item number, cancelled flag],
// the COO of the last coupon closed and of the last coupon cancelled, open or closed
// (empty when none). False when the bridge cannot tell (a blocked printer): the reason is
// shown as any refusal and nothing may be concluded.
extern Procedure<bool(const QString& idEsquema, Variant& answer)> Estado_Impressora;
namespace status {
enum Position : int {
  kOpenCoupon = 0,
  kItems = 1,
  kLastClosed = 2,
  kLastCancelled = 3,
  kCount = 4
};
}  // namespace status

// ---- Operator dialogs ----------------------------------------------------------------------

// The search dialog over a local table; true when a row was picked (then current).
extern Procedure<bool(LocalTable& table, int a2, int a3, int a4, int a5, int a6, int a7, int a8)>
    Pesquisa;
// Optional: gets the search over a table ready ahead of its first use, without making the
// caller wait (the work runs later, on the event loop). Unset: the first search does it.
extern Procedure<void(LocalTable& table)> PreparaPesquisa;
// The numeric keypad; true when confirmed, the entry in `text`.
// (text, title, prompt, empty-entry text, 20, 0|1, 0|1, 0, 0, 0)
extern Procedure<bool(QString& text, const QString& title, const QString& prompt,
                      const QString& emptyText, int maxLength, int a6, int a7, int a8, int a9,
                      int a10)>
    TecladoNumerico;
// The customer-data dialog: 8 values in; `answer` (ten elements) gets elements 0, 1, 2.
extern Procedure<void(const VariantList& values, Variant& answer)> CriaInfAdicional;
// The approximate taxes of the item list: `answer` (three elements) gets number texts.
extern Procedure<double(LocalTable& items, Variant& answer, double a3)> CalculoIcmsDFederal;

// ---- Shared runtime library ----------------------------------------------------------------

// TTipoMsg values used by the screen.
enum TTipoMsg { tmConfirmacao = 0, tmErro = 1, tmAviso = 2, tmInformacao = 3 };

// The message dialog: (text, "", "N", "N"|"S", kind, "", esquema, 0, table-or-null).
// True when the operator confirmed (confirmation shape).
extern Procedure<bool(const QString& text, const QString& a2, const QString& a3,
                      const QString& confirm, int kind, const QString& a6, const QString& idEsquema,
                      int a8, LocalTable* table)>
    Mensagem;
// The two ways the system talks to the cashier through Mensagem. inform: the information
// shape ("OK") of `kind`; false when no message dialog is installed (nothing was shown).
// ask: the confirmation shape; true when the cashier answered "Sim".
bool inform(const QString& text, const QString& idEsquema = {}, TTipoMsg kind = tmInformacao);
bool ask(const QString& text, const QString& idEsquema = {});
extern Procedure<QString(const QString& stored, int key)> Uncripto;
extern Procedure<QString(const QString& empty)> _GetStringConexOrv;
// Hands the probe's open connection (an ODBC connection handle, SQLHDBC) to the library;
// called with nullptr when the form releases the connection.
extern Procedure<void(void* connection)> SetADODBSession;

// The host's general error report: an error that escapes a touch handler ends only that
// handler and is shown here while the screen stays open. The host installs it (message
// dialog); the form's handler connections call it. When nothing is installed the form
// shows the error with Mensagem.
extern Procedure<void(const QString& message)> ApplicationHandleException;

// Plain functions.
double Trunc2(double value);                     // cut (not rounded) to two decimals
QString Ajusta(const QString& text, int width);  // leading zeros up to `width`
bool EmptyString(const QString& text);
Variant iif(bool condition, const Variant& whenTrue, const Variant& whenFalse);

// Puts every procedure variable back to "not installed" (an empty std::function).
void resetAll();

}  // namespace outside
