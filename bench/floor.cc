#include "floor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>
#include <sqlite3.h>

#include "data/value.h"
#include "data/value_calendar.h"
#include "data/value_text.h"
#include "errors.h"
#include "labels/file_layout.h"
#include "labels/import_file_names.h"
#include "labels/import_line.h"
#include "labels/label_texts.h"
#include "offers/disattiva.h"
#include "platform/codepage.h"
#include "platform/posix/posix_env.h"
#include "synthetic_store.h"

namespace zav5::bench {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kSupplierCodeLength = 16;

class SqliteHandle {
 public:
  explicit SqliteHandle(const fs::path& file) {
    // As the program opens it: for one thread, waiting for another program's lock.
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
      const std::string message = sqlite3_errmsg(db_);
      sqlite3_close(db_);
      throw DatabaseError("pavimento: " + file.string() + ": " + message);
    }
    sqlite3_busy_timeout(db_, 5000);
  }
  ~SqliteHandle() { sqlite3_close_v2(db_); }
  SqliteHandle(const SqliteHandle&) = delete;
  SqliteHandle& operator=(const SqliteHandle&) = delete;
  sqlite3* get() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

// One statement, run once: parameters bound in order, then its rows read with CurrentRow().
class SqlStatement {
 public:
  SqlStatement(sqlite3* db, std::string_view sql) : db_(db), sql_(sql) {
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &statement_, nullptr) !=
        SQLITE_OK) {
      ThrowError();
    }
  }
  ~SqlStatement() { sqlite3_finalize(statement_); }
  SqlStatement(const SqlStatement&) = delete;
  SqlStatement& operator=(const SqlStatement&) = delete;

  SqlStatement& Bind(int i, std::int32_t v) {
    sqlite3_bind_int(statement_, i, v);
    return *this;
  }
  SqlStatement& Bind(int i, std::string_view v) {
    sqlite3_bind_text64(statement_, i, v.data(), v.size(), SQLITE_STATIC, SQLITE_UTF8);
    return *this;
  }

  // Steps to the next row: true when there is one.
  bool Step() {
    const int rc = sqlite3_step(statement_);
    if (rc == SQLITE_ROW) {
      return true;
    }
    if (rc != SQLITE_DONE) {
      ThrowError();
    }
    return false;
  }
  void Run() {
    while (Step()) {
    }
  }

  bool Null(int i) const { return sqlite3_column_type(statement_, i) == SQLITE_NULL; }
  std::string TextValue(int i) const {
    const auto* testo = reinterpret_cast<const char*>(sqlite3_column_text(statement_, i));
    return testo == nullptr
               ? std::string()
               : std::string(testo, static_cast<std::size_t>(sqlite3_column_bytes(statement_, i)));
  }
  double Double(int i) const { return sqlite3_column_double(statement_, i); }
  // A CURRENCY column, as the program reads it: four decimals.
  data::Currency CurrencyAt(int i) const { return data::Currency::FromDouble(Double(i)); }
  // A LONG, SHORT or DATETIME column as a whole number.
  std::int32_t IntAt(int i) const {
    return static_cast<std::int32_t>(data::RoundHalfEven(Double(i)));
  }

 private:
  [[noreturn]] void ThrowError() const {
    throw DatabaseError(fmt::format("pavimento: {}: {}", sql_, sqlite3_errmsg(db_)));
  }

  sqlite3* db_;
  std::string sql_;
  sqlite3_stmt* statement_ = nullptr;
};

void Sql(sqlite3* db, std::string_view sql) {
  SqlStatement(db, sql).Run();
}

// The article of an offer row: the one whose EAN is the row's eanrig fitted to 13 characters,
// else the row's own article code.
constexpr std::string_view kArticleOfRowSql =
    "COALESCE((SELECT c.codare FROM codean c WHERE c.eanare = substr(o.eanrig || "
    "'             ', 1, 13)), o.articoli)";

// What one import line of one offer row is made of, as the join reads it.
struct JoinedRow {
  labels::ImportLine line;
  bool promotion = false;
  // The supplier code before the label writer gave the article one; nothing when it had one.
  std::optional<std::string> assigned_code;
};

