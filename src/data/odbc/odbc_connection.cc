#include "data/odbc/odbc_connection.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <list>
#include <map>
#include <utility>

#include "data/odbc/odbc_error.h"
#include "data/odbc/odbc_text.h"
#include "data/select_all.h"
#include "data/stored_values.h"
#include "errors.h"
#include "platform/case_fold.h"

namespace zav5::data::odbc {

namespace {

// Small: the program runs a handful of distinct statements.
constexpr std::size_t kCacheCapacity = 24;

// How long the driver may take to reach the data source; a driver without such a limit ignores it.
constexpr SQLULEN kLoginTimeoutSeconds = 15;

// Texts shown in messages are cut to this many characters.
constexpr std::size_t kLongestShownText = 40;

// Relative distance within which a double read through the SQLite driver (15 significant digits)
// is taken to be the stored one.
constexpr double kSqliteDoubleTolerance = 1e-14;

// One ODBC handle, freed when it goes.
class Handle {
 public:
  Handle() = default;
  Handle(SQLSMALLINT type, SQLHANDLE handle) : type_(type), handle_(handle) {}
  ~Handle() { Free(); }
  Handle(Handle&& other) noexcept
      : type_(other.type_), handle_(std::exchange(other.handle_, nullptr)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      Free();
      type_ = other.type_;
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }

  SQLHANDLE get() const { return handle_; }

 private:
  void Free() {
    if (handle_ != SQL_NULL_HANDLE) {
      SQLFreeHandle(type_, handle_);
      handle_ = SQL_NULL_HANDLE;
    }
  }

  SQLSMALLINT type_ = 0;
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

// A connection handle's link to its data source, ended when it goes: before the handle is freed,
// which ODBC refuses for a connected handle.
class Connected {
 public:
  Connected() = default;
  explicit Connected(SQLHDBC connection) : connection_(connection) {}
  ~Connected() {
    if (connection_ != SQL_NULL_HANDLE) {
      SQLDisconnect(connection_);
    }
  }
  Connected(const Connected&) = delete;
  Connected& operator=(Connected&& other) noexcept {
    std::swap(connection_, other.connection_);
    return *this;
  }

 private:
  SQLHDBC connection_ = SQL_NULL_HANDLE;
};

// An integer attribute value, which ODBC passes in place of a pointer.
SQLPOINTER IntegerAttribute(SQLULEN value) {
  return reinterpret_cast<SQLPOINTER>(value);  // NOLINT(performance-no-int-to-ptr): ODBC's way
}

// Allocates a handle of `type` under `parent` (an environment has none).
Handle Allocate(SQLSMALLINT type, SQLHANDLE parent, std::string_view database,
                std::string_view doing) {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  const SQLRETURN rc = SQLAllocHandle(type, parent, &handle);
  if (!SQL_SUCCEEDED(rc)) {
    const SQLSMALLINT parent_type = type == SQL_HANDLE_STMT ? SQL_HANDLE_DBC : SQL_HANDLE_ENV;
    ThrowOdbcError(parent_type, parent, database, doing);
  }
  return Handle(type, handle);
}

// --- Numbers in text -----------------------------------------------------------------------------

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// A whole number that is the whole text ("-12"); nothing otherwise.
std::optional<std::int64_t> WholeFromText(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
  }
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

// A decimal number that is the whole text ("2.5", "1e+20"), read the same whatever the locale.
std::optional<double> RealFromText(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
  }
  double value = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// A number in an integer column: a whole number that fits is read as the column's type,
// anything else stays a Double (or the text) so that nothing is lost.
Value IntegerColumnValue(std::string_view text, bool may_be_short) {
  if (auto whole = WholeFromText(text)) {
    return WholeNumber(*whole, may_be_short);
  }
  if (auto real = RealFromText(text)) {
    if (std::trunc(*real) == *real &&
        std::fabs(*real) <= std::numeric_limits<std::int32_t>::max()) {
      return WholeNumber(static_cast<std::int64_t>(*real), may_be_short);
    }
    return Value::Double(*real);
  }
  return Value::Text(std::string(text));
}

// A currency amount from text, and whether the text said no more than the amount holds.
std::optional<std::pair<Currency, bool>> ParseCurrency(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max();
  std::int64_t units = 0;  // ten-thousandths
  std::size_t at = 0;
  bool any_digit = false;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    const int digit = text[at] - '0';
    if (units > (kMost / Currency::kScala - digit) / 10) {
      return std::nullopt;
    }
    units = units * 10 + digit;
    any_digit = true;
  }
  units *= Currency::kScala;
  bool exact = true;
  if (at < text.size() && text[at] == '.') {
    ++at;
    std::int64_t place = Currency::kScala / 10;
    int first_dropped = -1;
    bool more_dropped = false;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
      const int digit = text[at] - '0';
      any_digit = true;
      if (place > 0) {
        if (units > kMost - digit * place) {
          return std::nullopt;
        }
        units += digit * place;
        place /= 10;
      } else if (first_dropped < 0) {
        first_dropped = digit;
      } else if (digit != 0) {
        more_dropped = true;
      }
    }
    if (first_dropped >= 0) {
      exact = first_dropped == 0 && !more_dropped;
      const bool up = first_dropped > 5 || (first_dropped == 5 && (more_dropped || units % 2 != 0));
      if (up) {
        if (units == kMost) {
          return std::nullopt;
        }
        ++units;
      }
    }
  }
  if (!any_digit || at != text.size()) {
    return std::nullopt;
  }
  return std::make_pair(Currency{negative ? -units : units}, exact);
}

bool IsNumericSqlType(SQLSMALLINT type) {
  switch (type) {
    case SQL_SMALLINT:
    case SQL_TINYINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
    case SQL_DOUBLE:
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_NUMERIC:
    case SQL_DECIMAL:
    case SQL_BIT:
      return true;
    default:
      return false;
  }
}

// The statements of a text, split at the semicolons between them (not those in quotes, comments or
// parentheses): a driver may take one statement per call. Each begins at its first word, after
// any comment, which the SQLite driver does not read as one. Blank pieces are left out; a text the
// lexer cannot follow (an unterminated quote) stays whole, for the driver to refuse.
std::vector<std::string_view> SplitStatements(std::string_view sql) {
  std::vector<std::string_view> statements;
  const auto add = [&statements](std::string_view part) {
    const SqlToken first = SqlLexer(part).Next();
    if (first.kind != SqlToken::Kind::kEnd) {
      statements.push_back(Trim(part.substr(first.offset)));
    }
  };
  SqlLexer lexer(sql);
  std::size_t start = 0;
  int depth = 0;
  for (SqlToken token = lexer.Next(); token.kind != SqlToken::Kind::kEnd; token = lexer.Next()) {
    if (token.kind == SqlToken::Kind::kBad) {
      return {sql};
    }
    if (token.kind != SqlToken::Kind::kSymbol) {
      continue;
    }
    if (token.text == "(") {
      ++depth;
    } else if (token.text == ")") {
      --depth;
    } else if (token.text == ";" && depth <= 0) {
      add(sql.substr(start, token.offset - start));
      start = token.offset + 1;
    }
  }
  add(sql.substr(start));
  return statements;
}

// --- Text for SQL and messages -------------------------------------------------------------------

std::string Shown(const Value& value) {
  switch (value.Kind()) {
    case ValueKind::kNull:
      return "Null";
    case ValueKind::kText: {
      const std::string& text = value.AsText();
      return "'" +
             (CharacterCount(text) > kLongestShownText ? MidText(text, 1, kLongestShownText) + "..."
                                                       : text) +
             "'";
    }
    default:
      return value.ToText();
  }
}

bool IsWhole(double v) {
  return std::trunc(v) == v;
}

// The description of a result column and its ODBC type, which reading a value of kind kOther
// needs.
struct ResultColumn {
  Column column;
  SQLSMALLINT sql_type = 0;
  // A 4-byte float (Access's Single): read as one. MDB Tools, asked for a double, writes the
  // float's four bytes into the double's eight.
  bool single = false;
};

// A value as read and the form that, bound back, finds the stored one (see RowKey in the header).
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
};

RowKey MakeKey(const std::vector<Field>& fields, const Layout& layout,
               std::optional<std::int64_t> row_id) {
  RowKey key;
  bool null_part = false;
  for (std::size_t at : layout.key_at) {
    null_part = null_part || fields[at].stored.IsNull();
    key.values.push_back(fields[at].stored);
  }
  if (!layout.key_at.empty() && !null_part) {
    return key;
  }
  key.values.clear();
  for (std::size_t at : layout.full_order) {
    key.values.push_back(fields[at].stored);
  }
  // Row id 0 stands for none; a row that has it is found by its values alone.
  key.rowid = row_id.value_or(0);
  return key;
}

