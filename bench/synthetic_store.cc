#include "synthetic_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <fstream>
#include <string_view>
#include <vector>

#include <fmt/format.h>
#include <sqlite3.h>

#include "data/sqlite/sqlite_create.h"
#include "data/value_calendar.h"
#include "errors.h"
#include "labels/hand_over_script.h"
#include "schema_texts.h"

namespace zav5::bench {

namespace fs = std::filesystem;

namespace {

struct Product {
  std::string_view descrizione;
  std::string_view department;
  std::string_view group;
  std::string_view unit;
  double quantity;
  double price;
  std::string_view vat_code;
};

constexpr std::array<Product, 12> kProducts = {{
    {"SPAGHETTI N.5", "ALIMENTARI", "PASTA", "GR", 500, 0.89, "04"},
    {"RISO CARNAROLI", "ALIMENTARI", "RISO", "KG", 1, 2.49, "04"},
    {"OLIO EXTRAVERGINE DI OLIVA", "ALIMENTARI", "CONDIMENTI", "LT", 1, 7.90, "04"},
    {"TONNO ALL'OLIO DI OLIVA 3X80G", "ALIMENTARI", "CONSERVE", "GR", 240, 3.49, "10"},
    {"CAFFE' MACINATO MOKA", "DROGHERIA", "CAFFE'", "GR", 250, 3.29, "22"},
    {"BISCOTTI FROLLINI", "DROGHERIA", "DOLCIARIO", "GR", 350, 1.89, "10"},
    {"LATTE INTERO UHT", "FRESCHI", "LATTICINI", "LT", 1, 1.19, "04"},
    {"PARMIGIANO REGGIANO 24 MESI", "FRESCHI", "FORMAGGI", "GR", 300, 16.90, "04"},
    {"ACQUA MINERALE NATURALE 6X1,5L", "BEVANDE", "ACQUE", "LT", 9, 1.99, "22"},
    {"VINO ROSSO DOC", "BEVANDE", "VINI", "ML", 750, 4.90, "22"},
    {"DETERSIVO LAVATRICE 25 LAVAGGI", "IGIENE CASA", "DETERSIVI", "PZ", 1, 5.99, "22"},
    {"CARTA IGIENICA 8 ROTOLI", "IGIENE CASA", "CARTA", "PZ", 0, 3.19, "22"},
}};

constexpr std::array<std::string_view, 6> kSuppliers = {
    "DISTRIBUZIONE NORD SRL",    "BUONGUSTO ALIMENTARE SPA", "COOPERATIVA VALLE VERDE",
    "CASA NOSTRA INDUSTRIE SPA", "F.LLI BIANCHI & C. SNC",   "SELEZIONE ORO GOURMET SRL",
};

constexpr std::int32_t kFirstArticle = 100001;
// The running offer that took over the articles of the odd rows.
constexpr std::int32_t kNextOffer = 600;

// An EAN-13 of the store's own range: variant, article code, check digit.
std::string Ean(std::int32_t article, int variante) {
  const std::string dodici = fmt::format("2{}{:010}", variante, article);
  int somma = 0;
  for (std::size_t i = 0; i < dodici.size(); ++i) {
    const int cifra = dodici[i] - '0';
    somma += (i % 2 == 0) ? cifra : 3 * cifra;
  }
  return dodici + static_cast<char>('0' + (10 - somma % 10) % 10);
}

double RoundToCents(double valore) {
  return std::round(valore * 100) / 100;
}

// One prepared statement of the generator.
class SqlStatement {
 public:
  SqlStatement(sqlite3* db, std::string_view sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &statement_, nullptr) !=
        SQLITE_OK) {
      throw DatabaseError(fmt::format("negozio sintetico: {}: {}", sql, sqlite3_errmsg(db)));
    }
  }
  ~SqlStatement() { sqlite3_finalize(statement_); }
  SqlStatement(const SqlStatement&) = delete;
  SqlStatement& operator=(const SqlStatement&) = delete;

  // Binds the values in order (std::nullptr_t: Null) and runs the statement.
  template <typename... Valori>
  void operator()(const Valori&... valori) {
    int index = 0;
    (Bind(++index, valori), ...);
    if (sqlite3_step(statement_) != SQLITE_DONE) {
      throw DatabaseError(fmt::format("negozio sintetico: {}", sqlite3_errmsg(db_)));
    }
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }

