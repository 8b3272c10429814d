// A table opened directly (not through a query), positioned by index look-up.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/database.h"
#include "data/recordset.h"
#include "data/value.h"

namespace zav5::data {

class TableCursor final : public RowEditor {
 public:
  // Opens `table` of `database`. Throws DatabaseError when the table does not exist.
  TableCursor(std::shared_ptr<Database> database, std::string table);

  // Sets the current index by name ("primary" is the table's primary key). Throws DatabaseError
  // when the table has no such index. Setting the index already set costs nothing.
  void Index(std::string_view name);

  // Looks up the first row whose index key equals `key`. Only the comparison "=" is supported;
  // any other throws DatabaseError. REQUIRES: an index was set. After the call NoMatch() tells
  // whether a row was found; when found it is the current row.
  void Seek(std::string_view comparison, const Value& key);
  bool NoMatch() const { return no_match_; }

 private:
  std::optional<Row> row_;  // the row found by the last Seek
  std::string index_;       // the name the current index was set by
  // The first column of the current index, the one a Seek compares; empty before Index.
  std::vector<std::string> seek_column_;
  std::vector<Value> key_;  // the value sought, kept for the next Seek
  bool no_match_ = true;
};

}  // namespace zav5::data
