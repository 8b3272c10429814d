#include "data/odbc/odbc_connection.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <utility>

#include <fmt/format.h>

#include "data/ascii_text.h"
#include "data/odbc/odbc_error.h"
#include "data/odbc/odbc_session.h"
#include "data/odbc/odbc_statements.h"
#include "data/odbc/odbc_text.h"
#include "data/odbc/odbc_values.h"
#include "data/select_all.h"
#include "errors.h"
#include "platform/case_fold.h"

namespace zav5::data::odbc {

namespace {

// Small: the program runs a handful of distinct statements.
constexpr std::size_t kCacheCapacity = 24;

// How long the driver may take to reach the data source; a driver without such a limit ignores it.
constexpr SQLULEN kLoginTimeoutSeconds = 15;

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

}  // namespace

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

// --- The connection ------------------------------------------------------------------------------

Session::Session(const std::string& connection_string, std::shared_ptr<LockWaits> waits,
                 DriverProfile profile)
    : database_(DataSourceName(connection_string)), waits_(std::move(waits)) {
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
  if (waits_ == nullptr || query_timeout_refused_) {
    return;
  }
  const std::optional<std::chrono::steady_clock::duration> left = waits_->TimeLeft();
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
  statements_.push_front({sql, std::move(statement), false, {}, {}, false, {}});
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
                     (value.Kind() == ValueKind::kDate && !IsWhole(value.AsDate().ole_days)));
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
  layout.of_table = true;
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
  const std::vector<ResultColumn>& columns = run.Columns();
  std::optional<Layout>& layout = run.CachedLayout();
  if (!layout) {
    layout = TableLayout(shape, columns, !shape.row_id.empty());
  }
  if (!layout->of_table) {
    throw DatabaseError(
        fmt::format("errore del database {} {}: le colonne lette non sono quelle della tabella {}",
                    database_, run.doing(), shape.name));
  }
  if (!run.Fetch()) {
    return std::nullopt;
  }
  return ReadRow(run, *layout, true);
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
  const std::vector<ResultColumn>& columns = run.Columns();
  std::optional<Layout>& layout = run.CachedLayout();
  if (!layout) {
    layout = shape != nullptr ? TableLayout(*shape, columns, with_row_id) : Layout{};
    if (!layout->of_table) {
      layout->columns = columns;
      if (with_row_id && !layout->columns.empty()) {
        layout->columns.pop_back();  // read as a plain column, the row id is not one of the query's
      }
    }
  }
  const bool keyed = layout->of_table;
  if (keyed) {
    result.table = shape->name;
  }
  for (const ResultColumn& column : layout->columns) {
    result.columns.push_back(column.column);
  }
  if (layout->columns.empty()) {
    return result;  // a text that returns no rows
  }
  while (run.Fetch()) {
    result.rows.push_back(ReadRow(run, *layout, keyed));
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

std::unique_ptr<Connection> OpenOdbcConnection(const std::string& connection_string,
                                               std::shared_ptr<LockWaits> waits,
                                               DriverProfile profile) {
  return std::make_unique<odbc::Session>(connection_string, std::move(waits), profile);
}

}  // namespace zav5::data
