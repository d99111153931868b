#include "support/OutsideRecorder.h"

#include <gtest/gtest.h>

#include <utility>

#include "framework/data/LocalTable.h"
#include "outside/Outside.h"

namespace testsupport {

using fw::Variant;
using fw::VariantList;

VariantList ShownMessage::args() const {
  return {a2, a3, confirm, kind, a6, idEsquema, a8, table == nullptr};
}

OutsideRecorder::~OutsideRecorder() {
  if (printerInstalled_) {
    outside::AbreCupom = nullptr;
    outside::VendaItem = nullptr;
    outside::Cancela_ItGenerico = nullptr;
    outside::FechaCupom = nullptr;
    outside::Cancela_Cupom_Imp = nullptr;
    outside::Estado_Impressora = nullptr;
  }
  if (dialogsInstalled_) {
    outside::Pesquisa = nullptr;
    outside::TecladoNumerico = nullptr;
    outside::CriaInfAdicional = nullptr;
    outside::CalculoIcmsDFederal = nullptr;
  }
  if (messagesInstalled_) outside::Mensagem = nullptr;
  if (errorReportInstalled_) outside::ApplicationHandleException = nullptr;
  if (connectionInstalled_) {
    outside::_GetStringConexOrv = nullptr;
    outside::SetADODBSession = nullptr;
  }
}

void OutsideRecorder::recordPrinter(Call call) {
  printer.push_back(std::move(call));
  if (onPrinterCall) onPrinterCall(printer.back().name);
}

void OutsideRecorder::installPrinter() {
  printerInstalled_ = true;
  outside::AbreCupom = [this](Variant& bag) {
    recordPrinter({QStringLiteral("AbreCupom"), outside::bagArguments(bag)});
    if (openAnswer) {
      outside::GravaParams(bag, QStringLiteral("CUPNR"), couponNumber);
      outside::GravaParams(bag, QStringLiteral("CONTCUPOM"), couponCounter);
    }
    return openAnswer;
  };
  outside::VendaItem = [this](Variant& bag) {
    recordPrinter({QStringLiteral("VendaItem"), outside::bagArguments(bag)});
    return itemAnswer;
  };
  outside::Cancela_ItGenerico = [this](const QString& e, const QString& nr, int a3, int a4,
                                       const QString& w5, const QString& w6, const QString& w7,
                                       const QString& w8, int a9, int a10, int a11, int a12,
                                       int a13) {
    recordPrinter({QStringLiteral("Cancela_ItGenerico"),
                   {e, nr, a3, a4, w5, w6, w7, w8, a9, a10, a11, a12, a13}});
    return cancelItemAnswer;
  };
  outside::FechaCupom = [this](const VariantList& values, int a2, Variant& answer) {
    recordPrinter({QStringLiteral("FechaCupom"), values});
    printer.back().args.push_back(a2);
    printer.back().args.push_back(answer.size());
    return closeAnswer;
  };
  outside::Cancela_Cupom_Imp = [this](const VariantList& values, Variant& answer) {
    recordPrinter({QStringLiteral("Cancela_Cupom_Imp"), values});
    printer.back().args.push_back(answer);
    return cancelCouponAnswer;
  };
  outside::Estado_Impressora = [this](const QString& idEsquema, Variant& answer) {
    recordPrinter({QStringLiteral("Estado_Impressora"), {idEsquema}});
    for (int i = 0; i < static_cast<int>(status.size()) && i < answer.size(); ++i)
      answer[i] = status[static_cast<std::size_t>(i)];
    return statusAnswer;
  };
}

void OutsideRecorder::installDialogs() {
  dialogsInstalled_ = true;
  outside::Pesquisa = [this](fw::LocalTable& t, int a2, int a3, int a4, int a5, int a6, int a7,
                             int a8) {
    dialogs.push_back(
        {QStringLiteral("Pesquisa"), {t.name(), a2, a3, a4, a5, a6, a7, a8, t.recordCount()}});
    if (searchAnswer && !t.isEmpty()) t.setRecNo(searchRow);
    return searchAnswer;
  };
  outside::TecladoNumerico = [this](QString& text, const QString& title, const QString& prompt,
                                    const QString& empty, int a5, int a6, int a7, int a8, int a9,
                                    int a10) {
    dialogs.push_back(
        {QStringLiteral("TecladoNumerico"), {text, title, prompt, empty, a5, a6, a7, a8, a9, a10}});
    if (keypadAnswer) text = keypadText;
    return keypadAnswer;
  };
  outside::CriaInfAdicional = [this](const VariantList& values, Variant& answer) {
    dialogs.push_back({QStringLiteral("CriaInfAdicional"), values});
    dialogs.back().args.push_back(answer.size());
    for (int i = 0; i < 3 && i < customer.size(); ++i) answer[i] = customer[i];
  };
  outside::CalculoIcmsDFederal = [this](fw::LocalTable& items, Variant& answer, double a3) {
    dialogs.push_back({QStringLiteral("CalculoIcmsDFederal"), {items.name(), a3}});
    for (int i = 0; i < 3 && i < taxes.size(); ++i) answer[i] = taxes[i];
    return 0.0;
  };
}

void OutsideRecorder::installMessages() {
  messagesInstalled_ = true;
  outside::Mensagem = [this](const QString& text, const QString& a2, const QString& a3,
                             const QString& confirm, int kind, const QString& a6,
                             const QString& idEsquema, int a8, fw::LocalTable* table) {
    messages.push_back({text, a2, a3, confirm, kind, a6, idEsquema, a8, table});
    if (onMessage) onMessage(messages.back());
    if (!messages.back().isConfirmation()) return true;
    if (confirmAnswers.empty()) return confirmAnswer;
    const bool answer = confirmAnswers.front();
    confirmAnswers.pop_front();
    return answer;
  };
}

void OutsideRecorder::installErrorReport() {
  errorReportInstalled_ = true;
  outside::ApplicationHandleException = [this](const QString& message) { errors << message; };
}

void OutsideRecorder::installConnection() {
  connectionInstalled_ = true;
  outside::_GetStringConexOrv = [this](const QString&) { return connectionString; };
  outside::SetADODBSession = [this](void* connection) { sessions.push_back(connection); };
}

void OutsideRecorder::installAll() {
  installPrinter();
  installDialogs();
  installMessages();
  installErrorReport();
  installConnection();
}

int OutsideRecorder::count(const QString& name) const {
  int n = 0;
  for (const auto* calls : {&printer, &dialogs}) {
    for (const Call& c : *calls) n += c.name == name ? 1 : 0;
  }
  return n;
}

Call OutsideRecorder::last(const QString& name) const {
  for (const auto* calls : {&printer, &dialogs}) {
    for (auto it = calls->rbegin(); it != calls->rend(); ++it) {
      if (it->name == name) return *it;
    }
  }
  ADD_FAILURE() << name.toStdString() << " was not called";
  return {};
}

QStringList OutsideRecorder::messageTexts() const {
  QStringList texts;
  for (const ShownMessage& m : messages) texts << m.text;
  return texts;
}

std::optional<void*> OutsideRecorder::session() const {
  if (sessions.empty()) return std::nullopt;
  return sessions.back();
}

}  // namespace testsupport
