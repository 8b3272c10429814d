// What the catalog says of a table (its columns, key, indexes and row id), read once per table.
#include <algorithm>

#include <fmt/format.h>

#include "data/odbc/odbc_session.h"
#include "data/odbc/odbc_statements.h"
#include "errors.h"
#include "platform/case_fold.h"

namespace zav5::data::odbc {

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

}  // namespace zav5::data::odbc