// The position of the column `name` in `columns`, by name without regard to case.
std::optional<std::size_t> PositionOf(const std::vector<Column>& columns, std::string_view name) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (platform::EqualsIgnoringCase(columns[i].name, name)) {
      return i;
    }
  }
  return std::nullopt;
}

// Whether `a` and `b` hold the same column names, in any order and letter case.
bool SameColumns(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  return a.size() == b.size() && std::all_of(a.begin(), a.end(), [&b](const std::string& column) {
           return std::any_of(b.begin(), b.end(), [&column](const std::string& other) {
             return platform::EqualsIgnoringCase(column, other);
           });
         });
}

// The value a change gives the column `name`, if it changes it.
const Value* ChangeOf(const std::vector<FieldChange>& changes, std::string_view name) {
  for (const FieldChange& change : changes) {
    if (platform::EqualsIgnoringCase(change.column, name)) {
      return &change.value;
    }
  }
  return nullptr;
}

// The shape of a table as the catalog gives it.
struct Shape {
  std::string name;  // as the catalog spells it
  std::vector<Column> columns;
  // The driver's row-id pseudo-column (SQLite's _ROWID_) of a table without a key; empty: none.
  // Selected with the rows, it finds a row at once; the full form still checks its values.
  std::string row_id;
  std::vector<std::string> key;         // the key's columns, in the key's order; empty: none
  std::vector<std::size_t> key_at;      // positions of the key's columns in `columns`
  std::vector<std::size_t> full_order;  // positions of the full form (see RowKey in the header)
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

class Run;
class OwnStatement;

}  // namespace

// The work behind OdbcConnection: the ODBC handles, the prepared statements and the shapes of the
// tables, with the operations of the Connection interface.
class Session {
 public:
  // `attese`, when not null, bounds the waits of a processing cycle (see BoundTime).
  Session(const std::string& connection_string, std::shared_ptr<AttesaBlocchi> attese,
          DriverProfile profile);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  QueryResult Query(std::string_view sql);
  void Execute(std::string_view sql);
  std::vector<Column> TableColumns(std::string_view table);
  std::vector<std::string> IndexColumns(std::string_view table, std::string_view index);
  std::optional<Row> Seek(std::string_view table, const std::vector<std::string>& key_columns,
                          const std::vector<Value>& key);
  std::optional<Row> Fetch(std::string_view table, const RowKey& key);
  RowKey Update(std::string_view table, const RowKey& key, const std::vector<FieldChange>& changes);
  RowKey Insert(std::string_view table, const std::vector<FieldChange>& fields);
  void Delete(std::string_view table, const RowKey& key);
  void BeginTransaction();
  void Commit();
  void Rollback();
  bool InTransaction() const { return in_transaction_; }
  // Called once for each statement run and each catalog call: OdbcConnection counts them.
  std::function<void()> on_statement = [] {};

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
  bool sqlite_ = false;           // the DBMS is SQLite: see OdbcConnection
  bool access_ = false;           // the DBMS is Access (Jet): @@IDENTITY gives a new counter
  DriverFeatures driver_;
  // The Access profile on a driver that has SQLPrimaryKeys: the index that holds the primary key
  // is named as Access names it, "PrimaryKey" (see Indexes).
  bool name_primary_key_index_ = false;
  bool in_transaction_ = false;
  std::shared_ptr<AttesaBlocchi> attese_;
  bool query_timeout_refused_ = false;
  // Shapes by table name in lower case. Cleared by Execute, which may change the schema.
  std::map<std::string, Shape> shapes_;
};

