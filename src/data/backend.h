// The small interface every database engine implements. The DAO-like objects (Database,
// DataSource, Recordset, TableCursor) sit on it; business code never sees it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/column.h"
#include "data/value.h"

namespace zav5::data {

// Identifies one row of a table for a later Fetch, Update or Delete. Made by the engine that
// read the row and meaningful to it alone. A row must be found by what makes it that row: when
// the table has a primary key, `values` holds the key's values as stored, one per key column in
// the key's order, and the row is found by them. A row deleted by another program is then gone
// for good, even when the engine gives its internal number (SQLite's rowid) to a new row, or
// renumbers the rows (VACUUM). Empty `values`: the row is found by `rowid` alone (a table
// without a primary key, or a key with a Null part, which can be shared by several rows).
struct RowKey {
  std::int64_t rowid = 0;
  std::vector<Value> values;
};

struct Row {
  RowKey key;
  std::vector<Value> values;  // one per column, in column order
};

// The outcome of a query: its columns and every row it returned, in the engine's order.
struct QueryResult {
  // The table the rows come from when the query reads one table with all its columns (and so
  // its rows can be changed); empty otherwise.
  std::string table;
  std::vector<Column> columns;
  std::vector<Row> rows;
};

// One change to a field: the column's name and the value, already coerced for the column.
struct FieldChange {
  std::string column;
  Value value;
};

class Connection {
 public:
  virtual ~Connection() = default;

  // Runs an SQL text exactly as given and returns every row. Throws DatabaseError when the
  // engine rejects it.
  virtual QueryResult Query(std::string_view sql) = 0;

  // Runs an SQL text that returns no rows (schema, maintenance).
  virtual void Execute(std::string_view sql) = 0;

  // The columns of a table. Throws DatabaseError when the table does not exist.
  virtual std::vector<Column> TableColumns(std::string_view table) = 0;

  // The columns of an index of a table, by the index's name; "primary" and "PrimaryKey" name
  // the table's primary key when no index carries the name. Throws DatabaseError when missing.
  virtual std::vector<std::string> IndexColumns(std::string_view table, std::string_view index) = 0;

  // The first row of `table` whose `key_columns` equal `key`, or nothing.
  virtual std::optional<Row> Seek(std::string_view table,
                                  const std::vector<std::string>& key_columns,
                                  const std::vector<Value>& key) = 0;

  // The current values of one row, or nothing when it has gone. Fetch, Update and Delete throw
  // DatabaseError when `key` is not of the form this engine gives the table's rows.
  virtual std::optional<Row> Fetch(std::string_view table, const RowKey& key) = 0;

  // Saves changed fields of one row and returns its key as it is afterwards: a different one when
  // a key column was changed. Throws DatabaseError when the row has gone or the engine refuses
  // the change.
  virtual RowKey Update(std::string_view table, const RowKey& key,
                        const std::vector<FieldChange>& changes) = 0;

  // Adds a row with the given fields (the others take their defaults); returns its key.
  virtual RowKey Insert(std::string_view table, const std::vector<FieldChange>& fields) = 0;

  // Deletes one row. Throws DatabaseError when the row has gone.
  virtual void Delete(std::string_view table, const RowKey& key) = 0;

  // Transactions on this connection. Nested calls are not supported.
  virtual void BeginTransaction() = 0;
  virtual void Commit() = 0;
  virtual void Rollback() = 0;
  virtual bool InTransaction() const = 0;

  // Whether a row read in an open transaction stays as it was read until this connection changes
  // it, so that reading it again before a change gives the same values. True where the
  // transaction keeps other writers out; false, the default, where it does not (Access: its
  // transactions hold no read locks).
  virtual bool RowsStayAsRead() const { return false; }

  // How many SQL statements this connection has asked its engine to run since it was opened:
  // executions, not preparations, failed ones included, and those a call runs by itself (the
  // reads of a table's columns and keys, a transaction's BEGIN and COMMIT where the engine takes
  // them as statements, the catalog calls of ODBC). A statement counts once however many rows it
  // gives. An Execute text counts as the engine runs it: once on SQLite, once per statement
  // through ODBC. A connection that hands its calls to another counts only what it runs itself.
  // Not virtual: a measure for the benchmark and the tests, which costs the engines nothing.
  std::uint64_t StatementsRun() const { return statements_run_; }

 protected:
  // The backends call it once for each statement they run (see StatementsRun).
  void CountStatement() { ++statements_run_; }

 private:
  std::uint64_t statements_run_ = 0;
};

}  // namespace zav5::data
