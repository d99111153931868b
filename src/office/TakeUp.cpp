// The take-up's passes: scan the output folder, read whole sales, send them in batches
// (one transaction each), and only then move their files. Every sale's fate is decided in
// the database, under its row lock, so two tills or a re-sent file never make two rows.
#include "office/TakeUp.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>
#include <algorithm>
#include <map>

#include "framework/core/HostPath.h"
#include "framework/packet/FileIo.h"
#include "office/Database.h"
#include "office/OfficeSchema.h"
#include "office/SaleLayout.h"
#include "office/SalePair.h"

namespace office {

namespace {

enum class Outcome { Taken, Already, Cancelled, Conflict, Refused };

struct Kill {
  QByteArray step;
  int at = 1;
  int seen = 0;
};

Kill& killPlan() {
  static Kill plan = [] {
    Kill k;
    const QByteArray plan = qgetenv("REGVENDA_SYNC_KILL");
    const int colon = plan.indexOf(':');
    k.step = colon < 0 ? plan : plan.left(colon);
    if (colon >= 0) k.at = std::max(1, plan.mid(colon + 1).toInt());
    return k;
  }();
  return plan;
}

// Rows for one statement as a JSON array of objects keyed by the office's column names. A
// whole batch travels as one bound parameter that the server spreads into rows
// (json_populate_recordset), instead of a round trip and dozens of parameters a sale. Every
// value is a JSON string or null: the column's own type reads it, so amounts keep their
// decimals as written.
class JsonRows {
 public:
  void beginRow() {
    text_ += text_.isEmpty() ? u'[' : u',';
    text_ += u'{';
    first_ = true;
  }
  void field(QStringView name, const Param& value) {
    if (!first_) text_ += u',';
    first_ = false;
    text_ += u'"';
    text_ += name;
    text_ += QLatin1String("\":");
    if (!value) {
      text_ += QLatin1String("null");
      return;
    }
    text_ += u'"';
    for (const QChar c : *value) {
      const char16_t u = c.unicode();
      if (u == u'"' || u == u'\\') {
        text_ += u'\\';
        text_ += c;
      } else if (u < 0x20) {
        text_ += QStringLiteral("\\u%1").arg(static_cast<int>(u), 4, 16, QLatin1Char('0'));
      } else {
        text_ += c;
      }
    }
    text_ += u'"';
  }
  void endRow() {
    text_ += u'}';
    ++rows_;
  }
  int rows() const { return rows_; }
  // The array, and a fresh start.
  QString take() {
    QString out = std::move(text_);
    out += u']';
    text_.clear();
    rows_ = 0;
    return out;
  }

