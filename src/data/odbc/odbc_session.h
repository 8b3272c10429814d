// The ODBC connection behind OpenOdbcConnection, and what its parts share: the shapes of tables,
// the keys that find rows, the layout of a result. Only the backend's own files include it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/backend.h"
#include "data/lock_waits.h"
#include "data/odbc/driver_profile.h"
#include "data/odbc/odbc_handles.h"

namespace zav5::data::odbc {

class Run;
class OwnStatement;

// The description of a result column and its ODBC type, which reading a value of kind kOther
// needs.
struct ResultColumn {
  Column column;
  SQLSMALLINT sql_type = 0;
  // A 4-byte float (Access's Single): read as one. MDB Tools, asked for a double, writes the
  // float's four bytes into the double's eight.
  bool single = false;
};

// A value as read and the form that, bound back, finds the stored one (see RowKey in
// odbc_connection.h).
struct Field {
  Value value;
  Value stored;
};

// Where the columns of a table stand among a result's columns.
struct Layout {
  std::vector<ResultColumn> columns;
  std::optional<std::size_t> row_id_at;  // result position of the table's row id, when selected
  std::vector<std::size_t> key_at;       // result positions of the key's columns, in key order
  std::vector<std::size_t> full_order;   // the key's first, then the others in the table's order
  bool of_table = false;                 // the columns of the table, whose rows can be changed
};

// The shape of a table as the catalog gives it.
struct Shape {
  std::string name;  // as the catalog spells it
  std::vector<Column> columns;
  // The driver's row-id pseudo-column (SQLite's _ROWID_) of a table without a key; empty: none.
  // Selected with the rows, it finds a row at once; the full form still checks its values.
  std::string row_id;
  std::vector<std::string> key;     // the key's columns, in the key's order; empty: none
  std::vector<std::size_t> key_at;  // positions of the key's columns in `columns`
  std::vector<std::size_t>
      full_order;  // positions of the full form (see RowKey in odbc_connection.h)
};

// How a key finds its row: one condition per value, on the column at that position of the table.
struct KeyMatch {
  std::vector<std::size_t> columns;
  std::vector<Value> values;
  bool full = false;    // the full form
  bool unique = false;  // names at most one row: the key form without a Null part, or a row id
  std::optional<std::int64_t> row_id;  // the full form with the row's row id
};

// What a driver does, as the probe at connect finds it, and as learnt since.
struct DriverFeatures {
  bool primary_keys = true;  // SQLPrimaryKeys
  bool statistics = true;    // SQLStatistics, with the columns of its result
  bool row_ids = true;       // SQLSpecialColumns(SQL_BEST_ROWID), with the columns of its result
  bool parameters = true;    // "?" markers, bound with SQLBindParameter
};

// The key of a row read as `fields` (see RowKey in odbc_connection.h): the key form, else the full
// form with `row_id` (0 for none).
RowKey MakeKey(const std::vector<Field>& fields, const Layout& layout,
               std::optional<std::int64_t> row_id);
// The position of the column `name` in `columns`, by name without regard to case.
std::optional<std::size_t> PositionOf(const std::vector<Column>& columns, std::string_view name);
// Whether `a` and `b` hold the same column names, in any order and letter case.
bool SameColumns(const std::vector<std::string>& a, const std::vector<std::string>& b);
// The value a change gives the column `name`, if it changes it.
const Value* ChangeOf(const std::vector<FieldChange>& changes, std::string_view name);

// An ODBC connection (see OpenOdbcConnection): the handles, the prepared statements and the
// shapes of the tables, with the operations of the Connection interface.
class Session final : public Connection {
 public:
  // `waits`, when not null, bounds the waits of a processing cycle (see BoundTime).
  Session(const std::string& connection_string, std::shared_ptr<LockWaits> waits,
          DriverProfile profile);
  ~Session() override;  // an open transaction is rolled back
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

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
  bool InTransaction() const override { return in_transaction_; }
  // True on a SQLite file: the transaction's read lock keeps other programs from committing a
  // change until it ends (in WAL mode it reads one snapshot, and a write over a changed one
  // fails). Access holds no read locks.
  bool RowsStayAsRead() const override { return sqlite_; }

  // Counts a statement run or a catalog call (see Connection::StatementsRun).
  void NoteStatement() { CountStatement(); }

  // The query timeout a statement was given: the driver's own until a cycle first sets one.
  struct QueryTimeout {
    std::optional<SQLULEN> original;  // the driver's, read before it was first changed
    SQLULEN current = 0;
  };
  // A prepared statement, kept for the next run of the same text.
  struct Cached {
    std::string sql;
    Handle statement;
    bool busy = false;  // in use by a Run: not to be dropped from the cache
    QueryTimeout timeout;
    // The result's columns as the driver described them, and where a table's columns stand among
    // them: the same for every run of the text, described again only when their number changes.
    std::vector<ResultColumn> columns;
    bool described = false;
    std::optional<Layout> layout;
  };
  // The prepared statement for `sql`, from the cache or prepared now.
  Cached& Prepared(const std::string& sql, std::string_view doing);

  // Before `statement` runs: in a processing cycle, gives it the time left of the cycle's bound
  // as its query timeout (whole seconds, at least one), so that the driver's wait for a lock ends
  // by then where the driver has such a timeout; outside a cycle, gives it back the driver's own.
  // A driver that refuses the attribute is left to its own waits from then on.
  void BoundTime(SQLHSTMT statement, QueryTimeout& timeout);

  SQLHDBC link() const { return connection_.get(); }
  const std::string& database() const { return database_; }
  bool sqlite() const { return sqlite_; }
  // Whether the driver takes "?" parameters; throws DatabaseError, naming `doing`, when not.
  void RequireParameters(std::string_view doing) const;
  // Whether `value` is matched within the precision the driver reads it with, not exactly.
  bool Approximate(const Value& value) const;

