#include "data/sqlite/sqlite_connection.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <list>
#include <optional>
#include <unordered_map>

#include <fmt/format.h>
#include <sqlite3.h>

#include "data/ascii_text.h"
#include "data/column.h"
#include "data/select_all.h"
#include "data/stored_values.h"
#include "errors.h"

// RETURNING reads a row's key as it is saved, in the statement that saves it.
static_assert(SQLITE_VERSION_NUMBER >= 3035000, "SQLite 3.35 or later is needed (RETURNING)");

namespace zav5::data {

namespace {

// Appends a name from the schema, ready to stand in SQL text.
void AppendName(std::string& sql, std::string_view name) {
  sql += '"';
  for (char c : name) {
    sql += c;
    if (c == '"') {
      sql += '"';
    }
  }
  sql += '"';
}

// --- Values between the program and the engine ---------------------------------------------------

// A REAL in an integer column: a whole number that fits is read as the column's type, anything
// else stays a Double so that nothing is lost.
Value WholeNumberFromReal(double d, bool may_be_short) {
  if (std::trunc(d) == d && std::fabs(d) <= std::numeric_limits<std::int32_t>::max()) {
    return WholeNumber(static_cast<std::int64_t>(d), may_be_short);
  }
  return Value::Double(d);
}

// The bytes of column `i`, whose storage class is `type`.
std::string ColumnBytes(sqlite3_stmt* statement, int i, int type) {
  const void* bytes = type == SQLITE_BLOB
                          ? sqlite3_column_blob(statement, i)
                          : static_cast<const void*>(sqlite3_column_text(statement, i));
  const int size = sqlite3_column_bytes(statement, i);
  if (bytes == nullptr || size <= 0) {
    return std::string();
  }
  return std::string(static_cast<const char*>(bytes), static_cast<std::size_t>(size));
}

std::string ColumnBytes(sqlite3_stmt* statement, int i) {
  return ColumnBytes(statement, i, sqlite3_column_type(statement, i));
}

Value ReadValue(sqlite3_stmt* statement, int i, const Column& column) {
  const int type = sqlite3_column_type(statement, i);
  if (type == SQLITE_NULL) {
    return Value::Null();
  }
  const bool number = type == SQLITE_INTEGER || type == SQLITE_FLOAT;
  switch (column.kind) {
    case ColumnKind::kInteger:
    case ColumnKind::kLong: {
      const bool may_be_short = column.kind == ColumnKind::kInteger;
      if (type == SQLITE_INTEGER) {
        return WholeNumber(sqlite3_column_int64(statement, i), may_be_short);
      }
      if (type == SQLITE_FLOAT) {
        return WholeNumberFromReal(sqlite3_column_double(statement, i), may_be_short);
      }
      break;
    }
    case ColumnKind::kDouble:
      if (number) {
        return Value::Double(sqlite3_column_double(statement, i));
      }
      break;
    case ColumnKind::kCurrency:
      if (type == SQLITE_INTEGER) {
        const std::int64_t units = sqlite3_column_int64(statement, i);
        if (units <= INT64_MAX / Currency::kScale && units >= INT64_MIN / Currency::kScale) {
          return Value::Money(Currency{units * Currency::kScale});
        }
        return Value::Double(static_cast<double>(units));
      }
      if (type == SQLITE_FLOAT) {
        const double amount = sqlite3_column_double(statement, i);
        if (const std::optional<Currency> money = Currency::TryFromDouble(amount)) {
          return Value::Money(*money);
        }
        return Value::Double(amount);  // too large for a currency: kept as it is
      }
      break;
    case ColumnKind::kDate:
      if (number) {
        return Value::Day(Date{sqlite3_column_double(statement, i)});
      }
      if (type == SQLITE_TEXT) {
        const std::string text = ColumnBytes(statement, i, type);
        if (auto day = IsoDateToDayNumber(text)) {
          return Value::Day(Date{*day});
        }
        return Value::Text(text);
      }
      break;
    case ColumnKind::kBoolean:
      if (type == SQLITE_INTEGER) {
        return Value::Boolean(sqlite3_column_int64(statement, i) != 0);
      }
      if (type == SQLITE_FLOAT) {
        return Value::Boolean(sqlite3_column_double(statement, i) != 0);
      }
      break;
    case ColumnKind::kText:
    case ColumnKind::kMemo:
      return Value::Text(ColumnBytes(statement, i, type));
    case ColumnKind::kOther:
      if (type == SQLITE_INTEGER) {
        return WholeNumber(sqlite3_column_int64(statement, i), false);
      }
      if (type == SQLITE_FLOAT) {
        return Value::Double(sqlite3_column_double(statement, i));
      }
      break;
  }
  // What the column's type cannot hold (a text in a number column, a blob) is read as text.
  return Value::Text(ColumnBytes(statement, i, type));
}

std::vector<Column> StatementColumns(sqlite3_stmt* statement, int first) {
  std::vector<Column> columns;
  const int count = sqlite3_column_count(statement);
  for (int i = first; i < count; ++i) {
    const char* name = sqlite3_column_name(statement, i);
    const char* declared = sqlite3_column_decltype(statement, i);
    columns.push_back(
        ColumnFromDeclaration(name != nullptr ? name : "", declared != nullptr ? declared : ""));
  }
  return columns;
}

// --- Finding a row again -------------------------------------------------------------------------

// A key value as the engine stores it: kept by its storage class, not read by the column's type,
// so that bound back it compares equal to what is stored (a CURRENCY key with five decimals, a
// date key another program wrote as text). Nothing for what cannot be bound back the same way: a
// blob, an integer beyond those a double holds exactly, and Null, since a key with a Null part
// can be shared by several rows.
std::optional<Value> StoredKeyValue(sqlite3_stmt* statement, int i) {
  switch (sqlite3_column_type(statement, i)) {
    case SQLITE_INTEGER: {
      const std::int64_t v = sqlite3_column_int64(statement, i);
      if (v >= std::numeric_limits<std::int32_t>::min() &&
          v <= std::numeric_limits<std::int32_t>::max()) {
        return Value::Long(static_cast<std::int32_t>(v));
      }
      // Beyond 32 bits as a double, which the engine compares with the stored integer as a
      // number: exact up to 2^53.
      constexpr std::int64_t kExactInDouble = std::int64_t{1} << 53;
      if (v >= -kExactInDouble && v <= kExactInDouble) {
        return Value::Double(static_cast<double>(v));
      }
      return std::nullopt;
    }
    case SQLITE_FLOAT:
      return Value::Double(sqlite3_column_double(statement, i));
    case SQLITE_TEXT:
      return Value::Text(ColumnBytes(statement, i));
    default:
      return std::nullopt;
  }
}

// The key of the row a statement stands on: the rowid from column `rowid_at`, the primary key's
// values from the columns `key_at` (none for a table without one). A key value that cannot be
// bound back leaves the row to be found by its rowid.
RowKey ReadKey(sqlite3_stmt* statement, int rowid_at, const std::vector<int>& key_at) {
  RowKey key{sqlite3_column_int64(statement, rowid_at), {}};
  for (int i : key_at) {
    std::optional<Value> value = StoredKeyValue(statement, i);
    if (!value) {
      key.values.clear();
      break;
    }
    key.values.push_back(std::move(*value));
  }
  return key;
}

// Where the key's columns stand in a statement whose columns from `first` on are `columns`.
std::vector<int> KeyPlaces(const std::vector<std::string>& key_columns,
                           const std::vector<Column>& columns, int first) {
  std::vector<int> places;
  for (const std::string& name : key_columns) {
    const std::optional<std::size_t> column = FindColumn(columns, name);
    if (!column) {
      throw DatabaseError(
          fmt::format("la colonna {} della chiave primaria manca tra le colonne lette", name));
    }
    places.push_back(first + static_cast<int>(*column));
  }
  return places;
}

// The places of the key's columns in a RETURNING clause made by Returning().
std::vector<int> ReturnedKeyPlaces(const std::vector<std::string>& key_columns) {
  std::vector<int> places;
  for (std::size_t i = 0; i < key_columns.size(); ++i) {
    places.push_back(static_cast<int>(i) + 1);
  }
  return places;
}

// Appends " RETURNING rowid, <key columns>": what an INSERT or UPDATE gives back of the row's key,
// as stored, read with ReadKey(statement, 0, ReturnedKeyPlaces(key_columns)).
void AppendReturning(std::string& sql, const std::vector<std::string>& key_columns) {
  sql += " RETURNING rowid";
  for (const std::string& name : key_columns) {
    sql += ", ";
    AppendName(sql, name);
  }
}

// The condition that finds the row of `key`: its primary key's columns, or its rowid. Each "?"
// is bound by Use::BindKey.
//
// Not the rowid as well when there is a key: after a VACUUM the row would be gone when it is
// only renumbered. Nothing but the rowid when there is none: the row's other values as read
// would turn a change another program saved since (which Update keeps, writing only the fields
// written) into a "row gone", and do not all bind back as stored (a blob; a CURRENCY with more
// than four decimals). A row of a table without a key read before another program deleted it
// may so be taken for the row that gets its rowid; the store's tables that have no key hold
// lists rewritten as a whole (listipro) or one flag (Semafori).
void AppendRowCondition(std::string& sql, const std::vector<std::string>& key_columns,
                        const RowKey& key) {
  if (key.values.empty()) {
    sql += "rowid = ?";
    return;
  }
  for (std::size_t i = 0; i < key_columns.size(); ++i) {
    if (i > 0) {
      sql += " AND ";
    }
    AppendName(sql, key_columns[i]);
    sql += " = ?";
  }
}

// "<verb> <table> WHERE" and the condition of AppendRowCondition.
std::string RowStatement(std::string_view verb, std::string_view table,
                         const std::vector<std::string>& key_columns, const RowKey& key) {
  std::string sql;
  sql.reserve(96);
  sql += verb;
  AppendName(sql, table);
  sql += " WHERE ";
  AppendRowCondition(sql, key_columns, key);
  return sql;
}

// The row's key for messages: "5" (a rowid) or "con numero = 2, anno = 2026".
std::string KeyText(const std::vector<std::string>& key_columns, const RowKey& key) {
  if (key.values.empty()) {
    return std::to_string(key.rowid);
  }
  std::string text = "con ";
  for (std::size_t i = 0; i < key.values.size() && i < key_columns.size(); ++i) {
    const Value& value = key.values[i];
    text += (i == 0 ? "" : ", ") + key_columns[i] + " = " +
            (value.Kind() == ValueKind::kText ? "'" + value.AsText() + "'" : value.ToText());
  }
  return text;
}

// The row a statement that selected "rowid, *" stands on; `key_at` as for ReadKey.
Row ReadRow(sqlite3_stmt* statement, const std::vector<Column>& columns,
            const std::vector<int>& key_at) {
  Row row;
  row.key = ReadKey(statement, 0, key_at);
  row.values.reserve(columns.size());
  for (std::size_t i = 0; i < columns.size(); ++i) {
    row.values.push_back(ReadValue(statement, static_cast<int>(i) + 1, columns[i]));
  }
  return row;
}

}  // namespace

// --- Statements ----------------------------------------------------------------------------------

struct SqliteConnection::Prepared {
  sqlite3_stmt* statement = nullptr;
  bool busy = false;  // in use by a Use: not to be finalized
  // Of a statement that selects "rowid, *" from a table: its columns from the second on and where
  // the table's key columns stand among them, read when its first row is.
  bool has_shape = false;
  std::vector<Column> columns;
  std::vector<int> key_at;
};

// How the rows of a query of one shape are read.
struct SqliteConnection::QueryPlan {
  // What is prepared: the shape, with "rowid, " before the "*" when its rows are a table's.
  std::string text;
  std::string table;  // the table whose rows can be changed; empty otherwise
  int first = 0;      // where the query's own columns start: 1 after the rowid
  std::vector<Column> columns;
  std::vector<int> key_at;  // where the table's key columns stand
};

class SqliteConnection::Cache {
 public:
  // Enough for every statement of the program's work with room to spare; a statement that falls
  // out is only compiled again when next used.
  static constexpr std::size_t kStatements = 64;
  static constexpr std::size_t kPlans = 64;

