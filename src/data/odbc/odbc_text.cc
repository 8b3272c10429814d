#include "data/odbc/odbc_text.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/utf8.h"

namespace zav5::data::odbc {

namespace {

// The platform's choice, made once here: the character type of texts given to the driver, the C
// type of text values, and the calls that carry texts.
#ifdef _WIN32
using Char = SQLWCHAR;
constexpr SQLSMALLINT kTextCType = SQL_C_WCHAR;
constexpr auto kDriverConnect = &SQLDriverConnectW;
constexpr auto kExecDirect = &SQLExecDirectW;
constexpr auto kPrepare = &SQLPrepareW;
constexpr auto kGetInfo = &SQLGetInfoW;
constexpr auto kDrivers = &SQLDriversW;
constexpr auto kGetDiagRec = &SQLGetDiagRecW;
constexpr auto kDescribeCol = &SQLDescribeColW;
constexpr auto kColAttribute = &SQLColAttributeW;
constexpr auto kTables = &SQLTablesW;
constexpr auto kColumns = &SQLColumnsW;
constexpr auto kPrimaryKeys = &SQLPrimaryKeysW;
constexpr auto kStatistics = &SQLStatisticsW;
constexpr auto kSpecialColumns = &SQLSpecialColumnsW;
#else
using Char = SQLCHAR;
constexpr SQLSMALLINT kTextCType = SQL_C_CHAR;
constexpr auto kDriverConnect = &SQLDriverConnect;
constexpr auto kExecDirect = &SQLExecDirect;
constexpr auto kPrepare = &SQLPrepare;
constexpr auto kGetInfo = &SQLGetInfo;
constexpr auto kDrivers = &SQLDrivers;
constexpr auto kGetDiagRec = &SQLGetDiagRec;
constexpr auto kDescribeCol = &SQLDescribeCol;
constexpr auto kColAttribute = &SQLColAttribute;
constexpr auto kTables = &SQLTables;
constexpr auto kColumns = &SQLColumns;
constexpr auto kPrimaryKeys = &SQLPrimaryKeys;
constexpr auto kStatistics = &SQLStatistics;
constexpr auto kSpecialColumns = &SQLSpecialColumns;
#endif
// A vector, not a basic_string: the standard library owes no char_traits for unsigned char.
using DriverText = std::vector<Char>;

// A text given to ODBC as a parameter longer than this many characters goes as a long value: the
// Access driver takes at most 255 characters in a plain VARCHAR parameter.
constexpr std::size_t kLongestPlainText = 255;

DriverText ToDriver(std::string_view text) {
#ifdef _WIN32
  const std::u16string wide = Utf8ToUtf16(text);
  DriverText converted(wide.begin(), wide.end());
#else
  DriverText converted(text.begin(), text.end());
#endif
  converted.push_back(Char{});  // a terminating NUL as well, for drivers that look for one
  return converted;
}

std::string FromDriver(const Char* text, std::size_t count) {
#ifdef _WIN32
  return Utf16ToUtf8(std::u16string(text, text + count));
#else
  return std::string(reinterpret_cast<const char*>(text), count);
#endif
}

// Lengths of input texts made by ToDriver, in characters, without the terminating NUL.
SQLINTEGER IntegerLength(const DriverText& text) {
  return static_cast<SQLINTEGER>(text.size() - 1);
}
SQLSMALLINT ShortLength(const DriverText& text) {
  return static_cast<SQLSMALLINT>(std::min<std::size_t>(text.size() - 1, 32767));
}

// Reads a field with SQLGetData as `c_type`, in pieces until the driver has given all of it.
template <typename C>
SQLRETURN GetPieces(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT c_type,
                    std::optional<std::vector<C>>& value) {
  value.reset();
  constexpr std::size_t kPiece = 1024;  // characters, the terminating NUL included
  C buffer[kPiece];
  std::vector<C> whole;
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(statement, column, c_type, buffer, sizeof buffer, &indicator);
    if (rc == SQL_NO_DATA) {
      break;  // everything has been read
    }
    if (!SQL_SUCCEEDED(rc)) {
      return rc;
    }
    if (indicator == SQL_NULL_DATA) {
      return SQL_SUCCESS;
    }
    // A piece that did not fit is cut, and the driver ends it with a NUL of its own.
    const bool cut = rc == SQL_SUCCESS_WITH_INFO &&
                     (indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buffer));
    whole.insert(whole.end(), buffer,
                 buffer + (cut ? kPiece - 1 : static_cast<std::size_t>(indicator) / sizeof(C)));
    if (!cut) {
      break;
    }
  }
  value = std::move(whole);
  return SQL_SUCCESS;
}

}  // namespace

