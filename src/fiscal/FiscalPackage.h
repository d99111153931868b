// The fiscal printer package as the host installs it: one bridge over a virtual printer in
// the data directory, published in the module's six printer procedure variables.
#pragma once

#include <QString>

namespace fiscal {

class FiscalBridge;

// Creates the bridge on `dataDirectory` (reading the printer's tax rates and header there)
// and fills AbreCupom, VendaItem, Cancela_ItGenerico, FechaCupom, Cancela_Cupom_Imp and
// Estado_Impressora.
// Installing again replaces the bridge.
void install(const QString& dataDirectory);
// Empties the six procedure variables and releases the bridge.
void uninstall();
// The installed bridge, or null.
FiscalBridge* installedBridge();

}  // namespace fiscal
