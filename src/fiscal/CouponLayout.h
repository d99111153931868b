// The virtual printer's paper: what each document prints, line by line, 48 columns, in
// Brazilian number form whatever the till's locale. The printer's rules (what is refused,
// what the memory keeps) are in VirtualPrinter.cpp; this file only lays out what they decided.
#pragma once

#include <QString>
#include <vector>

#include "fiscal/PrinterMemory.h"
#include "fiscal/PrinterProgramming.h"
#include "fiscal/TapeText.h"
#include "fiscal/VirtualPrinter.h"
#include "framework/text/FormatSettings.h"

namespace fiscal::layout {

const fw::FormatSettings& tapeFormat();
// The printer's command fields: quantity with three decimals, unit price with two or three.
bool hasAtMostDecimals(double value, int decimals);
QString numberText(double value);
QString amountText(qint64 cents);  // "1.234,50"

void printShopHeader(TapeText& tape, const ShopHeader& header, const QString& schema,
                     const QString& branch, const QString& cashRegister,
                     const QString& serialNumber);
void printOpening(TapeText& tape, const ShopHeader& header, const OpenCoupon& coupon,
                  const QString& stamp);
void printItem(TapeText& tape, const PrinterItem& item);
void printItemCancellation(TapeText& tape, const PrinterItem& item);
// `amounts`: each payment in cents, in the order of closing.payments.
void printClosing(TapeText& tape, const OpenCoupon& coupon, const CouponClosing& closing,
                  const std::vector<qint64>& amounts, qint64 total, qint64 change,
                  const QString& stamp);
void printOpenCouponCancellation(TapeText& tape, const OpenCoupon& coupon, qint64 total,
                                 const QString& stamp);
// The receipt of a cancelled closed coupon, with its own document number `receipt`.
void printCancellationReceipt(TapeText& tape, const ShopHeader& header,
                              const CouponCancelling& cancelling, const QString& receipt,
                              const LastCoupon& cancelled, const QString& stamp);

}  // namespace fiscal::layout