  Cache() = default;
  ~Cache() {
    for (auto& [sql, prepared] : lru_) {
      sqlite3_finalize(prepared.statement);
    }
  }
  Cache(const Cache&) = delete;
  Cache& operator=(const Cache&) = delete;

  // The statement of `sql`, made the most recently used; nothing when it is not cached.
  Prepared* Find(std::string_view sql) {
    const auto hit = index_.find(sql);
    if (hit == index_.end()) {
      return nullptr;
    }
    lru_.splice(lru_.begin(), lru_, hit->second);
    return &hit->second->second;
  }

  // Caches `statement`, compiled from `sql`; the least recently used statement not in use goes
  // when the cache is full.
  Prepared& Add(const std::string& sql, sqlite3_stmt* statement) {
    if (lru_.size() >= kStatements) {
      for (auto old = lru_.end(); old != lru_.begin();) {
        --old;
        if (!old->second.busy) {
          sqlite3_finalize(old->second.statement);
          index_.erase(old->first);
          lru_.erase(old);
          break;
        }
      }
    }
    lru_.emplace_front(sql, Prepared{});
    lru_.front().second.statement = statement;
    index_.emplace(lru_.front().first, lru_.begin());
    return lru_.front().second;
  }

  // Forgets the shapes read from the schema; the statements stay (SQLite compiles them again by
  // itself when the schema changes).
  void ForgetShapes() {
    plans.clear();
    for (auto& [sql, prepared] : lru_) {
      prepared.has_shape = false;
    }
  }

