// TADOConnection: the database connection component, over ODBC (unixODBC). Used by the
// screen only as an availability probe: connect with a connection string, a login
// time-out in seconds and no prompt; report failure as fw::Error; stay open until closed
// or destroyed; re-test an open connection with a catalog call. Before- and after-connect
// hooks run around a real attempt.
#pragma once

#include <QString>
#include <functional>

namespace runtime {

class TADOConnection {
 public:
  TADOConnection();
  ~TADOConnection();
  TADOConnection(const TADOConnection&) = delete;
  TADOConnection& operator=(const TADOConnection&) = delete;

  QString provider = QStringLiteral("MSDAORA");  // kept for the record; ODBC ignores it
  QString connectionString;
  int connectionTimeout = 2;  // seconds
  bool loginPrompt = false;

  std::function<void(TADOConnection&)> beforeConnect;
  std::function<void(TADOConnection&)> afterConnect;
  // Told when the connection is released (closed or destroyed), with the handle.
  std::function<void(TADOConnection&)> beforeDisconnect;

  // Opens the connection unless it is open already (then nothing happens).
  // Throws fw::Error with the driver's diagnostic on failure.
  void open();
  // Asks the server through the open connection (the driver's own catalog call, or testQuery
  // when one is set), waiting at most connectionTimeout seconds for it;
  // throws fw::Error when it is not open or the query fails (the server went away). A query
  // that outlives the time-out costs the connection: it is released (beforeDisconnect runs)
  // and the object is closed; otherwise releasing a failed connection is the caller's call.
  void test();
  QString testQuery;  // empty: a catalog call, which every driver answers
  void close();
  bool connected() const;
  void* handle() const;  // the ODBC connection handle (SQLHDBC), or nullptr

 private:
  void* env_ = nullptr;
  void* dbc_ = nullptr;
  bool connected_ = false;
};

}  // namespace runtime
