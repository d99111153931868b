#include "fiscal/FiscalPackage.h"

#include <memory>

#include "fiscal/FiscalBridge.h"
#include "outside/Outside.h"

namespace fiscal {

namespace {

std::unique_ptr<FiscalBridge>& theBridge() {
  static std::unique_ptr<FiscalBridge> bridge;
  return bridge;
}

}  // namespace

void install(const QString& dataDirectory) {
  auto bridge = std::make_unique<FiscalBridge>(dataDirectory);
  bridge->publish();
  // The variables point at the new bridge before the old one goes.
  theBridge() = std::move(bridge);
}

void uninstall() {
  outside::AbreCupom = nullptr;
  outside::VendaItem = nullptr;
  outside::Cancela_ItGenerico = nullptr;
  outside::FechaCupom = nullptr;
  outside::Cancela_Cupom_Imp = nullptr;
  outside::Estado_Impressora = nullptr;
  theBridge().reset();
}

FiscalBridge* installedBridge() { return theBridge().get(); }

}  // namespace fiscal
