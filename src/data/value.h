// Field values and the one set of rules by which the program converts them.
//
// A field read from a row is a variant: Null, a 16- or 32-bit integer, a double, a currency amount
// (fixed point, four decimals), a date (OLE day number: day 0 is 30 December 1899, the time of day
// as the fraction), a yes/no flag or a text. Texts are UTF-8 inside the program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace zav5::data {

enum class ValueKind { kNull, kInteger, kLong, kDouble, kCurrency, kDate, kBoolean, kText };

// A currency amount: a 64-bit count of ten-thousandths.
struct Currency {
  std::int64_t ten_thousandths = 0;

  static constexpr std::int64_t kScale = 10000;
  // Rounds to four decimals, halves to the even neighbour. Throws ConversionError when out of
  // range. A half is a half as the number is written (1.00005 gives 1.0000, 1.00015 gives 1.0002),
  // not as its binary approximation falls on either side of it.
  static Currency FromDouble(double value);
  // FromDouble without the exception, for callers that keep a double that is no amount: nullopt
  // exactly where FromDouble throws (NaN, infinities, beyond the range of the count).
  static std::optional<Currency> TryFromDouble(double value);
  double ToDouble() const { return static_cast<double>(ten_thousandths) / kScale; }
  friend bool operator==(Currency, Currency) = default;
};

// A date on the OLE Automation scale.
struct Date {
  double ole_days = 0;
  friend bool operator==(Date, Date) = default;
};

// The number and date forms of the machine's regional settings. The store runs with Italian ones.
struct RegionalSettings {
  char decimal_separator = ',';
  char thousands_separator = '.';
};
inline constexpr RegionalSettings kItalianSettings{};

class Value {
 public:
  Value() = default;  // Null
  static Value Null() { return Value(); }
  static Value Integer(std::int16_t v) { return Value(Storage(v)); }
  static Value Long(std::int32_t v) { return Value(Storage(v)); }
  static Value Double(double v) { return Value(Storage(v)); }
  static Value Money(Currency v) { return Value(Storage(v)); }
  static Value Day(Date v) { return Value(Storage(v)); }
  static Value Boolean(bool v) { return Value(Storage(v)); }
  static Value Text(std::string v) { return Value(Storage(std::move(v))); }

  ValueKind Kind() const;
  bool IsNull() const { return Kind() == ValueKind::kNull; }

  // The conversions below throw ConversionError on Null, on a text that is not a number and on a
  // result out of range. Numbers round to whole values with halves to the even neighbour.
  std::int16_t ToInteger() const;
  std::int32_t ToLong() const;
  double ToDouble() const;
  Currency ToCurrency() const;
  Date ToDate() const;
  bool ToBoolean() const;
  // The value's text form: numbers in decimal digits with the regional decimal separator and no
  // grouping, whole numbers without decimals, dates as dd/mm/yyyy (and hh:mm:ss when they carry a
  // time), flags as True/False.
  std::string ToText(const RegionalSettings& regionale = kItalianSettings) const;

  // Access to the stored alternative, for backends and tests. REQUIRES: Kind() matches.
  std::int16_t AsInteger() const { return std::get<std::int16_t>(storage_); }
  std::int32_t AsLong() const { return std::get<std::int32_t>(storage_); }
  double AsDouble() const { return std::get<double>(storage_); }
  Currency AsCurrency() const { return std::get<Currency>(storage_); }
  Date AsDate() const { return std::get<Date>(storage_); }
  bool AsBoolean() const { return std::get<bool>(storage_); }
  const std::string& AsText() const { return std::get<std::string>(storage_); }

  // Same kind and same stored value.
  friend bool operator==(const Value&, const Value&) = default;

 private:
  using Storage = std::variant<std::monostate, std::int16_t, std::int32_t, double, Currency, Date,
                               bool, std::string>;
  explicit Value(Storage s) : storage_(std::move(s)) {}
  Storage storage_;
};

// A short description of the value for messages ("Null", "testo 'abc'", "numero 3,5").
std::string Describe(const Value& value);

// The number a text holds, read as Value::Text(text).ToDouble() reads it, without the exception:
// nullopt exactly where that throws (a text that is not a number, a number beyond a double's
// range).
std::optional<double> TextToDouble(std::string_view text);

// Rounds to the nearest whole number, an exact half to the even neighbour.
double RoundHalfEven(double value);

}  // namespace zav5::data