  std::map<std::string, QueryPlan, std::less<>> plans;

 private:
  std::list<std::pair<std::string, Prepared>> lru_;
  std::unordered_map<std::string_view, std::list<std::pair<std::string, Prepared>>::iterator>
      index_;
};

// One run of a cached statement. The statement is reset when the run ends, so that it holds no
// lock on the file between runs. `doing()` says what the statement does, for the message of an
// error: made only when one occurs.
template <typename Doing>
class SqliteConnection::Use {
 public:
  Use(SqliteConnection& connection, const std::string& sql, Doing doing)
      : connection_(connection),
        doing_(std::move(doing)),
        prepared_(connection.Prepare(sql, doing_)) {
    prepared_.busy = true;
  }
  ~Use() {
    sqlite3_reset(prepared_.statement);
    sqlite3_clear_bindings(prepared_.statement);
    prepared_.busy = false;
  }
  Use(const Use&) = delete;
  Use& operator=(const Use&) = delete;

  sqlite3_stmt* get() const { return prepared_.statement; }

  void BindRowid(int index, std::int64_t rowid) { Check(sqlite3_bind_int64(get(), index, rowid)); }

  // Binds what AppendRowCondition(..., key) asks for, from parameter `first` on.
  void BindKey(int first, const RowKey& key) {
    if (key.values.empty()) {
      BindRowid(first, key.rowid);
      return;
    }
    for (std::size_t i = 0; i < key.values.size(); ++i) {
      Bind(first + static_cast<int>(i), key.values[i]);
    }
  }

