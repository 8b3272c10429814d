#include "pavimento.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "data/value.h"
#include "errors.h"
#include "labels/nomi_file_import.h"
#include "labels/riga_import.h"
#include "labels/testi_etichette.h"
#include "labels/tracciato.h"
#include "negozio_sintetico.h"
#include "offers/disattiva.h"
#include "platform/codepage.h"
#include "platform/posix/posix_env.h"

namespace zav5::bench {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kLunghezzaCodiceFornitore = 16;

class Connessione {
 public:
  explicit Connessione(const fs::path& file) {
    // As the program opens it: for one thread, waiting for another program's lock.
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) !=
        SQLITE_OK) {
      const std::string messaggio = sqlite3_errmsg(db_);
      sqlite3_close(db_);
      throw DatabaseError("pavimento: " + file.string() + ": " + messaggio);
    }
    sqlite3_busy_timeout(db_, 5000);
  }
  ~Connessione() { sqlite3_close_v2(db_); }
  Connessione(const Connessione&) = delete;
  Connessione& operator=(const Connessione&) = delete;
  sqlite3* get() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

// One statement, run once: parameters bound in order, then its rows read with Riga().
class Istruzione {
 public:
  Istruzione(sqlite3* db, std::string_view sql) : db_(db), sql_(sql) {
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &statement_, nullptr) !=
        SQLITE_OK) {
      Fallisce();
    }
  }
  ~Istruzione() { sqlite3_finalize(statement_); }
  Istruzione(const Istruzione&) = delete;
  Istruzione& operator=(const Istruzione&) = delete;

  Istruzione& Lega(int i, std::int32_t v) {
    sqlite3_bind_int(statement_, i, v);
    return *this;
  }
  Istruzione& Lega(int i, std::string_view v) {
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
      Fallisce();
    }
    return false;
  }
  void Esegui() {
    while (Step()) {
    }
  }

  bool Null(int i) const { return sqlite3_column_type(statement_, i) == SQLITE_NULL; }
  std::string Testo(int i) const {
    const auto* testo = reinterpret_cast<const char*>(sqlite3_column_text(statement_, i));
    return testo == nullptr
               ? std::string()
               : std::string(testo, static_cast<std::size_t>(sqlite3_column_bytes(statement_, i)));
  }
  double Double(int i) const { return sqlite3_column_double(statement_, i); }
  // A CURRENCY column, as the program reads it: four decimals.
  data::Currency Valuta(int i) const { return data::Currency::FromDouble(Double(i)); }
  // A LONG, SHORT or DATETIME column as a whole number.
  std::int32_t Intero(int i) const {
    return static_cast<std::int32_t>(data::RoundHalfEven(Double(i)));
  }

 private:
  [[noreturn]] void Fallisce() const {
    throw DatabaseError(fmt::format("pavimento: {}: {}", sql_, sqlite3_errmsg(db_)));
  }

  sqlite3* db_;
  std::string sql_;
  sqlite3_stmt* statement_ = nullptr;
};

void Sql(sqlite3* db, std::string_view sql) {
  Istruzione(db, sql).Esegui();
}

// The article of an offer row: the one whose EAN is the row's eanrig fitted to 13 characters,
// else the row's own article code.
constexpr std::string_view kArticoloDellaRiga =
    "COALESCE((SELECT c.codare FROM codean c WHERE c.eanare = substr(o.eanrig || "
    "'             ', 1, 13)), o.articoli)";

// What one import line of one offer row is made of, as the join reads it.
struct JoinedRow {
  labels::RigaImport riga;
  bool promozione = false;
  // The supplier code before the label writer gave the article one; nothing when it had one.
  std::optional<std::string> codice_assegnato;
};

