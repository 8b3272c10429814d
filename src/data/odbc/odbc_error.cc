#include "data/odbc/odbc_error.h"

#include <fmt/format.h>

#include "errors.h"

namespace zav5::data::odbc {

namespace {

// A driver that keeps adding records (one per row of a failed batch) is not read to the end.
constexpr SQLSMALLINT kMostRecords = 20;

}  // namespace

std::string DiagnosticText(SQLSMALLINT handle_type, SQLHANDLE handle) {
  std::string text;
  Diagnostic diagnostic;
  for (SQLSMALLINT number = 1;
       number <= kMostRecords &&
       SQL_SUCCEEDED(GetDiagnostic(handle_type, handle, number, diagnostic));
       ++number) {
    if (!text.empty()) {
      text += " / ";
    }
    text += fmt::format("[{}] {}", diagnostic.state, diagnostic.message);
  }
  return text;
}

std::string FirstState(SQLSMALLINT handle_type, SQLHANDLE handle) {
  Diagnostic diagnostic;
  if (SQL_SUCCEEDED(GetDiagnostic(handle_type, handle, 1, diagnostic))) {
    return diagnostic.state;
  }
  return std::string();
}

void ThrowOdbcError(SQLSMALLINT handle_type, SQLHANDLE handle, std::string_view database,
                    std::string_view doing) {
  std::string diagnostics = handle != SQL_NULL_HANDLE ? DiagnosticText(handle_type, handle) : "";
  if (diagnostics.empty()) {
    diagnostics = "il driver ODBC non ha dato spiegazioni";
  }
  throw DatabaseError(fmt::format("errore del database {} {}: {}", database, doing, diagnostics));
}

SQLRETURN CheckOdbc(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle,
                    std::string_view database, std::string_view doing) {
  if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) {
    return rc;
  }
  ThrowOdbcError(handle_type, handle, database, doing);
}

}  // namespace zav5::data::odbc