  void Bind(int index, const Value& value) {
    sqlite3_stmt* statement = get();
    switch (value.Kind()) {
      case ValueKind::kNull:
        Check(sqlite3_bind_null(statement, index));
        return;
      case ValueKind::kInteger:
        Check(sqlite3_bind_int(statement, index, value.AsInteger()));
        return;
      case ValueKind::kLong:
        Check(sqlite3_bind_int(statement, index, value.AsLong()));
        return;
      case ValueKind::kDouble:
        Check(sqlite3_bind_double(statement, index, value.AsDouble()));
        return;
      case ValueKind::kCurrency:
        Check(sqlite3_bind_double(
            statement, index,
            static_cast<double>(value.AsCurrency().ten_thousandths) / Currency::kScale));
        return;
      case ValueKind::kDate:
        Check(sqlite3_bind_double(statement, index, value.AsDate().ole_days));
        return;
      case ValueKind::kBoolean:
        Check(sqlite3_bind_int(statement, index, value.AsBoolean() ? -1 : 0));
        return;
      case ValueKind::kText: {
        // With its length: a text may hold NUL characters (a fixed-length text never assigned).
        const std::string& text = value.AsText();
        Check(sqlite3_bind_text64(statement, index, text.data(), text.size(), SQLITE_TRANSIENT,
                                  SQLITE_UTF8));
        return;
      }
    }
  }

  // Runs the statement to its next row: true when a row is there, false when it has finished.
  bool Step() {
    if (connection_.Interrupted()) {
      connection_.FailInterrupted(doing_());
    }
    if (!stepped_) {  // one run, however many rows it steps through
      stepped_ = true;
      connection_.CountStatement();
    }
    const int rc = sqlite3_step(get());
    if (rc == SQLITE_ROW) {
      return true;
    }
    if (rc != SQLITE_DONE) {
      connection_.Fail(doing_());
    }
    return false;
  }

  // Runs the statement to its end. A statement with RETURNING has made its change at the first
  // row, but commits it (outside a transaction) only at its end, which may still fail.
  void Finish() {
    while (Step()) {
    }
  }

  int Changes() const { return sqlite3_changes(connection_.db_); }

  // The row the statement stands on. REQUIRES: it selected "rowid, *" from a table whose primary
  // key has `key_columns`.
  Row TableRow(const std::vector<std::string>& key_columns) {
    if (!prepared_.has_shape ||
        static_cast<std::size_t>(sqlite3_column_count(get())) != prepared_.columns.size() + 1) {
      prepared_.columns = StatementColumns(get(), 1);
      prepared_.key_at = KeyPlaces(key_columns, prepared_.columns, 1);
      prepared_.has_shape = true;
    }
    return ReadRow(get(), prepared_.columns, prepared_.key_at);
  }

 private:
  void Check(int rc) {
    if (rc != SQLITE_OK) {
      connection_.Fail(doing_());
    }
  }

  SqliteConnection& connection_;
  Doing doing_;
  Prepared& prepared_;
  bool stepped_ = false;
};

// --- The connection ------------------------------------------------------------------------------

// Statements run this many virtual machine steps between two looks at the interruption: well
// under a millisecond.
constexpr int kStepsBetweenLooks = 100;

SqliteConnection::SqliteConnection(const std::string& native_path,
                                   std::chrono::milliseconds busy_timeout)
    : SqliteConnection(native_path, std::make_shared<LockWaits>(busy_timeout)) {}

SqliteConnection::SqliteConnection(const std::string& native_path, std::shared_ptr<LockWaits> waits)
    : path_(native_path), waits_(std::move(waits)), cache_(std::make_unique<Cache>()) {
  // NOMUTEX: the connection is used by one thread at a time (see above), so SQLite need not lock
  // it around every call.
  const int rc = sqlite3_open_v2(native_path.c_str(), &db_,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    const std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    sqlite3_close(db_);
    db_ = nullptr;
    throw DatabaseError(
        fmt::format("errore del database {} aprendo il file: {}", native_path, message));
  }
  // A handler of our own, not sqlite3_busy_timeout: SQLite calls it again for every page it tries
  // to write out early in a large transaction, and the bound of a cycle covers them all.
  sqlite3_busy_handler(db_, &SqliteConnection::OnBusy, this);
  // SQLite reads the file only when first asked for something: ask now, so that a file that is
  // not a database is refused here and not at the first query.
  char* error = nullptr;
  CountStatement();
  const int read =
      sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, &error);
  if (read != SQLITE_OK) {
    std::string message = error != nullptr ? error : sqlite3_errmsg(db_);
    sqlite3_free(error);
    sqlite3_close(db_);
    db_ = nullptr;
    if ((read & 0xff) == SQLITE_BUSY) {
      message = waits_->Explanation(message);
    }
    throw DatabaseError(
        fmt::format("errore del database {} leggendo lo schema: {}", native_path, message));
  }
  sqlite3_progress_handler(db_, kStepsBetweenLooks, &SqliteConnection::OnProgress, this);
}