namespace {

// One run of a cached statement: parameters bound in order, then executed, then its rows read.
// The cursor is closed and the parameters are unbound when the run ends, so that the statement
// holds no lock between runs.
class Run {
 public:
  Run(Session& session, const std::string& sql, std::string doing)
      : session_(session), doing_(std::move(doing)) {
    cached_ = &session.Prepared(sql, doing_);
    cached_->busy = true;
    statement_ = cached_->statement.get();
  }
  ~Run() {
    SQLFreeStmt(statement_, SQL_CLOSE);
    SQLFreeStmt(statement_, SQL_RESET_PARAMS);
    cached_->busy = false;
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  const std::string& doing() const { return doing_; }

  // Binds `value` to the next parameter.
  void Bind(const Value& value);
  // Binds a row id to the next parameter.
  void BindRowId(std::int64_t row_id);
  // Binds what the condition of `match` asks for (see Session::Condition).
  void BindCondition(const KeyMatch& match);

  void Execute() {
    session_.BoundTime(statement_, cached_->timeout);
    session_.on_statement();
    const SQLRETURN rc = Check(SQLExecute(statement_));
    no_rows_ = rc == SQL_NO_DATA;  // a searched UPDATE or DELETE that changed nothing
  }

  // The rows the statement changed.
  SQLLEN RowCount() {
    if (no_rows_) {
      return 0;
    }
    SQLLEN rows = 0;
    Check(SQLRowCount(statement_, &rows));
    return rows;
  }

  std::vector<ResultColumn> Columns() {
    SQLSMALLINT count = 0;
    Check(SQLNumResultCols(statement_, &count));
    std::vector<ResultColumn> columns;
    for (SQLUSMALLINT i = 1; i <= count; ++i) {
      ColumnDescription description;
      Check(DescribeColumn(statement_, i, description));
      const bool single =
          description.sql_type == SQL_REAL ||
          (description.sql_type == SQL_FLOAT && description.size > 0 && description.size <= 4);
      columns.push_back(
          {ColumnFromOdbc(description.name, description.type_name, description.sql_type,
                          description.size, description.decimal_digits, session_.sqlite()),
           description.sql_type, single});
    }
    return columns;
  }

  // Moves to the next row: false at the end.
  bool Fetch() { return Check(SQLFetch(statement_)) != SQL_NO_DATA; }

  // The field `column` (from 0) of the current row. REQUIRES: fields read in increasing order.
  Field Read(std::size_t column, const ResultColumn& description);

  std::optional<std::string> CharText(SQLUSMALLINT column) {
    std::optional<std::string> text;
    Check(GetCharText(statement_, column, text));
    return text;
  }

 private:
  struct Parameter {
    SQLSMALLINT short_number = 0;
    SQLINTEGER whole = 0;
    SQLBIGINT big = 0;
    double real = 0;
    SQL_TIMESTAMP_STRUCT moment{};
    std::string digits;
    SQLLEN indicator = 0;
    TextParameter text;
  };

  SQLRETURN Check(SQLRETURN rc) {
    return CheckOdbc(rc, SQL_HANDLE_STMT, statement_, session_.database(), doing_);
  }
  void BindBuffer(SQLSMALLINT c_type, SQLSMALLINT sql_type, SQLULEN size, SQLSMALLINT digits,
                  SQLPOINTER buffer, SQLLEN buffer_length, Parameter& parameter) {
    if (parameters_.size() == 1) {
      session_.RequireParameters(doing_);
    }
    Check(SQLBindParameter(statement_, static_cast<SQLUSMALLINT>(parameters_.size()),
                           SQL_PARAM_INPUT, c_type, sql_type, size, digits, buffer, buffer_length,
                           &parameter.indicator));
  }

  Session& session_;
  std::string doing_;
  Session::Cached* cached_ = nullptr;
  SQLHSTMT statement_ = SQL_NULL_HANDLE;
  std::deque<Parameter> parameters_;  // in place until the statement has run
  bool no_rows_ = false;
};

void Run::BindRowId(std::int64_t row_id) {
  Parameter& p = parameters_.emplace_back();
  p.big = row_id;
  BindBuffer(SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &p.big, 0, p);
}

void Run::Bind(const Value& value) {
  Parameter& p = parameters_.emplace_back();
  switch (value.Kind()) {
    case ValueKind::kNull:
      p.indicator = SQL_NULL_DATA;
      BindBuffer(SQL_C_CHAR, SQL_VARCHAR, 1, 0, nullptr, 0, p);
      return;
    case ValueKind::kInteger:
      p.short_number = value.AsInteger();
      BindBuffer(SQL_C_SSHORT, SQL_SMALLINT, 0, 0, &p.short_number, 0, p);
      return;
    case ValueKind::kLong:
      p.whole = value.AsLong();
      BindBuffer(SQL_C_SLONG, SQL_INTEGER, 0, 0, &p.whole, 0, p);
      return;
    case ValueKind::kDouble:
      p.real = value.AsDouble();
      BindBuffer(SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &p.real, 0, p);
      return;
    case ValueKind::kCurrency:
      // As decimal text: no binary fraction between the amount and the driver.
      p.digits = CurrencyText(value.AsCurrency());
      p.indicator = static_cast<SQLLEN>(p.digits.size());
      BindBuffer(SQL_C_CHAR, SQL_NUMERIC, 19, 4, p.digits.data(), p.indicator, p);
      return;
    case ValueKind::kDate:
      if (session_.sqlite()) {
        p.real = value.AsDate().giorni;
        BindBuffer(SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &p.real, 0, p);
        return;
      } else {
        const Timestamp t = TimestampFromDay(value.AsDate());
        p.moment.year = static_cast<SQLSMALLINT>(t.year);
        p.moment.month = static_cast<SQLUSMALLINT>(t.month);
        p.moment.day = static_cast<SQLUSMALLINT>(t.day);
        p.moment.hour = static_cast<SQLUSMALLINT>(t.hour);
        p.moment.minute = static_cast<SQLUSMALLINT>(t.minute);
        p.moment.second = static_cast<SQLUSMALLINT>(t.second);
        p.moment.fraction = 0;
        BindBuffer(SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 19, 0, &p.moment, sizeof p.moment, p);
        return;
      }
    case ValueKind::kBoolean:
      p.short_number = value.AsBoolean() ? -1 : 0;  // Access's Yes is -1
      BindBuffer(SQL_C_SSHORT, SQL_SMALLINT, 0, 0, &p.short_number, 0, p);
      return;
    case ValueKind::kText:
      if (parameters_.size() == 1) {
        session_.RequireParameters(doing_);
      }
      Check(BindText(statement_, static_cast<SQLUSMALLINT>(parameters_.size()), value.AsText(),
                     p.text));
      return;
  }
}

void Run::BindCondition(const KeyMatch& match) {
  if (match.row_id) {
    BindRowId(*match.row_id);
  }
  for (const Value& value : match.values) {
    if (value.IsNull()) {
      continue;  // "IS NULL" takes no parameter
    }
    if (session_.Approximate(value)) {
      const double v =
          value.Kind() == ValueKind::kDouble ? value.AsDouble() : value.AsDate().giorni;
      const double tolerance = std::fabs(v) * kSqliteDoubleTolerance;
      Bind(Value::Double(v - tolerance));
      Bind(Value::Double(v + tolerance));
      continue;
    }
    Bind(value);
  }
}

Field Run::Read(std::size_t index, const ResultColumn& description) {
  const auto column = static_cast<SQLUSMALLINT>(index + 1);
  const bool sqlite = session_.sqlite();
  const auto same = [](const Value& value) { return Field{value, value}; };
  switch (description.column.kind) {
    case ColumnKind::kText:
    case ColumnKind::kMemo: {
      std::optional<std::string> text;
      Check(GetText(statement_, column, text));
      return same(text ? Value::Text(std::move(*text)) : Value::Null());
    }
    case ColumnKind::kInteger:
    case ColumnKind::kLong: {
      const std::optional<std::string> text = CharText(column);
      if (!text) {
        return same(Value::Null());
      }
      return same(IntegerColumnValue(*text, description.column.kind == ColumnKind::kInteger));
    }
    case ColumnKind::kDouble: {
      if (sqlite) {
        // The driver makes a double of the stored number's text anyway; read as text, a text that
        // another program stored stays what it is instead of becoming a Null or its first digits.
        const std::optional<std::string> text = CharText(column);
        if (!text) {
          return same(Value::Null());
        }
        const std::optional<double> real = RealFromText(*text);
        return same(real ? Value::Double(*real) : Value::Text(*text));
      }
      SQLLEN indicator = 0;
      if (description.single) {
        float single = 0;
        Check(SQLGetData(statement_, column, SQL_C_FLOAT, &single, 0, &indicator));
        return same(indicator == SQL_NULL_DATA ? Value::Null() : Value::Double(single));
      }
      double real = 0;
      Check(SQLGetData(statement_, column, SQL_C_DOUBLE, &real, 0, &indicator));
      return same(indicator == SQL_NULL_DATA ? Value::Null() : Value::Double(real));
    }
    case ColumnKind::kCurrency: {
      const std::optional<std::string> text = CharText(column);
      if (!text) {
        return same(Value::Null());
      }
      if (auto amount = ParseCurrency(*text)) {
        const Value money = Value::Money(amount->first);
        return Field{money, amount->second ? money : Value::Text(*text)};
      }
      if (auto real = RealFromText(*text)) {  // "1e+20": beyond the digits a currency holds
        try {
          return Field{Value::Money(Currency::FromDouble(*real)), Value::Text(*text)};
        } catch (const ConversionError&) {
          return Field{Value::Double(*real), Value::Text(*text)};  // too large: kept as it is
        }
      }
      return same(Value::Text(*text));
    }
    case ColumnKind::kDate: {
      if (sqlite) {
        const std::optional<std::string> text = CharText(column);
        if (!text) {
          return same(Value::Null());
        }
        if (const std::optional<double> day = RealFromText(*text)) {
          return same(Value::Day(Date{*day}));
        }
        // A date another program wrote as text: read as the date, found again by the text.
        if (const std::optional<double> day = IsoDateToDayNumber(*text)) {
          return Field{Value::Day(Date{*day}), Value::Text(*text)};
        }
        return same(Value::Text(*text));
      }
      SQL_TIMESTAMP_STRUCT moment{};
      SQLLEN indicator = 0;
      Check(
          SQLGetData(statement_, column, SQL_C_TYPE_TIMESTAMP, &moment, sizeof moment, &indicator));
      if (indicator == SQL_NULL_DATA) {
        return same(Value::Null());
      }
      return same(Value::Day(DayFromTimestamp(
          {moment.year, moment.month, moment.day, moment.hour, moment.minute, moment.second})));
    }
    case ColumnKind::kBoolean: {
      const std::optional<std::string> text = CharText(column);
      if (!text) {
        return same(Value::Null());
      }
      // Found again by the number stored in a SQLite file, which other programs may have
      // written as 1; by the flag elsewhere, whose stored form the driver knows.
      if (auto whole = WholeFromText(*text)) {
        const Value flag = Value::Boolean(*whole != 0);
        return Field{flag, sqlite ? WholeNumber(*whole, false) : flag};
      }
      if (auto real = RealFromText(*text)) {
        const Value flag = Value::Boolean(*real != 0);
        return Field{flag, sqlite ? Value::Double(*real) : flag};
      }
      return same(Value::Text(*text));
    }
    case ColumnKind::kOther:
      break;
  }
  std::optional<std::string> text;
  Check(GetText(statement_, column, text));
  if (!text) {
    return same(Value::Null());
  }
  if (sqlite || IsNumericSqlType(description.sql_type)) {
    if (auto whole = WholeFromText(*text)) {
      return same(WholeNumber(*whole, false));
    }
    if (auto real = RealFromText(*text)) {
      return same(Value::Double(*real));
    }
  }
  return same(Value::Text(std::move(*text)));
}

// A transaction for one change that takes several statements, unless the caller has one open.
// Rolled back unless committed.
class OwnTransaction {
 public:
  explicit OwnTransaction(Session& session) : session_(session), own_(!session.InTransaction()) {
    if (own_) {
      session_.BeginTransaction();
    }
  }
  ~OwnTransaction() {
    if (own_) {
      try {
        session_.Rollback();
      } catch (const DatabaseError&) {
        // The error that is leaving the change is the one to report; the driver ends the
        // transaction with the connection at the latest.
      }
    }
  }
  OwnTransaction(const OwnTransaction&) = delete;
  OwnTransaction& operator=(const OwnTransaction&) = delete;

  void Commit() {
    if (own_) {
      session_.Commit();
      own_ = false;
    }
  }

 private:
  Session& session_;
  bool own_;
};

// --- Catalog reads -------------------------------------------------------------------------------

// A statement of its own, not cached: for one catalog call (SQLTables, SQLColumns...) and its rows,
// or one text run directly.
class OwnStatement {
 public:
  OwnStatement(Session& session, std::string doing)
      : database_(session.database()),
        doing_(std::move(doing)),
        statement_(Allocate(SQL_HANDLE_STMT, session.link(), database_, doing_)) {
    Session::QueryTimeout timeout;
    session.BoundTime(statement_.get(), timeout);
    session.on_statement();  // its one catalog call or text
  }

  SQLHSTMT get() const { return statement_.get(); }

  // The outcome of the catalog call: throws DatabaseError on failure.
  void Check(SQLRETURN rc) { CheckOdbc(rc, SQL_HANDLE_STMT, statement_.get(), database_, doing_); }
  // Whether the result has the `needed` columns read from it. A driver may answer a catalog call
  // it does not really have with success and no columns (MDB Tools), and fetching from that
  // result crashes in its code.
  bool HasColumns(SQLSMALLINT needed) {
    SQLSMALLINT count = 0;
    return SQL_SUCCEEDED(SQLNumResultCols(statement_.get(), &count)) && count >= needed;
  }
  bool Fetch() {
    return CheckOdbc(SQLFetch(statement_.get()), SQL_HANDLE_STMT, statement_.get(), database_,
                     doing_) != SQL_NO_DATA;
  }
  // A text column of the current row; empty for a Null.
  std::string Text(SQLUSMALLINT column) {
    std::optional<std::string> text;
    Check(GetText(statement_.get(), column, text));
    return text.value_or(std::string());
  }
  bool IsNullText(SQLUSMALLINT column, std::string& text) {
    std::optional<std::string> value;
    Check(GetText(statement_.get(), column, value));
    text = value.value_or(std::string());
    return !value.has_value();
  }
  // A number column of the current row; 0 for a Null.
  long long Number(SQLUSMALLINT column) {
    std::optional<std::string> text;
    Check(GetCharText(statement_.get(), column, text));
    return text ? WholeFromText(*text).value_or(0) : 0;
  }

