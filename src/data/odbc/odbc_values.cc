#include "data/odbc/odbc_values.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "data/ascii_text.h"
#include "data/decimal.h"
#include "data/stored_values.h"
#include "data/value_calendar.h"
#include "data/value_text.h"

namespace zav5::data::odbc {

namespace {

// Texts shown in messages are cut to this many characters.
constexpr std::size_t kLongestShownText = 40;

}  // namespace

// A whole number that is the whole text ("-12"); nothing otherwise.
std::optional<std::int64_t> WholeFromText(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
  }
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

// A decimal number that is the whole text ("2.5", "1e+20"), read the same whatever the locale.
std::optional<double> RealFromText(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
  }
  double value = 0;
  const auto [end, error] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
      !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// A number in an integer column: a whole number that fits is read as the column's type,
// anything else stays a Double (or the text) so that nothing is lost.
Value IntegerColumnValue(std::string_view text, bool may_be_short) {
  if (auto whole = WholeFromText(text)) {
    return WholeNumber(*whole, may_be_short);
  }
  if (auto real = RealFromText(text)) {
    if (std::trunc(*real) == *real &&
        std::fabs(*real) <= std::numeric_limits<std::int32_t>::max()) {
      return WholeNumber(static_cast<std::int64_t>(*real), may_be_short);
    }
    return Value::Double(*real);
  }
  return Value::Text(std::string(text));
}

std::optional<std::pair<Currency, bool>> ParseCurrency(std::string_view text) {
  // The decimal text a driver gives: a point, no exponent.
  const std::optional<Decimal> number = ParseDecimal(text, {.comma = false, .exponent = false});
  if (!number) {
    return std::nullopt;
  }
  const std::optional<std::int64_t> units = DecimalToScaled(*number, 4);
  if (!units) {
    return std::nullopt;
  }
  return std::make_pair(Currency{*units}, ScalesExactly(*number, 4));
}

bool IsNumericSqlType(SQLSMALLINT type) {
  switch (type) {
    case SQL_SMALLINT:
    case SQL_TINYINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
    case SQL_DOUBLE:
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_NUMERIC:
    case SQL_DECIMAL:
    case SQL_BIT:
      return true;
    default:
      return false;
  }
}

std::string Shown(const Value& value) {
  switch (value.Kind()) {
    case ValueKind::kNull:
      return "Null";
    case ValueKind::kText: {
      const std::string& text = value.AsText();
      return "'" +
             (CharacterCount(text) > kLongestShownText ? MidText(text, 1, kLongestShownText) + "..."
                                                       : text) +
             "'";
    }
    default:
      return value.ToText();
  }
}

bool IsWhole(double v) {
  return std::trunc(v) == v;
}

Column ColumnFromOdbc(std::string name, std::string_view type_name, int sql_type, std::size_t size,
                      int decimal_digits, bool declared_only) {
  constexpr std::size_t kLongestText = 255;
  const bool scaled_to_currency =
      !declared_only && (sql_type == SQL_NUMERIC || sql_type == SQL_DECIMAL) && decimal_digits == 4;
  Column column = ColumnFromDeclaration(std::move(name), type_name);
  if (column.kind == ColumnKind::kText && type_name.find('(') == std::string_view::npos &&
      size > 0 && size <= kLongestText) {
    column.size = size;  // "VARCHAR", "TEXT": the driver knows the size the name does not say
  }
  if (scaled_to_currency) {
    column.kind = ColumnKind::kCurrency;
    column.size = 0;
  }
  if (column.kind != ColumnKind::kOther || declared_only) {
    return column;
  }
  switch (sql_type) {
    case SQL_SMALLINT:
    case SQL_TINYINT:
      column.kind = ColumnKind::kInteger;
      break;
    case SQL_INTEGER:
      column.kind = ColumnKind::kLong;
      break;
    case SQL_DOUBLE:
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_NUMERIC:
    case SQL_DECIMAL:
      column.kind = ColumnKind::kDouble;
      break;
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
    case SQL_TYPE_TIMESTAMP:
    case SQL_DATETIME:
    case SQL_TIME:
    case SQL_TIMESTAMP:
      column.kind = ColumnKind::kDate;
      break;
    case SQL_BIT:
      column.kind = ColumnKind::kBoolean;
      break;
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_WCHAR:
    case SQL_WVARCHAR:
      column.kind = ColumnKind::kText;
      column.size = size > 0 ? size : kLongestText;
      break;
    case SQL_LONGVARCHAR:
    case SQL_WLONGVARCHAR:
      column.kind = ColumnKind::kMemo;
      break;
    default:
      break;
  }
  return column;
}

std::optional<Currency> CurrencyFromText(std::string_view text) {
  if (auto parsed = ParseCurrency(text)) {
    return parsed->first;
  }
  return std::nullopt;
}

std::string CurrencyText(Currency amount) {
  const bool negative = amount.ten_thousandths < 0;
  // Unsigned, so that the most negative amount has a magnitude too.
  const std::uint64_t magnitude =
      negative ? std::uint64_t{0} - static_cast<std::uint64_t>(amount.ten_thousandths)
               : static_cast<std::uint64_t>(amount.ten_thousandths);
  const auto scale = static_cast<std::uint64_t>(Currency::kScale);
  return fmt::format("{}{}.{:04}", negative ? "-" : "", magnitude / scale, magnitude % scale);
}

Timestamp TimestampFromDay(Date day) {
  double whole = std::trunc(day.ole_days);
  auto seconds = static_cast<long long>(std::llround(std::fabs(day.ole_days - whole) * 86400.0));
  if (seconds >= 86400) {  // rounded up to the next midnight
    seconds -= 86400;
    whole += 1;
  }
  const std::chrono::year_month_day date = DayFromNumber(static_cast<std::int32_t>(whole));
  Timestamp moment;
  moment.year = static_cast<int>(date.year());
  moment.month = static_cast<int>(static_cast<unsigned>(date.month()));
  moment.day = static_cast<int>(static_cast<unsigned>(date.day()));
  moment.hour = static_cast<int>(seconds / 3600);
  moment.minute = static_cast<int>(seconds / 60 % 60);
  moment.second = static_cast<int>(seconds % 60);
  return moment;
}

Date DayFromTimestamp(const Timestamp& moment) {
  const std::chrono::year_month_day date{std::chrono::year(moment.year),
                                         std::chrono::month(static_cast<unsigned>(moment.month)),
                                         std::chrono::day(static_cast<unsigned>(moment.day))};
  const double whole = DayNumber(date);
  const double time = (moment.hour * 3600.0 + moment.minute * 60.0 + moment.second) / 86400.0;
  return Date{whole >= 0 ? whole + time : whole - time};
}

}  // namespace zav5::data::odbc