 private:
  // The shape of `table`, read once per table; nullptr when `table` is not a table of this data
  // source (a view, nothing).
  const Shape* FindShape(std::string_view table);
  // As FindShape; throws DatabaseError when the table does not exist.
  const Shape& RequireShape(std::string_view table);
  std::vector<std::string> PrimaryKeyColumns(const std::string& table);
  // The primary key's columns by SQLPrimaryKeys, in KEY_SEQ order; nothing when the driver does
  // not really have the call.
  std::optional<std::vector<std::string>> DriverPrimaryKey(const std::string& table);
  // The primary key, else the first unique index on columns; empty when there is neither.
  std::vector<std::string> RowKeyColumns(const std::string& table);
  // The indexes of `table` in the order SQLStatistics gives them, each with its columns in order
  // (an empty name for an expression).
  std::vector<std::pair<std::string, std::vector<std::string>>> Indexes(const std::string& table,
                                                                        bool unique_only);
  // The row-id pseudo-column of `table` that the driver names; empty when it names none.
  std::string RowIdColumn(const Shape& shape);
  // What the driver does: its functions, and whether it takes parameters.
  void Probe(DriverProfile profile);
  // "SELECT * FROM <table>", with the row id after the table's columns where it has one.
  std::string SelectFrom(const Shape& shape) const;
  // Throws DatabaseError when the result of a catalog call lacks the `needed` columns read from it:
  // the driver does not really give `what`.
  void RequireCatalogColumns(OwnStatement& result, SQLSMALLINT needed, std::string_view what) const;
  // `name` escaped for a catalog search pattern.
  std::string Pattern(std::string_view name) const;
  // `name` ready to stand in SQL text, in the driver's identifier quotes.
  std::string QuoteName(std::string_view name) const;

  // How `key` finds its row in `shape`; throws DatabaseError when it is of neither form.
  KeyMatch MatchKey(const Shape& shape, const RowKey& key) const;
  // The WHERE condition of `match`, whose parameters Run::BindCondition binds.
  std::string Condition(const Shape& shape, const KeyMatch& match) const;
  // The row `match` names, for messages: "di offmo con bnumer = 7, bannoc = 2026".
  std::string RowText(const Shape& shape, const KeyMatch& match) const;
  // Where the columns of `shape` stand among `columns`; no columns when some are missing. With
  // `with_row_id` the last column is the row id (see SelectFrom).
  Layout TableLayout(const Shape& shape, std::vector<ResultColumn> columns, bool with_row_id) const;
  Row ReadRow(Run& run, const Layout& layout, bool keyed);
  // Executes `run`, a "SELECT *" of the table of `shape`, and reads its first row.
  std::optional<Row> FirstTableRow(Run& run, const Shape& shape);
  long long CountRows(const Shape& shape, const KeyMatch& match, std::string_view doing);
  // Runs `head` ("UPDATE t SET ..." or "DELETE FROM t") on the one row `match` names, with
  // `values` bound before the condition's. Where `match` may name several rows they are counted
  // first: none is a row gone; several rows with one key are refused; of several rows equal in
  // every column (full form) one is changed, through its rowid on SQLite, elsewhere by replacing
  // them (see ReplaceEqualRows) by all but one and `replacement` when given. Throws
  // DatabaseError when the row is gone.
  void ChangeRow(const Shape& shape, const KeyMatch& match, const std::string& head,
                 const std::vector<Value>& values,
                 const std::optional<std::vector<Value>>& replacement, std::string_view doing);
  // Deletes the `count` rows equal to the full-form `match` and adds back `count` - 1 of them,
  // then `replacement` when given.
  void ReplaceEqualRows(const Shape& shape, const KeyMatch& match, long long count,
                        const std::optional<std::vector<Value>>& replacement,
                        std::string_view doing);
  void InsertValues(const Shape& shape, const std::vector<std::string>& names,
                    const std::vector<Value>& values, std::string_view doing);
  // The key of the row just added with `fields`.
  RowKey AddedRowKey(const Shape& shape, const std::vector<FieldChange>& fields);
  [[noreturn]] void ThrowGone(const Shape& shape, const KeyMatch& match,
                              std::string_view doing) const;
  void EndTransaction(SQLSMALLINT completion, std::string_view doing);

  // Ended in the reverse order: statements, the link, the connection, the environment.
  Handle environment_;
  Handle connection_;
  Connected connected_;
  // Most recently used first. A list: a Run holds on to its entry while others come and go.
  std::list<Cached> statements_;

  std::string database_;          // the data source as messages name it
  std::string pattern_escape_;    // SQL_SEARCH_PATTERN_ESCAPE; empty when the driver has none
  std::string identifier_quote_;  // SQL_IDENTIFIER_QUOTE_CHAR; empty when names go unquoted
  bool sqlite_ = false;           // the DBMS is SQLite: see odbc_connection.h
  bool access_ = false;           // the DBMS is Access (Jet): @@IDENTITY gives a new counter
  DriverFeatures driver_;
  // The Access profile on a driver that has SQLPrimaryKeys: the index that holds the primary key
  // is named as Access names it, "PrimaryKey" (see Indexes).
  bool name_primary_key_index_ = false;
  bool in_transaction_ = false;
  std::shared_ptr<LockWaits> waits_;
  bool query_timeout_refused_ = false;
  // Shapes by table name in lower case. Cleared by Execute, which may change the schema.
  std::map<std::string, Shape> shapes_;
};

}  // namespace zav5::data::odbc