 private:
  void Bind(int i, std::nullptr_t) { sqlite3_bind_null(statement_, i); }
  void Bind(int i, int v) { sqlite3_bind_int(statement_, i, v); }
  void Bind(int i, double v) { sqlite3_bind_double(statement_, i, v); }
  void Bind(int i, std::string_view v) {
    sqlite3_bind_text(statement_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void Bind(int i, const std::string& v) { Bind(i, std::string_view(v)); }
  void Bind(int i, const char* v) { Bind(i, std::string_view(v)); }
  // A text that may be Null.
  void Bind(int i, const std::string* v) {
    if (v != nullptr) {
      Bind(i, *v);
    } else {
      Bind(i, nullptr);
    }
  }

  sqlite3* db_;
  sqlite3_stmt* statement_ = nullptr;
};

void Run(sqlite3* db, const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    const std::string testo = message != nullptr ? message : "errore";
    sqlite3_free(message);
    throw DatabaseError("negozio sintetico: " + testo);
  }
}

void WriteBytes(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  if (!out.flush()) {
    throw FileError("file " + path.string() + " non scritto");
  }
}

// What the offer row `line` (from 0) names.
struct OfferRow {
  std::int32_t article;
  bool restored;  // the article's promotion is the expired offer
};

OfferRow OfferRowAt(const Sizes& d, int line) {
  // Spread over the whole price list, as an offer's articles are.
  const std::int64_t row_step = d.articoli / d.rows;
  return {kFirstArticle + static_cast<std::int32_t>(line * row_step), line % 2 == 0};
}

void Fill(sqlite3* db, const Sizes& d) {
  const std::int32_t today = data::DayNumber(BenchToday());
  const std::int32_t inizio = today - 15;
  const std::int32_t end_day = today - 1;

  Run(db,
      "INSERT INTO unitam VALUES ('KG', 'CHILOGRAMMO', 1), ('GR', 'GRAMMO', 1000),"
      " ('LT', 'LITRO', 1), ('ML', 'MILLILITRO', 1000), ('PZ', 'PEZZO', 1);"
      "INSERT INTO offtab VALUES (1, 'SOTTOCOSTO', 'S'), (2, 'VOLANTINO', 'V'),"
      " (3, 'PREZZI BLOCCATI', 'B');"
      "INSERT INTO elettro VALUES (1, 'ETICHETTE CORSIE', '1', '0', NULL, 'C:\\sulvo\\'),"
      " (2, 'ETICHETTE BANCO FRESCHI', '1', '1', 'ESL', 'C:\\sulvo\\esl\\'),"
      " (3, 'VECCHIO IMPIANTO', '0', '0', NULL, 'C:\\sulvo\\old\\');");
  Run(db, fmt::format("INSERT INTO offte VALUES ({}, {}, 'VOLANTINO SCADUTO', {}, {}, 'A'),"
                      " ({}, {}, 'VOLANTINO IN CORSO', {}, {}, 'A'),"
                      " (400, {}, 'VOLANTINO VECCHIO', {}, {}, 'D');",
                      kBenchOfferNumber, kOfferYear, inizio, end_day, kNextOffer, kOfferYear,
                      inizio + 5, today + 20, kOfferYear, inizio - 60, inizio - 30));
  // The numbers the previous deactivation recorded.
  SqlStatement listipro(db, "INSERT INTO listipro (numpro) VALUES (?)");
  for (int i = 0; i < 50; ++i) {
    listipro(400);
  }

  // Which articles the offer's rows name, and how.
  std::vector<int> riga_di(static_cast<std::size_t>(d.articoli), -1);
  for (int r = 0; r < d.rows; ++r) {
    riga_di[static_cast<std::size_t>(OfferRowAt(d, r).article - kFirstArticle)] = r;
  }

  SqlStatement article(
      db,
      "INSERT INTO listi01 (codart, desart, przpub, przsal, cosoff, data1, data2, escludo, fl2art,"
      " taglia, stapro, numpro, codpro, AA_offerta, NR_offerta, descom, codafo, umart, umquaco,"
      " quaco, ivart, desfor, desrep, desgru, dessot, provenienza, categoria) VALUES"
      " (?, ?, ?, ?, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  SqlStatement ean(
      db,
      "INSERT INTO codean (eanare, codare, soglia, sconto, scoval, omaggio, puntif, mix,"
      " codpro, nrcard, descom, przpro, numpro) VALUES"
      " (?, ?, ?, 0, 0, 0, 0, 0, ?, 0, ?, ?, ?)");
  for (int i = 0; i < d.articoli; ++i) {
    const std::int32_t codice = kFirstArticle + i;
    const Product& p = kProducts[static_cast<std::size_t>(i) % kProducts.size()];
    const std::string_view supplier = kSuppliers[static_cast<std::size_t>(i / 7) % 6];
    const double price = RoundToCents(p.price * (1 + (i % 40) / 20.0));
    const std::string descrizione = fmt::format("{} {}", p.descrizione, codice);
    const std::string codafo = fmt::format("F{:02}{:07}", i % 10, 3000000 + i);
    const int line = riga_di[static_cast<std::size_t>(i)];

    // Not on promotion, or on the expired offer (even rows), or on the later one (odd rows).
    double przsal = 0, cosoff = 0;
    int data1 = 0, data2 = 0, numpro = 0, codpro = 0, aa = 0;
    std::string stapro = " ", descom;
    if (line >= 0) {
      const bool scaduta = line % 2 == 0;
      przsal = RoundToCents(price * 0.8);
      cosoff = RoundToCents(price * 0.6);
      data1 = scaduta ? inizio : inizio + 5;
      data2 = scaduta ? end_day : today + 20;
      numpro = scaduta ? kBenchOfferNumber : kNextOffer;
      codpro = 1 + line % 3;
      aa = kOfferYear;
      stapro = "A";
      descom = scaduta ? "VOLANTINO SCADUTO" : "VOLANTINO IN CORSO";
    }
    const std::string* descom_o_null = descom.empty() ? nullptr : &descom;
    const std::string* codafo_o_null = i % 7 == 3 ? nullptr : &codafo;
    article(codice, descrizione, price, przsal, cosoff, data1, data2, " ", " ", stapro, numpro,
            codpro, aa, numpro, descom_o_null, codafo_o_null, p.unit, p.unit, p.quantity,
            p.vat_code, supplier, p.department, p.group, p.descrizione,
            i % 3 == 0 ? "ITALIA" : "UE", i % 2 == 0 ? "I" : "II");
    for (int variante = 0; variante < 2; ++variante) {
      if (line >= 0) {
        ean(Ean(codice, variante), codice, 10.0, codpro, descom, przsal, numpro);
      } else {
        ean(Ean(codice, variante), codice, 0.0, 0, nullptr, 0.0, 0);
      }
    }
  }

  SqlStatement offmo(db,
                     "INSERT INTO offmo (bnumer, bannoc, briga, eanrig, articoli, sconto, codafo,"
                     " stato, bflag2) VALUES (?, ?, ?, ?, ?, ?, NULL, 'A', ' ')");
  for (int r = 0; r < d.rows; ++r) {
    const std::int32_t codice = OfferRowAt(d, r).article;
    // Most rows by the article's first EAN; some by its second, some by one codean lacks (the
    // row's own article code counts then).
    const std::string eanrig = r % 100 == 7  ? fmt::format("299{:010}", codice)
                               : r % 10 == 3 ? Ean(codice, 1)
                                             : Ean(codice, 0);
    offmo(kBenchOfferNumber, kOfferYear, r + 1, eanrig, codice, r % 4 == 1 ? 10.0 : 0.0);
  }
}

// The number `sql` gives.
std::int64_t NumberFrom(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK ||
      sqlite3_step(statement) != SQLITE_ROW) {
    const std::string message = sqlite3_errmsg(db);
    sqlite3_finalize(statement);
    throw DatabaseError(fmt::format("negozio sintetico: {}: {}", sql, message));
  }
  const std::int64_t numero = sqlite3_column_int64(statement, 0);
  sqlite3_finalize(statement);
  return numero;
}

}  // namespace

