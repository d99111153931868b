// The office's tests: a database of their own on the test server (REGVENDA_PG_CONNECTION,
// skipped without it), data directories of tills with sale files written in the screen's
// layouts, and the real regvenda-sync run as a child process.
#pragma once

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <ostream>

#include "office/Database.h"

// Readable texts in the test failures.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace officetest {

struct Item {
  double total = 10.0;
  bool printed = true;  // false: cancelled on the printer ("C" in IDPRODIMPFIS)
};

struct Sale {
  QString branch = QStringLiteral("10");
  QString till = QStringLiteral("2");
  QString coupon;
  std::vector<Item> items = {Item{}, Item{}};
  bool cancelled = false;
  bool cashFile = true;   // write the cash-movement file
  double day = 46000.5;   // DTVENDA of the first item (later items one second apart)
  QString note;           // TXOBSVENDA, to make a changed copy
};

inline Sale saleOf(const QString& coupon, std::vector<Item> items = {Item{}, Item{}},
                   double day = 46000.5) {
  Sale s;
  s.coupon = coupon;
  s.items = std::move(items);
  s.day = day;
  return s;
}
inline Sale cancelledSale(Sale s) {
  s.cancelled = true;
  s.cashFile = false;
  return s;
}
inline Sale withoutCash(Sale s) {
  s.cashFile = false;
  return s;
}

struct SyncRun {
  int status = -1;
  bool killed = false;
  QString errors;
};

class OfficeTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A new data directory (a till) under the test's folder.
  QString newTill(const QString& name);
  // Writes the sale's files into `till`'s output folder (a cancelled sale with items gets
  // every row "C"); returns the sale file's path.
  QString writeSale(const QString& till, const Sale& sale);
  QString outputFolder(const QString& till) const;
  QStringList filesIn(const QString& folder) const;

  // regvenda-sync --data-dir `till` against this test's database.
  QProcess* startSync(const QString& till, const QStringList& extraEnv = {},
                      const QStringList& args = {});
  SyncRun finish(QProcess* process, int timeoutMs = 60000);
  SyncRun sync(const QString& till, const QStringList& extraEnv = {}, const QStringList& args = {});

  // One value from this test's database (a new connection each time).
  QString query(const QString& sql);
  int count(const QString& sql) { return query(sql).toInt(); }

  QString connection;  // to this test's own database
  QString adminConnection;
  QString database;
  std::unique_ptr<QTemporaryDir> dir;
  std::vector<std::unique_ptr<QProcess>> processes;
};

// A run of regvenda-sync that must end with `status`; its messages tell why when not.
#define ASSERT_SYNC(till, expected)                                        \
  do {                                                                     \
    const ::officetest::SyncRun run_ = sync(till);                          \
    ASSERT_EQ(run_.status, expected) << run_.errors.toStdString();         \
  } while (false)

}  // namespace officetest