int SqliteConnection::OnBusy(void* connection, int attempt) {
  const std::optional<std::chrono::milliseconds> pause =
      static_cast<SqliteConnection*>(connection)->waits_->NextPause(attempt);
  if (!pause) {
    return 0;
  }
  sqlite3_sleep(static_cast<int>(pause->count()));
  return 1;
}

int SqliteConnection::OnProgress(void* connection) {
  return static_cast<SqliteConnection*>(connection)->Interrupted() ? 1 : 0;
}

bool SqliteConnection::Interrupted() const {
  return !rolling_back_ && waits_->Interruption() != LockWaits::StopReason::kNone;
}

void SqliteConnection::FailInterrupted(std::string_view doing) const {
  throw DatabaseError(
      fmt::format("errore del database {} {}: {}", path_, doing, waits_->Explanation()));
}

SqliteConnection::~SqliteConnection() {
  cache_.reset();         // every statement is finalized before the connection closes
  sqlite3_close_v2(db_);  // an open transaction is rolled back
}

void SqliteConnection::Fail(std::string_view doing) const {
  const int code = sqlite3_errcode(db_) & 0xff;
  if (waits_->Interruption() != LockWaits::StopReason::kNone &&
      (code == SQLITE_BUSY || code == SQLITE_LOCKED || code == SQLITE_INTERRUPT)) {
    FailInterrupted(doing);
  }
  if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
    // The case the operator can act on: another program of the suite holds the file.
    throw DatabaseError(fmt::format("errore del database {} {}: {}", path_, doing,
                                    waits_->Explanation(sqlite3_errmsg(db_))));
  }
  throw DatabaseError(
      fmt::format("errore del database {} {}: {}", path_, doing, sqlite3_errmsg(db_)));
}

SqliteConnection::Prepared* SqliteConnection::TryPrepare(const std::string& sql) {
  if (Prepared* cached = cache_->Find(sql)) {
    return cached;
  }
  if (sql.size() > static_cast<std::size_t>(INT_MAX)) {
    return nullptr;
  }
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                         &statement, nullptr) != SQLITE_OK ||
      statement == nullptr) {
    sqlite3_finalize(statement);
    return nullptr;
  }
  return &cache_->Add(sql, statement);
}

template <typename Doing>
SqliteConnection::Prepared& SqliteConnection::Prepare(const std::string& sql, const Doing& doing) {
  if (Prepared* prepared = TryPrepare(sql)) {
    return *prepared;
  }
  if (sql.size() > static_cast<std::size_t>(INT_MAX)) {
    throw DatabaseError(
        fmt::format("errore del database {} {}: testo SQL troppo lungo", path_, doing()));
  }
  // Compiled again for the engine's message, which the failed attempt may not have left.
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), 0, &statement, nullptr) !=
      SQLITE_OK) {
    Fail(doing());
  }
  sqlite3_finalize(statement);
  throw DatabaseError(fmt::format("errore del database {} {}: testo SQL vuoto", path_, doing()));
}

std::optional<std::pair<std::string, bool>> SqliteConnection::FindTable(std::string_view table) {
  Use use(*this,
          "SELECT name, sql FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE",
          [table] { return fmt::format("cercando la tabella {}", table); });
  const Value name_value = Value::Text(std::string(table));
  use.Bind(1, name_value);
  if (!use.Step()) {
    return std::nullopt;
  }
  const std::string name = ColumnBytes(use.get(), 0);
  std::string sql = ColumnBytes(use.get(), 1);
  std::transform(sql.begin(), sql.end(), sql.begin(), AsciiLower);
  // "... ) WITHOUT ROWID": a table with no rowid, whose rows this connection cannot address.
  bool has_rowid = true;
  const std::size_t close = sql.rfind(')');
  if (close != std::string::npos) {
    SqlLexer tail(std::string_view(sql).substr(close + 1));
    for (SqlToken token = tail.Next(); token.kind != SqlToken::Kind::kEnd; token = tail.Next()) {
      if (IsSqlWord(token, "without") && IsSqlWord(tail.Next(), "rowid")) {
        has_rowid = false;
      }
    }
  }
  return std::make_pair(name, has_rowid);
}

