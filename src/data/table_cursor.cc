#include "data/table_cursor.h"

#include <utility>

#include <fmt/format.h>

#include "errors.h"

namespace zav5::data {

TableCursor::TableCursor(std::shared_ptr<Database> database, std::string table)
    : RowEditor(std::move(database), table) {
  std::vector<Column> columns = this->database().connection().TableColumns(table);
  SetShape(std::move(table), std::move(columns));
}

void TableCursor::Index(std::string_view name) {
  if (!seek_column_.empty() && name == index_) {
    return;
  }
  std::vector<std::string> columns = database().connection().IndexColumns(table(), name);
  if (columns.empty()) {
    throw DatabaseError(fmt::format("la tabella {} non ha l'indice {}", table(), name));
  }
  // One key value: it is compared with the index's first column, as a partial key would be.
  columns.resize(1);
  seek_column_ = std::move(columns);
  index_ = name;
}

void TableCursor::Seek(std::string_view comparison, const Value& key) {
  while (!comparison.empty() && comparison.front() == ' ') {
    comparison.remove_prefix(1);
  }
  while (!comparison.empty() && comparison.back() == ' ') {
    comparison.remove_suffix(1);
  }
  if (comparison != "=") {
    throw DatabaseError(fmt::format(
        "Seek \"{}\" sulla tabella {}: è gestito solo il confronto \"=\"", comparison, table()));
  }
  if (seek_column_.empty()) {
    throw DatabaseError(fmt::format("Seek sulla tabella {} senza un indice (Index)", table()));
  }
  key_.assign(1, key);
  row_ = database().connection().Seek(table(), seek_column_, key_);
  NoteRowsRead();
  no_match_ = !row_.has_value();
  SetCurrent(row_ ? &*row_ : nullptr);
}

}  // namespace zav5::data
