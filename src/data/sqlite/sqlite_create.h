// Making a new SQLite database file, for the demo store and for tools; the program itself never
// creates a store database.
#pragma once

#include <string>
#include <string_view>

namespace zav5::data {

// Creates a database file at `native_path` and runs `ddl` on it. Throws DatabaseError when the
// file exists already or cannot be created, or the DDL fails (no file is left behind then).
void CreateSqliteDatabase(const std::string& native_path, std::string_view ddl);

}  // namespace zav5::data
