#include "data/database.h"

#include <cstring>
#include <filesystem>
#include <fstream>

#include <fmt/format.h>

#include "data/odbc/installed_drivers.h"
#include "data/odbc/odbc_connection.h"
#include "data/sqlite/sqlite_connection.h"
#include "errors.h"
#include "platform/case_fold.h"
#include "platform/env.h"
#include "platform/utf8.h"

namespace zav5::data {

std::uint64_t Database::TableChanges(std::string_view table) const {
  const auto known = table_changes_.find(platform::FoldCase(table));
  return known == table_changes_.end() ? 0 : known->second;
}

void Database::NoteChange(std::string_view table) {
  ++table_changes_[platform::FoldCase(table)];
}

FileSignature ReadSignature(const std::string& native_path) {
  std::ifstream in(platform::Utf8ToPath(native_path), std::ios::binary);
  if (!in) {
    return FileSignature::kUnknown;
  }
  char header[20] = {};
  in.read(header, sizeof header);
  const std::streamsize size = in.gcount();
  if (size == 0) {
    return FileSignature::kEmpty;
  }
  if (size >= 16 && std::memcmp(header, "SQLite format 3\0", 16) == 0) {
    return FileSignature::kSqlite;
  }
  // Jet (Access 97 to 2003) and ACE (Access 2007 on) files: the engine's name after 4 bytes.
  if (size >= 19 && (std::memcmp(header + 4, "Standard Jet DB", 15) == 0 ||
                     std::memcmp(header + 4, "Standard ACE DB", 15) == 0)) {
    return FileSignature::kJet;
  }
  return FileSignature::kUnknown;
}

std::string OdbcConnectionString(const EngineOptions& options, std::string_view native_path) {
  std::string path(native_path);
  if (path.find_first_of(";{}") != std::string::npos) {
    std::string braced = "{";
    for (const char c : path) {
      braced += c;
      if (c == '}') {
        braced += '}';
      }
    }
    path = braced + "}";
  }
  if (options.odbc_connection.empty()) {
    // "DBQ" in capitals: MDB Tools' driver knows the key only so; ODBC's keys are otherwise read
    // in any case.
    return fmt::format("Driver={{{}}};DBQ={};", options.driver_access, path);
  }
  std::string text = options.odbc_connection;
  for (std::size_t at = text.find("{path}"); at != std::string::npos;
       at = text.find("{path}", at + path.size())) {
    text.replace(at, 6, path);
  }
  return text;
}

std::string AccessDriverBuildAdvice(int bits) {
  if (bits == 64) {
    return "il driver non è installato per i programmi a 64 bit: questo è lo zav5.exe a 64 bit; "
           "quello a 32 bit usa il driver che Windows ha";
  }
  return "il driver non è installato per i programmi a 32 bit: questo è lo zav5.exe a 32 bit; "
         "quello a 64 bit usa il driver del Microsoft Access Database Engine a 64 bit";
}

std::shared_ptr<Database> DbEngine::OpenDatabase(std::string_view path) {
  if (const auto known = by_path_.find(path); known != by_path_.end()) {
    return known->second;
  }
  std::string native;
  try {
    native = env_.NativePath(path);
  } catch (const FileError& error) {
    throw DatabaseError(fmt::format("il database {} non è raggiungibile: {}", path, error.what()));
  }
  if (auto open = open_.find(native); open != open_.end()) {
    by_path_.emplace(std::string(path), open->second);
    return open->second;
  }

  // Messages name the path the program knows and, where it differs, the file it is here.
  const std::string where =
      native == path ? std::string(path) : fmt::format("{} ({})", path, native);
  std::error_code ignored;
  const std::filesystem::file_status status = std::filesystem::status(native, ignored);
  if (!std::filesystem::exists(status)) {
    throw DatabaseError(fmt::format("il database {} non esiste", where));
  }
  if (!std::filesystem::is_regular_file(status)) {
    throw DatabaseError(fmt::format("{} non è un file: non è un database", where));
  }
  const FileSignature signature = ReadSignature(native);
  if (signature == FileSignature::kEmpty) {
    throw DatabaseError(fmt::format("il file {} è vuoto, non è un database", where));
  }
  // A site that routes its databases through ODBC lets its driver judge the file.
  const bool odbc = !options_.odbc_connection.empty() || signature == FileSignature::kJet;
  if (!odbc && signature != FileSignature::kSqlite) {
    throw DatabaseError(fmt::format("il file {} non è un database SQLite né Access", where));
  }

  std::unique_ptr<Connection> connection;
  try {
    if (odbc) {
      connection =
          OpenOdbcConnection(OdbcConnectionString(options_, native), waits_, options_.odbc_profile);
    } else {
      connection = std::make_unique<SqliteConnection>(native, waits_);
    }
  } catch (const DatabaseError& error) {
    if (signature == FileSignature::kJet && options_.odbc_connection.empty()) {
      std::string message =
          fmt::format("aprendo il database Access (Jet) {} con il driver ODBC {}: {}", path,
                      options_.driver_access, error.what());
#ifdef _WIN32
      if (odbc::DriverInstalled(options_.driver_access) == false) {
        message += fmt::format(" ({})", AccessDriverBuildAdvice(sizeof(void*) == 4 ? 32 : 64));
      }
#endif
      throw DatabaseError(message);
    }
    throw DatabaseError(fmt::format("aprendo il database {}: {}", path, error.what()));
  }
  if (options_.wrap_connection) {
    connection = options_.wrap_connection(std::move(connection));
  }
  auto database = std::make_shared<Database>(std::string(path), std::move(connection));
  open_.emplace(native, database);
  by_path_.emplace(std::string(path), database);
  return database;
}

}  // namespace zav5::data