SQLRETURN DriverConnect(SQLHDBC connection, std::string_view connection_string) {
  DriverText text = ToDriver(connection_string);
  return kDriverConnect(connection, nullptr, text.data(), ShortLength(text), nullptr, 0, nullptr,
                        SQL_DRIVER_NOPROMPT);
}

SQLRETURN ExecDirect(SQLHSTMT statement, std::string_view sql) {
  DriverText text = ToDriver(sql);
  return kExecDirect(statement, text.data(), IntegerLength(text));
}

SQLRETURN Prepare(SQLHSTMT statement, std::string_view sql) {
  DriverText text = ToDriver(sql);
  return kPrepare(statement, text.data(), IntegerLength(text));
}

SQLRETURN NextDriver(SQLHENV environment, SQLUSMALLINT direction, std::string& name) {
  Char description[256] = {};
  SQLSMALLINT length = 0;
  SQLSMALLINT attributes_length = 0;
  const SQLRETURN rc = kDrivers(environment, direction, description, std::size(description),
                                &length, nullptr, 0, &attributes_length);
  if (SQL_SUCCEEDED(rc)) {
    name = FromDriver(description, std::min<std::size_t>(
                                       static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)),
                                       std::size(description) - 1));
  }
  return rc;
}

SQLRETURN GetInfoText(SQLHDBC connection, SQLUSMALLINT info, std::string& text) {
  Char buffer[256] = {};
  SQLSMALLINT bytes = 0;
  const SQLRETURN rc = kGetInfo(connection, info, buffer, sizeof buffer, &bytes);
  if (SQL_SUCCEEDED(rc)) {
    const std::size_t count = std::min<std::size_t>(
        static_cast<std::size_t>(std::max<SQLSMALLINT>(bytes, 0)) / sizeof(Char),
        std::size(buffer) - 1);
    text = FromDriver(buffer, count);
  }
  return rc;
}

SQLRETURN GetDiagnostic(SQLSMALLINT handle_type, SQLHANDLE handle, SQLSMALLINT number,
                        Diagnostic& diagnostic) {
  Char state[6] = {};
  DriverText message(512, Char{});
  SQLSMALLINT length = 0;
  SQLRETURN rc = kGetDiagRec(handle_type, handle, number, state, &diagnostic.native_error,
                             message.data(), static_cast<SQLSMALLINT>(message.size()), &length);
  if (SQL_SUCCEEDED(rc) && length >= static_cast<SQLSMALLINT>(message.size())) {
    message.assign(static_cast<std::size_t>(length) + 1, Char{});
    rc = kGetDiagRec(handle_type, handle, number, state, &diagnostic.native_error, message.data(),
                     static_cast<SQLSMALLINT>(message.size()), &length);
  }
  if (SQL_SUCCEEDED(rc)) {
    // A driver may leave the state empty (MDB Tools does) and put NULs in its texts. A NUL would
    // end the error's text, as what() gives it, and the log line with it, at the "[" before the
    // state: the state stops at its first NUL, and a NUL in the message reads as "?".
    diagnostic.state = FromDriver(state, std::find(state, state + 5, Char{}) - state);
    diagnostic.message =
        FromDriver(message.data(),
                   std::min<std::size_t>(std::max<SQLSMALLINT>(length, 0), message.size() - 1));
    std::replace(diagnostic.message.begin(), diagnostic.message.end(), '\0', '?');
  }
  return rc;
}

SQLRETURN DescribeColumn(SQLHSTMT statement, SQLUSMALLINT column, ColumnDescription& description) {
  DriverText name(256, Char{});
  SQLSMALLINT length = 0;
  SQLSMALLINT nullable = 0;
  SQLRETURN rc = kDescribeCol(statement, column, name.data(), static_cast<SQLSMALLINT>(name.size()),
                              &length, &description.sql_type, &description.size,
                              &description.decimal_digits, &nullable);
  if (SQL_SUCCEEDED(rc) && length >= static_cast<SQLSMALLINT>(name.size())) {
    name.assign(static_cast<std::size_t>(length) + 1, Char{});
    rc = kDescribeCol(statement, column, name.data(), static_cast<SQLSMALLINT>(name.size()),
                      &length, &description.sql_type, &description.size,
                      &description.decimal_digits, &nullable);
  }
  if (!SQL_SUCCEEDED(rc)) {
    return rc;
  }
  description.name = FromDriver(
      name.data(), std::min<std::size_t>(std::max<SQLSMALLINT>(length, 0), name.size() - 1));
  // The type's name is a help, not a need: a driver that does not give it leaves it empty.
  Char type_name[128] = {};
  SQLSMALLINT bytes = 0;
  SQLLEN number = 0;
  description.type_name.clear();
  if (SQL_SUCCEEDED(kColAttribute(statement, column, SQL_DESC_TYPE_NAME, type_name,
                                  sizeof type_name, &bytes, &number))) {
    const std::size_t count = std::min<std::size_t>(
        static_cast<std::size_t>(std::max<SQLSMALLINT>(bytes, 0)) / sizeof(Char),
        std::size(type_name) - 1);
    description.type_name = FromDriver(type_name, count);
  }
  return rc;
}