 private:
  QString text_;
  bool first_ = true;
  int rows_ = 0;
};

// The office's columns of a layout: its field names in lower case.
template <std::size_t N>
const std::vector<QString>& columnsOf(const LayoutField (&layout)[N]) {
  static const std::vector<QString> columns = [&layout] {
    std::vector<QString> out;
    for (const LayoutField& f : layout) out.push_back(QString::fromLatin1(f.name).toLower());
    return out;
  }();
  return columns;
}

// The batch's sales into regvenda.venda in one statement, in the batch's (key) order. Returns
// each sale's new id, or an empty text where the office holds that key already (or an
// earlier file of the batch took it): those are decided one by one, under their row locks.
std::vector<QString> insertSales(Database& db, const std::vector<SalePair>& ready) {
  static const QString sql = QStringLiteral(
      "WITH v AS (SELECT * FROM json_to_recordset(CAST(? AS json)) AS v(n integer, "
      "cdfilial text, cdcaixa text, nrcupomfis text, dtinicio timestamp, cdempresa text, "
      "idsituvenda text, vrtotal numeric, qtitens integer, nmarquivo text, somavenda text, "
      "somamovcaixa text)), "
      "novas AS (INSERT INTO regvenda.venda (cdfilial, cdcaixa, nrcupomfis, dtinicio, "
      "cdempresa, idsituvenda, vrtotal, qtitens, nmarquivo, somavenda, somamovcaixa, "
      "dtcancelamento) SELECT cdfilial, cdcaixa, nrcupomfis, dtinicio, cdempresa, idsituvenda, "
      "vrtotal, qtitens, nmarquivo, somavenda, somamovcaixa, CASE WHEN idsituvenda = 'C' THEN "
      "localtimestamp END FROM v ORDER BY n "
      "ON CONFLICT ON CONSTRAINT venda_chave DO NOTHING "
      "RETURNING id, cdfilial, cdcaixa, nrcupomfis, dtinicio) "
      "SELECT DISTINCT ON (novas.id) v.n, novas.id FROM novas "
      "JOIN v USING (cdfilial, cdcaixa, nrcupomfis, dtinicio) ORDER BY novas.id, v.n");
  JsonRows rows;
  for (std::size_t i = 0; i < ready.size(); ++i) {
    const SalePair& p = ready[i];
    rows.beginRow();
    rows.field(u"n", QString::number(i));
    rows.field(u"cdfilial", p.cdfilial);
    rows.field(u"cdcaixa", p.cdcaixa);
    rows.field(u"nrcupomfis", p.nrcupomfis);
    rows.field(u"dtinicio", p.dtinicio);
    rows.field(u"cdempresa", p.cdempresa.isEmpty() ? Param() : Param(p.cdempresa));
    rows.field(u"idsituvenda", p.cancelled ? QStringLiteral("C") : QStringLiteral("O"));
    rows.field(u"vrtotal", p.total);
    rows.field(u"qtitens", QString::number(p.itemCount));
    rows.field(u"nmarquivo", QFileInfo(p.salePath).fileName());
    rows.field(u"somavenda", p.saleSum);
    rows.field(u"somamovcaixa", p.cashSum.isEmpty() ? Param() : Param(p.cashSum));
    rows.endRow();
  }
  std::vector<QString> ids(ready.size());
  for (const Row& r : db.exec(sql, {rows.take()})) {
    const std::size_t i = r.at(0).value_or(QString()).toULong();
    if (i < ids.size()) ids[i] = r.at(1).value_or(QString());
  }
  return ids;
}

// The rows of the new sales' files into `table`, a few thousand rows a statement.
template <std::size_t N>
void insertRows(Database& db, const char* table, const LayoutField (&layout)[N],
                const std::vector<SalePair>& ready, const std::vector<QString>& ids,
                std::vector<Row> SalePair::*rowsOf) {
  constexpr int kRowsPerStatement = 4000;
  const std::vector<QString>& names = columnsOf(layout);
  QStringList columns = {QStringLiteral("venda_id"), QStringLiteral("nrlinha")};
  for (const QString& c : names) columns << c;
  const QString sql = QStringLiteral("INSERT INTO regvenda.%1 (%2) SELECT %2 FROM "
                                     "json_populate_recordset(NULL::regvenda.%1, CAST(? AS json))")
                          .arg(QString::fromLatin1(table), columns.join(QStringLiteral(", ")));
  JsonRows json;
  for (std::size_t i = 0; i < ready.size(); ++i) {
    if (ids[i].isEmpty()) continue;
    const std::vector<Row>& rows = ready[i].*rowsOf;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      json.beginRow();
      json.field(u"venda_id", ids[i]);
      json.field(u"nrlinha", QString::number(r + 1));
      for (std::size_t f = 0; f < N; ++f) json.field(names[f], rows[r][f]);
      json.endRow();
      if (json.rows() >= kRowsPerStatement) db.exec(sql, {json.take()});
    }
  }
  if (json.rows() > 0) db.exec(sql, {json.take()});
}

struct Decision {
  Outcome outcome;
  QString reason;
};

// A sale whose key the office holds already: decided under its row lock.
Decision settleHeld(Database& db, const SalePair& pair) {
  const std::vector<Param> key = {pair.cdfilial, pair.cdcaixa, pair.nrcupomfis, pair.dtinicio};
  const std::vector<Row> rows = db.exec(
      QStringLiteral("SELECT id, idsituvenda, somavenda, coalesce(somamovcaixa, '') "
                     "FROM regvenda.venda WHERE cdfilial = ? AND cdcaixa = ? AND nrcupomfis = ? "
                     "AND dtinicio = CAST(? AS timestamp) FOR UPDATE"),
      key);
  if (rows.empty() || rows[0].size() < 4)
    throw DatabaseError(QStringLiteral("A venda %1 sumiu do banco de dados durante a "
                                       "transação.").arg(QFileInfo(pair.salePath).fileName()),
                        QStringLiteral("40001"), false);
  const QString saleId = rows[0][0].value_or(QString());
  const QString heldSituation = rows[0][1].value_or(QString());
  const QString heldSale = rows[0][2].value_or(QString());
  const QString heldCash = rows[0][3].value_or(QString());

  const bool sameSale = heldSale == pair.saleSum;
  const bool sameCash = pair.cashSum.isEmpty() || pair.cashSum == heldCash;
  if (sameSale && sameCash) {
    if (!pair.cancelled || heldSituation == QLatin1String("C")) return {Outcome::Already, {}};
    db.exec(QStringLiteral("UPDATE regvenda.venda SET idsituvenda = 'C', "
                           "dtcancelamento = localtimestamp WHERE id = CAST(? AS bigint)"),
            {saleId});
    db.exec(QStringLiteral("UPDATE regvenda.venda_item SET idsituvenda = 'C' "
                           "WHERE venda_id = CAST(? AS bigint)"),
            {saleId});
    return {Outcome::Cancelled, {}};
  }
  const QString reason = !sameSale ? QStringLiteral("itens diferentes dos do escritório")
                                   : QStringLiteral("movimento de caixa diferente do do escritório");
  const QString fileSums = pair.saleSum + QLatin1Char('/') + pair.cashSum;
  const QString heldSums = heldSale + QLatin1Char('/') + heldCash;
  db.exec(QStringLiteral(
              "INSERT INTO regvenda.conflito (venda_id, nmarquivo, somaescritorio, somaarquivo, "
              "motivo) SELECT CAST(? AS bigint), ?, ?, ?, ? WHERE NOT EXISTS (SELECT 1 FROM "
              "regvenda.conflito WHERE venda_id = CAST(? AS bigint) AND somaarquivo = ?)"),
          {saleId, QFileInfo(pair.salePath).fileName(), heldSums, fileSums, reason, saleId,
           fileSums});
  return {Outcome::Conflict, reason};
}

QString fileName(const QString& path) { return QFileInfo(path).fileName(); }

class Pass {
 public:
  Pass(const TakeUpOptions& options, TakeUpReport& report)
      : options_(options), report_(report), folder_(TakeUp::outputFolder(options.dataDir)) {}

