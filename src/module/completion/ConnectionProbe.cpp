// The hooks of the central-database probe: the connection string comes from the shared
// runtime library, and the open connection is handed back to it.
#include "module/shell/TfrmVendaArquivo.h"
#include "outside/Outside.h"

void TfrmVendaArquivo::adcTesteConexaoBeforeConnect(runtime::TADOConnection& connection) {
  connection.connectionString = outside::_GetStringConexOrv(QString());
}

void TfrmVendaArquivo::adcTesteConexaoAfterConnect(runtime::TADOConnection& connection) {
  outside::SetADODBSession(connection.handle());
}