SQLRETURN Tables(SQLHSTMT statement, std::string_view table_pattern, std::string_view table_types) {
  DriverText table = ToDriver(table_pattern);
  DriverText types = ToDriver(table_types);
  return kTables(statement, nullptr, 0, nullptr, 0, table.data(), ShortLength(table), types.data(),
                 ShortLength(types));
}

SQLRETURN Columns(SQLHSTMT statement, std::string_view table_pattern) {
  DriverText table = ToDriver(table_pattern);
  return kColumns(statement, nullptr, 0, nullptr, 0, table.data(), ShortLength(table), nullptr, 0);
}

SQLRETURN PrimaryKeys(SQLHSTMT statement, std::string_view table) {
  DriverText name = ToDriver(table);
  return kPrimaryKeys(statement, nullptr, 0, nullptr, 0, name.data(), ShortLength(name));
}

SQLRETURN Statistics(SQLHSTMT statement, std::string_view table, SQLUSMALLINT unique) {
  DriverText name = ToDriver(table);
  return kStatistics(statement, nullptr, 0, nullptr, 0, name.data(), ShortLength(name), unique,
                     SQL_QUICK);
}

SQLRETURN BestRowId(SQLHSTMT statement, std::string_view table) {
  DriverText name = ToDriver(table);
  return kSpecialColumns(statement, SQL_BEST_ROWID, nullptr, 0, nullptr, 0, name.data(),
                         ShortLength(name), SQL_SCOPE_TRANSACTION, SQL_NULLABLE);
}

SQLRETURN GetText(SQLHSTMT statement, SQLUSMALLINT column, std::optional<std::string>& text) {
  std::optional<DriverText> raw;
  const SQLRETURN rc = GetPieces(statement, column, kTextCType, raw);
  text.reset();
  if (SQL_SUCCEEDED(rc) && raw) {
    text = FromDriver(raw->data(), raw->size());
  }
  return rc;
}

SQLRETURN GetCharText(SQLHSTMT statement, SQLUSMALLINT column, std::optional<std::string>& text) {
  std::optional<std::vector<char>> raw;
  const SQLRETURN rc = GetPieces(statement, column, SQL_C_CHAR, raw);
  text.reset();
  if (SQL_SUCCEEDED(rc) && raw) {
    text.emplace(raw->begin(), raw->end());
  }
  return rc;
}

SQLRETURN BindText(SQLHSTMT statement, SQLUSMALLINT number, std::string_view text,
                   TextParameter& holder) {
#ifdef _WIN32
  holder.wide_ = Utf8ToUtf16(text);
  const std::size_t characters = holder.wide_.size();
  holder.length_ = static_cast<SQLLEN>(characters * sizeof(char16_t));
  SQLPOINTER data = holder.wide_.data();
  const SQLSMALLINT sql_type = characters > kLongestPlainText ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
#else
  holder.narrow_.assign(text);
  const std::size_t characters = holder.narrow_.size();  // bytes: never fewer than characters
  holder.length_ = static_cast<SQLLEN>(characters);
  SQLPOINTER data = holder.narrow_.data();
  const SQLSMALLINT sql_type = characters > kLongestPlainText ? SQL_LONGVARCHAR : SQL_VARCHAR;
#endif
  // A column size of 0 is refused by some drivers, even for an empty text.
  return SQLBindParameter(statement, number, SQL_PARAM_INPUT, kTextCType, sql_type,
                          std::max<std::size_t>(characters, 1), 0, data, holder.length_,
                          &holder.length_);
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const char32_t c = platform::DecodeUtf8(text, at).value_or(U'\uFFFD');
    if (c >= 0x10000) {
      wide += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      wide += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      wide += static_cast<char16_t>(c);
    }
  }
  return wide;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (std::size_t at = 0; at < text.size(); ++at) {
    const char32_t unit = text[at];
    char32_t c = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
        text[at + 1] <= 0xDFFF) {
      c = 0x10000 + ((unit - 0xD800) << 10) + (text[at + 1] - 0xDC00);
      ++at;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      c = U'\uFFFD';  // half of a pair
    }
    platform::AppendUtf8(narrow, c);
  }
  return narrow;
}

}  // namespace zav5::data::odbc
