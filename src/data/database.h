// Databases and the one connection per file that every data source and cursor shares.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "data/attesa_blocchi.h"
#include "data/backend.h"
#include "data/odbc/driver_profile.h"

namespace zav5::platform {
class Env;
}

namespace zav5::data {

// One open database file. Every data source and table cursor that names the same file shares it,
// so that the file is opened once and one piece of work can be one transaction.
class Database {
 public:
  Database(std::string path, std::unique_ptr<Connection> connection)
      : path_(std::move(path)), connection_(std::move(connection)) {}

  // The path the database was opened with (a Windows path).
  const std::string& Name() const { return path_; }
  Connection& connection() { return *connection_; }

  void BeginTrans() { connection_->BeginTransaction(); }
  void CommitTrans() { connection_->Commit(); }
  void Rollback() { connection_->Rollback(); }

 private:
  std::string path_;
  std::unique_ptr<Connection> connection_;
};

// How database files are reached.
struct OpzioniMotore {
  // The ODBC driver that opens Access (Jet) files.
  std::string driver_access = "Microsoft Access Driver (*.mdb)";
  // When not empty, every database is opened through ODBC with this connection string, in which
  // "{path}" stands for the file's path on this machine.
  std::string connessione_odbc;
  // How long the program waits for the locks that other programs hold (see AttesaBlocchi): each
  // wait outside a processing cycle, and all the waits of one cycle together. Through ODBC the
  // driver waits by its own settings; a cycle's statements get the time left as their query
  // timeout, where the driver has one.
  std::chrono::milliseconds attesa_blocchi{5000};
  // When set, says whether a stop of the program has been asked for (it must return at once): a
  // cycle's wait for a lock then gives up, and the cycle fails and rolls back. Through ODBC the
  // driver's waits do not ask it.
  std::function<bool()> fermata;
  // When set, every connection opened passes through it: it may wrap the connection in one of its
  // own (tests put faults in the way; a site could trace the statements).
  std::function<std::unique_ptr<Connection>(std::unique_ptr<Connection>)> avvolgi;
  // What ODBC connections take of their driver (tests run a driver as if it were Access's).
  DriverProfile profilo_odbc = DriverProfile::kAsProbed;
};

// The ODBC connection string for the database file at `native_path`: `opzioni.connessione_odbc`
// with "{path}" replaced, or the Access driver's for a Jet file. A path holding ";", "{" or "}" is
// written between braces, as ODBC asks.
std::string StringaConnessione(const OpzioniMotore& opzioni, std::string_view native_path);

// What the error of a Jet file adds when the Access driver is missing on Windows, where 32-bit
// and 64-bit programs have separate drivers: which build of zav5.exe finds one. `bits` is this
// build's: 32 or 64.
std::string BuildPerIlDriverAccess(int bits);

// Opens database files by their Windows path and keeps one connection per file.
//
// The engine of a file is chosen by its first bytes, not its name: the store suite calls its
// files dati.mdb whatever holds them. SQLite files are opened directly, Access (Jet) files through
// ODBC; a site may route every file through ODBC (OpzioniMotore::connessione_odbc).
class DbEngine {
 public:
  explicit DbEngine(platform::Env& env, OpzioniMotore opzioni = {})
      : env_(env),
        opzioni_(std::move(opzioni)),
        attese_(std::make_shared<AttesaBlocchi>(opzioni_.attesa_blocchi, opzioni_.fermata)) {}

  // The shared database at `path`, opened (shared, writable) the first time it is asked for.
  // Throws DatabaseError naming the path when the file is missing or is not a database this
  // build can open.
  std::shared_ptr<Database> OpenDatabase(std::string_view path);

  // How this engine reaches database files: an engine made with them opens connections of its own.
  const OpzioniMotore& Opzioni() const { return opzioni_; }

  // Bounds all the waits for other programs' locks, on every connection of this engine, from
  // now until the guard is destroyed, by `attesa_blocchi` together: the processing cycle's.
  LimiteAttese LimitaAttese() { return LimiteAttese(*attese_); }

  // The time left to the deadline of the bound under way (negative once past); nothing when no
  // bound is under way.
  std::optional<std::chrono::steady_clock::duration> TempoRimasto() const {
    return attese_->TempoRimasto();
  }

  // Forgets every connection; a database still held elsewhere stays open until released.
  void CloseAll() {
    open_.clear();
    by_path_.clear();
  }

 private:
  platform::Env& env_;
  OpzioniMotore opzioni_;
  // Shared with every connection opened, which may outlive the engine.
  std::shared_ptr<AttesaBlocchi> attese_;
  std::map<std::string, std::shared_ptr<Database>> open_;  // by native path
  // The same, by the path as the program spelt it: every query of a data source asks for its
  // database again, and the file is looked for on the disk only the first time.
  std::map<std::string, std::shared_ptr<Database>, std::less<>> by_path_;
};

// What the first bytes of a file say it is.
enum class FileSignature { kSqlite, kJet, kEmpty, kUnknown };
FileSignature ReadSignature(const std::string& native_path);

}  // namespace zav5::data