JoinedRow LeggiRiga(const Istruzione& q) {
  JoinedRow r;
  labels::RigaImport& riga = r.riga;
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
      target = q.Testo(i);
    }
  };
  riga.ean = data::FitText(q.Testo(kEanrig), 13);
  riga.descrizione = labels::DescrizioneArticolo(q.Testo(kDesart));
  if (!q.Null(kCodafo)) {
    riga.codice_fornitore = data::MidText(q.Testo(kCodafo), 3, 7);
  }
  std::string codice_unita;
  testo(kUmart, riga.unita_misura);
  testo(kUmquaco, codice_unita);
  if (!q.Null(kQuaco)) {
    riga.quantita = q.Double(kQuaco);
  }
  testo(kIvart, riga.iva);
  testo(kDesfor, riga.fornitore);
  testo(kDesrep, riga.reparto);
  testo(kDesgru, riga.gruppo);
  testo(kDessot, riga.sottogruppo);
  double prezzo_normale = 0;
  if (!q.Null(kPrzpub)) {
    const double przpub = q.Valuta(kPrzpub).ToDouble();
    riga.prezzo = labels::PrezzoDueDecimali(przpub);
    riga.prezzo_normale = labels::Importo(przpub);
    prezzo_normale = riga.prezzo.ToDouble();
  }
  const double fattore = q.Null(kFatxmul) ? 0 : q.Double(kFatxmul);
  if (riga.quantita != 0) {
    riga.prezzo_unitario = labels::PrezzoUnitario(riga.prezzo.ToDouble(), riga.quantita, fattore);
    riga.prezzo_unitario_normale = labels::PrezzoUnitario(prezzo_normale, riga.quantita, fattore);
  }
  if (!q.Null(kSconto)) {
    riga.sconto = q.Valuta(kSconto);
  }
  if (labels::Rifilato(data::FitText(riga.codice_fornitore, kLunghezzaCodiceFornitore)).empty()) {
    riga.codice_fornitore = data::FitText("AB" + q.Testo(kCodart), kLunghezzaCodiceFornitore);
    r.codice_assegnato = riga.codice_fornitore;
  }
  testo(kProvenienza, riga.provenienza);
  testo(kCategoria, riga.categoria);
  r.promozione = q.Null(kPrzsal) || q.Valuta(kPrzsal).ToDouble() != 0;
  if (!r.promozione) {
    return r;
  }
  riga.promozione = true;
  testo(kDescrizioneTipo, riga.descrizione_offerta);
  testo(kCodelettro, riga.codice_etichetta);
  if (!q.Null(kPrzsal)) {
    riga.prezzo = labels::PrezzoDueDecimali(q.Valuta(kPrzsal).ToDouble());
    if (!q.Null(kData2)) {
      riga.data_fine = labels::DataFine(q.Intero(kData2));
    }
    riga.prezzo = labels::PrezzoScontato(riga.prezzo, riga.sconto);
    if (riga.quantita != 0) {
      riga.prezzo_unitario = labels::PrezzoUnitario(riga.prezzo.ToDouble(), riga.quantita, fattore);
    }
  }
  return r;
}

// Writes `righe` (lines already in the code page, each with its line end) with one write.
void ScriviFile(const std::string& percorso, const std::string& righe) {
  const int fd = ::open(percorso.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    throw FileError("pavimento: " + percorso + ": " + std::strerror(errno));
  }
  std::string_view resto = righe;
  while (!resto.empty()) {
    const ssize_t scritti = ::write(fd, resto.data(), resto.size());
    if (scritti < 0) {
      const int errore = errno;
      ::close(fd);
      throw FileError("pavimento: " + percorso + ": " + std::strerror(errore));
    }
    resto.remove_prefix(static_cast<std::size_t>(scritti));
  }
  ::close(fd);
}

void Aggiungi(std::string& file, const labels::RigaImport& riga) {
  file += platform::Utf8ToWindows1252(labels::TestoRigaImport(riga));
  file += "\r\n";
}

}  // namespace

