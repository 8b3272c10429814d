#include "support/negozio_prova.h"

#include <sqlite3.h>

#include <algorithm>
#include <stdexcept>

#include "schema_texts.h"
#include "support/motore_di_prova.h"
#include "support/temp_dir.h"

namespace zav5::testing {

namespace {

// The program's data sources that the cycle's scan and the offer and label operations use.
constexpr std::string_view kSorgenti[] = {"var2",  "listipro", "data3",  "Data2", "elettro",
                                          "Data1", "listi01",  "unita2", "offtab"};

sqlite3* Open(const std::filesystem::path& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(Utf8Path(path).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw std::runtime_error("cannot open " + path.string());
  }
  sqlite3_busy_timeout(db, 5000);
  return db;
}

}  // namespace

NegozioProva::NegozioProva(std::string_view rows) : NegozioProva(rows, {}) {}

NegozioProva::NegozioProva(std::string_view rows, data::OpzioniMotore motore)
    : env_(platform::DriveMap{{'C', dir_.path() / "c"}, {'Z', dir_.path() / "z"}}, 'C'),
      engine_(env_,
              [&motore] {
                const data::OpzioniMotore prova = MotoreDiProva();
                if (!prova.connessione_odbc.empty() || motore.connessione_odbc.empty()) {
                  motore.connessione_odbc = prova.connessione_odbc;
                  motore.profilo_odbc = prova.profilo_odbc;
                }
                return std::move(motore);
              }()),
      sorgenti_(engine_),
      consegne_(env_, labels::CartellaConsegne('C')),
      finestra_{env_, engine_, sorgenti_, contesto_, consegne_, ftp_, vexular_} {
  for (const char* folder : {"c/sulvo/bkp", "c/sulvo/neg01", "c/sulvo/esl", "z"}) {
    dir_.MakeDir(folder);
  }
  CreateSqliteFile(DriveC() / "sulvo" / "neg01" / "dati.mdb", schema::k_negozio, rows);
  contesto_.PercorsoDati = kPercorsoDati;
  for (std::string_view name : kSorgenti) {
    sorgenti_.Aggiungi(name, "Data3");
  }
}

void NegozioProva::Consegna(std::int32_t numero, std::int32_t anno, startup::RunLog* log) {
  consegne_.Conferma(contesto_.PercorsoDati, numero, anno);
  std::vector<labels::SistemaEtichette> sistemi;
  for (const labels::Consegna& consegna : consegne_.InAttesa(contesto_.PercorsoDati)) {
    sistemi.push_back(consegna.sistema);
  }
  startup::RunLog senza_file(env_);
  consegne_.ConsegnaTutte(
      contesto_.PercorsoDati, [&sistemi]() -> const auto& { return sistemi; },
      log != nullptr ? *log : senza_file);
}

void NegozioProva::Sql(std::string_view sql) const {
  sqlite3* db = Open(DriveC() / "sulvo" / "neg01" / "dati.mdb");
  char* message = nullptr;
  const int rc = sqlite3_exec(db, std::string(sql).c_str(), nullptr, nullptr, &message);
  const std::string text = message != nullptr ? message : "";
  sqlite3_free(message);
  sqlite3_close(db);
  if (rc != SQLITE_OK) {
    throw std::runtime_error("SQL failed: " + text);
  }
}

std::vector<std::string> NegozioProva::Righe(std::string_view sql) const {
  sqlite3* db = Open(DriveC() / "sulvo" / "neg01" / "dati.mdb");
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v2(db, std::string(sql).c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    const std::string text = sqlite3_errmsg(db);
    sqlite3_close(db);
    throw std::runtime_error("SQL failed: " + text);
  }
  std::vector<std::string> rows;
  while (sqlite3_step(statement) == SQLITE_ROW) {
    std::string row;
    for (int i = 0; i < sqlite3_column_count(statement); ++i) {
      if (i > 0) {
        row += '|';
      }
      if (sqlite3_column_type(statement, i) == SQLITE_NULL) {
        row += "NULL";
      } else {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, i));
        row.append(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, i)));
      }
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return rows;
}

std::vector<std::string> NegozioProva::File(std::string_view relative) const {
  std::vector<std::string> names;
  if (!std::filesystem::is_directory(dir_.path() / relative)) {
    return names;
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir_.path() / relative)) {
    if (entry.is_regular_file()) {
      names.push_back(entry.path().filename().string());
    }
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace zav5::testing
