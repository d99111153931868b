// OfficeSchema: brings the office's schema "regvenda" up to date from the numbered migrations
// embedded in the library (migrations/NNNN_*.sql). Each migration runs in one transaction
// under a transaction-level advisory lock, so tills that start at once apply it exactly once
// and wait for each other instead of failing.
#pragma once

#include "office/Database.h"

namespace office {

class OfficeSchema {
 public:
  // The newest version the library knows.
  static int latestVersion();
  // Applies what is missing; returns the version the database is at afterwards.
  static int upgrade(Database& db);
};

}  // namespace office
