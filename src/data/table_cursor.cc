#include "data/table_cursor.h"

#include <fmt/format.h>

#include <utility>

#include "errors.h"

namespace zav5::data {

TableCursor::TableCursor(std::shared_ptr<Database> database, std::string table)
    : RowEditor(std::move(database), table) {
  std::vector<Column> columns = this->database().connection().TableColumns(table);
  SetShape(std::move(table), std::move(columns));
}

void TableCursor::Index(std::string_view name) {
  index_columns_ = database().connection().IndexColumns(table(), name);
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
  if (index_columns_.empty()) {
    throw DatabaseError(fmt::format("Seek sulla tabella {} senza un indice (Index)", table()));
  }
  // One key value: it is compared with the index's first column, as a partial key would be.
  std::optional<Row> row = database().connection().Seek(table(), {index_columns_.front()}, {key});
  no_match_ = !row.has_value();
  SetCurrent(std::move(row));
}

}  // namespace zav5::data