JoinedRow ReadJoinedRow(const SqlStatement& q) {
  JoinedRow r;
  labels::ImportLine& line = r.line;
  enum : int {
    kEanrig,
    kSconto,
    kCodart,
    kDesart,
    kCodafo,
    kUmart,
    kUmquaco,
    kQuaco,
    kIvart,
    kDesfor,
    kDesrep,
    kDesgru,
    kDessot,
    kPrzpub,
    kPrzsal,
    kData2,
    kCodpro,
    kProvenienza,
    kCategoria,
    kFatxmul,
    kDescrizioneTipo,
    kCodelettro,
  };
  const auto testo = [&q](int i, std::string& target) {
    if (!q.Null(i)) {
      target = q.TextValue(i);
    }
  };
  line.ean = data::FitText(q.TextValue(kEanrig), 13);
  line.descrizione = labels::ArticleDescription(q.TextValue(kDesart));
  if (!q.Null(kCodafo)) {
    line.supplier_code = data::MidText(q.TextValue(kCodafo), 3, 7);
  }
  std::string codice_unita;
  testo(kUmart, line.unit_of_measure);
  testo(kUmquaco, codice_unita);
  if (!q.Null(kQuaco)) {
    line.quantity = q.Double(kQuaco);
  }
  testo(kIvart, line.vat_code);
  testo(kDesfor, line.supplier);
  testo(kDesrep, line.department);
  testo(kDesgru, line.group);
  testo(kDessot, line.subgroup);
  double normal_price = 0;
  if (!q.Null(kPrzpub)) {
    const double przpub = q.CurrencyAt(kPrzpub).ToDouble();
    line.price = labels::PriceTwoDecimals(przpub);
    line.normal_price = labels::Amount(przpub);
    normal_price = line.price.ToDouble();
  }
  const double fattore = q.Null(kFatxmul) ? 0 : q.Double(kFatxmul);
  if (line.quantity != 0) {
    line.unit_price = labels::UnitPrice(line.price.ToDouble(), line.quantity, fattore);
    line.normal_unit_price = labels::UnitPrice(normal_price, line.quantity, fattore);
  }
  if (!q.Null(kSconto)) {
    line.sconto = q.CurrencyAt(kSconto);
  }
  if (labels::Trimmed(data::FitText(line.supplier_code, kSupplierCodeLength)).empty()) {
    line.supplier_code = data::FitText("AB" + q.TextValue(kCodart), kSupplierCodeLength);
    r.assigned_code = line.supplier_code;
  }
  testo(kProvenienza, line.provenienza);
  testo(kCategoria, line.categoria);
  r.promotion = q.Null(kPrzsal) || q.CurrencyAt(kPrzsal).ToDouble() != 0;
  if (!r.promotion) {
    return r;
  }
  line.promotion = true;
  testo(kDescrizioneTipo, line.offer_description);
  testo(kCodelettro, line.label_code);
  if (!q.Null(kPrzsal)) {
    line.price = labels::PriceTwoDecimals(q.CurrencyAt(kPrzsal).ToDouble());
    if (!q.Null(kData2)) {
      line.end_date = labels::EndDate(q.IntAt(kData2));
    }
    line.price = labels::DiscountedPrice(line.price, line.sconto);
    if (line.quantity != 0) {
      line.unit_price = labels::UnitPrice(line.price.ToDouble(), line.quantity, fattore);
    }
  }
  return r;
}

// Writes `lines` (lines already in the code page, each with its line end) with one write.
void WriteBytes(const std::string& path, const std::string& lines) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    throw FileError("pavimento: " + path + ": " + std::strerror(errno));
  }
  std::string_view resto = lines;
  while (!resto.empty()) {
    const ssize_t saved = ::write(fd, resto.data(), resto.size());
    if (saved < 0) {
      const int errore = errno;
      ::close(fd);
      throw FileError("pavimento: " + path + ": " + std::strerror(errore));
    }
    resto.remove_prefix(static_cast<std::size_t>(saved));
  }
  ::close(fd);
}