 private:
  const std::string& database_;
  std::string doing_;
  Handle statement_;
};

}  // namespace

// --- The connection ------------------------------------------------------------------------------

Session::Session(const std::string& connection_string, std::shared_ptr<AttesaBlocchi> attese,
                 DriverProfile profile)
    : database_(DataSourceName(connection_string)), attese_(std::move(attese)) {
  const std::string doing = "aprendo la connessione ODBC";
  environment_ = Allocate(SQL_HANDLE_ENV, SQL_NULL_HANDLE, database_, doing);
  SQLHENV environment = environment_.get();
  CheckOdbc(SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, IntegerAttribute(SQL_OV_ODBC3), 0),
            SQL_HANDLE_ENV, environment, database_, doing);
  connection_ = Allocate(SQL_HANDLE_DBC, environment, database_, doing);
  SQLHDBC dbc = connection_.get();
  // Not every driver has a login timeout; one that has none says so and connects all the same.
  SQLSetConnectAttr(dbc, SQL_ATTR_LOGIN_TIMEOUT, IntegerAttribute(kLoginTimeoutSeconds), 0);
  CheckOdbc(DriverConnect(dbc, connection_string), SQL_HANDLE_DBC, dbc, database_, doing);
  connected_ = Connected(dbc);

  std::string dbms;
  CheckOdbc(GetInfoText(dbc, SQL_DBMS_NAME, dbms), SQL_HANDLE_DBC, dbc, database_,
            "leggendo il tipo del database");
  sqlite_ = platform::FoldCase(dbms).starts_with("sqlite");
  access_ = platform::EqualsIgnoringCase(dbms, "ACCESS");
  // Both are helps: without them names are searched unescaped and written unquoted.
  if (!SQL_SUCCEEDED(GetInfoText(dbc, SQL_SEARCH_PATTERN_ESCAPE, pattern_escape_))) {
    pattern_escape_.clear();
  }
  if (!SQL_SUCCEEDED(GetInfoText(dbc, SQL_IDENTIFIER_QUOTE_CHAR, identifier_quote_)) ||
      identifier_quote_ == " ") {
    identifier_quote_.clear();
  }
  Probe(profile);
}

void Session::Probe(DriverProfile profile) {
  SQLHDBC dbc = connection_.get();
  std::array<SQLUSMALLINT, SQL_API_ODBC3_ALL_FUNCTIONS_SIZE> functions{};
  bool takes_parameters = true;
  if (SQL_SUCCEEDED(SQLGetFunctions(dbc, SQL_API_ODBC3_ALL_FUNCTIONS, functions.data()))) {
    const auto has = [&functions](SQLUSMALLINT function) {
      return SQL_FUNC_EXISTS(functions.data(), function) == SQL_TRUE;
    };
    driver_.primary_keys = has(SQL_API_SQLPRIMARYKEYS);
    driver_.statistics = has(SQL_API_SQLSTATISTICS);
    driver_.row_ids = has(SQL_API_SQLSPECIALCOLUMNS);
    takes_parameters = has(SQL_API_SQLBINDPARAMETER);
    if (takes_parameters && !has(SQL_API_SQLNUMPARAMS)) {
      // A driver that does not count the markers may not read them either (MDB Tools takes the
      // binding and fails at execute): one marker is tried.
      Handle statement = Allocate(SQL_HANDLE_STMT, dbc, database_, "provando il driver ODBC");
      SQLINTEGER one = 1;
      SQLLEN indicator = 0;
      takes_parameters =
          SQL_SUCCEEDED(Prepare(statement.get(), "SELECT ?")) &&
          SQL_SUCCEEDED(SQLBindParameter(statement.get(), 1, SQL_PARAM_INPUT, SQL_C_SLONG,
                                         SQL_INTEGER, 0, 0, &one, 0, &indicator)) &&
          SQL_SUCCEEDED(SQLExecute(statement.get()));
      SQLFreeStmt(statement.get(), SQL_CLOSE);
    }
  }
  driver_.parameters = takes_parameters;
  if (profile == DriverProfile::kAccess) {
    name_primary_key_index_ = driver_.primary_keys;
    driver_.primary_keys = false;
    driver_.row_ids = false;
  }
}

void Session::RequireParameters(std::string_view doing) const {
  if (!driver_.parameters) {
    throw DatabaseError(fmt::format(
        "errore del database {} {}: il driver ODBC non accetta parametri (\"?\") nelle istruzioni",
        database_, doing));
  }
}

std::string Session::SelectFrom(const Shape& shape) const {
  return shape.row_id.empty() ? "SELECT * FROM " + QuoteName(shape.name)
                              : "SELECT *, " + shape.row_id + " FROM " + QuoteName(shape.name);
}

Session::~Session() {
  if (in_transaction_) {
    SQLEndTran(SQL_HANDLE_DBC, connection_.get(), SQL_ROLLBACK);
  }
}

void Session::BoundTime(SQLHSTMT statement, QueryTimeout& timeout) {
  if (attese_ == nullptr || query_timeout_refused_) {
    return;
  }
  const std::optional<std::chrono::steady_clock::duration> left = attese_->TempoRimasto();
  if (!left) {
    if (timeout.original && timeout.current != *timeout.original) {
      SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT, IntegerAttribute(*timeout.original), 0);
      timeout.current = *timeout.original;
    }
    return;
  }
  const auto whole = std::chrono::duration_cast<std::chrono::seconds>(*left).count();
  const SQLULEN seconds = whole < 1 ? 1 : static_cast<SQLULEN>(whole);
  if (timeout.original && timeout.current == seconds) {
    return;
  }
  if (!timeout.original) {
    SQLULEN own = 0;
    if (!SQL_SUCCEEDED(SQLGetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT, &own, 0, nullptr))) {
      own = 0;  // ODBC's default: no timeout
    }
    timeout.original = own;
    timeout.current = own;
  }
  if (!SQL_SUCCEEDED(
          SQLSetStmtAttr(statement, SQL_ATTR_QUERY_TIMEOUT, IntegerAttribute(seconds), 0))) {
    query_timeout_refused_ = true;
    return;
  }
  timeout.current = seconds;
}

Session::Cached& Session::Prepared(const std::string& sql, std::string_view doing) {
  auto hit = std::find_if(statements_.begin(), statements_.end(),
                          [&sql](const Cached& entry) { return entry.sql == sql; });
  if (hit != statements_.end()) {
    if (hit->busy) {
      throw DatabaseError(fmt::format(
          "errore del database {} {}: la stessa istruzione è già in uso", database_, doing));
    }
    statements_.splice(statements_.begin(), statements_, hit);
    return statements_.front();
  }
  Handle statement = Allocate(SQL_HANDLE_STMT, connection_.get(), database_, doing);
  CheckOdbc(Prepare(statement.get(), sql), SQL_HANDLE_STMT, statement.get(), database_, doing);
  statements_.push_front({sql, std::move(statement), false, {}});
  if (statements_.size() > kCacheCapacity) {
    // The least recently used statement that no run is using.
    for (auto it = statements_.end(); it != std::next(statements_.begin());) {
      --it;
      if (!it->busy) {
        statements_.erase(it);
        break;
      }
    }
  }
  return statements_.front();
}

std::string Session::QuoteName(std::string_view name) const {
  if (identifier_quote_.empty()) {
    return std::string(name);
  }
  std::string quoted = identifier_quote_;
  for (std::size_t at = 0; at < name.size();) {
    if (name.substr(at, identifier_quote_.size()) == identifier_quote_) {
      quoted += identifier_quote_ + identifier_quote_;
      at += identifier_quote_.size();
    } else {
      quoted += name[at++];
    }
  }
  return quoted + identifier_quote_;
}

std::string Session::Pattern(std::string_view name) const {
  if (pattern_escape_.empty()) {
    return std::string(name);
  }
  std::string pattern;
  for (char c : name) {
    if (c == '_' || c == '%' || std::string_view(pattern_escape_) == std::string_view(&c, 1)) {
      pattern += pattern_escape_;
    }
    pattern += c;
  }
  return pattern;
}

bool Session::Approximate(const Value& value) const {
  return sqlite_ && ((value.Kind() == ValueKind::kDouble && !IsWhole(value.AsDouble())) ||
                     (value.Kind() == ValueKind::kDate && !IsWhole(value.AsDate().giorni)));
}

