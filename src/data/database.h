// Databases and the one connection per file that every data source and cursor shares.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "data/backend.h"
#include "data/lock_waits.h"
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

  // Each start and end of a transaction gives the next one a number of its own (see
  // OpenTransaction), also when the engine refuses it.
  void BeginTrans() {
    ++transaction_;
    connection_->BeginTransaction();
  }
  void CommitTrans() {
    ++transaction_;
    connection_->Commit();
  }
  void Rollback() {
    ++transaction_;
    connection_->Rollback();
  }

  // The open transaction, as a number that no other transaction of this database has had; 0 when
  // none is open.
  std::uint64_t OpenTransaction() const { return connection_->InTransaction() ? transaction_ : 0; }

  // How many changes the rows of this database (Recordset, TableCursor) have made to `table`,
  // whatever the letter case of its name: a row read since the last one cannot have been changed
  // through another of them.
  std::uint64_t TableChanges(std::string_view table) const;
  void NoteChange(std::string_view table);

 private:
  std::string path_;
  std::unique_ptr<Connection> connection_;
  std::uint64_t transaction_ = 1;
  std::map<std::string, std::uint64_t, std::less<>> table_changes_;  // by name in lower case
};

// How database files are reached.
struct EngineOptions {
  // The ODBC driver that opens Access (Jet) files.
  std::string driver_access = "Microsoft Access Driver (*.mdb)";
  // When not empty, every database is opened through ODBC with this connection string, in which
  // "{path}" stands for the file's path on this machine.
  std::string odbc_connection;
  // How long the program waits for the locks that other programs hold (see LockWaits): each
  // wait outside a processing cycle, and all the waits of one cycle together. Through ODBC the
  // driver waits by its own settings; a cycle's statements get the time left as their query
  // timeout, where the driver has one.
  std::chrono::milliseconds lock_wait{5000};
  // When set, says whether a stop of the program has been asked for (it must return at once): a
  // cycle's wait for a lock then gives up, and the cycle fails and rolls back. Through ODBC the
  // driver's waits do not ask it.
  std::function<bool()> stop_requested;
  // When set, every connection opened passes through it: it may wrap the connection in one of its
  // own (tests put faults in the way; a site could trace the statements).
  std::function<std::unique_ptr<Connection>(std::unique_ptr<Connection>)> wrap_connection;
  // What ODBC connections take of their driver (tests run a driver as if it were Access's).
  DriverProfile odbc_profile = DriverProfile::kAsProbed;
};

// The ODBC connection string for the database file at `native_path`: `options.odbc_connection`
// with "{path}" replaced, or the Access driver's for a Jet file. A path holding ";", "{" or "}" is
// written between braces, as ODBC asks.
std::string OdbcConnectionString(const EngineOptions& options, std::string_view native_path);

// What the error of a Jet file adds when the Access driver is missing on Windows, where 32-bit
// and 64-bit programs have separate drivers: which build of zav5.exe finds one. `bits` is this
// build's: 32 or 64.
std::string AccessDriverBuildAdvice(int bits);

// Opens database files by their Windows path and keeps one connection per file.
//
// The engine of a file is chosen by its first bytes, not its name: the store suite calls its
// files dati.mdb whatever holds them. SQLite files are opened directly, Access (Jet) files through
// ODBC; a site may route every file through ODBC (EngineOptions::odbc_connection).
class DbEngine {
 public:
  explicit DbEngine(platform::Env& env, EngineOptions options = {})
      : env_(env),
        options_(std::move(options)),
        waits_(std::make_shared<LockWaits>(options_.lock_wait, options_.stop_requested)) {}

  // The shared database at `path`, opened (shared, writable) the first time it is asked for.
  // Throws DatabaseError naming the path when the file is missing or is not a database this
  // build can open.
  std::shared_ptr<Database> OpenDatabase(std::string_view path);

  // How this engine reaches database files: an engine made with them opens connections of its own.
  const EngineOptions& Options() const { return options_; }

  // Bounds all the waits for other programs' locks, on every connection of this engine, from
  // now until the guard is destroyed, by `lock_wait` together: the processing cycle's.
  CycleWaitBound BoundWaits() { return CycleWaitBound(*waits_); }

  // The time left to the deadline of the bound under way (negative once past); nothing when no
  // bound is under way.
  std::optional<std::chrono::steady_clock::duration> TimeLeft() const { return waits_->TimeLeft(); }

  // Forgets every connection; a database still held elsewhere stays open until released.
  void CloseAll() {
    open_.clear();
    by_path_.clear();
  }

 private:
  platform::Env& env_;
  EngineOptions options_;
  // Shared with every connection opened, which may outlive the engine.
  std::shared_ptr<LockWaits> waits_;
  std::map<std::string, std::shared_ptr<Database>> open_;  // by native path
  // The same, by the path as the program spelt it: every query of a data source asks for its
  // database again, and the file is looked for on the disk only the first time.
  std::map<std::string, std::shared_ptr<Database>, std::less<>> by_path_;
};

// What the first bytes of a file say it is.
enum class FileSignature { kSqlite, kJet, kEmpty, kUnknown };
FileSignature ReadSignature(const std::string& native_path);

}  // namespace zav5::data