void Add(std::string& file, const labels::ImportLine& line) {
  file += platform::Utf8ToWindows1252(labels::ImportLineText(line));
  file += "\r\n";
}

}  // namespace

int Floor(const fs::path& folder) {
  platform::PosixEnv env(platform::DriveMap{{'C', folder / "c"}, {'Z', folder / "z"}}, 'C');
  SqliteHandle connect_string(DataFile(folder));
  sqlite3* db = connect_string.get();
  const std::int32_t today = data::DayNumber(BenchToday());

  Sql(db, "BEGIN IMMEDIATE");
  std::int32_t numero = 0, anno = 0, data_x = 0, data_y = 0;
  {
    SqlStatement scansione(db,
                           "SELECT numero, anno, data1, data2 FROM offte WHERE data2 < ?1 AND "
                           "stato = 'A' LIMIT 1");
    scansione.Bind(1, today);
    if (!scansione.Step()) {
      throw Error("pavimento: nessuna offerta scaduta");
    }
    numero = scansione.IntAt(0);
    anno = scansione.IntAt(1);
    data_x = scansione.IntAt(2);
    data_y = scansione.IntAt(3);
  }

  Sql(db, "DELETE FROM listipro");
  Sql(db, "CREATE TEMP TABLE ripristinati (codart INTEGER PRIMARY KEY, numpro, briga)");
  SqlStatement(db, fmt::format("INSERT OR IGNORE INTO temp.ripristinati SELECT l.codart, l.numpro, "
                               "o.briga FROM offmo o JOIN listi01 l ON l.codart = {} WHERE "
                               "o.bnumer = ?1 AND o.bannoc = ?2 AND ?3 BETWEEN l.data1 AND l.data2 "
                               "AND ?4 BETWEEN l.data1 AND l.data2 ORDER BY o.briga",
                               kArticleOfRowSql))
      .Bind(1, numero)
      .Bind(2, anno)
      .Bind(3, data_x)
      .Bind(4, data_y)
      .Run();
  Sql(db, "INSERT INTO listipro (numpro) SELECT numpro FROM temp.ripristinati ORDER BY briga");
  SqlStatement(db,
               "UPDATE listi01 SET przsal = 0, cosoff = 0, data1 = 0, data2 = 0, escludo = 0, "
               "fl2art = ' ', taglia = ' ', stapro = 'D', numpro = 0, codpro = 0, AA_offerta = 0, "
               "NR_offerta = 0, descom = ?1 WHERE codart IN (SELECT codart FROM temp.ripristinati)")
      .Bind(1, offers::kDescrizioneVuota)
      .Run();
  SqlStatement(db,
               "UPDATE codean SET soglia = 0, sconto = 0, scoval = 0, omaggio = 0, puntif = 0, "
               "mix = 0, codpro = 0, nrcard = 0, descom = ?1, przpro = 0, numpro = 0 WHERE codare "
               "IN (SELECT codart FROM temp.ripristinati)")
      .Bind(1, offers::kDescrizioneVuota)
      .Run();
  SqlStatement(db, "UPDATE offmo SET stato = 'D', bflag2 = 'R' WHERE bnumer = ?1 AND bannoc = ?2")
      .Bind(1, numero)
      .Bind(2, anno)
      .Run();

  // The label systems, with their settings carried over a Null as the program does.
  struct System {
    std::string ftp;
    std::string vexular;
    std::string folder;
  };
  std::vector<System> sistemi;
  {
    SqlStatement q(db,
                   "SELECT attivato, ftp, vexular, percorsoint FROM elettro WHERE attivato = '1'");
    std::string ftp = "0", vexular;
    while (q.Step()) {
      if (q.Null(0) || q.TextValue(0) != "1") {
        continue;
      }
      if (!q.Null(1)) {
        ftp = q.TextValue(1);
      }
      if (!q.Null(2)) {
        vexular = q.TextValue(2);
      }
      sistemi.push_back({ftp, vexular, q.TextValue(3)});
    }
  }

  std::vector<JoinedRow> lines;
  int numero_righe = 0;
  {
    SqlStatement q(
        db,
        "SELECT o.eanrig, o.sconto, l.codart, l.desart, l.codafo, l.umart, l.umquaco, "
        "l.quaco, l.ivart, l.desfor, l.desrep, l.desgru, l.dessot, l.przpub, l.przsal, "
        "l.data2, l.codpro, l.provenienza, l.categoria, u.fatxmul, t.descrizione, "
        "t.codelettro FROM offmo o JOIN listi01 l ON l.codart = o.articoli LEFT JOIN "
        "unitam u ON u.coduni = COALESCE(l.umquaco, '') LEFT JOIN offtab t ON t.codice = "
        "COALESCE(l.codpro, 0) WHERE o.bnumer = ?1 AND o.bannoc = ?2 ORDER BY o.briga");
    q.Bind(1, numero).Bind(2, anno);
    while (q.Step()) {
      lines.push_back(ReadJoinedRow(q));
    }
    SqlStatement conta(db, "SELECT count(*) FROM offmo WHERE bnumer = ?1 AND bannoc = ?2");
    conta.Bind(1, numero).Bind(2, anno);
    conta.Step();
    numero_righe = conta.IntAt(0);
  }

  for (std::size_t s = 0; s < sistemi.size(); ++s) {
    const System& system = sistemi[s];
    const std::string pulizia = labels::CleanUpPattern(system.folder);
    if (!env.FindFiles(pulizia).empty()) {
      env.DeleteFiles(pulizia);
    }
    if (numero_righe == 0) {
      continue;
    }
    // The first system served gives the articles without a supplier code theirs; the systems
    // after it read the code as stored.
    const auto riga_per = [s](const JoinedRow& r) {
      labels::ImportLine line = r.line;
      if (s > 0 && r.assigned_code) {
        line.supplier_code = data::MidText(*r.assigned_code, 3, 7);
      }
      return line;
    };
    if (labels::LayoutFromFtp(system.ftp) == labels::FileLayout::kOneFile) {
      const std::string name = labels::SingleFileName(system.folder, system.vexular, env.Now());
      std::string file;
      for (const JoinedRow& r : lines) {
        Add(file, riga_per(r));
      }
      if (!lines.empty()) {
        WriteBytes(env.NativePath(name), file);
      }
    } else {
      const std::string prezzi = labels::PriceFileName(system.folder, env.Now());
      const std::string promozioni = labels::PromotionFileName(system.folder, env.Now());
      std::string file_prezzi, file_promozioni;
      for (const JoinedRow& r : lines) {
        Add(r.promotion ? file_promozioni : file_prezzi, riga_per(r));
      }
      if (!file_prezzi.empty()) {
        WriteBytes(env.NativePath(prezzi), file_prezzi);
      }
      if (!file_promozioni.empty()) {
        WriteBytes(env.NativePath(promozioni), file_promozioni);
      }
    }
  }

  if (!sistemi.empty()) {
    // Supplier codes: the offer's rows first, while the price list still shows which lack one.
    const std::string senza_codice = "trim(substr(COALESCE(l.codafo, ''), 3, 7)) = ''";
    SqlStatement(db, fmt::format("UPDATE offmo SET codafo = substr('AB' || articoli || '{:16}', 1, "
                                 "16) WHERE bnumer = ?1 AND bannoc = ?2 AND EXISTS (SELECT 1 FROM "
                                 "listi01 l WHERE l.codart = offmo.articoli AND {})",
                                 "", senza_codice))
        .Bind(1, numero)
        .Bind(2, anno)
        .Run();
    SqlStatement(db,
                 fmt::format("UPDATE listi01 AS l SET codafo = substr('AB' || codart || '{:16}', "
                             "1, 16) WHERE codart IN (SELECT articoli FROM offmo WHERE bnumer = "
                             "?1 AND bannoc = ?2) AND {}",
                             "", senza_codice))
        .Bind(1, numero)
        .Bind(2, anno)
        .Run();
  }
  SqlStatement(db, "UPDATE offte SET stato = 'D' WHERE numero = ?1 AND anno = ?2")
      .Bind(1, numero)
      .Bind(2, anno)
      .Run();
  Sql(db, "COMMIT");
  return numero_righe;
}

}  // namespace zav5::bench