  void run() {
    const QDir dir(folder_);
    if (!dir.exists()) return;
    std::map<QString, QString> byLowerName;
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString& n : names) byLowerName.emplace(n.toLower(), n);
    std::vector<std::pair<QString, QString>> candidates;
    for (const QString& n : names) {
      if (SalePair::keyFromName(n).isEmpty()) continue;
      const auto cash = byLowerName.find(QStringLiteral("movcaixa") + n.mid(5).toLower());
      candidates.emplace_back(dir.filePath(n),
                              cash == byLowerName.end() ? QString() : dir.filePath(cash->second));
    }
    // A cash-movement file left alone by a move that was cut: its sale file went to
    // Enviados already. The pair is checked again, and only the cash file moves.
    const QString sent = folder_ + QStringLiteral("/Enviados/");
    for (const QString& n : names) {
      if (!n.startsWith(QLatin1String("movcaixa"), Qt::CaseInsensitive)) continue;
      const QString saleName = QStringLiteral("Venda") + n.mid(8);
      if (SalePair::keyFromName(saleName).isEmpty() ||
          byLowerName.count(saleName.toLower()) != 0 || !QFileInfo::exists(sent + saleName))
        continue;
      candidates.emplace_back(sent + saleName, dir.filePath(n));
    }
    const int found = static_cast<int>(candidates.size());
    int done = 0;
    const std::size_t batch = static_cast<std::size_t>(std::max(1, options_.batchSize));
    for (std::size_t start = 0; start < candidates.size() && !report_.cut; start += batch) {
      std::vector<SalePair> ready;
      const std::size_t end = std::min(candidates.size(), start + batch);
      for (std::size_t i = start; i < end; ++i) {
        SalePair pair = SalePair::read(candidates[i].first, candidates[i].second);
        if (pair.state == SalePair::State::Ready) {
          ready.push_back(std::move(pair));
        } else if (pair.state == SalePair::State::Waiting) {
          ++report_.waiting;
        } else {
          ++report_.refused;
          report_.problems << QStringLiteral("%1: %2").arg(fileName(pair.salePath), pair.problem);
        }
      }
      // One order for every till's transactions: rows are locked in key order.
      std::sort(ready.begin(), ready.end(), [](const SalePair& a, const SalePair& b) {
        return std::tie(a.cdfilial, a.cdcaixa, a.nrcupomfis, a.dtinicio) <
               std::tie(b.cdfilial, b.cdcaixa, b.nrcupomfis, b.dtinicio);
      });
      if (!ready.empty()) send(ready);
      done += static_cast<int>(end - start);
      if (options_.progress) options_.progress(done, found);
    }
  }

