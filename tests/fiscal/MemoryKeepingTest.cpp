// The fiscal memory and the tape against a full disk, lost or damaged copies, a clock set
// back and a host killed while saving.
#include <QFileInfo>
#include <QRegularExpression>
#include <cerrno>
#include <functional>
#include <tuple>

#include "FiscalFixture.h"
#include "fiscal/PrinterMemory.h"
#include "framework/packet/FileIo.h"
#include "support/FullDisk.h"

namespace fiscal::test {
namespace {

// Fails `step` of every write to `path` while it lives.
class Fault {
 public:
  Fault(fw::WriteStep step, const QString& path) {
    fw::setWriteFault(
        [=](fw::WriteStep s, const QString& p) { return s == step && p == path ? ENOSPC : 0; });
  }
  ~Fault() { fw::setWriteFault({}); }
};

QByteArray bytesOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void put(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

QByteArray refusalPrint(const QString& reason) {
  TapeText t;
  t.centered(QStringLiteral("*** COMANDO RECUSADO ***"));
  t.line(reason);
  return t.text().toUtf8();
}

class MemoryKeeping : public FiscalFixture {
 protected:
  QString copy(int n) const { return VirtualPrinter(dir.path()).memoryStore().path(n); }
  QString tapeFile() const { return dir.filePath(QStringLiteral("Bobina.txt")); }
  QString tapeWords() const { return tape().simplified(); }  // lines wrapped at 48 columns joined

  void sellOneCoupon(VirtualPrinter& p) {
    ASSERT_TRUE(p.openCoupon({}).accepted);
    ASSERT_TRUE(p.sellItem(item(1, 10)).accepted);
    ASSERT_TRUE(p.closeCoupon(paidWith({{"Dinheiro", 10}})).accepted);
  }
};

TEST_F(MemoryKeeping, AWriteFailingAtAnyPointRefusesTheCommandAndLeavesMemoryAndTapeAsTheyWere) {
  using fw::WriteStep;
  VirtualPrinter p = printer();
  ASSERT_TRUE(p.openCoupon({}).accepted);
  int sold = 0;
  for (const QString& file : {tapeFile(), copy(1)}) {
    for (WriteStep step : {WriteStep::Create, WriteStep::Write, WriteStep::Sync, WriteStep::Verify,
                           WriteStep::Close, WriteStep::Rename}) {
      if (file == tapeFile() && step == WriteStep::Rename) continue;  // appending renames nothing
      const QByteArray tapeBefore = bytesOf(tapeFile());
      const QByteArray memoryBefore = bytesOf(copy(1));
      PrinterAnswer refused;
      {
        Fault fault(step, file);
        refused = p.sellItem(item());
      }
      const std::string where = file.toStdString() + " step " + std::to_string(int(step));
      EXPECT_FALSE(refused.accepted) << where;
      EXPECT_TRUE(
          refused.reason.startsWith(file == tapeFile() ? "Sem papel" : "Falha na memória fiscal"))
          << where;
      EXPECT_TRUE(refused.reason.contains("não há espaço livre no disco")) << where;
      EXPECT_EQ(bytesOf(copy(1)), memoryBefore) << where;
      EXPECT_EQ(bytesOf(copy(2)), memoryBefore) << where;
      // The item is not printed; the refusal is, when the tape takes it.
      const QByteArray added = bytesOf(tapeFile()).mid(tapeBefore.size());
      EXPECT_TRUE(bytesOf(tapeFile()).startsWith(tapeBefore)) << where;
      EXPECT_EQ(added, file == tapeFile() ? QByteArray() : refusalPrint(refused.reason)) << where;

      const PrinterAnswer retry = p.sellItem(item());
      ASSERT_TRUE(retry.accepted) << retry.reason.toStdString();
      EXPECT_EQ(retry.itemNumber, PrinterMemory::counterText(++sold).right(3));
    }
  }
}

TEST_F(MemoryKeeping, ACopyLeftBehindByAFailedSaveIsRestoredBeforeTheNextCommand) {
  VirtualPrinter p = printer();
  ASSERT_TRUE(p.openCoupon({}).accepted);
  {
    Fault fault(fw::WriteStep::Write, copy(2));
    EXPECT_TRUE(p.sellItem(item()).accepted);  // copy one holds it: the item is in the memory
  }
  EXPECT_NE(bytesOf(copy(1)), bytesOf(copy(2)));
  ASSERT_TRUE(p.sellItem(item()).accepted);
  EXPECT_TRUE(tape().contains("MEMÓRIA FISCAL RECUPERADA"));
  EXPECT_TRUE(
      tapeWords().contains("Cópia 2 da memória fiscal (ImpressoraFiscal.copia.json) desatualizada: "
                           "refeita a partir da cópia 1."));
  EXPECT_EQ(bytesOf(copy(1)), bytesOf(copy(2)));
  EXPECT_EQ(p.memory().open->items.size(), 2u);
}

TEST_F(MemoryKeeping, OnAFullDiskEveryCommandIsRefusedAndTheRetrySucceedsOnceThereIsRoom) {
  testsupport::FullDisk disk(dir.path());
  ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("dados/cadastros")));
  writeTaxRates(dir.filePath(QStringLiteral("dados/cadastros/aliqimpfis.cds")),
                {{QStringLiteral("01"), 18.0}});
  VirtualPrinter p = printer();
  const std::function<PrinterAnswer()> commands[] = {
      [&] { return p.openCoupon({}); },
      [&] { return p.sellItem(item(1, 10)); },
      [&] { return p.sellItem(item(2, 5)); },
      [&] { return p.cancelItem(QStringLiteral("1")); },
      [&] {
        return p.closeCoupon(paidWith({{"Dinheiro", 10}}));
      },
      [&] { return p.cancelCoupon({}); },
  };
  for (const auto& command : commands) {
    const QByteArray tapeBefore = bytesOf(tapeFile());
    const QByteArray memoryBefore = bytesOf(copy(1));
    disk.fill();
    const PrinterAnswer refused = command();
    EXPECT_FALSE(refused.accepted);
    EXPECT_TRUE(refused.reason.contains("não há espaço livre no disco"))
        << refused.reason.toStdString();
    EXPECT_EQ(bytesOf(copy(1)), memoryBefore);
    EXPECT_EQ(bytesOf(copy(2)), memoryBefore);
    const QByteArray added = bytesOf(tapeFile()).mid(tapeBefore.size());
    EXPECT_TRUE(added.isEmpty() || added == refusalPrint(refused.reason)) << added.toStdString();

    disk.free();
    const PrinterAnswer retry = command();
    EXPECT_TRUE(retry.accepted) << retry.reason.toStdString();
  }
  const PrinterMemory m = p.memory();
  EXPECT_EQ(m.coo, 2);  // the coupon and its cancellation receipt
  EXPECT_EQ(m.grandTotalCents, 1000);
  EXPECT_EQ(m.cancelledTotalCents, 1000);
  EXPECT_EQ(tape().count("CANCELAMENTO ITEM"), 1);
}

TEST_F(MemoryKeeping, OneLostOrDamagedCopyIsRestoredFromTheOtherWithALineOnTheTape) {
  VirtualPrinter p = printer();
  sellOneCoupon(p);

  ASSERT_TRUE(QFile::remove(copy(1)));
  const PrinterAnswer opened = p.openCoupon({});
  ASSERT_TRUE(opened.accepted) << opened.reason.toStdString();
  EXPECT_EQ(opened.coo, "000002");
  EXPECT_TRUE(
      tapeWords().contains("Cópia 1 da memória fiscal (ImpressoraFiscal.json) não encontrada: "
                           "refeita a partir da cópia 2."))
      << tape().toStdString();
  EXPECT_EQ(bytesOf(copy(1)), bytesOf(copy(2)));

  QByteArray damaged = bytesOf(copy(2));
  damaged.replace("\"000002\"", "\"000009\"");
  put(copy(2), damaged);
  ASSERT_TRUE(p.sellItem(item()).accepted);
  EXPECT_TRUE(
      tapeWords().contains("Cópia 2 da memória fiscal (ImpressoraFiscal.copia.json) danificada: "
                           "refeita a partir da cópia 1."));
  EXPECT_EQ(p.memory().open->coo, "000002");
  EXPECT_EQ(p.memory().grandTotalCents, 1000);

  // Both copies damaged: blocked, and the files are left for the technician.
  put(copy(1), "{}");
  put(copy(2), "");
  const PrinterAnswer blocked = p.sellItem(item());
  EXPECT_TRUE(blocked.reason.startsWith("Impressora fiscal bloqueada, memória fiscal inválida"))
      << blocked.reason.toStdString();
  EXPECT_EQ(bytesOf(copy(1)), "{}");
  EXPECT_EQ(bytesOf(copy(2)), "");
}

TEST_F(MemoryKeeping,
       AMemoryLostWhereThePrinterHasPrintedBlocksItAndANewOneStartsOnlyWhereItNeverPrinted) {
  VirtualPrinter p = printer();
  sellOneCoupon(p);
  ASSERT_TRUE(QFile::remove(copy(1)) && QFile::remove(copy(2)));

  const PrinterAnswer byTape = p.openCoupon({});
  EXPECT_FALSE(byTape.accepted);
  EXPECT_EQ(byTape.reason, "Impressora fiscal bloqueada, memória fiscal não encontrada (" +
                               copy(1) + "), mas a impressora já emitiu documentos: a bobina " +
                               tapeFile() + " tem documentos. Chame o técnico.");
  EXPECT_FALSE(QFile::exists(copy(1)) || QFile::exists(copy(2)));

  // The tape gone as well, but the sales' files are there.
  ASSERT_TRUE(QFile::remove(tapeFile()));
  ASSERT_TRUE(QDir(dir.path()).mkpath("dados/venda_arquivo"));
  put(dir.filePath("dados/venda_arquivo/Venda1_1_000001.cds"), "x");
  const PrinterAnswer byFiles = p.openCoupon({});
  EXPECT_TRUE(byFiles.reason.contains("já emitiu documentos: há arquivos de venda em"))
      << byFiles.reason.toStdString();

  // Refusals are no documents: with the files gone this is a folder where it never printed.
  ASSERT_TRUE(QFile::remove(dir.filePath("dados/venda_arquivo/Venda1_1_000001.cds")));
  ASSERT_TRUE(tape().contains("*** COMANDO RECUSADO ***"));
  EXPECT_EQ(p.openCoupon({}).coo, "000001");
}

TEST_F(MemoryKeeping, ACommandWhoseClockIsEarlierThanTheLastDocumentIsRefused) {
  QDateTime now = fixedNow();
  VirtualPrinter p(dir.path(), [&] { return now; });
  ASSERT_TRUE(p.openCoupon({}).accepted);
  ASSERT_TRUE(p.sellItem(item()).accepted);
  const QByteArray memoryBefore = bytesOf(copy(1));

  now = fixedNow().addDays(-400);
  const PrinterAnswer back = p.closeCoupon(paidWith({{"Dinheiro", 10}}));
  EXPECT_EQ(
      back.reason.toStdString(),
      "Data e hora do computador (06/02/2023 10:15:00) anteriores às do último documento emitido "
      "(12/03/2024 10:15:00). Acerte o relógio: o comando não foi executado.");
  EXPECT_FALSE(VirtualPrinter(dir.path(), [&] { return now; })
                   .sellItem(item())
                   .accepted);  // after a restart too
  // Only where the tape ends moved on: the refusals are printed, nothing else changed.
  PrinterMemory kept = PrinterMemory::fromJson(bytesOf(copy(1)));
  const PrinterMemory before = PrinterMemory::fromJson(memoryBefore);
  EXPECT_EQ(kept.tapeBytes, QFileInfo(tapeFile()).size());
  kept.tapeBytes = before.tapeBytes;
  kept.generation = before.generation;
  EXPECT_EQ(kept.toJson(), before.toJson());

  now = fixedNow().addSecs(60);
  ASSERT_TRUE(p.closeCoupon(paidWith({{"Dinheiro", 10}})).accepted);
  EXPECT_EQ(p.memory().lastDocumentAt, now);
}

TEST_F(MemoryKeeping, WhatAKilledHostLeftIsClearedAtStartUpAndTheTapeGoesOnOnALineOfItsOwn) {
  VirtualPrinter(dir.path(), fixedNow).openCoupon({});
  // Killed while saving the memory and a sale file, and while printing.
  put(dir.filePath("ImpressoraFiscal.json.tmp-Ab12Cd"), "{\"versao\": 2, \"coo\"");
  ASSERT_TRUE(QDir(dir.path()).mkpath("dados/Venda_Arquivo"));
  put(dir.filePath("dados/Venda_Arquivo/Venda1_1_000001.cds.tmp-Zz99Yy"), "half");
  {
    QFile t(tapeFile());
    ASSERT_TRUE(t.open(QIODevice::Append));
    t.write("001 789 Prod");
  }

  VirtualPrinter p = printer();
  EXPECT_FALSE(QFile::exists(dir.filePath("ImpressoraFiscal.json.tmp-Ab12Cd")));
  EXPECT_FALSE(QFile::exists(dir.filePath("dados/Venda_Arquivo/Venda1_1_000001.cds.tmp-Zz99Yy")));
  const PrinterAnswer sold = p.sellItem(item());
  ASSERT_TRUE(sold.accepted) << sold.reason.toStdString();
  // The cut print is kept and marked as not done, never taken for a document.
  EXPECT_TRUE(tape().contains(
      QRegularExpression(QStringLiteral("001 789 Prod\\n *\\*\\*\\* NÃO EXECUTADO \\*\\*\\*\\n"))))
      << tape().toStdString();
  EXPECT_GT(tape().indexOf("001 789 Produto\n"), tape().indexOf("NÃO EXECUTADO"));
}

// The host killed after a command's print and before its memory: the printer is never blocked,
// the print stays on the tape marked as not done, and the command can be asked again. Also for
// the first command on a new folder, whose memory is kept before anything is printed.
TEST_F(MemoryKeeping, KilledBetweenTheTapeAndTheMemoryLeavesThemTogether) {
  struct Files {
    QByteArray tape, one, two;
    bool hasOne = false, hasTwo = false;
  };
  const auto killedBeforeTheMemory = [&](const std::function<PrinterAnswer()>& command) {
    Files at;
    bool printed = false, taken = false;
    fw::setWriteFault([&](fw::WriteStep step, const QString& path) {
      if (step == fw::WriteStep::Create && path == tapeFile()) printed = true;
      if (step == fw::WriteStep::Create && path == copy(1) && printed && !taken) {
        at = {bytesOf(tapeFile()), bytesOf(copy(1)), bytesOf(copy(2)), QFile::exists(copy(1)),
              QFile::exists(copy(2))};
        taken = true;
      }
      return 0;
    });
    const PrinterAnswer done = command();
    fw::setWriteFault({});
    ASSERT_TRUE(done.accepted && taken);
    put(tapeFile(), at.tape);
    for (auto [path, has, bytes] :
         {std::tuple{copy(1), at.hasOne, at.one}, std::tuple{copy(2), at.hasTwo, at.two}}) {
      if (has) {
        put(path, bytes);
      } else {
        QFile::remove(path);
      }
    }
  };
  killedBeforeTheMemory([&] { return printer().openCoupon({}); });
  ASSERT_TRUE(QFile::exists(copy(1)));
  const PrinterAnswer reopened = printer().openCoupon({});
  ASSERT_TRUE(reopened.accepted) << reopened.reason.toStdString();
  EXPECT_EQ(reopened.coo, "000001");
  EXPECT_EQ(tape().count("*** NÃO EXECUTADO ***"), 1);
  EXPECT_LT(tape().indexOf("COO:000001"), tape().indexOf("*** NÃO EXECUTADO ***"));

  killedBeforeTheMemory([&] { return printer().sellItem(item()); });
  const PrinterAnswer sold = printer().sellItem(item(2));
  ASSERT_TRUE(sold.accepted);
  EXPECT_EQ(sold.itemNumber, "001");
  EXPECT_EQ(tape().count("*** NÃO EXECUTADO ***"), 2);
  // A refusal is kept as printed: the next command does not mark it.
  EXPECT_FALSE(printer().cancelItem("009").accepted);
  ASSERT_TRUE(printer().cancelItem("001").accepted);
  EXPECT_EQ(tape().count("*** NÃO EXECUTADO ***"), 2);
}

TEST_F(MemoryKeeping, AMemoryOfTheFirstFormatIsTakenOverWithoutARecoveryLine) {
  put(copy(1),
      R"({"versao":1,"coo":"000007","ccf":"000006","gtCentavos":100,"cancelamentosCentavos":0,)"
      R"("cupomAberto":null,"ultimoCupom":null})");
  VirtualPrinter p = printer();
  EXPECT_EQ(p.openCoupon({}).coo, "000008");
  EXPECT_FALSE(tape().contains("RECUPERADA"));
  EXPECT_EQ(bytesOf(copy(1)), bytesOf(copy(2)));
  EXPECT_EQ(p.memory().grandTotalCents, 100);
}

}  // namespace
}  // namespace fiscal::test
