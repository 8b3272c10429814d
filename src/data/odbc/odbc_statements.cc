#include "data/odbc/odbc_statements.h"

#include <cmath>
#include <optional>

#include "data/stored_values.h"
#include "errors.h"

namespace zav5::data::odbc {

namespace {

// Relative distance within which a double read through the SQLite driver (15 significant digits)
// is taken to be the stored one.
constexpr double kSqliteDoubleTolerance = 1e-14;

}  // namespace

void Run::BindRowId(std::int64_t row_id) {
  Parameter& p = NextParameter();
  p.big = row_id;
  BindBuffer(SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &p.big, 0, p);
}

void Run::Bind(const Value& value) {
  Parameter& p = NextParameter();
  switch (value.Kind()) {
    case ValueKind::kNull:
      p.indicator = SQL_NULL_DATA;
      BindBuffer(SQL_C_CHAR, SQL_VARCHAR, 1, 0, nullptr, 0, p);
      return;
    case ValueKind::kInteger:
      p.short_number = value.AsInteger();
      BindBuffer(SQL_C_SSHORT, SQL_SMALLINT, 0, 0, &p.short_number, 0, p);
      return;
    case ValueKind::kLong:
      p.whole = value.AsLong();
      BindBuffer(SQL_C_SLONG, SQL_INTEGER, 0, 0, &p.whole, 0, p);
      return;
    case ValueKind::kDouble:
      p.real = value.AsDouble();
      BindBuffer(SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &p.real, 0, p);
      return;
    case ValueKind::kCurrency:
      // As decimal text: no binary fraction between the amount and the driver.
      p.digits = CurrencyText(value.AsCurrency());
      p.indicator = static_cast<SQLLEN>(p.digits.size());
      BindBuffer(SQL_C_CHAR, SQL_NUMERIC, 19, 4, p.digits.data(), p.indicator, p);
      return;
    case ValueKind::kDate:
      if (session_.sqlite()) {
        p.real = value.AsDate().ole_days;
        BindBuffer(SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &p.real, 0, p);
        return;
      } else {
        const Timestamp t = TimestampFromDay(value.AsDate());
        p.moment.year = static_cast<SQLSMALLINT>(t.year);
        p.moment.month = static_cast<SQLUSMALLINT>(t.month);
        p.moment.day = static_cast<SQLUSMALLINT>(t.day);
        p.moment.hour = static_cast<SQLUSMALLINT>(t.hour);
        p.moment.minute = static_cast<SQLUSMALLINT>(t.minute);
        p.moment.second = static_cast<SQLUSMALLINT>(t.second);
        p.moment.fraction = 0;
        BindBuffer(SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 19, 0, &p.moment, sizeof p.moment, p);
        return;
      }
    case ValueKind::kBoolean:
      p.short_number = value.AsBoolean() ? -1 : 0;  // Access's Yes is -1
      BindBuffer(SQL_C_SSHORT, SQL_SMALLINT, 0, 0, &p.short_number, 0, p);
      return;
    case ValueKind::kText:
      Check(BindText(statement_, static_cast<SQLUSMALLINT>(parameters_.size()), value.AsText(),
                     p.text));
      return;
  }
}

void Run::BindCondition(const KeyMatch& match) {
  if (match.row_id) {
    BindRowId(*match.row_id);
  }
  for (const Value& value : match.values) {
    if (value.IsNull()) {
      continue;  // "IS NULL" takes no parameter
    }
    if (session_.Approximate(value)) {
      const double v =
          value.Kind() == ValueKind::kDouble ? value.AsDouble() : value.AsDate().ole_days;
      const double tolerance = std::fabs(v) * kSqliteDoubleTolerance;
      Bind(Value::Double(v - tolerance));
      Bind(Value::Double(v + tolerance));
      continue;
    }
    Bind(value);
  }
}

Field Run::Read(std::size_t index, const ResultColumn& description) {
  const auto column = static_cast<SQLUSMALLINT>(index + 1);
  const bool sqlite = session_.sqlite();
  const auto same = [](const Value& value) { return Field{value, value}; };
  switch (description.column.kind) {
    case ColumnKind::kText:
    case ColumnKind::kMemo: {
      std::optional<std::string> text;
      Check(GetText(statement_, column, text));
      return same(text ? Value::Text(std::move(*text)) : Value::Null());
    }
    case ColumnKind::kInteger:
    case ColumnKind::kLong: {
      const std::optional<std::string> text = CharText(column);
      if (!text) {
        return same(Value::Null());
      }
      return same(IntegerColumnValue(*text, description.column.kind == ColumnKind::kInteger));
    }
    case ColumnKind::kDouble: {
      if (sqlite) {
        // The driver makes a double of the stored number's text anyway; read as text, a text that
        // another program stored stays what it is instead of becoming a Null or its first digits.
        const std::optional<std::string> text = CharText(column);
        if (!text) {
          return same(Value::Null());
        }
        const std::optional<double> real = RealFromText(*text);
        return same(real ? Value::Double(*real) : Value::Text(*text));
      }
      SQLLEN indicator = 0;
      if (description.single) {
        float single = 0;
        Check(SQLGetData(statement_, column, SQL_C_FLOAT, &single, 0, &indicator));
        return same(indicator == SQL_NULL_DATA ? Value::Null() : Value::Double(single));
      }
      double real = 0;
      Check(SQLGetData(statement_, column, SQL_C_DOUBLE, &real, 0, &indicator));
      return same(indicator == SQL_NULL_DATA ? Value::Null() : Value::Double(real));
    }
    case ColumnKind::kCurrency: {
      const std::optional<std::string> text = CharText(column);
      if (!text) {
        return same(Value::Null());
      }
      if (auto amount = ParseCurrency(*text)) {
        const Value money = Value::Money(amount->first);
        return Field{money, amount->second ? money : Value::Text(*text)};
      }
      if (auto real = RealFromText(*text)) {  // "1e+20": beyond the digits a currency holds
        if (const std::optional<Currency> money = Currency::TryFromDouble(*real)) {
          return Field{Value::Money(*money), Value::Text(*text)};
        }
        return Field{Value::Double(*real), Value::Text(*text)};  // too large: kept as it is
      }
      return same(Value::Text(*text));
    }
    case ColumnKind::kDate: {
      if (sqlite) {
        const std::optional<std::string> text = CharText(column);
        if (!text) {
          return same(Value::Null());
        }
        if (const std::optional<double> day = RealFromText(*text)) {
          return same(Value::Day(Date{*day}));
        }
        // A date another program wrote as text: read as the date, found again by the text.
        if (const std::optional<double> day = IsoDateToDayNumber(*text)) {
          return Field{Value::Day(Date{*day}), Value::Text(*text)};
        }
        return same(Value::Text(*text));
      }
      SQL_TIMESTAMP_STRUCT moment{};
      SQLLEN indicator = 0;
      Check(
          SQLGetData(statement_, column, SQL_C_TYPE_TIMESTAMP, &moment, sizeof moment, &indicator));
      if (indicator == SQL_NULL_DATA) {
        return same(Value::Null());
      }
      return same(Value::Day(DayFromTimestamp(
          {moment.year, moment.month, moment.day, moment.hour, moment.minute, moment.second})));
    }
    case ColumnKind::kBoolean: {
      const std::optional<std::string> text = CharText(column);
      if (!text) {
        return same(Value::Null());
      }
      // Found again by the number stored in a SQLite file, which other programs may have
      // written as 1; by the flag elsewhere, whose stored form the driver knows.
      if (auto whole = WholeFromText(*text)) {
        const Value flag = Value::Boolean(*whole != 0);
        return Field{flag, sqlite ? WholeNumber(*whole, false) : flag};
      }
      if (auto real = RealFromText(*text)) {
        const Value flag = Value::Boolean(*real != 0);
        return Field{flag, sqlite ? Value::Double(*real) : flag};
      }
      return same(Value::Text(*text));
    }
    case ColumnKind::kOther:
      break;
  }
  std::optional<std::string> text;
  Check(GetText(statement_, column, text));
  if (!text) {
    return same(Value::Null());
  }
  if (sqlite || IsNumericSqlType(description.sql_type)) {
    if (auto whole = WholeFromText(*text)) {
      return same(WholeNumber(*whole, false));
    }
    if (auto real = RealFromText(*text)) {
      return same(Value::Double(*real));
    }
  }
  return same(Value::Text(std::move(*text)));
}

}  // namespace zav5::data::odbc