const SqliteConnection::QueryPlan* SqliteConnection::Plan(const std::string& shape,
                                                          std::string_view sql, bool may_fail) {
  if (const auto known = cache_->plans.find(shape); known != cache_->plans.end()) {
    return &known->second;
  }
  QueryPlan plan;
  plan.text = shape;
  if (auto select = ParseSelectAllFrom(shape)) {
    if (auto table = FindTable(select->table); table && table->second) {
      plan.text.insert(select->star_offset, "rowid, ");
      plan.table = table->first;
      plan.first = 1;
    }
  }
  Prepared* prepared = TryPrepare(plan.text);
  if (prepared == nullptr) {
    if (may_fail) {
      return nullptr;
    }
    prepared = &Prepare(plan.text, [sql] { return fmt::format("eseguendo la query \"{}\"", sql); });
  }
  plan.columns = StatementColumns(prepared->statement, plan.first);
  if (plan.first == 1) {
    plan.key_at = KeyPlaces(KeyColumns(plan.table), plan.columns, plan.first);
  }
  if (cache_->plans.size() >= Cache::kPlans) {
    cache_->plans.clear();
  }
  return &cache_->plans.emplace(shape, std::move(plan)).first->second;
}

QueryResult SqliteConnection::Query(std::string_view sql) {
  SqlShape shape = ShapeOf(sql);
  for (int attempt = 0;; ++attempt) {
    const QueryPlan* plan = Plan(shape.text, sql, !shape.literals.empty());
    if (plan == nullptr) {
      // The shape does not compile: the text as written gets the engine's own word on it.
      shape = SqlShape{std::string(sql), {}};
      plan = Plan(shape.text, sql, false);
    }
    QueryResult result;
    result.table = plan->table;
    result.columns = plan->columns;
    const std::size_t columns = result.columns.size();
    bool reshaped = false;
    {
      Use use(*this, plan->text, [sql] { return fmt::format("eseguendo la query \"{}\"", sql); });
      for (std::size_t i = 0; i < shape.literals.size(); ++i) {
        use.Bind(static_cast<int>(i) + 1, shape.literals[i]);
      }
      while (use.Step()) {
        if (static_cast<std::size_t>(sqlite3_column_count(use.get())) != plan->first + columns) {
          // Another program changed the table since the plan was made, and SQLite compiled the
          // statement again: the query is read afresh, once.
          reshaped = true;
          break;
        }
        if (plan->first == 1) {
          result.rows.push_back(ReadRow(use.get(), result.columns, plan->key_at));
          continue;
        }
        Row row;
        row.values.reserve(columns);
        for (std::size_t i = 0; i < columns; ++i) {
          row.values.push_back(ReadValue(use.get(), static_cast<int>(i), result.columns[i]));
        }
        result.rows.push_back(std::move(row));
      }
    }
    if (!reshaped) {
      return result;
    }
    ForgetShapes();
    if (attempt > 0) {
      throw DatabaseError(fmt::format(
          "errore del database {} eseguendo la query \"{}\": le colonne della tabella cambiano "
          "mentre la si legge",
          path_, sql));
    }
  }
}

void SqliteConnection::ForgetShapes() {
  key_columns_.clear();
  cache_->ForgetShapes();
}

