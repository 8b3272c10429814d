#include "data/sqlite/sqlite_create.h"

#include <cstdio>
#include <filesystem>

#include <sqlite3.h>

#include "errors.h"

namespace zav5::data {

void CreateSqliteDatabase(const std::string& native_path, std::string_view ddl) {
  std::error_code ignored;
  if (std::filesystem::exists(native_path, ignored)) {
    throw DatabaseError("il file " + native_path + " esiste già: non lo sovrascrivo");
  }
  sqlite3* db = nullptr;
  const int opened = sqlite3_open_v2(native_path.c_str(), &db,
                                     SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  std::string failure;
  if (opened != SQLITE_OK) {
    failure = db != nullptr ? sqlite3_errmsg(db) : "memoria esaurita";
  } else {
    char* message = nullptr;
    if (sqlite3_exec(db, std::string(ddl).c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
      failure = message != nullptr ? message : "errore sconosciuto";
      sqlite3_free(message);
    }
  }
  sqlite3_close(db);
  if (!failure.empty()) {
    std::filesystem::remove(native_path, ignored);
    throw DatabaseError("creazione del database " + native_path + " non riuscita: " + failure);
  }
}

}  // namespace zav5::data
