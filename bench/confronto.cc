#include "confronto.h"

#include <sqlite3.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include <fmt/format.h>

#include "errors.h"
#include "negozio_sintetico.h"

namespace zav5::bench {

namespace fs = std::filesystem;

namespace {

class StoreReader {
 public:
  explicit StoreReader(const fs::path& file) {
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
      sqlite3_close(db_);
      throw DatabaseError("confronto: " + file.string() + " non aperto");
    }
  }
  ~StoreReader() { sqlite3_close(db_); }
  StoreReader(const StoreReader&) = delete;
  StoreReader& operator=(const StoreReader&) = delete;

  // The rows of `sql`, each its columns as text joined by "|".
  std::vector<std::string> Righe(const std::string& sql) const {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      throw DatabaseError("confronto: " + sql + ": " + sqlite3_errmsg(db_));
    }
    std::vector<std::string> righe;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
      std::string riga;
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        const auto* testo = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
        if (i > 0) {
          riga.push_back('|');
        }
        riga.append(testo == nullptr ? "NULL" : testo);
      }
      righe.push_back(std::move(riga));
    }
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE) {
      throw DatabaseError("confronto: " + sql + ": " + sqlite3_errmsg(db_));
    }
    return righe;
  }

 private:
  sqlite3* db_ = nullptr;
};

std::string Quota(std::string_view nome) {
  std::string quotato;
  quotato.reserve(nome.size() + 2);
  quotato.push_back('"');
  quotato.append(nome);
  quotato.push_back('"');
  return quotato;
}

void ConfrontaTabelle(const fs::path& a, const fs::path& b, std::vector<std::string>& differenze) {
  const StoreReader db(FileDati(a));
  db.Righe("ATTACH DATABASE " + Quota(FileDati(b).string()) + " AS altro");
  for (const std::string& tabella : db.Righe(
           "SELECT name FROM main.sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' "
           "ORDER BY name")) {
    std::string riga;
    for (const std::string& colonna :
         db.Righe("SELECT name FROM pragma_table_info(" + Quota(tabella) + ")")) {
      riga += (riga.empty() ? "" : " || '|' || ") +
              ("typeof(" + Quota(colonna) + ") || ':' || hex(" + Quota(colonna) + ")");
    }
    // Each distinct row with the number of times it occurs.
    const auto righe = [&](std::string_view schema) {
      return "SELECT " + riga + " AS r, count(*) AS n FROM " + std::string(schema) + "." +
             Quota(tabella) + " GROUP BY r";
    };
    const auto solo = [&](std::string_view uno, std::string_view altro) {
      return db.Righe("SELECT n || 'x ' || r FROM (" + righe(uno) + " EXCEPT " + righe(altro) +
                      ") LIMIT 3");
    };
    for (const std::string& r : solo("main", "altro")) {
      differenze.push_back(fmt::format("{}: solo in {}: {}", tabella, a.string(), r));
    }
    for (const std::string& r : solo("altro", "main")) {
      differenze.push_back(fmt::format("{}: solo in {}: {}", tabella, b.string(), r));
    }
  }
}

std::string Leggi(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The files under `radice` but the store database and the program's own outbox (its records of
// the deliveries, which the floor has no need of), by their path with the time stamp left out.
std::map<std::string, fs::path> File(const fs::path& radice) {
  static const std::regex kTimbro("[0-9]{14}");
  const fs::path dati = FileDati(radice);
  const fs::path uscita = radice / "c" / "dorn" / "zav5";
  std::map<std::string, fs::path> file;
  for (const auto& voce : fs::recursive_directory_iterator(radice)) {
    const bool in_uscita = voce.path().string().starts_with(uscita.string());
    if (voce.is_regular_file() && voce.path() != dati && !in_uscita) {
      const std::string relativo = fs::relative(voce.path(), radice).string();
      file.emplace(std::regex_replace(relativo, kTimbro, "<timbro>"), voce.path());
    }
  }
  return file;
}

void ConfrontaFile(const fs::path& a, const fs::path& b, std::vector<std::string>& differenze) {
  const std::map<std::string, fs::path> file_a = File(a);
  const std::map<std::string, fs::path> file_b = File(b);
  for (const auto& [nome, percorso] : file_a) {
    const auto altro = file_b.find(nome);
    if (altro == file_b.end()) {
      differenze.push_back("file solo in " + a.string() + ": " + nome);
    } else if (Leggi(percorso) != Leggi(altro->second)) {
      differenze.push_back("file diversi: " + nome);
    }
  }
  for (const auto& [nome, percorso] : file_b) {
    if (!file_a.contains(nome)) {
      differenze.push_back("file solo in " + b.string() + ": " + nome);
    }
  }
}

}  // namespace

std::vector<std::string> Differenze(const fs::path& a, const fs::path& b) {
  std::vector<std::string> differenze;
  ConfrontaTabelle(a, b, differenze);
  ConfrontaFile(a, b, differenze);
  return differenze;
}

}  // namespace zav5::bench