void SqliteConnection::Execute(std::string_view sql) {
  ForgetShapes();  // the text may change the schema
  const std::string doing = fmt::format("eseguendo \"{}\"", sql);
  if (Interrupted()) {
    FailInterrupted(doing);
  }
  char* error = nullptr;
  CountStatement();
  if (sqlite3_exec(db_, std::string(sql).c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    sqlite3_free(error);  // sqlite3_errmsg says the same
    Fail(doing);
  }
}

std::vector<Column> SqliteConnection::TableColumns(std::string_view table) {
  Use use(*this, "SELECT name, type FROM pragma_table_info(?1)",
          [table] { return fmt::format("leggendo le colonne della tabella {}", table); });
  const Value table_name = Value::Text(std::string(table));
  use.Bind(1, table_name);
  std::vector<Column> columns;
  while (use.Step()) {
    columns.push_back(ColumnFromDeclaration(ColumnBytes(use.get(), 0), ColumnBytes(use.get(), 1)));
  }
  if (columns.empty()) {
    throw DatabaseError(
        fmt::format("errore del database {}: la tabella {} non esiste", path_, table));
  }
  return columns;
}

std::vector<std::string> SqliteConnection::IndexColumns(std::string_view table,
                                                        std::string_view index) {
  TableColumns(table);  // a missing table is reported as such, not as a missing index
  const Value table_name = Value::Text(std::string(table));
  std::optional<std::string> found;
  {
    Use use(*this, "SELECT name FROM pragma_index_list(?1)",
            [table] { return fmt::format("leggendo gli indici della tabella {}", table); });
    use.Bind(1, table_name);
    while (!found && use.Step()) {
      std::string name = ColumnBytes(use.get(), 0);
      if (SameName(name, index)) {
        found = std::move(name);
      }
    }
  }
  std::vector<std::string> columns;
  if (found) {
    Use use(*this, "SELECT name FROM pragma_index_info(?1) ORDER BY seqno", [index, table] {
      return fmt::format("leggendo l'indice {} della tabella {}", index, table);
    });
    const Value index_name = Value::Text(*found);
    use.Bind(1, index_name);
    while (use.Step()) {
      if (sqlite3_column_type(use.get(), 0) == SQLITE_NULL) {
        throw DatabaseError(fmt::format(
            "errore del database {}: l'indice {} della tabella {} è su un'espressione, non su "
            "colonne",
            path_, index, table));
      }
      columns.push_back(ColumnBytes(use.get(), 0));
    }
  } else if (SameName(index, "primary") || SameName(index, "PrimaryKey")) {
    columns = KeyColumns(table);
  }
  if (columns.empty()) {
    throw DatabaseError(fmt::format("errore del database {}: la tabella {} non ha l'indice {}",
                                    path_, table, index));
  }
  return columns;
}

std::optional<Row> SqliteConnection::Seek(std::string_view table,
                                          const std::vector<std::string>& key_columns,
                                          const std::vector<Value>& key) {
  if (key_columns.empty() || key_columns.size() != key.size()) {
    throw DatabaseError(fmt::format(
        "errore del database {} cercando nella tabella {}: {} valori per {} colonne della chiave",
        path_, table, key.size(), key_columns.size()));
  }
  std::string sql;
  sql.reserve(96);
  sql += "SELECT rowid, * FROM ";
  AppendName(sql, table);
  sql += " WHERE ";
  for (std::size_t i = 0; i < key_columns.size(); ++i) {
    if (i > 0) {
      sql += " AND ";
    }
    AppendName(sql, key_columns[i]);
    sql += " = ?";
  }
  sql += " LIMIT 1";
  const std::vector<std::string>& primary_key = KeyColumns(table);
  Use use(*this, sql, [table] { return fmt::format("cercando nella tabella {}", table); });
  for (std::size_t i = 0; i < key.size(); ++i) {
    use.Bind(static_cast<int>(i) + 1, key[i]);
  }
  if (!use.Step()) {
    return std::nullopt;
  }
  return use.TableRow(primary_key);
}

void SqliteConnection::CheckKey(std::string_view table, const std::vector<std::string>& key_columns,
                                const RowKey& key) const {
  if (!key.values.empty() && key.values.size() != key_columns.size()) {
    throw DatabaseError(fmt::format(
        "errore del database {}: un record della tabella {} cercato per {} valori di chiave, la "
        "chiave primaria ha {} colonne",
        path_, table, key.values.size(), key_columns.size()));
  }
}

std::optional<Row> SqliteConnection::Fetch(std::string_view table, const RowKey& key) {
  const std::vector<std::string>& key_columns = KeyColumns(table);
  CheckKey(table, key_columns, key);
  Use use(*this, RowStatement("SELECT rowid, * FROM ", table, key_columns, key), [&] {
    return fmt::format("rileggendo il record {} della tabella {}", KeyText(key_columns, key),
                       table);
  });
  use.BindKey(1, key);
  if (!use.Step()) {
    return std::nullopt;
  }
  return use.TableRow(key_columns);
}

RowKey SqliteConnection::Update(std::string_view table, const RowKey& key,
                                const std::vector<FieldChange>& changes) {
  const std::vector<std::string>& key_columns = KeyColumns(table);
  CheckKey(table, key_columns, key);
  if (changes.empty()) {
    return key;
  }
  // A change of a key column moves the row: its key as stored afterwards is read back in the same
  // statement. Otherwise the key stays what it was, and the statement need not return anything.
  const bool moves = std::any_of(changes.begin(), changes.end(), [&](const FieldChange& change) {
    return std::any_of(key_columns.begin(), key_columns.end(),
                       [&](const std::string& column) { return SameName(column, change.column); });
  });
  std::string sql;
  sql.reserve(64 + 16 * changes.size());
  sql += "UPDATE ";
  AppendName(sql, table);
  sql += " SET ";
  for (std::size_t i = 0; i < changes.size(); ++i) {
    if (i > 0) {
      sql += ", ";
    }
    AppendName(sql, changes[i].column);
    sql += " = ?";
  }
  sql += " WHERE ";
  AppendRowCondition(sql, key_columns, key);
  if (moves) {
    AppendReturning(sql, key_columns);
  }
  Use use(*this, sql, [&] {
    return fmt::format("salvando il record {} della tabella {}", KeyText(key_columns, key), table);
  });
  for (std::size_t i = 0; i < changes.size(); ++i) {
    use.Bind(static_cast<int>(i) + 1, changes[i].value);
  }
  use.BindKey(static_cast<int>(changes.size()) + 1, key);
  const auto gone = [&] {
    return DatabaseError(
        fmt::format("errore del database {} salvando nella tabella {}: il record {} non esiste più",
                    path_, table, KeyText(key_columns, key)));
  };
  if (!moves) {
    use.Finish();
    if (use.Changes() == 0) {
      throw gone();
    }
    return key;
  }
  if (!use.Step()) {
    throw gone();
  }
  RowKey saved = ReadKey(use.get(), 0, ReturnedKeyPlaces(key_columns));
  use.Finish();
  return saved;
}

RowKey SqliteConnection::Insert(std::string_view table, const std::vector<FieldChange>& fields) {
  std::string sql = "INSERT INTO ";
  AppendName(sql, table);
  if (fields.empty()) {
    sql += " DEFAULT VALUES";
  } else {
    sql += " (";
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) {
        sql += ", ";
      }
      AppendName(sql, fields[i].column);
    }
    sql += ") VALUES (";
    for (std::size_t i = 0; i < fields.size(); ++i) {
      sql += i == 0 ? "?" : ", ?";
    }
    sql += ")";
  }
  // The key as stored, with the values the engine gave the key columns not written (an INTEGER
  // PRIMARY KEY, a default), read in the same statement as the row is added.
  const std::vector<std::string>& key_columns = KeyColumns(table);
  AppendReturning(sql, key_columns);
  const auto doing = [table] {
    return fmt::format("aggiungendo un record alla tabella {}", table);
  };
  Use use(*this, sql, doing);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    use.Bind(static_cast<int>(i) + 1, fields[i].value);
  }
  if (!use.Step()) {
    throw DatabaseError(
        fmt::format("errore del database {} {}: il record non è stato aggiunto", path_, doing()));
  }
  RowKey added = ReadKey(use.get(), 0, ReturnedKeyPlaces(key_columns));
  use.Finish();
  return added;
}

