// The SQLite engine behind the Connection interface: one open database file.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/backend.h"
#include "data/lock_waits.h"
#include "data/select_all.h"

struct sqlite3;
struct sqlite3_stmt;

namespace zav5::data {

// One SQLite file opened for reading and writing. The file is shared with the store suite's other
// programs, so a lock held by one of them is waited for, as its LockWaits says, before a read
// or a write gives up. In a processing cycle a wait given up (past the cycle's deadline, or for a
// stop) interrupts the statement under way, and every later one fails before it runs, until the
// cycle's bound ends: only a rollback still runs, and it lets the locks go.
//
// Dates are kept as the REAL OLE day number, so that the program's own queries ("data2 < 45292")
// compare numbers; yes/no fields as -1 and 0, the way Access stores them.
//
// A row is found again by its table's primary key (see RowKey), not by its rowid: SQLite gives
// the rowid of the last row again once that row is deleted, and VACUUM may renumber the rows of
// a table without an INTEGER PRIMARY KEY, so a rowid kept while other programs work on the file
// may come to name another row. The key is used alone, without the rowid, so that the rows stay
// findable after a VACUUM. Only a table without a primary key falls back on the rowid.
//
// Not safe for use from more than one thread at a time.
class SqliteConnection : public Connection {
 public:
  static constexpr std::chrono::milliseconds kDefaultBusyTimeout{5000};

  // Opens the existing database file at `native_path` (never creates one), with its waits for
  // locks bounded by `waits` (shared with the engine's other connections). Throws DatabaseError
  // when the file cannot be opened or is not a SQLite database.
  // REQUIRES: `waits` is not null.
  SqliteConnection(const std::string& native_path, std::shared_ptr<LockWaits> waits);
  // The same, with waits of their own, each bounded by `busy_timeout`.
  explicit SqliteConnection(const std::string& native_path,
                            std::chrono::milliseconds busy_timeout = kDefaultBusyTimeout);
  ~SqliteConnection() override;
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  // "SELECT * FROM <table> ..." (see ParseSelectAllFrom) is run with the rowid added before the
  // "*", so that its rows can be changed; every other text is run exactly as given.
  QueryResult Query(std::string_view sql) override;
  void Execute(std::string_view sql) override;
  std::vector<Column> TableColumns(std::string_view table) override;
  std::vector<std::string> IndexColumns(std::string_view table, std::string_view index) override;
  std::optional<Row> Seek(std::string_view table, const std::vector<std::string>& key_columns,
                          const std::vector<Value>& key) override;
  std::optional<Row> Fetch(std::string_view table, const RowKey& key) override;
  RowKey Update(std::string_view table, const RowKey& key,
                const std::vector<FieldChange>& changes) override;
  RowKey Insert(std::string_view table, const std::vector<FieldChange>& fields) override;
  void Delete(std::string_view table, const RowKey& key) override;
  void BeginTransaction() override;
  void Commit() override;
  void Rollback() override;
  bool InTransaction() const override;
  // True: a transaction begins with BEGIN IMMEDIATE, which takes the write lock at once, so no
  // other program changes a row until it ends.
  bool RowsStayAsRead() const override { return true; }

 private:
  struct Prepared;
  struct QueryPlan;
  class Cache;
  template <typename Doing>
  class Use;

  // The prepared statement for `sql`, from the cache or compiled now; `doing()` says what was
  // being done when compiling fails.
  template <typename Doing>
  Prepared& Prepare(const std::string& sql, const Doing& doing);
  // The same, or nothing when `sql` does not compile.
  Prepared* TryPrepare(const std::string& sql);
  // How a query of the shape `shape` is run, from the cache or worked out now. Nothing when the
  // shape does not compile and `may_fail`.
  const QueryPlan* Plan(const std::string& shape, std::string_view sql, bool may_fail);
  // A DatabaseError with the engine's last message and what was being done.
  [[noreturn]] void Fail(std::string_view doing) const;
  // Whether the cycle's work is to stop (see above) and this is not its rollback.
  bool Interrupted() const;
  // The DatabaseError of a statement not run because the cycle's work is to stop.
  [[noreturn]] void FailInterrupted(std::string_view doing) const;
  // SQLite's busy handler: pauses and returns 1 to try again, or returns 0 to give up.
  static int OnBusy(void* connection, int attempt);
  // SQLite's progress handler: non-zero interrupts the statement under way.
  static int OnProgress(void* connection);
  // The name of a table as the schema spells it, and whether it has rowids; nothing when
  // `table` is not a table of this database.
  std::optional<std::pair<std::string, bool>> FindTable(std::string_view table);
  // The columns of the primary key of `table`, in the key's order; empty when it has none (or
  // does not exist). Read once per table: the store's tables do not change shape while the
  // program runs.
  const std::vector<std::string>& KeyColumns(std::string_view table);
  // Throws DatabaseError when `key` is not of the form this connection gives the rows of
  // `table`, whose primary key has `key_columns`.
  void CheckKey(std::string_view table, const std::vector<std::string>& key_columns,
                const RowKey& key) const;
  // Forgets what the caches know of the tables' shapes (the schema may have changed).
  void ForgetShapes();

  sqlite3* db_ = nullptr;
  std::string path_;
  std::shared_ptr<LockWaits> waits_;
  bool rolling_back_ = false;  // a rollback runs even when the cycle's work is to stop
  // Prepared statements by their text, and query plans by the shape of theirs. The program's
  // queries differ only in their literals, which are bound as parameters (see ShapeOf), so a
  // handful of statements serves every row of a piece of work.
  std::unique_ptr<Cache> cache_;
  // KeyColumns by table name in ASCII lower case (table names in SQLite ignore ASCII case).
  std::map<std::string, std::vector<std::string>, std::less<>> key_columns_;
};

}  // namespace zav5::data
