#include "data/odbc/installed_drivers.h"

#include <algorithm>
#include <cstdint>

#include "data/odbc/odbc_text.h"
#include "platform/case_fold.h"

namespace zav5::data::odbc {

std::optional<std::vector<std::string>> InstalledDrivers() {
  SQLHENV environment = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment))) {
    return std::nullopt;
  }
  std::optional<std::vector<std::string>> names;
  // An integer attribute goes in place of the pointer: ODBC's way.
  const auto version = reinterpret_cast<SQLPOINTER>(  // NOLINT(performance-no-int-to-ptr)
      static_cast<std::uintptr_t>(SQL_OV_ODBC3));
  if (SQL_SUCCEEDED(SQLSetEnvAttr(environment, SQL_ATTR_ODBC_VERSION, version, 0))) {
    names.emplace();
    std::string name;
    SQLRETURN rc = NextDriver(environment, SQL_FETCH_FIRST, name);
    for (; SQL_SUCCEEDED(rc); rc = NextDriver(environment, SQL_FETCH_NEXT, name)) {
      names->push_back(name);
    }
    if (rc != SQL_NO_DATA) {
      names.reset();
    }
  }
  SQLFreeHandle(SQL_HANDLE_ENV, environment);
  return names;
}

std::optional<bool> DriverInstalled(std::string_view name) {
  const auto names = InstalledDrivers();
  if (!names) {
    return std::nullopt;
  }
  return std::any_of(names->begin(), names->end(), [name](const std::string& known) {
    return platform::EqualsIgnoringCase(known, name);
  });
}

}  // namespace zav5::data::odbc
