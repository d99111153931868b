// The host's shared runtime library: the services the module reaches through the procedure
// variables of src/outside (message dialog, de-scrambling, connection string, session
// hand-over). install() puts the real ones in; tests put fakes in instead.
#pragma once

#include <QString>

namespace fw {
class LocalTable;
}

namespace runtime {

// Fills outside::Mensagem, Uncripto, _GetStringConexOrv and SetADODBSession with the
// functions below. Leaves the printer bridge and the operator dialogs alone.
void install();

// The data directory: $REGVENDA_DATA_DIR when set (the host's --data-dir), else the
// directory of the running program. No trailing separator.
QString dataDirectory();

// Whether a person is there to answer dialogs. Off (the host's --screenshot mode, tools):
// Mensagem writes "[mensagem] <text>" to stderr, and a confirmation is answered "no".
void setInteractive(bool on);
bool interactive();

// The message dialog, in the arguments of outside::Mensagem. A confirmation when `confirm`
// is "S" or the kind is 0 (answer: true = "Sim"), else an information with "OK" (true).
bool Mensagem(const QString& text, const QString& a2, const QString& a3, const QString& confirm,
              int kind, const QString& a6, const QString& idEsquema, int a8, fw::LocalTable* table);

// The scrambling of stored identification texts. The text's UTF-8 bytes, byte i (from 0)
// raised by key + i modulo 256, written as two upper-case hex digits each. Any text, accents
// included, round-trips; the key is one digit, 0 to 9. The screen calls Uncripto with key 7.
// Uncripto fails with fw::Error for a stored text that is not such hex, or that does not
// decode to valid UTF-8 (a damaged file; often a wrong key, though not always); "" gives "".
// Keys outside 0..9 fail with fw::Error.
QString Cripto(const QString& plain, int key);
QString Uncripto(const QString& stored, int key);
inline constexpr int kIdentificationKey = 7;

// The central database's ODBC connection string: $REGVENDA_CONNECTION when set (even
// empty), else the first line of "ConexaoOrv.txt" in the data directory that is neither
// blank nor a "#" comment, trimmed; when the data directory has no such file, the same
// file in the system's configuration directory (/etc/regvenda for an installed package);
// "" when none gives one.
QString connectionString();
// Where the system's ConexaoOrv.txt is looked for (tests point it elsewhere); returns the
// previous directory.
QString setSystemConfigDirectory(const QString& dir);
// outside::_GetStringConexOrv: its argument is ignored.
QString _GetStringConexOrv(const QString& ignored);

// The session: the ODBC connection handle the screen's probe handed over after a
// successful connection; nullptr before, and again once the form released it (the form
// calls SetADODBSession(nullptr) before it closes the connection).
void SetADODBSession(void* connection);
void* adoSession();

}  // namespace runtime