// --- Tables and their keys -----------------------------------------------------------------------

const Shape* Session::FindShape(std::string_view table) {
  const std::string folded = platform::FoldCase(table);
  if (auto known = shapes_.find(folded); known != shapes_.end()) {
    return &known->second;
  }
  Shape shape;
  {
    OwnStatement tables(*this, fmt::format("cercando la tabella {}", table));
    tables.Check(Tables(tables.get(), Pattern(table), "TABLE"));
    RequireCatalogColumns(tables, 3, "l'elenco delle tabelle");
    while (tables.Fetch()) {
      std::string name = tables.Text(3);
      if (platform::EqualsIgnoringCase(name, table) && (shape.name.empty() || name == table)) {
        shape.name = std::move(name);
      }
    }
  }
  if (shape.name.empty()) {
    return nullptr;  // not remembered: the table may be made later
  }
  {
    OwnStatement columns(*this, fmt::format("leggendo le colonne della tabella {}", table));
    columns.Check(Columns(columns.get(), Pattern(shape.name)));
    RequireCatalogColumns(columns, 9, "le colonne delle tabelle");
    while (columns.Fetch()) {
      if (columns.Text(3) != shape.name) {
        continue;  // another table that the search pattern also matched
      }
      std::string name = columns.Text(4);
      const auto sql_type = static_cast<int>(columns.Number(5));
      const std::string type_name = columns.Text(6);
      const long long size = columns.Number(7);
      const auto digits = static_cast<int>(columns.Number(9));
      shape.columns.push_back(ColumnFromOdbc(std::move(name), type_name, sql_type,
                                             static_cast<std::size_t>(std::max(size, 0LL)), digits,
                                             sqlite_));
    }
  }
  if (shape.columns.empty()) {
    return nullptr;
  }
  shape.key = RowKeyColumns(shape.name);
  for (const std::string& name : shape.key) {
    const std::optional<std::size_t> at = PositionOf(shape.columns, name);
    if (!at) {
      throw DatabaseError(fmt::format(
          "errore del database {}: la colonna {} della chiave manca tra le colonne della tabella "
          "{}",
          database_, name, shape.name));
    }
    shape.key_at.push_back(*at);
  }
  shape.full_order = shape.key_at;
  for (std::size_t i = 0; i < shape.columns.size(); ++i) {
    if (std::find(shape.key_at.begin(), shape.key_at.end(), i) == shape.key_at.end()) {
      shape.full_order.push_back(i);
    }
  }
  if (shape.key.empty()) {
    shape.row_id = RowIdColumn(shape);
  }
  return &shapes_.emplace(folded, std::move(shape)).first->second;
}

const Shape& Session::RequireShape(std::string_view table) {
  if (const Shape* shape = FindShape(table)) {
    return *shape;
  }
  throw DatabaseError(
      fmt::format("errore del database {}: la tabella {} non esiste", database_, table));
}

std::vector<std::pair<std::string, std::vector<std::string>>> Session::Indexes(
    const std::string& table, bool unique_only) {
  if (!driver_.statistics) {
    return {};
  }
  OwnStatement rows(*this, fmt::format("leggendo gli indici della tabella {}", table));
  rows.Check(Statistics(rows.get(), table, unique_only ? SQL_INDEX_UNIQUE : SQL_INDEX_ALL));
  if (!rows.HasColumns(9)) {
    driver_.statistics = false;  // a stub: the tables are taken to have no indexes
    return {};
  }
  struct Part {
    std::string index;
    long long position;
    std::string column;  // empty: an expression
  };
  std::vector<Part> parts;
  while (rows.Fetch()) {
    const long long non_unique = rows.Number(4);
    std::string index;
    if (rows.IsNullText(6, index) || rows.Number(7) == SQL_TABLE_STAT ||
        (unique_only && non_unique != 0)) {
      continue;
    }
    const long long position = rows.Number(8);
    std::string column;
    rows.IsNullText(9, column);
    parts.push_back({std::move(index), position, std::move(column)});
  }
  std::vector<std::pair<std::string, std::vector<std::string>>> indexes;
  for (const Part& part : parts) {
    auto index = std::find_if(indexes.begin(), indexes.end(),
                              [&part](const auto& entry) { return entry.first == part.index; });
    if (index == indexes.end()) {
      indexes.emplace_back(part.index, std::vector<std::string>());
      index = indexes.end() - 1;
    }
    const auto at = static_cast<std::size_t>(std::max(part.position, 1LL)) - 1;
    if (index->second.size() <= at) {
      index->second.resize(at + 1);
    }
    index->second[at] = part.column;
  }
  if (name_primary_key_index_) {
    // Access's name for the index of the primary key, which the profile cannot ask for otherwise.
    const std::optional<std::vector<std::string>> key = DriverPrimaryKey(table);
    for (auto& [name, columns] : indexes) {
      if (key && !key->empty() && SameColumns(columns, *key)) {
        name = "PrimaryKey";
        break;
      }
    }
  }
  return indexes;
}

void Session::RequireCatalogColumns(OwnStatement& result, SQLSMALLINT needed,
                                    std::string_view what) const {
  if (!result.HasColumns(needed)) {
    throw DatabaseError(fmt::format(
        "errore del database {}: il driver ODBC non dà {} (la sua risposta non ha le colonne "
        "previste)",
        database_, what));
  }
}

std::optional<std::vector<std::string>> Session::DriverPrimaryKey(const std::string& table) {
  OwnStatement rows(*this, fmt::format("leggendo la chiave primaria della tabella {}", table));
  const SQLRETURN rc = PrimaryKeys(rows.get(), table);
  if (!SQL_SUCCEEDED(rc) || !rows.HasColumns(5)) {
    if (!SQL_SUCCEEDED(rc)) {
      const std::string state = FirstState(SQL_HANDLE_STMT, rows.get());
      if (state != "IM001" && state != "HYC00") {
        rows.Check(rc);
      }
    }
    driver_.primary_keys = false;
    return std::nullopt;
  }
  std::vector<std::pair<long long, std::string>> parts;
  while (rows.Fetch()) {
    std::string column = rows.Text(4);
    parts.emplace_back(rows.Number(5), std::move(column));
  }
  std::stable_sort(parts.begin(), parts.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> columns;
  columns.reserve(parts.size());
  for (auto& part : parts) {
    columns.push_back(std::move(part.second));
  }
  return columns;
}

std::vector<std::string> Session::PrimaryKeyColumns(const std::string& table) {
  std::optional<std::vector<std::string>> key;
  if (driver_.primary_keys) {
    key = DriverPrimaryKey(table);
  }
  if (!key) {
    // A driver without SQLPrimaryKeys (Access's): the primary key is the index Access names so.
    for (auto& [name, columns] : Indexes(table, true)) {
      if (platform::EqualsIgnoringCase(name, "PrimaryKey")) {
        return columns;
      }
    }
    return {};
  }
  std::vector<std::string>& columns = *key;
  // The SQLite driver numbers a key's columns in the table's order, not the key's; the unique
  // index that holds the key has them in the key's order.
  if (columns.size() > 1) {
    for (auto& index : Indexes(table, true)) {
      if (SameColumns(index.second, columns)) {
        return std::move(index.second);
      }
    }
  }
  return columns;
}

std::string Session::RowIdColumn(const Shape& shape) {
  if (!driver_.row_ids) {
    return {};
  }
  OwnStatement rows(*this, fmt::format("leggendo l'identificativo delle righe di {}", shape.name));
  if (!SQL_SUCCEEDED(BestRowId(rows.get(), shape.name)) || !rows.HasColumns(8)) {
    driver_.row_ids = false;
    return {};
  }
  // Only a pseudo-column, alone: a real column is among the values the full form matches.
  std::string name;
  int found = 0;
  while (rows.Fetch()) {
    ++found;
    name = rows.Text(2);
    if (rows.Number(8) != SQL_PC_PSEUDO || PositionOf(shape.columns, name)) {
      return {};
    }
  }
  const bool plain = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  });
  return found == 1 && plain ? name : std::string();
}

std::vector<std::string> Session::RowKeyColumns(const std::string& table) {
  std::vector<std::string> columns = PrimaryKeyColumns(table);
  if (!columns.empty()) {
    return columns;
  }
  for (auto& [name, index_columns] : Indexes(table, true)) {
    const bool on_columns = !index_columns.empty() &&
                            std::none_of(index_columns.begin(), index_columns.end(),
                                         [](const std::string& column) { return column.empty(); });
    if (on_columns) {
      return index_columns;
    }
  }
  return {};
}

// --- Finding rows --------------------------------------------------------------------------------