 private:
  void connect() {
    if (db_.isOpen()) return;
    db_.open(options_.connectionString, options_.loginTimeout);
    OfficeSchema::upgrade(db_);
  }

  // Sends a batch until its commit is known, then moves its files.
  void send(std::vector<SalePair>& ready) {
    std::vector<Decision> decisions;
    for (int attempt = 1;; ++attempt) {
      try {
        connect();
        decisions = transact(ready);
        break;
      } catch (const DatabaseError& e) {
        db_.rollback();
        if (!e.connectionLost() && !e.retryable() && !commitSent_) {
          // The server refused a statement: find the sale it refused, send the others.
          if (ready.size() > 1) {
            for (SalePair& one : ready) {
              std::vector<SalePair> alone;
              alone.push_back(std::move(one));
              send(alone);
              if (report_.cut) return;
            }
            return;
          }
          ++report_.refused;
          report_.problems << QStringLiteral("%1: recusado pelo banco de dados: %2")
                                  .arg(fileName(ready[0].salePath), e.message());
          return;
        }
        // Gone, or an answer to COMMIT that never came: the outcome is unknown, so the
        // batch goes again on a new connection; the key makes a second copy impossible.
        db_.close();
        // A server full of other tills (too many connections) is waited for, a little
        // longer and at a random moment each time, so a crowd does not come back at once.
        const bool crowded = e.sqlState() == QLatin1String("53300") ||
                             e.message().contains(QLatin1String("too many clients"));
        if (crowded && attempt < 60) {
          QThread::msleep(static_cast<unsigned long>(200 + QRandomGenerator::global()->bounded(800)));
          continue;
        }
        if (attempt >= 3) {
          report_.cut = true;
          report_.error = e.message();
          return;
        }
        QThread::msleep(static_cast<unsigned long>(300 * attempt));
      }
    }
    move(ready, decisions);
  }

  std::vector<Decision> transact(const std::vector<SalePair>& ready) {
    commitSent_ = false;
    stepReached("before-insert");
    const std::vector<QString> ids = insertSales(db_, ready);
    insertRows(db_, "venda_item", kSaleFields, ready, ids, &SalePair::items);
    insertRows(db_, "movimento_caixa", kCashFields, ready, ids, &SalePair::movements);
    std::vector<Decision> decisions;
    decisions.reserve(ready.size());
    for (std::size_t i = 0; i < ready.size(); ++i)
      decisions.push_back(ids[i].isEmpty() ? settleHeld(db_, ready[i]) : Decision{Outcome::Taken, {}});
    stepReached("after-insert");
    commitSent_ = true;
    db_.commit();
    commitSent_ = false;
    stepReached("after-commit");
    return decisions;
  }

  // The target name in `sub`; a file already there under that name (an earlier sale of a
  // coupon number that started over, or the earlier version of this sale) goes aside first,
  // so the plain name always holds the newest file sent.
  QString target(const QString& sub, const QString& path, quint64 inode) {
    const QString folder = folder_ + QLatin1Char('/') + sub;
    const QString to = folder + QLatin1Char('/') + fileName(path);
    const quint64 there = fw::fileInode(to);
    if (there == 0 || there == inode) return to;
    const QFileInfo info(to);
    const QString stamp =
        QDateTime::fromMSecsSinceEpoch(QFileInfo(to).lastModified().toMSecsSinceEpoch())
            .toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = folder + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('_') +
                    stamp + QStringLiteral(".cds");
    for (int n = 2; QFileInfo::exists(aside); ++n)
      aside = folder + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('_') + stamp +
              QLatin1Char('-') + QString::number(n) + QStringLiteral(".cds");
    fw::moveFileAside(to, aside);
    return to;
  }