std::string Schema(Keys keys) {
  std::string schema = schema::k_negozio;
  if (keys == Keys::kWithKeys) {
    return schema;
  }
  // Only within the table's own CREATE TABLE.
  const auto togli = [&schema](std::string_view tabella, std::string_view clausola) {
    const std::size_t inizio = schema.find(fmt::format("CREATE TABLE {} (", tabella));
    const std::size_t end_day = schema.find(");", inizio);
    const std::size_t at = schema.find(clausola, inizio);
    if (inizio == std::string::npos || end_day == std::string::npos || at == std::string::npos ||
        at > end_day) {
      throw Error(fmt::format("negozio sintetico: nello schema la tabella {} non ha \"{}\"",
                              tabella, clausola));
    }
    schema.erase(at, clausola.size());
  };
  togli("codean", " PRIMARY KEY");
  togli("offmo", ",\n  PRIMARY KEY (bnumer, bannoc, briga)");
  schema +=
      "\nCREATE INDEX codean_eanare ON codean (eanare);\n"
      "CREATE INDEX offmo_offerta ON offmo (bnumer, bannoc);\n";
  return schema;
}

std::string Sizes::Name() const {
  return fmt::format("a{}_r{}", articoli, rows);
}

std::chrono::year_month_day BenchToday() {
  using namespace std::chrono;
  return year{2026} / December / 7;
}