KeyMatch Session::MatchKey(const Shape& shape, const RowKey& key) const {
  KeyMatch match;
  match.values = key.values;
  if (!shape.key.empty() && key.values.size() == shape.key.size()) {
    match.columns = shape.key_at;
    // A Null part may be shared by several rows, and so may a value matched within the driver's
    // precision (two stored keys closer than that): such a key is counted before it is used.
    match.unique = std::none_of(key.values.begin(), key.values.end(), [this](const Value& value) {
      return value.IsNull() || Approximate(value);
    });
    return match;
  }
  if (key.values.size() == shape.columns.size()) {
    match.columns = shape.full_order;
    match.full = true;
    if (key.rowid != 0 && !shape.row_id.empty()) {
      match.row_id = key.rowid;
      match.unique = true;
    }
    return match;
  }
  throw DatabaseError(fmt::format(
      "errore del database {}: una riga della tabella {} cercata per {} valori, la chiave ne ha "
      "{} e la tabella {} colonne",
      database_, shape.name, key.values.size(), shape.key.size(), shape.columns.size()));
}

std::string Session::Condition(const Shape& shape, const KeyMatch& match) const {
  // The row id first: the engine finds the row by it, then checks the values.
  std::string condition = match.row_id ? shape.row_id + " = ? AND " : "";
  for (std::size_t i = 0; i < match.columns.size(); ++i) {
    const std::string name = QuoteName(shape.columns[match.columns[i]].name);
    condition += i == 0 ? "" : " AND ";
    if (match.values[i].IsNull()) {
      condition += name + " IS NULL";
    } else if (Approximate(match.values[i])) {
      condition += name + " BETWEEN ? AND ?";
    } else {
      condition += name + " = ?";
    }
  }
  return condition;
}

std::string Session::RowText(const Shape& shape, const KeyMatch& match) const {
  std::string text = "di " + shape.name + " con ";
  for (std::size_t i = 0; i < match.columns.size(); ++i) {
    text += (i == 0 ? "" : ", ") + shape.columns[match.columns[i]].name + " = " +
            Shown(match.values[i]);
  }
  return text;
}

Layout Session::TableLayout(const Shape& shape, std::vector<ResultColumn> columns,
                            bool with_row_id) const {
  Layout layout;
  if (with_row_id) {
    if (columns.empty()) {
      return {};
    }
    columns.pop_back();
    layout.row_id_at = columns.size();
  }
  // Where each of the table's columns stands in the result: a "SELECT *" gives them all.
  std::vector<std::size_t> place(shape.columns.size(), columns.size());
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const std::optional<std::size_t> at = PositionOf(shape.columns, columns[i].column.name);
    if (!at) {
      return {};
    }
    place[*at] = i;
    columns[i].column = shape.columns[*at];  // the declared kind, with its size
  }
  if (std::find(place.begin(), place.end(), columns.size()) != place.end()) {
    return {};
  }
  for (std::size_t at : shape.key_at) {
    layout.key_at.push_back(place[at]);
  }
  for (std::size_t at : shape.full_order) {
    layout.full_order.push_back(place[at]);
  }
  layout.columns = std::move(columns);
  return layout;
}

Row Session::ReadRow(Run& run, const Layout& layout, bool keyed) {
  std::vector<Field> fields;
  fields.reserve(layout.columns.size());
  for (std::size_t i = 0; i < layout.columns.size(); ++i) {
    fields.push_back(run.Read(i, layout.columns[i]));
  }
  Row row;
  if (keyed) {
    std::optional<std::int64_t> row_id;
    if (layout.row_id_at) {
      const std::optional<std::string> text =
          run.CharText(static_cast<SQLUSMALLINT>(*layout.row_id_at + 1));
      row_id = text ? WholeFromText(*text) : std::nullopt;
    }
    row.key = MakeKey(fields, layout, row_id);
  }
  for (Field& field : fields) {
    row.values.push_back(std::move(field.value));
  }
  return row;
}

std::optional<Row> Session::FirstTableRow(Run& run, const Shape& shape) {
  run.Execute();
  const Layout layout = TableLayout(shape, run.Columns(), !shape.row_id.empty());
  if (layout.columns.empty()) {
    throw DatabaseError(
        fmt::format("errore del database {} {}: le colonne lette non sono quelle della tabella {}",
                    database_, run.doing(), shape.name));
  }
  if (!run.Fetch()) {
    return std::nullopt;
  }
  return ReadRow(run, layout, true);
}

QueryResult Session::Query(std::string_view sql) {
  QueryResult result;
  const Shape* shape = nullptr;
  // A table's rows: the text prepared once for its shape, where the driver takes parameters.
  SqlShape text{std::string(sql), {}};
  bool with_row_id = false;
  if (auto select = ParseSelectAllFrom(sql)) {
    shape = FindShape(select->table);
    if (shape != nullptr && driver_.parameters) {
      text = ShapeOf(sql);
    }
    if (shape != nullptr && !shape->row_id.empty()) {
      text.text.insert(select->star_offset + 1, ", " + shape->row_id);
      with_row_id = true;
    }
  }
  Run run(*this, text.text, fmt::format("eseguendo la query \"{}\"", sql));
  for (const Value& literal : text.literals) {
    run.Bind(literal);
  }
  run.Execute();
  std::vector<ResultColumn> columns = run.Columns();
  Layout layout;
  if (shape != nullptr) {
    layout = TableLayout(*shape, columns, with_row_id);
  }
  const bool keyed = !layout.columns.empty();
  if (keyed) {
    result.table = shape->name;
  } else {
    if (with_row_id && !columns.empty()) {
      columns.pop_back();  // read as a plain column, the row id is not one of the query's
    }
    layout.columns = std::move(columns);
  }
  for (const ResultColumn& column : layout.columns) {
    result.columns.push_back(column.column);
  }
  if (layout.columns.empty()) {
    return result;  // a text that returns no rows
  }
  while (run.Fetch()) {
    result.rows.push_back(ReadRow(run, layout, keyed));
  }
  return result;
}

void Session::Execute(std::string_view sql) {
  shapes_.clear();  // the text may change the schema
  statements_.remove_if([](const Cached& entry) { return !entry.busy; });
  for (std::string_view part : SplitStatements(sql)) {
    OwnStatement statement(*this, fmt::format("eseguendo \"{}\"", part));
    statement.Check(ExecDirect(statement.get(), part));
  }
}

std::vector<Column> Session::TableColumns(std::string_view table) {
  return RequireShape(table).columns;
}

std::vector<std::string> Session::IndexColumns(std::string_view table, std::string_view index) {
  const Shape& shape = RequireShape(table);
  std::vector<std::string> columns;
  for (auto& [name, index_columns] : Indexes(shape.name, false)) {
    if (platform::EqualsIgnoringCase(name, index)) {
      columns = std::move(index_columns);
      break;
    }
  }
  if (std::any_of(columns.begin(), columns.end(),
                  [](const std::string& column) { return column.empty(); })) {
    throw DatabaseError(fmt::format(
        "errore del database {}: l'indice {} della tabella {} è su un'espressione, non su colonne",
        database_, index, shape.name));
  }
  if (columns.empty() && (platform::EqualsIgnoringCase(index, "primary") ||
                          platform::EqualsIgnoringCase(index, "PrimaryKey"))) {
    columns = PrimaryKeyColumns(shape.name);
  }
  if (columns.empty()) {
    throw DatabaseError(fmt::format("errore del database {}: la tabella {} non ha l'indice {}",
                                    database_, shape.name, index));
  }
  return columns;
}

std::optional<Row> Session::Seek(std::string_view table,
                                 const std::vector<std::string>& key_columns,
                                 const std::vector<Value>& key) {
  if (key_columns.empty() || key_columns.size() != key.size()) {
    throw DatabaseError(fmt::format(
        "errore del database {} cercando nella tabella {}: {} valori per {} colonne della chiave",
        database_, table, key.size(), key_columns.size()));
  }
  const Shape& shape = RequireShape(table);
  std::string sql = SelectFrom(shape) + " WHERE ";
  for (std::size_t i = 0; i < key_columns.size(); ++i) {
    sql += (i == 0 ? "" : " AND ") + QuoteName(key_columns[i]) + " = ?";
  }
  Run run(*this, sql, fmt::format("cercando nella tabella {}", shape.name));
  for (const Value& value : key) {
    run.Bind(value);
  }
  return FirstTableRow(run, shape);
}

std::optional<Row> Session::Fetch(std::string_view table, const RowKey& key) {
  const Shape& shape = RequireShape(table);
  const KeyMatch match = MatchKey(shape, key);
  Run run(*this, SelectFrom(shape) + " WHERE " + Condition(shape, match),
          "rileggendo la riga " + RowText(shape, match));
  run.BindCondition(match);
  return FirstTableRow(run, shape);
}

