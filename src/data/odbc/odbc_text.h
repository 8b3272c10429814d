// Texts between the program and an ODBC driver: the one place that knows which of ODBC's two
// text interfaces the program speaks.
//
// On Windows the wide ("W") calls with UTF-16, which the Access driver expects. Elsewhere the
// narrow calls with UTF-8: unixODBC hands the wide calls on to Debian's SQLite driver with every
// non-ASCII letter mangled ("società" becomes a table that does not exist), while the narrow calls
// reach it byte for byte. Field values go the same way: SQL_C_WCHAR on Windows, SQL_C_CHAR
// (UTF-8) elsewhere.
//
// Every function here takes and gives UTF-8, as the rest of the program does, and returns the
// driver's SQLRETURN unchecked: the caller turns a failure into an error (see odbc_error.h).
#pragma once

#ifdef _WIN32
// Without the parts of windows.h that define macros such as min, max and small.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <sql.h>
#include <sqlext.h>

namespace zav5::data::odbc {

// --- Connecting and running SQL --------------------------------------------------------------

// SQLDriverConnect without a dialog (SQL_DRIVER_NOPROMPT).
SQLRETURN DriverConnect(SQLHDBC connection, std::string_view connection_string);

SQLRETURN ExecDirect(SQLHSTMT statement, std::string_view sql);
SQLRETURN Prepare(SQLHSTMT statement, std::string_view sql);

// The description (name) of the next driver the driver manager knows, for SQLDrivers'
// `direction` SQL_FETCH_FIRST, then SQL_FETCH_NEXT; SQL_NO_DATA after the last.
SQLRETURN NextDriver(SQLHENV environment, SQLUSMALLINT direction, std::string& name);

// A text answer of SQLGetInfo (SQL_DBMS_NAME, SQL_SEARCH_PATTERN_ESCAPE...).
SQLRETURN GetInfoText(SQLHDBC connection, SQLUSMALLINT info, std::string& text);

// One diagnostic record of a handle. SQL_NO_DATA when there is no record `number`.
struct Diagnostic {
  std::string state;  // the five-character SQLSTATE
  SQLINTEGER native_error = 0;
  std::string message;
};
SQLRETURN GetDiagnostic(SQLSMALLINT handle_type, SQLHANDLE handle, SQLSMALLINT number,
                        Diagnostic& diagnostic);

// --- What a result set holds -----------------------------------------------------------------

struct ColumnDescription {
  std::string name;
  SQLSMALLINT sql_type = 0;
  SQLULEN size = 0;
  SQLSMALLINT decimal_digits = 0;
  std::string type_name;  // the driver's name for the type (SQL_DESC_TYPE_NAME), may be empty
};
// SQLDescribeCol and SQLColAttribute(SQL_DESC_TYPE_NAME) of result column `column` (from 1).
SQLRETURN DescribeColumn(SQLHSTMT statement, SQLUSMALLINT column, ColumnDescription& description);

// The catalog functions, for one table of the default catalog and schema. `table_pattern` is a
// search pattern ('_' and '%' are wildcards unless escaped); `table` of SQLPrimaryKeys and
// SQLStatistics is a plain name.
SQLRETURN Tables(SQLHSTMT statement, std::string_view table_pattern, std::string_view table_types);
SQLRETURN Columns(SQLHSTMT statement, std::string_view table_pattern);
SQLRETURN PrimaryKeys(SQLHSTMT statement, std::string_view table);
SQLRETURN Statistics(SQLHSTMT statement, std::string_view table, SQLUSMALLINT unique);
// SQLSpecialColumns(SQL_BEST_ROWID) for `table`: the columns that tell its rows apart within a
// transaction, pseudo-columns (a row id) included.
SQLRETURN BestRowId(SQLHSTMT statement, std::string_view table);

// --- Field values ----------------------------------------------------------------------------

// The whole text of column `column` of the current row, fetched with SQLGetData as the platform's
// text type and read piece by piece, whatever its length; nothing when the field is Null.
SQLRETURN GetText(SQLHSTMT statement, SQLUSMALLINT column, std::optional<std::string>& text);

// The field as SQL_C_CHAR on every platform: for numbers, whose text is plain ASCII.
SQLRETURN GetCharText(SQLHSTMT statement, SQLUSMALLINT column, std::optional<std::string>& text);

// The buffer of a text parameter, which must stay in place until the statement has run.
class TextParameter {
 public:
  TextParameter() = default;
  TextParameter(const TextParameter&) = delete;
  TextParameter& operator=(const TextParameter&) = delete;

 private:
  friend SQLRETURN BindText(SQLHSTMT, SQLUSMALLINT, std::string_view, TextParameter&);
  std::string narrow_;
  std::u16string wide_;
  SQLLEN length_ = 0;  // in bytes
};

// Binds `text` to parameter `number` (from 1) with its length given, so that NUL characters in it
// reach the driver; a long text goes as a long (memo) value.
// REQUIRES: `holder` stays in place, untouched, until the statement has been executed.
SQLRETURN BindText(SQLHSTMT statement, SQLUSMALLINT number, std::string_view text,
                   TextParameter& holder);

// --- UTF-16 ----------------------------------------------------------------------------------

// UTF-8 to UTF-16 and back. A malformed byte or an unpaired surrogate becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace zav5::data::odbc