int Pavimento(const fs::path& cartella) {
  platform::PosixEnv env(platform::DriveMap{{'C', cartella / "c"}, {'Z', cartella / "z"}}, 'C');
  Connessione connessione(FileDati(cartella));
  sqlite3* db = connessione.get();
  const std::int32_t oggi = data::DayNumber(Oggi());

  Sql(db, "BEGIN IMMEDIATE");
  std::int32_t numero = 0, anno = 0, data_x = 0, data_y = 0;
  {
    Istruzione scansione(db,
                         "SELECT numero, anno, data1, data2 FROM offte WHERE data2 < ?1 AND "
                         "stato = 'A' LIMIT 1");
    scansione.Lega(1, oggi);
    if (!scansione.Step()) {
      throw Errore("pavimento: nessuna offerta scaduta");
    }
    numero = scansione.Intero(0);
    anno = scansione.Intero(1);
    data_x = scansione.Intero(2);
    data_y = scansione.Intero(3);
  }

  Sql(db, "DELETE FROM listipro");
  Sql(db, "CREATE TEMP TABLE ripristinati (codart INTEGER PRIMARY KEY, numpro, briga)");
  Istruzione(db, fmt::format("INSERT OR IGNORE INTO temp.ripristinati SELECT l.codart, l.numpro, "
                             "o.briga FROM offmo o JOIN listi01 l ON l.codart = {} WHERE "
                             "o.bnumer = ?1 AND o.bannoc = ?2 AND ?3 BETWEEN l.data1 AND l.data2 "
                             "AND ?4 BETWEEN l.data1 AND l.data2 ORDER BY o.briga",
                             kArticoloDellaRiga))
      .Lega(1, numero)
      .Lega(2, anno)
      .Lega(3, data_x)
      .Lega(4, data_y)
      .Esegui();
  Sql(db, "INSERT INTO listipro (numpro) SELECT numpro FROM temp.ripristinati ORDER BY briga");
  Istruzione(db,
             "UPDATE listi01 SET przsal = 0, cosoff = 0, data1 = 0, data2 = 0, escludo = 0, "
             "fl2art = ' ', taglia = ' ', stapro = 'D', numpro = 0, codpro = 0, AA_offerta = 0, "
             "NR_offerta = 0, descom = ?1 WHERE codart IN (SELECT codart FROM temp.ripristinati)")
      .Lega(1, offers::kDescrizioneVuota)
      .Esegui();
  Istruzione(db,
             "UPDATE codean SET soglia = 0, sconto = 0, scoval = 0, omaggio = 0, puntif = 0, "
             "mix = 0, codpro = 0, nrcard = 0, descom = ?1, przpro = 0, numpro = 0 WHERE codare "
             "IN (SELECT codart FROM temp.ripristinati)")
      .Lega(1, offers::kDescrizioneVuota)
      .Esegui();
  Istruzione(db, "UPDATE offmo SET stato = 'D', bflag2 = 'R' WHERE bnumer = ?1 AND bannoc = ?2")
      .Lega(1, numero)
      .Lega(2, anno)
      .Esegui();

  // The label systems, with their settings carried over a Null as the program does.
  struct Sistema {
    std::string ftp;
    std::string vexular;
    std::string cartella;
  };
  std::vector<Sistema> sistemi;
  {
    Istruzione q(db,
                 "SELECT attivato, ftp, vexular, percorsoint FROM elettro WHERE attivato = '1'");
    std::string ftp = "0", vexular;
    while (q.Step()) {
      if (q.Null(0) || q.Testo(0) != "1") {
        continue;
      }
      if (!q.Null(1)) {
        ftp = q.Testo(1);
      }
      if (!q.Null(2)) {
        vexular = q.Testo(2);
      }
      sistemi.push_back({ftp, vexular, q.Testo(3)});
    }
  }

  std::vector<JoinedRow> righe;
  int numero_righe = 0;
  {
    Istruzione q(db,
                 "SELECT o.eanrig, o.sconto, l.codart, l.desart, l.codafo, l.umart, l.umquaco, "
                 "l.quaco, l.ivart, l.desfor, l.desrep, l.desgru, l.dessot, l.przpub, l.przsal, "
                 "l.data2, l.codpro, l.provenienza, l.categoria, u.fatxmul, t.descrizione, "
                 "t.codelettro FROM offmo o JOIN listi01 l ON l.codart = o.articoli LEFT JOIN "
                 "unitam u ON u.coduni = COALESCE(l.umquaco, '') LEFT JOIN offtab t ON t.codice = "
                 "COALESCE(l.codpro, 0) WHERE o.bnumer = ?1 AND o.bannoc = ?2 ORDER BY o.briga");
    q.Lega(1, numero).Lega(2, anno);
    while (q.Step()) {
      righe.push_back(LeggiRiga(q));
    }
    Istruzione conta(db, "SELECT count(*) FROM offmo WHERE bnumer = ?1 AND bannoc = ?2");
    conta.Lega(1, numero).Lega(2, anno);
    conta.Step();
    numero_righe = conta.Intero(0);
  }

  for (std::size_t s = 0; s < sistemi.size(); ++s) {
    const Sistema& sistema = sistemi[s];
    const std::string pulizia = labels::ModelloPulizia(sistema.cartella);
    if (!env.FindFiles(pulizia).empty()) {
      env.DeleteFiles(pulizia);
    }
    if (numero_righe == 0) {
      continue;
    }
    // The first system served gives the articles without a supplier code theirs; the systems
    // after it read the code as stored.
    const auto riga_per = [s](const JoinedRow& r) {
      labels::RigaImport riga = r.riga;
      if (s > 0 && r.codice_assegnato) {
        riga.codice_fornitore = data::MidText(*r.codice_assegnato, 3, 7);
      }
      return riga;
    };
    if (labels::TracciatoDa(sistema.ftp) == labels::Tracciato::kFileUnico) {
      const std::string nome = labels::NomeFileUnico(sistema.cartella, sistema.vexular, env.Now());
      std::string file;
      for (const JoinedRow& r : righe) {
        Aggiungi(file, riga_per(r));
      }
      if (!righe.empty()) {
        ScriviFile(env.NativePath(nome), file);
      }
    } else {
      const std::string prezzi = labels::NomeFilePrezzi(sistema.cartella, env.Now());
      const std::string promozioni = labels::NomeFilePromozioni(sistema.cartella, env.Now());
      std::string file_prezzi, file_promozioni;
      for (const JoinedRow& r : righe) {
        Aggiungi(r.promozione ? file_promozioni : file_prezzi, riga_per(r));
      }
      if (!file_prezzi.empty()) {
        ScriviFile(env.NativePath(prezzi), file_prezzi);
      }
      if (!file_promozioni.empty()) {
        ScriviFile(env.NativePath(promozioni), file_promozioni);
      }
    }
  }

  if (!sistemi.empty()) {
    // Supplier codes: the offer's rows first, while the price list still shows which lack one.
    const std::string senza_codice = "trim(substr(COALESCE(l.codafo, ''), 3, 7)) = ''";
    Istruzione(db, fmt::format("UPDATE offmo SET codafo = substr('AB' || articoli || '{:16}', 1, "
                               "16) WHERE bnumer = ?1 AND bannoc = ?2 AND EXISTS (SELECT 1 FROM "
                               "listi01 l WHERE l.codart = offmo.articoli AND {})",
                               "", senza_codice))
        .Lega(1, numero)
        .Lega(2, anno)
        .Esegui();
    Istruzione(db, fmt::format("UPDATE listi01 AS l SET codafo = substr('AB' || codart || '{:16}', "
                               "1, 16) WHERE codart IN (SELECT articoli FROM offmo WHERE bnumer = "
                               "?1 AND bannoc = ?2) AND {}",
                               "", senza_codice))
        .Lega(1, numero)
        .Lega(2, anno)
        .Esegui();
  }
  Istruzione(db, "UPDATE offte SET stato = 'D' WHERE numero = ?1 AND anno = ?2")
      .Lega(1, numero)
      .Lega(2, anno)
      .Esegui();
  Sql(db, "COMMIT");
  return numero_righe;
}

}  // namespace zav5::bench