long long Session::CountRows(const Shape& shape, const KeyMatch& match, std::string_view doing) {
  Run run(*this,
          "SELECT COUNT(*) FROM " + QuoteName(shape.name) + " WHERE " + Condition(shape, match),
          std::string(doing));
  run.BindCondition(match);
  run.Execute();
  if (!run.Fetch()) {
    return 0;
  }
  const std::optional<std::string> count = run.CharText(1);
  return count ? WholeFromText(*count).value_or(0) : 0;
}

void Session::ThrowGone(const Shape& shape, const KeyMatch& match, std::string_view doing) const {
  throw DatabaseError(fmt::format(
      "errore del database {} {}: la riga {} non c'è più o è stata cambiata da un altro programma",
      database_, doing, RowText(shape, match)));
}

void Session::InsertValues(const Shape& shape, const std::vector<std::string>& names,
                           const std::vector<Value>& values, std::string_view doing) {
  std::string list, marks;
  for (std::size_t i = 0; i < names.size(); ++i) {
    list += (i == 0 ? "" : ", ") + QuoteName(names[i]);
    marks += i == 0 ? "?" : ", ?";
  }
  Run run(*this, "INSERT INTO " + QuoteName(shape.name) + " (" + list + ") VALUES (" + marks + ")",
          std::string(doing));
  for (const Value& value : values) {
    run.Bind(value);
  }
  run.Execute();
}

void Session::ReplaceEqualRows(const Shape& shape, const KeyMatch& match, long long count,
                               const std::optional<std::vector<Value>>& replacement,
                               std::string_view doing) {
  {
    Run run(*this, "DELETE FROM " + QuoteName(shape.name) + " WHERE " + Condition(shape, match),
            std::string(doing));
    run.BindCondition(match);
    run.Execute();
    if (run.RowCount() != count) {
      throw DatabaseError(fmt::format(
          "errore del database {} {}: le righe uguali sono cambiate durante la modifica", database_,
          doing));
    }
  }
  std::vector<std::string> names;
  for (std::size_t at : shape.full_order) {
    names.push_back(shape.columns[at].name);
  }
  for (long long i = 1; i < count; ++i) {
    InsertValues(shape, names, match.values, doing);
  }
  if (replacement) {
    InsertValues(shape, names, *replacement, doing);
  }
}

void Session::ChangeRow(const Shape& shape, const KeyMatch& match, const std::string& head,
                        const std::vector<Value>& values,
                        const std::optional<std::vector<Value>>& replacement,
                        std::string_view doing) {
  const std::string condition = Condition(shape, match);
  // A key that may name several rows: counted and changed in one transaction.
  std::optional<OwnTransaction> own;
  if (!match.unique) {
    own.emplace(*this);
    const long long count = CountRows(shape, match, doing);
    if (count == 0) {
      ThrowGone(shape, match, doing);
    }
    if (count > 1) {
      if (!match.full) {
        throw DatabaseError(fmt::format(
            "errore del database {} {}: {} righe hanno questa chiave, non si può dire quale sia",
            database_, doing, count));
      }
      if (sqlite_) {
        // SQLite gives every row a rowid: one of the equal rows is changed through it, and the
        // others stay as they are stored (the driver reads numbers back with 15 digits only,
        // so writing them again would change them).
        Run run(*this,
                head + " WHERE rowid = (SELECT rowid FROM " + QuoteName(shape.name) + " WHERE " +
                    condition + " LIMIT 1)",
                std::string(doing));
        for (const Value& value : values) {
          run.Bind(value);
        }
        run.BindCondition(match);
        run.Execute();
        if (run.RowCount() != 1) {
          ThrowGone(shape, match, doing);
        }
      } else {
        ReplaceEqualRows(shape, match, count, replacement, doing);
      }
      own->Commit();
      return;
    }
  }
  {
    Run run(*this, head + " WHERE " + condition, std::string(doing));
    for (const Value& value : values) {
      run.Bind(value);
    }
    run.BindCondition(match);
    run.Execute();
    const SQLLEN rows = run.RowCount();
    if (rows == 0) {
      ThrowGone(shape, match, doing);
    }
    if (rows != 1 && !match.unique) {
      throw DatabaseError(fmt::format(
          "errore del database {} {}: le righe uguali sono cambiate durante la modifica", database_,
          doing));
    }
  }
  if (own) {
    own->Commit();
  }
}

RowKey Session::Update(std::string_view table, const RowKey& key,
                       const std::vector<FieldChange>& changes) {
  const Shape& shape = RequireShape(table);
  const KeyMatch match = MatchKey(shape, key);
  if (changes.empty()) {
    return key;
  }
  // The key as it is after the change: the changed values of its columns.
  RowKey changed{0, key.values};
  for (std::size_t i = 0; i < match.columns.size(); ++i) {
    if (const Value* value = ChangeOf(changes, shape.columns[match.columns[i]].name)) {
      changed.values[i] = *value;
    }
  }
  std::string sql = "UPDATE " + QuoteName(shape.name) + " SET ";
  std::vector<Value> values;
  for (std::size_t i = 0; i < changes.size(); ++i) {
    sql += (i == 0 ? "" : ", ") + QuoteName(changes[i].column) + " = ?";
    values.push_back(changes[i].value);
  }
  ChangeRow(shape, match, sql, values, changed.values,
            "aggiornando la riga " + RowText(shape, match));
  return changed;
}

void Session::Delete(std::string_view table, const RowKey& key) {
  const Shape& shape = RequireShape(table);
  const KeyMatch match = MatchKey(shape, key);
  ChangeRow(shape, match, "DELETE FROM " + QuoteName(shape.name), {}, std::nullopt,
            "eliminando la riga " + RowText(shape, match));
}

RowKey Session::Insert(std::string_view table, const std::vector<FieldChange>& fields) {
  const Shape& shape = RequireShape(table);
  const std::string doing = "aggiungendo una riga a " + shape.name;
  if (fields.empty()) {
    Run run(*this, "INSERT INTO " + QuoteName(shape.name) + " DEFAULT VALUES", doing);
    run.Execute();
  } else {
    std::vector<std::string> names;
    std::vector<Value> values;
    for (const FieldChange& field : fields) {
      names.push_back(field.column);
      values.push_back(field.value);
    }
    InsertValues(shape, names, values, doing);
  }
  return AddedRowKey(shape, fields);
}

RowKey Session::AddedRowKey(const Shape& shape, const std::vector<FieldChange>& fields) {
  const std::string doing = "rileggendo la riga appena aggiunta a " + shape.name;
  // Every key column written: the key is what was written.
  RowKey key;
  std::vector<std::size_t> missing;
  for (std::size_t i = 0; i < shape.key.size(); ++i) {
    const Value* value = ChangeOf(fields, shape.key[i]);
    if (value == nullptr || value->IsNull()) {
      missing.push_back(i);
      key.values.push_back(Value::Null());
    } else {
      key.values.push_back(*value);
    }
  }
  if (!shape.key.empty() && missing.empty()) {
    return key;
  }
  if (shape.key.empty() && !sqlite_) {
    // Every column written: the full form is what was written. Found by a search instead, the
    // row would cost a pass over a table that has no index to find it by.
    RowKey full;
    for (std::size_t at : shape.full_order) {
      const Value* value = ChangeOf(fields, shape.columns[at].name);
      if (value == nullptr) {
        break;
      }
      full.values.push_back(*value);
    }
    if (full.values.size() == shape.columns.size()) {
      return full;
    }
  }
  std::optional<Row> added;
  if (sqlite_) {
    Run run(*this, SelectFrom(shape) + " WHERE rowid = last_insert_rowid()", doing);
    added = FirstTableRow(run, shape);
  } else if (access_ && missing.size() == 1) {
    // The one key column not written is the counter, which Access numbers itself.
    Run run(*this, "SELECT @@IDENTITY", doing);
    run.Execute();
    if (run.Fetch()) {
      const std::optional<std::string> counter = run.CharText(1);
      const std::optional<std::int64_t> number = counter ? WholeFromText(*counter) : std::nullopt;
      if (number) {
        key.values[missing.front()] = WholeNumber(*number, false);
        return key;
      }
    }
  } else {
    // No way to ask the engine which row it added: the first row that holds what was written.
    KeyMatch written;
    for (const FieldChange& field : fields) {
      const std::optional<std::size_t> at = PositionOf(shape.columns, field.column);
      if (at) {
        written.columns.push_back(*at);
        written.values.push_back(field.value);
      }
    }
    std::string sql = SelectFrom(shape);
    if (!written.columns.empty()) {
      sql += " WHERE " + Condition(shape, written);
    }
    Run run(*this, sql, doing);
    run.BindCondition(written);
    added = FirstTableRow(run, shape);
  }
  if (!added) {
    throw DatabaseError(
        fmt::format("errore del database {} {}: la riga non si ritrova", database_, doing));
  }
  return added->key;
}

// --- Transactions --------------------------------------------------------------------------------

