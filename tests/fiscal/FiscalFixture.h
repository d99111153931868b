// A data directory in a temporary folder with the printer's tax-rate file, a fixed clock,
// and helpers that build the screen's argument lists.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <utility>
#include <vector>

#include "fiscal/FiscalBridge.h"
#include "fiscal/VirtualPrinter.h"
#include "framework/core/Error.h"
#include "framework/data/LocalTable.h"
#include "framework/text/Variant.h"
#include "module/shell/TableLayouts.h"
#include "outside/Outside.h"

namespace fiscal::test {

inline QDateTime fixedNow() { return QDateTime(QDate(2024, 3, 12), QTime(10, 15, 0)); }

inline void writeTaxRates(const QString& path,
                          const std::vector<std::pair<QString, double>>& rates) {
  fw::LocalTable table(QStringLiteral("AliqImpFis"));
  table.declareFields(layouts::printerRates());
  table.createDataSet();
  for (const auto& [code, rate] : rates) {
    table.append();
    table.setText(QStringLiteral("CDALIQIMPFIS"), code);
    table.setNumber(QStringLiteral("VRALIQIMPFIS"), rate);
    table.setText(QStringLiteral("IDALIQIMPFIS"), QStringLiteral("T"));
    table.post();
  }
  table.saveToFile(path);
}

// The payment list packet as the screen hands it over.
inline fw::Variant paymentPacket(const std::vector<std::pair<QString, double>>& payments) {
  fw::LocalTable table(QStringLiteral("cdsReceb"));
  table.declareFields({fw::FieldDef::text(QStringLiteral("CDTIPORECE"), 3),
                       fw::FieldDef::text(QStringLiteral("NMTIPORECE"), 40),
                       fw::FieldDef::number(QStringLiteral("VRMOVIVEND"))});
  table.createDataSet();
  for (const auto& [name, amount] : payments) {
    table.append();
    table.setText(QStringLiteral("NMTIPORECE"), name);
    table.setNumber(QStringLiteral("VRMOVIVEND"), amount);
    table.post();
  }
  return table.data();
}

class FiscalFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    // Lower-case folders: the printer finds them whatever their case.
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("dados/cadastros")));
    writeTaxRates(dir.filePath(QStringLiteral("dados/cadastros/aliqimpfis.cds")),
                  {{QStringLiteral("01"), 18.0}, {QStringLiteral("02"), 7.0}});
    outside::resetAll();
  }
  void TearDown() override { outside::resetAll(); }

  VirtualPrinter printer() const { return VirtualPrinter(dir.path(), fixedNow); }

  QString tape() const {
    QFile file(dir.filePath(QStringLiteral("Bobina.txt")));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
  }

  static ItemSale item(double quantity = 1, double price = 10, const QString& taxCode = "01") {
    ItemSale s;
    s.code = QStringLiteral("789");
    s.description = QStringLiteral("Produto");
    s.taxCode = taxCode;
    s.taxType = QStringLiteral("T");
    s.unit = QStringLiteral("UN");
    s.quantity = quantity;
    s.unitPrice = price;
    return s;
  }

  static CouponClosing paidWith(std::vector<Payment> payments) {
    CouponClosing c;
    c.payments = std::move(payments);
    return c;
  }

  // Bags exactly as the screen builds them.
  static fw::Variant openingBag(const QString& document = {}) {
    int opening = 0;
    QString c0 = document, c1, c2, cupom, counter;
    const QString e;
    return outside::Params_AbreCupom_Kerrit(QStringLiteral("002"), opening, c0, c1, c2, cupom,
                                            counter, e, e, e, e, e, e, e, false);
  }
  static fw::Variant itemBag(const QString& code, const QString& description,
                             const QString& taxCode, const QString& taxType, double quantity,
                             double price) {
    const QString e;
    return outside::Params_VendaItem_Kerrit(
        QStringLiteral("002"), e, QStringLiteral("D"), code, description, taxCode, taxType,
        QStringLiteral("UN"), e, QStringLiteral("18"), e, 0, quantity, price, 0, 0, false);
  }
  static fw::VariantList closingValues(const fw::Variant& payments) {
    fw::VariantList v(59, fw::Variant(QString()));
    v[2] = fw::Variant(QStringLiteral("002"));
    v[13] = payments;
    v[50] = fw::Variant(0.0);
    v[51] = fw::Variant(0.0);
    v[58] = fw::Variant(0.0);
    return v;
  }
  static fw::VariantList cancelValues(bool believedOpen) {
    return {fw::Variant(QStringLiteral("002")),
            fw::Variant(false),
            fw::Variant(false),
            fw::Variant(believedOpen),
            fw::Variant(QStringLiteral("0001")),
            fw::Variant(QStringLiteral("001")),
            fw::Variant(QStringLiteral("BE0123")),
            fw::Variant(QStringLiteral("S"))};
  }
  static bool cancelItem(const QString& number) {
    const QString m = QStringLiteral("m"), z = QStringLiteral("0");
    return outside::Cancela_ItGenerico(QStringLiteral("002"), number, 0, 0, m, z, z, z, 0, 0, 0, 0,
                                       0);
  }

  QTemporaryDir dir;
};

}  // namespace fiscal::test
