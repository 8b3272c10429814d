// Values as ODBC drivers give and take them: numbers read from their text, currency amounts as
// decimal text, dates as timestamps, and the kind of a column a driver describes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "data/column.h"
#include "data/odbc/odbc_text.h"
#include "data/value.h"

namespace zav5::data::odbc {

// A whole number that is the whole text ("-12"); nothing otherwise.
std::optional<std::int64_t> WholeFromText(std::string_view text);
// A decimal number that is the whole text ("2.5", "1e+20"), read the same whatever the locale.
std::optional<double> RealFromText(std::string_view text);
// A number in an integer column: a whole number that fits is read as the column's type,
// anything else stays a Double (or the text) so that nothing is lost.
Value IntegerColumnValue(std::string_view text, bool may_be_short);
// A currency amount from text, and whether the text said no more than the amount holds.
std::optional<std::pair<Currency, bool>> ParseCurrency(std::string_view text);
bool IsNumericSqlType(SQLSMALLINT type);

// A value for a message: a text in quotes and cut short, Null as "Null".
std::string Shown(const Value& value);
bool IsWhole(double v);

// The kind of a column a driver describes. `type_name` is the driver's name for its type; when
// ColumnFromDeclaration knows it (the SQLite driver gives the declaration itself: "TEXT(30)",
// "CURRENCY"; the Access driver its own names: "VARCHAR", "CURRENCY", "BIT") it decides, with the
// driver's `size` for a text declared without one. Otherwise the ODBC `sql_type` decides, unless
// `declared_only` (the SQLite driver guesses SQL types that the declaration does not say).
Column ColumnFromOdbc(std::string name, std::string_view type_name, int sql_type, std::size_t size,
                      int decimal_digits, bool declared_only);

// A currency amount from its decimal text ("-12.3456", "7", "1.23456"): exact to the fourth
// decimal, further decimals rounded half to even. Nothing for a text of another form (an
// exponent, a letter) or out of range.
std::optional<Currency> CurrencyFromText(std::string_view text);
// The amount as decimal text with four decimals ("-0.0001").
std::string CurrencyText(Currency amount);

// A calendar moment as ODBC's SQL_TIMESTAMP_STRUCT holds it, without fractions of a second.
struct Timestamp {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
  friend bool operator==(const Timestamp&, const Timestamp&) = default;
};
// An OLE day number as a timestamp, rounded to the second. Before day 0 the time of day counts
// forward from midnight of the (negative) whole day: -1.25 is 29 December 1899, 6:00.
Timestamp TimestampFromDay(Date day);
Date DayFromTimestamp(const Timestamp& moment);

}  // namespace zav5::data::odbc