  void move(const std::vector<SalePair>& ready, const std::vector<Decision>& decisions) {
    std::vector<fw::FileMove> moves;
    for (std::size_t i = 0; i < ready.size(); ++i) {
      const SalePair& pair = ready[i];
      const Decision& d = decisions[i];
      switch (d.outcome) {
        case Outcome::Taken:
          ++report_.taken;
          break;
        case Outcome::Already:
          ++report_.already;
          break;
        case Outcome::Cancelled:
          ++report_.cancelled;
          break;
        case Outcome::Conflict:
          ++report_.conflicts;
          report_.problems << QStringLiteral("%1: conflito: %2").arg(fileName(pair.salePath), d.reason);
          break;
        case Outcome::Refused:
          continue;
      }
      const QString sub = d.outcome == Outcome::Conflict ? QStringLiteral("Conflitos")
                                                         : QStringLiteral("Enviados");
      if (QFileInfo(pair.salePath).absolutePath() == QFileInfo(folder_).absoluteFilePath())
        moves.push_back({pair.salePath, target(sub, pair.salePath, pair.saleInode), pair.saleInode});
      if (!pair.cashPath.isEmpty())
        moves.push_back({pair.cashPath, target(sub, pair.cashPath, pair.cashInode), pair.cashInode});
    }
    if (moves.empty()) return;
    // Not while the screen saves into the folder; a screen that holds it for long (stuck)
    // leaves the files for the next pass, which sends them again harmlessly.
    const fw::FolderLock hold(folder_, 5000);
    if (!hold.held()) {
      report_.cut = true;
      report_.error = QStringLiteral("a pasta %1 está ocupada; os arquivos ficam para a próxima "
                                     "passagem").arg(folder_);
      return;
    }
    if (killPlan().step == "mid-move") {
      // Half the files moved, then the kill: each move on its own, as a cut run leaves them.
      const std::size_t half = moves.size() / 2 + 1;
      fw::moveFiles(std::vector<fw::FileMove>(moves.begin(), moves.begin() + static_cast<long>(half)));
      stepReached("mid-move");
      fw::moveFiles(std::vector<fw::FileMove>(moves.begin() + static_cast<long>(half), moves.end()));
      return;
    }
    fw::moveFiles(moves);
  }

  const TakeUpOptions& options_;
  TakeUpReport& report_;
  QString folder_;
  Database db_;
  bool commitSent_ = false;
};

}  // namespace

void stepReached(const char* step) {
  // REGVENDA_SYNC_PAUSE="<step>:<ms>": a test's moment to cut the connection or stop the
  // server while the take-up stands at that step (the first time only).
  static QByteArray pause = qgetenv("REGVENDA_SYNC_PAUSE");
  if (!pause.isEmpty() && pause.startsWith(QByteArray(step) + ':')) {
    const int ms = pause.mid(pause.indexOf(':') + 1).toInt();
    pause.clear();
    QThread::msleep(static_cast<unsigned long>(ms));
  }
  Kill& plan = killPlan();
  if (plan.step.isEmpty() || plan.step != step) return;
  if (++plan.seen == plan.at) ::kill(::getpid(), SIGKILL);
}

QString TakeUpReport::summary() const {
  QString line = QStringLiteral(
                     "regvenda-sync: %1 tomadas, %2 já no escritório, %3 canceladas, %4 "
                     "conflitos, %5 aguardando, %6 recusadas")
                     .arg(taken)
                     .arg(already)
                     .arg(cancelled)
                     .arg(conflicts)
                     .arg(waiting)
                     .arg(refused);
  if (cut) line += QStringLiteral("; interrompida: ") + error;
  return line;
}

TakeUp::TakeUp(TakeUpOptions options) : options_(std::move(options)) {}

QString TakeUp::outputFolder(const QString& dataDir) {
  return fw::resolvePath(dataDir + QStringLiteral("\\Dados\\Venda_Arquivo"));
}

TakeUpReport TakeUp::run() {
  TakeUpReport report;
  Pass(options_, report).run();
  return report;
}

int TakeUp::tryLock(const QString& dataDir, QString* error) {
  const QString path = QDir(dataDir).filePath(QStringLiteral("regvenda-sync.lock"));
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (error) *error = QStringLiteral("não foi possível abrir a trava %1").arg(path);
    return -1;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    if (error)
      *error = QStringLiteral("outra sincronização já está em andamento nesta pasta de dados (%1)")
                   .arg(dataDir);
    return -1;
  }
  return fd;
}

void TakeUp::unlock(int fd) {
  if (fd >= 0) ::close(fd);
}

}  // namespace office