fs::path DataFile(const fs::path& folder) {
  return folder / "c" / "sulvo" / "neg01" / "dati.mdb";
}

void CreateStore(const fs::path& folder, const Sizes& d, Keys keys) {
  if (d.rows <= 0 || d.rows > d.articoli) {
    throw Error(fmt::format("negozio sintetico: {} righe per {} articoli", d.rows, d.articoli));
  }
  for (const char* sotto : {"c/sulvo/bkp", "c/sulvo/neg01", "c/sulvo/esl", "z"}) {
    fs::create_directories(folder / sotto);
  }
  const fs::path dati = DataFile(folder);
  data::CreateSqliteDatabase(dati.string(), Schema(keys));

  sqlite3* db = nullptr;
  if (sqlite3_open_v2(dati.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw DatabaseError("negozio sintetico: " + dati.string() + " non aperto");
  }
  try {
    // What tells a key to the backends: a primary key, a unique index.
    const std::int64_t chiavi_trovate =
        NumberFrom(db,
                   "SELECT (SELECT count(*) FROM pragma_table_info('codean') WHERE pk > 0)"
                   " + (SELECT count(*) FROM pragma_table_info('offmo') WHERE pk > 0)"
                   " + (SELECT count(*) FROM pragma_index_list('codean') WHERE \"unique\")"
                   " + (SELECT count(*) FROM pragma_index_list('offmo') WHERE \"unique\")");
    if ((chiavi_trovate == 0) != (keys == Keys::kWithoutKeys)) {
      throw Error(fmt::format("negozio sintetico: offmo e codean hanno {} chiavi", chiavi_trovate));
    }
    Run(db, "BEGIN");
    Fill(db, d);
    Run(db, "COMMIT");
  } catch (...) {
    sqlite3_close(db);
    throw;
  }
  sqlite3_close(db);

  std::string copia;
  for (std::string_view line : labels::kCopyScriptLines) {
    copia += std::string(line) + "\r\n";
  }
  WriteBytes(folder / "c" / "sulvo" / "frontalini.bat", copia);
  WriteBytes(folder / "c" / "sulvo" / "comandoP.bat",
             "cd\\sulvo\\esl\r\ncopy ESL*.txt Z:\\*.*\r\nif not errorlevel 1 del ESL*.txt\r\n");
}

void CopyStore(const fs::path& modello, const fs::path& copia) {
  fs::remove_all(copia);
  fs::create_directories(copia.parent_path());
  fs::copy(modello, copia, fs::copy_options::recursive);
  const fs::path dati = DataFile(copia);
  const int fd = ::open(dati.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || ::fsync(fd) != 0) {
    if (fd >= 0) {
      ::close(fd);
    }
    throw FileError("copia del negozio: " + dati.string() + " non scritto sul disco");
  }
  ::close(fd);
}

}  // namespace zav5::bench
