// Changing rows: the row a key names, found and changed, or a row added and its key.
#include <algorithm>

#include <fmt/format.h>

#include "data/odbc/odbc_session.h"
#include "data/odbc/odbc_statements.h"
#include "data/stored_values.h"
#include "errors.h"
#include "platform/case_fold.h"

namespace zav5::data::odbc {

namespace {

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

}  // namespace

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

}  // namespace zav5::data::odbc
