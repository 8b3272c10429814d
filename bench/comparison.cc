#include "comparison.h"

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include <fmt/format.h>
#include <sqlite3.h>

#include "errors.h"
#include "synthetic_store.h"

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
  std::vector<std::string> QueryRows(const std::string& sql) const {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
      throw DatabaseError("confronto: " + sql + ": " + sqlite3_errmsg(db_));
    }
    std::vector<std::string> lines;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
      std::string line;
      for (int i = 0; i < sqlite3_column_count(statement); ++i) {
        const auto* testo = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
        if (i > 0) {
          line.push_back('|');
        }
        line.append(testo == nullptr ? "NULL" : testo);
      }
      lines.push_back(std::move(line));
    }
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE) {
      throw DatabaseError("confronto: " + sql + ": " + sqlite3_errmsg(db_));
    }
    return lines;
  }

 private:
  sqlite3* db_ = nullptr;
};

std::string QuoteIdentifier(std::string_view name) {
  std::string quotato;
  quotato.reserve(name.size() + 2);
  quotato.push_back('"');
  quotato.append(name);
  quotato.push_back('"');
  return quotato;
}

void CompareTables(const fs::path& a, const fs::path& b, std::vector<std::string>& differenze) {
  const StoreReader db(DataFile(a));
  db.QueryRows("ATTACH DATABASE " + QuoteIdentifier(DataFile(b).string()) + " AS altro");
  for (const std::string& tabella : db.QueryRows(
           "SELECT name FROM main.sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' "
           "ORDER BY name")) {
    std::string line;
    for (const std::string& colonna :
         db.QueryRows("SELECT name FROM pragma_table_info(" + QuoteIdentifier(tabella) + ")")) {
      line += (line.empty() ? "" : " || '|' || ") +
              ("typeof(" + QuoteIdentifier(colonna) + ") || ':' || hex(" +
               QuoteIdentifier(colonna) + ")");
    }
    // Each distinct row with the number of times it occurs.
    const auto lines = [&](std::string_view schema) {
      return "SELECT " + line + " AS r, count(*) AS n FROM " + std::string(schema) + "." +
             QuoteIdentifier(tabella) + " GROUP BY r";
    };
    const auto solo = [&](std::string_view uno, std::string_view altro) {
      return db.QueryRows("SELECT n || 'x ' || r FROM (" + lines(uno) + " EXCEPT " + lines(altro) +
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

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The files under `radice` but the store database and the program's own outbox (its records of
// the deliveries, which the floor has no need of), by their path with the time stamp left out.
std::map<std::string, fs::path> File(const fs::path& radice) {
  static const std::regex kTimbro("[0-9]{14}");
  const fs::path dati = DataFile(radice);
  const fs::path output = radice / "c" / "dorn" / "zav5";
  std::map<std::string, fs::path> file;
  for (const auto& voce : fs::recursive_directory_iterator(radice)) {
    const bool in_uscita = voce.path().string().starts_with(output.string());
    if (voce.is_regular_file() && voce.path() != dati && !in_uscita) {
      const std::string relativo = fs::relative(voce.path(), radice).string();
      file.emplace(std::regex_replace(relativo, kTimbro, "<timbro>"), voce.path());
    }
  }
  return file;
}

void CompareFiles(const fs::path& a, const fs::path& b, std::vector<std::string>& differenze) {
  const std::map<std::string, fs::path> file_a = File(a);
  const std::map<std::string, fs::path> file_b = File(b);
  for (const auto& [name, path] : file_a) {
    const auto altro = file_b.find(name);
    if (altro == file_b.end()) {
      differenze.push_back("file solo in " + a.string() + ": " + name);
    } else if (ReadAll(path) != ReadAll(altro->second)) {
      differenze.push_back("file diversi: " + name);
    }
  }
  for (const auto& [name, path] : file_b) {
    if (!file_a.contains(name)) {
      differenze.push_back("file solo in " + b.string() + ": " + name);
    }
  }
}

}  // namespace

std::vector<std::string> Differences(const fs::path& a, const fs::path& b) {
  std::vector<std::string> differenze;
  CompareTables(a, b, differenze);
  CompareFiles(a, b, differenze);
  return differenze;
}

}  // namespace zav5::bench
