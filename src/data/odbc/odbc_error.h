// ODBC failures as the program's DatabaseError.
#pragma once

#include <string>
#include <string_view>

#include "data/odbc/odbc_text.h"

namespace zav5::data::odbc {

// Every diagnostic record the driver (or the driver manager) left on `handle`, in order, as
// "[SQLSTATE] message" joined by " / "; empty when there is none.
std::string DiagnosticText(SQLSMALLINT handle_type, SQLHANDLE handle);

// The SQLSTATE of the first diagnostic record of `handle`; empty when there is none.
std::string FirstState(SQLSMALLINT handle_type, SQLHANDLE handle);

// Throws DatabaseError "errore del database <database> <doing>: <diagnostics>". `doing` says, in
// Italian, what was being done ("aggiornando la riga ... di offmo").
[[noreturn]] void ThrowOdbcError(SQLSMALLINT handle_type, SQLHANDLE handle,
                                 std::string_view database, std::string_view doing);

// `rc` when the call succeeded (SQL_SUCCESS, SQL_SUCCESS_WITH_INFO, SQL_NO_DATA); otherwise
// throws as ThrowOdbcError.
SQLRETURN CheckOdbc(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle,
                    std::string_view database, std::string_view doing);

}  // namespace zav5::data::odbc
