// A folder mapped as drive C, and the database engine of the program on it.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "data/database.h"
#include "platform/host_env.h"
#include "support/temp_dir.h"
#include "support/test_engine_options.h"

namespace zav5::data {

class DataFixture : public testing::Test {
 protected:
  // Creates `name` in the folder of drive C with `ddl` (and `data`) run on it; returns its
  // Windows path.
  std::string MakeDatabase(std::string_view name, std::string_view ddl,
                           std::string_view data = {}) {
    test::CreateSqliteFile(Native(name), ddl, data);
    return WindowsPath(name);
  }
  static std::string WindowsPath(std::string_view name) { return "C:\\" + std::string(name); }
  std::filesystem::path Native(std::string_view name) const { return dir_.path() / name; }

  test::TempDir dir_;
  platform::HostEnv env_{platform::DriveMap{{'C', dir_.path()}}};
  DbEngine engine_{env_, test::TestEngineOptions()};
};

// Runs `sql` on `database` and returns the one value of its first row.
inline Value ScalarOf(Database& database, std::string_view sql) {
  QueryResult result = database.connection().Query(sql);
  if (result.rows.size() != 1 || result.rows[0].values.empty()) {
    ADD_FAILURE() << "expected one row from " << sql << ", got " << result.rows.size();
    return Value::Null();
  }
  return result.rows[0].values[0];
}

}  // namespace zav5::data