void Session::BeginTransaction() {
  if (in_transaction_) {
    throw DatabaseError(fmt::format(
        "errore del database {} iniziando una transazione: ce n'è già una aperta", database_));
  }
  CheckOdbc(SQLSetConnectAttr(connection_.get(), SQL_ATTR_AUTOCOMMIT,
                              IntegerAttribute(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER),
            SQL_HANDLE_DBC, connection_.get(), database_, "iniziando una transazione");
  in_transaction_ = true;
}

void Session::EndTransaction(SQLSMALLINT completion, std::string_view doing) {
  if (!in_transaction_) {
    throw DatabaseError(
        fmt::format("errore del database {} {}: nessuna transazione aperta", database_, doing));
  }
  CheckOdbc(SQLEndTran(SQL_HANDLE_DBC, connection_.get(), completion), SQL_HANDLE_DBC,
            connection_.get(), database_, doing);
  // Only once the transaction has ended: turning autocommit on would commit it.
  CheckOdbc(SQLSetConnectAttr(connection_.get(), SQL_ATTR_AUTOCOMMIT,
                              IntegerAttribute(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER),
            SQL_HANDLE_DBC, connection_.get(), database_, doing);
  in_transaction_ = false;
}

void Session::Commit() {
  EndTransaction(SQL_COMMIT, "confermando la transazione");
}

void Session::Rollback() {
  EndTransaction(SQL_ROLLBACK, "annullando la transazione");
}

// --- Values and names ----------------------------------------------------------------------------

Column ColumnFromOdbc(std::string name, std::string_view type_name, int sql_type, std::size_t size,
                      int decimal_digits, bool declared_only) {
  constexpr std::size_t kLongestText = 255;
  const bool scaled_to_currency =
      !declared_only && (sql_type == SQL_NUMERIC || sql_type == SQL_DECIMAL) && decimal_digits == 4;
  Column column = ColumnFromDeclaration(std::move(name), type_name);
  if (column.kind == ColumnKind::kText && type_name.find('(') == std::string_view::npos &&
      size > 0 && size <= kLongestText) {
    column.size = size;  // "VARCHAR", "TEXT": the driver knows the size the name does not say
  }
  if (scaled_to_currency) {
    column.kind = ColumnKind::kCurrency;
    column.size = 0;
  }
  if (column.kind != ColumnKind::kOther || declared_only) {
    return column;
  }
  switch (sql_type) {
    case SQL_SMALLINT:
    case SQL_TINYINT:
      column.kind = ColumnKind::kInteger;
      break;
    case SQL_INTEGER:
      column.kind = ColumnKind::kLong;
      break;
    case SQL_DOUBLE:
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_NUMERIC:
    case SQL_DECIMAL:
      column.kind = ColumnKind::kDouble;
      break;
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATETIME:
    case SQL_TIME:
    case SQL_TIMESTAMP:
      column.kind = ColumnKind::kDate;
      break;
    case SQL_BIT:
      column.kind = ColumnKind::kBoolean;
      break;
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
      column.kind = ColumnKind::kText;
      column.size = size > 0 ? size : kLongestText;
      break;
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
      column.kind = ColumnKind::kMemo;
      break;
    default:
      break;
  }
  return column;
}

std::optional<Currency> CurrencyFromText(std::string_view text) {
  if (auto parsed = ParseCurrency(text)) {
    return parsed->first;
  }
  return std::nullopt;
}

std::string CurrencyText(Currency amount) {
  const bool negative = amount.diecimillesimi < 0;
  // Unsigned, so that the most negative amount has a magnitude too.
  const std::uint64_t magnitude =
      negative ? std::uint64_t{0} - static_cast<std::uint64_t>(amount.diecimillesimi)
               : static_cast<std::uint64_t>(amount.diecimillesimi);
  const auto scale = static_cast<std::uint64_t>(Currency::kScala);
  return fmt::format("{}{}.{:04}", negative ? "-" : "", magnitude / scale, magnitude % scale);
}

Timestamp TimestampFromDay(Date day) {
  double whole = std::trunc(day.giorni);
  auto seconds = static_cast<long long>(std::llround(std::fabs(day.giorni - whole) * 86400.0));
  if (seconds >= 86400) {  // rounded up to the next midnight
    seconds -= 86400;
    whole += 1;
  }
  const std::chrono::year_month_day date = DayFromNumber(static_cast<std::int32_t>(whole));
  Timestamp moment;
  moment.year = static_cast<int>(date.year());
  moment.month = static_cast<int>(static_cast<unsigned>(date.month()));
  moment.day = static_cast<int>(static_cast<unsigned>(date.day()));
  moment.hour = static_cast<int>(seconds / 3600);
  moment.minute = static_cast<int>(seconds / 60 % 60);
  moment.second = static_cast<int>(seconds % 60);
  return moment;
}

Date DayFromTimestamp(const Timestamp& moment) {
  const std::chrono::year_month_day date{std::chrono::year(moment.year),
                                         std::chrono::month(static_cast<unsigned>(moment.month)),
                                         std::chrono::day(static_cast<unsigned>(moment.day))};
  const double whole = DayNumber(date);
  const double time = (moment.hour * 3600.0 + moment.minute * 60.0 + moment.second) / 86400.0;
  return Date{whole >= 0 ? whole + time : whole - time};
}

std::string DataSourceName(std::string_view connection_string) {
  std::string file, dsn;
  std::size_t at = 0;
  while (at < connection_string.size()) {
    const std::size_t equals = connection_string.find('=', at);
    if (equals == std::string_view::npos) {
      break;
    }
    const std::string key(Trim(connection_string.substr(at, equals - at)));
    std::string value;
    at = equals + 1;
    if (at < connection_string.size() && connection_string[at] == '{') {
      // A braced value: "}}" stands for "}".
      for (++at; at < connection_string.size(); ++at) {
        if (connection_string[at] == '}') {
          if (at + 1 < connection_string.size() && connection_string[at + 1] == '}') {
            value += '}';
            ++at;
            continue;
          }
          ++at;
          break;
        }
        value += connection_string[at];
      }
      const std::size_t end = connection_string.find(';', at);
      at = end == std::string_view::npos ? connection_string.size() : end + 1;
    } else {
      const std::size_t end = connection_string.find(';', at);
      value = std::string(Trim(connection_string.substr(
          at, (end == std::string_view::npos ? connection_string.size() : end) - at)));
      at = end == std::string_view::npos ? connection_string.size() : end + 1;
    }
    if (platform::EqualsIgnoringCase(key, "DBQ") || platform::EqualsIgnoringCase(key, "Database")) {
      file = value;
    } else if (platform::EqualsIgnoringCase(key, "DSN") ||
               platform::EqualsIgnoringCase(key, "FILEDSN")) {
      dsn = value;
    }
  }
  if (!file.empty()) {
    return file;
  }
  return dsn.empty() ? "ODBC" : dsn;
}

}  // namespace zav5::data::odbc

namespace zav5::data {

OdbcConnection::OdbcConnection(const std::string& connection_string,
                               std::shared_ptr<AttesaBlocchi> attese, DriverProfile profile)
    : session_(std::make_unique<odbc::Session>(connection_string, std::move(attese), profile)) {
  session_->on_statement = [this] { CountStatement(); };
}

OdbcConnection::~OdbcConnection() = default;

QueryResult OdbcConnection::Query(std::string_view sql) {
  return session_->Query(sql);
}

void OdbcConnection::Execute(std::string_view sql) {
  session_->Execute(sql);
}

std::vector<Column> OdbcConnection::TableColumns(std::string_view table) {
  return session_->TableColumns(table);
}

std::vector<std::string> OdbcConnection::IndexColumns(std::string_view table,
                                                      std::string_view index) {
  return session_->IndexColumns(table, index);
}

std::optional<Row> OdbcConnection::Seek(std::string_view table,
                                        const std::vector<std::string>& key_columns,
                                        const std::vector<Value>& key) {
  return session_->Seek(table, key_columns, key);
}

std::optional<Row> OdbcConnection::Fetch(std::string_view table, const RowKey& key) {
  return session_->Fetch(table, key);
}

RowKey OdbcConnection::Update(std::string_view table, const RowKey& key,
                              const std::vector<FieldChange>& changes) {
  return session_->Update(table, key, changes);
}

RowKey OdbcConnection::Insert(std::string_view table, const std::vector<FieldChange>& fields) {
  return session_->Insert(table, fields);
}

void OdbcConnection::Delete(std::string_view table, const RowKey& key) {
  session_->Delete(table, key);
}

void OdbcConnection::BeginTransaction() {
  session_->BeginTransaction();
}

void OdbcConnection::Commit() {
  session_->Commit();
}

void OdbcConnection::Rollback() {
  session_->Rollback();
}

bool OdbcConnection::InTransaction() const {
  return session_->InTransaction();
}

bool OdbcConnection::RowsStayAsRead() const {
  return session_->sqlite();
}

}  // namespace zav5::data