void SqliteConnection::Delete(std::string_view table, const RowKey& key) {
  const std::vector<std::string>& key_columns = KeyColumns(table);
  CheckKey(table, key_columns, key);
  Use use(*this, RowStatement("DELETE FROM ", table, key_columns, key), [&] {
    return fmt::format("eliminando il record {} della tabella {}", KeyText(key_columns, key),
                       table);
  });
  use.BindKey(1, key);
  use.Step();
  if (use.Changes() == 0) {
    throw DatabaseError(fmt::format(
        "errore del database {} eliminando dalla tabella {}: il record {} non esiste più", path_,
        table, KeyText(key_columns, key)));
  }
}

const std::vector<std::string>& SqliteConnection::KeyColumns(std::string_view table) {
  std::string name(table);
  std::transform(name.begin(), name.end(), name.begin(), AsciiLower);
  if (const auto known = key_columns_.find(name); known != key_columns_.end()) {
    return known->second;
  }
  std::vector<std::string> columns;
  bool exists = false;
  {
    Use use(*this, "SELECT name, pk FROM pragma_table_info(?1) ORDER BY pk",
            [table] { return fmt::format("leggendo la chiave primaria della tabella {}", table); });
    const Value table_name = Value::Text(std::string(table));
    use.Bind(1, table_name);
    while (use.Step()) {
      exists = true;
      if (sqlite3_column_int(use.get(), 1) > 0) {
        columns.push_back(ColumnBytes(use.get(), 0));
      }
    }
  }
  if (!exists) {  // a table added later must not be remembered as one without a key
    static const std::vector<std::string> kNone;
    return kNone;
  }
  return key_columns_.emplace(std::move(name), std::move(columns)).first->second;
}

// IMMEDIATE: the write lock is taken at the start, so that a piece of work either gets the file
// for itself (after waiting for other programs) or fails before it has changed anything.
void SqliteConnection::BeginTransaction() {
  Use(*this, "BEGIN IMMEDIATE", [] { return std::string("iniziando una transazione"); }).Step();
}

void SqliteConnection::Commit() {
  Use(*this, "COMMIT", [] { return std::string("confermando la transazione"); }).Step();
}

void SqliteConnection::Rollback() {
  rolling_back_ = true;
  try {
    Use(*this, "ROLLBACK", [] { return std::string("annullando la transazione"); }).Step();
  } catch (...) {
    rolling_back_ = false;
    throw;
  }
  rolling_back_ = false;
}

bool SqliteConnection::InTransaction() const {
  return sqlite3_get_autocommit(db_) == 0;
}

}  // namespace zav5::data
